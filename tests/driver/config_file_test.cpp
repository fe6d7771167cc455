// The configuration file: every key of the key table reaches its own field, the line syntax (sections,
// comments, quotes, "none", long lines) as a case table, the result codes, and the sample configuration.
#include "driver/config_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "driver/settings.h"

namespace {

using S = program_settings;
const char* const section_line[] = {"", "[General_Parameters]\n", "[Input_Parameters]\n", "[Output_Parameters]\n"};

std::string config_path() { return testing::TempDir() + "quelm_config_" + std::to_string(getpid()) + ".conf"; }

// Parses `content` from a file over the settings as they stand: the result code, then
// what went to standard output and error.
std::string parse(const std::string& content)
{
    const std::string path = config_path();
    std::ofstream(path, std::ios::binary) << content;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = parse_config_file(path.c_str());
    std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    std::remove(path.c_str());
    return std::to_string(result) + out;
}

TEST(ConfigFile, EveryKeyFillsItsOwnField)
{
    // Each key gets a value no other key has: integers from 101, texts k<n>.html.
    settings = program_settings{};
    std::map<std::string, std::string> values;
    std::string file;
    for (std::size_t i = 0; i < config_keys().size(); ++i) {
        const config_key& key = config_keys()[i];
        const bool number = std::holds_alternative<int S::*>(key.field);
        values[key.name] = number ? std::to_string(101 + i) : "k" + std::to_string(i) + ".html";
        file += section_line[static_cast<int>(key.section)] + std::string(key.name) + " = " + values[key.name] + "\n";
    }
    ASSERT_EQ(parse(file), "0");
    for (const config_key& key : config_keys()) {
        if (auto* number = std::get_if<int S::*>(&key.field))
            EXPECT_EQ(std::to_string(settings.**number), values[key.name]) << key.name;
        else
            EXPECT_EQ(settings.*std::get<setting_text S::*>(key.field), values[key.name]) << key.name;
    }
}

TEST(ConfigFile, LineSyntax)
{
    const std::string o = "[Output_Parameters]\n", n = "OutputOtherReportName = ", long_name(3000, 'v');
    struct {
        std::string file;
        std::string want;  // PrintGenInfo (starts at 42) and OutputOtherReportName (starts as "old")
    } cases[] = {
        {o + "   PrintGenInfo\t=\t3  \nOutputOtherReportName=\"a\"\n", "3 a"},
        {o + "PrintGenInfo = yes\n" + n + "Weekly report\n", "0 Weekly"},
        {o + "PrintGenInfo = -4\n" + n + "\"Weekly mail report\"\n", "-4 Weekly mail report"},
        {o + "PrintGenInfo = 12abc\n" + n + "\"\"\n", "12 old"},
        {o + "PrintGenInfo = \"7\"\n" + n + "\"unclosed\n", "7 old"},
        {o + "PrintGenInfo = 5\r\n" + n + "\"\n", "5 old"},
        {o + "PrintGenInfo = none\n" + n + "none\n", "0 (unset)"},
        {o + "PrintGenInfo =\n" + n + "/tmp/nonexistent.html\n", "42 (unset)"},
        {o + "PrintGenInfo 5\n" + n + "a.html # none yet\n", "42 (unset)"},
        {o + "PrintGenInfo : 5 PrintGenInfo = 6\n" + n + "\"Nonesuch\" x\n", "42 Nonesuch"},
        {o + "printgeninfo = 5\n" + n + "a\tb\n", "42 a"},
        {o + "  # PrintGenInfo = 8\n" + n + "x\r# none\n", "8 x"},
        {o + "#PrintGenInfo = 9\nX " + n + "\"\" \"\n", "42 \" "},
        {o + n + "a\vb\nPrintGenInfo = 1\nPrintGenInfo = 2", "2 a"},
        {"PrintGenInfo = 1\n[General_Parameters]\nPrintGenInfo = 1\n[Input_Parameters]\nPrintGenInfo = 1\n", "42 old"},
        {o + "[Unknown_Parameters]\nPrintGenInfo = 3\n", "3 old"},
        {"[Input_Parameters]\n[output_parameters]\nPrintGenInfo = 4\n", "42 old"},
        {"  [Output_Parameters] trailing\nPrintGenInfo = 3\n", "3 old"},
        {"[Output_Parameters] PrintGenInfo = 3\n" + o + "a\n\n \r\n\n", "42 old"},
        {o + n + long_name + "\n", "42 " + long_name.substr(0, 2047 - n.size())},
        {o + std::string(2047, 'x') + "PrintGenInfo = 7\n", "7 old"},
        {o + "PrintGenInfo = 3\n" + std::string(2047, 'x') + "#PrintGenInfo = 5\n", "3 old"},
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        settings.PrintGenInfo = 42;
        settings.OutputOtherReportName = "old";
        EXPECT_EQ(parse(c.file), "0");
        const std::string name = settings.OutputOtherReportName.value_or("(unset)");
        EXPECT_EQ(std::to_string(settings.PrintGenInfo) + " " + name, c.want) << "file:\n" << c.file.substr(0, 200);
    }
    settings = program_settings{};
    EXPECT_EQ(parse("[General_Parameters]\nverbose_level = 3\n"), "0");
    EXPECT_EQ(settings.verbose, 0) << "verbose is tried first and occurs in the line";
    EXPECT_EQ(settings.verbose_level, 3);
}

TEST(ConfigFile, ResultCodesAndVerboseMessage)
{
    settings = program_settings{};
    EXPECT_EQ(parse_config_file(nullptr), config_no_path);
    EXPECT_EQ(parse_config_file("/nonexistent/quelm.conf"), config_cannot_open);
    settings.verbose = 1;
    EXPECT_EQ(parse(""), "0Parse configuration file = " + config_path() + "\n");
}

TEST(ConfigFile, SampleConfigurationNamesEveryKeyOnceAndParses)
{
    const std::string sample = std::string(QUELM_SOURCE_DIR) + "/examples/quelm_stat.conf";
    settings = program_settings{};
    std::ifstream file(sample);
    ASSERT_TRUE(file) << sample;
    std::map<std::string, int> named;
    for (std::string line; std::getline(file, line);) {
        std::size_t start = line.rfind('#', 0) == 0 ? 1 : 0;  // commented-out keys count as documented
        std::size_t equals = line.find(" = ");
        if (equals != std::string::npos && line.find(' ') == equals)
            ++named[line.substr(start, equals - start)];
    }
    for (const config_key& key : config_keys())
        EXPECT_EQ(named[key.name], 1) << key.name;
    EXPECT_EQ(named.size(), config_keys().size());
    ASSERT_EQ(parse_config_file(sample.c_str()), config_ok);
    EXPECT_EQ(settings.OutputGenInfoFile, "general.html");
    EXPECT_FALSE(settings.InputFile) << "the sample leaves the input to -f";
    settings = program_settings{};
}

}  // namespace
