// Line classification and chain building. Each accepted line becomes one
// record of its host's message model (or only a count), and the lines of one
// queue id are paired as they arrive: rulesets and milter lines with the next
// sender of their id, senders with their first delivery, further deliveries
// with the message's chain element. Sees raw log text; a line whose memory
// cannot be had is dropped with its message, and what was done stays done.
#include "input/classify.h"

#include <strings.h>

#include <cstring>
#include <new>

#include "driver/messages.h"
#include "util/text_util.h"
#include "input/field_extraction.h"
#include "model/host_info.h"

namespace {

// A message kind's failure: its record (or index entry) could not be made.
struct out_of_memory {
    const char* message;
};

template <class T>
T* make_record(host_info& host, const char* failure)
{
    T* record = host.memory.make<T>();
    if (record == nullptr)
        throw out_of_memory{failure};
    return record;
}

// Runs an index insertion; its allocation failure is the record's failure.
template <class Insert>
void index_record(Insert insert, const char* failure)
{
    try {
        insert();
    } catch (const std::bad_alloc&) {
        throw out_of_memory{failure};
    }
}

void trace(const char* text)
{
    if (line_tracing_enabled())
        verbose_message(text);
}

// A line's time fields, shared by the records that carry them.
template <class T>
void set_line_fields(T& record, const input_line& line)
{
    record.msg_time = line.line_time;
    record.hr = line.line_hour;
    record.wd = line.line_wday;
    record.md = line.line_mday;
    record.msg_id = line.msg_id;
}

// ---- lines without queue id --------------------------------------------

void keep_whole_line(host_info& host, record_list<msg_line>& list, const input_line& line, const char* failure)
{
    msg_line* record = make_record<msg_line>(host, failure);
    record->line_txt = line.line.data();
    list.append(record);
}

void classify_without_queue_id(host_info& host, const input_line& line)
{
    switch (kind_of_plain_line(line.line_body.data())) {
    case plain_line_kind::daemon_restart:
        ++host.events.daemon_restarts;
        break;
    case plain_line_kind::alias_rebuild:
        ++host.events.alias_rebuilds;
        break;
    case plain_line_kind::tls:
        ++host.messages.tls_msgs;
        keep_whole_line(host, host.messages.tls_list, line, "ERROR: cannot get memory for TLS/SSL message!\n");
        break;
    case plain_line_kind::unknown:
        ++host.messages.unknown_msgs;
        keep_whole_line(host, host.messages.unknown_list, line, "ERROR: cannot get memory for unknown message!\n");
        break;
    }
}

// ---- rulesets and milter lines -----------------------------------------

void file_ruleset_line(host_info& host, pairing_index& index, const input_line& line)
{
    const char* failure = "ERROR: cannot get memory for ruleset message!\n";
    ++host.messages.ruleset_msgs_ooo;
    msg_ruleset* record = make_record<msg_ruleset>(host, failure);
    const char* text = line.message_text.data();
    record->msg_time = line.line_time;
    record->msg_id = line.msg_id;
    record->msg_txt = text;
    record->reject_txt = get_reject_txt(text);
    // A ruleset reject waits for the sender of its queue id.
    index_record([&] { index.add_pending_ruleset(record); }, failure);
    host.messages.ruleset_list.append(record);
}

// The synthetic sender of a milter "connect:" line, named by its host= and addr=.
msg_from* make_connect_sender(host_info& host, const input_line& line)
{
    msg_from* sender = make_record<msg_from>(host, "ERROR: cannot get memory for <from> message (case: connect)!\n");
    const char* text = line.message_text.data();
    set_line_fields(*sender, line);
    sender->siz = get_size(text);
    sender->nrcpts = get_nrcpts(text);
    sender->env_from = empty_address_text;
    sender->env_name_info = split_address(host.memory, empty_address_text);
    std::size_t kept_length = 0;
    split_milter_host(host.memory, text, sender->relay_info, kept_length);
    if (sender->siz != 0)
        host.events.in_total_size += sender->siz;
    sender->msg_txt = host.memory.save_text(line.message_text.substr(0, kept_length));
    return sender;
}

// Leaves a milter line pending: on the pending list and in the index, or,
// when the index cannot take it, on neither.
void keep_milter_pending(host_info& host, pairing_index& index, msg_milter* record, const char* failure)
{
    try {
        index_record([&] { index.add_pending_milter(record); }, failure);
    } catch (const out_of_memory&) {
        host.messages.milter_list.unlink(record);
        throw;
    }
}

// A milter "connect:" line is its own message: chained at once with a
// synthetic sender instead of waiting on the pending list.
void chain_connect_line(host_info& host, pairing_index& index, const input_line& line, msg_milter* milter)
{
    trace("Milter: case: connect\n");
    try {
        milter_chain_item* item =
            make_record<milter_chain_item>(host, "ERROR: cannot get memory for milter chain (case: connect)!\n");
        item->p_from = make_connect_sender(host, line);
        item->p_mil = milter;
        ++host.messages.milter_chains;
        host.messages.milter_chain.append(item);
        host.messages.milter_list.unlink(milter);
        --host.messages.milter_msgs_ooo;
    } catch (const out_of_memory& failure) {
        keep_milter_pending(host, index, milter, failure.message);
        throw;
    }
}

void file_milter_line(host_info& host, pairing_index& index, const input_line& line)
{
    trace("Process MILTER line.\n");
    trace("New milter message.\n");
    ++host.messages.milter_msgs_ooo;
    const char* failure = "ERROR: cannot get memory for milter message!\n";
    msg_milter* record = make_record<msg_milter>(host, failure);
    const char* text = line.message_text.data();
    record->msg_time = line.line_time;
    record->msg_id = line.msg_id;
    record->msg_txt = text;
    record->reject_txt = get_reject_txt(text);
    record->env_from = get_env_from(host.memory, text);
    if (record->env_from == nullptr)
        record->env_to = get_env_to(host.memory, text);
    host.messages.milter_list.append(record);
    trace("New milter message added to pool.\n");
    if (std::strstr(text + 7, "connect:")) {
        chain_connect_line(host, index, line, record);
        return;
    }
    keep_milter_pending(host, index, record, failure);
}

// ---- envelopes ---------------------------------------------------------

msg_from* make_sender(host_info& host, const input_line& line)
{
    msg_from* sender = make_record<msg_from>(host, "ERROR: cannot get memory for <from> message!\n");
    const char* text = line.message_text.data();
    set_line_fields(*sender, line);
    sender->siz = get_size(text);
    sender->nrcpts = get_nrcpts(text);
    sender->env_from = extract_address(host.memory, text + 5);
    sender->env_name_info = split_address(host.memory, sender->env_from);
    split_relay(host.memory, text, sender->relay_info);
    if (sender->siz != 0)
        host.events.in_total_size += sender->siz;
    sender->msg_txt = text;
    return sender;
}

// The oldest pending ruleset reject of the sender's id claims the sender.
bool pair_with_ruleset(host_info& host, pairing_index& index, msg_from* sender)
{
    msg_ruleset* ruleset = index.oldest_pending_ruleset(sender->msg_id);
    if (ruleset == nullptr)
        return false;
    ruleset_chain_item* item = make_record<ruleset_chain_item>(host, "ERROR: cannot get memory for rulesets chain!\n");
    item->p_rul = ruleset;
    item->p_from = sender;
    ++host.messages.ruleset_chains;
    host.messages.ruleset_chain.append(item);
    index.take_pending_ruleset(sender->msg_id);
    host.messages.ruleset_list.unlink(ruleset);
    --host.messages.from_msgs_ooo;
    --host.messages.ruleset_msgs_ooo;
    return true;
}

// Every pending milter line of the sender's id, oldest first, shares the sender.
bool pair_with_milter_lines(host_info& host, pairing_index& index, msg_from* sender)
{
    bool paired = false;
    while (msg_milter* milter = index.oldest_pending_milter(sender->msg_id)) {
        milter_chain_item* item = make_record<milter_chain_item>(host, "ERROR: cannot get memory for milter chain!\n");
        item->p_mil = milter;
        item->p_from = sender;
        ++host.messages.milter_chains;
        host.messages.milter_chain.append(item);
        index.take_pending_milter(sender->msg_id);
        host.messages.milter_list.unlink(milter);
        --host.messages.milter_msgs_ooo;
        paired = true;
    }
    return paired;
}

void file_envelope_line(host_info& host, pairing_index& index, const input_line& line)
{
    ++host.messages.from_msgs_ooo;
    msg_from* sender = make_sender(host, line);
    if (pair_with_ruleset(host, index, sender))
        return;
    if (pair_with_milter_lines(host, index, sender)) {
        --host.messages.from_msgs_ooo;
        return;
    }
    // The sender waits for its first delivery.
    index_record([&] { index.add_pending_from(sender); }, "ERROR: cannot get memory for <from> message!\n");
    host.messages.from_list.append(sender);
}

// ---- deliveries --------------------------------------------------------

// The delivery record, or null (after the message) when its recipients
// cannot be read.
msg_to* make_delivery(host_info& host, const input_line& line)
{
    msg_to* delivery = make_record<msg_to>(host, "ERROR: cannot get memory for <to> message!\n");
    const char* text = line.message_text.data();
    set_line_fields(*delivery, line);
    delivery->env_to = extract_address(host.memory, text + 3);
    int added = add_other_recipients(host.memory, text + 3, *delivery);
    if (added < 0) {
        error_message(format_message("ERROR: cannot to add other recipients = %d!\n", added));
        return nullptr;
    }
    delivery->env_name_info = split_address(host.memory, delivery->env_to);
    split_relay(host.memory, text, delivery->relay_info);
    delivery->msg_txt = text;
    delivery->stat = get_stat_code(text);
    delivery->msg_stat = get_stat_txt(text);
    return delivery;
}

// The first delivery of a pending sender makes a new chain element.
bool start_chain(host_info& host, pairing_index& index, msg_to* delivery)
{
    msg_from* sender = index.oldest_pending_from(delivery->msg_id);
    if (sender == nullptr)
        return false;
    msg_chain_item* item = make_record<msg_chain_item>(host, "ERROR: cannot get memory for messages chain!\n");
    item->p_from = sender;
    item->p_to = delivery;
    item->last_to = delivery;
    item->Recipients_num = 1;
    index_record([&] { index.add_chain_item(item); }, "ERROR: cannot get memory for messages chain!\n");
    ++host.messages.msg_chains;
    host.messages.msg_chain.append(item);
    index.take_pending_from(delivery->msg_id);
    host.messages.from_list.unlink(sender);
    --host.messages.from_msgs_ooo;
    return true;
}

// A further delivery joins the first chain element of its id.
bool join_chain(const pairing_index& index, msg_to* delivery)
{
    msg_chain_item* item = index.find_chain_item(delivery->msg_id);
    if (item == nullptr)
        return false;
    ++item->Recipients_num;
    delivery->next = nullptr;
    item->last_to->next = delivery;
    item->last_to = delivery;
    return true;
}

// A delivery releases the oldest pending milter line of its id.
void release_milter_line(host_info& host, pairing_index& index, const char* id)
{
    msg_milter* milter = index.oldest_pending_milter(id);
    if (milter == nullptr)
        return;
    index.take_pending_milter(id);
    host.messages.milter_list.unlink(milter);
    --host.messages.milter_msgs_ooo;
}

void file_delivery_line(host_info& host, pairing_index& index, const input_line& line)
{
    msg_to* delivery = make_delivery(host, line);
    if (delivery == nullptr)
        return;
    if (!start_chain(host, index, delivery)) {
        if (join_chain(index, delivery))
            return;
        ++host.messages.to_msgs_ooo;
        host.messages.to_list.append(delivery);
    }
    release_milter_line(host, index, line.msg_id);
}

// ---- the other kinds ---------------------------------------------------

void file_no_action_line(host_info& host, const input_line& line, const char* did_not_issue)
{
    ++host.messages.no_action_msgs;
    msg_no_action* record = make_record<msg_no_action>(host, "ERROR: cannot get memory for no_action message!\n");
    set_line_fields(*record, line);
    const char* text = line.message_text.data();
    record->action_txt = did_not_issue;
    record->client_txt = host.memory.save_text(std::string_view(text, static_cast<std::size_t>(did_not_issue - text)));
    if (record->client_txt == nullptr)
        throw out_of_memory{"ERROR: cannot get memory for no_action host!\n"};
    split_client(host.memory, record->client_txt, record->relay_info);
    host.messages.no_action_list.append(record);
}

void keep_other_line(host_info& host, record_list<msg_other>& list, const input_line& line, const char* failure)
{
    msg_other* record = make_record<msg_other>(host, failure);
    record->msg_time = line.line_time;
    record->msg_id = line.msg_id;
    record->msg_txt = line.message_text.data();
    list.append(record);
}

void classify_with_queue_id(host_info& host, pairing_index& index, const input_line& line)
{
    std::string_view text = line.message_text;
    if (text.starts_with("ruleset=")) {
        file_ruleset_line(host, index, line);
    } else if (text.starts_with("Milter:")) {
        file_milter_line(host, index, line);
    } else if (text.starts_with("from=")) {
        file_envelope_line(host, index, line);
    } else if (text.starts_with("to=")) {
        file_delivery_line(host, index, line);
    } else if (strncasecmp(text.data(), "SYSERR", 6) == 0) {
        ++host.events.other_syserr;
    } else if (const char* did_not_issue = std::strstr(text.data(), " did not issue ")) {
        file_no_action_line(host, line, did_not_issue);
    } else if (text.find("User unknown") != std::string_view::npos) {
        ++host.messages.unknown_user_msgs;
        keep_other_line(host, host.messages.unknown_user_list, line, "ERROR: cannot get memory for unkn_user message!\n");
    } else {
        ++host.messages.other_msgs;
        keep_other_line(host, host.messages.other_list, line, "ERROR: cannot get memory for other message!\n");
    }
}

// True when `text` starts with `lower_word` (lower case), case ignored; reads
// no further than the first difference, so never past the terminator.
bool starts_with_nocase(const char* text, std::string_view lower_word)
{
    for (char c : lower_word)
        if (lower_ascii(*text++) != c)
            return false;
    return true;
}

}  // namespace

plain_line_kind kind_of_plain_line(const char* body)
{
    bool alias = false, rebuilt = false, tls = false;
    for (const char* p = body; *p != '\0'; ++p) {
        switch (lower_ascii(*p)) {
        case ' ':
            if (starts_with_nocase(p, " daemon "))
                return plain_line_kind::daemon_restart;  // the first test wins wherever it matches
            break;
        case 'a': alias = alias || starts_with_nocase(p, "alias "); break;
        case 'r': rebuilt = rebuilt || starts_with_nocase(p, "rebuilt"); break;
        case 's': tls = tls || starts_with_nocase(p, "starttls="); break;
        default: break;
        }
    }
    if (alias && rebuilt)
        return plain_line_kind::alias_rebuild;
    return tls ? plain_line_kind::tls : plain_line_kind::unknown;
}

void classify_line(host_info& host, pairing_index& index, const input_line& line)
{
    try {
        if (line.msg_id == nullptr)
            classify_without_queue_id(host, line);
        else
            classify_with_queue_id(host, index, line);
    } catch (const out_of_memory& failure) {
        error_message(failure.message);
    } catch (const std::bad_alloc&) {
        // Every insertion above maps its failure to its record's message;
        // this only guards against a line vanishing without a word.
        error_message("ERROR: cannot get memory for line index!\n");
    }
}
