// The milter reject report: per host the milter rejects, the recipients of
// milter rejects and the reject reasons, in ASCII as three unsorted lists, in
// HTML as one file of eleven sorted sections or, in split mode, one file per
// sorted view. Its input, the built statistics, is trusted; every address,
// relay, reason and host name in it comes from the log and is escaped on its
// way into HTML.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "report/report_writer.h"
#include "model/host_info.h"

// The files of the milter report in split mode, in the order they are written.
extern const std::span<const split_view> milter_split_views;

// The report writer of the print table, also called without a file name
// (empty `path`: standard output, never closed). ASCII for format 0; HTML for
// 1, as one file (SplitHtmlOutput 0, `path`), as split view files
// (SplitHtmlOutput 1, `path` not created) or as an empty `path` (any other
// SplitHtmlOutput); an empty `path` for any other format. 1 when `path`
// cannot be opened, else 0.
int write_milter_report(const std::string& path, int format);

// The HTML tables of one host, each of its list in its present order.
void write_milter_reject_table(report_file& out, const host_info& host);
void write_milter_recipient_table(report_file& out, const host_info& host);
void write_reject_reason_table(report_file& out, const host_info& host, std::uint32_t total);
