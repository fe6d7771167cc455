// Option parsing as case tables, parsed over and over in one process: each option's setting, the
// literal file arguments, the debug level, and where the parse stops (-h, -V, an unknown option, a
// missing argument). The whole usage and version texts are pinned end to end (usage_*, version).
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/settings.h"

namespace {

using S = program_settings;

struct parse_outcome { command_line_result result; std::string out, err; };

parse_outcome parse(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    settings = program_settings{};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    parse_outcome outcome;
    outcome.result = parse_command_line(static_cast<int>(args.size()), argv.data());
    outcome.err = testing::internal::GetCapturedStderr();
    outcome.out = testing::internal::GetCapturedStdout();
    return outcome;
}

TEST(CommandLine, EachSwitchGivenThreeTimesCountsOrStaysSetAndTheDebugLevelIsDecimal)
{
    struct { char letter; int S::*field; int want; } cases[] = {
        {'g', &S::PrintGenInfo, 4}, {'u', &S::PrintUnkMsg, 4}, {'z', &S::PrintUnkUserMsg, 4}, {'o', &S::PrintOthMsg, 4},
        {'e', &S::PrintEnvInfo, 4}, {'i', &S::PrintHtmlIndex, 4}, {'r', &S::PrintRelInfo, 4}, {'t', &S::PrintTlsMsg, 4},
        {'j', &S::PrintNoActvMsg, 4}, {'x', &S::PrintSumInfoRecipients, 4}, {'y', &S::PrintSumInfoRelays, 4},
        {'w', &S::print_weekly, 4}, {'k', &S::PrintMsgRejStat, 4}, {'C', &S::PrintCountryIPInfo, 4},
        {'v', &S::verbose, 4}, {'p', &S::time_profile, 4}, {'b', &S::bases_results, 4}, {'A', &S::bases_sorting, 4},
        {'n', &S::PrintEnvDomInfo, 1}, {'q', &S::PrintRelDomInfo, 1}, {'m', &S::PrintMilRejInfo, 1},
        {'s', &S::PrintRlrRejInfo, 1}, {'F', &S::bases_fast_lookup, 1}, {'a', &S::OutputFormat, 0},
        {'P', &S::merge_sort, 0},
    };
    for (const auto& c : cases) {
        const std::string opt = {'-', c.letter};
        parse_outcome got = parse({"qs", opt, opt + c.letter, opt});
        EXPECT_TRUE(got.result.go_on) << opt;
        EXPECT_EQ(settings.*c.field, c.want) << opt;
        EXPECT_EQ(got.err + got.out, "") << opt;
    }
    struct { std::vector<std::string> args; int want; } levels[] = {
        {{"qs", "-d2x"}, 2}, {{"qs", "-d", "abc"}, 0}, {{"qs", "-d", "010"}, 10}, {{"qs", "-d", "1", "-d", "5"}, 5},
    };
    for (const auto& c : levels) {
        EXPECT_TRUE(parse(c.args).result.go_on);
        EXPECT_EQ(settings.verbose_level, c.want) << c.args.back();
    }
}

TEST(CommandLine, FileOptionsTakeTheNextArgumentLiterally)
{
    struct { char letter; setting_text S::*field; } cases[] = {
        {'B', &S::OutputBaseDir}, {'L', &S::logging_file}, {'f', &S::InputFile}, {'c', &S::config_file},
        {'G', &S::OutputGenInfoFile}, {'N', &S::OutputEnvDomInfoFile}, {'Q', &S::OutputRelDomInfoFile},
        {'R', &S::OutputRelInfoFile}, {'E', &S::OutputEnvInfoFile}, {'M', &S::OutputMilRejInfoFile},
        {'S', &S::OutputRlrRejInfoFile}, {'O', &S::OutputOthMsgFile}, {'T', &S::OutputTlsMsgFile},
        {'J', &S::OutputNoActvMsgFile}, {'U', &S::OutputUnkMsgFile}, {'X', &S::OutputSumInfoRecipientsFile},
        {'Y', &S::OutputSumInfoRelaysFile}, {'Z', &S::OutputUnkUserMsgFile}, {'I', &S::OutputHtmlIndexFile},
        {'K', &S::OutputMsgRejStatFile},
    };
    for (const auto& c : cases) {
        for (const char* argument : {"/tmp/out file.html", "none", "-g"}) {
            const std::string opt = {'-', c.letter};
            EXPECT_TRUE(parse({"qs", opt, argument, "-e", "operand"}).result.go_on) << opt;
            EXPECT_EQ(settings.*c.field, argument) << opt;
            EXPECT_EQ(settings.PrintEnvInfo, 1) << opt << " swallowed the option after its argument";
            EXPECT_EQ(settings.PrintGenInfo, 0) << opt << " read its argument as an option";
            int set = 0;  // no other text setting changes
            for (const auto& other : cases)
                set += (settings.*other.field).has_value();
            EXPECT_EQ(set, 1) << opt;
        }
    }
}

TEST(CommandLine, WhereTheParseStops)
{
    // The usage text (program name from the path, values parsed so far) or -V's text; nothing after is read.
    struct { std::vector<std::string> args; bool go_on; const char *err_has, *out_start; int verbose; } cases[] = {
        {{"qs"}, true, "", "", 0},
        {{"qs", "operand", "-v"}, true, "", "", 1},
        {{"/usr/bin/quelm_stat", "-h", "-v"}, false, "\nUsage: quelm_stat [-aAbCvgeFijonmpPqstrVhuwxyz] [", "", 0},
        {{"./bin/qs", "-v", "-p", "-P", "-d", "3", "-h"}, false,
         "  verbose level     --  1\n  debug level       --  3\n  time profiling    --  1\n"
         "  merge_sort        --  0\n\n", "", 1},
        {{"qs", "-v", "-l", "-v"}, false, "\nUsage: qs [", "", 1},
        {{"qs", "-v", "-G"}, false, "  verbose level     --  1\n", "", 1},
        {{"../odd dir/qs", "-V", "-v", "-h"}, false, "", "../odd dir/qs\nQUELM_STAT version (Unix): 1.2\nBuilt:", 0},
        {{"qs", "-v", "--version", "-h"}, false, "", "qs\nQUELM_STAT version (Unix): 1.2\nBuilt:", 1},
        {{"qs", "--help", "-v"}, false, "  merge_sort        --  1\n\nLong options:\n  --help            --  ", "", 0},
        {{"qs", "--json"}, false, "\nUsage: qs [", "", 0},
        {{"qs", "--no-such-option", "-v"}, false, "\nUsage: qs [", "", 0},
    };
    for (const auto& c : cases) {
        parse_outcome got = parse(c.args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(got.result.go_on, c.go_on);
        EXPECT_EQ(got.result.has_arguments, c.args.size() > 1);
        EXPECT_EQ(got.err.rfind("\nSendmail MTA statistics program\n\n", 0), *c.err_has ? 0u : std::string::npos);
        EXPECT_NE(got.err.find(c.err_has), std::string::npos) << got.err;
        EXPECT_EQ(got.out.rfind(c.out_start, 0), 0u) << got.out;
        EXPECT_EQ(got.out.empty(), *c.out_start == '\0');
        EXPECT_EQ(settings.verbose, c.verbose);
    }
    EXPECT_EQ(parse({"qs", "-h"}).err.find("Long options"), std::string::npos) << "-h keeps the short usage text";

    parse({"qs", "a.log", "-g", "--json", "s.json", "-", "--dashboard=d.html", "b.log.gz"});
    EXPECT_EQ(settings.input_operands, (std::vector<std::string>{"a.log", "-", "b.log.gz"}));
    EXPECT_EQ(settings.json_file, "s.json");
    EXPECT_EQ(settings.dashboard_file, "d.html");
    EXPECT_EQ(settings.PrintGenInfo, 1);

    const std::string path = "/" + std::string(300, 'p');
    EXPECT_EQ(parse({path, "-V"}).out.substr(0, 256), path.substr(0, 255) + "\n") << "the path is cut to 255";
}

}  // namespace
