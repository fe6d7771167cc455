// The text of a line: the syslog header ("Dec  1 00:00:07 mx1 sm-mta[4711]: ")
// and the fields of each step of a message (envelope, to= lines with
// delays, priorities and status texts, rejects, milter, TLS, AUTH, DSN and
// clone lines). Some fields are drawn while the line is written, so lines
// must be rendered in the order they appear in the log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/loggen/message.h"
#include "tools/loggen/random.h"
#include "tools/loggen/site.h"

namespace loggen {

// The header of a line of `program` (no "[pid]" when `pid` is 0) on `host`,
// stamped now or a little earlier.
void put_header(std::string& out, site& s, unsigned host, std::string_view program, std::uint32_t pid);

// ", version=..., verify=`verify`, cipher=..., bits=..." of a STARTTLS line.
void put_tls_parameters(std::string& out, random_source& rng, std::string_view verify);

// The whole line of the next step of `m`, its newline included.
void put_step_line(std::string& out, site& s, const message& m);

}  // namespace loggen
