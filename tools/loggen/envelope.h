// The envelope of a message: its sender and connecting client (a partner,
// a spam source), its message id and its groups of recipients, all drawn
// from the simulated world. The scripts of message_script.cpp call these in
// a fixed order; each draws its random numbers in the order written here.
#pragma once

#include <cstdint>
#include <string_view>

#include "tools/loggen/calendar.h"
#include "tools/loggen/log_generator.h"
#include "tools/loggen/message.h"
#include "tools/loggen/random.h"
#include "tools/loggen/world.h"

namespace loggen {

// Someone at the partner `p`, now and then with a null or unbracketed
// sender or a client without a name; a few are root at localhost instead.
// With options.senders, a forged sender comes through the partner's host.
void set_remote_sender(message& m, random_source& rng, const party& p, const log_generator_options& options);

// A spam address from a dial-up client, often with a forged name.
void set_spam_sender(message& m, random_source& rng, const log_generator_options& options);

// msgid=<yyyymmddhhmmss.xxxxxxxx@domain> of a message that started at `t`.
void put_msgid(message& m, random_source& rng, const calendar_time& t, std::string_view domain);

// Local recipients, one to= line per group.
void add_local_groups(message& m, random_source& rng, const log_generator_options& options);

// One to= group of an outbound message: one or two people (or up to
// options.max_recipients) at one domain (a mistyped one when the host is unknown).
delivery_group outbound_group(random_source& rng, outcome status, const party& p, const log_generator_options& options);

}  // namespace loggen
