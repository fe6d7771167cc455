// The three ways outside text gets into the program, each as one function:
// a whole run over one log (input, every build step, every report writer,
// the dashboard and both exports),
// the configuration file parser and the two IP range file loaders. The
// libFuzzer targets and the hostile-input regression test share them, so a
// saved crash input replays through exactly the code that found it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostile {

// Once per process: TZ=UTC, the sample IP range tables from `source_dir`
// (examples/) so relays get their country, and one in-memory file per
// report file-name key for the HTML reports.
void prepare(const char* source_dir);

// What one pass of the pipeline did.
struct pass_outcome {
    std::uint32_t lines_read = 0;
    std::uint32_t hosts_found = 0;
    bool built = false;             // every build step returned 0
    std::size_t report_files = 0;   // HTML files read back (0 for the ASCII pass)
    // "file: what" for the first HTML fault found, else empty; the HTML pass
    // also checks its dashboard for markup from the log, its JSON document
    // for being JSON (UTF-8 included) and its metrics line by line.
    std::string markup_fault;
};

// The three passes over one log: ASCII, HTML in single files, HTML split
// into one file per sorted view. Every report switch is on.
struct pipeline_outcome {
    pass_outcome ascii;
    pass_outcome html;
    pass_outcome split;
};

// Runs the log through the input phase (run date 2026-12-06 12:00:00), every
// build step and every report writer, once per pass, with settings and host
// table reset before each pass. HTML reports are read back and checked:
// log text must not bring in a tag (every "<" starts one of the report's own
// tags) and every anchor must be whole.
pipeline_outcome run_pipeline(std::string_view log);

// The first markup fault of one HTML report text, or empty.
std::string html_markup_fault(std::string_view html);

// parse_config_file on the text (from a fresh settings record); returns its result.
int run_config_parser(std::string_view text);

// What the IP range loaders made of one file.
struct ip_tables_outcome {
    std::size_t country_entries = 0;
    std::size_t area_entries = 0;
};

// Loads the text as a country table and as an area table (the tables the
// lookups use), sorts the country one, and looks up a few addresses in both
// with every lookup mode; the sample tables are restored afterwards.
ip_tables_outcome run_ip_range_loaders(std::string_view text);

}  // namespace hostile
