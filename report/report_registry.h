// One row per report: its switch, its file-name setting, the phase message the
// print phase writes before it, and its writer. The print phase walks the rows
// in order. (The HTML index keeps its own table of titles and groups.)
#pragma once

#include <span>
#include <string>

#include "driver/settings.h"

// Writes one report to `path` (standard output when empty) in `format`
// (0 ASCII, 1 HTML); returns 0, or 1 when the file cannot be opened.
using report_writer = int (*)(const std::string& path, int format);

struct report_entry {
    const char* phase_message;            // null: no phase message
    int program_settings::*print_switch;
    setting_text program_settings::*file_name;
    bool html_only;                       // written only when OutputFormat is HTML
    bool written_without_file_name;       // an unset file name means standard output
    report_writer writer;                 // null until the report exists
};

// The reports in print order.
std::span<const report_entry> report_entries();

