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
#include <vector>

#include "input/arena.h"
#include "input/message_model.h"
#include "input/pairing_index.h"
#include "stats/domain_stats.h"
#include "stats/envelope_stats.h"
#include "stats/milter_stats.h"
#include "stats/msg_rej_stats.h"
#include "stats/relay_stats.h"
#include "stats/ruleset_stats.h"
#include "stats/summary_stats.h"

inline constexpr std::size_t host_table_size = 4;

// One distinct delivery status text and how many deliveries had it.
struct status_entry {
    std::uint32_t count;
    const char* text;
    status_entry* next;
    status_entry* prev;
};

struct host_info {
    std::string host_name;       // empty only while the slot is free
    std::time_t first_entry = 0; // earliest line time of the host (0 before its first line)
    std::time_t last_entry = 0;  // latest line time of the host

    // Event counters kept while the log is read.
    std::uint32_t alias_rebuilds = 0;
    std::uint32_t too_many_hops = 0;  // never counted
    std::uint32_t mail_loops = 0;     // never counted
    std::uint32_t other_syserr = 0;
    std::uint32_t daemon_restarts = 0;
    double in_total_size = 0;         // sum of the sizes of all senders

    // Totals, rates and classes built after the input.
    std::uint32_t ruleset_rejects = 0;
    std::uint32_t milter_rejects = 0;
    double total_time = 0;  // seconds from first_entry to last_entry
    double in_avg_size = 0;
    double in_per_hour = 0, in_per_min = 0, in_per_sec = 0;
    std::uint32_t in_connects = 0;
    std::uint32_t in_messages = 0;
    std::uint32_t out_messages = 0;
    std::uint32_t out_sent = 0, out_deferred = 0, out_queued = 0, out_unknown_user = 0;
    std::uint32_t out_host_unavail = 0, out_service_unavail = 0, out_viruses = 0, out_other_error = 0;

    // Number of elements on each list of the message model.
    std::uint32_t unknown_msgs = 0;
    std::uint32_t unknown_user_msgs = 0;
    std::uint32_t tls_msgs = 0;
    std::uint32_t other_msgs = 0;
    std::uint32_t from_msgs_ooo = 0;
    std::uint32_t to_msgs_ooo = 0;
    std::uint32_t msg_chains = 0;
    std::uint32_t ruleset_msgs_ooo = 0;
    std::uint32_t ruleset_chains = 0;
    std::uint32_t milter_msgs_ooo = 0;
    std::uint32_t milter_chains = 0;
    std::uint32_t no_action_msgs = 0;

    // The message model: side lists, pending lists and chains, in input order.
    record_list<msg_other> unknown_user_list;
    record_list<msg_line> unknown_list;
    record_list<msg_line> tls_list;
    record_list<msg_other> other_list;
    pending_list<msg_from> from_list;
    record_list<msg_to> to_list;
    record_list<msg_chain_item> msg_chain;
    pending_list<msg_ruleset> ruleset_list;
    record_list<ruleset_chain_item> ruleset_chain;
    pending_list<msg_milter> milter_list;
    record_list<milter_chain_item> milter_chain;
    record_list<msg_no_action> no_action_list;

    // Distributions over the hours of the day and the days of the week (0 = Sunday).
    std::uint32_t hour_connects[24] = {}, hour_in[24] = {}, hour_out[24] = {}, hour_rejects[24] = {},
                  hour_viruses[24] = {};
    std::uint32_t wday_connects[7] = {}, wday_in[7] = {}, wday_out[7] = {}, wday_rejects[7] = {},
                  wday_viruses[7] = {};
    std::int32_t wday_mday[7] = {};  // day of month of the first connect counted for each weekday

    // Distinct delivery status texts in order of first appearance.
    std::uint32_t status_distinct = 0;
    std::uint32_t status_total = 0;
    pending_list<status_entry> status_list;

    // Envelope statistics (tables in order of first appearance).
    std::uint32_t env_pair_count = 0;  // records in env_pair_list
    std::uint32_t env_pair_refs = 0;   // deliveries counted into pairs
    std::uint32_t env_sender_count = 0;
    std::uint32_t env_rcpt_count = 0;
    std::vector<env_pair_stat> env_pair_list;
    std::vector<env_mem_stat> env_sender_list;
    std::vector<env_mem_stat> env_rcpt_list;

    // Relay statistics.
    std::uint32_t relay_pair_count = 0;
    std::uint32_t relay_pair_refs = 0;
    std::uint32_t relay_sender_count = 0;
    std::uint32_t relay_rcpt_count = 0;
    std::vector<relay_pair_stat> relay_pair_list;
    std::vector<relay_mem_stat> relay_sender_list;
    std::vector<relay_mem_stat> relay_rcpt_list;

    // Domain statistics of envelope addresses and of relays.
    domain_tables env_dom;
    domain_tables rel_dom;

    // Ruleset reject statistics.
    double rulrej_size = 0;
    std::uint32_t rulrej_count = 0;
    std::uint32_t rulrej_refs = 0;
    std::vector<ruleset_reject_stat> rulrej_list;

    // Milter reject statistics.
    double milrej_size = 0;
    std::uint32_t milrej_count = 0;
    std::uint32_t milrej_refs = 0;
    std::vector<milter_reject_stat> milrej_list;
    std::uint32_t rej_reason_count = 0;
    std::uint32_t rej_reason_refs = 0;
    std::vector<reject_reason_stat> rej_reason_list;
    std::uint32_t milrej_rcpt_count = 0;
    std::uint32_t milrej_rcpt_refs = 0;
    std::vector<env_mem_stat> milrej_rcpt_list;

    // Summaries by relay and by recipient.
    std::uint32_t sum_relay_count = 0;
    std::vector<summary_relay_stat> sum_relay_list;
    std::uint32_t sum_rcpt_count = 0;
    std::vector<summary_rcpt_stat> sum_rcpt_list;

    // Messages/rejects statistics.
    std::uint32_t msg_rej_count = 0;
    std::vector<msg_rej_stat> msg_rej_list;

    pairing_index index;  // finds pending records and chain elements by queue id
    arena memory;         // texts and records kept for this host
};

using host_table_type = std::array<host_info, host_table_size>;

// Lives until the process ends and is never destroyed: tearing down millions
// of records at exit would only cost time.
extern host_table_type& host_table;
extern std::uint32_t hosts_found;

// Empties every slot (start-up, and between tests).
void clear_host_table();

// The record of `name`: an existing slot with exactly that name, else the
// first free slot, which takes the name. Null when all slots hold other names.
host_info* find_or_add_host(std::string_view name);

// The used slots, in table order.
std::span<host_info> used_hosts();

// Runs one statistic builder over every used host in table order. The
// builder returns its failure message, or null when the host was built; a
// failure, or memory running out where the builder does not check it
// (`no_memory`), is written and ends the walk with 1 (the run then ends).
int build_each_host(const char* (*build_host)(host_info& host), const char* no_memory);
