// Figures of one host that no statistic table keeps but both exports show:
// the recipients of the messages that came in and of the deliveries that
// went out. Read from the message model (trusted by now), in one walk over
// the host's chained messages.
#pragma once

#include <cstdint>

#include "model/host_info.h"

struct recipient_totals {
    std::uint64_t inbound = 0;   // the nrcpts= of the chained messages' senders (a negative one counts 0)
    std::uint64_t outbound = 0;  // each chained delivery's recipient and its further recipients
};

recipient_totals count_recipients(const host_info& host);
