// Debug dumps of the message model: each list under its heading, one line per
// record in list order, through the verbose routine (so cut at 511 characters).
#include "stats/list_dump.h"

#include "driver/messages.h"
#include "util/text_util.h"
#include "model/host_info.h"

namespace {

template <class Record>
void dump_record(const Record& record)
{
    verbose_message(format_message("%s: %s: %s\n", time_text(record.msg_time).c_str(), text_or_null(record.msg_id),
                                   text_or_null(record.msg_txt)));
}

void dump_record(const msg_no_action& record)
{
    verbose_message(format_message("%s: %s: %s: %s\n", time_text(record.msg_time).c_str(),
                                   text_or_null(record.msg_id), text_or_null(record.client_txt),
                                   text_or_null(record.action_txt)));
}

void dump_record(const msg_line& record)
{
    verbose_message(format_message("%s\n", text_or_null(record.line_txt)));
}

template <class List>
void dump_list(const char* heading, const List& list)
{
    verbose_message(heading);
    for (auto* record = list.head; record; record = record->next)
        dump_record(*record);
    verbose_message("\n");
}

}  // namespace

void dump_message_lists(const host_info& host)
{
    dump_list("\n<<< Dump of from-msg-out-of-order-list >>>\n", host.messages.from_list);
    dump_list("\n<<< Dump of to-msg-out-of-order-list >>>\n", host.messages.to_list);
    dump_list("\n<<< Dump of ruleset-msg-out-of-order-list >>>\n", host.messages.ruleset_list);
    dump_list("\n<<< Dump of milter-msg-out-of-order-list >>>\n", host.messages.milter_list);
    dump_list("\n<<< Dump of no-action-messages-list >>>\n", host.messages.no_action_list);
    dump_list("\n<<< Dump of other-messages-list >>>\n", host.messages.other_list);
    dump_list("\n<<< Dump of unknown-user-messages-list >>>\n", host.messages.unknown_user_list);
    dump_list("\n<<< Dump of unknown-messages-list >>>\n", host.messages.unknown_list);
}
