// Building the general statistics. Reads the message model of each host
// (input-phase records, trusted by now) and fills the host's totals,
// distributions and status table; the only writer of those fields.
#include "stats/general_stats.h"

#include <new>
#include <string>

#include "driver/messages.h"
#include "driver/settings.h"
#include "util/text_util.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/flat_index.h"
#include "stats/list_dump.h"
#include "stats/text_keys.h"

namespace {

// Totals and rates that follow from the input counters.
void build_totals(host_info& host)
{
    host.general.total_time = static_cast<double>(host.last_entry - host.first_entry);
    host.general.in_messages = host.messages.msg_chains;
    host.general.in_connects =
        host.messages.from_msgs_ooo + host.messages.msg_chains + host.messages.milter_chains + host.messages.ruleset_chains + host.messages.no_action_msgs;
    host.general.out_unknown_user = host.messages.unknown_user_msgs;
    if (host.messages.msg_chains != 0)
        host.general.in_avg_size = host.events.in_total_size / host.messages.msg_chains;
    host.general.in_per_sec = host.general.in_per_min = host.general.in_per_hour = 0;
    if (host.general.total_time > 0)
        host.general.in_per_sec = host.general.in_messages / host.general.total_time;
    if (host.general.total_time / 60 >= 1)
        host.general.in_per_min = host.general.in_messages / (host.general.total_time / 60);
    if (host.general.total_time / 3600 >= 1)
        host.general.in_per_hour = host.general.in_messages / (host.general.total_time / 3600);
}

// One inbound connect in the hour and weekday of a sender line.
void count_connect(host_info& host, const msg_from& sender)
{
    ++host.general.hour_connects[sender.hr];
    ++host.general.wday_connects[sender.wd];
    if (host.general.wday_mday[sender.wd] == 0)
        host.general.wday_mday[sender.wd] = sender.md;
}

void count_delivery(host_info& host, const msg_from& sender, const msg_to& delivery)
{
    ++host.general.hour_out[delivery.hr];
    ++host.general.wday_out[delivery.wd];
    ++host.general.out_messages;
    switch (delivery.stat) {
    case 1: ++host.general.out_sent; break;
    case 2: ++host.general.out_deferred; break;
    case 3: ++host.general.out_unknown_user; break;
    case 4: ++host.general.out_queued; break;
    case 5: ++host.general.out_host_unavail; break;
    case 6: ++host.general.out_service_unavail; break;
    case 7:
        // A virus counts in the hour and weekday its message came in.
        ++host.general.out_viruses;
        ++host.general.hour_viruses[sender.hr];
        ++host.general.wday_viruses[sender.wd];
        break;
    default: ++host.general.out_other_error; break;
    }
}

template <class Chain>
void count_rejects(host_info& host, const Chain& chain)
{
    for (auto* item = chain.head; item; item = item->next) {
        const msg_from& sender = *item->p_from;
        count_connect(host, sender);
        ++host.general.hour_rejects[sender.hr];
        ++host.general.wday_rejects[sender.wd];
    }
}

void count_non_active_clients(host_info& host)
{
    for (const msg_no_action* client = host.messages.no_action_list.head; client; client = client->next) {
        ++host.general.hour_connects[client->hr];
        ++host.general.wday_connects[client->wd];
        if (host.general.wday_mday[client->wd] == 0)
            host.general.wday_mday[client->wd] = client->md;
    }
}

// Status texts equal without regard to case share one entry.
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
        const auto position = static_cast<std::uint32_t>(host_.general.statuses.size());
        auto [found, added] = by_text_.try_emplace(delivery.msg_stat, text_hash_nocase(delivery.msg_stat), position);
        ++host_.general.status_total;
        if (!added) {
            ++host_.general.statuses[*found].count;
            return true;
        }
        const char* text = host_.memory.save_text(delivery.msg_stat);
        if (text == nullptr)
            return false;
        host_.general.statuses.push_back(status_entry{1, text});
        return true;
    }

private:
    host_info& host_;
    // Keys point at the deliveries' own status texts, which live until exit.
    flat_index<const char*, std::uint32_t, status_text_equal> by_text_;  // position in the table
};

// Counts the messages of the chain and, in the same walk while `statuses_ok`
// holds, their status texts; `statuses_ok` turns false when memory ran out.
void count_messages(host_info& host, bool& statuses_ok)
{
    status_table_builder statuses(host);
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        prefetch_next_message(*item);
        const msg_from& sender = *item->p_from;
        count_connect(host, sender);
        ++host.general.hour_in[sender.hr];
        ++host.general.wday_in[sender.wd];
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
    for (const msg_from* sender = host.messages.from_list.head; sender; sender = sender->next)
        count_connect(host, *sender);
}

}  // namespace

int build_general_information()
{
    bool statuses_ok = true;
    for (host_info& host : used_hosts()) {
        build_totals(host);
        count_messages(host, statuses_ok);
        host.general.ruleset_rejects = host.messages.ruleset_chains;
        host.general.milter_rejects = host.messages.milter_chains;
        count_rejects(host, host.messages.ruleset_chain);
        count_rejects(host, host.messages.milter_chain);
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
