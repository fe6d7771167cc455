// The milter reject report: the writer's file handling in every form (open
// failures, split views with shared tokens, the empty file of other formats,
// standard output left open), the cells of the three tables (addresses,
// relay variants, absent texts, escaping, times, percentages) and the sorts
// of the views. The byte-exact layout is checked end to end
// (tests/e2e/cases/milter_*).
#include "report/milter_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t count_of(const std::string& text, const std::string& piece)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

std::time_t utc(int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 1;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

milter_reject_stat reject(const char* from, const char* to, const char* relay, const char* ip, const char* geo,
                          const char* reason, std::uint32_t count, double size)
{
    milter_reject_stat r{};
    r.env_from = from;
    r.env_to = to;
    r.relay_name = relay;
    r.relay_ip = ip;
    r.relay_geo_dom = geo;
    r.reason = reason;
    r.count = count;
    r.size = size;
    r.first_time = r.last_time = utc(10, 0, 0);
    return r;
}

class MilterReport : public testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        settings.header_color = "CCCCCC";
        settings.body_color = "E9E5DF";
        settings.page_heading = "Sendmail Log Analysis Report";
        clear_host_table();
        char pattern[] = "/tmp/quelm_milter_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        path_ = directory_ + "/milter.out";
    }
    void TearDown() override
    {
        std::filesystem::remove_all(directory_);
        clear_host_table();
        settings = program_settings{};
    }

    host_info& host_with_rejects()
    {
        host_info& h = *find_or_add_host("mx1");
        h.milter.rejects = {
            reject("a@x.org", nullptr, "r.x.org", nullptr, nullptr, "550 <spam>", 1, 999),
            reject("b@x.org", "c@y.net", "r.x.org", "192.0.2.1", nullptr, "554 virus", 3, 1234567),
            reject("d@x.org", "e@y.net", nullptr, "192.0.2.2", "de", "550 <spam>", 2, 0),
        };
        h.milter.rejects[1].last_time = utc(11, 30, 5);
        h.milter.refs = 6;
        h.milter.size = 1235566;
        h.milter.reasons = {{4, "550 <spam>"}, {2, "554 virus"}};
        h.milter.reason_refs = 6;
        h.milter.recipients = {{"c@y.net", 1234567, 3}, {"e@y.net", 0, 2}, {"f@y.net", 0, 1}};
        h.milter.recipient_refs = 6;
        return h;
    }

    std::string write(int format)
    {
        EXPECT_EQ(write_milter_report(path_, format), 0);
        return read_file(path_);
    }

    std::string directory_;
    std::string path_;
};

TEST_F(MilterReport, AsciiPrintsLogTextUnchangedAndAbsentTextsAsNull)
{
    host_with_rejects();
    const std::string text = write(FORMAT_ASCII);
    EXPECT_NE(text.find("from='a@x.org','r.x.org','(null)'  size=999 count=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("from='d@x.org','(null)','192.0.2.2'  size=0 count=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("from='550 <spam>' count=4\n"), std::string::npos) << text;
    EXPECT_NE(text.find("to='c@y.net' size=1234567 count=3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("milter rejects size (esmtp): 1235566\n"), std::string::npos) << text;
}

TEST_F(MilterReport, HostWithoutRejectsShowsZerosAndEmptyLists)
{
    find_or_add_host("mx1");
    EXPECT_EQ(write(FORMAT_ASCII),
              "host: mx1\nmilter rejects count: 0\nmilter rejects count (ref): 0\nmilter rejects size (esmtp): 0\n"
              "milter reason rejects count: 0\nmilter reason rejects count (ref): 0\n\n"
              "<<< Unsorted list of milter rejects >>>\n\n"
              "<<< Unsorted list of recipients of milter rejects >>>\n\n"
              "<<< Unsorted list of milter rejects by reason >>>\n\n");
    const std::string html = write(FORMAT_HTML);
    EXPECT_EQ(count_of(html, "(0 milter rejects sorted by"), 11u) << html;
    EXPECT_EQ(count_of(html, "      </TR>\n"), 3u) << "three tables with only their header rows";
}

TEST_F(MilterReport, RejectTableCellsFollowWhatEachRecordHas)
{
    host_info& h = host_with_rejects();
    {
        report_file out(path_, "test");
        write_milter_reject_table(out, h);
    }
    const std::string html = read_file(path_);
    EXPECT_NE(html.find("        <TD ALIGN=left>a@x.org</TD>\n        <TD ALIGN=left>r.x.org</TD>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("        <TD ALIGN=left>b@x.org (c@y.net)</TD>\n        <TD ALIGN=left>r.x.org [192.0.2.1]</TD>\n"
                        "        <TD ALIGN=center>3</TD>\n        <TD ALIGN=center>1&nbsp;234&nbsp;567</TD>\n"
                        "        <TD ALIGN=left>554 virus<BR>(10:00:00,11:30:05)</TD>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("        <TD ALIGN=left> [192.0.2.2],[de]</TD>\n"), std::string::npos) << html;
    EXPECT_NE(html.find("        <TD ALIGN=left>550 &lt;spam&gt;<BR>(10:00:00)</TD>\n"), std::string::npos) << html;
    EXPECT_EQ(html.find("<spam>"), std::string::npos);
    EXPECT_EQ(count_of(html, "      <TR>\n        <TD ALIGN=center>"), 3u);
}

TEST_F(MilterReport, PercentagesUseTheReferenceTotals)
{
    host_info& h = host_with_rejects();
    {
        report_file out(path_, "test");
        write_reject_reason_table(out, h, 6);
        write_milter_recipient_table(out, h);
        write_reject_reason_table(out, h, 0);
    }
    const std::string html = read_file(path_);
    EXPECT_NE(html.find("        <TD ALIGN=left>550 &lt;spam&gt;</TD>\n        <TD ALIGN=center>4</TD>\n"
                        "        <TD ALIGN=center>66.67</TD>\n"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("        <TD ALIGN=left>f@y.net</TD>\n        <TD ALIGN=center>1</TD>\n"
                        "        <TD ALIGN=center>16.67</TD>\n"),
              std::string::npos)
        << html;
    EXPECT_EQ(count_of(html, "<TD ALIGN=center> 0.00</TD>"), 2u) << "a total of 0 gives 0";
}

TEST_F(MilterReport, SingleFileSectionsSortAndEndWithARule)
{
    host_info& h = host_with_rejects();
    const std::string html = write(FORMAT_HTML);
    EXPECT_EQ(count_of(html, "    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n"), 11u);
    EXPECT_NE(html.find("    [<A HREF=\"#mx1\">mx1</A>]\n\n    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n"
                        "    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n"),
              std::string::npos);
    EXPECT_NE(html.find("<A HREF=\"#mx1milreldoml2\">Milter rejects sorted by relay domain level-2</A>"),
              std::string::npos);
    EXPECT_NE(html.find("    <H3>mx1 (2 milter rejects sorted by reason count)</H3>\n"), std::string::npos);
    // The count table lists the largest count first; the last sort is by reason name.
    std::size_t count_table = html.find("sorted by count)</H3>");
    EXPECT_LT(html.find("b@x.org (c@y.net)", count_table), html.find("d@x.org (e@y.net)", count_table));
    EXPECT_STREQ(h.milter.reasons[0].reason, "550 <spam>");
    EXPECT_STREQ(h.milter.rejects[0].reason, "550 <spam>") << "the reason sort is the last one of the rejects";
}

TEST_F(MilterReport, OpenFailureGivesItsMessage)
{
    host_with_rejects();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_milter_report(directory_ + "/missing/m.html", FORMAT_HTML), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open mil_rej_out file!\n");
}

TEST_F(MilterReport, OtherFormatsAndSplitValuesLeaveAnEmptyFile)
{
    host_with_rejects();
    std::ofstream(path_) << "old content";
    EXPECT_EQ(write(2), "");
    settings.SplitHtmlOutput = 2;
    std::ofstream(path_) << "old content";
    EXPECT_EQ(write(FORMAT_HTML), "");
    EXPECT_NE(write(FORMAT_ASCII), "") << "the split value only concerns HTML";
}

TEST_F(MilterReport, SplitModeWritesEachSetViewAndNoMainFile)
{
    host_with_rejects();
    settings.SplitHtmlOutput = 1;
    settings.OutputBaseDir = directory_;
    settings.OutputMilterRejectsByCount = "count.html";
    settings.OutputMilterRejectsByRelay = "missing/relay.html";
    settings.OutputMilterRejectsByDomFrom = "missing/dom.html";
    settings.OutputMilterRejectsByReason = "missing/reason.html";
    settings.OutputEnvRecipientsMilRejByName = "rcpt.html";
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_milter_report(path_, FORMAT_HTML), 0);
    // Three views share one token.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open mil_rej_relay file!\n"
                                                      "ERROR: cannot open mil_rej_relay file!\n"
                                                      "ERROR: cannot open mil_rej_relay file!\n");
    EXPECT_FALSE(std::filesystem::exists(path_));
    const std::string count = read_file(directory_ + "/count.html");
    EXPECT_NE(count.find("    <H3>mx1 (3 milter rejects sorted by count)</H3>\n    <TABLE BORDER=1>\n"),
              std::string::npos)
        << count;
    EXPECT_EQ(count.find("<A NAME="), std::string::npos) << "split files have no anchors";
    const std::string rcpt = read_file(directory_ + "/rcpt.html");
    EXPECT_NE(rcpt.find("    <H3>mx1 (3 envelope recipients from milter rejects sorted by name)</H3>\n"
                        "    <TABLE BORDER=1 WIDTH=\"80%\">\n"),
              std::string::npos)
        << rcpt;
}

TEST_F(MilterReport, EmptyPathWritesToStandardOutputAndLeavesItOpen)
{
    host_with_rejects();
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_milter_report("", FORMAT_ASCII), 0);
    std::printf("after\n");
    std::fflush(stdout);
    const std::string text = testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.rfind("host: mx1\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nafter\n"), std::string::npos);
}

}  // namespace
