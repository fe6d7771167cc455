// The two domain reports: per host the level-1 and level-2 domains of
// envelope addresses (or of relays) with their counts, shares and incoming
// size, and the country or purpose of each domain. Their input, the built
// domain tables, is trusted; domain and host names come from the log and are
// escaped on their way into HTML.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "report/report_writer.h"
#include "model/host_info.h"

// The files of the two domain reports in split mode, in the order they are written.
extern const std::span<const split_view> env_domain_split_views;
extern const std::span<const split_view> relay_domain_split_views;

// Report writers of the print table: ASCII for format 0; for HTML one file
// with four sections per host, or with SplitHtmlOutput 1 one file per view
// key that is set (the path is then ignored); with another SplitHtmlOutput,
// or another format, an empty file. 1 when the main file cannot be opened,
// else 0.
int write_env_domain_report(const std::string& path, int format);
int write_relay_domain_report(const std::string& path, int format);

// The totals a level's shares are taken of.
struct domain_bases {
    std::uint32_t all;
    std::uint32_t send;
    std::uint32_t recv;
    std::uint32_t milrej;
};

// One HTML domain table: a row per domain in list order, each count with
// its share of the matching base, the size with its share of the host's
// incoming total size.
void write_domain_table(report_file& out, const host_info& host, const std::vector<domain_stat>& domains,
                        const domain_bases& bases);
