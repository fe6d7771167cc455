// The envelope statistics build: pair keys and merging, other recipients,
// statuses, the sender and recipient tables, counters, the date text, absent
// texts as keys, the memory-failure messages, and a randomized comparison of
// the indexed build with a plain linear-search reference.
#include "stats/envelope_stats.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "model/host_info.h"
#include "tests/test_support.h"

namespace {

// ---- log lines -------------------------------------------------------------

std::string from_line(const std::string& stamp, const std::string& id, const std::string& sender, unsigned size,
                      const std::string& relay)
{
    return "Dec  1 " + stamp + " mx1 sm-mta[1]: " + id + ": from=<" + sender + ">, size=" + std::to_string(size) +
           ", class=0, nrcpts=1, msgid=<" + id + "@m>, proto=ESMTP, daemon=MTA, relay=" + relay + "\n";
}

// `recipients` is the whole "to=" value, for example "<b@y.net>,<c@y.net>".
std::string to_line(const std::string& stamp, const std::string& id, const std::string& recipients,
                    const std::string& status)
{
    std::string line = "Dec  1 " + stamp + " mx1 sm-mta[2]: " + id + ": to=" + recipients +
                       ", delay=00:00:05, mailer=esmtp, pri=100, relay=mx.y.net. [198.51.100.5], dsn=2.0.0";
    if (!status.empty())
        line += ", stat=" + status;
    return line + "\n";
}

const std::string relay_1 = "mail.x.org [192.0.2.10]";
const std::string relay_2 = "out.x.org [192.0.2.11]";

// Reads the log into a fresh host table (time zone UTC) and builds.
void build_from_log(const std::string& log)
{
    test_support::read_log_text(log);
    ASSERT_GE(hosts_found, 1u);
    ASSERT_EQ(build_envelope_statistics(), 0);
}

std::string text(const char* t)
{
    return t ? t : "(null)";
}

// "relay|sender|recipient size count" of every pair, in table order.
std::vector<std::string> pair_rows(const host_info& host)
{
    std::vector<std::string> rows;
    for (const env_pair_stat& p : host.envelope.pairs)
        rows.push_back(text(p.from_relay) + "|" + text(p.sender) + "|" + text(p.recipient) + " " +
                       std::to_string(static_cast<long>(p.size)) + " " + std::to_string(p.count));
    return rows;
}

std::vector<std::string> member_rows(const std::vector<env_mem_stat>& table)
{
    std::vector<std::string> rows;
    for (const env_mem_stat& m : table)
        rows.push_back(text(m.name) + " " + std::to_string(static_cast<long>(m.size)) + " " + std::to_string(m.count));
    return rows;
}

std::vector<std::string> other_rows(const env_pair_stat& pair)
{
    std::vector<std::string> rows;
    for (const other_rcpt* o = pair.other_rcpts_head; o; o = o->next)
        rows.push_back(text(o->name) + " " + std::to_string(o->count));
    return rows;
}

// "text count first last" with the times as seconds after `base`.
std::vector<std::string> status_rows(const env_pair_stat& pair, std::time_t base)
{
    std::vector<std::string> rows;
    for (const pair_status* s = pair.statuses_head; s; s = s->next)
        rows.push_back(text(s->status) + " " + std::to_string(s->count) + " " +
                       std::to_string(static_cast<long>(s->first_time - base)) + " " +
                       std::to_string(static_cast<long>(s->last_time - base)));
    return rows;
}

// Every test here runs in UTC, so line times and dates are fixed.
class EnvelopeBuild : public testing::Test {
protected:
    void SetUp() override
    {
        if (const char* zone = std::getenv("TZ"))
            saved_zone_ = zone;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (saved_zone_)
            setenv("TZ", saved_zone_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        clear_host_table();
    }

    // 2026-12-01 00:00:00 UTC, the day of the test logs.
    static constexpr std::time_t day_start = 1796083200;

private:
    std::optional<std::string> saved_zone_;
};

TEST_F(EnvelopeBuild, PairsAreKeyedByRelaySenderAndRecipient)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 100, relay_1) + to_line("10:00:01", "Q1", "<b@y.net>", "Sent") +
                   from_line("10:00:02", "Q2", "a@x.org", 200, relay_2) + to_line("10:00:03", "Q2", "<b@y.net>", "Sent") +
                   from_line("10:00:04", "Q3", "a@x.org", 300, relay_1) + to_line("10:00:05", "Q3", "<b@y.net>", "Sent"));
    const host_info& host = host_table[0];
    EXPECT_EQ(pair_rows(host),
              (std::vector<std::string>{"mail.x.org|a@x.org|b@y.net 400 2", "out.x.org|a@x.org|b@y.net 200 1"}));
    EXPECT_EQ(count_of(host.envelope.pairs), 2u);
    EXPECT_EQ(host.envelope.pair_refs, 3u);
    EXPECT_EQ(member_rows(host.envelope.senders), (std::vector<std::string>{"a@x.org 600 3"}));
    EXPECT_EQ(member_rows(host.envelope.recipients), (std::vector<std::string>{"b@y.net 600 3"}));
    EXPECT_EQ(count_of(host.envelope.senders), 1u);
    EXPECT_EQ(count_of(host.envelope.recipients), 1u);
}

TEST_F(EnvelopeBuild, PairCopiesItsRelayAndAddressParts)
{
    build_from_log(from_line("10:00:00", "Q1", "a@mail.x.org", 100, relay_1) + to_line("10:00:01", "Q1", "<b@y.net>", "Sent"));
    const env_pair_stat& p = host_table[0].envelope.pairs.at(0);
    EXPECT_STREQ(p.from_host, "mail.x.org");
    EXPECT_STREQ(p.to_host, "y.net");
    EXPECT_STREQ(p.from_dom_l1, ".org");
    EXPECT_STREQ(p.from_dom_l2, ".x.org");
    EXPECT_STREQ(p.to_relay, "mx.y.net");
    EXPECT_STREQ(p.from_ip, "192.0.2.10");
    EXPECT_STREQ(p.to_ip, "198.51.100.5");
    EXPECT_STREQ(p.from_relay_dom_l1, ".org");
    EXPECT_STREQ(p.from_relay_dom_l2, ".x.org");
    EXPECT_EQ(p.from_geo_dom, nullptr);
    EXPECT_EQ(p.from_ip_bin, 0xC000020Au);
    EXPECT_EQ(p.to_ip_bin, 0xC6336405u);
}

TEST_F(EnvelopeBuild, LetterCaseOfAddressesMattersWhileStatusTextsMerge)
{
    build_from_log(from_line("10:00:00", "Q1", "Alice@x.org", 10, relay_1) +
                   to_line("10:00:10", "Q1", "<b@y.net>", "Deferred: Busy") +
                   to_line("10:00:20", "Q1", "<b@y.net>", "deferred: BUSY") +
                   from_line("10:00:30", "Q2", "alice@x.org", 20, relay_1) +
                   to_line("10:00:40", "Q2", "<B@y.net>", "Sent") + to_line("10:00:50", "Q2", "<b@y.net>", "Sent"));
    const host_info& host = host_table[0];
    EXPECT_EQ(pair_rows(host), (std::vector<std::string>{"mail.x.org|Alice@x.org|b@y.net 20 2",
                                                         "mail.x.org|alice@x.org|B@y.net 20 1",
                                                         "mail.x.org|alice@x.org|b@y.net 20 1"}));
    const std::time_t base = day_start + 10 * 3600;
    EXPECT_EQ(status_rows(host.envelope.pairs[0], base), (std::vector<std::string>{"Deferred: Busy 2 10 20"}));
    EXPECT_EQ(member_rows(host.envelope.senders), (std::vector<std::string>{"Alice@x.org 20 2", "alice@x.org 40 2"}));
    EXPECT_EQ(member_rows(host.envelope.recipients), (std::vector<std::string>{"b@y.net 40 3", "B@y.net 20 1"}));
}

TEST_F(EnvelopeBuild, StatusesKeepFirstAppearanceAndTheirFirstAndLastTimes)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", "Deferred: x") +
                   to_line("10:00:09", "Q1", "<b@y.net>", "Sent") + to_line("10:00:30", "Q1", "<b@y.net>", "Deferred: x") +
                   to_line("10:01:00", "Q1", "<b@y.net>", "Deferred: x"));
    const std::time_t base = day_start + 10 * 3600;
    EXPECT_EQ(status_rows(host_table[0].envelope.pairs.at(0), base),
              (std::vector<std::string>{"Deferred: x 3 5 60", "Sent 1 9 9"}));
}

TEST_F(EnvelopeBuild, DeliveryWithoutStatusAddsNoStatusButCounts)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", "") +
                   to_line("10:00:09", "Q1", "<b@y.net>", "Sent") + to_line("10:00:10", "Q1", "<b@y.net>", ""));
    const host_info& host = host_table[0];
    EXPECT_EQ(pair_rows(host), (std::vector<std::string>{"mail.x.org|a@x.org|b@y.net 30 3"}));
    EXPECT_EQ(status_rows(host.envelope.pairs[0], day_start + 10 * 3600), (std::vector<std::string>{"Sent 1 9 9"}));
}

TEST_F(EnvelopeBuild, PairOfDeliveriesWithoutAnyStatusHasAnEmptyStatusList)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", ""));
    EXPECT_EQ(host_table[0].envelope.pairs.at(0).statuses_head, nullptr);
    EXPECT_EQ(host_table[0].envelope.pairs.at(0).count, 1u);
}

TEST_F(EnvelopeBuild, OtherRecipientsAreCopiedIntoAnEmptyListWithoutMerging)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) +
                   to_line("10:00:05", "Q1", "<b@y.net>,<c@y.net>,<c@y.net>,<d@y.net>", "Sent"));
    EXPECT_EQ(other_rows(host_table[0].envelope.pairs.at(0)), (std::vector<std::string>{"c@y.net 1", "c@y.net 1", "d@y.net 1"}));
}

TEST_F(EnvelopeBuild, OtherRecipientsMergeByNameIntoAListThatHasEntries)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) +
                   to_line("10:00:05", "Q1", "<b@y.net>,<c@y.net>,<c@y.net>,<d@y.net>", "Sent") +
                   from_line("10:01:00", "Q2", "a@x.org", 10, relay_1) +
                   to_line("10:01:05", "Q2", "<b@y.net>,<c@y.net>,<e@y.net>,<C@y.net>,<c@y.net>", "Sent"));
    EXPECT_EQ(other_rows(host_table[0].envelope.pairs.at(0)),
              (std::vector<std::string>{"c@y.net 3", "c@y.net 1", "d@y.net 1", "e@y.net 1", "C@y.net 1"}));
}

TEST_F(EnvelopeBuild, FirstListedOtherRecipientsArriveWithALaterDelivery)
{
    // The pair's first delivery lists no others: the later list is copied whole.
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", "Sent") +
                   to_line("10:00:06", "Q1", "<b@y.net>,<c@y.net>,<c@y.net>", "Sent"));
    EXPECT_EQ(other_rows(host_table[0].envelope.pairs.at(0)), (std::vector<std::string>{"c@y.net 1", "c@y.net 1"}));
}

TEST_F(EnvelopeBuild, OtherRecipientsAddCountButNoSizeAndMakeNoPair)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 100, relay_1) +
                   to_line("10:00:05", "Q1", "<b@y.net>,<c@y.net>,<d@y.net>", "Sent") +
                   from_line("10:01:00", "Q2", "z@x.org", 50, relay_1) + to_line("10:01:05", "Q2", "<c@y.net>", "Sent"));
    const host_info& host = host_table[0];
    EXPECT_EQ(pair_rows(host), (std::vector<std::string>{"mail.x.org|a@x.org|b@y.net 100 1",
                                                         "mail.x.org|z@x.org|c@y.net 50 1"}));
    EXPECT_EQ(member_rows(host.envelope.recipients), (std::vector<std::string>{"b@y.net 100 1", "c@y.net 50 2", "d@y.net 0 1"}));
    EXPECT_EQ(count_of(host.envelope.recipients), 3u);
    EXPECT_EQ(host.envelope.pair_refs, 2u);
}

TEST_F(EnvelopeBuild, SizesAreCountedOncePerDelivery)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 1000, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", "Sent") +
                   to_line("10:00:06", "Q1", "<c@y.net>", "Sent") + to_line("10:00:07", "Q1", "<b@y.net>", "Sent"));
    const host_info& host = host_table[0];
    EXPECT_EQ(pair_rows(host), (std::vector<std::string>{"mail.x.org|a@x.org|b@y.net 2000 2",
                                                         "mail.x.org|a@x.org|c@y.net 1000 1"}));
    EXPECT_EQ(member_rows(host.envelope.senders), (std::vector<std::string>{"a@x.org 3000 3"}));
    EXPECT_EQ(member_rows(host.envelope.recipients), (std::vector<std::string>{"b@y.net 2000 2", "c@y.net 1000 1"}));
    EXPECT_EQ(host.envelope.pair_refs, 3u);
}

TEST_F(EnvelopeBuild, DateIsTheLocalDayOfTheFirstDeliveryCounted)
{
    const std::string log = "Dec  1 23:59:50 mx1 sm-mta[1]: Q1: from=<a@x.org>, size=5, nrcpts=1, relay=r.x.org [192.0.2.1]\n"
                            "Dec  2 00:00:10 mx1 sm-mta[2]: Q1: to=<b@y.net>, mailer=esmtp, relay=m.y.net [192.0.2.2], stat=Sent\n"
                            "Dec  3 08:00:00 mx1 sm-mta[2]: Q1: to=<b@y.net>, mailer=esmtp, relay=m.y.net [192.0.2.2], stat=Sent\n";
    build_from_log(log);
    ASSERT_EQ(host_table[0].envelope.pairs.size(), 1u);
    EXPECT_STREQ(host_table[0].envelope.pairs[0].date, "20261202");
}

TEST_F(EnvelopeBuild, HostWithoutMessagesHasEmptyTables)
{
    build_from_log(from_line("10:00:00", "Q1", "a@x.org", 10, relay_1) + to_line("10:00:05", "Q1", "<b@y.net>", "Sent") +
                   "Dec  1 10:00:06 mx2 sm-mta[9]: starting daemon (8.17.1): SMTP+queueing@00:15:00\n");
    ASSERT_EQ(hosts_found, 2u);
    const host_info& empty = host_table[1];
    EXPECT_EQ(count_of(empty.envelope.pairs) + empty.envelope.pair_refs + count_of(empty.envelope.senders) + count_of(empty.envelope.recipients), 0u);
    EXPECT_TRUE(empty.envelope.pairs.empty());
    EXPECT_TRUE(empty.envelope.senders.empty());
    EXPECT_TRUE(empty.envelope.recipients.empty());
    EXPECT_EQ(count_of(host_table[0].envelope.pairs), 1u);
}

// ---- chains built by hand: absent texts and exact status texts ----------------

const char* saved(host_info& host, const char* text)
{
    return text ? host.memory.save_text(text) : nullptr;
}

msg_chain_item* add_message(host_info& host, const char* sender, const char* relay, std::uint32_t size)
{
    msg_from* from = host.memory.make<msg_from>();
    from->env_from = saved(host, sender);
    from->relay_info.dom_name = relay ? host.memory.save_text(relay) : nullptr;
    from->siz = size;
    msg_chain_item* item = host.memory.make<msg_chain_item>();
    item->p_from = from;
    host.messages.msg_chain.append(item);
    ++host.messages.msg_chains;
    return item;
}

void add_delivery(host_info& host, msg_chain_item* item, const char* recipient, const char* status, std::time_t time,
                  const std::vector<const char*>& others = {}, std::uint32_t other_count = 1)
{
    msg_to* to = host.memory.make<msg_to>();
    to->env_to = saved(host, recipient);
    to->msg_stat = saved(host, status);
    to->msg_time = time;
    for (const char* name : others) {
        rcpt_to* other = host.memory.make<rcpt_to>();
        other->name = saved(host, name);
        other->count = other_count;
        if (to->p_rcpt_tail)
            to->p_rcpt_tail->next = other;
        else
            to->p_rcpt_head = other;
        to->p_rcpt_tail = other;
    }
    if (item->last_to)
        item->last_to->next = to;
    else
        item->p_to = to;
    item->last_to = to;
    ++item->Recipients_num;
}

host_info& fresh_host()
{
    clear_host_table();
    host_info* host = find_or_add_host("mx1");
    EXPECT_NE(host, nullptr);
    return *host;
}

TEST_F(EnvelopeBuild, SentAndSentInOtherCaseShareOneStatusEntry)
{
    host_info& host = fresh_host();
    msg_chain_item* m = add_message(host, "a@x", "r", 1);
    add_delivery(host, m, "b@y", "Sent", 100);
    add_delivery(host, m, "b@y", "sent", 200);
    add_delivery(host, m, "b@y", "SENT", 150);
    ASSERT_EQ(build_envelope_statistics(), 0);
    EXPECT_EQ(status_rows(host.envelope.pairs.at(0), 0), (std::vector<std::string>{"Sent 3 100 150"}));
}

TEST_F(EnvelopeBuild, AbsentKeyTextsMatchOnlyAbsentTexts)
{
    host_info& host = fresh_host();
    add_delivery(host, add_message(host, nullptr, nullptr, 1), nullptr, nullptr, 1);
    add_delivery(host, add_message(host, nullptr, nullptr, 2), nullptr, nullptr, 2);
    add_delivery(host, add_message(host, nullptr, "r", 4), nullptr, nullptr, 3);
    add_delivery(host, add_message(host, "", "r", 8), "", nullptr, 4, {nullptr, ""});
    ASSERT_EQ(build_envelope_statistics(), 0);
    EXPECT_EQ(pair_rows(host), (std::vector<std::string>{"(null)|(null)|(null) 3 2", "r|(null)|(null) 4 1", "r|| 8 1"}));
    EXPECT_EQ(member_rows(host.envelope.senders), (std::vector<std::string>{"(null) 7 3", " 8 1"}));
    EXPECT_EQ(member_rows(host.envelope.recipients), (std::vector<std::string>{"(null) 7 4", " 8 2"}));
    EXPECT_EQ(other_rows(host.envelope.pairs.at(2)), (std::vector<std::string>{"(null) 1", " 1"}));
}

// ---- memory running out --------------------------------------------------------

// Builds after `allowed` more arena allocations; the message written.
std::string build_with_allocations(host_info& host, std::size_t allowed)
{
    host.memory.fail_after(allowed);
    testing::internal::CaptureStderr();
    int result = build_envelope_statistics();
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    return message;
}

TEST_F(EnvelopeBuild, EachMemoryFailureHasItsOwnMessage)
{
    // Absent texts are not copied: the pair then takes one allocation (its date).
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, nullptr, nullptr, 1), nullptr, "Sent", 1);
        EXPECT_EQ(build_with_allocations(host, 0), "ERROR: cannot get memory for envelope pair stat!\n");
    }
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, nullptr, nullptr, 1), nullptr, "Sent", 1);
        EXPECT_EQ(build_with_allocations(host, 1), "ERROR: cannot get memory for message status list [1]!\n");
    }
    {
        host_info& host = fresh_host();
        msg_chain_item* m = add_message(host, nullptr, nullptr, 1);
        add_delivery(host, m, nullptr, "Sent", 1);
        add_delivery(host, m, nullptr, "Deferred", 2);
        EXPECT_EQ(build_with_allocations(host, 3), "ERROR: cannot get memory for message status list [2]!\n");
    }
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, nullptr, nullptr, 1), nullptr, nullptr, 1, {"c"});
        EXPECT_EQ(build_with_allocations(host, 1), "ERROR: cannot get memory for other recipients list [1]!\n");
    }
    {
        host_info& host = fresh_host();
        msg_chain_item* m = add_message(host, nullptr, nullptr, 1);
        add_delivery(host, m, nullptr, nullptr, 1, {"c"});
        add_delivery(host, m, nullptr, nullptr, 2, {"d"});
        EXPECT_EQ(build_with_allocations(host, 4), "ERROR: cannot get memory for other recipients list [2]!\n");
    }
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, "s", nullptr, 1), nullptr, nullptr, 1);
        EXPECT_EQ(build_with_allocations(host, 2), "ERROR: cannot get memory for envelope senders stat!\n");
    }
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, nullptr, nullptr, 1), "r", nullptr, 1);
        EXPECT_EQ(build_with_allocations(host, 2), "ERROR: cannot get memory for envelope recipients stat (1)!\n");
    }
    {
        host_info& host = fresh_host();
        add_delivery(host, add_message(host, nullptr, nullptr, 1), nullptr, nullptr, 1, {"c"});
        EXPECT_EQ(build_with_allocations(host, 3), "ERROR: cannot get memory for envelope recipients stat (2)!\n");
    }
}

// ---- the indexed build against linear searches ---------------------------------

using opt_text = std::optional<std::string>;

opt_text opt(const char* t)
{
    return t ? opt_text(t) : std::nullopt;
}

struct ref_status {
    std::string text;
    std::uint32_t count;
    std::time_t first, last;
};

struct ref_pair {
    opt_text relay, sender, recipient;
    double size;
    std::uint32_t count;
    std::vector<std::pair<opt_text, std::uint32_t>> others;
    std::vector<ref_status> statuses;
};

struct ref_member {
    opt_text name;
    double size;
    std::uint32_t count;
};

struct reference {
    std::vector<ref_pair> pairs;
    std::vector<ref_member> senders, rcpts;
    std::uint32_t refs = 0;
};

void ref_count_member(std::vector<ref_member>& table, const opt_text& name, double size, std::uint32_t count)
{
    for (ref_member& m : table)
        if (m.name == name) {
            m.size += size;
            m.count += count;
            return;
        }
    table.push_back({name, size, count});
}

ref_pair& ref_find_pair(reference& ref, const msg_from& f, const msg_to& t)
{
    const opt_text relay = opt(f.relay_info.dom_name), sender = opt(f.env_from), recipient = opt(t.env_to);
    for (ref_pair& p : ref.pairs)
        if (p.relay == relay && p.sender == sender && p.recipient == recipient) {
            ++p.count;
            p.size += f.siz;
            return p;
        }
    ref.pairs.push_back({relay, sender, recipient, static_cast<double>(f.siz), 1, {}, {}});
    return ref.pairs.back();
}

void ref_add_others(ref_pair& p, const msg_to& t)
{
    const bool was_empty = p.others.empty();
    for (const rcpt_to* r = t.p_rcpt_head; r; r = r->next) {
        auto found = p.others.end();
        if (!was_empty)
            for (auto it = p.others.begin(); it != p.others.end(); ++it)
                if (it->first == opt(r->name)) {
                    found = it;
                    break;
                }
        if (found != p.others.end())
            ++found->second;
        else
            p.others.emplace_back(opt(r->name), r->count);
    }
}

void ref_add_status(ref_pair& p, const msg_to& t)
{
    if (t.msg_stat == nullptr)
        return;
    for (ref_status& s : p.statuses)
        if (strcasecmp(s.text.c_str(), t.msg_stat) == 0) {
            ++s.count;
            s.last = t.msg_time;
            return;
        }
    p.statuses.push_back({t.msg_stat, 1, t.msg_time, t.msg_time});
}

reference reference_build(const host_info& host)
{
    reference ref;
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next)
        for (const msg_to* t = item->p_to; t; t = t->next) {
            const msg_from& f = *item->p_from;
            ++ref.refs;
            ref_pair& p = ref_find_pair(ref, f, *t);
            ref_add_others(p, *t);
            ref_add_status(p, *t);
            ref_count_member(ref.senders, opt(f.env_from), f.siz, 1);
            ref_count_member(ref.rcpts, opt(t->env_to), f.siz, 1);
            for (const rcpt_to* r = t->p_rcpt_head; r; r = r->next)
                ref_count_member(ref.rcpts, opt(r->name), 0, r->count);
        }
    return ref;
}

void expect_same_members(const std::vector<env_mem_stat>& got, const std::vector<ref_member>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(opt(got[i].name), want[i].name) << "member " << i;
        EXPECT_EQ(got[i].size, want[i].size) << "member " << i;
        EXPECT_EQ(got[i].count, want[i].count) << "member " << i;
    }
}

void expect_same_pair(const env_pair_stat& got, const ref_pair& want, std::size_t i)
{
    EXPECT_EQ(opt(got.from_relay), want.relay) << "pair " << i;
    EXPECT_EQ(opt(got.sender), want.sender) << "pair " << i;
    EXPECT_EQ(opt(got.recipient), want.recipient) << "pair " << i;
    EXPECT_EQ(got.size, want.size) << "pair " << i;
    EXPECT_EQ(got.count, want.count) << "pair " << i;
    std::vector<std::pair<opt_text, std::uint32_t>> others;
    for (const other_rcpt* o = got.other_rcpts_head; o; o = o->next)
        others.emplace_back(opt(o->name), o->count);
    EXPECT_EQ(others, want.others) << "pair " << i;
    std::size_t n = 0;
    for (const pair_status* s = got.statuses_head; s; s = s->next, ++n) {
        ASSERT_LT(n, want.statuses.size()) << "pair " << i;
        EXPECT_EQ(std::string(s->status), want.statuses[n].text) << "pair " << i;
        EXPECT_EQ(s->count, want.statuses[n].count) << "pair " << i;
        EXPECT_EQ(s->first_time, want.statuses[n].first) << "pair " << i;
        EXPECT_EQ(s->last_time, want.statuses[n].last) << "pair " << i;
    }
    EXPECT_EQ(n, want.statuses.size()) << "pair " << i;
}

TEST_F(EnvelopeBuild, IndexedBuildEqualsLinearSearches)
{
    const char* const senders[] = {"a@x", "A@x", "b@x", nullptr};
    const char* const relays[] = {"r1", "R1", "r2", nullptr};
    const char* const rcpts[] = {"c@y", "C@y", "d@y", nullptr};
    const char* const statuses[] = {"Sent", "sent", "Deferred: busy", "DEFERRED: BUSY", "Virus", nullptr};
    const char* const others[] = {"c@y", "e@y", "E@y", "f@y", nullptr};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&random](const auto& array) { return array[random() % std::size(array)]; };
        host_info& host = fresh_host();
        for (int m = 0; m < 120; ++m) {
            msg_chain_item* item = add_message(host, pick(senders), pick(relays), random() % 5000);
            for (unsigned d = 0, n = 1 + random() % 3; d < n; ++d) {
                std::vector<const char*> listed;
                for (unsigned k = 0, o = random() % 4; k < o; ++k)
                    listed.push_back(pick(others));
                add_delivery(host, item, pick(rcpts), pick(statuses), 1000 + m * 10 + d, listed, 1 + random() % 3);
            }
        }
        const reference want = reference_build(host);
        ASSERT_EQ(build_envelope_statistics(), 0);
        SCOPED_TRACE("seed " + std::to_string(seed));
        ASSERT_EQ(host.envelope.pairs.size(), want.pairs.size());
        EXPECT_EQ(count_of(host.envelope.pairs), want.pairs.size());
        EXPECT_EQ(host.envelope.pair_refs, want.refs);
        for (std::size_t i = 0; i < want.pairs.size(); ++i)
            expect_same_pair(host.envelope.pairs[i], want.pairs[i], i);
        expect_same_members(host.envelope.senders, want.senders);
        expect_same_members(host.envelope.recipients, want.rcpts);
        EXPECT_EQ(count_of(host.envelope.senders), want.senders.size());
        EXPECT_EQ(count_of(host.envelope.recipients), want.rcpts.size());
    }
}

}  // namespace
