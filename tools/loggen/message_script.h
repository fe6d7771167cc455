// What lines one message produces and in which order: a message starts as
// one of seven types (inbound, outbound, local submission, ruleset or
// milter reject, greylisted, virus) whose script lists its TLS, AUTH,
// reject, envelope and delivery steps with the pauses of retries; then a
// few are put out of order or lose their deliveries or envelope.
#pragma once

#include "tools/loggen/message.h"
#include "tools/loggen/site.h"

namespace loggen {

// A message that starts now on a random host, its whole script written.
message new_message(site& s);

}  // namespace loggen
