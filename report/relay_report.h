// The relay report: per host the relay pairs, the sending relays and the
// receiving relays with size and count. ASCII prints each table unsorted,
// by size and by count; HTML is one file with six sorted sections per host,
// or in split mode one file per view key that is set. Its input, the built
// statistics, is trusted; relay names and addresses come from the log.
#pragma once

#include <span>
#include <string>

#include "report/report_writer.h"

// The files of the relay report in split mode, in the order they are written.
extern const std::span<const split_view> relay_split_views;

// Format 0 writes ASCII and HTML with SplitHtmlOutput 0 one HTML file, both
// to `path` (standard output when empty); HTML with SplitHtmlOutput 1 writes
// the view files and ignores `path`; any other combination leaves `path`
// empty. Returns 1 when the main file cannot be opened, else 0. The tables
// stay in the order of the last view.
int write_relay_report(const std::string& path, int format);
