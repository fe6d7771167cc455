// The general information report: the status sort (order, stability, no
// relinking), the writer's file handling, the precision of the rejection
// shares, the lasting sort of the HTML form and the escaping of log text.
// The byte-exact layout is checked end to end (tests/e2e/cases/general_*).
#include "report/general_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "stats/general_stats.h"
#include "stats/sort_engine.h"
#include "tests/test_support.h"

namespace {

using payload = std::pair<std::uint32_t, std::string>;

// The neighbour-exchange passes over a plain array: pass p walks from the
// last element towards the first with n - p comparisons, moving an element
// before its predecessor when its count is larger.
std::vector<payload> reference_order(std::vector<payload> v)
{
    for (std::size_t pass = 1; pass < v.size(); ++pass)
        for (std::size_t i = v.size() - 1; i >= pass; --i)
            if (v[i].first > v[i - 1].first)
                std::swap(v[i], v[i - 1]);
    return v;
}

// The status table of a host is ordered like the exchange passes: largest
// count first, equal counts in their order of first appearance.
TEST(StatusSort, GivesTheOrderOfTheExchangePasses)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        std::size_t length = random() % 40;
        std::vector<payload> payloads;
        for (std::size_t i = 0; i < length; ++i)
            payloads.emplace_back(random() % 6, "status " + std::to_string(i));
        std::vector<status_entry> table;
        for (const payload& p : payloads)
            table.push_back(status_entry{p.first, p.second.c_str()});
        sort_statuses(table, SORT_BY_COUNT);
        std::vector<payload> got;
        for (const status_entry& entry : table)
            got.emplace_back(entry.count, entry.text);
        ASSERT_EQ(got, reference_order(payloads)) << "round " << round;
    }
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GeneralReportFile : public testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        settings.header_color = "CCCCCC";
        clear_host_table();
        char pattern[] = "/tmp/quelm_general_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
        path_ = directory_ + "/general.out";
    }
    void TearDown() override
    {
        std::remove(path_.c_str());
        rmdir(directory_.c_str());
        clear_host_table();
    }

    std::string write(int format)
    {
        EXPECT_EQ(write_general_report(path_, format), 0);
        return read_file(path_);
    }

    std::string directory_;
    std::string path_;
};

TEST_F(GeneralReportFile, NoHostGivesAnEmptyAsciiReport)
{
    EXPECT_EQ(write(FORMAT_ASCII), "");
    std::string html = write(FORMAT_HTML);
    EXPECT_NE(html.find("<H2>Index</H2>\n    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n    <P><HR"),
              std::string::npos)
        << html;
}

TEST_F(GeneralReportFile, OtherFormatsLeaveTheFileEmpty)
{
    find_or_add_host("mx1");
    std::ofstream(path_) << "old content";
    EXPECT_EQ(write(2), "");
    EXPECT_EQ(write(-1), "");
}

TEST_F(GeneralReportFile, AnUnopenablePathIsReportedAndGivesOne)
{
    find_or_add_host("mx1");
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_general_report(directory_ + "/missing/general.html", FORMAT_HTML), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open gen_info_out file!\n");
}

// The percent cell of the row labelled `label` in the distribution table
// titled `title`.
std::string percent_cell(const std::string& html, const std::string& title, const std::string& label)
{
    std::size_t table = html.find("<B>" + title + "</B>");
    std::size_t row = html.find(">" + label + "</TD>\n", table);
    if (table == std::string::npos || row == std::string::npos)
        return "(missing)";
    std::size_t count_cell = html.find('\n', row) + 1;
    std::size_t cell = html.find('\n', count_cell) + 1;
    return html.substr(cell, html.find('\n', cell) - cell);
}

TEST_F(GeneralReportFile, RejectionSharesAreDividedInDoublePrecision)
{
    // 1074 of 1541 is 69.6950...: single precision rounds it to 69.69,
    // double precision to 69.70.
    host_info& host = *find_or_add_host("mx1");
    host.general.ruleset_rejects = 1000;
    host.general.milter_rejects = 541;
    host.general.in_connects = 1541;
    host.general.hour_rejects[5] = 1074;
    host.general.hour_connects[5] = 1074;
    host.general.wday_rejects[3] = 1074;
    settings.print_weekly = 1;
    std::string html = write(FORMAT_HTML);
    EXPECT_EQ(percent_cell(html, "Rejected messages per hour", "05-06"), "              <TD ALIGN=center>69.70</TD>");
    EXPECT_EQ(percent_cell(html, "Rejected messages per day", "Wed"), "              <TD ALIGN=center>69.70</TD>");
    EXPECT_EQ(percent_cell(html, "Inbound connects per hour", "05-06"), "              <TD ALIGN=center>69.69</TD>");
}

std::string two_statuses_log()
{
    return "Dec  1 10:00:00 mx<i>1 sm-mta[1]: Q1: from=<a@example.org>, size=10, relay=r.example.org [192.0.2.1]\n"
           "Dec  1 10:00:01 mx<i>1 sm-mta[1]: Q1: to=<b@example.net>, delay=00:00:01, mailer=esmtp, stat=Deferred: <script>alert(1)</script>\n"
           "Dec  1 10:00:02 mx<i>1 sm-mta[1]: Q1: to=<c@example.net>, delay=00:00:02, mailer=esmtp, stat=Sent (ok)\n"
           "Dec  1 10:00:03 mx<i>1 sm-mta[1]: Q1: to=<d@example.net>, delay=00:00:03, mailer=esmtp, stat=Sent (ok)\n";
}

TEST_F(GeneralReportFile, HtmlSortsTheStatusListInPlaceAsciiDoesNot)
{
    test_support::read_log_text(two_statuses_log(), true);
    ASSERT_EQ(build_general_information(), 0);
    const host_info& host = host_table[0];
    std::string ascii = write(FORMAT_ASCII);
    EXPECT_NE(ascii.find("1: 1: Deferred: <script>alert(1)</script>\n2: 2: Sent\n"), std::string::npos) << ascii;
    EXPECT_EQ(host.general.statuses.front().count, 1u) << "the ASCII form leaves the order alone";
    write(FORMAT_HTML);
    EXPECT_EQ(host.general.statuses.front().count, 2u);
    EXPECT_STREQ(host.general.statuses.front().text, "Sent");
}

TEST_F(GeneralReportFile, LogTextIsEscapedInHtmlAndPrintedAsIsInAscii)
{
    test_support::read_log_text(two_statuses_log(), true);
    ASSERT_EQ(build_general_information(), 0);
    std::string html = write(FORMAT_HTML);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("mx<i>1"), std::string::npos);
    EXPECT_NE(html.find("        <TD>Deferred: &lt;script&gt;alert(1)&lt;/script&gt;</TD>\n"), std::string::npos);
    EXPECT_NE(html.find("    <H3>mx&lt;i&gt;1</H3>\n"), std::string::npos);
    EXPECT_NE(html.find("    <A NAME=mx&#60;i&#62;1gen></A>\n"), std::string::npos);
    EXPECT_NE(html.find("    <BR>    <A NAME=mx&#60;i&#62;1stat></A><P>\n"), std::string::npos);
    EXPECT_NE(html.find("    <BR><A NAME=mx&#60;i&#62;1diag></A>\n"), std::string::npos);
    std::string ascii = write(FORMAT_ASCII);
    EXPECT_EQ(ascii.rfind("host: mx<i>1\n", 0), 0u) << ascii;
}

}  // namespace
