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

// Fills a zeroed record from a pair for the recipient `recipient`; false
// when memory ran out.
bool build_msg_rej_record(arena& memory, msg_rej_stat& record, const env_pair_stat& pair, const char* recipient)
{
    bool copied = copy_text(memory, pair.sender, record.envfrom) && copy_text(memory, recipient, record.envrcpt) &&
                  copy_text(memory, pair.from_relay, record.relayfrom) &&
                  copy_text(memory, pair.from_ip, record.relayfrom_ip) &&
                  copy_text(memory, pair.to_relay, record.relayto) && copy_text(memory, pair.to_ip, record.relayto_ip) &&
                  copy_text(memory, pair.date, record.date);
    if (!copied)
        return false;
    record.accepted = pair.count;
    count_statuses(record, pair);
    return true;
}

// An other recipient is accepted as often as it was listed, with no status.
bool build_other_record(arena& memory, msg_rej_stat& record, const env_pair_stat& pair, const other_rcpt& other)
{
    if (!build_msg_rej_record(memory, record, pair, other.name))
        return false;
    record.accepted = other.count;
    record.sent = record.virus = record.other = 0;
    return true;
}

bool build_milter_record(arena& memory, msg_rej_stat& record, const milter_reject_stat& reject)
{
    bool copied = copy_text(memory, reject.date, record.date) && copy_text(memory, reject.env_from, record.envfrom) &&
                  copy_text(memory, reject.env_to, record.envrcpt) &&
                  copy_text(memory, reject.relay_name, record.relayfrom) &&
                  copy_text(memory, reject.relay_ip, record.relayfrom_ip);
    if (!copied)
        return false;
    record.rejmilter = reject.count;
    return true;
}

// Appends the record `fill` makes; the failure message when memory ran out.
template <class Fill>
const char* append(host_info& host, const char* no_memory, Fill fill)
{
    try {
        msg_rej_stat record{};
        if (!fill(record))
            return no_memory;
        host.msg_rej.push_back(record);
        return nullptr;
    } catch (const std::bad_alloc&) {
        return no_memory;
    }
}

const char* build_host(host_info& host)
{
    arena& memory = host.memory;
    // One record per pair and milter reject, and more for other recipients.
    host.msg_rej.reserve(host.msg_rej.size() + host.envelope.pairs.size() + host.milter.rejects.size());
    advise_huge_pages(host.msg_rej);
    for (const env_pair_stat& pair : host.envelope.pairs) {
        auto fill_pair = [&](msg_rej_stat& record) { return build_msg_rej_record(memory, record, pair, pair.recipient); };
        if (const char* failure = append(host, no_memory_pair, fill_pair))
            return failure;
        for (const other_rcpt* other = pair.other_rcpts_head; other; other = other->next) {
            auto fill_other = [&](msg_rej_stat& record) { return build_other_record(memory, record, pair, *other); };
            if (const char* failure = append(host, no_memory_other, fill_other))
                return failure;
        }
    }
    for (const milter_reject_stat& reject : host.milter.rejects) {
        auto fill_milter = [&](msg_rej_stat& record) { return build_milter_record(memory, record, reject); };
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
