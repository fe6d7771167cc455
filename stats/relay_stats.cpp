// Building the relay statistics: the relay pairs, senders and recipients of
// each host's messages chain. The message model is trusted (made by the input
// phase); any of its texts may be absent. Records keep their order of first
// appearance; a local hash index per table finds them, with names compared
// exactly (case-sensitive), and is dropped when the host is done.
#include "stats/relay_stats.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/flat_index.h"
#include "stats/text_keys.h"
#include "util/huge_pages.h"

namespace {

// An incoming and an outgoing relay name, both present.
struct relay_pair_key {
    const char* from;
    const char* to;
};

struct relay_pair_equal {
    bool operator()(const relay_pair_key& a, const relay_pair_key& b) const
    {
        return std::strcmp(a.from, b.from) == 0 && std::strcmp(a.to, b.to) == 0;
    }
};

// Relay senders or recipients by name (present names only).
using member_index = flat_index<const char*, std::uint32_t, text_key_equal>;

constexpr std::uint32_t not_counted = UINT32_MAX;

// The incoming relay of one message, hashed once for all its deliveries;
// its position in the sender table once its first delivery counted it.
struct incoming_relay {
    explicit incoming_relay(const msg_from& from) : sender(from), hash(text_hash(from.relay_info.dom_name)) {}

    const msg_from& sender;
    std::size_t hash;
    std::uint32_t member = not_counted;
};

// The three tables of one host with their indexes. Each count_ function
// takes only relays whose name is present and returns false when memory ran
// out (std::bad_alloc or a failed copy).
class relay_tables {
public:
    // A host has at most one record of each table per delivery; room
    // reserved and not used is never touched.
    explicit relay_tables(host_info& host) : host_(host)
    {
        host_.relay.pairs.reserve(host_.general.out_messages);
        host_.relay.senders.reserve(host_.general.out_messages);
        host_.relay.recipients.reserve(host_.general.out_messages);
        advise_huge_pages(host_.relay.pairs);
        advise_huge_pages(host_.relay.senders);
        advise_huge_pages(host_.relay.recipients);
    }

    bool count_pair(const incoming_relay& in, const msg_to& delivery, std::size_t out_hash);
    bool count_sender(incoming_relay& in);
    bool count_recipient(const msg_from& sender, const msg_to& delivery, std::size_t out_hash);

private:
    void append_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                       std::size_t hash, std::uint32_t size, std::uint32_t& position);
    bool count_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                      std::size_t hash, std::uint32_t size, std::uint32_t& position);

    host_info& host_;
    flat_index<relay_pair_key, std::uint32_t, relay_pair_equal> pairs_;
    member_index senders_;
    member_index recipients_;
};

bool relay_tables::count_pair(const incoming_relay& incoming, const msg_to& delivery, std::size_t out_hash)
{
    const msg_from& sender = incoming.sender;
    const relay_info& in = sender.relay_info;
    const relay_info& out = delivery.relay_info;
    const std::size_t hash = hash_combine(incoming.hash, out_hash);
    try {
        if (const std::uint32_t* found = pairs_.find(relay_pair_key{in.dom_name, out.dom_name}, hash)) {
            relay_pair_stat& pair = host_.relay.pairs[*found];
            ++pair.count;
            pair.size += sender.siz;
            ++host_.relay.pair_refs;
            return true;
        }
        relay_pair_stat pair{};
        pair.from_relay = in.dom_name;
        pair.to_relay = out.dom_name;
        pair.from_ip = in.ip_address;
        pair.to_ip = out.ip_address;
        pair.size = sender.siz;
        pair.from_ip_bin = in.ip_bin_addr;
        pair.to_ip_bin = out.ip_bin_addr;
        pair.count = 1;
        host_.relay.pairs.push_back(pair);
        pairs_.try_emplace(relay_pair_key{pair.from_relay, pair.to_relay}, hash,
                           static_cast<std::uint32_t>(host_.relay.pairs.size() - 1));
        ++host_.relay.pair_refs;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A new member made from the relay of the message that names it first.
void relay_tables::append_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                                 std::size_t hash, std::uint32_t size, std::uint32_t& position)
{
    relay_mem_stat member{};
    member.name = relay.dom_name;
    member.dom_l1 = relay.dom_name_lvl_1;
    member.dom_l2 = relay.dom_name_lvl_2;
    member.ip = relay.ip_address;
    member.ip_bin = relay.ip_bin_addr;
    member.size = size;
    member.count = 1;
    position = static_cast<std::uint32_t>(table.size());
    table.push_back(member);
    index.try_emplace(member.name, hash, position);
}

bool relay_tables::count_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                                std::size_t hash, std::uint32_t size, std::uint32_t& position)
{
    try {
        const std::uint32_t* found = index.find(relay.dom_name, hash);
        if (found == nullptr) {
            append_member(table, index, relay, hash, size, position);
            return true;
        }
        position = *found;
        relay_mem_stat& member = table[position];
        ++member.count;
        member.size += size;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A message's later deliveries count into the member its first one found.
bool relay_tables::count_sender(incoming_relay& in)
{
    if (in.member == not_counted)
        return count_member(host_.relay.senders, senders_, in.sender.relay_info, in.hash, in.sender.siz, in.member);
    relay_mem_stat& member = host_.relay.senders[in.member];
    ++member.count;
    member.size += in.sender.siz;
    return true;
}

// The size of a delivery is the size of its message, from the sender line.
bool relay_tables::count_recipient(const msg_from& sender, const msg_to& delivery, std::size_t out_hash)
{
    std::uint32_t position = 0;
    return count_member(host_.relay.recipients, recipients_, delivery.relay_info, out_hash, sender.siz, position);
}

// Counts every delivery of the host's messages chain; the failure message,
// or null when all went well.
const char* build_host(host_info& host)
{
    relay_tables tables(host);
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        prefetch_next_message(*item);
        const msg_from& sender = *item->p_from;
        const bool incoming = sender.relay_info.dom_name != nullptr;
        incoming_relay in(sender);
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            const char* outgoing = delivery->relay_info.dom_name;
            const std::size_t out_hash = outgoing ? text_hash(outgoing) : 0;
            if (incoming && outgoing && !tables.count_pair(in, *delivery, out_hash))
                return "ERROR: cannot get memory for relay pair stat!\n";
            if (incoming && !tables.count_sender(in))
                return "ERROR: cannot get memory for relay senders stat!\n";
            if (outgoing && !tables.count_recipient(sender, *delivery, out_hash))
                return "ERROR: cannot get memory for relay recipients stat!\n";
        }
    }
    return nullptr;
}

}  // namespace

int build_relay_statistics()
{
    return build_each_host(build_host, "ERROR: cannot get memory for relay pair stat!\n");
}
