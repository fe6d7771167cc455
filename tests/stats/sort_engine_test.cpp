// The sort engine against a plain stable exchange sort written here: random
// tables with many ties and absent texts, sorted by libbsd's merge sort (the
// envelope pairs and milter rejects) or the stable sort (the other tables),
// must come out exactly as the neighbour-exchange passes order them.
#include "stats/sort_engine.h"

#include <bsd/stdlib.h>
#include <gtest/gtest.h>
#include <strings.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <string>

#include "driver/settings.h"

namespace {

int nocase(const char* a, const char* b) { return a && b ? strcasecmp(a, b) : a ? -1 : b ? 1 : 0; }
int exact(const char* a, const char* b) { return a && b ? std::strcmp(a, b) : a ? -1 : b ? 1 : 0; }
int larger_first(double a, double b) { return a > b ? -1 : a < b ? 1 : 0; }
const char* first_status(const env_pair_stat& p) { return p.statuses_head ? p.statuses_head->status : nullptr; }

// Which record a row holds: a field no order of its table reads carries the
// row's first position (members: all fields, equal members being alike).
std::string identity(const env_pair_stat& p) { return std::to_string(p.to_ip_bin); }
std::string identity(const milter_reject_stat& k) { return k.to_name_info.user_name; }
std::string identity(const summary_relay_stat& r) { return std::to_string(r.from_msgs); }
std::string identity(const domain_stat& d) { return std::to_string(d.all); }
std::string identity(const summary_rcpt_stat& r) { return std::to_string(r.msgs); }
std::string identity(const reject_reason_stat& r) { return std::to_string(r.count); }
std::string identity(const env_mem_stat& m) { return (m.name ? m.name : "~") + std::to_string(m.size + m.count * 10); }

// Passes from the tail to the head; a record moves before its predecessor
// only when it compares lower. That order the engine must give.
template <class T, class C>
void expect_exchange_order(std::vector<T> table, void (*sort)(std::vector<T>&, int), int order, C compare)
{
    std::vector<T> want = table;
    for (std::size_t pass = 1; pass < want.size(); ++pass)
        for (std::size_t i = want.size() - 1; i >= pass; --i)
            if (compare(want[i], want[i - 1]) < 0)
                std::swap(want[i], want[i - 1]);
    sort(table, order);
    for (std::size_t i = 0; i < table.size(); ++i)
        ASSERT_EQ(identity(table[i]), identity(want[i])) << "order " << order << ", row " << i;
}

TEST(SortEngine, EveryOrderEqualsTheExchangeSort)
{
    settings = program_settings{};
    using pair = const env_pair_stat&;
    using reject = const milter_reject_stat&;
    for (unsigned seed = 1; seed <= 150; ++seed) {
        std::mt19937 random(seed);
        std::deque<std::string> texts;
        std::deque<pair_status> statuses;
        auto number = [&](unsigned limit) -> unsigned { return random() % limit; };
        // A short text of a small alphabet in mixed case (keys repeat), or absent.
        auto text = [&](bool may_be_absent = true) -> const char* {
            std::string t(1 + number(2), ' ');
            for (char& c : t)
                c = "abAB."[number(5)];
            return may_be_absent && number(5) == 0 ? nullptr : texts.emplace_back(t).c_str();
        };
        const unsigned n = 1 + seed % 40;
        std::vector<env_pair_stat> pairs(n);
        std::vector<milter_reject_stat> rejects(n);
        std::vector<env_mem_stat> members(n);
        std::vector<summary_relay_stat> relays(n);
        for (unsigned i = 0; i < n; ++i) {
            env_pair_stat& p = pairs[i];
            // Domain keys are present: with one absent the domain rules order
            // inconsistently, and only the merge sort itself defines the result.
            p.sender = text(), p.recipient = text(), p.from_relay = text();
            p.from_dom_l1 = text(false), p.from_dom_l2 = text(false), p.to_ip_bin = i;
            p.from_ip_bin = number(4), p.size = number(4), p.count = number(4);
            if (number(4) != 0)
                p.statuses_head = &statuses.emplace_back(pair_status{1, text(false), number(5), 0, nullptr});
            milter_reject_stat& k = rejects[i];
            k.count = number(3), k.size = number(3), k.first_time = number(3), k.relay_ip_bin = number(3);
            k.env_from = text(), k.env_to = text(), k.reason = text(), k.relay_name = text();
            k.to_name_info.user_name = texts.emplace_back(std::to_string(i)).c_str();
            members[i] = {text(), double(number(3)), number(3)};
            relays[i].name = text(false), relays[i].dom_l2 = text(), relays[i].ip_bin = number(3);
            relays[i].from_msgs = i;
        }
        const std::pair<int, std::function<int(pair, pair)>> pair_orders[] = {
            {SORT_BY_SIZE, [](pair a, pair b) { return larger_first(a.size, b.size); }},
            {SORT_BY_COUNT, [](pair a, pair b) { return larger_first(a.count, b.count); }},
            {SORT_BY_RELAY_NAME, [](pair a, pair b) { return nocase(a.from_relay, b.from_relay); }},
            {SORT_BY_RELAY_ADDR, [](pair a, pair b) { return -larger_first(a.from_ip_bin, b.from_ip_bin); }},
            {SORT_BY_FROM_DOM, [](pair a, pair b) {
                 int c = strcasecmp(a.from_dom_l1, b.from_dom_l1);
                 return c ? c : (c = strcasecmp(a.from_dom_l2, b.from_dom_l2)) ? c : nocase(a.sender, b.sender); }},
            {SORT_BY_RECIPIENT, [](pair a, pair b) { return nocase(a.recipient, b.recipient); }},
            {SORT_BY_STATUS, [](pair a, pair b) { return nocase(first_status(a), first_status(b)); }},
            {SORT_BY_SENDER, [](pair a, pair b) { return nocase(a.sender, b.sender); }},
            {SORT_BY_TIME, [](pair a, pair b) {  // pairs without status last
                 if (!a.statuses_head || !b.statuses_head)
                     return a.statuses_head == b.statuses_head ? 0 : a.statuses_head ? -1 : 1;
                 return -larger_first(a.statuses_head->first_time, b.statuses_head->first_time); }},
        };
        for (const auto& [order, compare] : pair_orders)
            expect_exchange_order(pairs, sort_env_pairs, order, compare);
        const std::pair<int, std::function<int(reject, reject)>> reject_orders[] = {
            {SORT_BY_NAME, [](reject a, reject b) { return nocase(a.env_from, b.env_from); }},
            {SORT_BY_COUNT, [](reject a, reject b) { return larger_first(a.count, b.count); }},
            {SORT_BY_RELAY_ADDR, [](reject a, reject b) { return -larger_first(a.relay_ip_bin, b.relay_ip_bin); }},
            {SORT_BY_RECIPIENT, [](reject a, reject b) { return nocase(a.env_to, b.env_to); }},
            {SORT_BY_TIME, [](reject a, reject b) { return -larger_first(a.first_time, b.first_time); }},
        };
        for (const auto& [order, compare] : reject_orders)
            expect_exchange_order(rejects, sort_milter_rejects, order, compare);
        expect_exchange_order(members, sort_env_members, SORT_BY_SIZE, [](auto& a, auto& b) { return larger_first(a.size, b.size); });
        expect_exchange_order(members, sort_env_members, SORT_BY_COUNT, [](auto& a, auto& b) { return larger_first(a.count, b.count); });
        expect_exchange_order(members, sort_env_members, SORT_BY_NAME, [](auto& a, auto& b) { return exact(a.name, b.name); });
        expect_exchange_order(relays, sort_summary_relays, SORT_BY_RELAY_DOM_L2, [](auto& a, auto& b) {
            if (!a.dom_l2 || !b.dom_l2)
                return a.dom_l2 != b.dom_l2 ? (a.dom_l2 ? -1 : 1) : -larger_first(a.ip_bin, b.ip_bin);
            int c = strcasecmp(a.dom_l2, b.dom_l2);
            c = c ? c : compare_domain_names(a.name, b.name);
            return c ? c : -larger_first(a.ip_bin, b.ip_bin);
        });
    }
}

int sign(long long value) { return (value > 0) - (value < 0); }

// The merge sort's comparison, decided mostly by keys, against the plain
// comparison: the same sign for every two records, and the sort orders
// exactly as libbsd's merge sort with the plain comparison over pointers.
// Texts run past the eight keyed bytes, are prefixes of each other, mix
// case, bytes between 'Z' and 'a' and bytes of 0x80 and above, or are absent.
template <class T>
void expect_keys_agree(std::vector<T> table, const std::vector<int>& orders, int (*compare)(const T&, const T&, int),
                       int (*compare_by_key)(const T&, const T&, int), void (*sort)(std::vector<T>&, int))
{
    for (int order : orders) {
        for (const T& a : table)
            for (const T& b : table)
                ASSERT_EQ(sign(compare_by_key(a, b, order)), sign(compare(a, b, order))) << "order " << order;
        std::vector<const T*> want;
        for (const T& record : table)
            want.push_back(&record);
        static int (*current_compare)(const T&, const T&, int);
        static int current_order;
        current_compare = compare, current_order = order;
        auto plain = [](const void* a, const void* b) {
            return current_compare(**static_cast<const T* const*>(a), **static_cast<const T* const*>(b), current_order);
        };
        ASSERT_EQ(mergesort(want.data(), want.size(), sizeof(const T*), plain), 0);
        std::vector<std::string> want_ids;
        for (const T* record : want)
            want_ids.push_back(identity(*record));
        sort(table, order);
        for (std::size_t i = 0; i < table.size(); ++i)
            ASSERT_EQ(identity(table[i]), want_ids[i]) << "order " << order << ", row " << i;
    }
}

TEST(SortEngine, MergeSortKeysDecideAsTheComparison)
{
    settings = program_settings{};
    for (unsigned seed = 1; seed <= 60; ++seed) {
        std::mt19937 random(seed);
        std::deque<std::string> texts{"abcdefgh", "\xff\xff\xff\xff\xff\xff\xff\xff\xff"};
        std::deque<pair_status> statuses;
        auto number = [&](unsigned limit) -> unsigned { return random() % limit; };
        auto text = [&]() -> const char* {
            if (number(6) == 0)
                return nullptr;
            std::string t;
            if (number(2) == 0) {  // an earlier text in other case, whole or cut, perhaps longer again
                t = texts[number(static_cast<unsigned>(texts.size()))];
                for (char& c : t)
                    c = number(2) && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
                if (number(2) == 0)
                    t.resize(number(static_cast<unsigned>(t.size()) + 1));
            }
            for (unsigned extra = number(2) ? 0 : number(11); extra > 0; --extra)
                t += "aAbB[_.\xe0\xc0\xff"[number(10)];
            return texts.emplace_back(t).c_str();
        };
        const unsigned n = 2 + seed % 30;
        std::vector<env_pair_stat> pairs(n);
        std::vector<milter_reject_stat> rejects(n);
        for (unsigned i = 0; i < n; ++i) {
            env_pair_stat& p = pairs[i];
            p.sender = text(), p.recipient = text(), p.from_relay = text(), p.from_dom_l1 = text();
            p.from_dom_l2 = text(), p.from_relay_dom_l1 = text(), p.from_relay_dom_l2 = text();
            p.from_ip_bin = number(4), p.size = number(3) == 0 ? -0.0 : number(4) * 0.5 - 0.5, p.count = number(4);
            p.to_ip_bin = i;
            if (number(4) != 0)
                p.statuses_head = &statuses.emplace_back(pair_status{1, text(), number(5) - 2l, 0, nullptr});
            milter_reject_stat& k = rejects[i];
            k.count = number(3), k.size = number(3), k.first_time = number(5) - 2l, k.relay_ip_bin = number(3);
            k.env_from = text(), k.env_to = text(), k.reason = text(), k.relay_name = text();
            k.from_dom_l1 = text(), k.from_dom_l2 = text(), k.relay_dom_l1 = text(), k.relay_dom_l2 = text();
            k.to_name_info.user_name = texts.emplace_back(std::to_string(i)).c_str();
        }
        expect_keys_agree(pairs, {3, 4, 5, 7, 8, 9, 10, 13, 14, 15, 16}, compare_env_pairs, compare_env_pairs_by_key,
                          sort_env_pairs);
        expect_keys_agree(rejects, {1, 3, 4, 5, 7, 8, 9, 11, 12, 13, 16}, compare_milter_rejects,
                          compare_milter_rejects_by_key, sort_milter_rejects);
        // The tables sorted by a text with std::stable_sort, on the same texts.
        std::vector<domain_stat> domains(n);
        std::vector<summary_rcpt_stat> recipients(n);
        std::vector<reject_reason_stat> reasons(n);
        std::vector<env_mem_stat> members(n);
        for (unsigned i = 0; i < n; ++i) {
            domains[i].name = text(), domains[i].all = i;
            recipients[i].name = text(), recipients[i].msgs = i;
            reasons[i].reason = text(), reasons[i].count = i;
            members[i] = {text(), double(i), 0};
        }
        auto by_name = [](auto& a, auto& b) { return nocase(a.name, b.name); };
        expect_exchange_order(domains, sort_domains, SORT_BY_NAME, by_name);
        expect_exchange_order(recipients, sort_summary_recipients, SORT_BY_NAME,
                              [](auto& a, auto& b) { return exact(a.name, b.name); });
        expect_exchange_order(reasons, sort_reject_reasons, SORT_BY_NAME,
                              [](auto& a, auto& b) { return nocase(a.reason, b.reason); });
        expect_exchange_order(members, sort_env_members, SORT_BY_NAME,
                              [](auto& a, auto& b) { return exact(a.name, b.name); });
        pairs[0].size = std::nan("");  // a size that is not a number: no keys, the same order
        expect_keys_agree(pairs, {3}, compare_env_pairs, compare_env_pairs_by_key, sort_env_pairs);
    }
}

TEST(SortEngine, TextAndDomainNameComparisons)
{
    const struct {
        int (*compare)(const char*, const char*);
        const char *a, *b;
        int sign;
    } cases[] = {
        {compare_texts, nullptr, nullptr, 0}, {compare_texts, "a", nullptr, -1}, {compare_texts, "B", "a", -1},
        {compare_texts_nocase, nullptr, nullptr, 0}, {compare_texts_nocase, nullptr, "a", 1},
        {compare_texts_nocase, "B", "a", 1}, {compare_texts_nocase, "ab", "AB", 0},
        {compare_domain_names, "a.b", "A.B", 0}, {compare_domain_names, "x.b.c", "b.c", -1},
        {compare_domain_names, "x.d.c", "b.c", -1}, {compare_domain_names, "m.x.com", "m.x.org", -1},
        {compare_domain_names, "b.x.com", "a.x.com", 1}, {compare_domain_names, nullptr, "a.b", 1},
        {compare_domain_names, "a.b", nullptr, -1}, {compare_domain_names, nullptr, nullptr, 0},
        {compare_domain_names, "abc", "abd", -1}, {compare_domain_names, "localhost", "x.localhost", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ((c.compare(c.a, c.b) > 0) - (c.compare(c.a, c.b) < 0), c.sign) << (c.a ? c.a : "~") << " " << (c.b ? c.b : "~");
}

}  // namespace
