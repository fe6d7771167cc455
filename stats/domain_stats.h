// Domain statistics: per host, how often each level-1 and level-2 domain of
// envelope addresses (or of relays) occurs as sending side, receiving side
// and milter reject. Records keep their order of first appearance and are
// found through hash indexes (names compare case-sensitively).
#pragma once

#include "model/domain_records.h"

// Build the envelope (relay) domain statistics of every used host; 0, or 1
// after its message when memory ran out.
int build_envelope_domain_statistics();
int build_relay_domain_statistics();
