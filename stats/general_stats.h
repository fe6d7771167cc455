// General statistics: per-host totals, rates, hourly and weekday
// distributions and the table of distinct delivery status texts, built once
// after the input from the message model.
#pragma once

// Builds the general statistics of every used host (and, at debug level 1
// with verbose, dumps its message lists). Returns 0, or 1 when memory ran
// out (after its message): the run then ends.
int build_general_information();
