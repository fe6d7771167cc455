// The ruleset reject report: per host the rejected (sender, relay, reason)
// records with count and size; ASCII unsorted and by count, HTML by count
// in one file. Its input, the built statistics, is trusted; addresses, relay
// names and reasons come from the log.
#pragma once

#include <string>

// Format 0 writes ASCII, 1 HTML, to `path` (standard output when empty); any
// other format opens nothing. Returns 1 when the file cannot be opened, else
// 0. The table stays sorted by count.
int write_ruleset_report(const std::string& path, int format);
