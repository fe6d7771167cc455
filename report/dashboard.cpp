// Writing the dashboard page. The page is built as text piece by piece:
// the header with the run, then one section per used host with its cards,
// charts and top tables, each a small function. Figures come straight from
// the statistics (the same fields and shares as the ASCII and HTML reports);
// top tables choose their rows without sorting the statistics: largest
// count first, equal counts by name, so the page does not depend on the
// order earlier reports left the tables in.
#include "report/dashboard.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "driver/settings.h"
#include "geo/tld_names.h"
#include "model/host_info.h"
#include "report/report_format.h"
#include "report/report_registry.h"
#include "report/report_writer.h"
#include "report/svg_chart.h"
#include "util/text_util.h"

namespace {

using S = program_settings;

// ---- text ------------------------------------------------------------------

std::string escaped(std::string_view text)
{
    std::string out;
    append_markup_text(out, text);
    return out;
}

// A text of the statistics; an absent one shows as "(none)".
std::string escaped_or_none(const char* text)
{
    return text ? escaped(text) : std::string("(none)");
}

std::string_view view_of(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}

// "12.34%": a share as the reports print it, from percent_of.
std::string percent_text(double count, double total)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.2f%%", percent_of(count, total));
    return text;
}

std::string grouped(double value)
{
    return format_grouped(value);
}

// ---- links to the detail reports -------------------------------------------

struct detail_view {
    int S::*report_switch;        // names the report's row in the registry
    const char* anchor_suffix;    // its section in single-file HTML after the host name; null: the host's first
    setting_text S::*split_file;  // its file in split mode; null: the report has no file for it there
};

const detail_view general_view{&S::PrintGenInfo, "gen", nullptr};
const detail_view hourly_view{&S::PrintGenInfo, "dist", nullptr};
const detail_view weekly_view{&S::PrintGenInfo, "week", nullptr};
const detail_view status_view{&S::PrintGenInfo, "stat", nullptr};
const detail_view sender_view{&S::PrintEnvInfo, "sndcnt", &S::OutputEnvSendersByCount};
const detail_view recipient_view{&S::PrintEnvInfo, "rcvcnt", &S::OutputEnvRecipientsByCount};
const detail_view relay_view{&S::PrintRelInfo, "sndcnt", &S::OutputRelaySendersByCount};
const detail_view domain_view{&S::PrintEnvDomInfo, "domL2nam", &S::OutputEnvDomByNameFile_Lvl_2};
const detail_view ruleset_view{&S::PrintRlrRejInfo, "rulcnt", nullptr};
const detail_view milter_view{&S::PrintMilRejInfo, "milrelrsnnam", &S::OutputRejectsByReasonName};

// A file name or fragment for an href: every byte but letters, digits, "-",
// ".", "_", "~" (and "/" in a file name) percent-encoded, so the link holds
// nothing an attribute or a URL would read as syntax. Browsers decode the
// fragment before they look for the report's anchor name.
std::string url_text(std::string_view text, bool keep_slash)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || (keep_slash && c == '/');
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

const report_entry* registry_row(int S::*report_switch)
{
    for (const report_entry& row : report_entries())
        if (row.print_switch == report_switch && row.writer)
            return &row;
    return nullptr;
}

// The link to a view for `host`, or empty when its report is not written in
// this run (switch off, no file name, a format it is not written in). The
// file name is the one the settings give (the page lies beside the reports).
std::string detail_href(const detail_view& view, const host_info& host)
{
    const report_entry* row = registry_row(view.report_switch);
    if (!row || !(settings.*row->print_switch) || !(settings.*row->file_name))
        return {};
    const bool html = settings.OutputFormat == FORMAT_HTML;
    if ((!html && settings.OutputFormat != FORMAT_ASCII) || (row->html_only && !html))
        return {};
    if (html && row->views) {
        if (settings.SplitHtmlOutput == 1) {
            if (!view.split_file || !(settings.*view.split_file))
                return {};
            return url_text(*(settings.*view.split_file), true);
        }
        if (settings.SplitHtmlOutput != 0)
            return {};
    }
    std::string href = url_text(*(settings.*row->file_name), true);
    if (html)
        href += '#' + url_text(host.host_name + (view.anchor_suffix ? view.anchor_suffix : ""), false);
    return href;
}

// " <a class="details" href="...">text</a>", or nothing without a link.
std::string detail_link(const detail_view& view, const host_info& host, const char* text)
{
    const std::string href = detail_href(view, host);
    if (href.empty())
        return {};
    return std::string(" <a class=\"details\" href=\"") + href + "\">" + text + "</a>";
}

// ---- style -------------------------------------------------------------------

const char* const style_sheet = R"(:root{color-scheme:light dark;--bg:#f4f5f7;--fg:#1c2128;--muted:#57606a;--card:#fff;--line:#d0d7de;--grid:#e4e8ec;--link:#0b57d0;--s1:#2f6fb3;--s2:#d9822b;--warn:#c0392b}
@media (prefers-color-scheme:dark){:root{--bg:#111418;--fg:#e6edf3;--muted:#9aa5b1;--card:#1b2026;--line:#373e47;--grid:#2a3038;--link:#8ab4f8;--s1:#6ea8fe;--s2:#f0a050;--warn:#ff7b72}}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--fg);font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans",sans-serif}
header,main,footer{max-width:80rem;margin:0 auto;padding:.75rem 1rem}
a{color:var(--link)}
h1{font-size:1.5rem;margin:.25rem 0}
h2{font-size:1.3rem;margin:1.5rem 0 .25rem;padding-top:.5rem;border-top:2px solid var(--line)}
h3{font-size:1rem;margin:1rem 0 .5rem;color:var(--muted)}
.generated,.span{color:var(--muted);margin:.25rem 0}
.facts{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,11rem),1fr));gap:.5rem;margin:.75rem 0;padding:0;list-style:none}
.facts li{background:var(--card);border:1px solid var(--line);border-radius:6px;padding:.4rem .6rem}
.fact-label{display:block;font-size:.75rem;color:var(--muted);text-transform:uppercase;letter-spacing:.04em}
.fact-value{overflow-wrap:anywhere}
.cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,10rem),1fr));gap:.5rem}
.card{background:var(--card);border:1px solid var(--line);border-left:4px solid var(--s1);border-radius:6px;padding:.5rem .7rem}
.card.warn{border-left-color:var(--warn)}
.card p{margin:0}
.card .label{font-size:.75rem;color:var(--muted);text-transform:uppercase;letter-spacing:.04em}
.card .value{font-size:1.45rem;font-weight:650;white-space:nowrap;font-variant-numeric:tabular-nums}
.card .note{font-size:.8rem;color:var(--muted)}
.charts{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,30rem),1fr));gap:.75rem}
figure{margin:0;background:var(--card);border:1px solid var(--line);border-radius:6px;padding:.6rem;min-width:0}
figcaption{font-size:.85rem}
.chart-title{font-weight:600}
svg.chart{display:block;width:100%;height:auto}
svg text{fill:var(--fg);font-size:13px;font-family:inherit}
svg text.tick,svg text.value{fill:var(--muted);font-size:12px}
svg text.axis-title{fill:var(--muted);font-size:13px}
svg .grid{stroke:var(--grid);stroke-width:1}
svg .axis{stroke:var(--muted);stroke-width:1}
.series-1{fill:var(--s1)}
.series-2{fill:var(--s2)}
.scroll{overflow-x:auto;margin-top:.35rem}
table{border-collapse:collapse}
.numbers{font-size:.75rem;font-variant-numeric:tabular-nums}
.numbers th,.numbers td{border:1px solid var(--line);padding:.1rem .3rem;text-align:right}
.numbers th:first-child{text-align:left}
.numbers th.text{text-align:left;font-weight:normal;overflow-wrap:anywhere}
.tops{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,26rem),1fr));gap:.75rem}
.top-box{background:var(--card);border:1px solid var(--line);border-radius:6px;padding:.5rem;min-width:0}
table.top{width:100%;font-size:.85rem}
table.top caption{text-align:left;font-weight:600;padding:.1rem 0 .3rem}
table.top th{text-align:left;color:var(--muted);font-weight:600;border-bottom:1px solid var(--line);padding:.2rem .3rem}
table.top td{border-bottom:1px solid var(--grid);padding:.2rem .3rem;vertical-align:top}
.num{text-align:right;white-space:nowrap;font-variant-numeric:tabular-nums}
table.top th.num{text-align:right}
.text{overflow-wrap:anywhere;word-break:break-word}
.details{font-weight:normal;font-size:.8rem}
.empty{color:var(--muted)}
@media (max-width:40rem){body{font-size:14px}header,main,footer{padding:.5rem}.card .value{font-size:1.2rem}}
@media print{:root{--bg:#fff;--fg:#000;--muted:#333;--card:#fff;--line:#999;--grid:#ccc;--link:#000;--s1:#245a91;--s2:#b8661b;--warn:#a00}
body{font-size:10pt}header,main,footer{max-width:none;padding:0}
section.host{break-before:page}figure,.card,.top-box,.facts li{break-inside:avoid}
a{text-decoration:none}.details{display:none}}
)";

// ---- the header --------------------------------------------------------------

std::string fact(const char* label, const std::string& value_html)
{
    return std::string("<li><span class=\"fact-label\">") + label + "</span> <span class=\"fact-value\">" + value_html +
           "</span></li>\n";
}

std::string host_links()
{
    std::string out;
    std::size_t number = 0;
    for (const host_info& host : used_hosts()) {
        if (number++)
            out += ", ";
        out += "<a href=\"#host-" + std::to_string(number) + "\">" + escaped(host.host_name) + "</a>";
    }
    return number ? out : std::string("none");
}

// The earliest first and latest last entry of all hosts (0 for none).
std::pair<std::time_t, std::time_t> log_span()
{
    std::time_t first = 0, last = 0;
    for (const host_info& host : used_hosts()) {
        if (first == 0 || (host.first_entry != 0 && host.first_entry < first))
            first = host.first_entry;
        last = std::max(last, host.last_entry);
    }
    return {first, last};
}

std::string time_or_none(std::time_t time)
{
    return time ? escaped(time_text(time)) : std::string("none");
}

std::string input_text(const dashboard_run& run)
{
    if (run.inputs.empty())
        return "standard input";
    std::string out;
    for (const std::string& name : run.inputs) {
        if (!out.empty())
            out += ", ";
        out += escaped(name);
    }
    return out;
}

// The time window of --since, --until and --day, when one is set (any
// time, the epoch included).
std::string window_text()
{
    const auto when = [](long long time) { return escaped(time_text(static_cast<std::time_t>(time))); };
    const auto& start = settings.window_start;
    const auto& end = settings.window_end;
    if (start && end)
        return when(*start) + " to " + when(*end);
    if (start)
        return "from " + when(*start);
    return "before " + when(*end);
}

std::string generated_text()
{
    return "Generated at " + report_time_text() + " by QUELM_STAT, version " + program_version;
}

std::string page_title()
{
    std::string out = "Mail dashboard";
    std::size_t number = 0;
    for (const host_info& host : used_hosts())
        out += (number++ ? ", " : ": ") + escaped(host.host_name);
    return out;
}

std::string page_header(const dashboard_run& run)
{
    const auto [first, last] = log_span();
    std::string out = "<header>\n<h1>Mail dashboard</h1>\n<p class=\"generated\">" + generated_text() + "</p>\n";
    out += "<ul class=\"facts\">\n";
    out += fact("Hosts", host_links());
    out += fact("First log entry", time_or_none(first));
    out += fact("Last log entry", time_or_none(last));
    out += fact("Lines read", grouped(static_cast<double>(run.lines_read)));
    out += fact("Input", input_text(run));
    if (settings.window_start || settings.window_end)
        out += fact("Time window", window_text() + "; " + grouped(static_cast<double>(run.lines_outside_window)) +
                                       " lines outside");
    out += "</ul>\n</header>\n";
    return out;
}

// ---- cards -------------------------------------------------------------------

struct card {
    const char* key;    // data-figure, for tools that read the page
    const char* label;
    std::string value;  // grouped digits
    std::string note;   // escaped; the share or a related figure
    bool warn = false;  // worth a look
};

std::uint32_t bounced_count(const host_info& host)
{
    const general_statistics& g = host.general;
    return g.out_unknown_user + g.out_host_unavail + g.out_service_unavail + g.out_other_error;
}

std::vector<card> host_cards(const host_info& host)
{
    const general_statistics& g = host.general;
    const double connects = g.in_connects;
    const double out = g.out_messages;
    const std::string of_connects = " of " + grouped(connects) + " connects";
    const std::string of_out = " of " + grouped(out) + " out";
    const std::uint32_t bounced = bounced_count(host);
    const double tls_base = connects + out;
    return {
        {"messages-in", "Messages in", grouped(g.in_messages), percent_text(g.in_messages, connects) + of_connects},
        {"messages-out", "Messages out", grouped(g.out_messages), "deliveries"},
        {"recipients", "Recipients", grouped(static_cast<double>(host.envelope.recipients.size())),
         "distinct; " + grouped(static_cast<double>(host.envelope.senders.size())) + " distinct senders"},
        {"bytes-in", "Bytes in", grouped(host.events.in_total_size),
         "average " + grouped(g.in_avg_size) + " per message"},
        {"delivered", "Delivered", grouped(g.out_sent), percent_text(g.out_sent, out) + of_out},
        {"deferred", "Deferred", grouped(g.out_deferred), percent_text(g.out_deferred, out) + of_out,
         percent_of(g.out_deferred, out) >= 10},
        {"bounced", "Bounced", grouped(bounced), percent_text(bounced, out) + of_out, percent_of(bounced, out) >= 10},
        {"ruleset-rejects", "Ruleset rejects", grouped(g.ruleset_rejects),
         percent_text(g.ruleset_rejects, connects) + of_connects},
        {"milter-rejects", "Milter rejects", grouped(g.milter_rejects),
         percent_text(g.milter_rejects, connects) + of_connects},
        {"non-active", "Non-active connections", grouped(host.messages.no_action_msgs),
         percent_text(host.messages.no_action_msgs, connects) + of_connects},
        {"tls", "TLS sessions", grouped(host.messages.tls_msgs),
         percent_text(host.messages.tls_msgs, tls_base) + " of connects and deliveries"},
        {"viruses", "Viruses", grouped(g.out_viruses), percent_text(g.out_viruses, connects) + of_connects,
         g.out_viruses > 0},
        {"syserr", "SYSERRs", grouped(host.events.other_syserr),
         grouped(host.events.daemon_restarts) + " daemon restarts", host.events.other_syserr > 0},
    };
}

std::string cards_html(const host_info& host)
{
    std::string out = "<div class=\"cards\">\n";
    for (const card& c : host_cards(host)) {
        out += std::string("<div class=\"card") + (c.warn ? " warn" : "") + "\" data-figure=\"" + c.key + "\">";
        out += std::string("<p class=\"label\">") + c.label + "</p><p class=\"value\">" + c.value +
               "</p><p class=\"note\">" + c.note + "</p></div>\n";
    }
    out += "</div>\n";
    return out;
}

// ---- top tables ----------------------------------------------------------------

// The rows of a top table: at most dashboard_top_rows records with a count
// above zero, largest count first, equal counts by name (bytes).
template <class Record, class Count, class Name>
std::vector<const Record*> top_records(const std::vector<Record>& table, Count count, Name name)
{
    std::vector<const Record*> chosen;
    for (const Record& record : table)
        if (count(record) > 0)
            chosen.push_back(&record);
    const auto before = [&](const Record* a, const Record* b) {
        if (count(*a) != count(*b))
            return count(*a) > count(*b);
        return view_of(name(*a)) < view_of(name(*b));
    };
    const std::size_t rows = std::min(chosen.size(), dashboard_top_rows);
    std::partial_sort(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(rows), chosen.end(), before);
    chosen.resize(rows);
    return chosen;
}

struct top_table {
    const char* key;    // data-table, for tools that read the page
    const char* title;
    std::vector<const char*> text_columns;  // headings of the text columns; the number and share columns follow
    const char* count_heading;
    std::vector<std::vector<std::string>> rows;  // escaped text cells, then the count, then the share
    std::string links;                           // detail links for the caption
};

std::string top_table_html(const top_table& table)
{
    std::string out = std::string("<div class=\"top-box\">\n<table class=\"top\" data-table=\"") + table.key +
                      "\">\n<caption>" + table.title + table.links + "</caption>\n<thead><tr><th scope=\"col\" class=\"num\">#</th>";
    for (const char* heading : table.text_columns)
        out += std::string("<th scope=\"col\">") + heading + "</th>";
    out += std::string("<th scope=\"col\" class=\"num\">") + table.count_heading +
           "</th><th scope=\"col\" class=\"num\">Share</th></tr></thead>\n<tbody>\n";
    std::size_t number = 0;
    for (const std::vector<std::string>& row : table.rows) {
        out += "<tr><td class=\"num\">" + std::to_string(++number) + "</td>";
        for (std::size_t i = 0; i < row.size(); ++i)
            out += std::string(i < table.text_columns.size() ? "<td class=\"text\">" : "<td class=\"num\">") + row[i] +
                   "</td>";
        out += "</tr>\n";
    }
    if (table.rows.empty())
        out += "<tr><td colspan=\"" + std::to_string(table.text_columns.size() + 3) + "\" class=\"empty\">none</td></tr>\n";
    out += "</tbody>\n</table>\n</div>\n";
    return out;
}

top_table envelope_members(const host_info& host, const std::vector<env_mem_stat>& members, bool senders)
{
    top_table table{senders ? "senders" : "recipients", senders ? "Top senders" : "Top recipients",
                    {senders ? "Sender" : "Recipient"}, "Messages", {},
                    detail_link(senders ? sender_view : recipient_view, host, "envelope report")};
    const double base = senders ? host.general.in_messages : host.general.out_messages;
    const auto count = [](const env_mem_stat& m) { return m.count; };
    const auto name = [](const env_mem_stat& m) { return m.name; };
    for (const env_mem_stat* m : top_records(members, count, name))
        table.rows.push_back({escaped_or_none(m->name), grouped(m->count), percent_text(m->count, base)});
    return table;
}

top_table relay_senders(const host_info& host)
{
    top_table table{"relays", "Top sending relays", {"Relay", "Address"}, "Messages", {},
                    detail_link(relay_view, host, "relay report")};
    const auto count = [](const relay_mem_stat& m) { return m.count; };
    const auto name = [](const relay_mem_stat& m) { return m.name; };
    for (const relay_mem_stat* m : top_records(host.relay.senders, count, name))
        table.rows.push_back({escaped_or_none(m->name), m->ip ? escaped(m->ip) : std::string(), grouped(m->count),
                              percent_text(m->count, host.general.in_messages)});
    return table;
}

std::string country_of(const char* domain)
{
    const char* country = tld_to_name(domain);
    return escaped(country ? country : "unknown");
}

top_table domains(const host_info& host, bool senders)
{
    top_table table{senders ? "sender-domains" : "recipient-domains",
                    senders ? "Top sender domains" : "Top recipient domains", {"Domain", "Country/Purpose"},
                    "Addresses", {}, detail_link(domain_view, host, "domain report")};
    const domain_tables& t = host.env_dom;
    const double base = senders ? t.l2_send : t.l2_recv;
    const auto count = [senders](const domain_stat& d) { return senders ? d.send : d.recv; };
    const auto name = [](const domain_stat& d) { return d.name; };
    for (const domain_stat* d : top_records(t.l2_list, count, name))
        table.rows.push_back({escaped_or_none(d->name), country_of(d->name), grouped(count(*d)),
                              percent_text(count(*d), base)});
    return table;
}

// One reason of either kind of reject and how often it was given.
struct reason_count {
    const char* kind;
    std::string_view reason;
    bool absent;
    std::uint32_t count;
};

// Ruleset rejects carry their reason per record: equal texts are added up.
std::vector<reason_count> reject_reasons(const host_info& host)
{
    std::vector<reason_count> reasons;
    std::unordered_map<std::string_view, std::size_t> ruleset_index;
    ruleset_index.reserve(host.ruleset.rejects.size());
    for (const ruleset_reject_stat& reject : host.ruleset.rejects) {
        if (reject.count == 0)
            continue;
        auto [found, added] = ruleset_index.try_emplace(view_of(reject.reason), reasons.size());
        if (added)
            reasons.push_back({"ruleset", view_of(reject.reason), reject.reason == nullptr, 0});
        reasons[found->second].count += reject.count;
    }
    for (const reject_reason_stat& reason : host.milter.reasons)
        if (reason.count > 0)
            reasons.push_back({"milter", view_of(reason.reason), reason.reason == nullptr, reason.count});
    return reasons;
}

// The reasons of a top table or chart: largest count first, then ruleset
// before milter, then by text.
std::vector<reason_count> top_reasons(const host_info& host)
{
    std::vector<reason_count> reasons = reject_reasons(host);
    const auto before = [](const reason_count& a, const reason_count& b) {
        if (a.count != b.count)
            return a.count > b.count;
        if (std::string_view(a.kind) != b.kind)
            return std::string_view(a.kind) > b.kind;  // "ruleset" first
        return a.reason < b.reason;
    };
    const std::size_t rows = std::min(reasons.size(), dashboard_top_rows);
    std::partial_sort(reasons.begin(), reasons.begin() + static_cast<std::ptrdiff_t>(rows), reasons.end(), before);
    reasons.resize(rows);
    return reasons;
}

double rejects_total(const host_info& host)
{
    return static_cast<double>(host.general.ruleset_rejects) + host.general.milter_rejects;
}

std::string reason_text(const reason_count& reason)
{
    return reason.absent ? std::string("(none)") : escaped(reason.reason);
}

top_table reasons_table(const host_info& host, const std::vector<reason_count>& reasons)
{
    top_table table{"reject-reasons", "Top reject reasons", {"Reason", "Kind"}, "Rejects", {},
                    detail_link(ruleset_view, host, "ruleset report") + detail_link(milter_view, host, "milter report")};
    for (const reason_count& reason : reasons)
        table.rows.push_back(
            {reason_text(reason), reason.kind, grouped(reason.count), percent_text(reason.count, rejects_total(host))});
    return table;
}

std::string top_tables_html(const host_info& host, const std::vector<reason_count>& reasons)
{
    return top_table_html(envelope_members(host, host.envelope.senders, true)) +
           top_table_html(envelope_members(host, host.envelope.recipients, false)) +
           top_table_html(relay_senders(host)) + top_table_html(domains(host, true)) +
           top_table_html(domains(host, false)) + top_table_html(reasons_table(host, reasons));
}

// ---- charts ------------------------------------------------------------------

const char* const weekday_names[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const int week_order[7] = {1, 2, 3, 4, 5, 6, 0};  // Monday first, as the weekly tables

std::string figure_html(const char* key, const chart_data& chart, const std::string& svg, const std::string& links)
{
    return std::string("<figure data-chart=\"") + key + "\">\n" + svg + "<figcaption><span class=\"chart-title\">" +
           escaped(chart.title) + "</span>" + links + "\n<div class=\"scroll\">\n" + chart_table_html(chart) +
           "</div>\n</figcaption>\n</figure>\n";
}

std::string hourly_chart(const host_info& host)
{
    chart_data chart{"Messages per hour of the day",
                     "Messages received and delivered by " + host.host_name + " in each hour of the day, all days together.",
                     "Hour", "Messages", {}, {{"In", {}}, {"Out", {}}}};
    for (int hour = 0; hour < 24; ++hour) {
        char label[4];
        std::snprintf(label, sizeof label, "%02d", hour);
        chart.categories.emplace_back(label);
        chart.series[0].values.push_back(host.general.hour_in[hour]);
        chart.series[1].values.push_back(host.general.hour_out[hour]);
    }
    return figure_html("hourly", chart, column_chart_svg(chart), detail_link(hourly_view, host, "hourly tables"));
}

std::string weekday_chart(const host_info& host)
{
    chart_data chart{"Messages per weekday",
                     "Messages received and delivered by " + host.host_name + " on each day of the week.", "Day",
                     "Messages", {}, {{"In", {}}, {"Out", {}}}};
    for (int day : week_order) {
        chart.categories.emplace_back(weekday_names[day]);
        chart.series[0].values.push_back(host.general.wday_in[day]);
        chart.series[1].values.push_back(host.general.wday_out[day]);
    }
    const std::string links = settings.print_weekly ? detail_link(weekly_view, host, "weekly tables") : std::string();
    return figure_html("weekday", chart, column_chart_svg(chart), links);
}

std::string status_chart(const host_info& host)
{
    const general_statistics& g = host.general;
    chart_data chart{"Delivery statuses", "Deliveries of " + host.host_name + " by the status sendmail logged.",
                     "Status", "Deliveries",
                     {"Sent", "Deferred", "Queued", "User unknown", "Host not available", "Service not available",
                      "Virus", "Other error"},
                     {{"Deliveries",
                       {double(g.out_sent), double(g.out_deferred), double(g.out_queued), double(g.out_unknown_user),
                        double(g.out_host_unavail), double(g.out_service_unavail), double(g.out_viruses),
                        double(g.out_other_error)}}}};
    return figure_html("statuses", chart, bar_chart_svg(chart), detail_link(status_view, host, "status texts"));
}

std::string reject_kind_chart(const host_info& host)
{
    chart_data chart{"Rejects by kind", "Connections " + host.host_name + " rejected, by what rejected them.", "Kind",
                     "Rejects", {"Ruleset", "Milter"},
                     {{"Rejects", {double(host.general.ruleset_rejects), double(host.general.milter_rejects)}}}};
    return figure_html("reject-kinds", chart, bar_chart_svg(chart),
                       detail_link(ruleset_view, host, "ruleset report") + detail_link(milter_view, host, "milter report"));
}

std::string reject_reason_chart(const host_info& host, const std::vector<reason_count>& reasons)
{
    chart_data chart{"Rejects by reason", "The most frequent reasons " + host.host_name + " gave for a reject.",
                     "Reason", "Rejects", {}, {{"Rejects", {}}}};
    for (const reason_count& reason : reasons) {
        std::string label = reason.kind == std::string_view("ruleset") ? "Ruleset: " : "Milter: ";
        label += reason.absent ? std::string_view("(none)") : reason.reason;
        chart.categories.push_back(std::move(label));
        chart.series[0].values.push_back(reason.count);
    }
    return figure_html("reject-reasons", chart, bar_chart_svg(chart), {});
}

// ---- page ----------------------------------------------------------------------

std::string host_section(const host_info& host, std::size_t number)
{
    const std::vector<reason_count> reasons = top_reasons(host);
    std::string out = "<section class=\"host\" id=\"host-" + std::to_string(number) + "\">\n<h2>" +
                      escaped(host.host_name) + "</h2>\n";
    out += "<p class=\"span\">" + time_or_none(host.first_entry) + " to " + time_or_none(host.last_entry) +
           detail_link(general_view, host, "general report") + "</p>\n";
    out += "<h3>Key figures</h3>\n" + cards_html(host);
    out += "<h3>Charts</h3>\n<div class=\"charts\">\n" + hourly_chart(host) + weekday_chart(host) +
           status_chart(host) + reject_kind_chart(host) + reject_reason_chart(host, reasons) + "</div>\n";
    out += "<h3>Top 10</h3>\n<div class=\"tops\">\n" + top_tables_html(host, reasons) + "</div>\n";
    out += "</section>\n";
    return out;
}

std::string page_start()
{
    return std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta name=\"color-scheme\" content=\"light dark\">\n"
                       "<meta name=\"generator\" content=\"QUELM_STAT version ") +
           program_version + "\">\n<title>" + page_title() + "</title>\n<style>\n" + style_sheet + "</style>\n</head>\n<body>\n";
}

}  // namespace

int write_dashboard(const std::string& path, const dashboard_run& run)
{
    report_file out(path, "dashboard");
    if (!out)
        return 1;
    out.write(page_start());
    out.write(page_header(run));
    out.write("<main>\n");
    std::size_t number = 0;
    for (const host_info& host : used_hosts())
        out.write(host_section(host, ++number));
    if (number == 0)
        out.write("<p class=\"empty\">No log entries were read.</p>\n");
    out.write("</main>\n<footer>\n<p class=\"generated\">quelm_stat " + std::string(program_version) +
              ": every figure is counted from the log as in the reports.</p>\n</footer>\n</body>\n</html>\n");
    return 0;
}
