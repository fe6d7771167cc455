// Domain statistic records: level-1 and level-2 domains of addresses or relays.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>

struct domain_stat {
    const char* name;  // owned, with its leading dot
    std::uint32_t all;
    std::uint32_t send;
    std::uint32_t recv;
    std::uint32_t milrej;
    double size;  // sizes of the sending-side occurrences
};

// The two levels of one kind of domain (envelope or relay) of one host.
struct domain_tables {
    std::vector<domain_stat> l1_list, l2_list;
    std::uint32_t l1_refs = 0, l2_refs = 0;
    std::uint32_t l1_send = 0, l1_recv = 0, l1_milrej = 0;
    std::uint32_t l2_send = 0, l2_recv = 0, l2_milrej = 0;
};
