// Building the messages/rejects statistics: one flat record per envelope
// pair, per other recipient of a pair and per milter reject of every host,
// in table order. The pair and milter tables are trusted (made by earlier
// phases); their texts come from the log and may be absent, and each record
// keeps its own copies in the host's arena.
#include "stats/msg_rej_stats.h"

#include <strings.h>

#include <new>

#include "driver/messages.h"
#include "model/host_info.h"
#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "util/huge_pages.h"

namespace {

const char* const no_memory_pair = "ERROR: cannot get memory for message/reject stat!\n";
const char* const no_memory_other = "ERROR: cannot get memory for message/reject stat (2)!\n";
const char* const no_memory_milter = "ERROR: cannot get memory for message/reject stat (3)!\n";

// Adds the deliveries of each status of the pair to sent, virus or other:
// the status class is taken from its first letters, in any letter case.
void count_statuses(msg_rej_stat& record, const env_pair_stat& pair)
{
    for (const pair_status* status = pair.statuses_head; status; status = status->next) {
        const char* text = status->status;
        if (text && strncasecmp(text, "Sent", 4) == 0)
            record.sent += status->count;
        else if (text && strncasecmp(text, "Virus", 5) == 0)
            record.virus += status->count;
        else
            record.other += status->count;
    }
}

// Fills a zeroed record from a pair for the recipient `recipient`; its texts
// are the pair's, which live until exit.
void build_msg_rej_record(msg_rej_stat& record, const env_pair_stat& pair, const char* recipient)
{
    record.envfrom = pair.sender;
    record.envrcpt = recipient;
    record.relayfrom = pair.from_relay;
    record.relayfrom_ip = pair.from_ip;
    record.relayto = pair.to_relay;
    record.relayto_ip = pair.to_ip;
    record.date = pair.date;
    record.accepted = pair.count;
    count_statuses(record, pair);
}

// An other recipient is accepted as often as it was listed, with no status.
void build_other_record(msg_rej_stat& record, const env_pair_stat& pair, const other_rcpt& other)
{
    build_msg_rej_record(record, pair, other.name);
    record.accepted = other.count;
    record.sent = record.virus = record.other = 0;
}

void build_milter_record(msg_rej_stat& record, const milter_reject_stat& reject)
{
    record.date = reject.date;
    record.envfrom = reject.env_from;
    record.envrcpt = reject.env_to;
    record.relayfrom = reject.relay_name;
    record.relayfrom_ip = reject.relay_ip;
    record.rejmilter = reject.count;
}

// Appends the record `fill` makes; the failure message when the table cannot grow.
template <class Fill>
const char* append(host_info& host, const char* no_memory, Fill fill)
{
    try {
        msg_rej_stat record{};
        fill(record);
        host.msg_rej.push_back(record);
        return nullptr;
    } catch (const std::bad_alloc&) {
        return no_memory;
    }
}

const char* build_host(host_info& host)
{
    // One record per pair and milter reject, and more for other recipients.
    host.msg_rej.reserve(host.msg_rej.size() + host.envelope.pairs.size() + host.milter.rejects.size());
    advise_huge_pages(host.msg_rej);
    for (const env_pair_stat& pair : host.envelope.pairs) {
        auto fill_pair = [&](msg_rej_stat& record) { build_msg_rej_record(record, pair, pair.recipient); };
        if (const char* failure = append(host, no_memory_pair, fill_pair))
            return failure;
        for (const other_rcpt* other = pair.other_rcpts_head; other; other = other->next) {
            auto fill_other = [&](msg_rej_stat& record) { build_other_record(record, pair, *other); };
            if (const char* failure = append(host, no_memory_other, fill_other))
                return failure;
        }
    }
    for (const milter_reject_stat& reject : host.milter.rejects) {
        auto fill_milter = [&](msg_rej_stat& record) { build_milter_record(record, reject); };
        if (const char* failure = append(host, no_memory_milter, fill_milter))
            return failure;
    }
    return nullptr;
}

}  // namespace

int build_msg_rej_statistics()
{
    return build_each_host(build_host, no_memory_pair);
}
