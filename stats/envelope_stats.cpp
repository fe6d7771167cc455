// Building the envelope statistics: per host, the pairs (sender relay,
// sender, recipient) with their other recipients and statuses, and the
// sender and recipient tables. Reads the messages chain, whose texts come
// from the log and may be absent: an absent text is a key of its own and is
// never dereferenced. Every record is found through a hash index local to
// the build; the tables keep the order of first appearance. Also the virus
// rule of a pair's statuses, shared by the summary and the envelope report.
#include "stats/envelope_stats.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "driver/messages.h"
#include "util/huge_pages.h"
#include "util/text_util.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/flat_index.h"
#include "stats/text_keys.h"

namespace {

const char* const no_memory_pair = "ERROR: cannot get memory for envelope pair stat!\n";
const char* const no_memory_others_first = "ERROR: cannot get memory for other recipients list [1]!\n";
const char* const no_memory_others_more = "ERROR: cannot get memory for other recipients list [2]!\n";
const char* const no_memory_status_first = "ERROR: cannot get memory for message status list [1]!\n";
const char* const no_memory_status_more = "ERROR: cannot get memory for message status list [2]!\n";
const char* const no_memory_sender = "ERROR: cannot get memory for envelope senders stat!\n";
const char* const no_memory_rcpt = "ERROR: cannot get memory for envelope recipients stat (1)!\n";
const char* const no_memory_other_rcpt = "ERROR: cannot get memory for envelope recipients stat (2)!\n";

// ---- index keys (texts may be absent) ------------------------------------

// The key of a pair: sending relay name, sender, recipient (case-sensitive).
struct pair_key {
    const char* relay;
    const char* sender;
    const char* recipient;
};

struct pair_key_equal {
    bool operator()(const pair_key& a, const pair_key& b) const
    {
        return same_text(a.relay, b.relay) && same_text(a.sender, b.sender) && same_text(a.recipient, b.recipient);
    }
};

// A text within one pair: an other recipient (case-sensitive) or a status
// text (letter case ignored).
struct pair_text_key {
    std::uint32_t pair;
    const char* text;
};

template <bool Fold>
std::size_t pair_text_hash(std::uint32_t pair, const char* text)
{
    return hash_combine(pair, Fold ? text_hash_nocase(text) : text_hash(text));
}

template <bool Fold>
struct pair_text_equal {
    bool operator()(const pair_text_key& a, const pair_text_key& b) const
    {
        return a.pair == b.pair && (Fold ? same_text_nocase(a.text, b.text) : same_text(a.text, b.text));
    }
};

// An address of the sender or recipient table (case-sensitive).
using name_index = flat_index<const char*, std::uint32_t, text_key_equal>;

constexpr std::uint32_t not_counted = UINT32_MAX;

// The sender side of one message, hashed once for all its deliveries; its
// position in the sender table once its first delivery counted it.
struct message_sender {
    explicit message_sender(const msg_from& sender)
        : from(sender),
          sender_hash(text_hash(sender.env_from)),
          pair_seed(hash_combine(text_hash(sender.relay_info.dom_name), sender_hash))
    {
    }

    const msg_from& from;
    std::size_t sender_hash;
    std::size_t pair_seed;  // the pair hash before the recipient
    std::uint32_t member = not_counted;
};

// ---- the builder of one host -------------------------------------------

class envelope_builder {
public:
    explicit envelope_builder(host_info& host) : host_(host), memory_(host.memory)
    {
        // A host has at most one pair and one sender per delivery; room
        // reserved and not used is never touched.
        host_.envelope.pairs.reserve(host_.general.out_messages);
        host_.envelope.senders.reserve(host_.general.out_messages);
        host_.envelope.recipients.reserve(host_.general.out_messages);
        advise_huge_pages(host_.envelope.pairs);
        advise_huge_pages(host_.envelope.senders);
        advise_huge_pages(host_.envelope.recipients);
    }

    // Counts one delivery of a message into the tables; the message of the
    // step whose memory ran out, else null.
    const char* add(message_sender& sender, const msg_to& to);

private:
    bool count_pair(const msg_from& from, const msg_to& to, std::size_t hash, std::uint32_t& index);
    bool make_pair(const msg_from& from, const msg_to& to, std::size_t hash, std::uint32_t& index);
    bool add_other_rcpts(std::uint32_t index, const msg_to& to);
    bool append_other(env_pair_stat& pair, std::uint32_t index, const char* name, std::size_t hash,
                      std::uint32_t count);
    bool add_status(std::uint32_t index, const msg_to& to);
    bool count_member(std::vector<env_mem_stat>& table, name_index& by_name, const char* name, std::size_t hash,
                      double size, std::uint32_t count, std::uint32_t& position);
    bool count_other_rcpts(const msg_to& to);

    host_info& host_;
    arena& memory_;
    flat_index<pair_key, std::uint32_t, pair_key_equal> pairs_;
    flat_index<pair_text_key, other_rcpt*, pair_text_equal<false>> others_;
    flat_index<pair_text_key, pair_status*, pair_text_equal<true>> statuses_;
    name_index senders_;
    name_index rcpts_;
};

bool envelope_builder::make_pair(const msg_from& from, const msg_to& to, std::size_t hash, std::uint32_t& index)
{
    env_pair_stat pair{};
    const relay_info& in = from.relay_info;
    const relay_info& out = to.relay_info;
    if (!copy_date(memory_, to.msg_time, pair.date))
        return false;
    pair.sender = from.env_from;
    pair.recipient = to.env_to;
    pair.from_relay = in.dom_name;
    pair.to_relay = out.dom_name;
    pair.from_relay_dom_l1 = in.dom_name_lvl_1;
    pair.from_relay_dom_l2 = in.dom_name_lvl_2;
    pair.from_geo_dom = in.geo_dom_name_lvl_1;
    pair.from_host = from.env_name_info.host_name;
    pair.to_host = to.env_name_info.host_name;
    pair.from_dom_l1 = from.env_name_info.dom_name_lvl_1;
    pair.from_dom_l2 = from.env_name_info.dom_name_lvl_2;
    pair.from_ip = in.ip_address;
    pair.to_ip = out.ip_address;
    pair.from_ip_bin = in.ip_bin_addr;
    pair.to_ip_bin = out.ip_bin_addr;
    pair.size = from.siz;
    pair.count = 1;
    index = static_cast<std::uint32_t>(host_.envelope.pairs.size());
    host_.envelope.pairs.push_back(pair);
    pairs_.try_emplace(pair_key{pair.from_relay, pair.sender, pair.recipient}, hash, index);
    return true;
}

bool envelope_builder::count_pair(const msg_from& from, const msg_to& to, std::size_t hash, std::uint32_t& index)
{
    const std::uint32_t* found = pairs_.find(pair_key{from.relay_info.dom_name, from.env_from, to.env_to}, hash);
    if (found == nullptr) {
        if (!make_pair(from, to, hash, index))
            return false;
    } else {
        index = *found;
        env_pair_stat& pair = host_.envelope.pairs[index];
        ++pair.count;
        pair.size += from.siz;
    }
    ++host_.envelope.pair_refs;
    return true;
}

// Appends a copy of an other recipient to the pair and indexes it; an
// earlier entry of the same name keeps the index (a search finds the first).
bool envelope_builder::append_other(env_pair_stat& pair, std::uint32_t index, const char* name, std::size_t hash,
                                    std::uint32_t count)
{
    other_rcpt* entry = memory_.make<other_rcpt>();
    if (entry == nullptr)
        return false;
    entry->name = name;
    entry->count = count;
    if (pair.other_rcpts_tail)
        pair.other_rcpts_tail->next = entry;
    else
        pair.other_rcpts_head = entry;
    pair.other_rcpts_tail = entry;
    others_.try_emplace(pair_text_key{index, entry->name}, hash, entry);
    return true;
}

// Into an empty list every entry is copied as it is, equal names included;
// otherwise each name adds 1 to the first entry of that name, or is appended
// with its own count.
bool envelope_builder::add_other_rcpts(std::uint32_t index, const msg_to& to)
{
    env_pair_stat& pair = host_.envelope.pairs[index];
    if (pair.other_rcpts_head == nullptr) {
        for (const rcpt_to* r = to.p_rcpt_head; r; r = r->next)
            if (!append_other(pair, index, r->name, pair_text_hash<false>(index, r->name), r->count))
                return false;
        return true;
    }
    for (const rcpt_to* r = to.p_rcpt_head; r; r = r->next) {
        const std::size_t hash = pair_text_hash<false>(index, r->name);
        if (other_rcpt** found = others_.find(pair_text_key{index, r->name}, hash))
            ++(*found)->count;
        else if (!append_other(pair, index, r->name, hash, r->count))
            return false;
    }
    return true;
}

// Status texts merge without regard to letter case; a delivery without a
// status adds none.
bool envelope_builder::add_status(std::uint32_t index, const msg_to& to)
{
    if (to.msg_stat == nullptr)
        return true;
    const std::size_t hash = pair_text_hash<true>(index, to.msg_stat);
    if (pair_status** found = statuses_.find(pair_text_key{index, to.msg_stat}, hash)) {
        ++(*found)->count;
        (*found)->last_time = to.msg_time;
        return true;
    }
    pair_status* status = memory_.make<pair_status>();
    if (status == nullptr)
        return false;
    status->status = to.msg_stat;
    status->count = 1;
    status->first_time = status->last_time = to.msg_time;
    env_pair_stat& pair = host_.envelope.pairs[index];
    if (pair.statuses_tail)
        pair.statuses_tail->next = status;
    else
        pair.statuses_head = status;
    pair.statuses_tail = status;
    statuses_.try_emplace(pair_text_key{index, status->status}, hash, status);
    return true;
}

// Adds size and count to the member of `name` (hashed to `hash`), or appends
// a new member; `position` is where it stands in the table.
bool envelope_builder::count_member(std::vector<env_mem_stat>& table, name_index& by_name, const char* name,
                                    std::size_t hash, double size, std::uint32_t count, std::uint32_t& position)
{
    if (const std::uint32_t* found = by_name.find(name, hash)) {
        position = *found;
        env_mem_stat& member = table[position];
        member.size += size;
        member.count += count;
        return true;
    }
    env_mem_stat member{};
    member.name = name;
    member.size = size;
    member.count = count;
    position = static_cast<std::uint32_t>(table.size());
    table.push_back(member);
    by_name.try_emplace(member.name, hash, position);
    return true;
}

// Other recipients add their count to the recipient table, never a size,
// and make no pair.
bool envelope_builder::count_other_rcpts(const msg_to& to)
{
    std::uint32_t position = 0;
    for (const rcpt_to* r = to.p_rcpt_head; r; r = r->next)
        if (!count_member(host_.envelope.recipients, rcpts_, r->name, text_hash(r->name), 0, r->count, position))
            return false;
    return true;
}

const char* envelope_builder::add(message_sender& sender, const msg_to& to)
{
    const msg_from& from = sender.from;
    const std::size_t rcpt_hash = text_hash(to.env_to);
    std::uint32_t index = 0;
    if (const char* failure = guarded(no_memory_pair, [&] {
            return count_pair(from, to, hash_combine(sender.pair_seed, rcpt_hash), index);
        }))
        return failure;
    const env_pair_stat& pair = host_.envelope.pairs[index];
    const char* others_failure = pair.other_rcpts_head ? no_memory_others_more : no_memory_others_first;
    if (const char* failure = guarded(others_failure, [&] { return add_other_rcpts(index, to); }))
        return failure;
    const char* status_failure = pair.statuses_head ? no_memory_status_more : no_memory_status_first;
    if (const char* failure = guarded(status_failure, [&] { return add_status(index, to); }))
        return failure;
    const double size = from.siz;
    if (sender.member != not_counted) {
        // A message's later deliveries add to the member its first one found.
        env_mem_stat& member = host_.envelope.senders[sender.member];
        member.size += size;
        member.count += 1;
    } else if (const char* failure = guarded(no_memory_sender, [&] {
                   return count_member(host_.envelope.senders, senders_, from.env_from, sender.sender_hash, size, 1,
                                       sender.member);
               })) {
        return failure;
    }
    std::uint32_t position = 0;
    if (const char* failure = guarded(no_memory_rcpt, [&] {
            return count_member(host_.envelope.recipients, rcpts_, to.env_to, rcpt_hash, size, 1, position);
        }))
        return failure;
    return guarded(no_memory_other_rcpt, [&] { return count_other_rcpts(to); });
}

const char* build_host(host_info& host)
{
    envelope_builder builder(host);
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        prefetch_next_message(*item);
        message_sender sender(*item->p_from);
        for (const msg_to* to = item->p_to; to; to = to->next)
            if (const char* failure = builder.add(sender, *to))
                return failure;
    }
    return nullptr;
}

}  // namespace

int build_envelope_statistics()
{
    return build_each_host(build_host, no_memory_pair);
}

bool is_virus_status(const pair_status& status)
{
    return status.status && find_nocase(status.status, "Virus");
}

bool is_virus_pair(const env_pair_stat& pair)
{
    for (const pair_status* status = pair.statuses_head; status; status = status->next)
        if (is_virus_status(*status))
            return true;
    return false;
}
