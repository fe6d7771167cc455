// Ruleset reject statistics built from small logs (one record per sender,
// relay and reason, case-sensitive keys, absent key texts, sizes), a memory
// failure, and generated logs checked against a plain linear walk over the
// rulesets chain. Inputs are the test's own logs.
#include "stats/ruleset_stats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

std::string at(const char* time, const std::string& body)
{
    return std::string("Dec  1 ") + time + " mx1 sm-mta[1]: " + body + "\n";
}

// A ruleset reject of `id` followed by the sender line it belongs to.
std::string reject(const char* id, const char* reason, const std::string& sender_fields)
{
    return at("10:00:00", std::string(id) + ": ruleset=check_rcpt, arg1=<x@y.z>, reject=" + reason) +
           at("10:00:01", std::string(id) + ": " + sender_fields);
}

std::string sender(const char* address, unsigned size, const char* relay)
{
    return std::string("from=<") + address + ">, size=" + std::to_string(size) + ", class=0, nrcpts=0, relay=" + relay;
}

host_info& build(const std::string& log)
{
    test_support::read_log_text(log);
    EXPECT_EQ(build_ruleset_statistics(), 0);
    return host_table[0];
}

const char* const in_relay = "in.example.org [192.0.2.1]";

std::string text(const char* value)
{
    return value ? value : "<absent>";
}

TEST(RulesetStats, TwoReasonsForOneSenderAndRelayMakeTwoRecords)
{
    host_info& h = build(reject("Q1", "550 5.7.1 Relaying denied", sender("a@example.org", 10, in_relay)) +
                         reject("Q2", "553 5.1.8 Domain does not exist", sender("a@example.org", 20, in_relay)) +
                         reject("Q3", "550 5.7.1 Relaying denied", sender("a@example.org", 40, in_relay)));
    ASSERT_EQ(h.messages.ruleset_chains, 3u);
    ASSERT_EQ(h.ruleset.rejects.size(), 2u);
    EXPECT_EQ(count_of(h.ruleset.rejects), 2u);
    EXPECT_EQ(h.ruleset.refs, 3u);
    EXPECT_EQ(h.ruleset.size, 70);
    EXPECT_STREQ(h.ruleset.rejects[0].reason, "550 5.7.1 Relaying denied");
    EXPECT_EQ(h.ruleset.rejects[0].count, 2u);
    EXPECT_EQ(h.ruleset.rejects[0].size, 50);
    EXPECT_STREQ(h.ruleset.rejects[1].reason, "553 5.1.8 Domain does not exist");
    EXPECT_EQ(h.ruleset.rejects[1].count, 1u);
    EXPECT_EQ(h.ruleset.rejects[1].size, 20);
}

TEST(RulesetStats, KeysCompareWithLetterCase)
{
    host_info& h = build(reject("Q1", "550 Relaying denied", sender("a@example.org", 1, in_relay)) +
                         reject("Q2", "550 relaying denied", sender("a@example.org", 1, in_relay)) +
                         reject("Q3", "550 relaying denied", sender("A@example.org", 1, in_relay)) +
                         reject("Q4", "550 relaying denied", sender("A@example.org", 1, "IN.example.org [192.0.2.1]")) +
                         reject("Q5", "550 relaying denied", sender("A@example.org", 1, "IN.example.org [192.0.2.1]")));
    ASSERT_EQ(h.ruleset.rejects.size(), 4u);
    EXPECT_EQ(h.ruleset.rejects[3].count, 2u);
    EXPECT_EQ(h.ruleset.refs, 5u);
    EXPECT_EQ(text(h.ruleset.rejects[2].env_from), "A@example.org");
    EXPECT_EQ(text(h.ruleset.rejects[3].relay_name), "IN.example.org");
}

TEST(RulesetStats, SizeZeroCountsAsZero)
{
    host_info& h = build(reject("Q1", "550 no", sender("a@example.org", 0, in_relay)) +
                         reject("Q2", "550 no", std::string("from=<a@example.org>, nrcpts=0, relay=") + in_relay) +
                         reject("Q3", "550 no", sender("a@example.org", 300, in_relay)));
    ASSERT_EQ(h.ruleset.rejects.size(), 1u);
    EXPECT_EQ(h.ruleset.rejects[0].count, 3u);
    EXPECT_EQ(h.ruleset.rejects[0].size, 300);
    EXPECT_EQ(h.ruleset.size, 300);

    host_info& only_zero = build(reject("Q1", "550 no", sender("a@example.org", 0, in_relay)));
    ASSERT_EQ(only_zero.ruleset.rejects.size(), 1u);
    EXPECT_EQ(only_zero.ruleset.rejects[0].size, 0);
    EXPECT_EQ(only_zero.ruleset.size, 0);
    EXPECT_EQ(only_zero.ruleset.refs, 1u);
}

TEST(RulesetStats, RecordFieldsComeFromSenderAndReject)
{
    host_info& h = build(reject("Q1", "550 5.7.1 <x@y.z>... denied", sender("a@mail.example.org", 5, in_relay)));
    ASSERT_EQ(h.ruleset.rejects.size(), 1u);
    const ruleset_reject_stat& r = h.ruleset.rejects[0];
    const msg_from& from = *h.messages.ruleset_chain.head->p_from;
    EXPECT_EQ(r.env_from, from.env_from) << "the sender address is shared";
    EXPECT_STREQ(r.from_host, "mail.example.org");
    EXPECT_STREQ(r.relay_name, "in.example.org");
    EXPECT_NE(r.relay_name, from.relay_info.dom_name) << "the relay name is a copy";
    EXPECT_STREQ(r.relay_ip, "192.0.2.1");
    EXPECT_EQ(r.relay_ip_bin, 0xC0000201u);
    EXPECT_STREQ(r.reason, "550 5.7.1 <x@y.z>... denied");
    EXPECT_NE(r.reason, h.messages.ruleset_chain.head->p_rul->reject_txt) << "the reason is a copy";
}

TEST(RulesetStats, AbsentTextsMatchOnlyAbsentTexts)
{
    // No comma after the sender: no address. No relay field: no relay name.
    host_info& h = build(reject("Q1", "550 no", "from=<a@example.org>") +
                         reject("Q2", "550 no", "from=<a@example.org>") +
                         reject("Q3", "550 no", "from=<a@example.org>, size=1, class=0, nrcpts=0") +
                         reject("Q4", "550 no", sender("a@example.org", 2, "(null) [192.0.2.1]")) +
                         reject("Q5", "550 no", "from=<a@example.org>, size=4, class=0, nrcpts=0"));
    ASSERT_EQ(h.messages.ruleset_chains, 5u);
    ASSERT_EQ(h.ruleset.rejects.size(), 3u);
    EXPECT_EQ(h.ruleset.rejects[0].env_from, nullptr);
    EXPECT_EQ(h.ruleset.rejects[0].relay_name, nullptr);
    EXPECT_EQ(h.ruleset.rejects[0].relay_ip, nullptr);
    EXPECT_EQ(h.ruleset.rejects[0].count, 2u);
    EXPECT_EQ(text(h.ruleset.rejects[1].env_from), "a@example.org");
    EXPECT_EQ(h.ruleset.rejects[1].relay_name, nullptr);
    EXPECT_EQ(h.ruleset.rejects[1].count, 2u);
    EXPECT_EQ(h.ruleset.rejects[1].size, 5);
    EXPECT_EQ(text(h.ruleset.rejects[2].relay_name), "(null)");
    EXPECT_EQ(h.ruleset.rejects[2].count, 1u);
}

TEST(RulesetStats, NoRejectsGiveAnEmptyTable)
{
    host_info& h = build(at("10:00:00", "Q1: from=<a@example.org>, size=1, relay=in.example.org [192.0.2.1]"));
    EXPECT_TRUE(h.ruleset.rejects.empty());
    EXPECT_EQ(count_of(h.ruleset.rejects) + h.ruleset.refs, 0u);
    EXPECT_EQ(h.ruleset.size, 0);
}

TEST(RulesetStats, MemoryFailureEndsTheBuildWithItsMessage)
{
    test_support::read_log_text(reject("Q1", "550 no", sender("a@example.org", 1, in_relay)));
    host_table[0].memory.fail_after(0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(build_ruleset_statistics(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot get memory for ruleset reject stat!\n");
}

// ---- The table of generated logs against a linear walk -----------------------

bool same(const char* a, const char* b)
{
    return a == nullptr || b == nullptr ? a == b : std::strcmp(a, b) == 0;
}

std::vector<ruleset_reject_stat> linear_table(const host_info& host)
{
    std::vector<ruleset_reject_stat> table;
    for (const ruleset_chain_item* item = host.messages.ruleset_chain.head; item; item = item->next) {
        const msg_from& f = *item->p_from;
        bool found = false;
        for (ruleset_reject_stat& r : table)
            if (same(r.env_from, f.env_from) && same(r.relay_name, f.relay_info.dom_name) &&
                same(r.reason, item->p_rul->reject_txt)) {
                ++r.count;
                r.size += f.siz;
                found = true;
                break;
            }
        if (!found)
            table.push_back({1, static_cast<double>(f.siz), f.env_from, f.env_name_info.host_name,
                             item->p_rul->reject_txt, f.relay_info.dom_name, f.relay_info.ip_address,
                             f.relay_info.ip_bin_addr});
    }
    return table;
}

TEST(RulesetStats, GeneratedLogsMatchALinearWalk)
{
    for (std::uint64_t seed : {5u, 17u, 41u}) {
        SCOPED_TRACE(seed);
        test_support::read_log_text(generate_log(seed, 8000));
        ASSERT_EQ(build_ruleset_statistics(), 0);
        for (const host_info& host : used_hosts()) {
            SCOPED_TRACE(host.host_name);
            std::vector<ruleset_reject_stat> expected = linear_table(host);
            ASSERT_GT(expected.size(), 1u) << "the log should exercise the table";
            ASSERT_EQ(host.ruleset.rejects.size(), expected.size());
            std::uint32_t refs = 0;
            double size = 0;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                SCOPED_TRACE(i);
                const ruleset_reject_stat& r = host.ruleset.rejects[i];
                EXPECT_EQ(text(r.env_from), text(expected[i].env_from));
                EXPECT_EQ(text(r.from_host), text(expected[i].from_host));
                EXPECT_EQ(text(r.reason), text(expected[i].reason));
                EXPECT_EQ(text(r.relay_name), text(expected[i].relay_name));
                EXPECT_EQ(text(r.relay_ip), text(expected[i].relay_ip));
                EXPECT_EQ(r.relay_ip_bin, expected[i].relay_ip_bin);
                EXPECT_EQ(r.count, expected[i].count);
                EXPECT_EQ(r.size, expected[i].size);
                refs += expected[i].count;
                size += expected[i].size;
            }
            EXPECT_EQ(count_of(host.ruleset.rejects), expected.size());
            EXPECT_EQ(host.ruleset.refs, refs);
            EXPECT_EQ(host.ruleset.size, size);
        }
    }
}

}  // namespace
