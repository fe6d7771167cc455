// The summary reports: per host one row per sending relay (total, messages,
// milter and ruleset rejects, non-active clients, sender and recipient
// addresses and hosts) and one row per recipient (total, messages, milter
// rejects, viruses). ASCII prints the rows unsorted; HTML is one file with two
// sorted sections per host. Their input, the built summaries, is trusted;
// relay names, address texts and recipients come from the log.
#pragma once

#include <string>

// Format 0 writes ASCII, 1 HTML, to `path` (standard output when empty); any
// other format leaves the opened file empty. Returns 1 when the file cannot
// be opened, else 0. The HTML form leaves the rows in the order of its last
// section (relays by level-2 domain, recipients by name).
int write_relay_summary_report(const std::string& path, int format);
int write_recipient_summary_report(const std::string& path, int format);
