// Building the relay statistics: the relay pairs, senders and recipients of
// each host's messages chain. The message model is trusted (made by the input
// phase); any of its texts may be absent. Records keep their order of first
// appearance; a local hash index per table finds them, with names compared
// exactly (case-sensitive), and is dropped when the host is done.
#include "stats/relay_stats.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/text_keys.h"

namespace {

// An incoming and an outgoing relay name, both present.
struct relay_pair_key {
    std::string_view from;
    std::string_view to;
    bool operator==(const relay_pair_key&) const = default;
};

struct relay_pair_hash {
    std::size_t operator()(const relay_pair_key& key) const
    {
        std::hash<std::string_view> hash;
        return hash_combine(hash(key.from), hash(key.to));
    }
};

// Relay senders or recipients by name (present names only).
using member_index = std::unordered_map<std::string_view, std::size_t>;

// The three tables of one host with their indexes. Each count_ function
// takes only relays whose name is present and returns false when memory ran
// out (std::bad_alloc or a failed copy).
class relay_tables {
public:
    explicit relay_tables(host_info& host) : host_(host) {}

    bool count_pair(const msg_from& sender, const msg_to& delivery);
    bool count_sender(const msg_from& sender);
    bool count_recipient(const msg_from& sender, const msg_to& delivery);

private:
    bool append_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                       std::uint32_t size);
    bool count_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                      std::uint32_t size);

    host_info& host_;
    std::unordered_map<relay_pair_key, std::size_t, relay_pair_hash> pairs_;
    member_index senders_;
    member_index recipients_;
};

bool relay_tables::count_pair(const msg_from& sender, const msg_to& delivery)
{
    const relay_info& in = sender.relay_info;
    const relay_info& out = delivery.relay_info;
    try {
        auto found = pairs_.find(relay_pair_key{in.dom_name, out.dom_name});
        if (found != pairs_.end()) {
            relay_pair_stat& pair = host_.relay.pairs[found->second];
            ++pair.count;
            pair.size += sender.siz;
            ++host_.relay.pair_refs;
            return true;
        }
        relay_pair_stat pair{};
        if (!copy_text(host_.memory, in.dom_name, pair.from_relay) ||
            !copy_text(host_.memory, out.dom_name, pair.to_relay))
            return false;
        pair.from_ip = in.ip_address;
        pair.to_ip = out.ip_address;
        pair.size = sender.siz;
        pair.from_ip_bin = in.ip_bin_addr;
        pair.to_ip_bin = out.ip_bin_addr;
        pair.count = 1;
        host_.relay.pairs.push_back(pair);
        pairs_.emplace(relay_pair_key{pair.from_relay, pair.to_relay}, host_.relay.pairs.size() - 1);
        ++host_.relay.pair_refs;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A new member made from the relay of the message that names it first.
bool relay_tables::append_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                                 std::uint32_t size)
{
    relay_mem_stat member{};
    arena& memory = host_.memory;
    if (!copy_text(memory, relay.dom_name, member.name) || !copy_text(memory, relay.dom_name_lvl_1, member.dom_l1) ||
        !copy_text(memory, relay.dom_name_lvl_2, member.dom_l2))
        return false;
    member.ip = relay.ip_address;
    member.ip_bin = relay.ip_bin_addr;
    member.size = size;
    member.count = 1;
    table.push_back(member);
    index.emplace(member.name, table.size() - 1);
    return true;
}

bool relay_tables::count_member(std::vector<relay_mem_stat>& table, member_index& index, const relay_info& relay,
                                std::uint32_t size)
{
    try {
        auto found = index.find(relay.dom_name);
        if (found == index.end())
            return append_member(table, index, relay, size);
        relay_mem_stat& member = table[found->second];
        ++member.count;
        member.size += size;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool relay_tables::count_sender(const msg_from& sender)
{
    if (!count_member(host_.relay.senders, senders_, sender.relay_info, sender.siz))
        return false;
    return true;
}

// The size of a delivery is the size of its message, from the sender line.
bool relay_tables::count_recipient(const msg_from& sender, const msg_to& delivery)
{
    if (!count_member(host_.relay.recipients, recipients_, delivery.relay_info, sender.siz))
        return false;
    return true;
}

// Counts every delivery of the host's messages chain; the failure message,
// or null when all went well.
const char* build_host(host_info& host)
{
    relay_tables tables(host);
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        const msg_from& sender = *item->p_from;
        const char* incoming = sender.relay_info.dom_name;
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            const char* outgoing = delivery->relay_info.dom_name;
            if (incoming && outgoing && !tables.count_pair(sender, *delivery))
                return "ERROR: cannot get memory for relay pair stat!\n";
            if (incoming && !tables.count_sender(sender))
                return "ERROR: cannot get memory for relay senders stat!\n";
            if (outgoing && !tables.count_recipient(sender, *delivery))
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
