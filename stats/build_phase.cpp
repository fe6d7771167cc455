// The order of the build phase: general information first, then the
// statistics that later ones read (domains before envelopes, everything
// before the summaries and the messages/rejects statistics).
#include "stats/build_phase.h"

#include <new>

#include "driver/messages.h"

#include "stats/domain_stats.h"
#include "stats/envelope_stats.h"
#include "stats/general_stats.h"
#include "stats/milter_stats.h"
#include "stats/msg_rej_stats.h"
#include "stats/relay_stats.h"
#include "stats/ruleset_stats.h"
#include "stats/summary_stats.h"

namespace {

using S = program_settings;

constexpr auto dashboard = dashboard_use::reads;
constexpr auto no_dashboard = dashboard_use::no;

const build_step steps[] = {
    {"Build general information", nullptr, build_general_information, dashboard},
    {"Build domains information (envelopes)", &S::PrintEnvDomInfo, build_envelope_domain_statistics, dashboard},
    {"Build domains information (relays)", &S::PrintRelDomInfo, build_relay_domain_statistics, no_dashboard},
    {"Build envelope senders/recipients information", &S::PrintEnvInfo, build_envelope_statistics, dashboard},
    {"Build relays information", &S::PrintRelInfo, build_relay_statistics, dashboard},
    {"Build ruleset rejects information", &S::PrintRlrRejInfo, build_ruleset_statistics, dashboard},
    {"Build milter rejects information", &S::PrintMilRejInfo, build_milter_statistics, dashboard},
    {"Build summary information (relays)", &S::PrintSumInfoRelays, build_relay_summary, no_dashboard},
    {"Build summary information (recipients)", &S::PrintSumInfoRecipients, build_recipient_summary, no_dashboard},
    {"Build messages/rejects statistics", &S::PrintMsgRejStat, build_msg_rej_statistics, no_dashboard},
};

}  // namespace

std::span<const build_step> build_steps()
{
    return steps;
}

bool step_runs(const build_step& step, const program_settings& run)
{
    if (!step.run_switch || run.*step.run_switch)
        return true;
    return step.dashboard == dashboard_use::reads && run.dashboard_file.has_value();
}

int build_each_host(const char* (*build_host)(host_info& host), const char* no_memory)
{
    for (host_info& host : used_hosts()) {
        const char* failure = nullptr;
        try {
            failure = build_host(host);
        } catch (const std::bad_alloc&) {
            failure = no_memory;
        }
        if (failure) {
            error_message(failure);
            return 1;
        }
    }
    return 0;
}
