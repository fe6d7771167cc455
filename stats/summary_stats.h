// Summary statistics: per host, one row per sending relay (messages, rejects,
// non-active clients, distinct sender and recipient addresses and hosts) and
// one row per recipient (messages, milter rejects, viruses), gathered from
// the envelope, relay, ruleset and milter tables. Records keep their order of
// first appearance and are found through hash indexes.
#pragma once

#include "model/summary_records.h"

// Build the summaries of every used host; 0, or 1 after the message when
// memory ran out or an address could not be split.
int build_relay_summary();
int build_recipient_summary();
