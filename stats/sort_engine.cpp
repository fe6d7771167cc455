// The sort engine: comparisons for every table and sort order, libbsd's
// mergesort for the envelope pairs and std::stable_sort for the rest. Works
// on built statistics only; texts may be absent and are never dereferenced
// when they are.
#include "stats/sort_engine.h"

#include <bsd/stdlib.h>
#include <strings.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <string_view>

#include "driver/messages.h"
#include "driver/settings.h"
#include "util/text_util.h"

namespace {

// ---- text comparisons ----------------------------------------------------

int casecmp(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(lower_ascii(a[i]));
        int cb = static_cast<unsigned char>(lower_ascii(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// -1 when a is larger, +1 when it is smaller: larger values first.
template <class T>
int larger_first(T a, T b)
{
    return a > b ? -1 : a < b ? 1 : 0;
}

template <class T>
int lower_first(T a, T b)
{
    return a < b ? -1 : a > b ? 1 : 0;
}

// ---- envelope pairs --------------------------------------------------------

const env_pair_stat& pair_of(const void* p)
{
    return *static_cast<const env_pair_stat*>(p);
}

// The relay-domain rule below past equal level-1 domains.
int relay_domain_rest(const char* l2_a, const char* l2_b, const char* final_a, const char* final_b)
{
    if (l2_a == nullptr || l2_b == nullptr)
        return 0;
    if (int c = strcasecmp(l2_a, l2_b))
        return c;
    return compare_texts_nocase(final_a, final_b);
}

// Relay-domain rule: level 1, then level 2, then the final text; with no
// level 1 on either side the numeric relay address decides (lower first,
// otherwise equal).
int relay_domain_rule(const char* l1_a, const char* l1_b, const char* l2_a, const char* l2_b, const char* final_a,
                      const char* final_b, std::uint32_t ip_a, std::uint32_t ip_b)
{
    if (l1_a == nullptr && l1_b == nullptr)
        return ip_a < ip_b ? -1 : 0;
    if (l1_a == nullptr)
        return 1;
    if (l1_b == nullptr)
        return -1;
    if (int c = strcasecmp(l1_a, l1_b))
        return c;
    return relay_domain_rest(l2_a, l2_b, final_a, final_b);
}

// The level-2 rule below past equal level-2 domains.
int level_2_rest(const char* name_a, const char* name_b, const char* final_a, const char* final_b)
{
    if (int c = compare_domain_names(name_a, name_b))
        return c;
    if (final_a && final_b)
        return strcasecmp(final_a, final_b);
    return 0;
}

// Level-2 rule: level 2 (the address deciding when both lack it), then the
// relay names in domain order, then the final text when both have it.
int level_2_rule(const char* l2_a, const char* l2_b, const char* name_a, const char* name_b, const char* final_a,
                 const char* final_b, std::uint32_t ip_a, std::uint32_t ip_b)
{
    if (l2_a == nullptr && l2_b == nullptr)
        return ip_a < ip_b ? -1 : 0;
    if (l2_a == nullptr)
        return 1;
    if (l2_b == nullptr)
        return -1;
    if (int c = strcasecmp(l2_a, l2_b))
        return c;
    return level_2_rest(name_a, name_b, final_a, final_b);
}

// The earliest first time over a pair's statuses; false without statuses.
bool earliest_time(const env_pair_stat& pair, std::time_t& earliest)
{
    const pair_status* status = pair.statuses_head;
    if (status == nullptr)
        return false;
    earliest = status->first_time;
    for (; status; status = status->next)
        earliest = std::min(earliest, status->first_time);
    return true;
}

int pair_by_size(const void* a, const void* b) { return larger_first(pair_of(a).size, pair_of(b).size); }
int pair_by_count(const void* a, const void* b) { return larger_first(pair_of(a).count, pair_of(b).count); }

int pair_by_relay_name(const void* a, const void* b)
{
    return compare_texts_nocase(pair_of(a).from_relay, pair_of(b).from_relay);
}

int pair_by_relay_addr(const void* a, const void* b)
{
    return lower_first(pair_of(a).from_ip_bin, pair_of(b).from_ip_bin);
}

int pair_by_relay_dom_l1(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return relay_domain_rule(x.from_relay_dom_l1, y.from_relay_dom_l1, x.from_relay_dom_l2, y.from_relay_dom_l2,
                             x.from_relay, y.from_relay, x.from_ip_bin, y.from_ip_bin);
}

int pair_by_relay_dom_l2(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return level_2_rule(x.from_relay_dom_l2, y.from_relay_dom_l2, x.from_relay, y.from_relay, x.sender, y.sender,
                        x.from_ip_bin, y.from_ip_bin);
}

int pair_by_from_dom(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return relay_domain_rule(x.from_dom_l1, y.from_dom_l1, x.from_dom_l2, y.from_dom_l2, x.sender, y.sender,
                             x.from_ip_bin, y.from_ip_bin);
}

// The domain rules past equal first domains (both present).
int pair_by_relay_dom_l1_rest(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return relay_domain_rest(x.from_relay_dom_l2, y.from_relay_dom_l2, x.from_relay, y.from_relay);
}

int pair_by_relay_dom_l2_rest(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return level_2_rest(x.from_relay, y.from_relay, x.sender, y.sender);
}

int pair_by_from_dom_rest(const void* a, const void* b)
{
    const env_pair_stat& x = pair_of(a);
    const env_pair_stat& y = pair_of(b);
    return relay_domain_rest(x.from_dom_l2, y.from_dom_l2, x.sender, y.sender);
}

int pair_by_recipient(const void* a, const void* b)
{
    return compare_texts_nocase(pair_of(a).recipient, pair_of(b).recipient);
}

int pair_by_status(const void* a, const void* b)
{
    const pair_status* x = pair_of(a).statuses_head;
    const pair_status* y = pair_of(b).statuses_head;
    return compare_texts_nocase(x ? x->status : nullptr, y ? y->status : nullptr);
}

int pair_by_sender(const void* a, const void* b)
{
    return compare_texts_nocase(pair_of(a).sender, pair_of(b).sender);
}

int pair_by_time(const void* a, const void* b)
{
    std::time_t x = 0, y = 0;
    bool has_x = earliest_time(pair_of(a), x);
    bool has_y = earliest_time(pair_of(b), y);
    if (!has_x || !has_y)
        return has_x == has_y ? 0 : has_x ? -1 : 1;
    return lower_first(x, y);
}

// ---- sort keys -------------------------------------------------------------

// The first eight bytes of a text, folded as strcasecmp folds them (only
// A-Z: the C locale) for `fold_case`, packed big-endian and padded with zeros
// as the terminator compares; an absent text gets the highest key. Two
// present texts whose keys differ compare (by strcasecmp, or by strcmp
// without folding) as their keys do.
std::uint64_t text_prefix(const char* text, bool fold_case)
{
    if (text == nullptr)
        return UINT64_MAX;
    std::uint64_t key = 0;
    bool ended = false;
    for (int i = 0; i < 8; ++i) {
        ended = ended || text[i] == '\0';
        const char c = ended ? '\0' : fold_case ? lower_ascii(text[i]) : text[i];
        key = key << 8 | static_cast<unsigned char>(c);
    }
    return key;
}

std::uint64_t folded_prefix(const char* text)
{
    return text_prefix(text, true);
}

// A number as an unsigned key with the same order; -0 and +0 alike. None for
// a NaN, which compares equal to every number.
std::optional<std::uint64_t> ordered_key(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    if (value == 0)
        value = 0;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    constexpr std::uint64_t sign = std::uint64_t{1} << 63;
    return bits & sign ? ~bits : bits | sign;
}

std::uint64_t ordered_key(std::time_t value)
{
    return static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63);
}

std::optional<std::uint64_t> larger_first_key(double value)
{
    const auto key = ordered_key(value);
    return key ? std::optional(~*key) : std::nullopt;
}

std::uint64_t larger_first_key(std::uint32_t value)
{
    return UINT32_MAX - value;
}

std::optional<std::uint64_t> earliest_time_key(const env_pair_stat& pair)
{
    std::time_t earliest = 0;
    return earliest_time(pair, earliest) ? ordered_key(earliest) : UINT64_MAX;
}

using compare_function = int (*)(const void*, const void*);

using key_result = std::optional<std::uint64_t>;

// What the merge sort moves: a pointer to a record (so it moves 16 bytes per
// step instead of whole records) and the record's key for the view.
struct keyed_pointer {
    std::uint64_t key;
    const void* record;
};

// What two equal keys tell of the comparison.
enum class on_tie {
    compare_records,  // nothing
    equal,            // the records compare equal (number keys)
    equal_when_whole, // equal when the key holds the whole text
    rest_when_whole   // when the key holds the whole text, the comparison past the keyed text decides
};

// A folded prefix ends in a zero byte only when its text (a present one:
// the absent key ends in 0xff) ended inside the key.
bool holds_whole_text(std::uint64_t key)
{
    return (key & 0xff) == 0;
}

// The comparison F on two keyed pointers, with the same sign as F on their
// records: the keys decide where they differ (every key function below
// orders as its comparison does) and where Tie says the equal keys suffice;
// F decides the rest.
template <compare_function F, on_tie Tie, compare_function Rest = nullptr>
int keyed(const void* a, const void* b)
{
    const std::uint64_t x = static_cast<const keyed_pointer*>(a)->key;
    const std::uint64_t y = static_cast<const keyed_pointer*>(b)->key;
    if (x != y)
        return x < y ? -1 : 1;
    if constexpr (Tie == on_tie::equal)
        return 0;
    if constexpr (Tie == on_tie::equal_when_whole)
        if (holds_whole_text(x))
            return 0;
    if constexpr (Tie == on_tie::rest_when_whole)
        if (holds_whole_text(x))
            return Rest(static_cast<const keyed_pointer*>(a)->record, static_cast<const keyed_pointer*>(b)->record);
    return F(static_cast<const keyed_pointer*>(a)->record, static_cast<const keyed_pointer*>(b)->record);
}

// One sort order of a table: the comparison of two records, the same on
// keyed pointers with their keys and without (all keys equal), and the keys
// of a record (none where a record has no key that orders as the comparison
// does).
template <class T>
struct sort_rule {
    compare_function on_records = nullptr;
    compare_function on_keyed = nullptr;
    compare_function on_pointers = nullptr;
    key_result (*key)(const T&) = nullptr;
};

template <compare_function F, on_tie Tie, compare_function Rest = nullptr, class T>
sort_rule<T> rule(key_result (*key)(const T&))
{
    return {F, keyed<F, Tie, Rest>, keyed<F, on_tie::compare_records>, key};
}

sort_rule<env_pair_stat> pair_rule(int order)
{
    using P = const env_pair_stat&;
    using K = key_result;
    constexpr on_tie number = on_tie::equal, text = on_tie::equal_when_whole, domains = on_tie::rest_when_whole;
    switch (order) {
    case SORT_BY_SIZE: return rule<pair_by_size, number>(+[](P p) -> K { return larger_first_key(p.size); });
    case SORT_BY_COUNT: return rule<pair_by_count, number>(+[](P p) -> K { return larger_first_key(p.count); });
    case SORT_BY_RELAY_NAME:
        return rule<pair_by_relay_name, text>(+[](P p) -> K { return folded_prefix(p.from_relay); });
    case SORT_BY_RELAY_ADDR: return rule<pair_by_relay_addr, number>(+[](P p) -> K { return p.from_ip_bin; });
    case SORT_BY_RELAY_DOM_L1:
        return rule<pair_by_relay_dom_l1, domains, pair_by_relay_dom_l1_rest>(
            +[](P p) -> K { return folded_prefix(p.from_relay_dom_l1); });
    case SORT_BY_RELAY_DOM_L2:
        return rule<pair_by_relay_dom_l2, domains, pair_by_relay_dom_l2_rest>(
            +[](P p) -> K { return folded_prefix(p.from_relay_dom_l2); });
    case SORT_BY_FROM_DOM:
        return rule<pair_by_from_dom, domains, pair_by_from_dom_rest>(+[](P p) -> K { return folded_prefix(p.from_dom_l1); });
    case SORT_BY_RECIPIENT:
        return rule<pair_by_recipient, text>(+[](P p) -> K { return folded_prefix(p.recipient); });
    case SORT_BY_STATUS:
        return rule<pair_by_status, text>(+[](P p) -> K {
            return folded_prefix(p.statuses_head ? p.statuses_head->status : nullptr);
        });
    case SORT_BY_SENDER: return rule<pair_by_sender, text>(+[](P p) -> K { return folded_prefix(p.sender); });
    case SORT_BY_TIME: return rule<pair_by_time, on_tie::compare_records>(+[](P p) -> K { return earliest_time_key(p); });
    default: return {};
    }
}

// ---- milter rejects --------------------------------------------------------

const milter_reject_stat& reject_of(const void* p)
{
    return *static_cast<const milter_reject_stat*>(p);
}

int reject_by_sender(const void* a, const void* b)
{
    return compare_texts_nocase(reject_of(a).env_from, reject_of(b).env_from);
}
int reject_by_size(const void* a, const void* b) { return larger_first(reject_of(a).size, reject_of(b).size); }
int reject_by_count(const void* a, const void* b) { return larger_first(reject_of(a).count, reject_of(b).count); }

int reject_by_relay_name(const void* a, const void* b)
{
    return compare_texts_nocase(reject_of(a).relay_name, reject_of(b).relay_name);
}

int reject_by_relay_addr(const void* a, const void* b)
{
    return lower_first(reject_of(a).relay_ip_bin, reject_of(b).relay_ip_bin);
}

int reject_by_relay_dom_l1(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return relay_domain_rule(x.relay_dom_l1, y.relay_dom_l1, x.relay_dom_l2, y.relay_dom_l2, x.relay_name,
                             y.relay_name, x.relay_ip_bin, y.relay_ip_bin);
}

int reject_by_relay_dom_l2(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return level_2_rule(x.relay_dom_l2, y.relay_dom_l2, x.relay_name, y.relay_name, x.env_from, y.env_from,
                        x.relay_ip_bin, y.relay_ip_bin);
}

int reject_by_reason(const void* a, const void* b)
{
    return compare_texts_nocase(reject_of(a).reason, reject_of(b).reason);
}

int reject_by_from_dom(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return relay_domain_rule(x.from_dom_l1, y.from_dom_l1, x.from_dom_l2, y.from_dom_l2, x.env_from, y.env_from,
                             x.relay_ip_bin, y.relay_ip_bin);
}

int reject_by_relay_dom_l1_rest(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return relay_domain_rest(x.relay_dom_l2, y.relay_dom_l2, x.relay_name, y.relay_name);
}

int reject_by_relay_dom_l2_rest(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return level_2_rest(x.relay_name, y.relay_name, x.env_from, y.env_from);
}

int reject_by_from_dom_rest(const void* a, const void* b)
{
    const milter_reject_stat& x = reject_of(a);
    const milter_reject_stat& y = reject_of(b);
    return relay_domain_rest(x.from_dom_l2, y.from_dom_l2, x.env_from, y.env_from);
}

int reject_by_recipient(const void* a, const void* b)
{
    return compare_texts_nocase(reject_of(a).env_to, reject_of(b).env_to);
}

int reject_by_time(const void* a, const void* b)
{
    return lower_first(reject_of(a).first_time, reject_of(b).first_time);
}

sort_rule<milter_reject_stat> reject_rule(int order)
{
    using R = const milter_reject_stat&;
    using K = key_result;
    constexpr on_tie number = on_tie::equal, text = on_tie::equal_when_whole, domains = on_tie::rest_when_whole;
    switch (order) {
    case SORT_BY_NAME: return rule<reject_by_sender, text>(+[](R r) -> K { return folded_prefix(r.env_from); });
    case SORT_BY_SIZE: return rule<reject_by_size, number>(+[](R r) -> K { return larger_first_key(r.size); });
    case SORT_BY_COUNT: return rule<reject_by_count, number>(+[](R r) -> K { return larger_first_key(r.count); });
    case SORT_BY_RELAY_NAME:
        return rule<reject_by_relay_name, text>(+[](R r) -> K { return folded_prefix(r.relay_name); });
    case SORT_BY_RELAY_ADDR: return rule<reject_by_relay_addr, number>(+[](R r) -> K { return r.relay_ip_bin; });
    case SORT_BY_RELAY_DOM_L1:
        return rule<reject_by_relay_dom_l1, domains, reject_by_relay_dom_l1_rest>(
            +[](R r) -> K { return folded_prefix(r.relay_dom_l1); });
    case SORT_BY_RELAY_DOM_L2:
        return rule<reject_by_relay_dom_l2, domains, reject_by_relay_dom_l2_rest>(
            +[](R r) -> K { return folded_prefix(r.relay_dom_l2); });
    case SORT_BY_REASON: return rule<reject_by_reason, text>(+[](R r) -> K { return folded_prefix(r.reason); });
    case SORT_BY_FROM_DOM_MIL:
        return rule<reject_by_from_dom, domains, reject_by_from_dom_rest>(+[](R r) -> K { return folded_prefix(r.from_dom_l1); });
    case SORT_BY_RECIPIENT: return rule<reject_by_recipient, text>(+[](R r) -> K { return folded_prefix(r.env_to); });
    case SORT_BY_TIME: return rule<reject_by_time, number>(+[](R r) -> K { return ordered_key(r.first_time); });
    default: return {};
    }
}

// Puts every record where the sorted pointers say: position i receives the
// record `order[i]` points to. Walks each cycle of the permutation with one
// record held aside, so no copy of the table is made; `order` is used up
// (each entry ends up pointing at its own position).
template <class T>
void apply_order(std::vector<T>& table, std::vector<keyed_pointer>& order)
{
    T* const base = table.data();
    auto position = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<const T*>(order[i].record) - base); };
    for (std::size_t start = 0; start < table.size(); ++start) {
        if (position(start) == start)
            continue;
        T held = table[start];
        std::size_t to = start;
        for (;;) {
            const std::size_t from = position(to);
            order[to].record = base + to;
            if (from == start) {
                table[to] = held;
                break;
            }
            table[to] = table[from];
            to = from;
        }
    }
}

// The keyed pointers of a table; false (and every key 0) when some record
// has no key.
template <class T>
bool fill_keyed(std::vector<keyed_pointer>& keyed, const std::vector<T>& table, const sort_rule<T>& rule)
{
    bool every_key = true;
    for (const T& record : table) {
        const key_result key = rule.key(record);
        every_key = every_key && key.has_value();
        keyed.push_back({key.value_or(0), &record});
    }
    if (!every_key)
        for (keyed_pointer& entry : keyed)
            entry.key = 0;
    return every_key;
}

// Sorts a table with libbsd's stable mergesort (over keyed pointers to its
// records), then moves the records in place; the table keeps its order when
// the working memory cannot be had or the sort fails.
template <class T>
void merge_sort_table(std::vector<T>& table, const sort_rule<T>& rule, const char* memory_message)
{
    if (table.size() < 2 || settings.merge_sort != 1 || rule.on_keyed == nullptr)
        return;
    std::vector<keyed_pointer> keyed;
    try {
        keyed.reserve(table.size());
    } catch (const std::bad_alloc&) {
        error_message(memory_message);
        error_message("ERR: try slow sorting method!\n");
        return;
    }
    const compare_function compare = fill_keyed(keyed, table, rule) ? rule.on_keyed : rule.on_pointers;
    if (mergesort(keyed.data(), keyed.size(), sizeof(keyed_pointer), compare) != 0)
        return;
    apply_order(table, keyed);
}

// The keyed comparison of two records (keys of the two only).
template <class T>
int compare_by_key(const T& a, const T& b, const sort_rule<T>& rule)
{
    const key_result key_a = rule.key(a), key_b = rule.key(b);
    if (!key_a || !key_b)
        return rule.on_records(&a, &b);
    const keyed_pointer x{*key_a, &a}, y{*key_b, &b};
    return rule.on_keyed(&x, &y);
}

// Summary by relay, level-2 order: relays with a level-2 domain first (by
// domain, relay name in domain order, address), then the others by address.
bool summary_relay_before(const summary_relay_stat& a, const summary_relay_stat& b)
{
    if (a.dom_l2 == nullptr || b.dom_l2 == nullptr) {
        if (a.dom_l2 != b.dom_l2)
            return a.dom_l2 != nullptr;
        return a.ip_bin < b.ip_bin;
    }
    if (int c = strcasecmp(a.dom_l2, b.dom_l2))
        return c < 0;
    if (int c = compare_domain_names(a.name, b.name))
        return c < 0;
    return a.ip_bin < b.ip_bin;
}

// std::stable_sort of the records by a text (absent last; strcasecmp for
// `fold_case`, else strcmp), over keyed pointers whose keys decide most
// comparisons. A stable sort by a strict weak order has one result, so this
// is the same order.
template <class T>
void stable_sort_by_text(std::vector<T>& records, const char* T::*text, bool fold_case)
{
    if (records.size() < 2)
        return;
    auto compare = fold_case ? compare_texts_nocase : compare_texts;
    std::vector<keyed_pointer> keyed;
    try {
        keyed.reserve(records.size());
    } catch (const std::bad_alloc&) {
        std::stable_sort(records.begin(), records.end(),
                         [&](const T& a, const T& b) { return compare(a.*text, b.*text) < 0; });
        return;
    }
    for (const T& record : records)
        keyed.push_back({text_prefix(record.*text, fold_case), &record});
    std::stable_sort(keyed.begin(), keyed.end(), [&](const keyed_pointer& a, const keyed_pointer& b) {
        if (a.key != b.key)
            return a.key < b.key;
        if (holds_whole_text(a.key))
            return false;
        return compare(static_cast<const T*>(a.record)->*text, static_cast<const T*>(b.record)->*text) < 0;
    });
    apply_order(records, keyed);
}

// A stable sort in which `before(a, b)` says a belongs strictly before b:
// the same order as the neighbour-exchange passes over the list.
template <class T, class Before>
void stable_exchange_order(std::vector<T>& records, Before before)
{
    if (records.size() >= 2)
        std::stable_sort(records.begin(), records.end(), before);
}

}  // namespace

int compare_texts_nocase(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? 1 : -1;
    return strcasecmp(a, b);
}

int compare_texts(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? 1 : -1;
    return std::strcmp(a, b);
}

int compare_domain_names(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b ? 0 : a == nullptr ? 1 : -1;
    std::string_view x(a), y(b);
    for (;;) {
        std::size_t dot_x = x.rfind('.');
        std::size_t dot_y = y.rfind('.');
        if (dot_x == std::string_view::npos && dot_y == std::string_view::npos)
            return casecmp(x, y);
        if (dot_x == std::string_view::npos)
            return 1;
        if (dot_y == std::string_view::npos)
            return -1;
        if (int c = casecmp(x.substr(dot_x), y.substr(dot_y)))
            return c;
        x = x.substr(0, dot_x);
        y = y.substr(0, dot_y);
    }
}

void sort_env_pairs(std::vector<env_pair_stat>& pairs, int order)
{
    merge_sort_table(pairs, pair_rule(order), "ERR: cannot get memory for envelope pairs mergesort!\n");
}

void sort_milter_rejects(std::vector<milter_reject_stat>& rejects, int order)
{
    merge_sort_table(rejects, reject_rule(order), "ERR: cannot get memory for milter reject mergesort!\n");
}

void sort_reject_reasons(std::vector<reject_reason_stat>& reasons, int order)
{
    if (order == SORT_BY_COUNT)
        stable_exchange_order(reasons,
                              [](const reject_reason_stat& a, const reject_reason_stat& b) { return a.count > b.count; });
    else if (order == SORT_BY_NAME)
        stable_sort_by_text(reasons, &reject_reason_stat::reason, true);
}

void sort_summary_relays(std::vector<summary_relay_stat>& relays, int order)
{
    if (order == SORT_BY_COUNT)
        stable_exchange_order(relays,
                              [](const summary_relay_stat& a, const summary_relay_stat& b) { return a.total > b.total; });
    else if (order == SORT_BY_RELAY_DOM_L2)
        stable_exchange_order(relays, summary_relay_before);
}

void sort_summary_recipients(std::vector<summary_rcpt_stat>& recipients, int order)
{
    if (order == SORT_BY_COUNT)
        stable_exchange_order(recipients,
                              [](const summary_rcpt_stat& a, const summary_rcpt_stat& b) { return a.total > b.total; });
    else if (order == SORT_BY_NAME)
        stable_sort_by_text(recipients, &summary_rcpt_stat::name, false);
}

void sort_env_members(std::vector<env_mem_stat>& members, int order)
{
    switch (order) {
    case SORT_BY_SIZE:
        stable_exchange_order(members, [](const env_mem_stat& a, const env_mem_stat& b) { return a.size > b.size; });
        break;
    case SORT_BY_COUNT:
        stable_exchange_order(members, [](const env_mem_stat& a, const env_mem_stat& b) { return a.count > b.count; });
        break;
    case SORT_BY_NAME:
        stable_sort_by_text(members, &env_mem_stat::name, false);
        break;
    default: break;
    }
}

void sort_relay_pairs(std::vector<relay_pair_stat>& pairs, int order)
{
    if (order == SORT_BY_SIZE)
        stable_exchange_order(pairs, [](const relay_pair_stat& a, const relay_pair_stat& b) { return a.size > b.size; });
    else if (order == SORT_BY_COUNT)
        stable_exchange_order(pairs, [](const relay_pair_stat& a, const relay_pair_stat& b) { return a.count > b.count; });
}

void sort_relay_members(std::vector<relay_mem_stat>& members, int order)
{
    if (order == SORT_BY_SIZE)
        stable_exchange_order(members, [](const relay_mem_stat& a, const relay_mem_stat& b) { return a.size > b.size; });
    else if (order == SORT_BY_COUNT)
        stable_exchange_order(members,
                              [](const relay_mem_stat& a, const relay_mem_stat& b) { return a.count > b.count; });
}

void sort_domains(std::vector<domain_stat>& domains, int order)
{
    if (order == SORT_BY_VALUE)
        stable_exchange_order(domains, [](const domain_stat& a, const domain_stat& b) { return a.all > b.all; });
    else if (order == SORT_BY_NAME)
        stable_sort_by_text(domains, &domain_stat::name, true);
}

void sort_ruleset_rejects(std::vector<ruleset_reject_stat>& rejects, int order)
{
    if (order == SORT_BY_COUNT)
        stable_exchange_order(rejects,
                              [](const ruleset_reject_stat& a, const ruleset_reject_stat& b) { return a.count > b.count; });
}

void sort_statuses(std::vector<status_entry>& statuses, int order)
{
    if (order == SORT_BY_COUNT)
        stable_exchange_order(statuses, [](const status_entry& a, const status_entry& b) { return a.count > b.count; });
}

int compare_env_pairs(const env_pair_stat& a, const env_pair_stat& b, int order)
{
    return pair_rule(order).on_records(&a, &b);
}

int compare_env_pairs_by_key(const env_pair_stat& a, const env_pair_stat& b, int order)
{
    return compare_by_key(a, b, pair_rule(order));
}

int compare_milter_rejects(const milter_reject_stat& a, const milter_reject_stat& b, int order)
{
    return reject_rule(order).on_records(&a, &b);
}

int compare_milter_rejects_by_key(const milter_reject_stat& a, const milter_reject_stat& b, int order)
{
    return compare_by_key(a, b, reject_rule(order));
}
