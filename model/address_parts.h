// How an address or host name splits into the parts the message model keeps:
// user, host and the two domain levels. The input phase splits what it reads,
// the statistics split the addresses they keep. A part that ends where the
// address or host name ends points into it (which must outlive the parts);
// the others are copied into the given arena. A part that cannot be made (or
// is absent) is null.
#pragma once

#include "model/message_model.h"
#include "util/arena.h"

// Splits an address into user, host and the two domain levels of the host.
env_name_info split_address(arena& memory, const char* address);

// The two domain levels of a host name: the walk goes from its last character
// to its second; the first dot met starts level 1, the second level 2; with a
// single dot, level 2 is "." and the whole name.
void make_levels(arena& memory, const char* host, const char*& level_1, const char*& level_2);
