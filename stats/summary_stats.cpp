// Building the summaries by relay and by recipient of every host from the
// relay sender, envelope pair, ruleset reject and milter reject tables and the
// non-active client list. Those tables are trusted (made by earlier phases),
// but their texts come from the log and any of them may be absent: an absent
// text matches only an absent one and is never dereferenced. Rows and address
// entries are found through hash indexes that live only while a host is built.
#include "stats/summary_stats.h"

#include <cstddef>
#include <cstdint>
#include <new>

#include "driver/messages.h"
#include "util/huge_pages.h"
#include "util/text_util.h"
#include "model/address_parts.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/envelope_stats.h"
#include "stats/flat_index.h"
#include "stats/text_keys.h"

namespace {

const char* const no_memory_relay = "ERROR: cannot get memory for summary info relay stat!\n";
const char* const no_memory_from_addr = "ERROR: cannot get memory for envelope address stat (from)!\n";
const char* const no_parse_from_addr = "ERROR: cannot parse envelope address (from)!\n";
const char* const no_memory_to_addr = "ERROR: cannot get memory for envelope address stat (to)!\n";
const char* const no_parse_to_addr = "ERROR: cannot parse envelope address (to)!\n";
const char* const no_memory_rcpt_pair = "ERROR: cannot get memory for summary info recipient stat (1)!\n";
const char* const no_memory_rcpt_other = "ERROR: cannot get memory for summary info recipient stat (2)!\n";
const char* const no_memory_rcpt_milter = "ERROR: cannot get memory for summary info recipient stat (3)!\n";

constexpr std::uint32_t no_row = UINT32_MAX;

// ---- keys that may hold absent texts -----------------------------------

// A relay row is keyed by its name and its numeric address.
struct relay_key {
    const char* name;
    std::uint32_t ip_bin;
};

std::size_t relay_key_hash(const char* name, std::uint32_t ip_bin)
{
    return hash_combine(text_hash(name), ip_bin);
}

struct relay_key_equal {
    bool operator()(const relay_key& a, const relay_key& b) const
    {
        return a.ip_bin == b.ip_bin && same_text(a.name, b.name);
    }
};

using relay_index = flat_index<relay_key, std::uint32_t, relay_key_equal>;

// A present address or host name within the address list of one relay row.
struct entry_key {
    std::uint32_t row;
    const char* text;
};

std::size_t entry_key_hash(std::uint32_t row, const char* text)
{
    return hash_combine(text_hash(text), row);
}

struct entry_key_equal {
    bool operator()(const entry_key& a, const entry_key& b) const
    {
        return a.row == b.row && same_text(a.text, b.text);
    }
};

// Maps a text to the position of the first list entry that holds it.
using entry_index = flat_index<entry_key, std::uint32_t, entry_key_equal>;

using name_index = flat_index<const char*, std::uint32_t, text_key_equal>;

// ---- address lists of the relay rows -------------------------------------

// One side (senders or recipients) of the relay rows: which list and
// counters it uses, and its failure messages.
struct address_side {
    summary_addr* summary_relay_stat::*head;
    summary_addr* summary_relay_stat::*tail;
    std::uint32_t summary_relay_stat::*addresses;
    std::uint32_t summary_relay_stat::*hosts;  // also the length of the list
    const char* no_memory;
    const char* no_parse;
};

const address_side sender_side = {
    &summary_relay_stat::from_addr_head, &summary_relay_stat::from_addr_tail, &summary_relay_stat::from_addr,
    &summary_relay_stat::from_dom,       no_memory_from_addr,                 no_parse_from_addr,
};

const address_side recipient_side = {
    &summary_relay_stat::to_addr_head, &summary_relay_stat::to_addr_tail, &summary_relay_stat::to_addr,
    &summary_relay_stat::to_dom,       no_memory_to_addr,                 no_parse_to_addr,
};

// The address lists of one side of every relay row of a host. Walking a list
// for an address A and its host H stops at the first entry whose address is
// A or whose host is H; the two indexes give the first position of each, and
// the earlier of the two is where that walk would stop.
class address_lists {
public:
    address_lists(host_info& host, const address_side& side) : host_(host), side_(side) {}

    // Applies the address rule to row `row`; the failure message, or null.
    const char* count(std::uint32_t row, const char* address, const char* host_name);

private:
    const char* append(std::uint32_t row, const char* address);

    host_info& host_;
    const address_side& side_;
    entry_index by_address_;
    entry_index by_host_;
};

const char* address_lists::count(std::uint32_t row, const char* address, const char* host_name)
{
    try {
        const std::uint32_t* at_address =
            address ? by_address_.find(entry_key{row, address}, entry_key_hash(row, address)) : nullptr;
        const std::uint32_t* at_host =
            host_name ? by_host_.find(entry_key{row, host_name}, entry_key_hash(row, host_name)) : nullptr;
        if (at_address && (!at_host || *at_address <= *at_host))
            return nullptr;  // an address already kept counts nothing
        if (at_host) {
            ++(host_.summary.relays[row].*side_.addresses);
            return nullptr;
        }
        return append(row, address);
    } catch (const std::bad_alloc&) {
        return side_.no_memory;
    }
}

// A new entry for a host not seen yet on this side of the row.
const char* address_lists::append(std::uint32_t row, const char* address)
{
    arena& memory = host_.memory;
    summary_addr* entry = memory.make<summary_addr>();
    if (entry == nullptr)
        return side_.no_memory;
    entry->address = address;
    entry->name_info = split_address(memory, entry->address);
    if (!split_complete(entry->address, entry->name_info))
        return side_.no_parse;
    summary_relay_stat& relay = host_.summary.relays[row];
    const std::uint32_t position = relay.*side_.hosts;
    if (entry->address)
        by_address_.try_emplace(entry_key{row, entry->address}, entry_key_hash(row, entry->address), position);
    if (const char* host_name = entry->name_info.host_name)
        by_host_.try_emplace(entry_key{row, host_name}, entry_key_hash(row, host_name), position);
    if (relay.*side_.tail)
        (relay.*side_.tail)->next = entry;
    else
        relay.*side_.head = entry;
    relay.*side_.tail = entry;
    ++(relay.*side_.addresses);
    ++(relay.*side_.hosts);
    return nullptr;
}

// ---- summary by relay ----------------------------------------------------

class relay_summary_builder {
public:
    explicit relay_summary_builder(host_info& host)
        : host_(host), senders_(host, sender_side), recipients_(host, recipient_side)
    {
    }

    // Every step for the host; the failure message, or null.
    const char* build();

private:
    const char* add_relay_senders();
    const char* add_env_pairs();
    const char* add_ruleset_rejects();
    const char* add_milter_rejects();
    void add_no_action_clients();
    std::uint32_t find(const char* name, std::uint32_t ip_bin);
    void count_reject(summary_relay_stat& relay, std::uint32_t summary_relay_stat::*counter);

    host_info& host_;
    relay_index rows_;
    address_lists senders_;
    address_lists recipients_;
};

std::uint32_t relay_summary_builder::find(const char* name, std::uint32_t ip_bin)
{
    const std::uint32_t* found = rows_.find(relay_key{name, ip_bin}, relay_key_hash(name, ip_bin));
    return found ? *found : no_row;
}

void relay_summary_builder::count_reject(summary_relay_stat& relay, std::uint32_t summary_relay_stat::*counter)
{
    ++(relay.*counter);
    ++relay.total;
}

// Only the sending relays make rows; every later step counts into them.
const char* relay_summary_builder::add_relay_senders()
{
    try {
        for (const relay_mem_stat& sender : host_.relay.senders) {
            std::uint32_t row = find(sender.name, sender.ip_bin);
            if (row != no_row) {
                host_.summary.relays[row].from_msgs += sender.count;
                host_.summary.relays[row].total += sender.count;
                continue;
            }
            summary_relay_stat relay{};
            relay.name = sender.name;
            relay.ip = sender.ip;
            relay.dom_l2 = sender.dom_l2;
            relay.ip_bin = sender.ip_bin;
            relay.from_msgs = sender.count;
            relay.total = sender.count;
            row = static_cast<std::uint32_t>(host_.summary.relays.size());
            host_.summary.relays.push_back(relay);
            rows_.try_emplace(relay_key{relay.name, relay.ip_bin}, relay_key_hash(relay.name, relay.ip_bin), row);
        }
    } catch (const std::bad_alloc&) {
        return no_memory_relay;
    }
    return nullptr;
}

const char* relay_summary_builder::add_env_pairs()
{
    for (const env_pair_stat& pair : host_.envelope.pairs) {
        std::uint32_t row = find(pair.from_relay, pair.from_ip_bin);
        if (row == no_row)
            continue;
        if (const char* failure = senders_.count(row, pair.sender, pair.from_host))
            return failure;
        if (const char* failure = recipients_.count(row, pair.recipient, pair.to_host))
            return failure;
    }
    return nullptr;
}

// A reject counts once, whatever its own count.
const char* relay_summary_builder::add_ruleset_rejects()
{
    for (const ruleset_reject_stat& reject : host_.ruleset.rejects) {
        std::uint32_t row = find(reject.relay_name, reject.relay_ip_bin);
        if (row == no_row)
            continue;
        if (const char* failure = senders_.count(row, reject.env_from, reject.from_host))
            return failure;
        count_reject(host_.summary.relays[row], &summary_relay_stat::rulrej);
    }
    return nullptr;
}

const char* relay_summary_builder::add_milter_rejects()
{
    for (const milter_reject_stat& reject : host_.milter.rejects) {
        std::uint32_t row = find(reject.relay_name, reject.relay_ip_bin);
        if (row == no_row)
            continue;
        if (const char* failure = senders_.count(row, reject.env_from, reject.from_host))
            return failure;
        count_reject(host_.summary.relays[row], &summary_relay_stat::milrej);
        if (reject.env_to == nullptr)
            continue;
        if (const char* failure = recipients_.count(row, reject.env_to, reject.to_host))
            return failure;
    }
    return nullptr;
}

// A client is its host name (the cut client text) with its address.
void relay_summary_builder::add_no_action_clients()
{
    for (const msg_no_action* client = host_.messages.no_action_list.head; client; client = client->next) {
        std::uint32_t row = find(client->client_txt, client->relay_info.ip_bin_addr);
        if (row != no_row)
            count_reject(host_.summary.relays[row], &summary_relay_stat::nonact);
    }
}

const char* relay_summary_builder::build()
{
    if (const char* failure = add_relay_senders())
        return failure;
    if (const char* failure = add_env_pairs())
        return failure;
    if (const char* failure = add_ruleset_rejects())
        return failure;
    if (const char* failure = add_milter_rejects())
        return failure;
    add_no_action_clients();
    return nullptr;
}

// ---- summary by recipient ------------------------------------------------

// Deliveries of a pair whose status names a virus, in any letter case.
std::uint32_t virus_deliveries(const env_pair_stat& pair)
{
    std::uint32_t viruses = 0;
    for (const pair_status* status = pair.statuses_head; status; status = status->next)
        if (is_virus_status(*status))
            viruses += status->count;
    return viruses;
}

// The counts one record adds to a recipient row.
struct recipient_counts {
    std::uint32_t msgs;
    std::uint32_t milrej;
    std::uint32_t viruses;
};

class recipient_summary_builder {
public:
    // At most one row per pair and milter reject, and more for other recipients.
    explicit recipient_summary_builder(host_info& host) : host_(host)
    {
        host_.summary.recipients.reserve(host_.envelope.pairs.size() + host_.milter.rejects.size());
        advise_huge_pages(host_.summary.recipients);
    }

    // Every step for the host; the failure message, or null.
    const char* build();

private:
    const char* count(const char* name, const recipient_counts& counts, const char* no_memory);

    host_info& host_;
    name_index rows_;
};

const char* recipient_summary_builder::count(const char* name, const recipient_counts& counts, const char* no_memory)
{
    try {
        const std::size_t hash = text_hash(name);
        if (const std::uint32_t* found = rows_.find(name, hash)) {
            summary_rcpt_stat& row = host_.summary.recipients[*found];
            row.msgs += counts.msgs;
            row.milrej += counts.milrej;
            row.viruses += counts.viruses;
            row.total += counts.msgs + counts.milrej;
            return nullptr;
        }
        summary_rcpt_stat row{};
        row.name = name;
        row.msgs = counts.msgs;
        row.milrej = counts.milrej;
        row.viruses = counts.viruses;
        row.total = counts.msgs + counts.milrej;
        host_.summary.recipients.push_back(row);
        rows_.try_emplace(row.name, hash, static_cast<std::uint32_t>(host_.summary.recipients.size() - 1));
        return nullptr;
    } catch (const std::bad_alloc&) {
        return no_memory;
    }
}

const char* recipient_summary_builder::build()
{
    for (const env_pair_stat& pair : host_.envelope.pairs) {
        if (const char* failure = count(pair.recipient, {pair.count, 0, virus_deliveries(pair)}, no_memory_rcpt_pair))
            return failure;
        for (const other_rcpt* other = pair.other_rcpts_head; other; other = other->next)
            if (const char* failure = count(other->name, {other->count, 0, 0}, no_memory_rcpt_other))
                return failure;
    }
    for (const milter_reject_stat& reject : host_.milter.rejects) {
        if (reject.env_to == nullptr)
            continue;
        if (const char* failure = count(reject.env_to, {0, reject.count, 0}, no_memory_rcpt_milter))
            return failure;
    }
    return nullptr;
}

// A builder class run as the per-host step of build_each_host.
template <class Builder>
const char* build_with(host_info& host)
{
    Builder builder(host);
    return builder.build();
}

}  // namespace

int build_relay_summary()
{
    return build_each_host(build_with<relay_summary_builder>, no_memory_relay);
}

int build_recipient_summary()
{
    return build_each_host(build_with<recipient_summary_builder>, no_memory_rcpt_pair);
}
