// The relay report over tables filled by hand: the ASCII lists and the
// order they leave behind, the HTML tables (address brackets, escaping,
// percentages, empty tables), and which files each combination of format and
// split mode creates. The records are the test's own, so trusted.
#include "report/relay_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

// A fresh temporary directory whose files are removed with the object.
class scratch_dir {
public:
    scratch_dir()
    {
        char pattern[] = "/tmp/quelm_relay_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    ~scratch_dir()
    {
        for (const char* name : {"rel.txt", "a.html", "b.html", "c.html", "d.html", "e.html", "f.html"})
            unlink(path(name).c_str());
        rmdir(dir_.c_str());
    }
    std::string path(const char* name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }
    bool exists(const char* name) const { return access(path(name).c_str(), F_OK) == 0; }
    std::string text(const char* name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    std::string dir_;
};

relay_mem_stat member(const char* name, const char* ip, double size, std::uint32_t count)
{
    return relay_mem_stat{name, ip, nullptr, nullptr, 0, size, count};
}

relay_pair_stat pair(const char* from, const char* to, const char* from_ip, const char* to_ip, double size,
                     std::uint32_t count)
{
    return relay_pair_stat{from, to, from_ip, to_ip, size, 0, 0, count};
}

// Host mx1 with three pairs (sizes 100, 300, 300 and counts 1, 3, 2 in build
// order), two senders and one recipient.
host_info& fill_host()
{
    settings = program_settings{};
    settings.header_color = "CCCCCC";
    clear_host_table();
    host_info& h = *find_or_add_host("mx1");
    h.relay.pairs = {pair("a.example", "<b>", "192.0.2.1", nullptr, 100, 1),
                         pair("c.example", "d.example", nullptr, "192.0.2.4", 300, 3),
                         pair("e.example", "f.example", "192.0.2.5", "192.0.2.6", 300, 2)};
    h.relay.pair_refs = 6;
    h.relay.senders = {member("s1", "192.0.2.1", 1000, 1), member("s2", nullptr, 3000, 3)};
    h.relay.recipients = {member("r&1", "10.0.0.1", 1234567, 4)};
    h.events.in_total_size = 4000;
    h.general.in_messages = 4;
    h.general.out_messages = 6;
    return h;
}

std::string between(const std::string& text, const std::string& from, const std::string& to)
{
    std::size_t start = text.find(from);
    if (start == std::string::npos)
        return "<" + from + " not found>";
    std::size_t end = text.find(to, start + from.size());
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST(RelayReport, AsciiPrintsEachListUnsortedBySizeAndByCount)
{
    host_info& h = fill_host();
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_ASCII), 0);
    const std::string expected =
        "host: mx1\n"
        "relay pairs count: 3\n"
        "relay pairs count (all references): 6\n"
        "relay senders count: 2\n"
        "relay recipients count: 1\n"
        "\n"
        "<<< Unsorted list of relay pairs >>>\n"
        "in='a.example' out='<b>' size=100 count=1\n"
        "in='c.example' out='d.example' size=300 count=3\n"
        "in='e.example' out='f.example' size=300 count=2\n"
        "\n"
        "<<< Sorted list of relay pairs by size >>>\n"
        "in='c.example' out='d.example' size=300 count=3\n"
        "in='e.example' out='f.example' size=300 count=2\n"
        "in='a.example' out='<b>' size=100 count=1\n"
        "\n"
        "<<< Sorted list of relay pairs by count >>>\n"
        "in='c.example' out='d.example' size=300 count=3\n"
        "in='e.example' out='f.example' size=300 count=2\n"
        "in='a.example' out='<b>' size=100 count=1\n"
        "\n"
        "<<< Unsorted list of relay senders >>>\n"
        "s='s1' size=1000 count=1\n"
        "s='s2' size=3000 count=3\n"
        "\n"
        "<<< Sorted list of relay senders by size >>>\n"
        "s='s2' size=3000 count=3\n"
        "s='s1' size=1000 count=1\n"
        "\n"
        "<<< Sorted list of relay senders by count >>>\n"
        "s='s2' size=3000 count=3\n"
        "s='s1' size=1000 count=1\n"
        "\n"
        "<<< Unsorted list of relay recipients >>>\n"
        "s='r&1' size=1234567 count=4\n"
        "\n"
        "<<< Sorted list of relay recipients by size >>>\n"
        "s='r&1' size=1234567 count=4\n"
        "\n"
        "<<< Sorted list of relay recipients by count >>>\n"
        "s='r&1' size=1234567 count=4\n"
        "\n";
    EXPECT_EQ(dir.text("rel.txt"), expected);
    // The tables stay in the order of the last list.
    EXPECT_STREQ(h.relay.pairs[0].from_relay, "c.example");
    EXPECT_STREQ(h.relay.senders[0].name, "s2");
}

TEST(RelayReport, AsciiSizeViewKeepsTiesAndCountViewInheritsThem)
{
    host_info& h = fill_host();
    // Equal sizes keep build order; equal counts keep the order of the size view.
    h.relay.pairs = {pair("p", "q", nullptr, nullptr, 5, 2), pair("x", "y", nullptr, nullptr, 9, 2),
                         pair("m", "n", nullptr, nullptr, 5, 7)};
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_ASCII), 0);
    std::string text = dir.text("rel.txt");
    EXPECT_EQ(between(text, "<<< Sorted list of relay pairs by size", "\n\n"),
              "<<< Sorted list of relay pairs by size >>>\n"
              "in='x' out='y' size=9 count=2\n"
              "in='p' out='q' size=5 count=2\n"
              "in='m' out='n' size=5 count=7");
    EXPECT_EQ(between(text, "<<< Sorted list of relay pairs by count", "\n\n"),
              "<<< Sorted list of relay pairs by count >>>\n"
              "in='m' out='n' size=5 count=7\n"
              "in='x' out='y' size=9 count=2\n"
              "in='p' out='q' size=5 count=2");
}

TEST(RelayReport, AsciiHostWithoutRelayDataPrintsZerosAndNineEmptyLists)
{
    settings = program_settings{};
    settings.header_color = "CCCCCC";
    clear_host_table();
    find_or_add_host("mx1");
    find_or_add_host("mx2")->relay.senders = {member(nullptr, nullptr, 0, 1)};
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_ASCII), 0);
    std::string text = dir.text("rel.txt");
    EXPECT_EQ(text.substr(0, text.find("host: mx2")),
              "host: mx1\nrelay pairs count: 0\nrelay pairs count (all references): 0\nrelay senders count: 0\n"
              "relay recipients count: 0\n\n"
              "<<< Unsorted list of relay pairs >>>\n\n<<< Sorted list of relay pairs by size >>>\n\n"
              "<<< Sorted list of relay pairs by count >>>\n\n"
              "<<< Unsorted list of relay senders >>>\n\n<<< Sorted list of relay senders by size >>>\n\n"
              "<<< Sorted list of relay senders by count >>>\n\n"
              "<<< Unsorted list of relay recipients >>>\n\n<<< Sorted list of relay recipients by size >>>\n\n"
              "<<< Sorted list of relay recipients by count >>>\n\n");
    EXPECT_NE(text.find("s='(null)' size=0 count=1\n"), std::string::npos) << "an absent name prints as (null)";
}

TEST(RelayReport, HtmlPairTableBracketsAddressesAndEscapesNames)
{
    fill_host();
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_HTML), 0);
    std::string text = dir.text("rel.txt");
    std::string by_size = between(text, "    <A NAME=mx1relsiz></A>\n", "    [<A HREF=\"#index\">");
    EXPECT_EQ(by_size,
              "    <A NAME=mx1relsiz></A>\n"
              "    <TABLE BORDER=1>\n      <TR>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Number</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Sender</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Recipient</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Total Size</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Percent</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Total Messages</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Percent</TD>\n"
              "      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>1</TD>\n"
              "        <TD ALIGN=left>c.example</TD>\n"
              "        <TD ALIGN=left>d.example [192.0.2.4]</TD>\n"
              "        <TD ALIGN=center>300</TD>\n        <TD ALIGN=center> 7.50</TD>\n"
              "        <TD ALIGN=center>3</TD>\n        <TD ALIGN=center>50.00</TD>\n      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>2</TD>\n"
              "        <TD ALIGN=left>e.example [192.0.2.5]</TD>\n"
              "        <TD ALIGN=left>f.example [192.0.2.6]</TD>\n"
              "        <TD ALIGN=center>300</TD>\n        <TD ALIGN=center> 7.50</TD>\n"
              "        <TD ALIGN=center>2</TD>\n        <TD ALIGN=center>33.33</TD>\n      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>3</TD>\n"
              "        <TD ALIGN=left>a.example [192.0.2.1]</TD>\n"
              "        <TD ALIGN=left>&lt;b&gt;</TD>\n"
              "        <TD ALIGN=center>100</TD>\n        <TD ALIGN=center> 2.50</TD>\n"
              "        <TD ALIGN=center>1</TD>\n        <TD ALIGN=center>16.67</TD>\n      </TR>\n"
              "    </TABLE><P>\n");
}

TEST(RelayReport, HtmlMemberTablesShareOutOverTheirOwnTotals)
{
    fill_host();
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_HTML), 0);
    std::string text = dir.text("rel.txt");
    std::string senders = between(text, "    <A NAME=mx1sndcnt></A>\n", "    [<A HREF");
    EXPECT_NE(senders.find("    <TABLE BORDER=1 WIDTH=\"80%\">\n      <TR>\n"
                           "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Number</TD>\n"
                           "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Sender</TD>\n"),
              std::string::npos);
    EXPECT_NE(senders.find("        <TD ALIGN=left>s2</TD>\n        <TD ALIGN=center>3 000</TD>\n"
                           "        <TD ALIGN=center>75.00</TD>\n        <TD ALIGN=center>3</TD>\n"
                           "        <TD ALIGN=center>75.00</TD>\n"),
              std::string::npos)
        << senders;
    std::string recipients = between(text, "    <A NAME=mx1rcvsiz></A>\n", "    [<A HREF");
    EXPECT_NE(recipients.find("        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Recipient</TD>\n"), std::string::npos);
    // Counts against out_messages (6); a size above the incoming total is not clamped
    // (1234567 * 100 / 4000 in single precision is 30864.17578).
    EXPECT_NE(recipients.find("        <TD ALIGN=left>r&1 [10.0.0.1]</TD>\n"), std::string::npos)
        << "only angles are escaped in relay names";
    EXPECT_NE(recipients.find("        <TD ALIGN=center>1 234 567</TD>\n        <TD ALIGN=center>30864.18</TD>\n"
                              "        <TD ALIGN=center>4</TD>\n        <TD ALIGN=center>66.67</TD>\n"),
              std::string::npos)
        << recipients;
}

TEST(RelayReport, HtmlShowsSixSectionsPerHostWithRulesBetween)
{
    host_info& h = fill_host();
    h.events.in_total_size = 0;  // size shares print 0 against an empty total
    find_or_add_host("mx<2>");
    scratch_dir dir;
    ASSERT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_HTML), 0);
    std::string text = dir.text("rel.txt");
    EXPECT_NE(text.find("    <A HREF=\"#mx1\">mx1</A><BR>\n    <UL>\n"
                        "      <LI><A HREF=\"#mx1relsiz\">Relay pairs sorted by size</A></LI>\n"
                        "      <LI><A HREF=\"#mx1relcnt\">Relay pairs sorted by count</A></LI>\n"
                        "      <LI><A HREF=\"#mx1sndsiz\">Relay senders sorted by size</A></LI>\n"
                        "      <LI><A HREF=\"#mx1sndcnt\">Relay senders sorted by count</A></LI>\n"
                        "      <LI><A HREF=\"#mx1rcvsiz\">Relay recipients sorted by size</A></LI>\n"
                        "      <LI><A HREF=\"#mx1rcvcnt\">Relay recipients sorted by count</A></LI>\n"
                        "    </UL>\n"),
              std::string::npos);
    EXPECT_NE(text.find("    </UL>\n    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n    <A NAME=mx1></A>\n"
                        "    <H3>mx1 (3 relay pairs sorted by size)</H3>\n"),
              std::string::npos);
    EXPECT_NE(text.find("    <H3>mx&lt;2&gt; (0 relay recipients sorted by count)</H3>\n"), std::string::npos);
    EXPECT_NE(text.find("        <TD ALIGN=center>300</TD>\n        <TD ALIGN=center> 0.00</TD>\n"), std::string::npos);
    // Five rules between the six sections of each of the two hosts.
    std::size_t rules = 0;
    for (std::size_t at = text.find("<BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">"); at != std::string::npos;
         at = text.find("<BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">", at + 1))
        ++rules;
    EXPECT_EQ(rules, 10u);
    // A host without data: headings with 0 and tables with the header row only.
    std::string empty = between(text, "    <H3>mx&lt;2&gt; (0 relay pairs sorted by size)</H3>\n", "    [<A HREF");
    EXPECT_NE(empty.find("      </TR>\n    </TABLE><P>\n"), std::string::npos);
    EXPECT_EQ(empty.find("<TD ALIGN=center>1</TD>"), std::string::npos);
}

TEST(RelayReport, SplitModeWritesOneFilePerSetKeyAndNoMainFile)
{
    fill_host();
    scratch_dir dir;
    settings.SplitHtmlOutput = 1;
    settings.OutputBaseDir = dir.dir();
    settings.OutputRelayPairsByCount = "a.html";
    settings.OutputRelaySendersBySize = "no/such/dir/b.html";
    settings.OutputRelayRecipientsByCount = "c.html";
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_HTML), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open rel_senders_siz file!\n");
    EXPECT_FALSE(dir.exists("rel.txt"));
    std::string count_view = dir.text("a.html");
    EXPECT_EQ(count_view.find("<A NAME"), std::string::npos) << "split files have no anchors";
    EXPECT_NE(count_view.find("    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n"
                              "    <H3>mx1 (3 relay pairs sorted by count)</H3>\n    <TABLE BORDER=1>\n"),
              std::string::npos);
    EXPECT_NE(count_view.find("    </TABLE><P>\n    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n"),
              std::string::npos);
    EXPECT_NE(dir.text("c.html").find("    <H3>mx1 (1 relay recipients sorted by count)</H3>\n"), std::string::npos);
    EXPECT_FALSE(dir.exists("d.html"));
}

TEST(RelayReport, OtherSplitValuesAndFormatsLeaveTheMainFileEmpty)
{
    fill_host();
    scratch_dir dir;
    settings.SplitHtmlOutput = 2;
    settings.OutputBaseDir = dir.dir();
    settings.OutputRelayPairsBySize = "a.html";
    EXPECT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_HTML), 0);
    EXPECT_TRUE(dir.exists("rel.txt"));
    EXPECT_EQ(dir.text("rel.txt"), "");
    EXPECT_FALSE(dir.exists("a.html"));

    settings.SplitHtmlOutput = 1;
    unlink(dir.path("rel.txt").c_str());
    EXPECT_EQ(write_relay_report(dir.path("rel.txt"), 2), 0);
    EXPECT_TRUE(dir.exists("rel.txt"));
    EXPECT_EQ(dir.text("rel.txt"), "");
    EXPECT_FALSE(dir.exists("a.html"));

    // ASCII ignores split mode.
    EXPECT_EQ(write_relay_report(dir.path("rel.txt"), FORMAT_ASCII), 0);
    EXPECT_EQ(dir.text("rel.txt").rfind("host: mx1\n", 0), 0u);
    EXPECT_FALSE(dir.exists("a.html"));
}

TEST(RelayReport, MainFileThatCannotBeOpenedGivesOne)
{
    fill_host();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_relay_report("/nonexistent/dir/rel.html", FORMAT_HTML), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open rel_info_out file!\n");
}

}  // namespace
