// Ruleset reject statistics: per host, one record per (sender, relay, reject
// reason) of the rulesets chain, with count and size. Records keep their
// order of first appearance and are found through a hash index.
#pragma once

#include <cstdint>

struct ruleset_reject_stat {
    std::uint32_t count;
    double size;
    const char* env_from;    // shared with the sender record
    const char* from_host;   // shared
    const char* reason;      // owned
    const char* relay_name;  // owned
    const char* relay_ip;    // shared
    std::uint32_t relay_ip_bin;
};

// Builds the ruleset reject statistics of every used host; 0, or 1 after
// its message when memory ran out.
int build_ruleset_statistics();
