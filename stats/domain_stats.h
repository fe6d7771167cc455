// Domain statistics: per host, how often each level-1 and level-2 domain of
// envelope addresses (or of relays) occurs as sending side, receiving side
// and milter reject. Records keep their order of first appearance and are
// found through hash indexes (names compare case-sensitively).
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
    std::uint32_t l1_count = 0, l2_count = 0;
    std::uint32_t l1_refs = 0, l2_refs = 0;
    std::uint32_t l1_send = 0, l1_recv = 0, l1_milrej = 0;
    std::uint32_t l2_send = 0, l2_recv = 0, l2_milrej = 0;
};

// Build the envelope (relay) domain statistics of every used host; 0, or 1
// after its message when memory ran out.
int build_envelope_domain_statistics();
int build_relay_domain_statistics();
