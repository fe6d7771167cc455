// Writing the milter reject report in ASCII, single-file HTML or split HTML.
// Reads the built milter reject statistics (trusted) and sorts the host's
// tables in place before each view, so every view inherits the tie order of
// the one before. Texts from the log print unchanged in ASCII ("(null)" when
// absent) and go through html_text in HTML (empty when absent).
#include "report/milter_report.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <span>

#include "driver/settings.h"
#include "util/text_util.h"
#include "stats/sort_engine.h"

namespace {

// ---------------------------------------------------------------- ASCII

void write_ascii_host(report_file& out, const host_info& host)
{
    out.print("host: %s\n", host.host_name.c_str());
    out.print("milter rejects count: %lu\n", count_of(host.milter.rejects));
    out.print("milter rejects count (ref): %lu\n", ul(host.milter.refs));
    out.print("milter rejects size (esmtp): %.0f\n", host.milter.size);
    out.print("milter reason rejects count: %lu\n", count_of(host.milter.reasons));
    out.print("milter reason rejects count (ref): %lu\n", ul(host.milter.reason_refs));
    out.write("\n<<< Unsorted list of milter rejects >>>\n");
    for (const milter_reject_stat& reject : host.milter.rejects)
        out.print("from='%s','%s','%s'  size=%.0f count=%lu\n", text_or_null(reject.env_from),
                  text_or_null(reject.relay_name), text_or_null(reject.relay_ip), reject.size, ul(reject.count));
    out.write("\n<<< Unsorted list of recipients of milter rejects >>>\n");
    for (const env_mem_stat& recipient : host.milter.recipients)
        out.print("to='%s' size=%.0f count=%lu\n", text_or_null(recipient.name), recipient.size, ul(recipient.count));
    out.write("\n<<< Unsorted list of milter rejects by reason >>>\n");
    for (const reject_reason_stat& reason : host.milter.reasons)
        out.print("from='%s' count=%lu\n", text_or_null(reason.reason), ul(reason.count));
    out.write("\n");
}

void write_ascii_report(report_file& out)
{
    for (const host_info& host : used_hosts())
        write_ascii_host(out, host);
}

// ---------------------------------------------------------------- reject table

void write_reject_table_header(report_file& out)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Num</TD>\n", color());
    for (const char* title : {"Address-From (Address-To)", "Relay"})
        out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    for (const char* title : {"Msgs", "Size"})
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">Reject Reason</TD>\n", color());
    out.write("      </TR>\n");
}

void write_address_cell(report_file& out, const milter_reject_stat& reject)
{
    const html_escaped sender = html_text(reject.env_from);
    if (reject.env_to == nullptr)
        out.print("        <TD ALIGN=left>%s</TD>\n", sender.c_str());
    else
        out.print("        <TD ALIGN=left>%s (%s)</TD>\n", sender.c_str(), html_text(reject.env_to).c_str());
}

void write_relay_cell(report_file& out, const milter_reject_stat& reject)
{
    const html_escaped relay = html_text(reject.relay_name);
    if (reject.relay_ip == nullptr)
        out.print("        <TD ALIGN=left>%s</TD>\n", relay.c_str());
    else if (reject.relay_geo_dom == nullptr)
        out.print("        <TD ALIGN=left>%s [%s]</TD>\n", relay.c_str(), html_text(reject.relay_ip).c_str());
    else
        out.print("        <TD ALIGN=left>%s [%s],[%s]</TD>\n", relay.c_str(), html_text(reject.relay_ip).c_str(),
                  html_text(reject.relay_geo_dom).c_str());
}

void write_reject_row(report_file& out, const milter_reject_stat& reject, unsigned long number)
{
    out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", number);
    write_address_cell(out, reject);
    write_relay_cell(out, reject);
    out.print("        <TD ALIGN=center>%lu</TD>\n", ul(reject.count));
    write_spaced_size_cell(out, reject.size);
    out.print("        <TD ALIGN=left>%s<BR>(%s)</TD>\n", html_text(reject.reason).c_str(),
              first_last_time_text(reject.first_time, reject.last_time).c_str());
    out.write("      </TR>\n");
}

// ---------------------------------------------------------------- views

// Views that show only their heading: the sort, no table.
template <int Order>
void sort_rejects(report_file&, host_info& host)
{
    sort_milter_rejects(host.milter.rejects, Order);
}

template <int Order>
void sort_recipients(report_file&, host_info& host)
{
    sort_env_members(host.milter.recipients, Order);
}

template <int Order>
void sort_reasons(report_file&, host_info& host)
{
    sort_reject_reasons(host.milter.reasons, Order);
}

template <int Order>
void reject_table(report_file& out, host_info& host)
{
    sort_milter_rejects(host.milter.rejects, Order);
    write_milter_reject_table(out, host);
}

template <int Order>
void recipient_table(report_file& out, host_info& host)
{
    sort_env_members(host.milter.recipients, Order);
    write_milter_recipient_table(out, host);
}

template <int Order>
void reason_table(report_file& out, host_info& host)
{
    sort_reject_reasons(host.milter.reasons, Order);
    write_reject_reason_table(out, host, host.milter.reason_refs);
}

const html_section sections[] = {
    {"milnam", "Milter rejects sorted by name", "milter rejects sorted by name",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_NAME>},
    {"milcnt", "Milter rejects sorted by count", "milter rejects sorted by count",
     table_size<&host_info::milter, &milter_statistics::rejects>, reject_table<SORT_BY_COUNT>},
    {"milsiz", "Milter rejects sorted by size", "milter rejects sorted by size",
     table_size<&host_info::milter, &milter_statistics::rejects>, reject_table<SORT_BY_SIZE>},
    {"milrelnam", "Milter rejects sorted by relay name", "milter rejects sorted by relay name",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_NAME>},
    {"milreladr", "Milter rejects sorted by relay address", "milter rejects sorted by relay address",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_ADDR>},
    {"milreldoml1", "Milter rejects sorted by relay domain level-1", "milter rejects sorted by relay domain level-1",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_DOM_L1>},
    {"milreldoml2", "Milter rejects sorted by relay domain level-2", "milter rejects sorted by relay domain level-2",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_DOM_L2>},
    {"mildom", "Milter rejects sorted by domain (env-from)", "milter rejects sorted by env-from domain",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_FROM_DOM_MIL>},
    {"milrelrsnall", "Milter rejects sorted by reason (all)", "milter rejects sorted by reason",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_REASON>},
    {"milrelrsncnt", "Milter rejects sorted by reason (summary,value)", "milter rejects sorted by reason count",
     table_size<&host_info::milter, &milter_statistics::reasons>, sort_reasons<SORT_BY_COUNT>},
    {"milrelrsnnam", "Milter rejects sorted by reason (summary,name)", "milter rejects sorted by reason name",
     table_size<&host_info::milter, &milter_statistics::reasons>, reason_table<SORT_BY_NAME>},
};

using S = program_settings;

const split_view views[] = {
    {&S::OutputMilterRejectsByName, "mil_rej_nam", nullptr, "milter rejects sorted by name",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_NAME>,
     "Milter rejects sorted by envelope from-addr (name)", 8, true},
    {&S::OutputMilterRejectsByCount, "mil_rej_count", nullptr, "milter rejects sorted by count",
     table_size<&host_info::milter, &milter_statistics::rejects>, reject_table<SORT_BY_COUNT>,
     "Milter rejects sorted by count", 0, false},
    {&S::OutputMilterRejectsBySize, "mil_rej_siz", nullptr, "milter rejects sorted by size",
     table_size<&host_info::milter, &milter_statistics::rejects>, reject_table<SORT_BY_SIZE>,
     "Milter rejects sorted by size", 1, false},
    {&S::OutputMilterRejectsByTime, "mil_rej_tim", nullptr, "milter rejects sorted by time",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_TIME>,
     "Milter rejects sorted by time", 2, false},
    {&S::OutputMilterRejectsByRcptName, "mil_rej_rcpt_nam", nullptr, "milter rejects sorted by recipient name",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RECIPIENT>,
     "Milter rejects sorted by recipient", 3, false},
    {&S::OutputMilterRejectsByRelay, "mil_rej_relay", nullptr, "milter rejects sorted by relay name",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_NAME>,
     "Milter rejects sorted by relay (name)", 4, true},
    {&S::OutputMilterRejectsByRelAddr, "mil_rej_rel_addr", nullptr, "milter rejects sorted by relay address",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_ADDR>,
     "Milter rejects sorted by relay (IP address)", 5, false},
    {&S::OutputMilterRejectsByRelDom_Lvl_1, "mil_rej_rel_dom_lvl_1", nullptr, "milter rejects sorted by relay domain level-1",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_DOM_L1>,
     "Milter rejects sorted by relay (domain level-1)", 6, false},
    {&S::OutputMilterRejectsByRelDom_Lvl_2, "mil_rej_rel_dom_lvl_2", nullptr, "milter rejects sorted by relay domain level-2",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_RELAY_DOM_L2>,
     "Milter rejects sorted by relay (domain level-2)", 7, false},
    {&S::OutputMilterRejectsByDomFrom, "mil_rej_relay", nullptr, "milter rejects sorted by env-from domain",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_FROM_DOM_MIL>,
     "Milter rejects sorted by envelope from-addr (domain level-1)", 9, false},
    {&S::OutputEnvRecipientsMilRejByName, "mil_rej_env_rcpts_by_nam", nullptr, "envelope recipients from milter rejects sorted by name",
     table_size<&host_info::milter, &milter_statistics::recipients>, recipient_table<SORT_BY_NAME>,
     "Milter rejects envelope recipients sorted by name", 10, true},
    {&S::OutputEnvRecipientsMilRejByCount, "mil_rej_env_rcpts_by_cnt", nullptr, "envelope recipients from milter rejects sorted by count",
     table_size<&host_info::milter, &milter_statistics::recipients>, sort_recipients<SORT_BY_COUNT>,
     "Milter rejects envelope recipients sorted by count", 11, false},
    {&S::OutputMilterRejectsByReason, "mil_rej_relay", nullptr, "milter rejects sorted by reason",
     table_size<&host_info::milter, &milter_statistics::rejects>, sort_rejects<SORT_BY_REASON>,
     "Milter rejects sorted by reason", 12, true},
    {&S::OutputRejectsByReasonCount, "rej_reason_count", nullptr, "milter reject reason sorted by value",
     table_size<&host_info::milter, &milter_statistics::reasons>, sort_reasons<SORT_BY_COUNT>,
     "Milter rejects sorted by reason (summary, by count)", 13, false},
    {&S::OutputRejectsByReasonName, "rej_reason_name", nullptr, "milter reject reason sorted by name",
     table_size<&host_info::milter, &milter_statistics::reasons>, reason_table<SORT_BY_NAME>,
     "Milter rejects sorted by reason (summary, by name)", 14, false},
};

const char* const rule_after_index = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n";
const char* const section_rule = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n";

}  // namespace

constinit const std::span<const split_view> milter_split_views{views};

void write_milter_reject_table(report_file& out, const host_info& host)
{
    write_reject_table_header(out);
    unsigned long number = 0;
    for (const milter_reject_stat& reject : host.milter.rejects)
        write_reject_row(out, reject, ++number);
    out.write("    </TABLE><P>\n");
}

void write_milter_recipient_table(report_file& out, const host_info& host)
{
    out.print("    <TABLE BORDER=1 WIDTH=\"80%%\">\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n",
              color());
    out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">Recipient</TD>\n", color());
    for (const char* title : {"Total Messages", "Percent"})
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.write("      </TR>\n");
    unsigned long number = 0;
    for (const env_mem_stat& recipient : host.milter.recipients) {
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", ++number);
        out.print("        <TD ALIGN=left>%s</TD>\n", html_text(recipient.name).c_str());
        out.print("        <TD ALIGN=center>%lu</TD>\n", ul(recipient.count));
        out.print("        <TD ALIGN=center>%5.2f</TD>\n      </TR>\n",
                  percent_of(recipient.count, host.milter.recipient_refs));
    }
    out.write("    </TABLE><P>\n");
}

void write_reject_reason_table(report_file& out, const host_info& host, std::uint32_t total)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n", color());
    out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">Reject Reason</TD>\n", color());
    for (const char* title : {"Reject Count", "Percent"})
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.write("      </TR>\n");
    unsigned long number = 0;
    for (const reject_reason_stat& reason : host.milter.reasons) {
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", ++number);
        out.print("        <TD ALIGN=left>%s</TD>\n", html_text(reason.reason).c_str());
        out.print("        <TD ALIGN=center>%lu</TD>\n", ul(reason.count));
        out.print("        <TD ALIGN=center>%5.2f</TD>\n      </TR>\n", percent_of(reason.count, total));
    }
    out.write("    </TABLE><P>\n");
}

int write_milter_report(const std::string& path, int format)
{
    if (format == FORMAT_HTML && settings.SplitHtmlOutput == 1) {
        write_split_report(views);
        return 0;
    }
    report_file out(path, "mil_rej_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out);
    else if (format == FORMAT_HTML && settings.SplitHtmlOutput == 0)
        // Every section of a host, the last one included, ends with the rule.
        write_sectioned_report(out, sections, rule_after_index, section_rule, true);
    return 0;
}
