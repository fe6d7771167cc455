// Milter reject statistics: per host, one record per (sender, relay, reason,
// recipient) of the milter chain with count, size and first/last time, the
// table of reject reasons and the recipients of milter rejects. Records keep
// their order of first appearance and are found through hash indexes.
#pragma once

#include "model/milter_records.h"

// Builds the milter reject statistics of every used host; 0, or 1 after its
// message when memory ran out or a recipient could not be split.
int build_milter_statistics();
