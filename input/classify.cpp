// Line classification. Receives every accepted line with its host record;
// the classification tests and the pairing of a message's lines fill in the
// message model of the host.
#include "input/classify.h"

#include "stats/host_info.h"

void classify_line(host_info& /*host*/, const input_line& /*line*/)
{
    // Not classified yet: accepted lines are counted by the reader only.
}
