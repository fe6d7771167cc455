// Milter reject statistic records: rejects, their reasons and recipients.
// Plain data: the statistics builders fill them, the reports read them.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "model/envelope_records.h"
#include "model/message_model.h"

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

// The milter reject tables of one host, in order of first appearance.
struct milter_statistics {
    std::vector<milter_reject_stat> rejects;
    double size = 0;
    std::uint32_t refs = 0;
    std::vector<reject_reason_stat> reasons;
    std::uint32_t reason_refs = 0;
    std::vector<env_mem_stat> recipients;
    std::uint32_t recipient_refs = 0;
};
