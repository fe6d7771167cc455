// Counting recipients over the message chain of one host.
#include "export/traffic_figures.h"

#include "stats/build_helpers.h"

recipient_totals count_recipients(const host_info& host)
{
    recipient_totals totals;
    for (const msg_chain_item* item = host.messages.msg_chain.head; item; item = item->next) {
        prefetch_next_message(*item);
        if (item->p_from && item->p_from->nrcpts > 0)
            totals.inbound += static_cast<std::uint64_t>(item->p_from->nrcpts);
        for (const msg_to* delivery = item->p_to; delivery; delivery = delivery->next) {
            ++totals.outbound;
            for (const rcpt_to* other = delivery->p_rcpt_head; other; other = other->next)
                totals.outbound += other->count;
        }
    }
    return totals;
}
