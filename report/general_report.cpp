// Writing the general information report in ASCII or HTML. Reads the built
// statistics of every used host (trusted, read-only except that the HTML form
// sorts each status list in place). Host names and status texts come from
// the log: in HTML they pass through html_text or html_attribute, in ASCII
// they print unchanged.
#include "report/general_report.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "driver/settings.h"
#include "util/text_util.h"
#include "report/report_writer.h"
#include "stats/sort_engine.h"

namespace {

const char* const hour_labels[24] = {
    "00-01", "01-02", "02-03", "03-04", "04-05", "05-06", "06-07", "07-08", "08-09", "09-10", "10-11", "11-12",
    "12-13", "13-14", "14-15", "15-16", "16-17", "17-18", "18-19", "19-20", "20-21", "21-22", "22-23", "23-00",
};

const char* const weekday_names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// The HTML weekly tables start the week on Monday.
const int html_week_order[7] = {1, 2, 3, 4, 5, 6, 0};

const char percent_sign = '%';

// Every share that is not a rejection: count * 100 / total in single
// precision, as the other reports compute it.
double share_of_connects(const host_info& host, std::uint32_t count)
{
    return percent_of(count, host.general.in_connects);
}

double share_of_inbound(const host_info& host, std::uint32_t count)
{
    return percent_of(count, host.general.in_messages);
}

double share_of_outbound(const host_info& host, std::uint32_t count)
{
    return percent_of(count, host.general.out_messages);
}

double share_of_viruses(const host_info& host, std::uint32_t count)
{
    return percent_of(count, host.general.out_viruses);
}

double rejected_total(const host_info& host)
{
    return static_cast<double>(host.general.ruleset_rejects) + host.general.milter_rejects;
}

// Rejections are shared out over ruleset and milter rejects together, in
// double precision.
double percent_of_rejected(const host_info& host, std::uint32_t count)
{
    double total = rejected_total(host);
    return total != 0 ? count * 100.0 / total : 0;
}

// ---------------------------------------------------------------- ASCII

void write_ascii_counters(report_file& out, const host_info& host)
{
    out.print("host: %s\n", host.host_name.c_str());
    out.print("first log entry: %s\n", time_text(host.first_entry).c_str());
    out.print("last log entry: %s\n", time_text(host.last_entry).c_str());
    out.print("alias table rebuilds: %lu\n", ul(host.events.alias_rebuilds));
    out.print("too many hops: %lu\n", ul(host.events.too_many_hops));
    out.print("mail loops: %lu\n", ul(host.events.mail_loops));
    out.print("other SYSERR: %lu\n", ul(host.events.other_syserr));
    out.print("daemon restarts: %lu\n", ul(host.events.daemon_restarts));
    out.print("viruses detected: %lu (%.2f%c)\n", ul(host.general.out_viruses), share_of_connects(host, host.general.out_viruses),
              percent_sign);
    out.print("ruleset based rejections: %lu (%.2f%c)\n", ul(host.general.ruleset_rejects),
              share_of_connects(host, host.general.ruleset_rejects), percent_sign);
    out.print("milter based rejections: %lu (%.2f%c)\n", ul(host.general.milter_rejects),
              share_of_connects(host, host.general.milter_rejects), percent_sign);
}

void write_ascii_message_model(report_file& out, const host_info& host)
{
    out.print("unknown messages: %lu\n", ul(host.messages.unknown_msgs));
    out.print("tls/ssl messages: %lu\n", ul(host.messages.tls_msgs));
    out.print("no-action messages: %lu (%.2f%c)\n", ul(host.messages.no_action_msgs),
              share_of_connects(host, host.messages.no_action_msgs), percent_sign);
    out.print("other messages: %lu\n", ul(host.messages.other_msgs));
    out.print("from messages (out-of-order): %lu (%.2f%c)\n", ul(host.messages.from_msgs_ooo),
              share_of_connects(host, host.messages.from_msgs_ooo), percent_sign);
    out.print("to messages (out-of-order): %lu\n", ul(host.messages.to_msgs_ooo));
    out.print("messages chains: %lu\n", ul(host.messages.msg_chains));
    out.print("ruleset messages (out-of-order): %lu\n", ul(host.messages.ruleset_msgs_ooo));
    out.print("ruleset chains: %lu\n", ul(host.messages.ruleset_chains));
    out.print("milter messages (out-of-order): %lu\n", ul(host.messages.milter_msgs_ooo));
    out.print("milter chains: %lu\n", ul(host.messages.milter_chains));
}

void write_ascii_traffic(report_file& out, const host_info& host)
{
    out.print("inbound connects: %lu (%.2f%c)\n", ul(host.general.in_connects), share_of_connects(host, host.general.in_connects),
              percent_sign);
    out.print("inbound messages: %lu (%.2f%c)\n", ul(host.general.in_messages), share_of_connects(host, host.general.in_messages),
              percent_sign);
    out.print("incoming total size: %.0f\n", host.events.in_total_size);
    out.print("total time (seconds): %.0f\n", host.general.total_time);
    out.print("incoming average size: %.2f\n", host.general.in_avg_size);
    out.print("incoming messages per hour: %.2f\n", host.general.in_per_hour);
    out.print("incoming messages per minute: %.2f\n", host.general.in_per_min);
    out.print("incoming messages per second: %.2f\n", host.general.in_per_sec);
    out.print("outbound messages: %lu\n", ul(host.general.out_messages));
    out.print("outbound messages (sent): %lu\n", ul(host.general.out_sent));
    out.print("outbound messages (deferred): %lu\n", ul(host.general.out_deferred));
    out.print("outbound messages (queued): %lu\n", ul(host.general.out_queued));
    out.print("outbound messages (unknown user): %lu\n", ul(host.general.out_unknown_user));
    out.print("outbound messages (host not available): %lu\n", ul(host.general.out_host_unavail));
    out.print("outbound messages (service not available): %lu\n", ul(host.general.out_service_unavail));
    out.print("outbound messages (other error): %lu\n", ul(host.general.out_other_error));
}

// In order of first appearance: the ASCII form does not sort.
void write_ascii_statuses(report_file& out, const host_info& host)
{
    out.write("\nStatus messages\nNum   Messages   Status\n");
    unsigned long number = 0;
    for (const status_entry& entry : host.general.statuses)
        out.print("%lu: %lu: %s\n", ++number, ul(entry.count), text_or_null(entry.text));
    out.write("\n");
}

void write_ascii_hours(report_file& out, const host_info& host)
{
    out.write("Time distribution\n");
    out.write("Hours   Inbound Connects   Inbound messages   Outbound Messages   Rejected Messages   Virus Messages\n");
    for (int hour = 0; hour < 24; ++hour)
        out.print("%s\t\t%lu\t\t%lu\t\t\t%lu\t\t%lu\t\t%lu\n", hour_labels[hour], ul(host.general.hour_connects[hour]),
                  ul(host.general.hour_in[hour]), ul(host.general.hour_out[hour]), ul(host.general.hour_rejects[hour]),
                  ul(host.general.hour_viruses[hour]));
    out.write("\n");
}

// Sunday first; one tab more before the last column than the hourly rows.
void write_ascii_weekdays(report_file& out, const host_info& host)
{
    out.write("Week distribution\n");
    out.write(
        "WeekOfDay   Inbound Connects   Inbound messages   Outbound Messages   Rejected Messages   Virus Messages\n");
    for (int day = 0; day < 7; ++day)
        out.print("%s\t\t%lu\t\t%lu\t\t\t%lu\t\t%lu\t\t\t%lu\n", weekday_names[day], ul(host.general.wday_connects[day]),
                  ul(host.general.wday_in[day]), ul(host.general.wday_out[day]), ul(host.general.wday_rejects[day]),
                  ul(host.general.wday_viruses[day]));
    out.write("\n");
}

void write_ascii_report(report_file& out)
{
    for (const host_info& host : used_hosts()) {
        write_ascii_counters(out, host);
        write_ascii_message_model(out, host);
        write_ascii_traffic(out, host);
        write_ascii_statuses(out, host);
        write_ascii_hours(out, host);
        if (settings.print_weekly)
            write_ascii_weekdays(out, host);
    }
}

// ---------------------------------------------------------------- HTML

void write_index(report_file& out)
{
    write_html_index_heading(out);
    for (const host_info& host : used_hosts()) {
        const char* name = host.host_name.c_str();
        write_html_host_index_start(out, name);
        write_html_index_item(out, name, "gen", "General information");
        write_html_index_item(out, name, "stat", "Status messages");
        if (settings.print_weekly)
            write_html_index_item(out, name, "week", "Message distribution (weekly)");
        write_html_index_item(out, name, "dist", "Message distribution (hourly)");
        write_html_index_item(out, name, "diag", "Diagnostic information");
        out.write("    </UL>\n");
    }
    out.write("    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n");
}

// Closes the previous row of the general or diagnostic table and opens the
// next one with its label cell.
void next_outer_row(report_file& out, const char* label)
{
    out.print("      </TR>\n      <TR>\n        <TD BGCOLOR=\"#%s\">%s</TD>\n", color(), label);
}

// The same for the inbound and outbound tables, which sit one level deeper.
void next_inner_row(report_file& out, const char* label)
{
    out.print("            </TR>\n            <TR>\n              <TD BGCOLOR=\"#%s\">%s</TD>\n", color(), label);
}

// A grouped count with its share of the inbound connects.
void write_share_cell(report_file& out, const host_info& host, std::uint32_t count)
{
    out.print("        <TD ALIGN=center>%s (%.2f%c)</TD>\n", format_grouped(count).c_str(),
              share_of_connects(host, count), percent_sign);
}

void write_count_cell(report_file& out, std::uint32_t count)
{
    out.print("        <TD ALIGN=center>%lu</TD>\n", ul(count));
}

void write_general_table(report_file& out, const host_info& host)
{
    out.print("    <B>General information</B><BR>\n    <TABLE BORDER=1 WIDTH=\"60%%\">\n      <TR>\n"
              "        <TD BGCOLOR=\"#%s\">First log entry</TD>\n",
              color());
    out.print("        <TD ALIGN=center>%s</TD>\n", time_text(host.first_entry).c_str());
    next_outer_row(out, "Last log entry");
    out.print("        <TD ALIGN=center>%s</TD>\n", time_text(host.last_entry).c_str());
    next_outer_row(out, "Alias table rebuilds");
    write_count_cell(out, host.events.alias_rebuilds);
    next_outer_row(out, "Too many hops");
    write_count_cell(out, host.events.too_many_hops);
    next_outer_row(out, "Mail loops");
    write_count_cell(out, host.events.mail_loops);
    next_outer_row(out, "Other SYSERR");
    write_count_cell(out, host.events.other_syserr);
    next_outer_row(out, "Viruses detected");
    write_share_cell(out, host, host.general.out_viruses);
    next_outer_row(out, "Ruleset based rejections");
    write_share_cell(out, host, host.general.ruleset_rejects);
    next_outer_row(out, "Milter based rejections");
    write_share_cell(out, host, host.general.milter_rejects);
    next_outer_row(out, "Non-active connections");
    write_share_cell(out, host, host.messages.no_action_msgs);
    next_outer_row(out, "Sendmail daemon restarts");
    write_count_cell(out, host.events.daemon_restarts);
    out.write("      </TR>\n    </TABLE><P>\n");
}

// The value cells keep their irregular spacing (a blank before ">" in some,
// lower-case "align" in the last two).
void write_inbound_table(report_file& out, const host_info& host)
{
    out.print("    <TABLE WIDTH=\"90%%\">\n      <TR VALIGN=top>\n        <TD WIDTH=\"50%%\"><B>Inbound messages</B><BR>\n"
              "          <TABLE WIDTH=\"100%%\" BORDER=1>\n            <TR>\n"
              "              <TD WIDTH=\"50%%\" BGCOLOR=\"#%s\">Total messages</TD>\n",
              color());
    out.print("              <TD ALIGN=center>%s (%.2f%c)</TD>\n", format_grouped(host.general.in_messages).c_str(),
              share_of_connects(host, host.general.in_messages), percent_sign);
    next_inner_row(out, "Total connects");
    out.print("              <TD ALIGN=center >%s (%.2f%c)</TD>\n", format_grouped(host.general.in_connects).c_str(),
              share_of_connects(host, host.general.in_connects), percent_sign);
    next_inner_row(out, "Total message size");
    out.print("              <TD ALIGN=center >%s</TD>\n", format_grouped(host.events.in_total_size).c_str());
    next_inner_row(out, "Average message size");
    out.print("              <TD ALIGN=center >%.2f</TD>\n", host.general.in_avg_size);
    next_inner_row(out, "Messages/hour");
    out.print("              <TD ALIGN=center >%.2f</TD>\n", host.general.in_per_hour);
    next_inner_row(out, "Messages/min");
    out.print("              <TD ALIGN=center >%.2f</TD>\n", host.general.in_per_min);
    next_inner_row(out, "Messages/sec");
    out.print("              <TD align=center >%.2f</TD>\n", host.general.in_per_sec);
    next_inner_row(out, "Total time (seconds)");
    out.print("              <TD align=center >%s</TD>\n", format_grouped(host.general.total_time).c_str());
}

void write_outbound_table(report_file& out, const host_info& host)
{
    out.print("            </TR>\n          </TABLE>\n        </TD>\n"
              "        <TD WIDTH=\"50%%\"><b>Outbound messages</b><BR>\n"
              "          <TABLE WIDTH=\"100%%\" BORDER=1>\n            <TR>\n"
              "              <TD WIDTH=\"50%%\" BGCOLOR=\"#%s\">Total</TD>\n",
              color());
    out.print("              <TD ALIGN=center >%s</TD>\n", format_grouped(host.general.out_messages).c_str());
    next_inner_row(out, "Sent");
    out.print("              <TD ALIGN=center>%s</TD>\n", format_grouped(host.general.out_sent).c_str());
    const std::pair<const char*, std::uint32_t> spaced_rows[] = {
        {"Deferred", host.general.out_deferred},
        {"Queued", host.general.out_queued},
        {"User unknown", host.general.out_unknown_user},
        {"Host not available", host.general.out_host_unavail},
        {"Service not available", host.general.out_service_unavail},
    };
    for (const auto& [label, count] : spaced_rows) {
        next_inner_row(out, label);
        out.print("              <TD ALIGN=center >%lu</TD>\n", ul(count));
    }
    next_inner_row(out, "Other error");
    out.print("              <TD ALIGN=center>%lu</TD>\n", ul(host.general.out_other_error));
    out.write("            </TR>\n          </TABLE>\n        </TD>\n      </TR>\n    </TABLE><P>\n\n");
}

void write_general_section(report_file& out, const host_info& host)
{
    const char* name = host.host_name.c_str();
    std::string anchor = html_attribute(name);
    out.print("    <A NAME=%s></A>\n", anchor.c_str());
    out.print("    <H3>%s</H3>\n", html_text(name).c_str());
    out.print("    <A NAME=%sgen></A>\n", anchor.c_str());
    write_general_table(out, host);
    write_inbound_table(out, host);
    write_outbound_table(out, host);
    write_html_back_links(out, name);
}

// Opens a section after its rule: "<host><suffix>" anchor and bold title.
void write_section_start(report_file& out, const host_info& host, const char* suffix, const char* title)
{
    out.write("    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n");
    out.print("    <BR>    <A NAME=%s%s></A><P>\n", html_attribute(host.host_name.c_str()).c_str(), suffix);
    out.print("    <B>%s</B><BR><BR>\n", title);
}

// Sorts the host's status list (a lasting effect) and writes it as a table.
void write_status_section(report_file& out, host_info& host)
{
    write_section_start(out, host, "stat", "Status messages");
    sort_statuses(host.general.statuses, SORT_BY_COUNT);
    out.print("    <TABLE BORDER=1 WIDTH=\"90%%\">\n      <TR>\n        <TD ALIGN=center BGCOLOR=\"#%s\">Number</TD>\n",
              color());
    out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">Messages Count</TD>\n", color());
    out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">Percent</TD>\n", color());
    out.print("        <TD WIDTH=\"75%%\" BGCOLOR=\"#%s\">Status</TD>\n", color());
    out.write("      </TR>\n");
    unsigned long number = 0;
    for (const status_entry& entry : host.general.statuses) {
        out.write("      <TR>\n");
        out.print("        <TD ALIGN=center>%lu</TD>\n", ++number);
        out.print("        <TD ALIGN=center>%s</TD>\n", format_grouped(entry.count).c_str());
        out.print("              <TD ALIGN=center>%5.2f</TD>\n", percent_of(entry.count, host.general.status_total));
        out.print("        <TD>%s</TD>\n", html_text(entry.text).c_str());
        out.write("      </TR>\n");
    }
    out.write("    </TABLE><P>\n");
    write_html_back_links(out, host.host_name.c_str());
}

// One of the five narrow tables of a distribution section.
struct distribution_table {
    const char* title;
    const std::uint32_t* counts;
    double (*percent)(const host_info&, std::uint32_t);
};

// Closes the previous narrow table (or opens the outer one) and opens the
// next with its header row; `unit` is "Day" or "Hour".
void open_distribution_table(report_file& out, bool first, const char* title, const char* unit)
{
    if (first)
        out.print("    <TABLE WIDTH=\"90%%\">\n      <TR>\n        <TD><B>%s</B><BR>\n", title);
    else
        out.print("           </TABLE>\n        </TD>\n        <TD><B>%s</B><BR>\n", title);
    out.print("          <TABLE BORDER=1 WIDTH=\"100%%\">\n            <TR>\n"
              "              <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n"
              "              <TD ALIGN=center BGCOLOR=\"#%s\">Total</TD>\n"
              "              <TD ALIGN=center BGCOLOR=\"#%s\">Percent</TD>\n            </TR>\n",
              color(), unit, color(), color());
}

void write_distribution_row(report_file& out, std::uint32_t count, double percent)
{
    out.print("              <TD ALIGN=center>%lu</TD>\n", ul(count));
    out.print("              <TD ALIGN=center>%5.2f</TD>\n", percent);
    out.write("            </TR>\n");
}

void close_distribution_tables(report_file& out)
{
    out.write("          </TABLE>\n        </TD>\n      </TR>\n    </TABLE><P>\n\n");
}

void write_weekly_section(report_file& out, const host_info& host)
{
    write_section_start(out, host, "week", "Message distribution (weekly)");
    const distribution_table tables[] = {
        {"Inbound connects per day", host.general.wday_connects, share_of_connects},
        {"Inbound messages per day", host.general.wday_in, share_of_inbound},
        {"Outbound messages per day", host.general.wday_out, share_of_outbound},
        {"Rejected messages per day", host.general.wday_rejects, percent_of_rejected},
        {"Virus messages per day", host.general.wday_viruses, share_of_viruses},
    };
    bool first = true;
    for (const distribution_table& table : tables) {
        open_distribution_table(out, first, table.title, "Day");
        for (int day : html_week_order) {
            out.write("            <TR>\n");
            if (first)
                out.print("              <TD ALIGN=center BGCOLOR=\"#%s\">%s %d</TD>\n", color(), weekday_names[day],
                          static_cast<int>(host.general.wday_mday[day]));
            else
                out.print("              <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), weekday_names[day]);
            write_distribution_row(out, table.counts[day], table.percent(host, table.counts[day]));
        }
        first = false;
    }
    close_distribution_tables(out);
}

void write_hourly_section(report_file& out, const host_info& host)
{
    write_section_start(out, host, "dist", "Message distribution (hourly)");
    const distribution_table tables[] = {
        {"Inbound connects per hour", host.general.hour_connects, share_of_connects},
        {"Inbound messages per hour", host.general.hour_in, share_of_inbound},
        {"Outbound messages per hour", host.general.hour_out, share_of_outbound},
        {"Rejected messages per hour", host.general.hour_rejects, percent_of_rejected},
        {"Virus messages per hour", host.general.hour_viruses, share_of_viruses},
    };
    bool first = true;
    for (const distribution_table& table : tables) {
        open_distribution_table(out, first, table.title, "Hour");
        for (int hour = 0; hour < 24; ++hour) {
            out.write("            <TR>\n");
            out.print("              <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), hour_labels[hour]);
            write_distribution_row(out, table.counts[hour], table.percent(host, table.counts[hour]));
        }
        first = false;
    }
    close_distribution_tables(out);
    write_html_back_links(out, host.host_name.c_str());
}

void write_diagnostic_section(report_file& out, const host_info& host)
{
    out.write("    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n");
    out.print("    <BR><A NAME=%sdiag></A>\n", html_attribute(host.host_name.c_str()).c_str());
    out.print("    <B>Diagnostic information</B><BR><BR>\n    <TABLE BORDER=1 WIDTH=\"60%%\">\n      <TR>\n"
              "        <TD BGCOLOR=\"#%s\">UNKNOWN messages total</TD>\n",
              color());
    write_count_cell(out, host.messages.unknown_msgs);
    next_outer_row(out, "OTHER messages total");
    write_count_cell(out, host.messages.other_msgs);
    next_outer_row(out, "TLS/SSL messages total");
    write_count_cell(out, host.messages.tls_msgs);
    next_outer_row(out, "FROM messages total (out-of-order)");
    out.print("        <TD ALIGN=center>%lu (%.2f%c)</TD>\n", ul(host.messages.from_msgs_ooo),
              share_of_connects(host, host.messages.from_msgs_ooo), percent_sign);
    const std::pair<const char*, std::uint32_t> rows[] = {
        {"TO messages total (out-of-order)", host.messages.to_msgs_ooo},
        {"RULESET messages total (out-of-order)", host.messages.ruleset_msgs_ooo},
        {"MILTER messages total (out-of-order)", host.messages.milter_msgs_ooo},
        {"MESSAGES chains total", host.messages.msg_chains},
        {"RULESET chains total", host.messages.ruleset_chains},
        {"MILTER chains total", host.messages.milter_chains},
    };
    for (const auto& [label, count] : rows) {
        next_outer_row(out, label);
        write_count_cell(out, count);
    }
    out.write("      </TR>\n    </TABLE><P>\n");
    write_html_back_links(out, host.host_name.c_str());
}

void write_html_report(report_file& out)
{
    write_html_header(out);
    write_index(out);
    for (host_info& host : used_hosts()) {
        write_general_section(out, host);
        write_status_section(out, host);
        if (settings.print_weekly)
            write_weekly_section(out, host);
        write_hourly_section(out, host);
        write_diagnostic_section(out, host);
    }
    write_html_footer(out);
}

}  // namespace

int write_general_report(const std::string& path, int format)
{
    report_file out(path, "gen_info_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out);
    else if (format == FORMAT_HTML)
        write_html_report(out);
    return 0;
}
