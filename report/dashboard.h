// The dashboard: one self-contained HTML5 page (no script, no external file)
// that tells at a glance whether a day of mail was normal. A header with the
// run (hosts, first and last log entry, lines read, input, time window), then
// per host cards with the key figures and their shares, inline SVG charts
// (messages per hour and per weekday, delivery statuses, rejects by kind and
// by reason) each with its numbers as a table, and top-10 tables of senders,
// recipients, relays, sender and recipient domains and reject reasons, linked
// to the detail reports written in the same run. Reads the built statistics
// of every used host (never changes them) and the settings; every log text is
// escaped with append_markup_text; file and host names in links are
// percent-encoded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the page shows of the run beyond the statistics; the driver fills it
// from the input phase.
struct dashboard_run {
    unsigned long lines_read = 0;
    unsigned long lines_outside_window = 0;  // of those, left out by the time window
    std::vector<std::string> inputs;         // input names in reading order; empty: standard input
};

// Writes the page to `path` (standard output when empty). Returns 0, or 1
// when the file cannot be opened ("ERROR: cannot open dashboard file!").
int write_dashboard(const std::string& path, const dashboard_run& run);

// How many rows a top table shows at most.
inline constexpr std::size_t dashboard_top_rows = 10;
