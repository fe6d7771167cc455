// Writing the summary reports by relay and by recipient in ASCII or
// single-file HTML. Reads the built summaries of every used host (trusted;
// the HTML sections sort the rows in place). Relay names, address texts and
// recipients come from the log: in HTML they pass through html_text, host
// names through the framework helpers; in ASCII they print unchanged.
#include "report/summary_report.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "driver/settings.h"
#include "util/text_util.h"
#include "report/report_writer.h"
#include "model/host_info.h"
#include "stats/sort_engine.h"

namespace {

const char* const rule_after_index = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n";

// ---------------------------------------------------------------- ASCII

void write_ascii_relays(report_file& out)
{
    for (const host_info& host : used_hosts()) {
        out.print("host: %s\n", host.host_name.c_str());
        out.print("summary info count: %lu\n", count_of(host.summary.relays));
        out.write("\n");
        for (const summary_relay_stat& relay : host.summary.relays)
            out.print("nam='%s' ip='%s'\n", text_or_null(relay.name), text_or_null(relay.ip));
        out.write("\n");
    }
}

// Each recipient line ends with a line end and a blank, so every line after
// the first starts with a blank and the list ends with a line of one blank.
void write_ascii_recipients(report_file& out)
{
    for (const host_info& host : used_hosts()) {
        out.print("host: %s\n", host.host_name.c_str());
        out.print("summary info count: %lu\n", count_of(host.summary.recipients));
        out.write("\n");
        for (const summary_rcpt_stat& row : host.summary.recipients)
            out.print("name='%s' total='%lu' msg='%lu' mil='%lu' vir='%lu'\n ", text_or_null(row.name), ul(row.total),
                      ul(row.msgs), ul(row.milrej), ul(row.viruses));
        out.write("\n");
    }
}

// ---------------------------------------------------------------- HTML tables

// The opening of a table with its "Number" cell, the other header cells
// (all without alignment) and the end of the header row.
void write_table_header(report_file& out, std::initializer_list<const char*> titles)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD BGCOLOR=\"#%s\">Number</TD>\n", color());
    for (const char* title : titles)
        out.print("        <TD BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.write("      </TR>\n");
}

void write_count_cell(report_file& out, std::uint32_t count)
{
    out.print("        <TD ALIGN=center>%lu</TD>\n", ul(count));
}

// A relay name, with its address text in brackets when it has one.
void write_relay_cell(report_file& out, const summary_relay_stat& relay)
{
    if (relay.ip)
        out.print("        <TD ALIGN=left>%s [%s]</TD>\n", html_text(relay.name).c_str(), html_text(relay.ip).c_str());
    else
        out.print("        <TD ALIGN=left>%s</TD>\n", html_text(relay.name).c_str());
}

void write_relay_summary_table(report_file& out, const std::vector<summary_relay_stat>& relays)
{
    write_table_header(out, {"Relay Name (Address)", "Total", "From-Msg", "MilRej", "RulRej", "NonAct", "From-Addr",
                             "From-Dom", "To-Addr", "To-Dom"});
    unsigned long number = 0;
    for (const summary_relay_stat& relay : relays) {
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", ++number);
        write_relay_cell(out, relay);
        for (std::uint32_t count : {relay.total, relay.from_msgs, relay.milrej, relay.rulrej, relay.nonact,
                                    relay.from_addr, relay.from_dom, relay.to_addr, relay.to_dom})
            write_count_cell(out, count);
        out.write("      </TR>\n");
    }
    out.write("    </TABLE><P>\n");
}

void write_recipient_summary_table(report_file& out, const std::vector<summary_rcpt_stat>& recipients)
{
    write_table_header(out, {"Recipient", "Total", "Msgs", "MilRej", "Viruses"});
    unsigned long number = 0;
    for (const summary_rcpt_stat& row : recipients) {
        // The names of a sorted table lie anywhere in memory: ask for one
        // some rows ahead, so it is in the cache when its row comes.
        if (number + 8 < recipients.size() && recipients[number + 8].name != nullptr)
            __builtin_prefetch(recipients[number + 8].name);
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=left>%s</TD>\n"
                  "        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%lu</TD>\n"
                  "        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%lu</TD>\n      </TR>\n",
                  ++number, html_text(row.name).c_str(), ul(row.total), ul(row.msgs), ul(row.milrej),
                  ul(row.viruses));
    }
    out.write("    </TABLE><P>\n");
}

// ---------------------------------------------------------------- HTML views

void relays_by_count(report_file& out, host_info& host)
{
    sort_summary_relays(host.summary.relays, SORT_BY_COUNT);
    write_relay_summary_table(out, host.summary.relays);
}

void relays_by_domain(report_file& out, host_info& host)
{
    sort_summary_relays(host.summary.relays, SORT_BY_RELAY_DOM_L2);
    write_relay_summary_table(out, host.summary.relays);
}

void recipients_by_count(report_file& out, host_info& host)
{
    sort_summary_recipients(host.summary.recipients, SORT_BY_COUNT);
    write_recipient_summary_table(out, host.summary.recipients);
}

void recipients_by_name(report_file& out, host_info& host)
{
    sort_summary_recipients(host.summary.recipients, SORT_BY_NAME);
    write_recipient_summary_table(out, host.summary.recipients);
}

const html_section relay_sections[] = {
    {"count", "Summary list sorted by count", "relays sorted by count",
     table_size<&host_info::summary, &summary_statistics::relays>, relays_by_count},
    {"domlvl2", "Summary list sorted by relay (domain level-2)", "relays sorted by relay [domain level-2]",
     table_size<&host_info::summary, &summary_statistics::relays>, relays_by_domain},
};

const html_section recipient_sections[] = {
    {"count", "Summary list sorted by count", "recipients sorted by count",
     table_size<&host_info::summary, &summary_statistics::recipients>, recipients_by_count},
    {"name", "Summary list sorted by name", "recipients sorted by name",
     table_size<&host_info::summary, &summary_statistics::recipients>, recipients_by_name},
};

}  // namespace

int write_relay_summary_report(const std::string& path, int format)
{
    report_file out(path, "gen_sum_out_relay");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_relays(out);
    else if (format == FORMAT_HTML)
        write_sectioned_report(out, relay_sections, rule_after_index);
    return 0;
}

int write_recipient_summary_report(const std::string& path, int format)
{
    report_file out(path, "gen_sum_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_recipients(out);
    else if (format == FORMAT_HTML)
        write_sectioned_report(out, recipient_sections, rule_after_index);
    return 0;
}
