// Sorting the statistic tables in place, just before each report view. All
// sorts are stable, so a view inherits the tie order of the view before it.
// The envelope pairs go through libbsd's mergesort (and stay in their order
// when merge_sort is not 1); every other table is sorted with a stable
// O(n log n) sort that orders exactly like the neighbour-exchange passes
// the views are defined with. A code a table does not accept leaves it as it
// is. In every text key an absent text sorts after every present one.
#pragma once

#include <vector>

#include "model/general_records.h"
#include "stats/domain_stats.h"
#include "stats/envelope_stats.h"
#include "stats/milter_stats.h"
#include "stats/relay_stats.h"
#include "stats/ruleset_stats.h"
#include "stats/summary_stats.h"

enum sort_order : int {
    SORT_BY_NAME = 1,
    SORT_BY_VALUE = 2,
    SORT_BY_SIZE = 3,
    SORT_BY_COUNT = 4,
    SORT_BY_RELAY_NAME = 5,
    SORT_BY_RELAY_ADDR = 7,
    SORT_BY_RELAY_DOM_L1 = 8,
    SORT_BY_RELAY_DOM_L2 = 9,
    SORT_BY_FROM_DOM = 10,
    SORT_BY_REASON = 11,
    SORT_BY_FROM_DOM_MIL = 12,
    SORT_BY_RECIPIENT = 13,
    SORT_BY_STATUS = 14,
    SORT_BY_SENDER = 15,
    SORT_BY_TIME = 16,
};

// Envelope pairs: 3 4 5 7 8 9 10 13 14 15 16.
void sort_env_pairs(std::vector<env_pair_stat>& pairs, int order);
// The comparison of two records under `order` (one the table accepts), and
// the comparison the merge sort makes of them, mostly decided by keys kept
// beside the pointers: the two give the same sign for every two records.
int compare_env_pairs(const env_pair_stat& a, const env_pair_stat& b, int order);
int compare_env_pairs_by_key(const env_pair_stat& a, const env_pair_stat& b, int order);
int compare_milter_rejects(const milter_reject_stat& a, const milter_reject_stat& b, int order);
int compare_milter_rejects_by_key(const milter_reject_stat& a, const milter_reject_stat& b, int order);
// Envelope senders and recipients: 3 4 1 (name by strcmp).
void sort_env_members(std::vector<env_mem_stat>& members, int order);
// Relay pairs, relay senders and recipients: 3 4.
void sort_relay_pairs(std::vector<relay_pair_stat>& pairs, int order);
void sort_relay_members(std::vector<relay_mem_stat>& members, int order);
// Domains: 2 (all, larger first) and 1 (name by strcasecmp).
void sort_domains(std::vector<domain_stat>& domains, int order);
// Ruleset rejects: 4.
void sort_ruleset_rejects(std::vector<ruleset_reject_stat>& rejects, int order);
// Milter rejects (libbsd mergesort, only when merge_sort is 1): 1 3 4 5 7 8 9 11 12 13 16.
void sort_milter_rejects(std::vector<milter_reject_stat>& rejects, int order);
// Reject reasons: 4 and 1 (reason by strcasecmp).
void sort_reject_reasons(std::vector<reject_reason_stat>& reasons, int order);
// Summary by relay: 4 (total) and 9 (level-2 domain, relay name, address).
void sort_summary_relays(std::vector<summary_relay_stat>& relays, int order);
// Delivery status texts: 4.
void sort_statuses(std::vector<status_entry>& statuses, int order);
// Summary by recipient: 4 (total) and 1 (name by strcmp).
void sort_summary_recipients(std::vector<summary_rcpt_stat>& recipients, int order);

// Compares host names label by label from the right; where one name runs
// out of dots first, the one with more labels left comes first. Absent
// names sort last.
int compare_domain_names(const char* a, const char* b);

// strcasecmp with absent texts last (two absent texts are equal).
int compare_texts_nocase(const char* a, const char* b);
// strcmp with absent texts last.
int compare_texts(const char* a, const char* b);
