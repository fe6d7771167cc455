// Relay statistics: per host, the pairs (incoming relay, outgoing relay) and
// the tables of sending and receiving relays, each with size and count.
// Records keep their order of first appearance and are found through hash
// indexes.
#pragma once

#include "model/relay_records.h"

// Builds the relay statistics of every used host; 0, or 1 after its message
// when memory ran out.
int build_relay_statistics();
