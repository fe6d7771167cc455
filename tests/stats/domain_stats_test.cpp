// Domain statistics built from small logs: what each side of a message
// counts, letter case, sizes, level-2 domains only beside level-1 ones,
// country codes of relays placed by their address, memory failures, and a
// replay of generated logs against plain linear searches.
#include "stats/domain_stats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "geo/ip_ranges.h"
#include "stats/general_stats.h"
#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

struct domain_want {
    std::string name;
    std::uint32_t all, send, recv, milrej;
    double size;

    bool operator==(const domain_want&) const = default;
};

std::ostream& operator<<(std::ostream& out, const domain_want& d)
{
    return out << d.name << " all=" << d.all << " send=" << d.send << " recv=" << d.recv << " milrej=" << d.milrej
               << " size=" << d.size;
}

std::vector<domain_want> entries(const std::vector<domain_stat>& list)
{
    std::vector<domain_want> out;
    for (const domain_stat& d : list)
        out.push_back({d.name ? d.name : "(null)", d.all, d.send, d.recv, d.milrej, d.size});
    return out;
}

std::string at(const char* time, const std::string& body)
{
    return std::string("Dec  ") + time + " mx1 sm-mta[1]: " + body + "\n";
}

std::string from_line(const char* id, const char* sender, int size, const char* relay)
{
    return at("1 10:00:00", std::string(id) + ": from=<" + sender + ">, size=" + std::to_string(size) +
                                ", class=0, nrcpts=1, proto=ESMTP, relay=" + relay);
}

std::string to_line(const char* id, const char* recipient, const char* relay)
{
    return at("1 10:00:01", std::string(id) + ": to=<" + recipient + ">, delay=00:00:01, mailer=esmtp, relay=" + relay +
                                ", dsn=2.0.0, stat=Sent (ok)");
}

// Reads `log` and builds both domain statistics.
host_info& build(const std::string& log, bool keep_settings = false)
{
    test_support::read_log_text(log, keep_settings);
    EXPECT_EQ(build_general_information(), 0);
    EXPECT_EQ(build_envelope_domain_statistics(), 0);
    EXPECT_EQ(build_relay_domain_statistics(), 0);
    return host_table[0];
}

TEST(DomainStats, SenderCountsOncePerDeliveryWithItsSize)
{
    host_info& h = build(from_line("Q1", "a@mail.example.org", 100, "mx.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.de", "in.example.de. [198.51.100.1]") +
                         to_line("Q1", "c@example.de", "in.example.de. [198.51.100.1]") +
                         to_line("Q1", "d@other.de", "in.other.de. [198.51.100.2]"));
    const std::vector<domain_want> l1 = {{".org", 3, 3, 0, 0, 300}, {".de", 3, 0, 3, 0, 0}};
    const std::vector<domain_want> l2 = {
        {".example.org", 3, 3, 0, 0, 300}, {".example.de", 2, 0, 2, 0, 0}, {".other.de", 1, 0, 1, 0, 0}};
    EXPECT_EQ(entries(h.env_dom.l1_list), l1);
    EXPECT_EQ(entries(h.env_dom.l2_list), l2);
    EXPECT_EQ(entries(h.rel_dom.l1_list), l1);
    EXPECT_EQ(entries(h.rel_dom.l2_list), l2);
    EXPECT_EQ(count_of(h.env_dom.l1_list), 2u);
    EXPECT_EQ(count_of(h.env_dom.l2_list), 3u);
    EXPECT_EQ(h.env_dom.l1_refs, 6u);
    EXPECT_EQ(h.env_dom.l1_send, 3u);
    EXPECT_EQ(h.env_dom.l1_recv, 3u);
    EXPECT_EQ(h.env_dom.l2_refs, 6u);
    EXPECT_EQ(h.env_dom.l2_milrej, 0u);
}

TEST(DomainStats, RecipientWithoutDomainAddsNothingButItsSenderCounts)
{
    host_info& h = build(from_line("Q1", "a@example.org", 40, "mx.example.org [192.0.2.1]") +
                         at("1 10:00:01", "Q1: to=<root>, delay=00:00:01, mailer=local, dsn=2.0.0, stat=Sent"));
    EXPECT_EQ(entries(h.env_dom.l1_list), (std::vector<domain_want>{{".org", 1, 1, 0, 0, 40}}));
    EXPECT_EQ(entries(h.env_dom.l2_list), (std::vector<domain_want>{{".example.org", 1, 1, 0, 0, 40}}));
    EXPECT_EQ(h.env_dom.l1_recv, 0u);
    EXPECT_EQ(h.env_dom.l1_refs, 1u);
    // The local delivery's relay is "localhost": no relay domain either.
    EXPECT_EQ(entries(h.rel_dom.l1_list), (std::vector<domain_want>{{".org", 1, 1, 0, 0, 40}}));
}

TEST(DomainStats, DomainsDifferingInCaseAreSeparate)
{
    host_info& h = build(from_line("Q1", "a@Example.ORG", 1, "mx.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.org", "MX.EXAMPLE.ORG [192.0.2.2]") +
                         from_line("Q2", "c@example.org", 2, "mx.example.org [192.0.2.1]") +
                         to_line("Q2", "d@Example.ORG", "mx.example.org [192.0.2.1]"));
    EXPECT_EQ(entries(h.env_dom.l1_list),
              (std::vector<domain_want>{{".ORG", 2, 1, 1, 0, 1}, {".org", 2, 1, 1, 0, 2}}));
    EXPECT_EQ(entries(h.env_dom.l2_list),
              (std::vector<domain_want>{{".Example.ORG", 2, 1, 1, 0, 1}, {".example.org", 2, 1, 1, 0, 2}}));
    EXPECT_EQ(entries(h.rel_dom.l1_list),
              (std::vector<domain_want>{{".org", 3, 2, 1, 0, 3}, {".ORG", 1, 0, 1, 0, 0}}));
    EXPECT_EQ(count_of(h.env_dom.l1_list), 2u);
    EXPECT_EQ(count_of(h.rel_dom.l2_list), 2u);
}

TEST(DomainStats, ReceivingSideAndMilterRejectsAddNoSize)
{
    host_info& h = build(from_line("Q1", "a@example.org", 500, "mx.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]") +
                         at("1 11:00:00", "Q2: Milter: from=<s@spam.example.ru>, reject=550 5.7.1 Spam") +
                         from_line("Q2", "s@spam.example.ru", 7000, "bad.example.ru [203.0.113.9]"));
    EXPECT_EQ(entries(h.env_dom.l1_list),
              (std::vector<domain_want>{{".org", 1, 1, 0, 0, 500}, {".net", 1, 0, 1, 0, 0}, {".ru", 1, 0, 0, 1, 0}}));
    EXPECT_EQ(entries(h.rel_dom.l2_list), (std::vector<domain_want>{{".example.org", 1, 1, 0, 0, 500},
                                                                    {".example.net", 1, 0, 1, 0, 0},
                                                                    {".example.ru", 1, 0, 0, 1, 0}}));
    EXPECT_EQ(h.env_dom.l1_milrej, 1u);
    EXPECT_EQ(h.rel_dom.l2_milrej, 1u);
    EXPECT_EQ(h.events.in_total_size, 7500) << "the rejected message's size counts only in the host total";
}

TEST(DomainStats, MilterRejectWithoutLevelTwoCountsOnlyLevelOne)
{
    test_support::read_log_text(at("1 11:00:00", "Q2: Milter: from=<s@spam.example.ru>, reject=550 5.7.1 Spam") +
                                from_line("Q2", "s@spam.example.ru", 70, "bad.example.ru [203.0.113.9]"));
    host_info& h = host_table[0];
    ASSERT_NE(h.messages.milter_chain.head, nullptr);
    msg_from& sender = *h.messages.milter_chain.head->p_from;
    sender.env_name_info.dom_name_lvl_2 = nullptr;
    sender.relay_info.dom_name_lvl_2 = nullptr;
    ASSERT_EQ(build_envelope_domain_statistics(), 0);
    ASSERT_EQ(build_relay_domain_statistics(), 0);
    for (const domain_tables* t : {&h.env_dom, &h.rel_dom}) {
        EXPECT_EQ(entries(t->l1_list), (std::vector<domain_want>{{".ru", 1, 0, 0, 1, 0}}));
        EXPECT_TRUE(t->l2_list.empty());
        EXPECT_EQ(count_of(t->l2_list), 0u);
        EXPECT_EQ(t->l2_refs, 0u);
        EXPECT_EQ(t->l2_milrej, 0u);
    }
}

TEST(DomainStats, LevelTwoNeedsLevelOne)
{
    test_support::read_log_text(from_line("Q1", "a@example.org", 5, "mx.example.org [192.0.2.1]") +
                                to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]"));
    host_info& h = host_table[0];
    h.messages.msg_chain.head->p_to->env_name_info.dom_name_lvl_1 = nullptr;
    ASSERT_EQ(build_envelope_domain_statistics(), 0);
    EXPECT_EQ(entries(h.env_dom.l2_list), (std::vector<domain_want>{{".example.org", 1, 1, 0, 0, 5}}));
}

// Country ranges in place of the loaded files, for the relays named by
// their address.
class DomainStatsWithCountries : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset();
        const std::string& code = country_ip_table.names.emplace_back(".jp");
        country_ip_table.entries.push_back({code.c_str(), ipv4_number("203.0.113.0"), ipv4_number("203.0.113.255")});
        settings.PrintCountryIPInfo = 1;
    }
    void TearDown() override { reset(); }

    static void reset()
    {
        country_ip_table = ip_range_table{};
        area_ip_table = ip_range_table{};
        settings = program_settings{};
    }
};

TEST_F(DomainStatsWithCountries, RelayNamedByItsCountryCountsAtLevelOneOnly)
{
    host_info& h = build(from_line("Q1", "a@example.org", 60, "[203.0.113.5]") +
                             to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]") +
                             at("1 12:00:00", "Q3: Milter: connect: host=[203.0.113.77], addr=203.0.113.77, reject=550 "
                                              "5.7.1 Blocked"),
                         true);
    EXPECT_EQ(entries(h.rel_dom.l1_list),
              (std::vector<domain_want>{{".jp", 2, 1, 0, 1, 60}, {".net", 1, 0, 1, 0, 0}}));
    EXPECT_EQ(entries(h.rel_dom.l2_list), (std::vector<domain_want>{{".example.net", 1, 0, 1, 0, 0}}));
    EXPECT_EQ(h.rel_dom.l1_refs, 3u);
    EXPECT_EQ(h.rel_dom.l2_refs, 1u);
    // The synthetic sender of the connect line has no address domains.
    EXPECT_EQ(entries(h.env_dom.l1_list),
              (std::vector<domain_want>{{".org", 1, 1, 0, 0, 60}, {".net", 1, 0, 1, 0, 0}}));
}

TEST(DomainStats, EachHostHasItsOwnTables)
{
    const std::string log = from_line("Q1", "a@example.org", 1, "mx.example.org [192.0.2.1]") +
                            to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]") +
                            "Dec  1 10:00:02 mx2 sm-mta[1]: Q9: from=<c@example.it>, size=9, relay=r.example.it [192.0.2.9]\n" +
                            "Dec  1 10:00:03 mx2 sm-mta[1]: Q9: to=<d@example.org>, mailer=esmtp, relay=x.example.org "
                            "[192.0.2.8], stat=Sent\n";
    build(log);
    ASSERT_EQ(hosts_found, 2u);
    EXPECT_EQ(entries(host_table[0].env_dom.l1_list),
              (std::vector<domain_want>{{".org", 1, 1, 0, 0, 1}, {".net", 1, 0, 1, 0, 0}}));
    EXPECT_EQ(entries(host_table[1].env_dom.l1_list),
              (std::vector<domain_want>{{".it", 1, 1, 0, 0, 9}, {".org", 1, 0, 1, 0, 0}}));
}

TEST(DomainStats, RecordsOwnCopiesOfTheirNames)
{
    host_info& h = build(from_line("Q1", "a@example.org", 1, "mx.example.org [192.0.2.1]") +
                         to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]"));
    const msg_chain_item& item = *h.messages.msg_chain.head;
    EXPECT_NE(h.env_dom.l1_list[0].name, item.p_from->env_name_info.dom_name_lvl_1);
    EXPECT_NE(h.rel_dom.l2_list[1].name, item.p_to->relay_info.dom_name_lvl_2);
}

struct memory_case {
    int (*build)();
    std::size_t allocations_before_failure;
    const char* message;
};

TEST(DomainStats, MemoryFailureNamesTheLevelOfTheRecord)
{
    const memory_case cases[] = {
        {build_envelope_domain_statistics, 0, "ERROR: cannot get memory for env-domains stat L1!\n"},
        {build_envelope_domain_statistics, 1, "ERROR: cannot get memory for env-domains stat L2!\n"},
        {build_relay_domain_statistics, 0, "ERROR: cannot get memory for relay domains stat L1!\n"},
        {build_relay_domain_statistics, 1, "ERROR: cannot get memory for relay domains stat L2!\n"},
        {build_envelope_domain_statistics, 2, "ERROR: cannot get memory for env-domains stat L1!\n"},
    };
    for (const memory_case& c : cases) {
        test_support::read_log_text(from_line("Q1", "a@example.org", 1, "mx.example.org [192.0.2.1]") +
                                    to_line("Q1", "b@example.net", "in.example.net [198.51.100.1]"));
        host_table[0].memory.fail_after(c.allocations_before_failure);
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.build(), 1) << c.message;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
}

// ---- replay against the linear searches ------------------------------------

struct reference_level {
    std::vector<domain_want> list;
    std::uint32_t refs = 0, send = 0, recv = 0, milrej = 0;

    void count(const char* name, int kind, double size)
    {
        domain_want* found = nullptr;
        for (domain_want& d : list)
            if (std::strcmp(d.name.c_str(), name) == 0) {
                found = &d;
                break;
            }
        if (found == nullptr)
            found = &list.emplace_back(domain_want{name, 0, 0, 0, 0, 0});
        ++found->all;
        ++refs;
        if (kind == 0) {
            ++found->send;
            ++send;
            found->size += size;
        } else if (kind == 1) {
            ++found->recv;
            ++recv;
        } else {
            ++found->milrej;
            ++milrej;
        }
    }
};

struct reference_tables {
    reference_level l1, l2;

    void count(const char* l1_name, const char* l2_name, int kind, double size)
    {
        if (l1_name == nullptr)
            return;
        l1.count(l1_name, kind, size);
        if (l2_name != nullptr)
            l2.count(l2_name, kind, size);
    }
};

template <class Domains>
reference_tables replay(const host_info& host, Domains domains)
{
    reference_tables t;
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next)
        for (const msg_to* to = item->p_to; to; to = to->next) {
            auto [from_l1, from_l2] = domains(*item->p_from);
            t.count(from_l1, from_l2, 0, item->p_from->siz);
            auto [to_l1, to_l2] = domains(*to);
            t.count(to_l1, to_l2, 1, 0);
        }
    for (const milter_chain_item* item = host.messages.milter_chain.head; item; item = item->next) {
        auto [l1, l2] = domains(*item->p_from);
        t.count(l1, l2, 2, 0);
    }
    return t;
}

void compare_level(const reference_level& want, const std::vector<domain_stat>& list, std::uint32_t count,
                   std::uint32_t refs, std::uint32_t send, std::uint32_t recv, std::uint32_t milrej)
{
    EXPECT_EQ(entries(list), want.list);
    EXPECT_EQ(count, want.list.size());
    EXPECT_EQ(refs, want.refs);
    EXPECT_EQ(send, want.send);
    EXPECT_EQ(recv, want.recv);
    EXPECT_EQ(milrej, want.milrej);
}

void compare(const reference_tables& want, const domain_tables& got)
{
    compare_level(want.l1, got.l1_list, count_of(got.l1_list), got.l1_refs, got.l1_send, got.l1_recv, got.l1_milrej);
    compare_level(want.l2, got.l2_list, count_of(got.l2_list), got.l2_refs, got.l2_send, got.l2_recv, got.l2_milrej);
}

TEST(DomainStats, IndexesCountLikeLinearSearchesOnGeneratedLogs)
{
    log_generator_options options;
    options.disorder_permille = 100;
    std::size_t domains_seen = 0;
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        options.hosts = 1 + seed % 4;
        build(generate_log(seed, 1500, options));
        SCOPED_TRACE("seed " + std::to_string(seed));
        for (const host_info& host : used_hosts()) {
            compare(replay(host,
                           [](const auto& r) {
                               return std::pair(r.env_name_info.dom_name_lvl_1, r.env_name_info.dom_name_lvl_2);
                           }),
                    host.env_dom);
            compare(replay(host,
                           [](const auto& r) {
                               return std::pair(r.relay_info.dom_name_lvl_1, r.relay_info.dom_name_lvl_2);
                           }),
                    host.rel_dom);
            domains_seen += count_of(host.env_dom.l2_list) + count_of(host.rel_dom.l2_list);
        }
        if (HasFailure())
            return;
    }
    EXPECT_GT(domains_seen, 1000u) << "the generated logs should hold many domains";
}

}  // namespace
