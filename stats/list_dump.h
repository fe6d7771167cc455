// The debug dump of a host's pending and side lists (verbose, debug level 1).
#pragma once

struct host_info;

// Writes the eight lists of `host` through the verbose routine.
void dump_message_lists(const host_info& host);
