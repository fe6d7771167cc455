// Building the ruleset reject statistics: one record per sender address,
// sender relay and reject reason of each host's rulesets chain. The message
// model is trusted (made by the input phase); any of the three key texts may
// be absent, and an absent text matches only an absent one. Records keep
// their order of first appearance; a local hash index finds them.
#include "stats/ruleset_stats.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <unordered_map>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/text_keys.h"

namespace {

// Sender address, relay name and reason; each may be absent.
using reject_index = std::unordered_map<text_triple, std::size_t, text_triple_hash, text_triple_equal>;

void add_size(host_info& host, ruleset_reject_stat& reject, std::uint32_t size)
{
    if (size == 0)
        return;
    reject.size += size;
    host.ruleset.size += size;
}

// A new record for the reject of `rule` tied to `sender` (the table may
// throw std::bad_alloc).
void append_reject(host_info& host, reject_index& index, const msg_ruleset& rule, const msg_from& sender)
{
    ruleset_reject_stat reject{};
    reject.reason = rule.reject_txt;
    reject.relay_name = sender.relay_info.dom_name;
    reject.count = 1;
    reject.env_from = sender.env_from;
    reject.from_host = sender.env_name_info.host_name;
    reject.relay_ip = sender.relay_info.ip_address;
    reject.relay_ip_bin = sender.relay_info.ip_bin_addr;
    add_size(host, reject, sender.siz);
    host.ruleset.rejects.push_back(reject);
    index.emplace(text_triple{reject.env_from, reject.relay_name, reject.reason}, host.ruleset.rejects.size() - 1);
}

// False when memory ran out.
bool build_host(host_info& host)
{
    reject_index index;
    try {
        for (const ruleset_chain_item* item = host.messages.ruleset_chain.head; item; item = item->next) {
            const msg_ruleset& rule = *item->p_rul;
            const msg_from& sender = *item->p_from;
            auto found = index.find(text_triple{sender.env_from, sender.relay_info.dom_name, rule.reject_txt});
            if (found != index.end()) {
                ruleset_reject_stat& reject = host.ruleset.rejects[found->second];
                ++reject.count;
                add_size(host, reject, sender.siz);
            } else {
                append_reject(host, index, rule, sender);
            }
            ++host.ruleset.refs;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

int build_ruleset_statistics()
{
    for (host_info& host : used_hosts())
        if (!build_host(host)) {
            error_message("ERROR: cannot get memory for ruleset reject stat!\n");
            return 1;
        }
    return 0;
}
