// The configuration file: every key reaches its own field, and the line
// syntax (sections, comments, quotes, "none") behaves as documented.
#include "driver/config_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "driver/settings.h"

namespace {

#define GENERAL_KEYS(K) \
    K(verbose) K(verbose_level) K(time_profile) K(merge_sort) K(bases_fast_lookup) K(bases_sorting)

#define OUTPUT_INT_KEYS(K)                                                                                  \
    K(OutputFormat) K(SplitHtmlOutput) K(PrintGenInfo) K(PrintSumInfoRelays) K(PrintSumInfoRecipients)      \
    K(PrintEnvDomInfo) K(PrintRelDomInfo) K(PrintEnvInfo) K(PrintRelInfo) K(PrintRlrRejInfo)                \
    K(PrintMilRejInfo) K(PrintTlsMsg) K(PrintNoActvMsg) K(PrintUnkMsg) K(PrintOthMsg) K(PrintUnkUserMsg)    \
    K(PrintMsgOutOfOrderInfo) K(PrintRulOutOfOrderInfo) K(PrintMilOutOfOrderInfo) K(PrintHtmlIndex)         \
    K(PrintMsgRejStat) K(PrintOtherReport) K(PrintCountryIPInfo) K(PrintOldQuelmInfo) K(PrintProcMailInfo)  \
    K(PrintPop3Info) K(PrintImap4Info) K(PrintSpamHdrInfo) K(PrintSpamStatInfo) K(PrintMsgFileInfo)         \
    K(PrintMsgArcInfo) K(PrintVOLSKInfo)

#define OUTPUT_TEXT_KEYS(K)                                                                                 \
    K(OutputBaseDir) K(OutputGenInfoFile) K(OutputSumInfoRelaysFile) K(OutputSumInfoRecipientsFile)         \
    K(OutputEnvDomInfoFile) K(OutputRelDomInfoFile) K(OutputEnvInfoFile) K(OutputRelInfoFile)               \
    K(OutputRlrRejInfoFile) K(OutputMilRejInfoFile) K(OutputUnkMsgFile) K(OutputOthMsgFile)                 \
    K(OutputUnkUserMsgFile) K(OutputTlsMsgFile) K(OutputNoActvMsgFile) K(OutputMsgOutOfOrderFile)           \
    K(OutputRulOutOfOrderFile) K(OutputMilOutOfOrderFile) K(OutputHtmlIndexFile) K(OutputMsgRejStatFile)    \
    K(OutputOldQuelmInfoFile) K(OutputProcMailInfoFile) K(OutputPop3InfoFile) K(OutputImap4InfoFile)        \
    K(OutputVOLSKInfoFile) K(OutputSpamHdrInfoFile) K(OutputSpamStatInfoFile) K(OutputMsgFileInfoFile)      \
    K(OutputMsgArcInfoFile) K(OutputOtherReportFile) K(OutputOtherReportName)                               \
    K(OutputEnvDomByValueFile_Lvl_1) K(OutputEnvDomByValueFile_Lvl_2) K(OutputEnvDomByNameFile_Lvl_1)       \
    K(OutputEnvDomByNameFile_Lvl_2) K(OutputRelDomByValueFile_Lvl_1) K(OutputRelDomByValueFile_Lvl_2)       \
    K(OutputRelDomByNameFile_Lvl_1) K(OutputRelDomByNameFile_Lvl_2) K(OutputEnvPairsBySize)                 \
    K(OutputEnvPairsByCount) K(OutputEnvPairsByVirusDom_Lvl_2) K(OutputEnvPairsByVirusRelayAddr)            \
    K(OutputEnvPairsByVirusRcptName) K(OutputEnvPairsByRelayName) K(OutputEnvPairsByRelayAddr)              \
    K(OutputEnvPairsByRelayDom_Lvl_1) K(OutputEnvPairsByRelayDom_Lvl_2) K(OutputEnvPairsByDomFrom)          \
    K(OutputEnvPairsByStatus) K(OutputEnvPairsByTime) K(OutputEnvPairsByRcptName)                           \
    K(OutputEnvPairsBySenderName) K(OutputEnvSendersBySize) K(OutputEnvSendersByCount)                      \
    K(OutputEnvRecipientsBySize) K(OutputEnvRecipientsByCount) K(OutputRelayPairsBySize)                    \
    K(OutputRelayPairsByCount) K(OutputRelaySendersBySize) K(OutputRelaySendersByCount)                     \
    K(OutputRelayRecipientsBySize) K(OutputRelayRecipientsByCount) K(OutputMilterRejectsBySize)             \
    K(OutputMilterRejectsByCount) K(OutputMilterRejectsByRcptName) K(OutputMilterRejectsByName)             \
    K(OutputMilterRejectsByTime) K(OutputMilterRejectsByRelay) K(OutputMilterRejectsByRelAddr)              \
    K(OutputMilterRejectsByDomFrom) K(OutputMilterRejectsByRelDom_Lvl_1)                                    \
    K(OutputMilterRejectsByRelDom_Lvl_2) K(OutputEnvRecipientsMilRejByName)                                 \
    K(OutputEnvRecipientsMilRejByCount) K(OutputMilterRejectsByReason) K(OutputRejectsByReasonCount)        \
    K(OutputRejectsByReasonName)

#define NAME_OF(key) #key,
const char* const general_keys[] = {GENERAL_KEYS(NAME_OF)};
const char* const output_int_keys[] = {OUTPUT_INT_KEYS(NAME_OF)};
const char* const output_text_keys[] = {OUTPUT_TEXT_KEYS(NAME_OF)};
#undef NAME_OF

class ConfigFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        char pattern[] = "/tmp/quelm_config_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override
    {
        settings = program_settings{};
        std::filesystem::remove_all(directory_);
    }

    // Writes `content` to a fresh file and returns its path.
    std::string write_file(const std::string& content)
    {
        std::string path = directory_ + "/file" + std::to_string(files_++) + ".conf";
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Parses `content`; standard output and error must stay empty.
    int parse(const std::string& content)
    {
        std::string path = write_file(content);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int result = parse_config_file(path.c_str());
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out + err, "") << "for file:\n" << content;
        return result;
    }

    std::string directory_;
    int files_ = 0;
};

TEST_F(ConfigFileTest, KeyTableHasEveryKeyOnceInItsSection)
{
    std::map<std::string, config_section> want;
    for (const char* name : general_keys)
        want[name] = config_section::general;
    want["InputFile"] = config_section::input;
    for (const char* name : output_int_keys)
        want[name] = config_section::output;
    for (const char* name : output_text_keys)
        want[name] = config_section::output;
    ASSERT_EQ(want.size(), 117u);

    std::set<std::string> seen;
    int per_section[4] = {};
    for (const config_key& key : config_keys()) {
        EXPECT_TRUE(seen.insert(key.name).second) << "duplicate key " << key.name;
        ++per_section[static_cast<int>(key.section)];
        auto it = want.find(key.name);
        ASSERT_NE(it, want.end()) << "unexpected key " << key.name;
        EXPECT_EQ(key.section, it->second) << "section of " << key.name;
    }
    EXPECT_EQ(config_keys().size(), 117u);
    EXPECT_EQ(per_section[static_cast<int>(config_section::general)], 6);
    EXPECT_EQ(per_section[static_cast<int>(config_section::input)], 1);
    EXPECT_EQ(per_section[static_cast<int>(config_section::output)], 110);
}

TEST_F(ConfigFileTest, EveryKeyFillsItsOwnField)
{
    // Each key gets a value no other key has: integers from 101, texts k<n>.html.
    std::map<std::string, int> numbers;
    std::map<std::string, std::string> texts;
    std::string file = "[General_Parameters]\n";
    for (const char* name : general_keys) {
        numbers[name] = 101 + static_cast<int>(numbers.size());
        file += std::string(name) + " = " + std::to_string(numbers[name]) + "\n";
    }
    texts["InputFile"] = "/var/log/k0.log";
    file += "[Input_Parameters]\nInputFile = /var/log/k0.log\n[Output_Parameters]\n";
    for (const char* name : output_int_keys) {
        numbers[name] = 101 + static_cast<int>(numbers.size());
        file += std::string(name) + " = " + std::to_string(numbers[name]) + "\n";
    }
    for (const char* name : output_text_keys) {
        std::string value = std::to_string(texts.size());
        value.insert(0, 1, 'k').append(".html");
        texts[name] = value;
        file += std::string(name) + " = " + texts[name] + "\n";
    }
    ASSERT_EQ(numbers.size() + texts.size(), 117u);
    ASSERT_EQ(parse(file), config_ok);

#define CHECK_NUMBER(key) \
    EXPECT_EQ(settings.key, numbers.at(#key)) << #key ": got " << settings.key << " want " << numbers.at(#key);
#define CHECK_TEXT(key) \
    EXPECT_EQ(settings.key, texts.at(#key)) << #key ": got " << settings.key.value_or("(unset)");
    GENERAL_KEYS(CHECK_NUMBER)
    OUTPUT_INT_KEYS(CHECK_NUMBER)
    CHECK_TEXT(InputFile)
    OUTPUT_TEXT_KEYS(CHECK_TEXT)
#undef CHECK_NUMBER
#undef CHECK_TEXT
    // Settings without a key are left alone.
    EXPECT_EQ(settings.print_weekly, 0);
    EXPECT_EQ(settings.bases_results, 0);
    EXPECT_FALSE(settings.logging_file.has_value());
    EXPECT_FALSE(settings.config_file.has_value());
}

TEST_F(ConfigFileTest, IntegerValueSyntax)
{
    struct {
        std::string line;
        int want;  // PrintGenInfo afterwards (starts at 42)
    } cases[] = {
        {"PrintGenInfo = 1\n", 1},      {"PrintGenInfo=2\n", 2},          {"   PrintGenInfo\t=\t3  \n", 3},
        {"PrintGenInfo = yes\n", 0},    {"PrintGenInfo = -4\n", -4},      {"PrintGenInfo = 12abc\n", 12},
        {"PrintGenInfo = \"7\"\n", 7},  {"PrintGenInfo = 5\r\n", 5},     {"PrintGenInfo = none\n", 0},
        {"PrintGenInfo =\n", 42},       // empty value: no key takes the line
        {"PrintGenInfo 5\n", 42},       // no "="
        {"PrintGenInfo : 5 PrintGenInfo = 6\n", 42},  // only the first occurrence counts
        {"printgeninfo = 5\n", 42},     // keys are case-sensitive
        {"  # PrintGenInfo = 8\n", 8},  // "#" after blanks is no comment
        {"#PrintGenInfo = 9\n", 42},    {"# PrintGenInfo = 9\n", 42},
        {"X PrintGenInfo = 6\n", 6},    // the key may stand anywhere
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        settings.PrintGenInfo = 42;
        EXPECT_EQ(parse("[Output_Parameters]\n" + c.line), config_ok);
        EXPECT_EQ(settings.PrintGenInfo, c.want) << "line \"" << c.line << "\"";
    }
}

TEST_F(ConfigFileTest, TextValueSyntax)
{
    struct {
        std::string line;
        setting_text want;  // OutputOtherReportName afterwards (starts as "old")
    } cases[] = {
        {"OutputOtherReportName = Weekly\n", "Weekly"},
        {"OutputOtherReportName = Weekly report\n", "Weekly"},
        {"OutputOtherReportName = \"Weekly mail report\"\n", "Weekly mail report"},
        {"OutputOtherReportName=\"a\"\n", "a"},
        {"OutputOtherReportName = \"\"\n", "old"},             // empty quotes: no value
        {"OutputOtherReportName = \"unclosed value\n", "old"},
        {"OutputOtherReportName = \"\n", "old"},
        {"OutputOtherReportName = none\n", std::nullopt},
        {"OutputOtherReportName = /tmp/nonexistent.html\n", std::nullopt},
        {"OutputOtherReportName = report.html # none yet\n", std::nullopt},
        {"OutputOtherReportName = \"Nonesuch\" x\n", "Nonesuch"},   // "None" is not "none"
        {"OutputOtherReportName = a\tb\n", "a"},
        {"OutputOtherReportName = x\r\n", "x"},
        {"OutputOtherReportName = x\r# none\n", "x"},  // the line ends at its first carriage return
    };
    for (const auto& c : cases) {
        settings = program_settings{};
        settings.OutputOtherReportName = "old";
        EXPECT_EQ(parse("[Output_Parameters]\n" + c.line), config_ok);
        EXPECT_EQ(settings.OutputOtherReportName, c.want)
            << "line \"" << c.line << "\": got \"" << settings.OutputOtherReportName.value_or("(unset)") << "\"";
    }
}

TEST_F(ConfigFileTest, KeysCountOnlyInTheirOwnSection)
{
    EXPECT_EQ(parse("OutputFormat = 0\n"
                    "[General_Parameters]\n"
                    "OutputFormat = 0\n"
                    "InputFile = in.log\n"
                    "[Input_Parameters]\n"
                    "verbose = 5\n"),
              config_ok);
    EXPECT_EQ(settings.OutputFormat, 1);
    EXPECT_FALSE(settings.InputFile.has_value());
    EXPECT_EQ(settings.verbose, 0);

    // An unknown section name is an ordinary line: the section stays.
    settings = program_settings{};
    EXPECT_EQ(parse("[General_Parameters]\n[Unknown_Parameters]\nmerge_sort = 0\n"), config_ok);
    EXPECT_EQ(settings.merge_sort, 0);

    settings = program_settings{};
    EXPECT_EQ(parse("  [General_Parameters] trailing\nmerge_sort = 0\n"
                    "[output_parameters]\nOutputFormat = 0\n"),
              config_ok);
    EXPECT_EQ(settings.merge_sort, 0);
    EXPECT_EQ(settings.OutputFormat, 1) << "section names are case-sensitive";

    settings = program_settings{};
    EXPECT_EQ(parse("[Output_Parameters] OutputFormat = 0\nPrintGenInfo = 1\n"), config_ok);
    EXPECT_EQ(settings.OutputFormat, 1) << "a section line is not read for keys";
    EXPECT_EQ(settings.PrintGenInfo, 1);

    // "verbose" is tried first and occurs in the line, but must not take it.
    settings = program_settings{};
    EXPECT_EQ(parse("[General_Parameters]\nverbose_level = 3\n"), config_ok);
    EXPECT_EQ(settings.verbose, 0);
    EXPECT_EQ(settings.verbose_level, 3);
}

TEST_F(ConfigFileTest, FileOverridesOptionValues)
{
    settings.OutputFormat = 0;  // as -a left it
    settings.InputFile = "mail.log";
    settings.OutputGenInfoFile = "gen.html";
    settings.OutputEnvInfoFile = "env.html";
    settings.PrintEnvInfo = 2;
    EXPECT_EQ(parse("[Output_Parameters]\nOutputFormat = 1\nOutputGenInfoFile = none\n"
                    "OutputGenInfoFile = late.html\nOutputEnvInfoFile = none\n"
                    "[Input_Parameters]\nInputFile = none\n"),
              config_ok);
    EXPECT_EQ(settings.OutputFormat, 1);
    EXPECT_FALSE(settings.InputFile.has_value());
    EXPECT_EQ(settings.OutputGenInfoFile, "late.html") << "a later line replaces an earlier one";
    EXPECT_FALSE(settings.OutputEnvInfoFile.has_value());
    EXPECT_EQ(settings.PrintEnvInfo, 2) << "keys not in the file keep the option's value";
}

TEST_F(ConfigFileTest, ShortLinesAndFilesWithoutSectionsChangeNothing)
{
    EXPECT_EQ(parse("[Output_Parameters]\na\n\n \r\n\nPrintGenInfo=1"), config_ok);
    EXPECT_EQ(settings.PrintGenInfo, 1) << "a last line without newline is read";

    settings = program_settings{};
    EXPECT_EQ(parse(""), config_ok);
    EXPECT_EQ(parse("# no sections\nsome text here\nOutputFormat = 0\n\n"), config_ok);
    EXPECT_EQ(settings.OutputFormat, 1);
    EXPECT_FALSE(settings.InputFile.has_value());
}

TEST_F(ConfigFileTest, LongLineIsReadInPieces)
{
    // 2047 characters make the first piece; the rest is a line of its own.
    std::string prefix = "OutputGenInfoFile = ";
    std::string value(3000, 'v');
    EXPECT_EQ(parse("[Output_Parameters]\n" + prefix + value + "\n"), config_ok);
    ASSERT_TRUE(settings.OutputGenInfoFile.has_value());
    EXPECT_EQ(settings.OutputGenInfoFile->size(), 2047 - prefix.size());

    settings = program_settings{};
    EXPECT_EQ(parse("[Output_Parameters]\n" + std::string(2047, 'x') + "PrintGenInfo = 7\n"), config_ok);
    EXPECT_EQ(settings.PrintGenInfo, 7);

    settings = program_settings{};
    EXPECT_EQ(parse("[Output_Parameters]\nPrintGenInfo = 3\n" + std::string(2047, 'x') + "#PrintGenInfo = 5\n"),
              config_ok);
    EXPECT_EQ(settings.PrintGenInfo, 3) << "a piece starting with # is a comment";
}

TEST_F(ConfigFileTest, ResultCodesAndVerboseMessage)
{
    EXPECT_EQ(parse_config_file(nullptr), config_no_path);

    std::string missing = directory_ + "/missing.conf";
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_config_file(missing.c_str()), config_cannot_open);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    settings.verbose = 1;
    std::string path = write_file("[General_Parameters]\ntime_profile = 2\n");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_config_file(path.c_str()), config_ok);
    EXPECT_EQ(parse_config_file(missing.c_str()), config_cannot_open);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Parse configuration file = " + path + "\nParse configuration file = " + missing + "\n");
    EXPECT_EQ(settings.time_profile, 2);
}

TEST(FindKeyValueTest, FindsValueOrNone)
{
    struct {
        std::string key;
        std::string line;
        bool found;
        std::string want;  // the value text when found
    } cases[] = {
        {"PrintGenInfo", "PrintGenInfo = 1", true, "1"},
        {"PrintGenInfo", " \tPrintGenInfo\t=\t12 rest", true, "12"},
        {"PrintGenInfo", "PrintGenInfo=", true, ""},
        {"PrintGenInfo", "PrintGenInfo =   ", true, ""},
        {"PrintGenInfo", "PrintGenInfo 1", false, ""},
        {"PrintGenInfo", "PrintGenInfoX = 1", false, ""},
        {"PrintGenInfo", "PrintGenInfo x = 1 PrintGenInfo = 2", false, ""},
        {"PrintGenInfo", "printgeninfo = 1", false, ""},
        {"PrintGenInfo", "", false, ""},
        {"verbose", "verbose_level = 2", false, ""},
        {"verbose_level", "verbose_level = 2", true, "2"},
        {"Name", "# Name = v", true, "v"},
        {"Name", "Name = \"two words\" tail", true, "two words"},
        {"Name", "Name = \"x\"", true, "x"},
        {"Name", "Name = \"\"", false, ""},
        {"Name", "Name = \"\" \"", true, "\" "},  // the quote right after the opening one is skipped
        {"Name", "Name = \"open", false, ""},
        {"Name", "Name = \"", false, ""},
        {"Name", "Name = a\vb", true, "a"},
        {"Name", "Name =\fa\r", true, "a"},
    };
    for (const auto& c : cases) {
        std::optional<key_value> got = find_key_value(c.key, c.line);
        ASSERT_EQ(got.has_value(), c.found) << "key " << c.key << " line \"" << c.line << "\"";
        if (got) {
            ASSERT_LE(got->start + got->length, c.line.size());
            EXPECT_EQ(c.line.substr(got->start, got->length), c.want)
                << "key " << c.key << " line \"" << c.line << "\"";
        }
    }
}

}  // namespace
