// Line classification: decides what sendmail event an accepted log line
// records and files it in the message model of its host. Sees raw log text.
#pragma once

#include <ctime>
#include <string_view>

#include "input/pairing_index.h"

struct host_info;

// One accepted log line as the reader hands it over, in the kept input: the
// records may point into it. Every view ends at a terminator, so its data()
// may be read as a C string; with a queue id, `line` and `line_body` end
// where the queue id does (its colon was overwritten).
struct input_line {
    std::string_view line;        // the whole line, newline removed
    std::string_view line_body;   // after the process tag's colon, blanks and tabs skipped
    std::time_t line_time = 0;
    int line_hour = 0;            // 0..23
    int line_wday = 0;            // 0..6, 0 = Sunday
    int line_mday = 0;
    const char* msg_id = nullptr; // queue id (in place in the line); null when none
    std::string_view message_text;  // after the queue id's colon; empty view when no queue id
};

// What a line without queue id records, decided in one pass over its body
// with exactly the result of the tests in this order (case ignored): " daemon "
// anywhere; else both "alias " and "rebuilt"; else "STARTTLS="; else unknown.
enum class plain_line_kind { daemon_restart, alias_rebuild, tls, unknown };
plain_line_kind kind_of_plain_line(const char* body);

// Files the line in the model of `host`; `index` pairs the host's lines by
// queue id (the input phase owns it and drops it when the input ends).
void classify_line(host_info& host, pairing_index& index, const input_line& line);
