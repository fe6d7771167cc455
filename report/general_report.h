// The general information report: per host the counters, totals and rates,
// the table of delivery status texts, the hourly and (with -w) weekly
// distributions and the diagnostic counts of the message model. Its input,
// the built statistics, is trusted; host names and status texts come from
// the log and are escaped on their way into HTML.
#pragma once

#include <string>

#include "stats/host_info.h"

// The report writer of the print table: ASCII for format 0, HTML for 1,
// nothing (an empty file) for any other value; 1 when the file cannot be
// opened, else 0. Includes the weekly part when `settings.print_weekly` is set.
int write_general_report(const std::string& path, int format);

// Orders a status list by count, largest first, equal counts in their
// present order. Moves the payloads (count and text) between the entries and
// never relinks them, so the entry records stay where they are.
void sort_status_by_count(pending_list<status_entry>& list);

// The same order by passes of neighbour exchanges from the tail towards the
// head; needs no memory, takes quadratic time. The fallback of the above.
void exchange_sort_status_by_count(pending_list<status_entry>& list);
