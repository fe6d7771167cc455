// The JSON export (--json FILE): every statistic of the run as one document
// that doc/quelm_stat.schema.json describes: the schema version, the run
// (program version, inputs, time window, run time, lines read) and per host
// its general counters, totals, rates, distributions, delivery status texts
// and every statistic table built in this run, each in the order of first
// appearance. Must run before the reports, whose views sort the tables in
// place. Log texts follow the rule of export/json_text.h.
#pragma once

#include <string>

#include "export/run_facts.h"

inline constexpr int json_schema_version = 1;

// Writes the document to `path` (see export/export_file.h). On failure
// writes "ERROR: cannot write JSON export <path>: <reason>\n" and returns
// false.
bool write_json_export(const std::string& path, const run_facts& facts);
