// The envelope report over pairs set up by hand: the cells of the pair
// table, the virus-only numbering, the file handling of every format and
// split setting, and the order each view leaves behind for the next one.
// The byte-exact layout is checked end to end (tests/e2e/cases/envelope_*).
#include "report/envelope_report.h"
#include "stats/envelope_stats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

using testing::HasSubstr;
using testing::Not;

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

env_pair_stat make_pair(const char* sender, const char* recipient, std::uint32_t from_ip_bin = 0)
{
    env_pair_stat pair{};
    pair.sender = sender;
    pair.recipient = recipient;
    pair.from_relay = "r.x.org";
    pair.to_relay = "m.y.net";
    pair.from_ip_bin = from_ip_bin;
    pair.size = 100;
    pair.count = 1;
    return pair;
}

void add_status(host_info& host, env_pair_stat& pair, const char* text, std::time_t first, std::time_t last,
                std::uint32_t count = 1)
{
    pair_status* status = host.memory.make<pair_status>();
    status->status = text;
    status->count = count;
    status->first_time = first;
    status->last_time = last;
    if (pair.statuses_tail)
        pair.statuses_tail->next = status;
    else
        pair.statuses_head = status;
    pair.statuses_tail = status;
}

// Settings, host table and time zone are reset around each test; report
// files go to a fresh directory.
class EnvelopeReport : public testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        settings.header_color = "CCCCCC";
        clear_host_table();
        if (const char* zone = std::getenv("TZ"))
            saved_zone_ = zone;
        setenv("TZ", "UTC", 1);
        tzset();
        char name[] = "/tmp/quelm_env_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        host_ = find_or_add_host("mx1");
    }
    void TearDown() override
    {
        std::filesystem::remove_all(dir_);
        if (saved_zone_)
            setenv("TZ", saved_zone_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        settings = program_settings{};
        clear_host_table();
    }

    std::string table_of(pair_table_mode mode)
    {
        const std::string path = dir_ + "/table.html";
        {
            report_file out(path, "test");
            write_env_pair_table(out, *host_, mode);
        }
        return read_file(path);
    }

    // Writes the report and returns what went to standard error.
    std::string write_report(const std::string& path, int format, int* result = nullptr)
    {
        testing::internal::CaptureStderr();
        int r = write_envelope_report(path, format);
        if (result)
            *result = r;
        return testing::internal::GetCapturedStderr();
    }

    std::string dir_;
    host_info* host_ = nullptr;

private:
    std::optional<std::string> saved_zone_;
};

TEST_F(EnvelopeReport, SenderCellShowsRelayThenAddressThenCountry)
{
    env_pair_stat bare = make_pair("a@x.org", "b@y.net");
    env_pair_stat with_ip = make_pair("c@x.org", "d@y.net");
    with_ip.from_ip = "192.0.2.1";
    with_ip.to_ip = "198.51.100.5";
    env_pair_stat with_country = with_ip;
    with_country.sender = "e@x.org";
    with_country.from_geo_dom = "de";
    env_pair_stat no_relays = make_pair("f@x.org", "g@y.net");
    no_relays.from_relay = no_relays.to_relay = nullptr;
    host_->envelope.pairs = {bare, with_ip, with_country, no_relays};
    const std::string table = table_of(pair_table_mode::all_pairs);
    EXPECT_THAT(table, HasSubstr("        <TD ALIGN=left>a@x.org<BR>(r.x.org)</TD>\n"
                                 "        <TD ALIGN=left>b@y.net<BR>(m.y.net)</TD>\n"));
    EXPECT_THAT(table, HasSubstr("        <TD ALIGN=left>c@x.org<BR>(r.x.org [192.0.2.1])</TD>\n"
                                 "        <TD ALIGN=left>d@y.net<BR>(m.y.net [198.51.100.5])</TD>\n"));
    EXPECT_THAT(table, HasSubstr("        <TD ALIGN=left>e@x.org<BR>(r.x.org [192.0.2.1],[de])</TD>\n"));
    EXPECT_THAT(table, HasSubstr("        <TD ALIGN=left>f@x.org<BR>()</TD>\n"
                                 "        <TD ALIGN=left>g@y.net<BR>()</TD>\n"));
}

TEST_F(EnvelopeReport, PairRowHoldsEveryCellInOrder)
{
    host_->events.in_total_size = 4000;
    host_->envelope.pair_refs = 3;
    env_pair_stat pair = make_pair("<a>@x.org", "b@y.net");
    pair.size = 1234567;
    pair.count = 2;
    other_rcpt second{"d@y.net", 1, nullptr};
    other_rcpt first{"c<1>@y.net", 2, &second};
    pair.other_rcpts_head = &first;
    pair.other_rcpts_tail = &second;
    add_status(*host_, pair, "Deferred: <busy>", 3600, 7200, 2);
    add_status(*host_, pair, "Sent", 7230, 7230);
    host_->envelope.pairs = {pair};
    EXPECT_EQ(table_of(pair_table_mode::all_pairs),
              "    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Number</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Sender/Relay</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Recipient/Relay</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Other Recipients</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Total Size</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Percent</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Total Messages</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Percent</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Status</TD>\n"
              "      </TR>\n"
              "      <TR>\n"
              "        <TD ALIGN=center>1</TD>\n"
              "        <TD ALIGN=left>&lt;a&gt;@x.org<BR>(r.x.org)</TD>\n"
              "        <TD ALIGN=left>b@y.net<BR>(m.y.net)</TD>\n"
              "        <TD ALIGN=left>c&lt;1&gt;@y.net [2]<BR>d@y.net [1]<BR>        </TD>\n"
              "        <TD ALIGN=center>1&nbsp;234&nbsp;567</TD>\n"
              "        <TD ALIGN=center>30864.18</TD>\n"
              "        <TD ALIGN=center>2</TD>\n"
              "        <TD ALIGN=center>66.67</TD>\n"
              "        <TD ALIGN=left>Deferred: &lt;busy&gt; [2]<BR>(01:00:00,02:00:00)<BR>Sent [1]<BR>(02:00:30)<BR>"
              "        </TD>\n"
              "      </TR>\n"
              "    </TABLE><P>\n");
}

TEST_F(EnvelopeReport, EmptyListsShowDashesAndZeroTotalsShowZeroPercent)
{
    host_->envelope.pairs = {make_pair("a@x.org", "b@y.net")};
    const std::string table = table_of(pair_table_mode::all_pairs);
    EXPECT_THAT(table, HasSubstr("        <TD ALIGN=left>b@y.net<BR>(m.y.net)</TD>\n"
                                 "        <TD ALIGN=center>-----</TD>\n"
                                 "        <TD ALIGN=center>100</TD>\n"
                                 "        <TD ALIGN=center> 0.00</TD>\n"
                                 "        <TD ALIGN=center>1</TD>\n"
                                 "        <TD ALIGN=center> 0.00</TD>\n"
                                 "        <TD ALIGN=center>-----</TD>\n      </TR>\n"));
}

TEST_F(EnvelopeReport, VirusPairsAreFoundInAnyLetterCase)
{
    env_pair_stat sent = make_pair("a", "b");
    env_pair_stat upper = make_pair("a", "b");
    env_pair_stat later = make_pair("a", "b");
    env_pair_stat split_word = make_pair("a", "b");
    env_pair_stat none = make_pair("a", "b");
    add_status(*host_, sent, "Sent", 0, 0);
    add_status(*host_, upper, "VIRUS found", 0, 0);
    add_status(*host_, later, "Deferred", 0, 0);
    add_status(*host_, later, "554 virus detected", 0, 0);
    add_status(*host_, split_word, "Vir us", 0, 0);
    EXPECT_FALSE(is_virus_pair(sent));
    EXPECT_TRUE(is_virus_pair(upper));
    EXPECT_TRUE(is_virus_pair(later));
    EXPECT_FALSE(is_virus_pair(split_word));
    EXPECT_FALSE(is_virus_pair(none));
}

TEST_F(EnvelopeReport, VirusModeNumbersThePrintedPairsWithoutGaps)
{
    env_pair_stat clean = make_pair("clean1", "b");
    env_pair_stat virus_1 = make_pair("virus1", "b");
    env_pair_stat clean_2 = make_pair("clean2", "b");
    env_pair_stat virus_2 = make_pair("virus2", "b");
    add_status(*host_, clean, "Sent", 0, 0);
    add_status(*host_, virus_1, "Virus detected", 0, 0);
    add_status(*host_, virus_2, "Sent", 0, 0);
    add_status(*host_, virus_2, "virus", 0, 0);
    host_->envelope.pairs = {clean, virus_1, clean_2, virus_2};
    const std::string viruses = table_of(pair_table_mode::virus_pairs);
    EXPECT_THAT(viruses, HasSubstr("        <TD ALIGN=center>1</TD>\n        <TD ALIGN=left>virus1<BR>"));
    EXPECT_THAT(viruses, HasSubstr("        <TD ALIGN=center>2</TD>\n        <TD ALIGN=left>virus2<BR>"));
    EXPECT_THAT(viruses, Not(HasSubstr("clean")));
    const std::string all = table_of(pair_table_mode::all_pairs);
    EXPECT_THAT(all, HasSubstr("        <TD ALIGN=center>3</TD>\n        <TD ALIGN=left>clean2<BR>"));
    EXPECT_THAT(all, HasSubstr("        <TD ALIGN=center>4</TD>\n        <TD ALIGN=left>virus2<BR>"));
}

// ---- files ----------------------------------------------------------------

TEST_F(EnvelopeReport, MainFileThatCannotBeOpenedIsReported)
{
    for (int format : {FORMAT_ASCII, FORMAT_HTML}) {
        int result = 0;
        EXPECT_EQ(write_report(dir_ + "/missing/env.html", format, &result), "ERROR: cannot open env_pair_out file!\n");
        EXPECT_EQ(result, 1);
    }
}

TEST_F(EnvelopeReport, OtherFormatOrSplitValueLeavesAnEmptyMainFile)
{
    const std::string path = dir_ + "/env.html";
    host_->envelope.pairs = {make_pair("a", "b")};
    int result = 1;
    EXPECT_EQ(write_report(path, 2, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(read_file(path), "");
    std::filesystem::remove(path);
    settings.SplitHtmlOutput = 2;
    settings.OutputEnvPairsBySize = "size.html";
    settings.OutputBaseDir = dir_;
    EXPECT_EQ(write_report(path, FORMAT_HTML, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(read_file(path), "");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/size.html"));
}

TEST_F(EnvelopeReport, AsciiIgnoresTheSplitSetting)
{
    const std::string path = dir_ + "/env.txt";
    settings.SplitHtmlOutput = 1;
    settings.OutputBaseDir = dir_;
    settings.OutputEnvPairsBySize = "size.html";
    EXPECT_EQ(write_report(path, FORMAT_ASCII), "");
    EXPECT_EQ(read_file(path), "host: mx1\nenvelope pairs count: 0\nenvelope pairs count (all references): 0\n"
                               "envelope senders count: 0\nenvelope recipients count: 0\n\n"
                               "<<< Unsorted list of envelope pairs >>>\n\n"
                               "<<< Unsorted list of envelope senders >>>\n\n"
                               "<<< Unsorted list of envelope recipients >>>\n\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/size.html"));
}

TEST_F(EnvelopeReport, SplitModeWritesViewFilesAndNoMainFile)
{
    const std::string path = dir_ + "/env.html";
    settings.SplitHtmlOutput = 1;
    settings.OutputBaseDir = dir_;
    settings.OutputEnvPairsByCount = "missing/count.html";
    settings.OutputEnvPairsBySize = "size.html";
    settings.OutputEnvSendersBySize = "senders.html";
    int result = 1;
    EXPECT_EQ(write_report(path, FORMAT_HTML, &result), "ERROR: cannot open env_pair_count file!\n");
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_THAT(read_file(dir_ + "/size.html"), HasSubstr("    <H3>mx1 (0 envelope pairs sorted by size)</H3>\n"));
    EXPECT_THAT(read_file(dir_ + "/senders.html"), HasSubstr("    <H3>mx1 (0 envelope senders sorted by size)</H3>\n"));
}

TEST_F(EnvelopeReport, VirusViewsCountTheVirusPairsOfEachHost)
{
    env_pair_stat virus = make_pair("a", "b");
    add_status(*host_, virus, "Virus", 0, 0);
    host_->envelope.pairs = {make_pair("c", "d"), virus, virus};
    find_or_add_host("mx2");
    settings.SplitHtmlOutput = 1;
    settings.OutputBaseDir = dir_;
    settings.OutputEnvPairsByVirusRcptName = "virus.html";
    write_report("", FORMAT_HTML);
    const std::string file = read_file(dir_ + "/virus.html");
    EXPECT_THAT(file, HasSubstr("    <H3>mx1 (2 envelope pairs sorted by recipient name [virus messages only])</H3>\n"
                                "    <H3>mx2 (0 envelope pairs sorted by recipient name [virus messages only])</H3>\n"));
}

// ---- the order each view leaves behind ----------------------------------------

class EnvelopeViewOrder : public EnvelopeReport {
protected:
    // Build order: recipients b, a, b, a with relay addresses 3, 2, 1, 4;
    // statuses at times 20, 10, 20, 10; senders y, x, y, x.
    void SetUp() override
    {
        EnvelopeReport::SetUp();
        const char* senders[] = {"y", "x", "y", "x"};
        const char* rcpts[] = {"b", "a", "b", "a"};
        const std::uint32_t addresses[] = {3, 2, 1, 4};
        const std::time_t times[] = {20, 10, 20, 10};
        for (int i = 0; i < 4; ++i) {
            env_pair_stat pair = make_pair(senders[i], rcpts[i], addresses[i]);
            add_status(*host_, pair, "Sent", times[i], times[i]);
            host_->envelope.pairs.push_back(pair);
        }
        settings.SplitHtmlOutput = 1;
        settings.OutputBaseDir = dir_;
    }

    std::vector<std::uint32_t> addresses_in_order() const
    {
        std::vector<std::uint32_t> addresses;
        for (const env_pair_stat& pair : host_->envelope.pairs)
            addresses.push_back(pair.from_ip_bin);
        return addresses;
    }
};

TEST_F(EnvelopeViewOrder, RecipientViewSortsByRelayAddressFirst)
{
    settings.OutputEnvPairsByRcptName = "rcpt.html";
    write_report("", FORMAT_HTML);
    EXPECT_EQ(addresses_in_order(), (std::vector<std::uint32_t>{2, 4, 1, 3}));
}

TEST_F(EnvelopeViewOrder, TimeViewSortsByRelayAddressFirst)
{
    settings.OutputEnvPairsByTime = "time.html";
    write_report("", FORMAT_HTML);
    EXPECT_EQ(addresses_in_order(), (std::vector<std::uint32_t>{2, 4, 1, 3}));
}

TEST_F(EnvelopeViewOrder, SenderViewSortsByRelayAddressFirst)
{
    settings.OutputEnvPairsBySenderName = "sender.html";
    write_report("", FORMAT_HTML);
    EXPECT_EQ(addresses_in_order(), (std::vector<std::uint32_t>{2, 4, 1, 3}));
}

TEST_F(EnvelopeViewOrder, CountViewKeepsTheTieOrderOfTheSizeView)
{
    host_->envelope.pairs[0].size = 10;
    host_->envelope.pairs[1].size = 40;
    host_->envelope.pairs[2].size = 30;
    host_->envelope.pairs[3].size = 20;
    host_->envelope.pairs[3].count = 2;
    settings.OutputEnvPairsBySize = "size.html";
    settings.OutputEnvPairsByCount = "count.html";
    write_report("", FORMAT_HTML);
    // Sizes 40, 30, 10 break the ties of count 1 (build order would give 3, 2, 1).
    EXPECT_EQ(addresses_in_order(), (std::vector<std::uint32_t>{4, 2, 1, 3}));
}

TEST_F(EnvelopeViewOrder, WithoutMergeSortThePairsKeepTheirBuildOrder)
{
    settings.merge_sort = 0;
    settings.OutputEnvPairsBySize = "size.html";
    settings.OutputEnvPairsByRcptName = "rcpt.html";
    settings.OutputEnvPairsByTime = "time.html";
    write_report("", FORMAT_HTML);
    EXPECT_EQ(addresses_in_order(), (std::vector<std::uint32_t>{3, 2, 1, 4}));
}

}  // namespace
