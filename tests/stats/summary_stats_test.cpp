// The summaries by relay and by recipient, built from hand-filled statistic
// tables: the rows the relay senders make, the address rule (hosts and
// addresses already kept, absent texts), ruleset, milter and non-active
// counts with their keys, the recipient rows with their virus counts, the
// memory failures, and random tables checked against a plain walk of the
// address lists.
#include "stats/summary_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "input/field_extraction.h"
#include "model/host_info.h"

namespace {

host_info& fresh_host(const char* name = "mx1")
{
    settings = program_settings{};
    clear_host_table();
    return *find_or_add_host(name);
}

relay_mem_stat relay_sender(const char* name, std::uint32_t ip_bin, std::uint32_t count, const char* ip = nullptr,
                            const char* dom_l2 = nullptr)
{
    relay_mem_stat sender{};
    sender.name = name;
    sender.ip = ip;
    sender.dom_l2 = dom_l2;
    sender.ip_bin = ip_bin;
    sender.count = count;
    return sender;
}

env_pair_stat env_pair(const char* relay, std::uint32_t ip_bin, const char* sender, const char* from_host,
                       const char* recipient, const char* to_host, std::uint32_t count = 1)
{
    env_pair_stat pair{};
    pair.from_relay = relay;
    pair.from_ip_bin = ip_bin;
    pair.sender = sender;
    pair.from_host = from_host;
    pair.recipient = recipient;
    pair.to_host = to_host;
    pair.count = count;
    return pair;
}

ruleset_reject_stat ruleset_reject(const char* relay, std::uint32_t ip_bin, const char* sender, const char* from_host,
                                   std::uint32_t count = 1)
{
    ruleset_reject_stat reject{};
    reject.relay_name = relay;
    reject.relay_ip_bin = ip_bin;
    reject.env_from = sender;
    reject.from_host = from_host;
    reject.count = count;
    return reject;
}

milter_reject_stat milter_reject(const char* relay, std::uint32_t ip_bin, const char* sender, const char* from_host,
                                 const char* recipient, const char* to_host, std::uint32_t count = 1)
{
    milter_reject_stat reject{};
    reject.relay_name = relay;
    reject.relay_ip_bin = ip_bin;
    reject.env_from = sender;
    reject.from_host = from_host;
    reject.env_to = recipient;
    reject.to_host = to_host;
    reject.count = count;
    return reject;
}

void add_status(host_info& host, env_pair_stat& pair, const char* text, std::uint32_t count)
{
    pair_status* status = host.memory.make<pair_status>();
    status->status = text;
    status->count = count;
    if (pair.statuses_tail)
        pair.statuses_tail->next = status;
    else
        pair.statuses_head = status;
    pair.statuses_tail = status;
}

void add_other(host_info& host, env_pair_stat& pair, const char* name, std::uint32_t count)
{
    other_rcpt* other = host.memory.make<other_rcpt>();
    other->name = name;
    other->count = count;
    if (pair.other_rcpts_tail)
        pair.other_rcpts_tail->next = other;
    else
        pair.other_rcpts_head = other;
    pair.other_rcpts_tail = other;
}

void add_client(host_info& host, char* name, std::uint32_t ip_bin)
{
    msg_no_action* client = host.memory.make<msg_no_action>();
    client->client_txt = name;
    client->relay_info.ip_bin_addr = ip_bin;
    host.messages.no_action_list.append(client);
}

std::string text(const char* value)
{
    return value ? value : "<absent>";
}

std::vector<std::string> addresses(const summary_addr* entry)
{
    std::vector<std::string> out;
    for (; entry; entry = entry->next)
        out.push_back(text(entry->address));
    return out;
}

// The nine counts in the order of the report's columns.
std::vector<std::uint32_t> counts(const summary_relay_stat& r)
{
    return {r.total, r.from_msgs, r.milrej, r.rulrej, r.nonact, r.from_addr, r.from_dom, r.to_addr, r.to_dom};
}

int build_relays_quietly(std::string* errors = nullptr)
{
    testing::internal::CaptureStderr();
    int result = build_relay_summary();
    std::string captured = testing::internal::GetCapturedStderr();
    if (errors)
        *errors = captured;
    return result;
}

// ---------------------------------------------------------------- relay rows

TEST(RelaySummary, EachRelaySenderMakesARowWithCopiedTexts)
{
    host_info& h = fresh_host();
    char name[] = "in.example.org";
    char ip[] = "192.0.2.1";
    h.relay.senders.push_back(relay_sender(name, 0xC0000201, 3, ip, ".example.org"));
    h.relay.senders.push_back(relay_sender("other.example.net", 7, 2));
    ASSERT_EQ(build_relays_quietly(), 0);
    ASSERT_EQ(count_of(h.summary.relays), 2u);
    ASSERT_EQ(h.summary.relays.size(), 2u);
    const summary_relay_stat& first = h.summary.relays[0];
    EXPECT_STREQ(first.name, "in.example.org");
    EXPECT_NE(first.name, name);  // an own copy
    EXPECT_STREQ(first.ip, "192.0.2.1");
    EXPECT_NE(first.ip, ip);
    EXPECT_EQ(first.dom_l2, h.relay.senders[0].dom_l2);  // shared
    EXPECT_EQ(first.ip_bin, 0xC0000201u);
    EXPECT_EQ(counts(first), (std::vector<std::uint32_t>{3, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h.summary.relays[1].ip, nullptr);
    EXPECT_EQ(h.summary.relays[1].from_addr_head, nullptr);
    EXPECT_EQ(counts(h.summary.relays[1]), (std::vector<std::uint32_t>{2, 2, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RelaySummary, RelaySendersWithTheSameKeyShareTheirRow)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 3));
    h.relay.senders.push_back(relay_sender("r1", 1, 4));
    h.relay.senders.push_back(relay_sender("r1", 2, 5));
    ASSERT_EQ(build_relays_quietly(), 0);
    ASSERT_EQ(count_of(h.summary.relays), 2u);
    EXPECT_EQ(h.summary.relays[0].from_msgs, 7u);
    EXPECT_EQ(h.summary.relays[0].total, 7u);
    EXPECT_EQ(h.summary.relays[1].from_msgs, 5u);
}

TEST(RelaySummary, WithoutRelaySendersThereAreNoRows)
{
    host_info& h = fresh_host();
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.ruleset.rejects.push_back(ruleset_reject("r1", 1, "a@h.example", "h.example"));
    h.milter.rejects.push_back(milter_reject("r1", 1, "a@h.example", "h.example", nullptr, nullptr));
    char client[] = "r1";
    add_client(h, client, 1);
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(count_of(h.summary.relays), 0u);
    EXPECT_TRUE(h.summary.relays.empty());
}

// ---------------------------------------------------------------- address rule

TEST(RelaySummary, TwoSendersAtOneHostCountTwoAddressesAndOneHost)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 2));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, "b@h.example", "h.example", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_relay_stat& r = h.summary.relays[0];
    EXPECT_EQ(r.from_addr, 2u);
    EXPECT_EQ(r.from_dom, 1u);
    EXPECT_EQ(r.to_addr, 1u);
    EXPECT_EQ(r.to_dom, 1u);
    EXPECT_EQ(r.total, 2u);  // addresses do not count into the total
    EXPECT_EQ(addresses(r.from_addr_head), (std::vector<std::string>{"a@h.example"}));
    EXPECT_EQ(addresses(r.to_addr_head), (std::vector<std::string>{"t@x.org"}));
}

TEST(RelaySummary, TheSameSenderTwiceCountsOnce)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 2));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t1@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t2@y.org", "y.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_relay_stat& r = h.summary.relays[0];
    EXPECT_EQ(r.from_addr, 1u);
    EXPECT_EQ(r.from_dom, 1u);
    EXPECT_EQ(r.to_addr, 2u);
    EXPECT_EQ(r.to_dom, 2u);
    EXPECT_EQ(addresses(r.to_addr_head), (std::vector<std::string>{"t1@x.org", "t2@y.org"}));
}

TEST(RelaySummary, KeptEntriesAreSplitCopies)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    char sender[] = "user@mail.example.com";
    h.envelope.pairs.push_back(env_pair("r1", 1, sender, "mail.example.com", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_addr* entry = h.summary.relays[0].from_addr_head;
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->address, sender);
    EXPECT_STREQ(entry->name_info.user_name, "user");
    EXPECT_STREQ(entry->name_info.host_name, "mail.example.com");
    EXPECT_STREQ(entry->name_info.dom_name_lvl_1, ".com");
    EXPECT_STREQ(entry->name_info.dom_name_lvl_2, ".example.com");
    EXPECT_EQ(h.summary.relays[0].from_addr_tail, entry);
}

// The walk stops at the first entry that matches by address or by host, so
// an earlier host match counts the address even where a later entry holds
// the address itself, and an earlier address match counts nothing.
TEST(RelaySummary, TheEarlierOfAddressAndHostMatchDecides)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h1.example", "h1.example", "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, "b@h2.example", "h2.example", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    ASSERT_EQ(h.summary.relays[0].from_addr, 2u);

    // Same tables, and then records whose host differs from their address's host.
    host_info& again = fresh_host();
    again.relay.senders.push_back(relay_sender("r1", 1, 1));
    again.envelope.pairs.push_back(env_pair("r1", 1, "a@h1.example", "h1.example", "t@x.org", "x.org"));
    again.envelope.pairs.push_back(env_pair("r1", 1, "b@h2.example", "h2.example", "t@x.org", "x.org"));
    again.ruleset.rejects.push_back(ruleset_reject("r1", 1, "b@h2.example", "h1.example"));  // host at entry 0: +1
    again.ruleset.rejects.push_back(ruleset_reject("r1", 1, "a@h1.example", "h2.example"));  // address at entry 0: +0
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_relay_stat& r = again.summary.relays[0];
    EXPECT_EQ(r.from_addr, 3u);
    EXPECT_EQ(r.from_dom, 2u);
    EXPECT_EQ(r.rulrej, 2u);
}

TEST(RelaySummary, AbsentAddressesAndHosts)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    // Without an address and a host nothing matches: each one is kept.
    h.envelope.pairs.push_back(env_pair("r1", 1, nullptr, nullptr, "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, nullptr, nullptr, "t@x.org", "x.org"));
    // An address without "@" has no host: kept once, then matched by address.
    h.envelope.pairs.push_back(env_pair("r1", 1, "postmaster", nullptr, "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, "postmaster", nullptr, "t@x.org", "x.org"));
    // No address but a known host: counted through the host.
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("r1", 1, nullptr, "h.example", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_relay_stat& r = h.summary.relays[0];
    EXPECT_EQ(addresses(r.from_addr_head),
              (std::vector<std::string>{"<absent>", "<absent>", "postmaster", "a@h.example"}));
    EXPECT_EQ(r.from_dom, 4u);
    EXPECT_EQ(r.from_addr, 5u);
}

TEST(RelaySummary, AddressListsBelongToTheirRelayAndSide)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.relay.senders.push_back(relay_sender("r2", 2, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "a@h.example", "h.example"));
    h.envelope.pairs.push_back(env_pair("r2", 2, "a@h.example", "h.example", "b@h.example", "h.example"));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{1, 1, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(counts(h.summary.relays[1]), (std::vector<std::uint32_t>{1, 1, 0, 0, 0, 1, 1, 1, 1}));
}

// ---------------------------------------------------------------- keys of the other records

TEST(RelaySummary, PairsOfAnotherAddressOrNameFindNoRow)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.envelope.pairs.push_back(env_pair("r1", 2, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair("R1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.envelope.pairs.push_back(env_pair(nullptr, 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{1, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RelaySummary, RulesetRejectUnderAnotherNumericAddressIsNotCounted)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 4));
    h.ruleset.rejects.push_back(ruleset_reject("r1", 2, "a@h.example", "h.example"));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{4, 4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RelaySummary, RulesetRejectsCountOnceEachAndAddTheirSender)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 4));
    h.ruleset.rejects.push_back(ruleset_reject("r1", 1, "a@h.example", "h.example", 5));
    h.ruleset.rejects.push_back(ruleset_reject("r1", 1, "a@h.example", "h.example", 2));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{6, 4, 0, 2, 0, 1, 1, 0, 0}));
}

TEST(RelaySummary, MilterRejectWithoutRecipientChangesOnlyTheSenderSide)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.milter.rejects.push_back(milter_reject("r1", 1, "a@h.example", "h.example", nullptr, nullptr, 3));
    ASSERT_EQ(build_relays_quietly(), 0);
    const summary_relay_stat& r = h.summary.relays[0];
    EXPECT_EQ(counts(r), (std::vector<std::uint32_t>{2, 1, 1, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(r.to_addr_head, nullptr);
}

TEST(RelaySummary, MilterRejectWithRecipientAddsItToTheRecipientSide)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    h.milter.rejects.push_back(milter_reject("r1", 1, "b@h.example", "h.example", "u@x.org", "x.org"));
    h.milter.rejects.push_back(milter_reject("r1", 1, "c@k.example", "k.example", "t@x.org", "x.org"));
    h.milter.rejects.push_back(milter_reject("r1", 9, "d@k.example", "k.example", "v@y.org", "y.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{3, 1, 2, 0, 0, 3, 2, 2, 1}));
}

TEST(RelaySummary, NonActiveClientsCountByNameAndAddress)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    char same[] = "r1";
    char other_address[] = "r1";
    char other_name[] = "r2";
    add_client(h, same, 1);
    add_client(h, same, 1);
    add_client(h, other_address, 2);
    add_client(h, other_name, 1);
    add_client(h, nullptr, 1);
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{3, 1, 0, 0, 2, 0, 0, 0, 0}));
}

TEST(RelaySummary, AnAbsentNameMatchesOnlyAnAbsentName)
{
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender(nullptr, 1, 1));
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.ruleset.rejects.push_back(ruleset_reject(nullptr, 1, "a@h.example", "h.example"));
    add_client(h, nullptr, 1);
    ASSERT_EQ(build_relays_quietly(), 0);
    ASSERT_EQ(count_of(h.summary.relays), 2u);
    EXPECT_EQ(h.summary.relays[0].name, nullptr);
    EXPECT_EQ(counts(h.summary.relays[0]), (std::vector<std::uint32_t>{3, 1, 0, 1, 1, 1, 1, 0, 0}));
    EXPECT_EQ(counts(h.summary.relays[1]), (std::vector<std::uint32_t>{1, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RelaySummary, EachHostHasItsOwnRows)
{
    settings = program_settings{};
    clear_host_table();
    host_info& first = *find_or_add_host("mx1");
    host_info& second = *find_or_add_host("mx2");
    first.relay.senders.push_back(relay_sender("r1", 1, 1));
    second.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    second.relay.senders.push_back(relay_sender("r2", 1, 1));
    first.envelope.pairs.push_back(env_pair("r2", 1, "a@h.example", "h.example", "t@x.org", "x.org"));
    ASSERT_EQ(build_relays_quietly(), 0);
    EXPECT_EQ(count_of(first.summary.relays), 1u);
    EXPECT_EQ(count_of(second.summary.relays), 1u);
    EXPECT_EQ(first.summary.relays[0].from_addr, 0u);
    EXPECT_EQ(second.summary.relays[0].from_addr, 0u);
}

// ---------------------------------------------------------------- failures

TEST(RelaySummary, MemoryFailuresEndTheBuildWithTheirMessage)
{
    struct failure_case {
        std::size_t allocations_left;
        const char* message;
    };
    // Row: name copy. Sender entry: record, copy, then the split (user,
    // host, two levels). Recipient entry likewise.
    const failure_case cases[] = {
        {0, "ERROR: cannot get memory for summary info relay stat!\n"},
        {1, "ERROR: cannot get memory for envelope address stat (from)!\n"},
        {2, "ERROR: cannot get memory for envelope address stat (from)!\n"},
        {3, "ERROR: cannot parse envelope address (from)!\n"},
        {6, "ERROR: cannot parse envelope address (from)!\n"},
        {7, "ERROR: cannot get memory for envelope address stat (to)!\n"},
        {9, "ERROR: cannot parse envelope address (to)!\n"},
    };
    for (const failure_case& c : cases) {
        host_info& h = fresh_host();
        h.relay.senders.push_back(relay_sender("r1", 1, 1));
        h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example.com", "h.example.com", "t@x.org", "x.org"));
        h.memory.fail_after(c.allocations_left);
        std::string errors;
        EXPECT_EQ(build_relays_quietly(&errors), 1) << c.allocations_left;
        EXPECT_EQ(errors, c.message) << c.allocations_left;
    }
    host_info& h = fresh_host();
    h.relay.senders.push_back(relay_sender("r1", 1, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "a@h.example.com", "h.example.com", "t@x.org", "x.org"));
    h.memory.fail_after(13);
    std::string errors;
    EXPECT_EQ(build_relays_quietly(&errors), 0);
    EXPECT_EQ(errors, "");
}

// ---------------------------------------------------------------- random tables

// The address rule as a plain walk over the list, for comparison.
struct reference_relay {
    std::string name;
    std::uint32_t ip_bin;
    std::vector<std::uint32_t> counts{0, 0, 0, 0, 0, 0, 0, 0, 0};  // column order
    std::vector<std::pair<std::string, std::string>> from, to;      // address, host ("" absent)
};

bool same(const char* a, const std::string& b)
{
    return a != nullptr && b != "" && b == a;
}

void walk(std::vector<std::pair<std::string, std::string>>& list, const char* address, const char* host,
          std::uint32_t& address_count, std::uint32_t& host_count)
{
    for (const auto& entry : list) {
        if (same(address, entry.first))
            return;
        if (same(host, entry.second)) {
            ++address_count;
            return;
        }
    }
    ++address_count;
    ++host_count;
    std::string kept_host;
    if (address && std::strchr(address, '@'))
        kept_host = std::strchr(address, '@') + 1;
    list.emplace_back(address ? address : "", kept_host);
}

TEST(RelaySummary, RandomTablesMatchAPlainWalk)
{
    const std::vector<std::string> users = {"a", "b", "c"};
    const std::vector<std::string> hosts = {"h1.example", "h2.example", "h3.example", "h4.example"};
    std::vector<std::string> pool;
    for (const auto& user : users)
        for (const auto& host : hosts)
            pool.push_back(user + "@" + host);
    std::mt19937 random(12345);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

    for (int round = 0; round < 200; ++round) {
        host_info& h = fresh_host();
        std::vector<reference_relay> expected;
        const char* relay_names[] = {"r1", "r2"};
        for (std::uint32_t i = 0; i < 2; ++i) {
            h.relay.senders.push_back(relay_sender(relay_names[i], i + 1, 1));
            reference_relay relay;
            relay.name = relay_names[i];
            relay.ip_bin = i + 1;
            relay.counts[0] = relay.counts[1] = 1;
            expected.push_back(relay);
        }
        // Address and host drawn independently, sometimes absent.
        auto address = [&]() -> const char* { return pick(6) == 0 ? nullptr : pool[pick(pool.size())].c_str(); };
        auto host = [&]() -> const char* { return pick(6) == 0 ? nullptr : hosts[pick(hosts.size())].c_str(); };
        auto find = [&](std::uint32_t ip_bin) -> reference_relay* {
            return ip_bin >= 1 && ip_bin <= 2 ? &expected[ip_bin - 1] : nullptr;
        };
        for (int i = 0; i < 30; ++i) {
            std::uint32_t ip_bin = static_cast<std::uint32_t>(pick(3) + 1);
            const char* relay = relay_names[ip_bin == 2 ? 1 : 0];
            const char *from = address(), *from_host = host(), *to = address(), *to_host = host();
            switch (pick(3)) {
            case 0:
                h.envelope.pairs.push_back(env_pair(relay, ip_bin, from, from_host, to, to_host));
                break;
            case 1:
                h.ruleset.rejects.push_back(ruleset_reject(relay, ip_bin, from, from_host));
                break;
            default:
                h.milter.rejects.push_back(milter_reject(relay, ip_bin, from, from_host, pick(2) ? to : nullptr, to_host));
                break;
            }
        }
        for (const env_pair_stat& p : h.envelope.pairs)
            if (reference_relay* r = find(p.from_ip_bin)) {
                walk(r->from, p.sender, p.from_host, r->counts[5], r->counts[6]);
                walk(r->to, p.recipient, p.to_host, r->counts[7], r->counts[8]);
            }
        for (const ruleset_reject_stat& j : h.ruleset.rejects)
            if (reference_relay* r = find(j.relay_ip_bin)) {
                walk(r->from, j.env_from, j.from_host, r->counts[5], r->counts[6]);
                ++r->counts[3];
                ++r->counts[0];
            }
        for (const milter_reject_stat& k : h.milter.rejects)
            if (reference_relay* r = find(k.relay_ip_bin)) {
                walk(r->from, k.env_from, k.from_host, r->counts[5], r->counts[6]);
                ++r->counts[2];
                ++r->counts[0];
                if (k.env_to)
                    walk(r->to, k.env_to, k.to_host, r->counts[7], r->counts[8]);
            }
        ASSERT_EQ(build_relays_quietly(), 0);
        ASSERT_EQ(h.summary.relays.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(counts(h.summary.relays[i]), expected[i].counts) << "round " << round << " relay " << i;
            std::vector<std::string> kept;
            for (const auto& entry : expected[i].from)
                kept.push_back(entry.first.empty() ? "<absent>" : entry.first);
            EXPECT_EQ(addresses(h.summary.relays[i].from_addr_head), kept) << "round " << round;
        }
    }
}

// ---------------------------------------------------------------- by recipient

int build_recipients_quietly(std::string* errors = nullptr)
{
    testing::internal::CaptureStderr();
    int result = build_recipient_summary();
    std::string captured = testing::internal::GetCapturedStderr();
    if (errors)
        *errors = captured;
    return result;
}

// name, total, msgs, milrej, viruses
std::string row_text(const summary_rcpt_stat& row)
{
    return text(row.name) + " " + std::to_string(row.total) + " " + std::to_string(row.msgs) + " " +
           std::to_string(row.milrej) + " " + std::to_string(row.viruses);
}

std::vector<std::string> rows(const host_info& h)
{
    std::vector<std::string> out;
    for (const summary_rcpt_stat& row : h.summary.recipients)
        out.push_back(row_text(row));
    return out;
}

TEST(RecipientSummary, VirusStatusesCountInAnyLetterCase)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("r1", 1, "s@h.example", "h.example", "t@x.org", "x.org", 5);
    add_status(h, pair, "Virus found", 2);
    add_status(h, pair, "Sent (ok)", 3);
    h.envelope.pairs.push_back(pair);
    env_pair_stat second = env_pair("r2", 1, "s@h.example", "h.example", "t@x.org", "x.org", 7);
    add_status(h, second, "rejected: VIRUS detected", 4);
    add_status(h, second, "quarantined (virus)", 1);
    add_status(h, second, "Viral load", 2);
    h.envelope.pairs.push_back(second);
    ASSERT_EQ(build_recipients_quietly(), 0);
    EXPECT_EQ(rows(h), (std::vector<std::string>{"t@x.org 12 12 0 7"}));
    EXPECT_EQ(count_of(h.summary.recipients), 1u);
    EXPECT_NE(h.summary.recipients[0].name, h.envelope.pairs[0].recipient);  // an own copy
}

TEST(RecipientSummary, NamesCompareExactlyAndKeepFirstAppearance)
{
    host_info& h = fresh_host();
    h.envelope.pairs.push_back(env_pair("r1", 1, "s", nullptr, "t@x.org", nullptr, 2));
    h.envelope.pairs.push_back(env_pair("r1", 1, "s", nullptr, "T@x.org", nullptr, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "u", nullptr, "t@x.org", nullptr, 3));
    h.envelope.pairs.push_back(env_pair("r1", 1, "u", nullptr, nullptr, nullptr, 1));
    h.envelope.pairs.push_back(env_pair("r1", 1, "v", nullptr, nullptr, nullptr, 1));
    ASSERT_EQ(build_recipients_quietly(), 0);
    EXPECT_EQ(rows(h), (std::vector<std::string>{"t@x.org 5 5 0 0", "T@x.org 1 1 0 0", "<absent> 2 2 0 0"}));
    EXPECT_EQ(count_of(h.summary.recipients), 3u);
}

TEST(RecipientSummary, OtherRecipientsAddTheirCount)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("r1", 1, "s", nullptr, "t@x.org", nullptr, 2);
    add_status(h, pair, "Virus", 2);
    add_other(h, pair, "o@x.org", 3);
    add_other(h, pair, "t@x.org", 1);
    h.envelope.pairs.push_back(pair);
    ASSERT_EQ(build_recipients_quietly(), 0);
    EXPECT_EQ(rows(h), (std::vector<std::string>{"t@x.org 3 3 0 2", "o@x.org 3 3 0 0"}));
}

TEST(RecipientSummary, MilterRejectsWithRecipientAddTheirCount)
{
    host_info& h = fresh_host();
    h.envelope.pairs.push_back(env_pair("r1", 1, "s", nullptr, "t@x.org", nullptr, 2));
    h.milter.rejects.push_back(milter_reject("r1", 1, "s", nullptr, "t@x.org", nullptr, 4));
    h.milter.rejects.push_back(milter_reject("r1", 1, "s", nullptr, nullptr, nullptr, 9));
    h.milter.rejects.push_back(milter_reject("r1", 1, "s", nullptr, "m@y.org", nullptr, 2));
    ASSERT_EQ(build_recipients_quietly(), 0);
    EXPECT_EQ(rows(h), (std::vector<std::string>{"t@x.org 6 2 4 0", "m@y.org 2 0 2 0"}));
}

TEST(RecipientSummary, EmptyTablesGiveNoRows)
{
    host_info& h = fresh_host();
    ASSERT_EQ(build_recipients_quietly(), 0);
    EXPECT_EQ(count_of(h.summary.recipients), 0u);
    EXPECT_TRUE(h.summary.recipients.empty());
}

TEST(RecipientSummary, MemoryFailuresNameTheirRecord)
{
    const char* messages[] = {
        "ERROR: cannot get memory for summary info recipient stat (1)!\n",
        "ERROR: cannot get memory for summary info recipient stat (2)!\n",
        "ERROR: cannot get memory for summary info recipient stat (3)!\n",
    };
    for (std::size_t left = 0; left < 3; ++left) {
        host_info& h = fresh_host();
        env_pair_stat pair = env_pair("r1", 1, "s", nullptr, "t@x.org", nullptr);
        add_other(h, pair, "o@x.org", 1);
        h.envelope.pairs.push_back(pair);
        h.milter.rejects.push_back(milter_reject("r1", 1, "s", nullptr, "m@y.org", nullptr));
        h.memory.fail_after(left);
        std::string errors;
        EXPECT_EQ(build_recipients_quietly(&errors), 1);
        EXPECT_EQ(errors, messages[left]);
    }
}

}  // namespace
