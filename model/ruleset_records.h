// Ruleset reject statistic records.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>

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

// The ruleset reject table of one host, in order of first appearance.
struct ruleset_statistics {
    std::vector<ruleset_reject_stat> rejects;
    double size = 0;        // sizes of the rejected messages
    std::uint32_t refs = 0; // rejects counted into records
};
