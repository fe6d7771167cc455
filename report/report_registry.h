// One row per report: the print phase walks the rows in order (switch,
// file-name setting, phase message, writer) and the HTML index page walks
// them for its links (group, title, and in split mode the report's view
// files). Adding a report means adding its row here; nothing else lists
// reports.
#pragma once

#include <span>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"

// Writes one report to `path` (standard output when empty) in `format`
// (0 ASCII, 1 HTML); returns 0, or 1 when the file cannot be opened.
using report_writer = int (*)(const std::string& path, int format);

// Where a report's link stands on the HTML index page. In split mode each
// group after the first has a heading; a report with views lists them
// under a heading of its own.
enum class index_group {
    none,           // not linked
    general,        // general information and summaries
    viewed,         // reports with sorted views
    other,          // "Other information"
    diagnostic,     // "Diagnostic information (for developer)"
    other_program,  // "Links to other reports": reports made by other programs
};

struct report_entry {
    const char* phase_message;            // null: no phase message
    int program_settings::*print_switch;
    setting_text program_settings::*file_name;
    bool html_only;                       // written only when OutputFormat is HTML
    bool written_without_file_name;       // an unset file name means standard output
    report_writer writer;                 // null: another program writes it; only linked
    index_group group;
    const char* index_title;              // link text on the index page
    const char* views_heading;            // split mode: the heading over the view links
    const std::span<const split_view>* views;  // split mode: the view files; null for none
};

// The reports in print order.
std::span<const report_entry> report_entries();
