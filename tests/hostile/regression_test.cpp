// Replays every saved hostile input (tests/hostile/regressions/: inputs the
// fuzz targets crashed on, and hand-made ones) through the very functions the
// fuzz targets call, built here without libFuzzer. Also checks the HTML
// checker itself and the reports of the hostile_markup end-to-end case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/config_file.h"
#include "fuzz/harness.h"
#include "hostile_support.h"

namespace {

namespace fs = std::filesystem;
using hostile_support::read_file;

const fs::path source_dir = QUELM_SOURCE_DIR;
const fs::path regressions = source_dir / "tests/hostile/regressions";

class hostile_regressions : public testing::Test {
protected:
    static void SetUpTestSuite() { hostile::prepare(QUELM_SOURCE_DIR); }
};

std::vector<fs::path> inputs_in(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename() != "README")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The pieces fgets with a 4096-byte buffer makes of a text, counted apart
// from the program's reader.
std::uint32_t piece_count(const std::string& text)
{
    std::uint32_t pieces = 0;
    std::size_t in_piece = 0;
    for (char c : text) {
        ++in_piece;
        if (c == '\n' || in_piece == 4095) {
            ++pieces;
            in_piece = 0;
        }
    }
    return pieces + (in_piece > 0 ? 1 : 0);
}

bool contains_script_tag(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text.find("<script") != std::string::npos;
}

TEST_F(hostile_regressions, pipeline_inputs_run_through_every_pass)
{
    const std::vector<fs::path> files = inputs_in(regressions / "pipeline");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string log = read_file(file);
        testing::internal::CaptureStderr();
        const hostile::pipeline_outcome outcome = hostile::run_pipeline(log);
        testing::internal::GetCapturedStderr();
        for (const hostile::pass_outcome* pass : {&outcome.ascii, &outcome.html, &outcome.split}) {
            EXPECT_EQ(pass->lines_read, piece_count(log));
            EXPECT_LE(pass->hosts_found, 4u);
            EXPECT_TRUE(pass->built);
            EXPECT_EQ(pass->markup_fault, "");
        }
        EXPECT_EQ(outcome.ascii.report_files, 0u);
        // The general report and the index are written for every log.
        EXPECT_GE(outcome.html.report_files, 2u);
        EXPECT_GE(outcome.split.report_files, 2u);
    }
}

TEST_F(hostile_regressions, config_inputs_parse_to_a_result)
{
    const std::vector<fs::path> files = inputs_in(regressions / "config");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int result = hostile::run_config_parser(read_file(file));
        testing::internal::GetCapturedStderr();
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(result == config_ok || result == config_errors) << result;
    }
}

TEST_F(hostile_regressions, ip_range_inputs_load_within_their_lines)
{
    const std::vector<fs::path> files = inputs_in(regressions / "ip_ranges");
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::string text = read_file(file);
        testing::internal::CaptureStderr();
        const hostile::ip_tables_outcome outcome = hostile::run_ip_range_loaders(text);
        testing::internal::GetCapturedStderr();
        EXPECT_LE(outcome.country_entries, piece_count(text));
        EXPECT_LE(outcome.area_entries, piece_count(text));
    }
}

// The checker must catch what it is there for, or the fuzz target proves nothing.
TEST(html_markup_checker, accepts_the_report_frame_and_catches_leaks)
{
    const std::string frame = "<!DOCTYPE HTML PUBLIC \"x\">\n<HTML><BODY><A NAME=mx1></A><A HREF=\"#mx1\">mx1</A>"
                              "<TD ALIGN=left>&lt;script&gt;</TD><b>x</b></BODY></HTML>\n";
    EXPECT_EQ(hostile::html_markup_fault(frame), "");
    EXPECT_EQ(hostile::html_markup_fault("<A NAME=ev&#34;il&#60;x></A>"), "");

    EXPECT_NE(hostile::html_markup_fault("<TD><script>alert(1)</script></TD>"), "");
    EXPECT_NE(hostile::html_markup_fault("<TD>a > b</TD>"), "");
    EXPECT_NE(hostile::html_markup_fault("<TD>a <b</TD>"), "");
    EXPECT_NE(hostile::html_markup_fault("<TD>unclosed <TD"), "");
    EXPECT_NE(hostile::html_markup_fault("<A HREF=\"#a\"b\">x</A>"), "");
    EXPECT_NE(hostile::html_markup_fault("<A HREF=\"#a\" onclick=\"x\">x</A>"), "");
    EXPECT_NE(hostile::html_markup_fault("<A NAME=a\"b></A>"), "");
    EXPECT_NE(hostile::html_markup_fault("<A NAME=a onmouseover=x></A>"), "");
    EXPECT_NE(hostile::html_markup_fault("<A NAME=></A>"), "");
    EXPECT_NE(hostile::html_markup_fault("<IMG SRC=x>"), "");
}

// The reports of tests/e2e/cases/hostile_markup, written afresh: not one
// tag may come from the log, and every anchor must be whole.
TEST(hostile_markup_case, every_html_report_keeps_log_text_out_of_markup)
{
    const fs::path case_dir = source_dir / "tests/e2e/cases/hostile_markup";
    hostile_support::scratch_folder work;
    for (const char* name : {"hostile.log", "hostile.conf", "country_ip.data", "area_ip.data"})
        fs::copy_file(case_dir / name, work / name);
    fs::create_directory(work / "out");
    std::string cmd = read_file(case_dir / "cmd");
    std::vector<std::string> args;
    std::istringstream words(cmd);
    for (std::string word; words >> word;)
        args.push_back(word);

    const hostile_support::run_result run = hostile_support::run_quelm_stat(args, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "");

    std::size_t html_files = 0;
    for (const fs::path& file : inputs_in(work / "out")) {
        if (file.extension() != ".html")
            continue;
        SCOPED_TRACE(file.filename().string());
        ++html_files;
        const std::string html = read_file(file);
        EXPECT_FALSE(contains_script_tag(html));
        EXPECT_EQ(hostile::html_markup_fault(html), "");
        // The log's markup did arrive, escaped (the index holds no log text).
        if (file.filename() != "index.html") {
            EXPECT_NE(html.find("&lt;script&gt;alert("), std::string::npos);
        }
    }
    EXPECT_EQ(html_files, 18u);
}

}  // namespace
