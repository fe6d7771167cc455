// The in-memory picture of one host's log: records made from log lines, the
// pending lists where they wait for their partner line, the chains of paired
// messages and the side lists of whole lines. Records live in the host's
// arena until exit; an absent text is a null pointer, never an empty text.
// Every list is appended at its tail, so each keeps input order.
#pragma once

#include <cstdint>
#include <ctime>

// An e-mail address split into parts.
struct env_name_info {
    const char* user_name;       // before the first "@"
    const char* host_name;       // after the first "@"
    const char* dom_name_lvl_1;  // last label with its dot (".com")
    const char* dom_name_lvl_2;  // last two labels with the leading dot (".example.com")
};

// The relay or client host of a line.
struct relay_info {
    char* dom_name;                  // host name, or a country code / area name put in its place
    const char* dom_name_lvl_1;
    const char* dom_name_lvl_2;
    char* ip_address;                // the address as written in the log, without brackets
    const char* geo_dom_name_lvl_1;  // country of the address when it differs from dom_name_lvl_1
    std::uint32_t ip_bin_addr;       // first octet most significant; 0 when absent
};

// One "from=" line, or the synthetic sender of a milter "connect:" line.
struct msg_from {
    msg_from* next;
    msg_from* prev;
    std::time_t msg_time;
    std::uint32_t siz;
    std::int32_t nrcpts;
    std::int32_t hr, wd, md;
    const char* env_from;
    const char* msg_id;  // shared by every record of its line
    const char* msg_txt;
    ::env_name_info env_name_info;
    ::relay_info relay_info;
    msg_from* next_same_id;  // index chain of pending senders with this queue id
};

// One further recipient of a "to=" list.
struct rcpt_to {
    const char* name;
    std::uint32_t count;
    rcpt_to* next;
};

// One "to=" line.
struct msg_to {
    msg_to* next;  // next delivery of the same chain element, or next on to_list
    std::time_t msg_time;
    std::int32_t stat;  // status class 1..8
    std::int32_t hr, wd, md;
    const char* env_to;
    const char* msg_id;
    const char* msg_txt;
    const char* msg_stat;  // status text; null when the line has no "stat="
    rcpt_to* p_rcpt_head;
    rcpt_to* p_rcpt_tail;
    ::env_name_info env_name_info;
    ::relay_info relay_info;
};

// One message of the messages chain: its sender and all its deliveries.
struct msg_chain_item {
    msg_chain_item* next;
    msg_from* p_from;
    msg_to* p_to;  // first delivery; the others follow through msg_to::next
    std::uint32_t Recipients_num;
    msg_to* last_to;  // last delivery, for appending
};

// One "Milter:" line with a queue id.
struct msg_milter {
    std::time_t msg_time;
    const char* msg_id;
    const char* msg_txt;
    const char* reject_txt;
    const char* env_from;
    const char* env_to;
    msg_milter* next;
    msg_milter* prev;
    msg_milter* next_same_id;  // index chain of pending milter lines with this queue id
};

struct milter_chain_item {
    milter_chain_item* next;
    msg_milter* p_mil;
    msg_from* p_from;
};

// One "ruleset=" line with a queue id.
struct msg_ruleset {
    std::time_t msg_time;
    const char* msg_id;
    const char* msg_txt;
    const char* reject_txt;
    msg_ruleset* next;
    msg_ruleset* prev;
    msg_ruleset* next_same_id;  // index chain of pending ruleset lines with this queue id
};

struct ruleset_chain_item {
    ruleset_chain_item* next;
    msg_ruleset* p_rul;
    msg_from* p_from;
};

// A client that connected and did not issue a mail command.
struct msg_no_action {
    msg_no_action* next;
    std::time_t msg_time;
    std::int32_t hr, wd, md;
    const char* msg_id;
    char* client_txt;  // cut in place: reads as the client host name
    const char* action_txt;
    ::relay_info relay_info;
};

// An unrecognised line, or a "User unknown" line, with a queue id.
struct msg_other {
    msg_other* next;
    std::time_t msg_time;
    const char* msg_id;
    const char* msg_txt;
};

// A line without queue id kept whole.
struct msg_line {
    msg_line* next;
    const char* line_txt;
};

// A singly linked list with head and tail.
template <class T>
struct record_list {
    T* head = nullptr;
    T* tail = nullptr;

    void append(T* record)
    {
        record->next = nullptr;
        if (tail)
            tail->next = record;
        else
            head = record;
        tail = record;
    }
};

// A doubly linked list with head and tail, for the pending lists.
template <class T>
struct pending_list {
    T* head = nullptr;
    T* tail = nullptr;

    void append(T* record)
    {
        record->next = nullptr;
        record->prev = tail;
        if (tail)
            tail->next = record;
        else
            head = record;
        tail = record;
    }

    void unlink(T* record)
    {
        if (record->prev)
            record->prev->next = record->next;
        else
            head = record->next;
        if (record->next)
            record->next->prev = record->prev;
        else
            tail = record->prev;
    }
};

// One host's message model: side lists, pending lists and chains in input
// order, and the number of records filed on each list.
struct message_model {
    std::uint32_t unknown_msgs = 0;
    std::uint32_t unknown_user_msgs = 0;
    std::uint32_t tls_msgs = 0;
    std::uint32_t other_msgs = 0;
    std::uint32_t from_msgs_ooo = 0;
    std::uint32_t to_msgs_ooo = 0;
    std::uint32_t msg_chains = 0;
    std::uint32_t ruleset_msgs_ooo = 0;
    std::uint32_t ruleset_chains = 0;
    std::uint32_t milter_msgs_ooo = 0;
    std::uint32_t milter_chains = 0;
    std::uint32_t no_action_msgs = 0;

    record_list<msg_other> unknown_user_list;
    record_list<msg_line> unknown_list;
    record_list<msg_line> tls_list;
    record_list<msg_other> other_list;
    pending_list<msg_from> from_list;
    record_list<msg_to> to_list;
    record_list<msg_chain_item> msg_chain;
    pending_list<msg_ruleset> ruleset_list;
    record_list<ruleset_chain_item> ruleset_chain;
    pending_list<msg_milter> milter_list;
    record_list<milter_chain_item> milter_chain;
    record_list<msg_no_action> no_action_list;
};
