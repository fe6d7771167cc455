// Summary statistic records: one row per sending relay and per recipient.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>
#include "model/message_model.h"

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

// The summaries of one host, in order of first appearance.
struct summary_statistics {
    std::vector<summary_relay_stat> relays;
    std::vector<summary_rcpt_stat> recipients;
};
