// Milter reject statistics: per host, one record per (sender, relay, reason,
// recipient) of the milter chain with count, size and first/last time, the
// table of reject reasons and the recipients of milter rejects. Records keep
// their order of first appearance and are found through hash indexes.
#pragma once

#include <cstdint>
#include <ctime>

#include "input/message_model.h"

struct milter_reject_stat {
    std::uint32_t count;
    double size;
    std::time_t first_time;
    std::time_t last_time;
    const char* date;          // owned: "YYYYMMDD" of the milter line
    const char* env_from;      // shared with the sender record
    const char* env_to;        // owned copy of the milter line's recipient, when it has one
    const char* from_host;     // shared
    const char* to_host;       // host part of env_to
    const char* from_dom_l1;   // shared: sender address domains
    const char* from_dom_l2;
    env_name_info to_name_info;  // split of env_to
    const char* reason;        // owned
    const char* relay_name;    // owned
    const char* relay_ip;      // shared
    std::uint32_t relay_ip_bin;
    const char* relay_geo_dom;  // shared
    const char* relay_dom_l1;   // shared
    const char* relay_dom_l2;   // shared
};

struct reject_reason_stat {
    std::uint32_t count;
    const char* reason;  // owned
};

// Builds the milter reject statistics of every used host; 0, or 1 after its
// message when memory ran out or a recipient could not be split.
int build_milter_statistics();
