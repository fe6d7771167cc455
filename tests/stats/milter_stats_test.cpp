// Milter reject statistics built from small logs: the merge rules of the
// reject table (recipients in any letter case, rejects and records without
// recipient, absent keys), the reason and recipient tables, sizes, times,
// the failure messages, and a comparison with a plain linear walk over a
// log full of colliding keys.
#include "stats/milter_stats.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "model/host_info.h"
#include "tests/test_support.h"

namespace {

std::string at(const char* time, const std::string& body, const char* host = "mx1")
{
    return std::string("Dec  ") + time + " " + host + " sm-mta[1]: " + body + "\n";
}

// A milter reject of queue id `id` to `rcpt`, then the sender line that
// pairs it.
std::string rejected(const char* id, const char* milter_time, const std::string& milter_text,
                     const char* from_time, const std::string& from_text, const char* host = "mx1")
{
    return at(milter_time, std::string(id) + ": Milter: " + milter_text, host) +
           at(from_time, std::string(id) + ": " + from_text, host);
}

const char* const sender_line = "from=<a@example.org>, size=1500, class=0, nrcpts=1, relay=mail.example.org [192.0.2.1]";

std::string to_rcpt(const char* rcpt, const char* reason = "550 5.7.1 Spam")
{
    return std::string("to=<") + rcpt + ">, reject=" + reason;
}

// Reads the log and builds the statistics; returns the build result and
// leaves what went to standard error in `errors`.
int build(const std::string& log, std::string* errors = nullptr)
{
    EXPECT_EQ(test_support::read_log_text(log), "");
    testing::internal::CaptureStderr();
    int result = build_milter_statistics();
    std::string err = testing::internal::GetCapturedStderr();
    if (errors)
        *errors = err;
    else
        EXPECT_EQ(err, "");
    return result;
}

std::time_t utc(int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::string text(const char* t)
{
    return t ? t : "(null)";
}

TEST(MilterStats, RecipientsDifferingOnlyInCaseMakeOneRecord)
{
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("Bob@Example.net"), "1 10:00:05", sender_line) +
                    rejected("Q2", "1 10:01:00", to_rcpt("bob@example.net"), "1 10:01:07",
                             "from=<a@example.org>, size=2500, relay=mail.example.org [192.0.2.1]")),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 1u);
    EXPECT_EQ(count_of(h.milter.rejects), 1u);
    EXPECT_EQ(h.milter.refs, 2u);
    const milter_reject_stat& r = h.milter.rejects[0];
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(r.size, 4000);
    EXPECT_EQ(h.milter.size, 4000);
    EXPECT_STREQ(r.env_to, "Bob@Example.net") << "the record keeps the first recipient";
    EXPECT_EQ(r.first_time, utc(1, 10, 0, 0)) << "the milter line's time";
    EXPECT_EQ(r.last_time, utc(1, 10, 1, 7)) << "a merge that compared recipients takes the sender line's time";
    // The recipient table compares exactly.
    ASSERT_EQ(h.milter.recipients.size(), 2u);
    EXPECT_EQ(count_of(h.milter.recipients), 2u);
    EXPECT_EQ(h.milter.recipient_refs, 2u);
    EXPECT_STREQ(h.milter.recipients[0].name, "Bob@Example.net");
    EXPECT_EQ(h.milter.recipients[0].size, 1500);
    EXPECT_STREQ(h.milter.recipients[1].name, "bob@example.net");
    EXPECT_EQ(h.milter.recipients[1].size, 2500);
}

TEST(MilterStats, DifferentRecipientsMakeTwoRecords)
{
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("x@example.net"), "1 10:00:05", sender_line) +
                    rejected("Q2", "1 10:01:00", to_rcpt("y@example.net"), "1 10:01:05", sender_line) +
                    rejected("Q3", "1 10:02:00", to_rcpt("X@example.net"), "1 10:02:05", sender_line)),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 2u);
    EXPECT_EQ(count_of(h.milter.rejects), 2u);
    EXPECT_EQ(h.milter.refs, 3u);
    EXPECT_STREQ(h.milter.rejects[0].env_to, "x@example.net");
    EXPECT_EQ(h.milter.rejects[0].count, 2u);
    EXPECT_STREQ(h.milter.rejects[1].env_to, "y@example.net");
    EXPECT_EQ(h.milter.rejects[1].count, 1u);
    EXPECT_EQ(h.milter.rejects[1].first_time, h.milter.rejects[1].last_time);
    EXPECT_EQ(h.milter.recipients.size(), 3u);
    EXPECT_EQ(h.milter.reasons.size(), 1u);
    EXPECT_EQ(h.milter.reasons[0].count, 3u);
}

TEST(MilterStats, RejectWithoutRecipientMergesIntoTheFirstRecordOfItsKey)
{
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("x@example.net"), "1 10:00:05", sender_line) +
                    rejected("Q2", "1 10:01:00", to_rcpt("y@example.net"), "1 10:01:05", sender_line) +
                    rejected("Q3", "1 10:02:00", "from=<a@example.org>, reject=550 5.7.1 Spam", "1 10:02:05",
                             sender_line)),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 2u);
    EXPECT_EQ(h.milter.rejects[0].count, 2u);
    EXPECT_EQ(h.milter.rejects[0].size, 3000);
    EXPECT_EQ(h.milter.rejects[0].last_time, utc(1, 10, 0, 0)) << "no recipients were compared";
    EXPECT_EQ(h.milter.rejects[1].count, 1u);
    EXPECT_EQ(h.milter.refs, 3u);
    EXPECT_EQ(h.milter.recipient_refs, 2u) << "a reject without recipient adds no recipient";
    EXPECT_EQ(h.milter.reason_refs, 3u);
}

TEST(MilterStats, RecordWithoutRecipientAbsorbsLaterRejects)
{
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", "from=<a@example.org>, reject=550 5.7.1 Spam", "1 10:00:05",
                             sender_line) +
                    rejected("Q2", "1 10:01:00", to_rcpt("x@example.net"), "1 10:01:05", sender_line) +
                    rejected("Q3", "1 10:02:00", to_rcpt("y@example.net"), "1 10:02:05", sender_line)),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 1u);
    const milter_reject_stat& r = h.milter.rejects[0];
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.env_to, nullptr);
    EXPECT_EQ(r.to_host, nullptr);
    EXPECT_EQ(r.last_time, utc(1, 10, 0, 0));
    ASSERT_EQ(h.milter.recipients.size(), 2u);
    EXPECT_EQ(count_of(h.milter.recipients), 2u);
}

TEST(MilterStats, KeysCompareExactlyAndAbsentKeysOnlyMatchAbsentOnes)
{
    const char* no_relay = "from=<a@example.org>, size=10";
    const char* no_sender = "from=<a@example.org>";  // no comma: no address, no size, no relay
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("x@t.net"), "1 10:00:05", sender_line) +
                    rejected("Q2", "1 10:00:10", to_rcpt("x@t.net"), "1 10:00:15",
                             "from=<A@example.org>, size=1, relay=mail.example.org [192.0.2.1]") +
                    rejected("Q3", "1 10:00:20", to_rcpt("x@t.net", "550 5.7.1 SPAM"), "1 10:00:25", sender_line) +
                    rejected("Q4", "1 10:00:30", to_rcpt("x@t.net"), "1 10:00:35",
                             "from=<a@example.org>, size=1, relay=Mail.example.org [192.0.2.1]") +
                    rejected("Q5", "1 10:00:40", to_rcpt("x@t.net"), "1 10:00:45", no_relay) +
                    rejected("Q6", "1 10:00:50", to_rcpt("x@t.net"), "1 10:00:55", no_relay) +
                    rejected("Q7", "1 10:01:00", to_rcpt("x@t.net"), "1 10:01:05", no_sender) +
                    rejected("Q8", "1 10:01:10", to_rcpt("x@t.net"), "1 10:01:15", no_sender)),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 6u);
    std::vector<std::tuple<std::string, std::string, std::string, unsigned>> got;
    for (const milter_reject_stat& r : h.milter.rejects)
        got.emplace_back(text(r.env_from), text(r.relay_name), text(r.reason), r.count);
    std::vector<std::tuple<std::string, std::string, std::string, unsigned>> want = {
        {"a@example.org", "mail.example.org", "550 5.7.1 Spam", 1},
        {"A@example.org", "mail.example.org", "550 5.7.1 Spam", 1},
        {"a@example.org", "mail.example.org", "550 5.7.1 SPAM", 1},
        {"a@example.org", "Mail.example.org", "550 5.7.1 Spam", 1},
        {"a@example.org", "(null)", "550 5.7.1 Spam", 2},
        {"(null)", "(null)", "550 5.7.1 Spam", 2},
    };
    EXPECT_EQ(got, want);
    ASSERT_EQ(h.milter.reasons.size(), 2u);
    EXPECT_EQ(count_of(h.milter.reasons), 2u);
    EXPECT_EQ(h.milter.reasons[0].count, 7u);
    EXPECT_EQ(h.milter.reasons[1].count, 1u);
    EXPECT_EQ(h.milter.reason_refs, 8u);
    ASSERT_EQ(h.milter.recipients.size(), 1u);
    EXPECT_EQ(h.milter.recipients[0].count, 8u);
}

TEST(MilterStats, SizeZeroIsCountedWithoutChangingSizes)
{
    const char* no_size = "from=<a@example.org>, class=0, relay=mail.example.org [192.0.2.1]";
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("x@t.net"), "1 10:00:05", no_size) +
                    rejected("Q2", "1 10:01:00", to_rcpt("x@t.net"), "1 10:01:05", no_size)),
              0);
    const host_info& h = host_table[0];
    ASSERT_EQ(h.milter.rejects.size(), 1u);
    EXPECT_EQ(h.milter.rejects[0].count, 2u);
    EXPECT_EQ(h.milter.rejects[0].size, 0);
    EXPECT_EQ(h.milter.size, 0);
    EXPECT_EQ(h.milter.refs, 2u);
    EXPECT_EQ(h.milter.recipients[0].count, 2u);
    EXPECT_EQ(h.milter.recipients[0].size, 0);
    EXPECT_EQ(h.milter.reason_refs, 2u);
}

TEST(MilterStats, RecordTakesItsFieldsFromTheSenderAndTheMilterLine)
{
    ASSERT_EQ(build(rejected("Q1", "2 23:59:59", to_rcpt("Bob@mx.Example.net", "554 <bad> thing"), "3 00:00:03",
                             sender_line)),
              0);
    const milter_reject_stat& r = host_table[0].milter.rejects[0];
    EXPECT_STREQ(r.date, "20261202") << "the date of the milter line";
    EXPECT_STREQ(r.env_from, "a@example.org");
    EXPECT_STREQ(r.from_host, "example.org");
    EXPECT_STREQ(r.from_dom_l1, ".org");
    EXPECT_STREQ(r.from_dom_l2, ".example.org");
    EXPECT_STREQ(r.to_name_info.user_name, "Bob");
    EXPECT_STREQ(r.to_host, "mx.Example.net");
    EXPECT_STREQ(r.to_name_info.dom_name_lvl_2, ".Example.net");
    EXPECT_STREQ(r.reason, "554 <bad> thing");
    EXPECT_STREQ(r.relay_name, "mail.example.org");
    EXPECT_STREQ(r.relay_ip, "192.0.2.1");
    EXPECT_EQ(r.relay_ip_bin, 0xC0000201u);
    EXPECT_STREQ(r.relay_dom_l1, ".org");
    EXPECT_STREQ(r.relay_dom_l2, ".example.org");
    EXPECT_EQ(r.relay_geo_dom, nullptr);
    EXPECT_EQ(r.size, 1500);
    EXPECT_EQ(r.first_time, utc(2, 23, 59, 59));
    EXPECT_EQ(r.last_time, r.first_time);
}

TEST(MilterStats, ConnectRejectsAndHostsKeepTheirOwnTables)
{
    ASSERT_EQ(build(at("1 10:00:00", "Q1: Milter: connect: host=bad.example.com, addr=198.51.100.7, reject=554 Go") +
                    rejected("Q2", "1 10:00:01", to_rcpt("x@t.net"), "1 10:00:02", sender_line, "mx2") +
                    at("1 10:00:03", "Q3: Milter: connect: host=bad.example.com, addr=198.51.100.7, reject=554 Go")),
              0);
    ASSERT_EQ(hosts_found, 2u);
    const host_info& h1 = host_table[0];
    ASSERT_EQ(h1.milter.rejects.size(), 1u);
    EXPECT_STREQ(h1.milter.rejects[0].env_from, "EMPTY_ADDRESS");
    EXPECT_STREQ(h1.milter.rejects[0].relay_name, "bad.example.com");
    EXPECT_STREQ(h1.milter.rejects[0].relay_ip, "198.51.100.7");
    EXPECT_EQ(h1.milter.rejects[0].count, 2u);
    EXPECT_EQ(count_of(h1.milter.recipients), 0u);
    const host_info& h2 = host_table[1];
    EXPECT_EQ(count_of(h2.milter.rejects), 1u);
    EXPECT_EQ(count_of(h2.milter.reasons), 1u);
    EXPECT_EQ(count_of(h2.milter.recipients), 1u);
}

// Making every arena allocation after the n-th fail, for growing n, meets
// the failures in the order the steps run, then success.
TEST(MilterStats, EachFailureWritesItsMessageAndEndsTheBuild)
{
    const std::string log = rejected("Q1", "1 10:00:00", to_rcpt("x@t.example.net"), "1 10:00:05", sender_line);
    const std::vector<std::string> order = {
        "ERROR: cannot get memory for milter reject stat!\n",
        "ERROR: cannot parse milter reject(env-to)!\n",
        "ERROR: cannot get memory for milter reject stat!\n",  // the reason and relay copies of the record
        "ERROR: cannot get memory for reject reason stat!\n",
        "ERROR: cannot get memory for env_mem by milter_reject!\n",
        "",
    };
    std::vector<std::string> seen;
    for (std::size_t n = 0; n < 40 && (seen.empty() || !seen.back().empty()); ++n) {
        EXPECT_EQ(test_support::read_log_text(log), "");
        host_table[0].memory.fail_after(n);
        testing::internal::CaptureStderr();
        int result = build_milter_statistics();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, err.empty() ? 0 : 1) << err;
        if (seen.empty() || seen.back() != err)
            seen.push_back(err);
    }
    EXPECT_EQ(seen, order);
}

TEST(MilterStats, AnAddressWithoutAtSignIsNoFailedSplit)
{
    ASSERT_EQ(build(rejected("Q1", "1 10:00:00", to_rcpt("postmaster"), "1 10:00:05", sender_line)), 0);
    const milter_reject_stat& r = host_table[0].milter.rejects[0];
    EXPECT_STREQ(r.env_to, "postmaster");
    EXPECT_EQ(r.to_host, nullptr);
    EXPECT_EQ(r.to_name_info.user_name, nullptr);
}

// ---- the tables against a plain linear walk --------------------------------

struct plain_reject {
    const char* env_from;
    const char* relay;
    const char* reason;
    const char* env_to;
    unsigned count;
    double size;
    std::time_t first, last;
};

bool same(const char* a, const char* b)
{
    return a == nullptr || b == nullptr ? a == b : std::strcmp(a, b) == 0;
}

// The rule as a walk from the head of the table.
std::vector<plain_reject> linear_walk(const host_info& h)
{
    std::vector<plain_reject> table;
    for (const milter_chain_item* item = h.messages.milter_chain.head; item; item = item->next) {
        const msg_milter& m = *item->p_mil;
        const msg_from& f = *item->p_from;
        bool matched = false;
        for (plain_reject& r : table) {
            if (!same(r.env_from, f.env_from) || !same(r.relay, f.relay_info.dom_name) || !same(r.reason, m.reject_txt))
                continue;
            if (m.env_to && r.env_to) {
                if (strcasecmp(m.env_to, r.env_to) != 0)
                    continue;
                r.last = f.msg_time;
            }
            ++r.count;
            r.size += f.siz;
            matched = true;
            break;
        }
        if (!matched)
            table.push_back({f.env_from, f.relay_info.dom_name, m.reject_txt, m.env_to, 1, double(f.siz), m.msg_time,
                             m.msg_time});
    }
    return table;
}

TEST(MilterStats, TablesAgreeWithALinearWalkOverCollidingKeys)
{
    const char* senders[] = {"from=<a@x.org>, size=7, relay=r.x.org [192.0.2.1]",
                             "from=<A@x.org>, size=11, relay=r.x.org [192.0.2.1]",
                             "from=<a@x.org>, size=13, relay=R.x.org [192.0.2.1]",
                             "from=<a@x.org>, size=17", "from=<a@x.org>"};
    const char* reasons[] = {"550 spam", "550 SPAM", "554 virus"};
    const char* recipients[] = {nullptr, "u@t.net", "U@T.net", "v@t.net", "w@t.net"};
    std::mt19937 random(4711);
    std::string log;
    for (int i = 0; i < 3000; ++i) {
        std::string id = "Q";
        id += std::to_string(i);
        const char* reason = reasons[random() % 3];
        const char* rcpt = recipients[random() % 5];
        std::string milter = rcpt ? std::string("to=<") + rcpt + ">, reject=" + reason
                                  : std::string("from=<a@x.org>, reject=") + reason;
        char time[16];
        std::snprintf(time, sizeof time, "1 %02d:%02d:%02d", i / 3600, i / 60 % 60, i % 60);
        log += rejected(id.c_str(), time, milter, time, senders[random() % 5]);
    }
    ASSERT_EQ(build(log), 0);
    const host_info& h = host_table[0];
    std::vector<plain_reject> got;
    for (const milter_reject_stat& r : h.milter.rejects)
        got.push_back({r.env_from, r.relay_name, r.reason, r.env_to, r.count, r.size, r.first_time, r.last_time});
    std::vector<plain_reject> want = linear_walk(h);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_TRUE(same(got[i].env_from, want[i].env_from) && same(got[i].relay, want[i].relay) &&
                    same(got[i].reason, want[i].reason) && same(got[i].env_to, want[i].env_to))
            << "record " << i;
        EXPECT_EQ(got[i].count, want[i].count) << "record " << i;
        EXPECT_EQ(got[i].size, want[i].size) << "record " << i;
        EXPECT_EQ(got[i].first, want[i].first) << "record " << i;
        EXPECT_EQ(got[i].last, want[i].last) << "record " << i;
    }
    EXPECT_EQ(count_of(h.milter.rejects), want.size());
    EXPECT_EQ(h.milter.refs, 3000u);
    EXPECT_EQ(count_of(h.milter.reasons), 3u);
    EXPECT_EQ(h.milter.reason_refs, 3000u);
    EXPECT_EQ(count_of(h.milter.recipients), 4u);
    unsigned rcpt_refs = 0;
    for (const env_mem_stat& m : h.milter.recipients)
        rcpt_refs += m.count;
    EXPECT_EQ(h.milter.recipient_refs, rcpt_refs);
}

}  // namespace
