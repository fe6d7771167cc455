// Writing the relay report in ASCII, single-file HTML or split HTML. Reads
// the relay statistics of every used host (trusted; the views sort the
// tables in place). Relay names and address texts come from the log: in HTML
// they pass through html_text, host names through the framework helpers; in
// ASCII they print unchanged.
#include "report/relay_report.h"

#include <cstdint>
#include <vector>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"
#include "stats/sort_engine.h"

namespace {

// ---------------------------------------------------------------- ASCII

void write_ascii_pairs(report_file& out, const char* title, const std::vector<relay_pair_stat>& pairs)
{
    out.write(title);
    for (const relay_pair_stat& pair : pairs)
        out.print("in='%s' out='%s' size=%.0f count=%lu\n", text_or_null(pair.from_relay), text_or_null(pair.to_relay),
                  pair.size, ul(pair.count));
    out.write("\n");
}

void write_ascii_members(report_file& out, const char* title, const std::vector<relay_mem_stat>& members)
{
    out.write(title);
    for (const relay_mem_stat& member : members)
        out.print("s='%s' size=%.0f count=%lu\n", text_or_null(member.name), member.size, ul(member.count));
    out.write("\n");
}

// The titles of a table's three ASCII lists.
struct list_titles {
    const char* unsorted;
    const char* by_size;
    const char* by_count;
};

const list_titles pair_titles = {
    "<<< Unsorted list of relay pairs >>>\n",
    "<<< Sorted list of relay pairs by size >>>\n",
    "<<< Sorted list of relay pairs by count >>>\n",
};
const list_titles sender_titles = {
    "<<< Unsorted list of relay senders >>>\n",
    "<<< Sorted list of relay senders by size >>>\n",
    "<<< Sorted list of relay senders by count >>>\n",
};
const list_titles recipient_titles = {
    "<<< Unsorted list of relay recipients >>>\n",
    "<<< Sorted list of relay recipients by size >>>\n",
    "<<< Sorted list of relay recipients by count >>>\n",
};

// The unsorted list, then the list by size and by count; it stays by count.
void write_ascii_pair_views(report_file& out, std::vector<relay_pair_stat>& pairs)
{
    write_ascii_pairs(out, pair_titles.unsorted, pairs);
    sort_relay_pairs(pairs, SORT_BY_SIZE);
    write_ascii_pairs(out, pair_titles.by_size, pairs);
    sort_relay_pairs(pairs, SORT_BY_COUNT);
    write_ascii_pairs(out, pair_titles.by_count, pairs);
}

void write_ascii_member_views(report_file& out, std::vector<relay_mem_stat>& members, const list_titles& titles)
{
    write_ascii_members(out, titles.unsorted, members);
    sort_relay_members(members, SORT_BY_SIZE);
    write_ascii_members(out, titles.by_size, members);
    sort_relay_members(members, SORT_BY_COUNT);
    write_ascii_members(out, titles.by_count, members);
}

void write_ascii_report(report_file& out)
{
    for (host_info& host : used_hosts()) {
        out.print("host: %s\n", host.host_name.c_str());
        out.print("relay pairs count: %lu\n", count_of(host.relay.pairs));
        out.print("relay pairs count (all references): %lu\n", ul(host.relay.pair_refs));
        out.print("relay senders count: %lu\n", count_of(host.relay.senders));
        out.print("relay recipients count: %lu\n", count_of(host.relay.recipients));
        out.write("\n");
        write_ascii_pair_views(out, host.relay.pairs);
        write_ascii_member_views(out, host.relay.senders, sender_titles);
        write_ascii_member_views(out, host.relay.recipients, recipient_titles);
    }
}

// ---------------------------------------------------------------- HTML tables

void write_header_cell(report_file& out, const char* align, const char* title)
{
    out.print("        <TD ALIGN=%s BGCOLOR=\"#%s\">%s</TD>\n", align, color(), title);
}

// The centred titles after the name columns, and the end of the header row.
void write_figure_headers(report_file& out)
{
    write_header_cell(out, "center", "Total Size");
    write_header_cell(out, "center", "Percent");
    write_header_cell(out, "center", "Total Messages");
    write_header_cell(out, "center", "Percent");
    out.write("      </TR>\n");
}

// A relay name, with its address text in brackets when it has one.
void write_relay_cell(report_file& out, const char* name, const char* ip)
{
    if (ip)
        out.print("        <TD ALIGN=left>%s [%s]</TD>\n", html_text(name).c_str(), html_text(ip).c_str());
    else
        out.print("        <TD ALIGN=left>%s</TD>\n", html_text(name).c_str());
}

// Size, its share of the host's incoming size, count and its share of
// `count_total`; then the end of the row.
void write_figures(report_file& out, const host_info& host, double size, std::uint32_t count, double count_total)
{
    out.print("        <TD ALIGN=center>%s</TD>\n", format_grouped(size).c_str());
    out.print("        <TD ALIGN=center>%5.2f</TD>\n", percent_of(size, host.events.in_total_size));
    out.print("        <TD ALIGN=center>%lu</TD>\n", ul(count));
    out.print("        <TD ALIGN=center>%5.2f</TD>\n", percent_of(count, count_total));
    out.write("      </TR>\n");
}

void write_relay_pair_table(report_file& out, const host_info& host, const std::vector<relay_pair_stat>& pairs)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n", color());
    write_header_cell(out, "left", "Sender");
    write_header_cell(out, "left", "Recipient");
    write_figure_headers(out);
    unsigned long number = 0;
    for (const relay_pair_stat& pair : pairs) {
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", ++number);
        write_relay_cell(out, pair.from_relay, pair.from_ip);
        write_relay_cell(out, pair.to_relay, pair.to_ip);
        write_figures(out, host, pair.size, pair.count, host.relay.pair_refs);
    }
    out.write("    </TABLE><P>\n");
}

// The sender and the recipient tables differ in the title of the name column
// and in the total the counts are shared out over.
void write_relay_member_table(report_file& out, const host_info& host, const std::vector<relay_mem_stat>& members,
                              const char* title, double count_total)
{
    out.print("    <TABLE BORDER=1 WIDTH=\"80%%\">\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n",
              color());
    write_header_cell(out, "left", title);
    write_figure_headers(out);
    unsigned long number = 0;
    for (const relay_mem_stat& member : members) {
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", ++number);
        write_relay_cell(out, member.name, member.ip);
        write_figures(out, host, member.size, member.count, count_total);
    }
    out.write("    </TABLE><P>\n");
}

void write_relay_sender_table(report_file& out, const host_info& host)
{
    write_relay_member_table(out, host, host.relay.senders, "Sender", host.general.in_messages);
}

void write_relay_recipient_table(report_file& out, const host_info& host, const std::vector<relay_mem_stat>& members)
{
    write_relay_member_table(out, host, members, "Recipient", host.general.out_messages);
}

// ---------------------------------------------------------------- HTML views

void pairs_by_size(report_file& out, host_info& host)
{
    sort_relay_pairs(host.relay.pairs, SORT_BY_SIZE);
    write_relay_pair_table(out, host, host.relay.pairs);
}

void pairs_by_count(report_file& out, host_info& host)
{
    sort_relay_pairs(host.relay.pairs, SORT_BY_COUNT);
    write_relay_pair_table(out, host, host.relay.pairs);
}

void senders_by_size(report_file& out, host_info& host)
{
    sort_relay_members(host.relay.senders, SORT_BY_SIZE);
    write_relay_sender_table(out, host);
}

void senders_by_count(report_file& out, host_info& host)
{
    sort_relay_members(host.relay.senders, SORT_BY_COUNT);
    write_relay_sender_table(out, host);
}

void recipients_by_size(report_file& out, host_info& host)
{
    sort_relay_members(host.relay.recipients, SORT_BY_SIZE);
    write_relay_recipient_table(out, host, host.relay.recipients);
}

void recipients_by_count(report_file& out, host_info& host)
{
    sort_relay_members(host.relay.recipients, SORT_BY_COUNT);
    write_relay_recipient_table(out, host, host.relay.recipients);
}

const char* const heading_pairs_size = "relay pairs sorted by size";
const char* const heading_pairs_count = "relay pairs sorted by count";
const char* const heading_senders_size = "relay senders sorted by size";
const char* const heading_senders_count = "relay senders sorted by count";
const char* const heading_recipients_size = "relay recipients sorted by size";
const char* const heading_recipients_count = "relay recipients sorted by count";

const html_section sections[] = {
    {"relsiz", "Relay pairs sorted by size", heading_pairs_size,
     table_size<&host_info::relay, &relay_statistics::pairs>, pairs_by_size},
    {"relcnt", "Relay pairs sorted by count", heading_pairs_count,
     table_size<&host_info::relay, &relay_statistics::pairs>, pairs_by_count},
    {"sndsiz", "Relay senders sorted by size", heading_senders_size,
     table_size<&host_info::relay, &relay_statistics::senders>, senders_by_size},
    {"sndcnt", "Relay senders sorted by count", heading_senders_count,
     table_size<&host_info::relay, &relay_statistics::senders>, senders_by_count},
    {"rcvsiz", "Relay recipients sorted by size", heading_recipients_size,
     table_size<&host_info::relay, &relay_statistics::recipients>, recipients_by_size},
    {"rcvcnt", "Relay recipients sorted by count", heading_recipients_count,
     table_size<&host_info::relay, &relay_statistics::recipients>, recipients_by_count},
};

using S = program_settings;

const split_view views[] = {
    {&S::OutputRelayPairsBySize, "rel_pair_siz", nullptr, heading_pairs_size,
     table_size<&host_info::relay, &relay_statistics::pairs>, pairs_by_size,
     "Relay pairs sorted by size", 0, false},
    {&S::OutputRelayPairsByCount, "rel_pair_count", nullptr, heading_pairs_count,
     table_size<&host_info::relay, &relay_statistics::pairs>, pairs_by_count,
     "Relay pairs sorted by count", 1, false},
    {&S::OutputRelaySendersBySize, "rel_senders_siz", nullptr, heading_senders_size,
     table_size<&host_info::relay, &relay_statistics::senders>, senders_by_size,
     "Relay senders sorted by size", 2, true},
    {&S::OutputRelaySendersByCount, "rel_senders_count", nullptr, heading_senders_count,
     table_size<&host_info::relay, &relay_statistics::senders>, senders_by_count,
     "Relay senders sorted by count", 3, false},
    {&S::OutputRelayRecipientsBySize, "rel_recipients_size", nullptr, heading_recipients_size,
     table_size<&host_info::relay, &relay_statistics::recipients>, recipients_by_size,
     "Relay recipients sorted by size", 4, true},
    {&S::OutputRelayRecipientsByCount, "rel_recipients_count", nullptr, heading_recipients_count,
     table_size<&host_info::relay, &relay_statistics::recipients>, recipients_by_count,
     "Relay recipients sorted by count", 5, false},
};

}  // namespace

constinit const std::span<const split_view> relay_split_views{views};

int write_relay_report(const std::string& path, int format)
{
    if (format == FORMAT_HTML && settings.SplitHtmlOutput == 1) {
        write_split_report(views);
        return 0;
    }
    report_file out(path, "rel_info_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out);
    else if (format == FORMAT_HTML && settings.SplitHtmlOutput == 0)
        write_sectioned_report(out, sections, "    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n");
    return 0;
}
