// Summary statistics: per host, one row per sending relay (messages, rejects,
// non-active clients, distinct sender and recipient addresses and hosts) and
// one row per recipient (messages, milter rejects, viruses), gathered from
// the envelope, relay, ruleset and milter tables. Records keep their order of
// first appearance and are found through hash indexes.
#pragma once

#include <cstdint>

#include "input/message_model.h"

// One address kept for a relay: the first address seen for each host.
struct summary_addr {
    const char* address;  // owned
    env_name_info name_info;
    summary_addr* next;
};

struct summary_relay_stat {
    const char* name;    // owned
    const char* ip;      // owned, when present
    const char* dom_l2;  // shared with the relay sender record
    std::uint32_t ip_bin;
    std::uint32_t from_msgs;
    std::uint32_t rulrej;
    std::uint32_t milrej;
    std::uint32_t nonact;
    std::uint32_t from_addr;
    std::uint32_t from_dom;
    std::uint32_t to_addr;
    std::uint32_t to_dom;
    std::uint32_t total;
    summary_addr* from_addr_head;
    summary_addr* from_addr_tail;
    summary_addr* to_addr_head;
    summary_addr* to_addr_tail;
};

struct summary_rcpt_stat {
    const char* name;  // owned
    std::uint32_t msgs;
    std::uint32_t milrej;
    std::uint32_t viruses;
    std::uint32_t total;
};

// Build the summaries of every used host; 0, or 1 after the message when
// memory ran out or an address could not be split.
int build_relay_summary();
int build_recipient_summary();
