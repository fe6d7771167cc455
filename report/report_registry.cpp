// The report table in print order.
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

using G = index_group;

const report_entry entries[] = {
    {"Print general information", &S::PrintGenInfo, &S::OutputGenInfoFile, false, false, write_general_report,
     G::general, "General information", nullptr, nullptr},
    {nullptr, &S::PrintHtmlIndex, &S::OutputHtmlIndexFile, true, false, write_html_index, G::none, nullptr, nullptr,
     nullptr},
    {"Print TLS/SSL messages information", &S::PrintTlsMsg, &S::OutputTlsMsgFile, false, false, write_tls_messages,
     G::diagnostic, "TLS/SSL logging messages", nullptr, nullptr},
    {"Print non-active clients messages information", &S::PrintNoActvMsg, &S::OutputNoActvMsgFile, false, false,
     write_no_action_messages, G::diagnostic, "Non-active clients logging messages", nullptr, nullptr},
    {"Print domains information (envelopes)", &S::PrintEnvDomInfo, &S::OutputEnvDomInfoFile, false, false,
     write_env_domain_report, G::viewed, "Domains information (addresses)",
     "Domain information for messages/rejects (envelope from-addr/to-addr)", &env_domain_split_views},
    {"Print domains information (relays)", &S::PrintRelDomInfo, &S::OutputRelDomInfoFile, false, false,
     write_relay_domain_report, G::viewed, "Domains information (relays)",
     "Domain information for messages/rejects (relays)", &relay_domain_split_views},
    {"Print envelope information", &S::PrintEnvInfo, &S::OutputEnvInfoFile, false, false, write_envelope_report,
     G::viewed, "Envelopes information", "Envelope information for messages", &envelope_split_views},
    {"Print relay information", &S::PrintRelInfo, &S::OutputRelInfoFile, false, false, write_relay_report, G::viewed,
     "Relays information", "Relay information for messages", &relay_split_views},
    {"Print ruleset reject information", &S::PrintRlrRejInfo, &S::OutputRlrRejInfoFile, false, false,
     write_ruleset_report, G::other, "Ruleset rejects information", nullptr, nullptr},
    {"Print milter reject information", &S::PrintMilRejInfo, &S::OutputMilRejInfoFile, false, true,
     write_milter_report, G::viewed, "Milter rejects information", "Milter information for rejects",
     &milter_split_views},
    {"Print summary information (relays)", &S::PrintSumInfoRelays, &S::OutputSumInfoRelaysFile, false, false,
     write_relay_summary_report, G::general, "Summary information (relays)", nullptr, nullptr},
    {"Print summary information (recipients)", &S::PrintSumInfoRecipients, &S::OutputSumInfoRecipientsFile, false,
     false, write_recipient_summary_report, G::general, "Summary information (recipients)", nullptr, nullptr},
    {nullptr, &S::PrintUnkUserMsg, &S::OutputUnkUserMsgFile, false, false, write_unknown_user_messages,
     G::diagnostic, "Unknown user logging messages", nullptr, nullptr},
    {nullptr, &S::PrintUnkMsg, &S::OutputUnkMsgFile, false, false, write_unknown_messages, G::diagnostic,
     "Unknown logging messages", nullptr, nullptr},
    {nullptr, &S::PrintOthMsg, &S::OutputOthMsgFile, false, false, write_other_messages, G::diagnostic,
     "Other logging messages", nullptr, nullptr},
    {nullptr, &S::PrintMsgOutOfOrderInfo, &S::OutputMsgOutOfOrderFile, false, false, write_messages_out_of_order,
     G::diagnostic, "Out-of-order messages logging information", nullptr, nullptr},
    {nullptr, &S::PrintRulOutOfOrderInfo, &S::OutputRulOutOfOrderFile, false, false, write_ruleset_out_of_order,
     G::diagnostic, "Out-of-order ruleset rejects logging information", nullptr, nullptr},
    {nullptr, &S::PrintMilOutOfOrderInfo, &S::OutputMilOutOfOrderFile, false, false, write_milter_out_of_order,
     G::diagnostic, "Out-of-order milter rejects logging information", nullptr, nullptr},
    {nullptr, &S::PrintMsgRejStat, &S::OutputMsgRejStatFile, false, false, write_msg_rej_stat, G::none, nullptr,
     nullptr, nullptr},
    // Reports of other programs, linked from the index page only.
    {nullptr, &S::PrintOldQuelmInfo, &S::OutputOldQuelmInfoFile, false, false, nullptr, G::other_program,
     "QUELM information", nullptr, nullptr},
    {nullptr, &S::PrintPop3Info, &S::OutputPop3InfoFile, false, false, nullptr, G::other_program, "POP3 information",
     nullptr, nullptr},
    {nullptr, &S::PrintImap4Info, &S::OutputImap4InfoFile, false, false, nullptr, G::other_program,
     "IMAP4 information", nullptr, nullptr},
    {nullptr, &S::PrintProcMailInfo, &S::OutputProcMailInfoFile, false, false, nullptr, G::other_program,
     "ProcMail information", nullptr, nullptr},
    {nullptr, &S::PrintSpamHdrInfo, &S::OutputSpamHdrInfoFile, false, false, nullptr, G::other_program,
     "Spam Header information", nullptr, nullptr},
    {nullptr, &S::PrintSpamStatInfo, &S::OutputSpamStatInfoFile, false, false, nullptr, G::other_program,
     "Spam Processing Statistics information", nullptr, nullptr},
    {nullptr, &S::PrintVOLSKInfo, &S::OutputVOLSKInfoFile, false, false, nullptr, G::other_program,
     "VOLSK information", nullptr, nullptr},
    {nullptr, &S::PrintMsgFileInfo, &S::OutputMsgFileInfoFile, false, false, nullptr, G::other_program,
     "Message files information", nullptr, nullptr},
    {nullptr, &S::PrintMsgArcInfo, &S::OutputMsgArcInfoFile, false, false, nullptr, G::other_program,
     "Message headers information", nullptr, nullptr},
};

}  // namespace

std::span<const report_entry> report_entries()
{
    return entries;
}

