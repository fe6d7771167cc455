// The sort engine against a plain stable exchange sort written here: for
// random tables with many ties and absent texts, every accepted order must
// give exactly the order of the neighbour-exchange passes.
#include "stats/sort_engine.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <cstdint>
#include <vector>

#include "driver/settings.h"

namespace {

// Passes from the tail towards the head; a record moves before its
// predecessor only when `compare(record, predecessor)` is negative.
template <class T>
void exchange_sort(std::vector<T>& v, const std::function<int(const T&, const T&)>& compare)
{
    for (std::size_t pass = 1; pass < v.size(); ++pass)
        for (std::size_t i = v.size() - 1; i >= pass; --i)
            if (compare(v[i], v[i - 1]) < 0)
                std::swap(v[i], v[i - 1]);
}

int absent_last(const char* a, const char* b, int (*compare)(const char*, const char*))
{
    if (!a || !b)
        return (a == b) ? 0 : (a ? -1 : 1);
    return compare(a, b);
}

int nocase(const char* a, const char* b) { return absent_last(a, b, strcasecmp); }
int exact(const char* a, const char* b) { return absent_last(a, b, std::strcmp); }

template <class N>
int larger_first(N a, N b) { return a > b ? -1 : a < b ? 1 : 0; }

class random_texts {
public:
    explicit random_texts(unsigned seed) : random_(seed) {}
    // A short text from a small alphabet (so keys repeat), in mixed case, or absent.
    const char* text(bool may_be_absent = true)
    {
        if (may_be_absent && random_() % 5 == 0)
            return nullptr;
        std::string t;
        for (unsigned n = 1 + random_() % 2; n > 0; --n)
            t += "abAB."[random_() % 5];
        return store_.emplace_back(t).c_str();
    }
    unsigned number(unsigned limit) { return random_() % limit; }

private:
    std::mt19937 random_;
    std::deque<std::string> store_;
};

env_pair_stat random_pair(random_texts& r, std::deque<pair_status>& statuses)
{
    env_pair_stat p{};
    p.sender = r.text();
    p.recipient = r.text();
    p.from_relay = r.text();
    // Domain keys are present: with one of them absent the domain rules do
    // not order consistently, and only the library's merge sort defines the result.
    p.from_dom_l1 = r.text(false);
    p.from_dom_l2 = r.text(false);
    p.from_ip_bin = r.number(4);
    p.size = r.number(4);
    p.count = r.number(4);
    if (r.number(4) != 0) {
        pair_status& s = statuses.emplace_back(pair_status{1, r.text(false), std::time_t(r.number(5)), 0, nullptr});
        p.statuses_head = p.statuses_tail = &s;
    }
    return p;
}

// The order of a pair list as a sequence of distinct identities.
std::vector<const char*> identities(const std::vector<env_pair_stat>& pairs)
{
    std::vector<const char*> ids;
    for (const env_pair_stat& p : pairs)
        ids.push_back(p.to_host);  // to_host carries the identity in these tests
    return ids;
}

TEST(SortEngine, EnvelopePairOrdersMatchTheExchangeSort)
{
    settings = program_settings{};
    using compare = std::function<int(const env_pair_stat&, const env_pair_stat&)>;
    auto first_status = [](const env_pair_stat& p) { return p.statuses_head ? p.statuses_head->status : nullptr; };
    const std::pair<int, compare> orders[] = {
        {SORT_BY_SIZE, [](auto& a, auto& b) { return larger_first(a.size, b.size); }},
        {SORT_BY_COUNT, [](auto& a, auto& b) { return larger_first(a.count, b.count); }},
        {SORT_BY_RELAY_NAME, [](auto& a, auto& b) { return nocase(a.from_relay, b.from_relay); }},
        {SORT_BY_RELAY_ADDR, [](auto& a, auto& b) { return -larger_first(a.from_ip_bin, b.from_ip_bin); }},
        {SORT_BY_FROM_DOM,
         [](auto& a, auto& b) {
             if (int c = strcasecmp(a.from_dom_l1, b.from_dom_l1))
                 return c;
             if (!a.from_dom_l2 || !b.from_dom_l2)
                 return 0;
             if (int c = strcasecmp(a.from_dom_l2, b.from_dom_l2))
                 return c;
             return nocase(a.sender, b.sender);
         }},
        {SORT_BY_RECIPIENT, [](auto& a, auto& b) { return nocase(a.recipient, b.recipient); }},
        {SORT_BY_STATUS, [&](auto& a, auto& b) { return nocase(first_status(a), first_status(b)); }},
        {SORT_BY_SENDER, [](auto& a, auto& b) { return nocase(a.sender, b.sender); }},
        {SORT_BY_TIME,
         [](auto& a, auto& b) {
             if (!a.statuses_head || !b.statuses_head)
                 return a.statuses_head == b.statuses_head ? 0 : a.statuses_head ? -1 : 1;
             return -larger_first(a.statuses_head->first_time, b.statuses_head->first_time);
         }},
    };
    for (unsigned seed = 1; seed <= 200; ++seed) {
        random_texts r(seed);
        std::deque<pair_status> statuses;
        std::vector<env_pair_stat> pairs;
        std::deque<std::string> ids;
        for (unsigned i = 0, n = 1 + seed % 40; i < n; ++i) {
            pairs.push_back(random_pair(r, statuses));
            pairs.back().to_host = ids.emplace_back(std::to_string(i)).c_str();
        }
        for (const auto& [order, reference] : orders) {
            std::vector<env_pair_stat> got = pairs, want = pairs;
            sort_env_pairs(got, order);
            exchange_sort(want, reference);
            ASSERT_EQ(identities(got), identities(want)) << "order " << order << " seed " << seed;
        }
    }
}

TEST(SortEngine, ShortTableOrdersMatchTheExchangeSort)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        random_texts r(seed);
        std::vector<env_mem_stat> members;
        std::vector<domain_stat> domains;
        std::vector<relay_mem_stat> relays;
        std::vector<ruleset_reject_stat> rejects;
        for (unsigned i = 0, n = seed % 30; i < n; ++i) {
            members.push_back({r.text(), double(r.number(3)), r.number(3)});
            domains.push_back({r.text(false), r.number(3), i, 0, 0, 0});
            relays.push_back({r.text(false), nullptr, nullptr, nullptr, i, double(r.number(3)), r.number(3)});
            rejects.push_back({r.number(3), double(i), nullptr, nullptr, nullptr, nullptr, nullptr, 0});
        }
        auto check = [&](auto table, auto sort, int order, auto reference, auto identity) {
            auto want = table;
            sort(table, order);
            exchange_sort(want, std::function(reference));
            for (std::size_t i = 0; i < table.size(); ++i)
                ASSERT_EQ(identity(table[i]), identity(want[i])) << "order " << order << " seed " << seed << " row " << i;
        };
        auto member_id = [](const env_mem_stat& m) { return std::make_tuple(m.name, m.size, m.count); };
        check(members, sort_env_members, SORT_BY_SIZE,
              [](const env_mem_stat& a, const env_mem_stat& b) { return larger_first(a.size, b.size); }, member_id);
        check(members, sort_env_members, SORT_BY_COUNT,
              [](const env_mem_stat& a, const env_mem_stat& b) { return larger_first(a.count, b.count); }, member_id);
        check(members, sort_env_members, SORT_BY_NAME,
              [](const env_mem_stat& a, const env_mem_stat& b) { return exact(a.name, b.name); }, member_id);
        auto domain_id = [](const domain_stat& d) { return d.send; };
        check(domains, sort_domains, SORT_BY_VALUE,
              [](const domain_stat& a, const domain_stat& b) { return larger_first(a.all, b.all); }, domain_id);
        check(domains, sort_domains, SORT_BY_NAME,
              [](const domain_stat& a, const domain_stat& b) { return strcasecmp(a.name, b.name); }, domain_id);
        auto relay_id = [](const relay_mem_stat& m) { return m.ip_bin; };
        check(relays, sort_relay_members, SORT_BY_SIZE,
              [](const relay_mem_stat& a, const relay_mem_stat& b) { return larger_first(a.size, b.size); }, relay_id);
        check(rejects, sort_ruleset_rejects, SORT_BY_COUNT,
              [](const ruleset_reject_stat& a, const ruleset_reject_stat& b) { return larger_first(a.count, b.count); },
              [](const ruleset_reject_stat& x) { return x.size; });
    }
}

TEST(SortEngine, MilterAndSummaryOrdersMatchTheExchangeSort)
{
    settings = program_settings{};
    using reject_compare = std::function<int(const milter_reject_stat&, const milter_reject_stat&)>;
    const std::pair<int, reject_compare> orders[] = {
        {SORT_BY_NAME, [](auto& a, auto& b) { return nocase(a.env_from, b.env_from); }},
        {SORT_BY_SIZE, [](auto& a, auto& b) { return larger_first(a.size, b.size); }},
        {SORT_BY_COUNT, [](auto& a, auto& b) { return larger_first(a.count, b.count); }},
        {SORT_BY_RELAY_NAME, [](auto& a, auto& b) { return nocase(a.relay_name, b.relay_name); }},
        {SORT_BY_RELAY_ADDR, [](auto& a, auto& b) { return -larger_first(a.relay_ip_bin, b.relay_ip_bin); }},
        {SORT_BY_REASON, [](auto& a, auto& b) { return nocase(a.reason, b.reason); }},
        {SORT_BY_RECIPIENT, [](auto& a, auto& b) { return nocase(a.env_to, b.env_to); }},
        {SORT_BY_TIME, [](auto& a, auto& b) { return -larger_first(a.first_time, b.first_time); }},
    };
    for (unsigned seed = 1; seed <= 150; ++seed) {
        random_texts r(seed);
        std::vector<milter_reject_stat> rejects;
        std::vector<summary_relay_stat> relays;
        for (unsigned i = 0, n = 1 + seed % 30; i < n; ++i) {
            milter_reject_stat k{};
            k.count = r.number(3);
            k.size = r.number(3);
            k.first_time = r.number(3);
            k.env_from = r.text();
            k.env_to = r.text();
            k.reason = r.text();
            k.relay_name = r.text();
            k.relay_ip_bin = r.number(3);
            k.date = reinterpret_cast<const char*>(std::uintptr_t{i + 1});  // identity
            rejects.push_back(k);
            summary_relay_stat s{};
            s.name = r.text(false);
            s.dom_l2 = r.text();
            s.ip_bin = r.number(3);
            s.total = r.number(3);
            s.from_msgs = i;  // identity
            relays.push_back(s);
        }
        for (const auto& [order, reference] : orders) {
            std::vector<milter_reject_stat> got = rejects, want = rejects;
            sort_milter_rejects(got, order);
            exchange_sort(want, reference);
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_EQ(got[i].date, want[i].date) << "order " << order << " seed " << seed;
        }
        std::vector<summary_relay_stat> got = relays, want = relays;
        sort_summary_relays(got, SORT_BY_RELAY_DOM_L2);
        exchange_sort(want, std::function([](const summary_relay_stat& a, const summary_relay_stat& b) {
            if (!a.dom_l2 || !b.dom_l2) {
                if (a.dom_l2 != b.dom_l2)
                    return a.dom_l2 ? -1 : 1;
                return -larger_first(a.ip_bin, b.ip_bin);
            }
            if (int c = strcasecmp(a.dom_l2, b.dom_l2))
                return c;
            if (int c = compare_domain_names(a.name, b.name))
                return c;
            return -larger_first(a.ip_bin, b.ip_bin);
        }));
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i].from_msgs, want[i].from_msgs) << "summary relays, seed " << seed;
    }
}

TEST(SortEngine, MergeSortOffKeepsPairsInBuildOrder)
{
    settings = program_settings{};
    settings.merge_sort = 0;
    std::vector<env_pair_stat> pairs(3);
    pairs[0].count = 1;
    pairs[1].count = 3;
    pairs[2].count = 2;
    sort_env_pairs(pairs, SORT_BY_COUNT);
    EXPECT_EQ(pairs[0].count, 1u);
    settings.merge_sort = 1;
    sort_env_pairs(pairs, SORT_BY_COUNT);
    EXPECT_EQ(pairs[0].count, 3u);
    EXPECT_EQ(pairs[2].count, 1u);
    sort_env_pairs(pairs, SORT_BY_VALUE);  // not a pair order: left as it is
    EXPECT_EQ(pairs[0].count, 3u);
    settings = program_settings{};
}

TEST(SortEngine, SecondSortKeepsTheFirstOrderAmongTies)
{
    settings = program_settings{};
    // Address order first (7), then recipient (13): equal recipients stay by address.
    std::vector<env_pair_stat> pairs(4);
    const char* recipients[] = {"b", "a", "b", "a"};
    const std::uint32_t addresses[] = {9, 8, 1, 2};
    for (int i = 0; i < 4; ++i) {
        pairs[i].recipient = recipients[i];
        pairs[i].from_ip_bin = addresses[i];
    }
    sort_env_pairs(pairs, SORT_BY_RELAY_ADDR);
    sort_env_pairs(pairs, SORT_BY_RECIPIENT);
    std::vector<std::uint32_t> order;
    for (const env_pair_stat& p : pairs)
        order.push_back(p.from_ip_bin);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{2, 8, 1, 9}));
}

TEST(CompareDomainNames, LabelByLabelFromTheRight)
{
    EXPECT_EQ(compare_domain_names("a.b", "A.B"), 0);
    EXPECT_LT(compare_domain_names("x.b.c", "b.c"), 0);
    EXPECT_LT(compare_domain_names("x.d.c", "b.c"), 0) << "more labels left comes first";
    EXPECT_LT(compare_domain_names("mail.example.com", "mail.example.org"), 0);
    EXPECT_GT(compare_domain_names("b.example.com", "a.example.com"), 0);
    EXPECT_GT(compare_domain_names(nullptr, "a.b"), 0);
    EXPECT_LT(compare_domain_names("a.b", nullptr), 0);
    EXPECT_EQ(compare_domain_names(nullptr, nullptr), 0);
    EXPECT_LT(compare_domain_names("abc", "abd"), 0);
    EXPECT_GT(compare_domain_names("localhost", "x.localhost"), 0);
}

}  // namespace
