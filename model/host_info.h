// The per-host record and the fixed table of syslog hosts. Every counter, list
// and statistic of the run lives in the host_info of its host, in named parts:
// what the input phase counts, the message model, and one part per statistic.
// The table takes hosts in order of first appearance; every phase walks it in
// that order. Plain data: no part knows how it is filled or printed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "model/domain_records.h"
#include "model/envelope_records.h"
#include "model/general_records.h"
#include "model/message_model.h"
#include "model/milter_records.h"
#include "model/msg_rej_records.h"
#include "model/relay_records.h"
#include "model/ruleset_records.h"
#include "model/summary_records.h"
#include "util/arena.h"

inline constexpr std::size_t host_table_size = 4;

// Events the input phase counts without keeping a record.
struct input_counters {
    std::uint32_t alias_rebuilds = 0;
    std::uint32_t too_many_hops = 0;  // never counted
    std::uint32_t mail_loops = 0;     // never counted
    std::uint32_t other_syserr = 0;
    std::uint32_t daemon_restarts = 0;
    double in_total_size = 0;  // sum of the sizes of all senders
};

struct host_info {
    std::string host_name;       // empty only while the slot is free
    std::time_t first_entry = 0; // earliest line time of the host (0 before its first line)
    std::time_t last_entry = 0;  // latest line time of the host

    input_counters events;         // input phase
    message_model messages;        // input phase
    general_statistics general;    // always built
    envelope_statistics envelope;  // each further part under its report switch
    relay_statistics relay;
    domain_tables env_dom;  // domains of envelope addresses
    domain_tables rel_dom;  // domains of relays
    ruleset_statistics ruleset;
    milter_statistics milter;
    summary_statistics summary;
    std::vector<msg_rej_stat> msg_rej;

    arena memory;  // texts and records kept for this host
};

using host_table_type = std::array<host_info, host_table_size>;

// Lives until the process ends and is never destroyed: tearing down millions
// of records at exit would only cost time.
extern host_table_type& host_table;
extern std::uint32_t hosts_found;

// The log as the input phase read it, kept as long as the table: the
// records' texts point into it.
arena& kept_input();

// Empties every slot and the kept input (start-up, and between tests).
void clear_host_table();

// The record of `name`: an existing slot with exactly that name, else the
// first free slot, which takes the name. Null when all slots hold other names.
host_info* find_or_add_host(std::string_view name);

// The used slots, in table order.
std::span<host_info> used_hosts();

// The number of records of a table, for "%lu".
template <class Table>
unsigned long count_of(const Table& table)
{
    return static_cast<unsigned long>(table.size());
}
