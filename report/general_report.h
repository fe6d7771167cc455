// The general information report: per host the counters, totals and rates,
// the table of delivery status texts, the hourly and (with -w) weekly
// distributions and the diagnostic counts of the message model. Its input,
// the built statistics, is trusted; host names and status texts come from
// the log and are escaped on their way into HTML.
#pragma once

#include <string>

#include "model/host_info.h"

// The report writer of the print table: ASCII for format 0, HTML for 1,
// nothing (an empty file) for any other value; 1 when the file cannot be
// opened, else 0. Includes the weekly part when `settings.print_weekly` is set.
int write_general_report(const std::string& path, int format);

