// The per-host record and the fixed table of syslog hosts. Every counter, list
// and statistic of the run lives in the host_info of its host; the table takes
// hosts in order of first appearance and every phase walks it in that order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "input/arena.h"

inline constexpr std::size_t host_table_size = 4;

struct host_info {
    std::string host_name;       // empty only while the slot is free
    std::time_t first_entry = 0; // earliest line time of the host (0 before its first line)
    std::time_t last_entry = 0;  // latest line time of the host
    arena memory;                // texts and records kept for this host
};

extern std::array<host_info, host_table_size> host_table;
extern std::uint32_t hosts_found;

// Empties every slot (start-up, and between tests).
void clear_host_table();

// The record of `name`: an existing slot with exactly that name, else the
// first free slot, which takes the name. Null when all slots hold other names.
host_info* find_or_add_host(std::string_view name);

// The used slots, in table order.
std::span<host_info> used_hosts();
