// The shared report helpers: digit grouping, percentages, the two escaping
// rules of HTML cells and attributes, and the writer's file handling.
#include "report/report_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(FormatGrouped, GroupsOfThreeSeparatedByBlanks)
{
    struct { double value; const char* want; } cases[] = {
        {0, "0"}, {7, "7"}, {999, "999"}, {1000, "1 000"}, {1001, "1 001"}, {1234.7, "1 234"},
        {999999, "999 999"}, {1000000, "1 000 000"}, {1234567, "1 234 567"}, {86400, "86 400"},
        {4294967295.0, "4 294 967 295"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_grouped(c.value), c.want) << c.value;
}

TEST(PercentOf, SinglePrecisionAndZeroTotals)
{
    char text[16];
    std::snprintf(text, sizeof text, "%5.2f", percent_of(1, 3));
    EXPECT_STREQ(text, "33.33");
    std::snprintf(text, sizeof text, "%5.2f", percent_of(5, 0));
    EXPECT_STREQ(text, " 0.00");
    std::snprintf(text, sizeof text, "%5.2f", percent_of(2, 3));
    EXPECT_STREQ(text, "66.67");
    EXPECT_EQ(percent_of(3, 3), 100.0f);
}

TEST(EscapeAngles, ReplacesAnglesAndRefusesWhatItCannotHold)
{
    char out[16];
    ASSERT_EQ(escape_angles("<b>x", 4, out, sizeof out), 0);
    EXPECT_STREQ(out, "&lt;b&gt;x");
    ASSERT_EQ(escape_angles("a<b>c", 3, out, sizeof out), 0) << "only the given length is copied";
    EXPECT_STREQ(out, "a&lt;b");
    // An entity that would not fit is left out whole, never cut in the middle.
    ASSERT_EQ(escape_angles("0123456789ab<", 13, out, sizeof out), 0);
    EXPECT_STREQ(out, "0123456789ab");
    strcpy(out, "old");
    EXPECT_EQ(escape_angles("", 0, out, sizeof out), -1);
    EXPECT_EQ(escape_angles(nullptr, 3, out, sizeof out), -1);
    EXPECT_EQ(escape_angles("0123456789abcdefg", 17, out, sizeof out), -1);
    EXPECT_STREQ(out, "old") << "a refused text writes nothing";
    char wide[32];
    ASSERT_EQ(escape_spaces("a b <c>", 7, wide, sizeof wide), 0);
    EXPECT_STREQ(wide, "a&nbsp;b&nbsp;<c>");
}

TEST(HtmlEscaping, CellsTextsAndAttributes)
{
    EXPECT_EQ(html_cell_text("<script>"), "&lt;script&gt;");
    EXPECT_EQ(html_cell_text(std::string(513, 'x').c_str()), "") << "longer than the cell buffer: empty cell";
    EXPECT_EQ(html_cell_text(std::string(512, '<').c_str()).size(), 508u) << "cut to whole entities";
    EXPECT_EQ(html_cell_text(nullptr), "");
    EXPECT_EQ(html_text(("<" + std::string(600, 'y')).c_str()).size(), 604u) << "no length limit";
    EXPECT_EQ(html_text("a&b \"c\""), "a&b \"c\"") << "only angles change in text";
    EXPECT_EQ(html_attribute("mx1.example.org"), "mx1.example.org");
    EXPECT_EQ(html_attribute("a\"><script>"), "a&#34;&#62;&#60;script&#62;");
    EXPECT_EQ(html_attribute("a\tonload=x"), "a&#9;onload&#61;x");
}

TEST(ReportFile, EmptyPathMeansStandardOutputAndFailuresAreReported)
{
    {
        report_file out("", "test_out");
        ASSERT_TRUE(out);
        EXPECT_EQ(out.stream(), stdout);
    }
    EXPECT_NE(std::fputs("", stdout), EOF) << "standard output stays open";
    testing::internal::CaptureStderr();
    report_file bad("/nonexistent/dir/x.html", "gen_info_out");
    EXPECT_FALSE(bad);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open gen_info_out file!\n");
}

TEST(ReportFile, FailedWriteIsReportedWithTheToken)
{
    testing::internal::CaptureStderr();
    {
        report_file full("/dev/full", "gen_info_out");
        ASSERT_TRUE(full);
        full.write(std::string(1 << 17, 'x'));
    }
    {
        report_file full("/dev/full", "rel_dom_info_out", "ERROR: cannot rel_open dom_info_out file!\n");
        full.write("x");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: cannot write gen_info_out file!\nERROR: cannot write rel_dom_info_out file!\n");
}

}  // namespace
