// Building the general statistics. Reads the message model of each host
// (input-phase records, trusted by now) and fills the host's totals,
// distributions and status table; the only writer of those fields.
#include "stats/general_stats.h"

#include <new>
#include <string>
#include <unordered_map>

#include "driver/messages.h"
#include "driver/settings.h"
#include "driver/text_util.h"
#include "stats/host_info.h"
#include "stats/list_dump.h"
#include "stats/text_keys.h"

namespace {

// Totals and rates that follow from the input counters.
void build_totals(host_info& host)
{
    host.total_time = static_cast<double>(host.last_entry - host.first_entry);
    host.in_messages = host.msg_chains;
    host.in_connects =
        host.from_msgs_ooo + host.msg_chains + host.milter_chains + host.ruleset_chains + host.no_action_msgs;
    host.out_unknown_user = host.unknown_user_msgs;
    if (host.msg_chains != 0)
        host.in_avg_size = host.in_total_size / host.msg_chains;
    host.in_per_sec = host.in_per_min = host.in_per_hour = 0;
    if (host.total_time > 0)
        host.in_per_sec = host.in_messages / host.total_time;
    if (host.total_time / 60 >= 1)
        host.in_per_min = host.in_messages / (host.total_time / 60);
    if (host.total_time / 3600 >= 1)
        host.in_per_hour = host.in_messages / (host.total_time / 3600);
}

// One inbound connect in the hour and weekday of a sender line.
void count_connect(host_info& host, const msg_from& sender)
{
    ++host.hour_connects[sender.hr];
    ++host.wday_connects[sender.wd];
    if (host.wday_mday[sender.wd] == 0)
        host.wday_mday[sender.wd] = sender.md;
}

void count_delivery(host_info& host, const msg_from& sender, const msg_to& delivery)
{
    ++host.hour_out[delivery.hr];
    ++host.wday_out[delivery.wd];
    ++host.out_messages;
    switch (delivery.stat) {
    case 1: ++host.out_sent; break;
    case 2: ++host.out_deferred; break;
    case 3: ++host.out_unknown_user; break;
    case 4: ++host.out_queued; break;
    case 5: ++host.out_host_unavail; break;
    case 6: ++host.out_service_unavail; break;
    case 7:
        // A virus counts in the hour and weekday its message came in.
        ++host.out_viruses;
        ++host.hour_viruses[sender.hr];
        ++host.wday_viruses[sender.wd];
        break;
    default: ++host.out_other_error; break;
    }
}

template <class Chain>
void count_rejects(host_info& host, const Chain& chain)
{
    for (auto* item = chain.head; item; item = item->next) {
        const msg_from& sender = *item->p_from;
        count_connect(host, sender);
        ++host.hour_rejects[sender.hr];
        ++host.wday_rejects[sender.wd];
    }
}

void count_non_active_clients(host_info& host)
{
    for (const msg_no_action* client = host.no_action_list.head; client; client = client->next) {
        ++host.hour_connects[client->hr];
        ++host.wday_connects[client->wd];
        if (host.wday_mday[client->wd] == 0)
            host.wday_mday[client->wd] = client->md;
    }
}

// Status texts equal without regard to case share one entry.
struct status_text_hash {
    std::size_t operator()(const char* text) const { return text_hash_nocase(text); }
};

struct status_text_equal {
    bool operator()(const char* a, const char* b) const { return same_text_nocase(a, b); }
};

// The status texts of one host's chained deliveries: equal texts in any
// letter case share the entry of their first appearance.
class status_table_builder {
public:
    explicit status_table_builder(host_info& host) : host_(host) {}

    // False when memory ran out.
    bool add(const msg_to& delivery)
    {
        if (delivery.msg_stat == nullptr)
            return true;
        status_entry*& entry = by_text_[delivery.msg_stat];
        ++host_.status_total;
        if (entry != nullptr) {
            ++entry->count;
            return true;
        }
        entry = host_.memory.make<status_entry>();
        if (entry == nullptr || (entry->text = host_.memory.save_text(delivery.msg_stat)) == nullptr)
            return false;
        entry->count = 1;
        host_.status_list.append(entry);
        ++host_.status_distinct;
        return true;
    }

private:
    host_info& host_;
    // Keys point at the deliveries' own status texts, which live until exit.
    std::unordered_map<const char*, status_entry*, status_text_hash, status_text_equal> by_text_;
};

// Counts the messages of the chain and, in the same walk while `statuses_ok`
// holds, their status texts; `statuses_ok` turns false when memory ran out.
void count_messages(host_info& host, bool& statuses_ok)
{
    status_table_builder statuses(host);
    for (const msg_chain_item* item = host.msg_chain.head; item; item = item->next) {
        const msg_from& sender = *item->p_from;
        count_connect(host, sender);
        ++host.hour_in[sender.hr];
        ++host.wday_in[sender.wd];
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            count_delivery(host, sender, *delivery);
            if (statuses_ok) {
                try {
                    statuses_ok = statuses.add(*delivery);
                } catch (const std::bad_alloc&) {
                    statuses_ok = false;
                }
            }
        }
    }
    for (const msg_from* sender = host.from_list.head; sender; sender = sender->next)
        count_connect(host, *sender);
}

}  // namespace

int build_general_information()
{
    bool statuses_ok = true;
    for (host_info& host : used_hosts()) {
        build_totals(host);
        count_messages(host, statuses_ok);
        host.ruleset_rejects = host.ruleset_chains;
        host.milter_rejects = host.milter_chains;
        count_rejects(host, host.ruleset_chain);
        count_rejects(host, host.milter_chain);
        count_non_active_clients(host);
        if (settings.verbose && settings.verbose_level > 0)
            dump_message_lists(host);
    }
    if (!statuses_ok) {
        error_message("ERROR: cannot get memory for message status!\n");
        return 1;
    }
    return 0;
}
