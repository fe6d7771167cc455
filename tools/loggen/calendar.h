// The calendar of the generated log: it starts on December 1, 2024 at
// midnight, and months then follow each other (February has 28 days; the
// syslog header shows no year). Seconds since the start become the fields
// of a header, a queue id or a message id.
#pragma once

#include <cstdint>
#include <string_view>

namespace loggen {

struct calendar_time {
    unsigned year = 0;
    unsigned month = 0;  // counted from 0
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

calendar_time calendar_of(std::uint64_t seconds);

// "Jan" for month 0 up to "Dec" for month 11.
std::string_view month_name(unsigned month);

}  // namespace loggen
