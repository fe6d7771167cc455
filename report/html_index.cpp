// The HTML index page. Each link target is a file-name setting exactly as
// configured, without the output directory (the page sits beside the
// reports); link titles are fixed texts or the configured further-report
// name. The configuration is trusted input, so both are written unchanged.
#include "report/html_index.h"

#include <cstdio>
#include <span>

#include "driver/settings.h"
#include "report/report_writer.h"

namespace {

using S = program_settings;

// One link of the single-file list, under its report switch.
struct report_link {
    int S::*print_switch;
    setting_text S::*file_name;
    const char* title;
};

constexpr report_link general_links[] = {
    {&S::PrintGenInfo, &S::OutputGenInfoFile, "General information"},
    {&S::PrintSumInfoRelays, &S::OutputSumInfoRelaysFile, "Summary information (relays)"},
    {&S::PrintSumInfoRecipients, &S::OutputSumInfoRecipientsFile, "Summary information (recipients)"},
};

// The reports that have sorted views of their own in split mode.
constexpr report_link viewed_report_links[] = {
    {&S::PrintEnvDomInfo, &S::OutputEnvDomInfoFile, "Domains information (addresses)"},
    {&S::PrintRelDomInfo, &S::OutputRelDomInfoFile, "Domains information (relays)"},
    {&S::PrintEnvInfo, &S::OutputEnvInfoFile, "Envelopes information"},
    {&S::PrintRelInfo, &S::OutputRelInfoFile, "Relays information"},
    {&S::PrintMilRejInfo, &S::OutputMilRejInfoFile, "Milter rejects information"},
};

constexpr report_link ruleset_links[] = {
    {&S::PrintRlrRejInfo, &S::OutputRlrRejInfoFile, "Ruleset rejects information"},
};

constexpr report_link diagnostic_links[] = {
    {&S::PrintTlsMsg, &S::OutputTlsMsgFile, "TLS/SSL logging messages"},
    {&S::PrintNoActvMsg, &S::OutputNoActvMsgFile, "Non-active clients logging messages"},
    {&S::PrintUnkUserMsg, &S::OutputUnkUserMsgFile, "Unknown user logging messages"},
    {&S::PrintUnkMsg, &S::OutputUnkMsgFile, "Unknown logging messages"},
    {&S::PrintOthMsg, &S::OutputOthMsgFile, "Other logging messages"},
    {&S::PrintMsgOutOfOrderInfo, &S::OutputMsgOutOfOrderFile, "Out-of-order messages logging information"},
    {&S::PrintRulOutOfOrderInfo, &S::OutputRulOutOfOrderFile, "Out-of-order ruleset rejects logging information"},
    {&S::PrintMilOutOfOrderInfo, &S::OutputMilOutOfOrderFile, "Out-of-order milter rejects logging information"},
};

// Reports made by other programs.
constexpr report_link other_program_links[] = {
    {&S::PrintOldQuelmInfo, &S::OutputOldQuelmInfoFile, "QUELM information"},
    {&S::PrintPop3Info, &S::OutputPop3InfoFile, "POP3 information"},
    {&S::PrintImap4Info, &S::OutputImap4InfoFile, "IMAP4 information"},
    {&S::PrintProcMailInfo, &S::OutputProcMailInfoFile, "ProcMail information"},
    {&S::PrintSpamHdrInfo, &S::OutputSpamHdrInfoFile, "Spam Header information"},
    {&S::PrintSpamStatInfo, &S::OutputSpamStatInfoFile, "Spam Processing Statistics information"},
    {&S::PrintVOLSKInfo, &S::OutputVOLSKInfoFile, "VOLSK information"},
    {&S::PrintMsgFileInfo, &S::OutputMsgFileInfoFile, "Message files information"},
    {&S::PrintMsgArcInfo, &S::OutputMsgArcInfoFile, "Message headers information"},
};

// One sorted-view file in split mode; a null key stands for a "<BR>" line.
struct view_link {
    const char* title;
    setting_text S::*key;
};

constexpr view_link line_break{nullptr, nullptr};

constexpr view_link env_domain_views[] = {
    {"Domains level-1 sorted by value", &S::OutputEnvDomByValueFile_Lvl_1},
    {"Domains level-1 sorted by name", &S::OutputEnvDomByNameFile_Lvl_1},
    line_break,
    {"Domains level-2 sorted by value", &S::OutputEnvDomByValueFile_Lvl_2},
    {"Domains level-2 sorted by name", &S::OutputEnvDomByNameFile_Lvl_2},
};

constexpr view_link relay_domain_views[] = {
    {"Domains level-1 sorted by value", &S::OutputRelDomByValueFile_Lvl_1},
    {"Domains level-1 sorted by name", &S::OutputRelDomByNameFile_Lvl_1},
    line_break,
    {"Domains level-2 sorted by value", &S::OutputRelDomByValueFile_Lvl_2},
    {"Domains level-2 sorted by name", &S::OutputRelDomByNameFile_Lvl_2},
};

constexpr view_link envelope_views[] = {
    {"Envelope pairs sorted by size", &S::OutputEnvPairsBySize},
    {"Envelope pairs sorted by count", &S::OutputEnvPairsByCount},
    {"Envelope pairs sorted by envelope from-addr (domain level-1)", &S::OutputEnvPairsByDomFrom},
    {"Envelope pairs sorted by status", &S::OutputEnvPairsByStatus},
    {"Envelope pairs sorted by time", &S::OutputEnvPairsByTime},
    {"Envelope pairs sorted by recipient name", &S::OutputEnvPairsByRcptName},
    {"Envelope pairs sorted by sender name", &S::OutputEnvPairsBySenderName},
    {"Envelope pairs sorted by relay (name)", &S::OutputEnvPairsByRelayName},
    {"Envelope pairs sorted by relay (IP address)", &S::OutputEnvPairsByRelayAddr},
    {"Envelope pairs sorted by relay (domain level-1)", &S::OutputEnvPairsByRelayDom_Lvl_1},
    {"Envelope pairs sorted by relay (domain level-2)", &S::OutputEnvPairsByRelayDom_Lvl_2},
    {"Envelope pairs sorted by relay (domain level-2), (virus messages only)", &S::OutputEnvPairsByVirusDom_Lvl_2},
    {"Envelope pairs sorted by relay (IP address), (virus messages only)", &S::OutputEnvPairsByVirusRelayAddr},
    {"Envelope pairs sorted by recipient name, (virus messages only)", &S::OutputEnvPairsByVirusRcptName},
    line_break,
    {"Envelope senders sorted by size", &S::OutputEnvSendersBySize},
    {"Envelope senders sorted by count", &S::OutputEnvSendersByCount},
    line_break,
    {"Envelope recipients sorted by size", &S::OutputEnvRecipientsBySize},
    {"Envelope recipients sorted by count", &S::OutputEnvRecipientsByCount},
};

constexpr view_link relay_views[] = {
    {"Relay pairs sorted by size", &S::OutputRelayPairsBySize},
    {"Relay pairs sorted by count", &S::OutputRelayPairsByCount},
    line_break,
    {"Relay senders sorted by size", &S::OutputRelaySendersBySize},
    {"Relay senders sorted by count", &S::OutputRelaySendersByCount},
    line_break,
    {"Relay recipients sorted by size", &S::OutputRelayRecipientsBySize},
    {"Relay recipients sorted by count", &S::OutputRelayRecipientsByCount},
};

constexpr view_link milter_views[] = {
    {"Milter rejects sorted by count", &S::OutputMilterRejectsByCount},
    {"Milter rejects sorted by size", &S::OutputMilterRejectsBySize},
    {"Milter rejects sorted by time", &S::OutputMilterRejectsByTime},
    {"Milter rejects sorted by recipient", &S::OutputMilterRejectsByRcptName},
    line_break,
    {"Milter rejects sorted by relay (name)", &S::OutputMilterRejectsByRelay},
    {"Milter rejects sorted by relay (IP address)", &S::OutputMilterRejectsByRelAddr},
    {"Milter rejects sorted by relay (domain level-1)", &S::OutputMilterRejectsByRelDom_Lvl_1},
    {"Milter rejects sorted by relay (domain level-2)", &S::OutputMilterRejectsByRelDom_Lvl_2},
    line_break,
    {"Milter rejects sorted by envelope from-addr (name)", &S::OutputMilterRejectsByName},
    {"Milter rejects sorted by envelope from-addr (domain level-1)", &S::OutputMilterRejectsByDomFrom},
    line_break,
    {"Milter rejects envelope recipients sorted by name", &S::OutputEnvRecipientsMilRejByName},
    {"Milter rejects envelope recipients sorted by count", &S::OutputEnvRecipientsMilRejByCount},
    line_break,
    {"Milter rejects sorted by reason", &S::OutputMilterRejectsByReason},
    {"Milter rejects sorted by reason (summary, by count)", &S::OutputRejectsByReasonCount},
    {"Milter rejects sorted by reason (summary, by name)", &S::OutputRejectsByReasonName},
};

// The views of one report in split mode, under an H4 heading.
struct view_block {
    int S::*print_switch;
    const char* heading;
    std::span<const view_link> views;
};

const view_block view_blocks[] = {
    {&S::PrintEnvDomInfo, "Domain information for messages/rejects (envelope from-addr/to-addr)", env_domain_views},
    {&S::PrintRelDomInfo, "Domain information for messages/rejects (relays)", relay_domain_views},
    {&S::PrintEnvInfo, "Envelope information for messages", envelope_views},
    {&S::PrintRelInfo, "Relay information for messages", relay_views},
    {&S::PrintMilRejInfo, "Milter information for rejects", milter_views},
};

constexpr std::size_t link_line_size = 512;

void write_link(report_file& out, const std::string& target, const char* title)
{
    out.print("      <LI><A HREF=\"%s\">%s</A></LI>\n", target.c_str(), title);
}

void write_heading(report_file& out, const char* heading)
{
    out.print("      <H4>%s</H4>\n", heading);
}

// The links whose switch is on; a link without a file name is left out.
void write_report_links(report_file& out, std::span<const report_link> links)
{
    for (const report_link& link : links) {
        const setting_text& target = settings.*link.file_name;
        if (settings.*link.print_switch && target)
            write_link(out, *target, link.title);
    }
}

void write_view_block(report_file& out, const view_block& block)
{
    if (!(settings.*block.print_switch))
        return;
    write_heading(out, block.heading);
    for (const view_link& view : block.views) {
        if (view.key == nullptr) {
            out.write("      <BR>\n");
            continue;
        }
        if (const setting_text& target = settings.*view.key)
            write_link(out, *target, view.title);
    }
}

// The further report: the configured name is written as text, so a "%" in
// it stays; the line is cut to 511 characters.
void write_other_report_link(report_file& out)
{
    if (!settings.PrintOtherReport || !settings.OutputOtherReportFile)
        return;
    const char* name = settings.OutputOtherReportName ? settings.OutputOtherReportName->c_str() : "";
    char line[link_line_size];
    std::snprintf(line, sizeof line, "      <LI><A HREF=\"%s\">%s</A></LI>\n",
                  settings.OutputOtherReportFile->c_str(), name);
    out.write(line);
}

void write_single_file_list(report_file& out)
{
    out.write("    <UL>\n");
    write_report_links(out, general_links);
    write_report_links(out, viewed_report_links);
    write_report_links(out, ruleset_links);
    write_report_links(out, diagnostic_links);
    write_report_links(out, other_program_links);
    out.write("    </UL>\n");
}

void write_split_list(report_file& out)
{
    out.write("    <UL>\n");
    write_report_links(out, general_links);
    for (const view_block& block : view_blocks)
        write_view_block(out, block);
    write_heading(out, "Other information");
    write_report_links(out, ruleset_links);
    write_heading(out, "Diagnostic information (for developer)");
    write_report_links(out, diagnostic_links);
    write_heading(out, "Links to other reports");
    write_report_links(out, other_program_links);
    write_other_report_link(out);
    out.write("    </UL>\n");
}

void write_index_page(report_file& out)
{
    write_html_header(out);
    write_html_index_heading(out);
    if (settings.SplitHtmlOutput == 0)
        write_single_file_list(out);
    else if (settings.SplitHtmlOutput == 1)
        write_split_list(out);
    write_html_footer(out);
}

}  // namespace

int write_html_index(const std::string& path, int format)
{
    report_file out(path, "html_index_out");
    if (!out)
        return 1;
    if (format == FORMAT_HTML)
        write_index_page(out);
    return 0;
}
