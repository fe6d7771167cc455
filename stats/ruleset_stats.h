// Ruleset reject statistics: per host, one record per (sender, relay, reject
// reason) of the rulesets chain, with count and size. Records keep their
// order of first appearance and are found through a hash index.
#pragma once

#include "model/ruleset_records.h"

// Builds the ruleset reject statistics of every used host; 0, or 1 after
// its message when memory ran out.
int build_ruleset_statistics();
