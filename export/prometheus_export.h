// The Prometheus export (--prometheus FILE): the run's figures in the text
// exposition format, for node_exporter's textfile collector. One family
// per figure, each with "# HELP" and "# TYPE" (all gauges: each run
// describes the log it read), named "quelm_..."; every family of a host
// figure has a "host" label per syslog host, and a second label where the
// figure has kinds (delivery status, reject kind, kind of line). Written
// through a temporary file and a rename (export/export_file.h). Log texts
// reach only label values, escaped by escaped_label_value.
#pragma once

#include <string>
#include <string_view>

#include "export/run_facts.h"

// A label value of the format: "\" as "\\", '"' as "\"", a line feed as
// "\n"; a byte that is not part of well-formed UTF-8 as the text "\xHH"
// (its backslash escaped like any other), so the file stays UTF-8.
std::string escaped_label_value(std::string_view text);

// The whole exposition text of the used hosts.
std::string prometheus_text(const run_facts& facts);

// Writes prometheus_text to `path`. On failure writes "ERROR: cannot write
// Prometheus export <path>: <reason>\n" and returns false.
bool write_prometheus_export(const std::string& path, const run_facts& facts);
