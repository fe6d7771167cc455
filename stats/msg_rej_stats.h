// Messages/rejects statistics: a flat record per envelope pair, per other
// recipient of a pair and per milter reject, written as key='value' lines for
// other tools.
#pragma once

#include "model/msg_rej_records.h"

// Builds the records of every used host; 0, or 1 after its message when
// memory ran out.
int build_msg_rej_statistics();
