// The summary reports: the ASCII lines (absent texts, the recipient lines
// that end with a blank, empty hosts), the HTML cells (escaping, the address
// in brackets, the nine counts in column order), the order the two sections
// leave behind, other formats and the open failures. Whole documents are
// compared end to end (tests/e2e/cases/summary_*).
#include "report/summary_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

void fresh_table()
{
    settings = program_settings{};
    clear_host_table();
}

summary_relay_stat relay_row(const char* name, const char* ip, std::uint32_t base, const char* dom_l2 = nullptr)
{
    summary_relay_stat r{};
    r.name = name;
    r.ip = ip;
    r.dom_l2 = dom_l2;
    r.from_msgs = base + 1;
    r.milrej = base + 2;
    r.rulrej = base + 3;
    r.nonact = base + 4;
    r.from_addr = base + 5;
    r.from_dom = base + 6;
    r.to_addr = base + 7;
    r.to_dom = base + 8;
    r.total = base;
    return r;
}

summary_rcpt_stat rcpt_row(const char* name, std::uint32_t total, std::uint32_t msgs, std::uint32_t milrej,
                           std::uint32_t viruses)
{
    return summary_rcpt_stat{name, msgs, milrej, viruses, total};
}

std::string temp_path()
{
    char name[] = "/tmp/quelm_summary_XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    return name;
}

template <class Writer>
std::string written(Writer writer, int format)
{
    std::string path = temp_path();
    EXPECT_EQ(writer(path, format), 0);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    unlink(path.c_str());
    return content.str();
}

bool contains(const std::string& text, const std::string& piece)
{
    return text.find(piece) != std::string::npos;
}

TEST(SummaryReport, RelayAsciiListsNameAndAddressPerRow)
{
    fresh_table();
    host_info& first = *find_or_add_host("mx1");
    find_or_add_host("mx2");
    first.summary.relays = {relay_row("a.example", "192.0.2.1", 10), relay_row("b<x>", nullptr, 20)};
    EXPECT_EQ(written(write_relay_summary_report, FORMAT_ASCII),
              "host: mx1\nsummary info count: 2\n\nnam='a.example' ip='192.0.2.1'\nnam='b<x>' ip='(null)'\n\n"
              "host: mx2\nsummary info count: 0\n\n\n");
}

TEST(SummaryReport, RecipientAsciiLinesEndWithABlank)
{
    fresh_table();
    host_info& first = *find_or_add_host("mx1");
    find_or_add_host("mx2");
    first.summary.recipients = {rcpt_row("t@x.org", 5, 3, 2, 1), rcpt_row(nullptr, 1, 1, 0, 0)};
    EXPECT_EQ(written(write_recipient_summary_report, FORMAT_ASCII),
              "host: mx1\nsummary info count: 2\n\n"
              "name='t@x.org' total='5' msg='3' mil='2' vir='1'\n"
              " name='(null)' total='1' msg='1' mil='0' vir='0'\n"
              " \n"
              "host: mx2\nsummary info count: 0\n\n\n");
}

TEST(SummaryReport, RelayHtmlRowsEscapeNamesAndKeepColumnOrder)
{
    fresh_table();
    host_info& h = *find_or_add_host("mx1");
    h.summary.relays = {relay_row("<b>.example", "192.0.2.<1>", 100), relay_row("plain", nullptr, 200)};
    std::string html = written(write_relay_summary_report, FORMAT_HTML);
    EXPECT_TRUE(contains(html, "        <TD ALIGN=left>&lt;b&gt;.example [192.0.2.&lt;1&gt;]</TD>\n"
                               "        <TD ALIGN=center>100</TD>\n        <TD ALIGN=center>101</TD>\n"
                               "        <TD ALIGN=center>102</TD>\n        <TD ALIGN=center>103</TD>\n"
                               "        <TD ALIGN=center>104</TD>\n        <TD ALIGN=center>105</TD>\n"
                               "        <TD ALIGN=center>106</TD>\n        <TD ALIGN=center>107</TD>\n"
                               "        <TD ALIGN=center>108</TD>\n      </TR>\n"));
    EXPECT_TRUE(contains(html, "      <TR>\n        <TD ALIGN=center>1</TD>\n        <TD ALIGN=left>plain</TD>\n"));
    EXPECT_FALSE(contains(html, "<b>"));
    EXPECT_TRUE(contains(html, "    <H3>mx1 (2 relays sorted by count)</H3>\n"));
    EXPECT_TRUE(contains(html, "    <H3>mx1 (2 relays sorted by relay [domain level-2])</H3>\n"));
}

TEST(SummaryReport, RelayHtmlLeavesTheRowsInDomainOrder)
{
    fresh_table();
    host_info& h = *find_or_add_host("mx1");
    summary_relay_stat no_domain = relay_row("z", nullptr, 50);
    no_domain.ip_bin = 1;
    h.summary.relays = {relay_row("m.b.org", nullptr, 1, ".b.org"), no_domain, relay_row("m.a.org", nullptr, 2, ".a.org")};
    std::string html = written(write_relay_summary_report, FORMAT_HTML);
    std::size_t by_count = html.find("sorted by count");
    std::size_t by_domain = html.find("sorted by relay [domain");
    ASSERT_NE(by_count, std::string::npos);
    ASSERT_LT(by_count, by_domain);
    // Count view: z (50), m.a.org (2), m.b.org (1).
    EXPECT_LT(html.find(">z</TD>", by_count), html.find(">m.a.org</TD>", by_count));
    EXPECT_LT(html.find(">m.a.org</TD>", by_count), html.find(">m.b.org</TD>", by_count));
    ASSERT_EQ(h.summary.relays.size(), 3u);
    EXPECT_STREQ(h.summary.relays[0].name, "m.a.org");
    EXPECT_STREQ(h.summary.relays[1].name, "m.b.org");
    EXPECT_STREQ(h.summary.relays[2].name, "z");
}

TEST(SummaryReport, RecipientHtmlHeadingsShowTheRecipientCount)
{
    fresh_table();
    host_info& h = *find_or_add_host("mx1");
    h.summary.recipients = {rcpt_row("b@x", 1, 1, 0, 0), rcpt_row("<a>@x", 3, 1, 2, 1)};
    std::string html = written(write_recipient_summary_report, FORMAT_HTML);
    EXPECT_TRUE(contains(html, "    <H3>mx1 (2 recipients sorted by count)</H3>\n"));
    EXPECT_TRUE(contains(html, "    <H3>mx1 (2 recipients sorted by name)</H3>\n"));
    EXPECT_TRUE(contains(html, "        <TD ALIGN=left>&lt;a&gt;@x</TD>\n        <TD ALIGN=center>3</TD>\n"
                               "        <TD ALIGN=center>1</TD>\n        <TD ALIGN=center>2</TD>\n"
                               "        <TD ALIGN=center>1</TD>\n      </TR>\n"));
    EXPECT_STREQ(h.summary.recipients[0].name, "<a>@x");  // by name, as the last section left it
}

TEST(SummaryReport, OtherFormatsLeaveTheFileEmpty)
{
    fresh_table();
    host_info& h = *find_or_add_host("mx1");
    h.summary.recipients = {rcpt_row("b@x", 1, 1, 0, 0)};
    EXPECT_EQ(written(write_relay_summary_report, 2), "");
    EXPECT_EQ(written(write_recipient_summary_report, 2), "");
}

TEST(SummaryReport, FilesThatCannotBeOpenedAreReported)
{
    fresh_table();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_relay_summary_report("/nonexistent-dir/a", FORMAT_ASCII), 1);
    EXPECT_EQ(write_recipient_summary_report("/nonexistent-dir/b", FORMAT_HTML), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: cannot open gen_sum_out_relay file!\nERROR: cannot open gen_sum_out file!\n");
}

}  // namespace
