// The report table in print order and the rule that turns a file-name setting
// into the path a writer opens.
#include "report/report_registry.h"

#include "util/text_util.h"
#include "report/domain_report.h"
#include "report/envelope_report.h"
#include "report/general_report.h"
#include "report/html_index.h"
#include "report/message_lists.h"
#include "report/milter_report.h"
#include "report/msg_rej_report.h"
#include "report/relay_report.h"
#include "report/ruleset_report.h"
#include "report/summary_report.h"

namespace {

using S = program_settings;

const report_entry entries[] = {
    {"Print general information", &S::PrintGenInfo, &S::OutputGenInfoFile, false, false, write_general_report},
    {nullptr, &S::PrintHtmlIndex, &S::OutputHtmlIndexFile, true, false, write_html_index},
    {"Print TLS/SSL messages information", &S::PrintTlsMsg, &S::OutputTlsMsgFile, false, false, write_tls_messages},
    {"Print non-active clients messages information", &S::PrintNoActvMsg, &S::OutputNoActvMsgFile, false, false, write_no_action_messages},
    {"Print domains information (envelopes)", &S::PrintEnvDomInfo, &S::OutputEnvDomInfoFile, false, false, write_env_domain_report},
    {"Print domains information (relays)", &S::PrintRelDomInfo, &S::OutputRelDomInfoFile, false, false, write_relay_domain_report},
    {"Print envelope information", &S::PrintEnvInfo, &S::OutputEnvInfoFile, false, false, write_envelope_report},
    {"Print relay information", &S::PrintRelInfo, &S::OutputRelInfoFile, false, false, write_relay_report},
    {"Print ruleset reject information", &S::PrintRlrRejInfo, &S::OutputRlrRejInfoFile, false, false, write_ruleset_report},
    {"Print milter reject information", &S::PrintMilRejInfo, &S::OutputMilRejInfoFile, false, true, write_milter_report},
    {"Print summary information (relays)", &S::PrintSumInfoRelays, &S::OutputSumInfoRelaysFile, false, false, write_relay_summary_report},
    {"Print summary information (recipients)", &S::PrintSumInfoRecipients, &S::OutputSumInfoRecipientsFile, false, false, write_recipient_summary_report},
    {nullptr, &S::PrintUnkUserMsg, &S::OutputUnkUserMsgFile, false, false, write_unknown_user_messages},
    {nullptr, &S::PrintUnkMsg, &S::OutputUnkMsgFile, false, false, write_unknown_messages},
    {nullptr, &S::PrintOthMsg, &S::OutputOthMsgFile, false, false, write_other_messages},
    {nullptr, &S::PrintMsgOutOfOrderInfo, &S::OutputMsgOutOfOrderFile, false, false, write_messages_out_of_order},
    {nullptr, &S::PrintRulOutOfOrderInfo, &S::OutputRulOutOfOrderFile, false, false, write_ruleset_out_of_order},
    {nullptr, &S::PrintMilOutOfOrderInfo, &S::OutputMilOutOfOrderFile, false, false, write_milter_out_of_order},
    {nullptr, &S::PrintMsgRejStat, &S::OutputMsgRejStatFile, false, false, write_msg_rej_stat},
};

}  // namespace

std::span<const report_entry> report_entries()
{
    return entries;
}

