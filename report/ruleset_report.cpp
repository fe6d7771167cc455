// Writing the ruleset reject report in ASCII or HTML. Reads the ruleset
// reject statistics of every used host (trusted; the report sorts each table
// by count in place). Sender addresses, relay names, address texts and
// reasons come from the log: in HTML they are escaped (the reason as a
// 512-byte cell), host names go through the framework helpers; in ASCII they
// print unchanged.
#include "report/ruleset_report.h"

#include <cstdint>
#include <vector>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"
#include "stats/sort_engine.h"

namespace {

// ---------------------------------------------------------------- ASCII

void write_ascii_list(report_file& out, const char* title, const std::vector<ruleset_reject_stat>& rejects)
{
    out.write(title);
    for (const ruleset_reject_stat& reject : rejects)
        out.print("from='%s','%s','%s'  size=%.0f count=%lu reason='%s'\n", text_or_null(reject.env_from),
                  text_or_null(reject.relay_name), text_or_null(reject.relay_ip), reject.size, ul(reject.count),
                  text_or_null(reject.reason));
    out.write("\n");
}

void write_ascii_report(report_file& out)
{
    for (host_info& host : used_hosts()) {
        out.print("host: %s\n", host.host_name.c_str());
        out.print("ruleset rejects count: %lu\n", count_of(host.ruleset.rejects));
        out.print("ruleset rejects count (ref): %lu\n", ul(host.ruleset.refs));
        out.print("ruleset rejects size (esmtp): %.0f\n", host.ruleset.size);
        out.write("\n");
        write_ascii_list(out, "<<< Unsorted list of ruleset rejects >>>\n", host.ruleset.rejects);
        sort_ruleset_rejects(host.ruleset.rejects, SORT_BY_COUNT);
        write_ascii_list(out, "<<< Sorted list of ruleset rejects by count >>>\n", host.ruleset.rejects);
    }
}

// ---------------------------------------------------------------- HTML

void write_header_cell(report_file& out, const char* align, const char* title)
{
    out.print("        <TD ALIGN=%s BGCOLOR=\"#%s\">%s</TD>\n", align, color(), title);
}

void write_table_header(report_file& out)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Num</TD>\n", color());
    write_header_cell(out, "left", "Address-From");
    write_header_cell(out, "left", "Relay");
    write_header_cell(out, "center", "Msgs");
    write_header_cell(out, "center", "Size");
    write_header_cell(out, "left", "Reject Reason");
    out.write("      </TR>\n");
}

// A reason that does not fit its cell prints as an empty cell.
void write_reject_row(report_file& out, unsigned long number, const ruleset_reject_stat& reject)
{
    out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", number);
    out.print("        <TD ALIGN=left>%s</TD>\n", html_text(reject.env_from).c_str());
    if (reject.relay_ip)
        out.print("        <TD ALIGN=left>%s [%s]</TD>\n", html_text(reject.relay_name).c_str(),
                  html_text(reject.relay_ip).c_str());
    else
        out.print("        <TD ALIGN=left>%s</TD>\n", html_text(reject.relay_name).c_str());
    out.print("        <TD ALIGN=center>%lu</TD>\n", ul(reject.count));
    out.print("        <TD ALIGN=center>%s</TD>\n", format_grouped(reject.size).c_str());
    out.print("        <TD ALIGN=left>%s</TD>\n", html_cell_text(reject.reason).c_str());
    out.write("      </TR>\n");
}

void rejects_by_count(report_file& out, host_info& host)
{
    sort_ruleset_rejects(host.ruleset.rejects, SORT_BY_COUNT);
    write_table_header(out);
    unsigned long number = 0;
    for (const ruleset_reject_stat& reject : host.ruleset.rejects)
        write_reject_row(out, ++number, reject);
    out.write("    </TABLE><P>\n");
}

// One section per host, so no rule between hosts.
const html_section sections[] = {
    {"rulcnt", "Ruleset rejects sorted by count", "ruleset rejects sorted by count",
     table_size<&host_info::ruleset, &ruleset_statistics::rejects>, rejects_by_count},
};

}  // namespace

int write_ruleset_report(const std::string& path, int format)
{
    if (format != FORMAT_ASCII && format != FORMAT_HTML)
        return 0;
    report_file out(path, "rul_rej_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out);
    else
        write_sectioned_report(out, sections, "    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n");
    return 0;
}
