// Lines that belong to no message: TLS handshakes, daemon starts, alias
// rebuilds, NOQUEUE rejects, milter connects, lost connections, SYSERRs,
// greylist whitelisting; and the occasional broken line (truncated, with a
// priority or weekday prefix, a bad time, tabs, or a missing colon or blank).
#pragma once

#include <string>

#include "tools/loggen/site.h"

namespace loggen {

// One line of no message, its newline included.
void put_standalone_line(std::string& out, site& s);

// One broken line, its newline included.
void put_broken_line(std::string& out, site& s);

}  // namespace loggen
