// Relay statistics: per host, the pairs (incoming relay, outgoing relay) and
// the tables of sending and receiving relays, each with size and count.
// Records keep their order of first appearance and are found through hash
// indexes.
#pragma once

#include <cstdint>

struct relay_pair_stat {
    const char* from_relay;  // owned
    const char* to_relay;    // owned
    const char* from_ip;     // shared with the message records
    const char* to_ip;
    double size;
    std::uint32_t from_ip_bin;
    std::uint32_t to_ip_bin;
    std::uint32_t count;
};

// A sending or receiving relay; address and domains are those of the message
// that created the record.
struct relay_mem_stat {
    const char* name;    // owned
    const char* ip;      // shared
    const char* dom_l1;  // owned
    const char* dom_l2;  // owned
    std::uint32_t ip_bin;
    double size;
    std::uint32_t count;
};

// Builds the relay statistics of every used host; 0, or 1 after its message
// when memory ran out.
int build_relay_statistics();
