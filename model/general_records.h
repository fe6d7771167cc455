// General statistic records: totals, rates, hourly and weekday distributions
// and the table of delivery status texts of one host.
// Plain data: the general statistics builder fills them, the reports read them.
#pragma once

#include <cstdint>
#include <vector>

// One distinct delivery status text and how many deliveries had it.
struct status_entry {
    std::uint32_t count;
    const char* text;
};

struct general_statistics {
    std::uint32_t ruleset_rejects = 0;
    std::uint32_t milter_rejects = 0;
    double total_time = 0;  // seconds from first_entry to last_entry
    double in_avg_size = 0;
    double in_per_hour = 0, in_per_min = 0, in_per_sec = 0;
    std::uint32_t in_connects = 0;
    std::uint32_t in_messages = 0;
    std::uint32_t out_messages = 0;
    std::uint32_t out_sent = 0, out_deferred = 0, out_queued = 0, out_unknown_user = 0;
    std::uint32_t out_host_unavail = 0, out_service_unavail = 0, out_viruses = 0, out_other_error = 0;

    // Distributions over the hours of the day and the days of the week (0 = Sunday).
    std::uint32_t hour_connects[24] = {}, hour_in[24] = {}, hour_out[24] = {}, hour_rejects[24] = {},
                  hour_viruses[24] = {};
    std::uint32_t wday_connects[7] = {}, wday_in[7] = {}, wday_out[7] = {}, wday_rejects[7] = {},
                  wday_viruses[7] = {};
    std::int32_t wday_mday[7] = {};  // day of month of the first connect counted for each weekday

    // Distinct delivery status texts (equal without regard to case) in order
    // of first appearance, and the number of deliveries with a status.
    std::vector<status_entry> statuses;
    std::uint32_t status_total = 0;
};
