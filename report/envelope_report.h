// The envelope report: per host the envelope pairs, senders and recipients,
// in ASCII as three unsorted lists, in HTML as one file of eleven sorted
// sections or, in split mode, one file per sorted view. Its input, the
// built statistics, is trusted; every address, relay, status and host name
// in it comes from the log and is escaped on its way into HTML.
#pragma once

#include <span>
#include <string>

#include "report/report_writer.h"
#include "model/host_info.h"

// The files of the envelope report in split mode, in the order they are written.
extern const std::span<const split_view> envelope_split_views;

// The report writer of the print table: ASCII for format 0; HTML for 1, as
// one file (SplitHtmlOutput 0, `path`), as split view files (SplitHtmlOutput
// 1, `path` not created) or as an empty `path` (any other SplitHtmlOutput);
// an empty file for any other format. 1 when `path` cannot be opened, else 0.
int write_envelope_report(const std::string& path, int format);

enum class pair_table_mode { all_pairs = 1, virus_pairs = 2 };

// The HTML table of the host's pairs in their present order; with
// virus_pairs only the virus pairs, numbered without gaps.
void write_env_pair_table(report_file& out, const host_info& host, pair_table_mode mode);
