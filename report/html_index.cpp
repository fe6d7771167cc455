// The HTML index page. Each link target is a file-name setting exactly as
// configured, without the output directory (the page sits beside the
// reports); link titles are fixed texts or the configured further-report
// name. The configuration is trusted input, so both are written unchanged.
#include "report/html_index.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "driver/settings.h"
#include "report/report_registry.h"
#include "report/report_writer.h"

namespace {

using G = index_group;

constexpr std::size_t link_line_size = 512;

void write_link(report_file& out, const std::string& target, const char* title)
{
    out.print("      <LI><A HREF=\"%s\">%s</A></LI>\n", target.c_str(), title);
}

void write_heading(report_file& out, const char* heading)
{
    out.print("      <H4>%s</H4>\n", heading);
}

// The links of a group whose switch is on; a link without a file name is left out.
void write_report_links(report_file& out, index_group group)
{
    for (const report_entry& report : report_entries()) {
        const setting_text& target = settings.*report.file_name;
        if (report.group == group && settings.*report.print_switch && target)
            write_link(out, *target, report.index_title);
    }
}

// The views of a report in their order on the page.
std::vector<const split_view*> views_in_index_order(std::span<const split_view> views)
{
    std::vector<const split_view*> ordered;
    for (const split_view& view : views)
        ordered.push_back(&view);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const split_view* a, const split_view* b) { return a->index_slot < b->index_slot; });
    return ordered;
}

// A report's view files under its heading, when the report is switched on.
void write_view_block(report_file& out, const report_entry& report)
{
    if (!(settings.*report.print_switch))
        return;
    write_heading(out, report.views_heading);
    for (const split_view* view : views_in_index_order(*report.views)) {
        if (view->break_before)
            out.write("      <BR>\n");
        if (const setting_text& target = settings.*view->file_name)
            write_link(out, *target, view->index_title);
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
    for (index_group group : {G::general, G::viewed, G::other, G::diagnostic, G::other_program})
        write_report_links(out, group);
    out.write("    </UL>\n");
}

void write_split_list(report_file& out)
{
    out.write("    <UL>\n");
    write_report_links(out, G::general);
    for (const report_entry& report : report_entries())
        if (report.group == G::viewed && report.views)
            write_view_block(out, report);
    write_heading(out, "Other information");
    write_report_links(out, G::other);
    write_heading(out, "Diagnostic information (for developer)");
    write_report_links(out, G::diagnostic);
    write_heading(out, "Links to other reports");
    write_report_links(out, G::other_program);
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
