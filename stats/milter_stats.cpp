// Building the milter reject statistics: per host, the milter rejects (one
// record per sender, sender relay, reason and recipient), the reject reasons
// and the recipients of milter rejects, from the host's milter chain. The
// message model is trusted (made by the input phase) but any of its texts
// may be absent: an absent key matches only an absent one and is never
// dereferenced. Records keep their order of first appearance; hash indexes
// local to the build find them.
#include "stats/milter_stats.h"

#include <strings.h>

#include <cstddef>
#include <limits>
#include <unordered_map>
#include <vector>

#include "driver/messages.h"
#include "util/text_util.h"
#include "model/address_parts.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "stats/text_keys.h"

namespace {

const char* const no_memory_reject = "ERROR: cannot get memory for milter reject stat!\n";
const char* const cannot_split_rcpt = "ERROR: cannot parse milter reject(env-to)!\n";
const char* const no_memory_reason = "ERROR: cannot get memory for reject reason stat!\n";
const char* const no_memory_rcpt = "ERROR: cannot get memory for env_mem by milter_reject!\n";

constexpr std::uint32_t no_record = std::numeric_limits<std::uint32_t>::max();

// ---- index keys (texts may be absent) ------------------------------------

// What makes records candidates for the same reject: sender, sender relay
// name and reason, all compared exactly.
struct reject_key {
    const char* sender;
    const char* relay;
    const char* reason;
};

struct reject_key_hash {
    std::size_t operator()(const reject_key& key) const
    {
        std::size_t hash = hash_combine(text_hash(key.sender), text_hash(key.relay));
        return hash_combine(hash, text_hash(key.reason));
    }
};

struct reject_key_equal {
    bool operator()(const reject_key& a, const reject_key& b) const
    {
        return same_text(a.sender, b.sender) && same_text(a.relay, b.relay) && same_text(a.reason, b.reason);
    }
};

// The candidates of one key, by the record positions that decide a match:
// the first of all, and the first without a recipient.
struct candidates {
    std::uint32_t first = no_record;
    std::uint32_t first_without_rcpt = no_record;
};

// A recipient among the candidates of one key; letter case is ignored.
struct rcpt_key {
    std::uint32_t group;
    const char* recipient;
};

struct rcpt_key_hash {
    std::size_t operator()(const rcpt_key& key) const { return hash_combine(key.group, text_hash_nocase(key.recipient)); }
};

struct rcpt_key_equal {
    bool operator()(const rcpt_key& a, const rcpt_key& b) const
    {
        return a.group == b.group && same_text_nocase(a.recipient, b.recipient);
    }
};

// A reason or a recipient address, compared exactly.
using text_index = std::unordered_map<const char*, std::uint32_t, text_key_hash, text_key_equal>;

// ---- the builder of one host ---------------------------------------------

class milter_builder {
public:
    explicit milter_builder(host_info& host) : host_(host), memory_(host.memory) {}

    // Counts one milter reject into the three tables; the message of the
    // step that failed, else null.
    const char* add(const msg_milter& milter, const msg_from& from);

private:
    std::uint32_t find_match(const reject_key& key, const char* recipient) const;
    void merge(milter_reject_stat& reject, const msg_milter& milter, const msg_from& from);
    const char* count_reject(const msg_milter& milter, const msg_from& from);
    const char* make_reject(const msg_milter& milter, const msg_from& from);
    const char* fill_reject(milter_reject_stat& reject, const msg_milter& milter, const msg_from& from);
    void index_reject(std::uint32_t position);
    void count_reason(const char* reason);
    void count_recipient(const char* recipient, double size);

    host_info& host_;
    arena& memory_;
    std::unordered_map<reject_key, std::uint32_t, reject_key_hash, reject_key_equal> groups_;
    std::vector<candidates> candidates_;
    std::unordered_map<rcpt_key, std::uint32_t, rcpt_key_hash, rcpt_key_equal> recipients_in_group_;
    text_index reasons_;
    text_index recipients_;
};

// The first record of the key, in list order, that takes a reject to
// `recipient`: any record when the reject has no recipient, else a record
// without recipient or with the same one in any letter case.
std::uint32_t milter_builder::find_match(const reject_key& key, const char* recipient) const
{
    auto group = groups_.find(key);
    if (group == groups_.end())
        return no_record;
    const candidates& found = candidates_[group->second];
    if (recipient == nullptr)
        return found.first;
    std::uint32_t match = found.first_without_rcpt;
    auto same_rcpt = recipients_in_group_.find(rcpt_key{group->second, recipient});
    if (same_rcpt != recipients_in_group_.end() && (match == no_record || same_rcpt->second < match))
        match = same_rcpt->second;
    return match;
}

// A merge that compared two recipients also moves the last time.
void milter_builder::merge(milter_reject_stat& reject, const msg_milter& milter, const msg_from& from)
{
    ++reject.count;
    if (milter.env_to != nullptr && reject.env_to != nullptr)
        reject.last_time = from.msg_time;
    if (from.siz != 0) {
        reject.size += from.siz;
        host_.milter.size += from.siz;
    }
}

const char* milter_builder::fill_reject(milter_reject_stat& reject, const msg_milter& milter, const msg_from& from)
{
    if (!copy_date(memory_, milter.msg_time, reject.date))
        return no_memory_reject;
    reject.env_to = milter.env_to;
    if (reject.env_to != nullptr) {
        reject.to_name_info = split_address(memory_, reject.env_to);
        if (!split_complete(reject.env_to, reject.to_name_info))
            return cannot_split_rcpt;
        reject.to_host = reject.to_name_info.host_name;
    }
    const relay_info& relay = from.relay_info;
    reject.reason = milter.reject_txt;
    reject.relay_name = relay.dom_name;
    reject.count = 1;
    reject.size = from.siz;
    reject.first_time = reject.last_time = milter.msg_time;
    reject.env_from = from.env_from;
    reject.from_host = from.env_name_info.host_name;
    reject.from_dom_l1 = from.env_name_info.dom_name_lvl_1;
    reject.from_dom_l2 = from.env_name_info.dom_name_lvl_2;
    reject.relay_ip = relay.ip_address;
    reject.relay_ip_bin = relay.ip_bin_addr;
    reject.relay_geo_dom = relay.geo_dom_name_lvl_1;
    reject.relay_dom_l1 = relay.dom_name_lvl_1;
    reject.relay_dom_l2 = relay.dom_name_lvl_2;
    return nullptr;
}

// Enters the record at `position` into the indexes of its key; earlier
// records keep their places, so each index names the first in list order.
void milter_builder::index_reject(std::uint32_t position)
{
    const milter_reject_stat& reject = host_.milter.rejects[position];
    auto [group, added] = groups_.try_emplace(reject_key{reject.env_from, reject.relay_name, reject.reason},
                                              static_cast<std::uint32_t>(candidates_.size()));
    if (added)
        candidates_.emplace_back();
    candidates& found = candidates_[group->second];
    if (found.first == no_record)
        found.first = position;
    if (reject.env_to == nullptr) {
        if (found.first_without_rcpt == no_record)
            found.first_without_rcpt = position;
    } else {
        recipients_in_group_.try_emplace(rcpt_key{group->second, reject.env_to}, position);
    }
}

const char* milter_builder::make_reject(const msg_milter& milter, const msg_from& from)
{
    milter_reject_stat reject{};
    if (const char* failure = fill_reject(reject, milter, from))
        return failure;
    host_.milter.rejects.push_back(reject);
    index_reject(static_cast<std::uint32_t>(host_.milter.rejects.size() - 1));
    if (from.siz != 0)
        host_.milter.size += from.siz;
    return nullptr;
}

const char* milter_builder::count_reject(const msg_milter& milter, const msg_from& from)
{
    const reject_key key{from.env_from, from.relay_info.dom_name, milter.reject_txt};
    std::uint32_t match = find_match(key, milter.env_to);
    if (match == no_record) {
        if (const char* failure = make_reject(milter, from))
            return failure;
    } else {
        merge(host_.milter.rejects[match], milter, from);
    }
    ++host_.milter.refs;
    return nullptr;
}

void milter_builder::count_reason(const char* reason)
{
    auto found = reasons_.find(reason);
    if (found != reasons_.end()) {
        ++host_.milter.reasons[found->second].count;
    } else {
        reject_reason_stat record{};
        record.reason = reason;
        record.count = 1;
        host_.milter.reasons.push_back(record);
        reasons_.emplace(record.reason, static_cast<std::uint32_t>(host_.milter.reasons.size() - 1));
    }
    ++host_.milter.reason_refs;
}

void milter_builder::count_recipient(const char* recipient, double size)
{
    auto found = recipients_.find(recipient);
    if (found != recipients_.end()) {
        env_mem_stat& member = host_.milter.recipients[found->second];
        ++member.count;
        member.size += size;
    } else {
        env_mem_stat member{};
        member.name = recipient;
        member.size = size;
        member.count = 1;
        host_.milter.recipients.push_back(member);
        recipients_.emplace(member.name, static_cast<std::uint32_t>(host_.milter.recipients.size() - 1));
    }
    ++host_.milter.recipient_refs;
}

const char* milter_builder::add(const msg_milter& milter, const msg_from& from)
{
    if (const char* failure = guarded_message(no_memory_reject, [&] { return count_reject(milter, from); }))
        return failure;
    // The tables below can fail only to grow.
    if (const char* failure = guarded(no_memory_reason, [&] { count_reason(milter.reject_txt); return true; }))
        return failure;
    if (milter.env_to == nullptr)
        return nullptr;
    return guarded(no_memory_rcpt, [&] { count_recipient(milter.env_to, from.siz); return true; });
}

const char* build_host(host_info& host)
{
    milter_builder builder(host);
    for (const milter_chain_item* item = host.messages.milter_chain.head; item; item = item->next) {
        if (item->p_mil == nullptr || item->p_from == nullptr)
            continue;
        if (const char* failure = builder.add(*item->p_mil, *item->p_from))
            return failure;
    }
    return nullptr;
}

}  // namespace

int build_milter_statistics()
{
    return build_each_host(build_host, no_memory_reject);
}
