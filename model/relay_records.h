// Relay statistic records: relay pairs and the sending and receiving relays.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>

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

// The relay tables of one host, in order of first appearance.
struct relay_statistics {
    std::vector<relay_pair_stat> pairs;
    std::vector<relay_mem_stat> senders;
    std::vector<relay_mem_stat> recipients;
    std::uint32_t pair_refs = 0;  // deliveries counted into pairs
};
