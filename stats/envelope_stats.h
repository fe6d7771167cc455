// Envelope statistics: per host, one pair per (sender relay, sender,
// recipient) with size, count, other recipients and statuses, plus the
// sender and recipient tables. Built from the messages chain when the
// envelope report is on; records keep their order of first appearance and
// are found through hash indexes, never by walking the table.
#pragma once

#include "model/envelope_records.h"

// Builds the envelope statistics of every used host. Returns 0, or 1 after
// its message when memory ran out (the run then ends).
int build_envelope_statistics();

// The virus rule: a status names a virus when its text contains "Virus" in
// any letter case; a pair is a virus pair when one of its statuses does.
bool is_virus_status(const pair_status& status);
bool is_virus_pair(const env_pair_stat& pair);
