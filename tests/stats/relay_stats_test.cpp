// Relay statistics built from small logs (pairs, senders, recipients, their
// counters, case-sensitive names, deliveries without relay, the address of
// the first message), a memory failure, and generated logs checked against a
// plain linear walk over the messages chain. Inputs are the test's own logs.
#include "stats/relay_stats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

std::string at(const char* time, const std::string& body, const char* host = "mx1")
{
    return std::string("Dec  1 ") + time + " " + host + " sm-mta[1]: " + body + "\n";
}

std::string from_line(const char* id, const char* sender, unsigned size, const char* relay)
{
    return at("10:00:00", std::string(id) + ": from=<" + sender + ">, size=" + std::to_string(size) +
                              ", class=0, nrcpts=1, relay=" + relay);
}

std::string to_line(const char* id, const char* recipient, const char* relay)
{
    return at("10:00:01", std::string(id) + ": to=<" + recipient + ">, delay=00:00:01, mailer=esmtp, relay=" + relay +
                              ", stat=Sent (ok)");
}

// A delivery line that names no relay at all (no relay=, mailer= or stat=).
std::string to_line_without_relay(const char* id, const char* recipient)
{
    return at("10:00:01", std::string(id) + ": to=<" + recipient + ">, delay=00:00:01");
}

host_info& build(const std::string& log)
{
    test_support::read_log_text(log);
    EXPECT_EQ(build_relay_statistics(), 0);
    return host_table[0];
}

std::string text(const char* value)
{
    return value ? value : "<absent>";
}

TEST(RelayStats, DeliveryWithoutRelayNameCountsOnlyTheSender)
{
    host_info& h = build(from_line("Q1", "a@example.org", 100, "in.example.org [192.0.2.1]") +
                         to_line_without_relay("Q1", "b@example.net"));
    ASSERT_EQ(h.messages.msg_chains, 1u);
    EXPECT_EQ(count_of(h.relay.pairs), 0u);
    EXPECT_EQ(h.relay.pair_refs, 0u);
    EXPECT_TRUE(h.relay.pairs.empty());
    EXPECT_EQ(count_of(h.relay.recipients), 0u);
    EXPECT_TRUE(h.relay.recipients.empty());
    ASSERT_EQ(h.relay.senders.size(), 1u);
    EXPECT_EQ(count_of(h.relay.senders), 1u);
    EXPECT_STREQ(h.relay.senders[0].name, "in.example.org");
    EXPECT_EQ(h.relay.senders[0].count, 1u);
    EXPECT_EQ(h.relay.senders[0].size, 100);
}

TEST(RelayStats, SenderWithoutRelayNameCountsOnlyTheRecipient)
{
    host_info& h = build(at("10:00:00", "Q1: from=<a@example.org>, size=70, class=0, nrcpts=1") +
                         to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]"));
    ASSERT_EQ(h.messages.msg_chains, 1u);
    EXPECT_TRUE(h.relay.pairs.empty());
    EXPECT_TRUE(h.relay.senders.empty());
    EXPECT_EQ(count_of(h.relay.senders), 0u);
    ASSERT_EQ(h.relay.recipients.size(), 1u);
    EXPECT_STREQ(h.relay.recipients[0].name, "out.example.net");
    EXPECT_EQ(h.relay.recipients[0].size, 70);
}

TEST(RelayStats, NamesDifferingInCaseAreSeparate)
{
    host_info& h = build(from_line("Q1", "a@example.org", 10, "in.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]") +
                         from_line("Q2", "a@example.org", 20, "IN.example.org [192.0.2.1]") +
                         to_line("Q2", "b@example.net", "OUT.example.net. [198.51.100.1]"));
    ASSERT_EQ(h.relay.pairs.size(), 2u);
    EXPECT_STREQ(h.relay.pairs[0].from_relay, "in.example.org");
    EXPECT_STREQ(h.relay.pairs[1].from_relay, "IN.example.org");
    EXPECT_STREQ(h.relay.pairs[1].to_relay, "OUT.example.net");
    ASSERT_EQ(h.relay.senders.size(), 2u);
    EXPECT_EQ(h.relay.senders[1].size, 20);
    ASSERT_EQ(h.relay.recipients.size(), 2u);
    EXPECT_EQ(count_of(h.relay.senders), 2u);
    EXPECT_EQ(count_of(h.relay.recipients), 2u);
    EXPECT_EQ(count_of(h.relay.pairs), 2u);
    EXPECT_EQ(h.relay.pair_refs, 2u);
}

TEST(RelayStats, TwoDeliveriesThroughOneRelayCountTwiceWithTwiceTheSize)
{
    host_info& h = build(from_line("Q1", "a@example.org", 1500, "in.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]") +
                         to_line("Q1", "c@example.net", "out.example.net. [198.51.100.1]"));
    ASSERT_EQ(h.relay.pairs.size(), 1u);
    EXPECT_EQ(h.relay.pairs[0].count, 2u);
    EXPECT_EQ(h.relay.pairs[0].size, 3000);
    EXPECT_EQ(h.relay.pair_refs, 2u);
    EXPECT_EQ(count_of(h.relay.pairs), 1u);
    // Each delivery also counts its message's sending relay once more.
    ASSERT_EQ(h.relay.senders.size(), 1u);
    EXPECT_EQ(h.relay.senders[0].count, 2u);
    EXPECT_EQ(h.relay.senders[0].size, 3000);
    ASSERT_EQ(h.relay.recipients.size(), 1u);
    EXPECT_EQ(h.relay.recipients[0].count, 2u);
    EXPECT_EQ(h.relay.recipients[0].size, 3000);
}

TEST(RelayStats, PairFieldsComeFromBothRelays)
{
    host_info& h = build(from_line("Q1", "a@example.org", 5, "in.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "out.example.net. [198.51.100.2]"));
    ASSERT_EQ(h.relay.pairs.size(), 1u);
    const relay_pair_stat& pair = h.relay.pairs[0];
    EXPECT_STREQ(pair.from_ip, "192.0.2.1");
    EXPECT_STREQ(pair.to_ip, "198.51.100.2");
    EXPECT_EQ(pair.from_ip_bin, 0xC0000201u);
    EXPECT_EQ(pair.to_ip_bin, 0xC6336402u);
    const relay_mem_stat& out = h.relay.recipients.at(0);
    EXPECT_STREQ(out.ip, "198.51.100.2");
    EXPECT_STREQ(out.dom_l1, ".net");
    EXPECT_STREQ(out.dom_l2, ".example.net");
    // The owned names are copies, not the message's own texts.
    EXPECT_NE(pair.from_relay, h.messages.msg_chain.head->p_from->relay_info.dom_name);
}

TEST(RelayStats, MembersKeepTheAddressOfTheFirstMessage)
{
    host_info& h = build(from_line("Q1", "a@example.org", 1, "in.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "[198.51.100.7]") +
                         from_line("Q2", "a@example.org", 2, "in.example.org [192.0.2.99]") +
                         to_line("Q2", "b@example.net", "[198.51.100.7]"));
    ASSERT_EQ(h.relay.senders.size(), 1u);
    const relay_mem_stat& in = h.relay.senders[0];
    EXPECT_STREQ(in.ip, "192.0.2.1");
    EXPECT_EQ(in.ip_bin, 0xC0000201u);
    EXPECT_EQ(in.count, 2u);
    EXPECT_EQ(in.size, 3);
    ASSERT_EQ(h.relay.recipients.size(), 1u);
    const relay_mem_stat& out = h.relay.recipients[0];
    EXPECT_STREQ(out.name, "[198.51.100.7]");
    EXPECT_EQ(out.ip, nullptr);
    EXPECT_EQ(out.dom_l1, nullptr);
    EXPECT_EQ(out.dom_l2, nullptr);
    EXPECT_EQ(out.ip_bin, 0xC6336407u);
}

TEST(RelayStats, PairKeysDoNotRunTogether)
{
    // "ab" -> "c" and "a" -> "bc" would share a key made by joining the names.
    host_info& h = build(from_line("Q1", "a@x.org", 1, "ab [192.0.2.1]") + to_line("Q1", "b@y.net", "c [192.0.2.2]") +
                         from_line("Q2", "a@x.org", 2, "a [192.0.2.1]") + to_line("Q2", "b@y.net", "bc [192.0.2.2]") +
                         from_line("Q3", "a@x.org", 4, "c [192.0.2.1]") + to_line("Q3", "b@y.net", "ab [192.0.2.2]") +
                         from_line("Q4", "a@x.org", 8, "ab [192.0.2.1]") + to_line("Q4", "b@y.net", "c [192.0.2.2]"));
    ASSERT_EQ(h.relay.pairs.size(), 3u);
    EXPECT_EQ(text(h.relay.pairs[0].from_relay) + ">" + text(h.relay.pairs[0].to_relay), "ab>c");
    EXPECT_EQ(h.relay.pairs[0].count, 2u);
    EXPECT_EQ(h.relay.pairs[0].size, 9);
    EXPECT_EQ(text(h.relay.pairs[1].from_relay) + ">" + text(h.relay.pairs[1].to_relay), "a>bc");
    EXPECT_EQ(text(h.relay.pairs[2].from_relay) + ">" + text(h.relay.pairs[2].to_relay), "c>ab");
    EXPECT_EQ(h.relay.pair_refs, 4u);
    // A relay that sends and receives appears in both tables.
    EXPECT_EQ(h.relay.senders.size(), 3u);
    EXPECT_EQ(h.relay.recipients.size(), 3u);
}

TEST(RelayStats, EmptyChainGivesEmptyTables)
{
    host_info& h = build(at("10:00:00", "STARTTLS=client, relay=x.example.org, version=TLSv1.2") +
                         from_line("Q1", "a@example.org", 1, "in.example.org [192.0.2.1]"));
    EXPECT_EQ(h.messages.msg_chains, 0u);
    EXPECT_EQ(count_of(h.relay.pairs) + h.relay.pair_refs + count_of(h.relay.senders) + count_of(h.relay.recipients), 0u);
    EXPECT_TRUE(h.relay.pairs.empty());
    EXPECT_TRUE(h.relay.senders.empty());
    EXPECT_TRUE(h.relay.recipients.empty());
}

TEST(RelayStats, EachHostHasItsOwnTables)
{
    test_support::read_log_text(
        from_line("Q1", "a@example.org", 1, "in.example.org [192.0.2.1]") +
        to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]") +
        at("10:00:00", "Q1: from=<a@example.org>, size=2, class=0, nrcpts=1, relay=in.example.org [192.0.2.1]",
           "mx2") +
        at("10:00:01", "Q1: to=<b@example.net>, delay=00:00:01, mailer=esmtp, relay=other.example.net, stat=Sent",
           "mx2"));
    ASSERT_EQ(build_relay_statistics(), 0);
    ASSERT_EQ(hosts_found, 2u);
    EXPECT_EQ(host_table[0].relay.pairs.size(), 1u);
    ASSERT_EQ(host_table[1].relay.pairs.size(), 1u);
    EXPECT_STREQ(host_table[1].relay.pairs[0].to_relay, "other.example.net");
    EXPECT_EQ(host_table[1].relay.senders.at(0).count, 1u);
    EXPECT_EQ(host_table[1].relay.senders.at(0).size, 2);
}

TEST(RelayStats, MemoryFailureEndsTheBuildWithItsMessage)
{
    test_support::read_log_text(from_line("Q1", "a@example.org", 1, "in.example.org [192.0.2.1]") +
                                to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]"));
    host_table[0].memory.fail_after(0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(build_relay_statistics(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot get memory for relay pair stat!\n");

    // With room for the pair's two names the sender's name is the first to fail.
    test_support::read_log_text(from_line("Q1", "a@example.org", 1, "in.example.org [192.0.2.1]") +
                                to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]"));
    host_table[0].memory.fail_after(2);
    testing::internal::CaptureStderr();
    EXPECT_EQ(build_relay_statistics(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot get memory for relay senders stat!\n");

    // A delivery without sender relay reaches the recipient table first.
    test_support::read_log_text(at("10:00:00", "Q1: from=<a@example.org>, size=1, class=0, nrcpts=1") +
                                to_line("Q1", "b@example.net", "out.example.net. [198.51.100.1]"));
    host_table[0].memory.fail_after(0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(build_relay_statistics(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot get memory for relay recipients stat!\n");
}

// ---- The tables of generated logs against a linear walk ----------------------

bool same(const char* a, const char* b)
{
    return a == nullptr || b == nullptr ? a == b : std::strcmp(a, b) == 0;
}

struct reference_tables {
    std::vector<relay_pair_stat> pairs;
    std::vector<relay_mem_stat> senders, recipients;
    std::uint32_t refs = 0;
};

void count_member(std::vector<relay_mem_stat>& table, const relay_info& relay, std::uint32_t size)
{
    for (relay_mem_stat& member : table)
        if (same(member.name, relay.dom_name)) {
            ++member.count;
            member.size += size;
            return;
        }
    table.push_back({relay.dom_name, relay.ip_address, relay.dom_name_lvl_1, relay.dom_name_lvl_2,
                     relay.ip_bin_addr, static_cast<double>(size), 1});
}

void count_pair(reference_tables& tables, const msg_from& sender, const msg_to& delivery)
{
    ++tables.refs;
    for (relay_pair_stat& pair : tables.pairs)
        if (same(pair.from_relay, sender.relay_info.dom_name) && same(pair.to_relay, delivery.relay_info.dom_name)) {
            ++pair.count;
            pair.size += sender.siz;
            return;
        }
    tables.pairs.push_back({sender.relay_info.dom_name, delivery.relay_info.dom_name, sender.relay_info.ip_address,
                            delivery.relay_info.ip_address, static_cast<double>(sender.siz),
                            sender.relay_info.ip_bin_addr, delivery.relay_info.ip_bin_addr, 1});
}

reference_tables linear_tables(const host_info& host)
{
    reference_tables tables;
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next)
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            const relay_info& in = item->p_from->relay_info;
            if (in.dom_name && delivery->relay_info.dom_name)
                count_pair(tables, *item->p_from, *delivery);
            if (in.dom_name)
                count_member(tables.senders, in, item->p_from->siz);
            if (delivery->relay_info.dom_name)
                count_member(tables.recipients, delivery->relay_info, item->p_from->siz);
        }
    return tables;
}

void expect_same_members(const std::vector<relay_mem_stat>& built, const std::vector<relay_mem_stat>& expected)
{
    ASSERT_EQ(built.size(), expected.size());
    for (std::size_t i = 0; i < built.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(text(built[i].name), text(expected[i].name));
        EXPECT_EQ(text(built[i].ip), text(expected[i].ip));
        EXPECT_EQ(text(built[i].dom_l1), text(expected[i].dom_l1));
        EXPECT_EQ(text(built[i].dom_l2), text(expected[i].dom_l2));
        EXPECT_EQ(built[i].ip_bin, expected[i].ip_bin);
        EXPECT_EQ(built[i].size, expected[i].size);
        EXPECT_EQ(built[i].count, expected[i].count);
    }
}

void expect_same_pairs(const std::vector<relay_pair_stat>& built, const std::vector<relay_pair_stat>& expected)
{
    ASSERT_EQ(built.size(), expected.size());
    for (std::size_t i = 0; i < built.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(text(built[i].from_relay), text(expected[i].from_relay));
        EXPECT_EQ(text(built[i].to_relay), text(expected[i].to_relay));
        EXPECT_EQ(text(built[i].from_ip), text(expected[i].from_ip));
        EXPECT_EQ(text(built[i].to_ip), text(expected[i].to_ip));
        EXPECT_EQ(built[i].from_ip_bin, expected[i].from_ip_bin);
        EXPECT_EQ(built[i].to_ip_bin, expected[i].to_ip_bin);
        EXPECT_EQ(built[i].size, expected[i].size);
        EXPECT_EQ(built[i].count, expected[i].count);
    }
}

TEST(RelayStats, GeneratedLogsMatchALinearWalk)
{
    for (std::uint64_t seed : {3u, 11u, 29u}) {
        SCOPED_TRACE(seed);
        test_support::read_log_text(generate_log(seed, 6000));
        ASSERT_EQ(build_relay_statistics(), 0);
        ASSERT_GE(hosts_found, 2u);
        for (const host_info& host : used_hosts()) {
            SCOPED_TRACE(host.host_name);
            reference_tables expected = linear_tables(host);
            ASSERT_GT(expected.pairs.size(), 1u) << "the log should exercise the tables";
            expect_same_pairs(host.relay.pairs, expected.pairs);
            expect_same_members(host.relay.senders, expected.senders);
            expect_same_members(host.relay.recipients, expected.recipients);
            EXPECT_EQ(host.relay.pair_refs, expected.refs);
            EXPECT_EQ(count_of(host.relay.pairs), expected.pairs.size());
            EXPECT_EQ(count_of(host.relay.senders), expected.senders.size());
            EXPECT_EQ(count_of(host.relay.recipients), expected.recipients.size());
        }
    }
}

}  // namespace
