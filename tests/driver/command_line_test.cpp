// Option parsing, the usage text and the version text.
#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"

namespace {

struct parse_outcome {
    command_line_result result;
    std::string out;
    std::string err;
};

// Runs the parser on a copy of `args` (args[0] is the program path).
parse_outcome parse(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    parse_outcome outcome;
    outcome.result = parse_command_line(static_cast<int>(args.size()), argv.data());
    outcome.err = testing::internal::GetCapturedStderr();
    outcome.out = testing::internal::GetCapturedStdout();
    return outcome;
}

// The parts of the usage text that vary: the program name and the defaults
// block. The whole text is compared byte for byte by the end-to-end cases.
std::string usage_head(const std::string& name)
{
    return "\nSendmail MTA statistics program\n\n" + name + " version 1.2\nUsage: " + name +
           " [-aAbCvgeFijonmpPqstrVhuwxyz] [-c config] [-d level] [-f infile]\n";
}

std::string usage_tail(int verbose, int debug, int profile, int merge)
{
    std::ostringstream s;
    s << "  -V                --  print version\n"
         "Defaults:\n"
         "  config file       --  /usr/local/etc/quelm_stat.conf\n"
         "  logging file      --  /var/log/quelm_stat.log\n"
      << "  verbose level     --  " << verbose << "\n"
      << "  debug level       --  " << debug << "\n"
      << "  time profiling    --  " << profile << "\n"
      << "  merge_sort        --  " << merge << "\n\n";
    return s.str();
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class CommandLineTest : public testing::Test {
protected:
    void SetUp() override { settings = program_settings{}; }
    void TearDown() override { settings = program_settings{}; }
};

TEST_F(CommandLineTest, UsageTextNamesTheProgramAndShowsCurrentDefaults)
{
    struct {
        std::vector<std::string> args;
        std::string name;
        std::string tail;
    } cases[] = {
        {{"/usr/bin/quelm_stat", "-h"}, "quelm_stat", usage_tail(0, 0, 0, 1)},
        {{"quelm_stat", "-h"}, "quelm_stat", usage_tail(0, 0, 0, 1)},
        {{"./bin/qs", "-v", "-p", "-h"}, "qs", usage_tail(1, 0, 1, 1)},
        {{"qs", "-P", "-h"}, "qs", usage_tail(0, 0, 0, 0)},
        {{"qs", "-vv", "-d", "3", "-h"}, "qs", usage_tail(2, 3, 0, 1)},
        {{"qs", "-g", "-h", "-v", "-d", "4"}, "qs", usage_tail(0, 0, 0, 1)},  // nothing after -h is read
        {{"qs", "-g", "-l"}, "qs", usage_tail(0, 0, 0, 1)},                  // unknown option
        {{"qs", "-v", "-G", "x", "-Q"}, "qs", usage_tail(1, 0, 0, 1)},       // missing argument
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        parse_outcome got = parse(c.args);
        EXPECT_FALSE(got.result.go_on) << "args ending " << c.args.back();
        EXPECT_EQ(got.err.substr(0, usage_head(c.name).size()), usage_head(c.name)) << "args ending " << c.args.back();
        ASSERT_GE(got.err.size(), c.tail.size());
        EXPECT_EQ(got.err.substr(got.err.size() - c.tail.size()), c.tail) << "args ending " << c.args.back();
        EXPECT_EQ(got.out, "") << "args ending " << c.args.back();
    }
    settings = program_settings{};
    parse({"qs", "-h", "-v"});
    EXPECT_EQ(settings.verbose, 0) << "an option after -h was read";
    EXPECT_EQ(program_name_of("a/b/"), "");
}

TEST_F(CommandLineTest, VersionTextGoesToStandardOutput)
{
    const std::regex built(R"(Built:   [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2})");
    for (bool verbose : {false, true}) {
        settings = program_settings{};
        std::vector<std::string> args = {"../odd dir/quelm_stat"};
        if (verbose)
            args.push_back("-v");
        args.insert(args.end(), {"-V", "-g", "-h"});  // nothing after -V is read
        parse_outcome got = parse(args);
        EXPECT_FALSE(got.result.go_on);
        EXPECT_EQ(got.err, "");
        EXPECT_EQ(settings.PrintGenInfo, 0);
        std::vector<std::string> lines = lines_of(got.out);
        ASSERT_EQ(lines.size(), verbose ? 4u : 3u) << got.out;
        EXPECT_EQ(lines[0], "../odd dir/quelm_stat");
        EXPECT_EQ(lines[1], "QUELM_STAT version (Unix): 1.2");
        EXPECT_TRUE(std::regex_match(lines[2], built)) << "got \"" << lines[2] << "\"";
        if (verbose) {
            EXPECT_TRUE(std::regex_match(lines[3], std::regex("Code revision:  .+"))) << "got \"" << lines[3] << "\"";
        }
        EXPECT_EQ(got.out.back(), '\n');
    }
    std::string path = "/" + std::string(300, 'p');
    EXPECT_EQ(lines_of(parse({path, "-V"}).out).at(0), path.substr(0, 255));
}

#define INT_FIELD(letter, field, want) {letter, &program_settings::field, #field, want}

TEST_F(CommandLineTest, IntegerOptions)
{
    // Each option is given three times: counters reach 4 (one is doubled), switches stay fixed.
    struct {
        char letter;
        int program_settings::*field;
        const char* name;
        int want;
    } cases[] = {
        INT_FIELD('g', PrintGenInfo, 4), INT_FIELD('u', PrintUnkMsg, 4), INT_FIELD('z', PrintUnkUserMsg, 4),
        INT_FIELD('o', PrintOthMsg, 4), INT_FIELD('e', PrintEnvInfo, 4), INT_FIELD('i', PrintHtmlIndex, 4),
        INT_FIELD('r', PrintRelInfo, 4), INT_FIELD('t', PrintTlsMsg, 4), INT_FIELD('j', PrintNoActvMsg, 4),
        INT_FIELD('x', PrintSumInfoRecipients, 4), INT_FIELD('y', PrintSumInfoRelays, 4),
        INT_FIELD('w', print_weekly, 4), INT_FIELD('k', PrintMsgRejStat, 4), INT_FIELD('C', PrintCountryIPInfo, 4),
        INT_FIELD('v', verbose, 4), INT_FIELD('p', time_profile, 4), INT_FIELD('b', bases_results, 4),
        INT_FIELD('A', bases_sorting, 4), INT_FIELD('n', PrintEnvDomInfo, 1), INT_FIELD('q', PrintRelDomInfo, 1),
        INT_FIELD('m', PrintMilRejInfo, 1), INT_FIELD('s', PrintRlrRejInfo, 1), INT_FIELD('F', bases_fast_lookup, 1),
        INT_FIELD('a', OutputFormat, 0), INT_FIELD('P', merge_sort, 0),
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        std::string opt = {'-', c.letter};
        parse_outcome got = parse({"qs", opt, opt + c.letter, opt});
        EXPECT_TRUE(got.result.go_on) << opt;
        EXPECT_EQ(settings.*c.field, c.want) << opt << ": got " << settings.*c.field << " in " << c.name;
        EXPECT_EQ(got.err + got.out, "") << opt;
    }
}

TEST_F(CommandLineTest, DebugLevelIsReadAsDecimalNumber)
{
    struct {
        std::vector<std::string> args;
        int want;
    } cases[] = {
        {{"qs", "-d", "3"}, 3}, {{"qs", "-d2x"}, 2}, {{"qs", "-d", "abc"}, 0},
        {{"qs", "-d", "010"}, 10}, {{"qs", "-d", "1", "-d", "5"}, 5},
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        EXPECT_TRUE(parse(c.args).result.go_on);
        EXPECT_EQ(settings.verbose_level, c.want) << "argument " << c.args.back();
        EXPECT_EQ(settings.verbose, 0);
    }
}

#define TEXT_FIELD(letter, field) {letter, &program_settings::field, #field}

TEST_F(CommandLineTest, FileOptionsStoreTheirArgumentLiterally)
{
    struct {
        char letter;
        setting_text program_settings::*field;
        const char* name;
    } cases[] = {
        TEXT_FIELD('B', OutputBaseDir), TEXT_FIELD('L', logging_file), TEXT_FIELD('f', InputFile),
        TEXT_FIELD('c', config_file), TEXT_FIELD('G', OutputGenInfoFile), TEXT_FIELD('N', OutputEnvDomInfoFile),
        TEXT_FIELD('Q', OutputRelDomInfoFile), TEXT_FIELD('R', OutputRelInfoFile), TEXT_FIELD('E', OutputEnvInfoFile),
        TEXT_FIELD('M', OutputMilRejInfoFile), TEXT_FIELD('S', OutputRlrRejInfoFile), TEXT_FIELD('O', OutputOthMsgFile),
        TEXT_FIELD('T', OutputTlsMsgFile), TEXT_FIELD('J', OutputNoActvMsgFile), TEXT_FIELD('U', OutputUnkMsgFile),
        TEXT_FIELD('X', OutputSumInfoRecipientsFile), TEXT_FIELD('Y', OutputSumInfoRelaysFile),
        TEXT_FIELD('Z', OutputUnkUserMsgFile), TEXT_FIELD('I', OutputHtmlIndexFile), TEXT_FIELD('K', OutputMsgRejStatFile),
    };
    for (const auto& c : cases) {
        for (const char* argument : {"/tmp/out file.html", "none", "-g"}) {
            settings = program_settings{};
            std::string opt = {'-', c.letter};
            parse_outcome got = parse({"qs", opt, argument, "-e"});
            EXPECT_TRUE(got.result.go_on) << opt;
            EXPECT_EQ(settings.*c.field, argument) << opt << " " << argument << " in " << c.name;
            EXPECT_EQ(settings.PrintEnvInfo, 1) << opt << " swallowed the option after its argument";
            EXPECT_EQ(settings.PrintGenInfo, 0) << opt << " read its argument as an option";
            int set = 0;  // exactly one text setting changes
            for (const auto& other : cases)
                set += (settings.*other.field).has_value();
            EXPECT_EQ(set, 1) << opt;
        }
    }
}

TEST_F(CommandLineTest, OperandsAreIgnoredAndArgumentsAreReported)
{
    parse_outcome got = parse({"qs", "-g", "-f", "mail.log", "extra", "more"});
    EXPECT_TRUE(got.result.go_on);
    EXPECT_TRUE(got.result.has_arguments);
    EXPECT_EQ(settings.PrintGenInfo, 1);
    EXPECT_EQ(settings.InputFile, "mail.log");
    EXPECT_EQ(got.err + got.out, "");

    settings = program_settings{};
    EXPECT_TRUE(parse({"qs", "operand"}).result.has_arguments);
    command_line_result bare = parse({"qs"}).result;
    EXPECT_TRUE(bare.go_on);
    EXPECT_FALSE(bare.has_arguments);
    EXPECT_EQ(settings.OutputFormat, 1);
    EXPECT_EQ(settings.merge_sort, 1);
    EXPECT_FALSE(settings.config_file.has_value());
}

}  // namespace
