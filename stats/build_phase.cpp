// The order of the build phase: general information first, then the
// statistics that later ones read (domains before envelopes, everything
// before the summaries and the messages/rejects statistics).
#include "stats/build_phase.h"

#include "stats/general_stats.h"

namespace {

using S = program_settings;

const build_step steps[] = {
    {"Build general information", nullptr, build_general_information},
    {"Build domains information (envelopes)", &S::PrintEnvDomInfo, nullptr},
    {"Build domains information (relays)", &S::PrintRelDomInfo, nullptr},
    {"Build envelope senders/recipients information", &S::PrintEnvInfo, nullptr},
    {"Build relays information", &S::PrintRelInfo, nullptr},
    {"Build ruleset rejects information", &S::PrintRlrRejInfo, nullptr},
    {"Build milter rejects information", &S::PrintMilRejInfo, nullptr},
    {"Build summary information (relays)", &S::PrintSumInfoRelays, nullptr},
    {"Build summary information (recipients)", &S::PrintSumInfoRecipients, nullptr},
    {"Build messages/rejects statistics", &S::PrintMsgRejStat, nullptr},
};

}  // namespace

std::span<const build_step> build_steps()
{
    return steps;
}
