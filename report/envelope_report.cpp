// Writing the envelope report in ASCII, single-file HTML or split HTML.
// Reads the built envelope statistics (trusted) and sorts the host's tables
// in place before each view, so every view inherits the tie order of the
// one before. Texts from the log print unchanged in ASCII ("(null)" when
// absent) and go through html_text in HTML (empty when absent).
#include "report/envelope_report.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "driver/settings.h"
#include "util/text_util.h"
#include "stats/envelope_stats.h"
#include "stats/sort_engine.h"

namespace {

// ---------------------------------------------------------------- ASCII

void write_ascii_host(report_file& out, const host_info& host)
{
    out.print("host: %s\n", host.host_name.c_str());
    out.print("envelope pairs count: %lu\n", count_of(host.envelope.pairs));
    out.print("envelope pairs count (all references): %lu\n", ul(host.envelope.pair_refs));
    out.print("envelope senders count: %lu\n", count_of(host.envelope.senders));
    out.print("envelope recipients count: %lu\n", count_of(host.envelope.recipients));
    out.write("\n<<< Unsorted list of envelope pairs >>>\n");
    for (const env_pair_stat& pair : host.envelope.pairs)
        out.print("s='%s','%s','%s'  r='%s','%s','%s'  size=%.0f count=%lu\n", text_or_null(pair.sender),
                  text_or_null(pair.from_relay), text_or_null(pair.from_ip), text_or_null(pair.recipient),
                  text_or_null(pair.to_relay), text_or_null(pair.to_ip), pair.size, ul(pair.count));
    out.write("\n<<< Unsorted list of envelope senders >>>\n");
    for (const env_mem_stat& sender : host.envelope.senders)
        out.print("s='%s' size=%.0f count=%lu\n", text_or_null(sender.name), sender.size, ul(sender.count));
    out.write("\n<<< Unsorted list of envelope recipients >>>\n");
    for (const env_mem_stat& recipient : host.envelope.recipients)
        out.print("s='%s' size=%.0f count=%lu\n", text_or_null(recipient.name), recipient.size, ul(recipient.count));
    out.write("\n");
}

void write_ascii_report(report_file& out)
{
    for (const host_info& host : used_hosts())
        write_ascii_host(out, host);
}

// ---------------------------------------------------------------- pair table

void write_pair_table_header(report_file& out)
{
    out.print("    <TABLE BORDER=1>\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n", color());
    for (const char* title : {"Sender/Relay", "Recipient/Relay", "Other Recipients"})
        out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    for (const char* title : {"Total Size", "Percent", "Total Messages", "Percent", "Status"})
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.write("      </TR>\n");
}

void write_sender_cell(report_file& out, const env_pair_stat& pair)
{
    const html_escaped sender = html_text(pair.sender);
    const html_escaped relay = html_text(pair.from_relay);
    if (pair.from_ip == nullptr)
        out.print("        <TD ALIGN=left>%s<BR>(%s)</TD>\n", sender.c_str(), relay.c_str());
    else if (pair.from_geo_dom == nullptr)
        out.print("        <TD ALIGN=left>%s<BR>(%s [%s])</TD>\n", sender.c_str(), relay.c_str(),
                  html_text(pair.from_ip).c_str());
    else
        out.print("        <TD ALIGN=left>%s<BR>(%s [%s],[%s])</TD>\n", sender.c_str(), relay.c_str(),
                  html_text(pair.from_ip).c_str(), html_text(pair.from_geo_dom).c_str());
}

void write_recipient_cell(report_file& out, const env_pair_stat& pair)
{
    const html_escaped recipient = html_text(pair.recipient);
    const html_escaped relay = html_text(pair.to_relay);
    if (pair.to_ip == nullptr)
        out.print("        <TD ALIGN=left>%s<BR>(%s)</TD>\n", recipient.c_str(), relay.c_str());
    else
        out.print("        <TD ALIGN=left>%s<BR>(%s [%s])</TD>\n", recipient.c_str(), relay.c_str(),
                  html_text(pair.to_ip).c_str());
}

void write_other_rcpts_cell(report_file& out, const env_pair_stat& pair)
{
    if (pair.other_rcpts_head == nullptr) {
        out.write("        <TD ALIGN=center>-----</TD>\n");
        return;
    }
    out.write("        <TD ALIGN=left>");
    for (const other_rcpt* entry = pair.other_rcpts_head; entry; entry = entry->next)
        out.print("%s [%lu]<BR>", html_text(entry->name).c_str(), ul(entry->count));
    out.write("        </TD>\n");
}

void write_status_cell(report_file& out, const env_pair_stat& pair)
{
    if (pair.statuses_head == nullptr) {
        out.write("        <TD ALIGN=center>-----</TD>\n");
        return;
    }
    out.write("        <TD ALIGN=left>");
    for (const pair_status* status = pair.statuses_head; status; status = status->next)
        out.print("%s [%lu]<BR>(%s)<BR>", html_text(status->status).c_str(), ul(status->count),
                  first_last_time_text(status->first_time, status->last_time).c_str());
    out.write("        </TD>\n");
}

void write_pair_row(report_file& out, const host_info& host, const env_pair_stat& pair, unsigned long number)
{
    out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n", number);
    write_sender_cell(out, pair);
    write_recipient_cell(out, pair);
    write_other_rcpts_cell(out, pair);
    write_spaced_size_cell(out, pair.size);
    out.print("        <TD ALIGN=center>%5.2f</TD>\n        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%5.2f</TD>\n",
              percent_of(pair.size, host.events.in_total_size), ul(pair.count),
              percent_of(pair.count, host.envelope.pair_refs));
    write_status_cell(out, pair);
    out.write("      </TR>\n");
}

// The texts of a sorted table lie anywhere in memory: before the row at
// `row` is written, the texts of the rows a few places further are asked
// for, so they are in the cache when their rows come (the first status and
// other recipient texts half as far, once their records have come).
constexpr std::size_t prefetch_distance = 16;

void prefetch_row_texts(const std::vector<env_pair_stat>& pairs, std::size_t row)
{
    if (row + prefetch_distance < pairs.size()) {
        const env_pair_stat& ahead = pairs[row + prefetch_distance];
        for (const void* p : {static_cast<const void*>(ahead.sender), static_cast<const void*>(ahead.from_relay),
                              static_cast<const void*>(ahead.from_ip), static_cast<const void*>(ahead.recipient),
                              static_cast<const void*>(ahead.to_relay), static_cast<const void*>(ahead.to_ip),
                              static_cast<const void*>(ahead.statuses_head),
                              static_cast<const void*>(ahead.other_rcpts_head)})
            if (p != nullptr)
                __builtin_prefetch(p);
    }
    if (row + prefetch_distance / 2 < pairs.size()) {
        const env_pair_stat& nearer = pairs[row + prefetch_distance / 2];
        if (nearer.statuses_head != nullptr && nearer.statuses_head->status != nullptr)
            __builtin_prefetch(nearer.statuses_head->status);
        if (nearer.other_rcpts_head != nullptr && nearer.other_rcpts_head->name != nullptr)
            __builtin_prefetch(nearer.other_rcpts_head->name);
    }
}

template <class T>
void prefetch_name(const std::vector<T>& members, std::size_t row)
{
    if (row + prefetch_distance < members.size() && members[row + prefetch_distance].name != nullptr)
        __builtin_prefetch(members[row + prefetch_distance].name);
}

// ---------------------------------------------------------------- member tables

// The sender table shares counts out over the inbound messages, the
// recipient table over the outbound ones.
void write_member_table(report_file& out, const host_info& host, const std::vector<env_mem_stat>& members,
                        const char* title, std::uint32_t messages)
{
    out.print("    <TABLE BORDER=1 WIDTH=\"80%%\">\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n",
              color());
    out.print("        <TD ALIGN=left BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    for (const char* column : {"Total Size", "Percent", "Total Messages", "Percent"})
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), column);
    out.write("      </TR>\n");
    unsigned long number = 0;
    for (const env_mem_stat& member : members) {
        prefetch_name(members, number);
        out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=left>%s</TD>\n"
                  "        <TD ALIGN=center>%s</TD>\n        <TD ALIGN=center>%5.2f</TD>\n"
                  "        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%5.2f</TD>\n      </TR>\n",
                  ++number, html_text(member.name).c_str(), format_grouped(member.size).c_str(),
                  percent_of(member.size, host.events.in_total_size), ul(member.count),
                  percent_of(member.count, messages));
    }
    out.write("    </TABLE><P>\n");
}

// ---------------------------------------------------------------- views

unsigned long virus_pair_count(const host_info& host)
{
    unsigned long count = 0;
    for (const env_pair_stat& pair : host.envelope.pairs)
        count += is_virus_pair(pair) ? 1 : 0;
    return count;
}

// A view that shows only its heading: the sorts, no table.
template <int... Orders>
void sort_pairs(report_file&, host_info& host)
{
    (sort_env_pairs(host.envelope.pairs, Orders), ...);
}

template <int Order>
void pair_table(report_file& out, host_info& host)
{
    sort_env_pairs(host.envelope.pairs, Order);
    write_env_pair_table(out, host, pair_table_mode::all_pairs);
}

template <int Order>
void sender_table(report_file& out, host_info& host)
{
    sort_env_members(host.envelope.senders, Order);
    write_member_table(out, host, host.envelope.senders, "Sender", host.general.in_messages);
}

template <int Order>
void recipient_table(report_file& out, host_info& host)
{
    sort_env_members(host.envelope.recipients, Order);
    write_member_table(out, host, host.envelope.recipients, "Recipient", host.general.out_messages);
}

const html_section sections[] = {
    {"envsiz", "Envelope pairs sorted by size", "envelope pairs sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, pair_table<SORT_BY_SIZE>},
    {"envcnt", "Envelope pairs sorted by count", "envelope pairs sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, pair_table<SORT_BY_COUNT>},
    {"envdom", "Envelope pairs sorted by domain (env-from)", "envelope pairs sorted by domain [env-from]",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_FROM_DOM>},
    {"envrelnam", "Envelope pairs sorted by relay (name)", "envelope pairs sorted by relay name",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_NAME>},
    {"envreladr", "Envelope pairs sorted by relay (ip address)", "envelope pairs sorted by relay address",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_ADDR>},
    {"envreldoml1", "Envelope pairs sorted by relay (domain level-1)", "envelope pairs sorted by relay domain level-1",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_DOM_L1>},
    {"envreldoml2", "Envelope pairs sorted by relay (domain level-2)", "envelope pairs sorted by relay domain level-2",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_DOM_L2>},
    {"sndsiz", "Envelope senders sorted by size", "envelope senders sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::senders>, sender_table<SORT_BY_SIZE>},
    {"sndcnt", "Envelope senders sorted by count", "envelope senders sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::senders>, sender_table<SORT_BY_COUNT>},
    {"rcvsiz", "Envelope recipients sorted by size", "envelope recipients sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::recipients>, recipient_table<SORT_BY_SIZE>},
    {"rcvcnt", "Envelope recipients sorted by count", "envelope recipients sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::recipients>, recipient_table<SORT_BY_COUNT>},
};

using S = program_settings;

const split_view views[] = {
    {&S::OutputEnvPairsBySize, "env_pair_siz", nullptr, "envelope pairs sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, pair_table<SORT_BY_SIZE>,
     "Envelope pairs sorted by size", 0, false},
    {&S::OutputEnvPairsByCount, "env_pair_count", nullptr, "envelope pairs sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, pair_table<SORT_BY_COUNT>,
     "Envelope pairs sorted by count", 1, false},
    {&S::OutputEnvPairsByVirusDom_Lvl_2, "env_pair_virus_dom_lvl_2", nullptr, "envelope pairs sorted by relay domain-level-2 [virus messages only]",
     virus_pair_count, sort_pairs<SORT_BY_RELAY_DOM_L2>,
     "Envelope pairs sorted by relay (domain level-2), (virus messages only)", 11, false},
    {&S::OutputEnvPairsByVirusRelayAddr, "env_pair_virus_relay_addr", nullptr, "envelope pairs sorted by relay address [virus messages only]",
     virus_pair_count, sort_pairs<SORT_BY_RELAY_ADDR>,
     "Envelope pairs sorted by relay (IP address), (virus messages only)", 12, false},
    {&S::OutputEnvPairsByVirusRcptName, "env_pair_virus_rcpt_name", nullptr, "envelope pairs sorted by recipient name [virus messages only]",
     virus_pair_count, sort_pairs<SORT_BY_RECIPIENT>,
     "Envelope pairs sorted by recipient name, (virus messages only)", 13, false},
    {&S::OutputEnvPairsByRelayName, "env_pair_relay_nam", nullptr, "envelope pairs sorted by relay name",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_NAME>,
     "Envelope pairs sorted by relay (name)", 7, false},
    {&S::OutputEnvPairsByRelayAddr, "env_pair_relay_addr", nullptr, "envelope pairs sorted by relay address",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_ADDR>,
     "Envelope pairs sorted by relay (IP address)", 8, false},
    {&S::OutputEnvPairsByRelayDom_Lvl_2, "env_pair_relay_dom_lvl_2", nullptr, "envelope pairs sorted by relay domain level-2",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_DOM_L2>,
     "Envelope pairs sorted by relay (domain level-2)", 10, false},
    {&S::OutputEnvPairsByRelayDom_Lvl_1, "env_pair_relay_dom_lvl_1", nullptr, "envelope pairs sorted by relay domain level-1",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_DOM_L1>,
     "Envelope pairs sorted by relay (domain level-1)", 9, false},
    {&S::OutputEnvPairsByDomFrom, "env_pair_dom_from", nullptr, "envelope pairs sorted by domain [env-from]",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_FROM_DOM>,
     "Envelope pairs sorted by envelope from-addr (domain level-1)", 2, false},
    {&S::OutputEnvSendersBySize, "env_senders_siz", nullptr, "envelope senders sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::senders>, sender_table<SORT_BY_SIZE>,
     "Envelope senders sorted by size", 14, true},
    {&S::OutputEnvSendersByCount, "env_senders_count", nullptr, "envelope senders sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::senders>, sender_table<SORT_BY_COUNT>,
     "Envelope senders sorted by count", 15, false},
    {&S::OutputEnvRecipientsBySize, "env_recipients_siz", nullptr, "envelope recipients sorted by size",
     table_size<&host_info::envelope, &envelope_statistics::recipients>, recipient_table<SORT_BY_SIZE>,
     "Envelope recipients sorted by size", 16, true},
    {&S::OutputEnvRecipientsByCount, "env_recipients_count", nullptr, "envelope recipients sorted by count",
     table_size<&host_info::envelope, &envelope_statistics::recipients>, recipient_table<SORT_BY_COUNT>,
     "Envelope recipients sorted by count", 17, false},
    {&S::OutputEnvPairsByRcptName, "env_pair_rcpt_nam", nullptr, "envelope pairs sorted by recipient name",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_ADDR, SORT_BY_RECIPIENT>,
     "Envelope pairs sorted by recipient name", 5, false},
    {&S::OutputEnvPairsByStatus, "env_pair_status", nullptr, "envelope pairs sorted by status",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_STATUS>,
     "Envelope pairs sorted by status", 3, false},
    {&S::OutputEnvPairsByTime, "env_pair_time", nullptr, "envelope pairs sorted by time",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_ADDR, SORT_BY_TIME>,
     "Envelope pairs sorted by time", 4, false},
    {&S::OutputEnvPairsBySenderName, "env_pair_sndr_nam", nullptr, "envelope pairs sorted by sender name",
     table_size<&host_info::envelope, &envelope_statistics::pairs>, sort_pairs<SORT_BY_RELAY_ADDR, SORT_BY_SENDER>,
     "Envelope pairs sorted by sender name", 6, false},
};

const char* const rule_after_index = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n";

}  // namespace

constinit const std::span<const split_view> envelope_split_views{views};

void write_env_pair_table(report_file& out, const host_info& host, pair_table_mode mode)
{
    write_pair_table_header(out);
    unsigned long number = 0;
    const std::vector<env_pair_stat>& pairs = host.envelope.pairs;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        prefetch_row_texts(pairs, i);
        if (mode == pair_table_mode::all_pairs || is_virus_pair(pairs[i]))
            write_pair_row(out, host, pairs[i], ++number);
    }
    out.write("    </TABLE><P>\n");
}

int write_envelope_report(const std::string& path, int format)
{
    if (format == FORMAT_HTML && settings.SplitHtmlOutput == 1) {
        write_split_report(views);
        return 0;
    }
    report_file out(path, "env_pair_out");
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out);
    else if (format == FORMAT_HTML && settings.SplitHtmlOutput == 0)
        write_sectioned_report(out, sections, rule_after_index);
    return 0;
}
