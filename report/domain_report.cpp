// Writing the envelope and relay domain reports in ASCII, single-file HTML
// and split HTML. Reads the built domain tables of every used host (trusted;
// the HTML views sort them in place). Domain and host names come from the
// log: in HTML they pass through html_text or the framework's host helpers,
// in ASCII they print unchanged.
#include "report/domain_report.h"

#include <cstdio>
#include <span>

#include "driver/messages.h"
#include "driver/settings.h"
#include "util/text_util.h"
#include "geo/tld_names.h"
#include "stats/sort_engine.h"

namespace {

using S = program_settings;

// ---------------------------------------------------------------- files

// ---------------------------------------------------------------- levels

std::vector<domain_stat>& list_of(domain_tables& tables, int level)
{
    return level == 1 ? tables.l1_list : tables.l2_list;
}

domain_bases bases_of(const domain_tables& tables, int level)
{
    if (level == 1)
        return {tables.l1_refs, tables.l1_send, tables.l1_recv, tables.l1_milrej};
    return {tables.l2_refs, tables.l2_send, tables.l2_recv, tables.l2_milrej};
}

// ---------------------------------------------------------------- ASCII

void write_ascii_level(report_file& out, const std::vector<domain_stat>& domains, int level, const char* kind)
{
    out.print("<<< Unsorted list of domains level-%d (%s) >>>\n", level, kind);
    for (const domain_stat& domain : domains)
        out.print("all=%lu send=%lu recv=%lu milrej=%lu %s\n", ul(domain.all), ul(domain.send), ul(domain.recv),
                  ul(domain.milrej), text_or_null(domain.name));
    out.write("\n");
}

void write_ascii_report(report_file& out, domain_tables host_info::*tables, const char* kind)
{
    for (host_info& host : used_hosts()) {
        const domain_tables& t = host.*tables;
        out.print("host: %s\n", host.host_name.c_str());
        out.print("domains level-1 count: %lu\n", count_of(t.l1_list));
        out.print("domains level-2 count: %lu\n", count_of(t.l2_list));
        out.write("\n");
        write_ascii_level(out, t.l1_list, 1, kind);
        write_ascii_level(out, t.l2_list, 2, kind);
    }
}

// ---------------------------------------------------------------- HTML

void write_table_header(report_file& out)
{
    out.print("    <TABLE BORDER=1 WIDTH=\"100%%\">\n      <TR>\n        <TD ALIGN=left BGCOLOR=\"#%s\">Number</TD>\n",
              color());
    static const char* const titles[] = {
        "Domain",     "Country/Purpose", "Total",          "Percent", "Senders",             "Percent",
        "Recipients", "Percent",         "Milter/Rejects", "Percent", "Incoming total size", "Percent",
    };
    for (const char* title : titles)
        out.print("        <TD ALIGN=center BGCOLOR=\"#%s\">%s</TD>\n", color(), title);
    out.write("      </TR>\n");
}

void write_count_cells(report_file& out, std::uint32_t count, std::uint32_t base)
{
    out.print("        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%5.2f</TD>\n", ul(count),
              percent_of(count, base));
}

void write_domain_row(report_file& out, const host_info& host, const domain_stat& domain, unsigned long number,
                      const domain_bases& bases)
{
    const char* country = tld_to_name(domain.name);
    out.print("      <TR>\n        <TD ALIGN=center>%lu</TD>\n        <TD ALIGN=center>%s</TD>\n"
              "        <TD ALIGN=center>%s</TD>\n",
              number, html_text(domain.name).c_str(), country ? country : "unknown");
    write_count_cells(out, domain.all, bases.all);
    write_count_cells(out, domain.send, bases.send);
    write_count_cells(out, domain.recv, bases.recv);
    write_count_cells(out, domain.milrej, bases.milrej);
    out.print("        <TD ALIGN=center>%s</TD>\n        <TD ALIGN=center>%5.2f</TD>\n      </TR>\n",
              format_grouped(domain.size).c_str(), percent_of(domain.size, host.events.in_total_size));
}

// The views: by value only sorts (its heading says the count), by name
// sorts and shows the table with the bases of its level.
template <domain_tables host_info::*Tables, int Level>
void sorted_by_value(report_file&, host_info& host)
{
    sort_domains(list_of(host.*Tables, Level), SORT_BY_VALUE);
}

template <domain_tables host_info::*Tables, int Level>
void sorted_by_name(report_file& out, host_info& host)
{
    domain_tables& tables = host.*Tables;
    sort_domains(list_of(tables, Level), SORT_BY_NAME);
    write_domain_table(out, host, list_of(tables, Level), bases_of(tables, Level));
}

// ---------------------------------------------------------------- the two reports

struct domain_report {
    domain_tables host_info::*tables;
    const char* ascii_kind;
    const char* token;              // main file, in its failure messages
    const char* html_open_failure;  // main file in HTML: its irregular open-failure message, or null
    std::span<const html_section> sections;
    std::span<const split_view> views;
};

constexpr auto env = &host_info::env_dom;
constexpr auto rel = &host_info::rel_dom;

const html_section env_sections[] = {
    {"domL1val", "Domains level-1 sorted by value", "domains level-1 sorted by value",
     table_size<env, &domain_tables::l1_list>, sorted_by_value<env, 1>},
    {"domL1nam", "Domains level-1 sorted by name", "domains level-1 sorted by name",
     table_size<env, &domain_tables::l1_list>, sorted_by_name<env, 1>},
    {"domL2val", "Domains level-2 sorted by value", "domains level-2 sorted by value",
     table_size<env, &domain_tables::l2_list>, sorted_by_value<env, 2>},
    {"domL2nam", "Domains level-2 sorted by name", "domains level-2 sorted by name",
     table_size<env, &domain_tables::l2_list>, sorted_by_name<env, 2>},
};

const html_section relay_sections[] = {
    {"domL1val", "Domains level-1 sorted by value", "domains level-1 sorted by value",
     table_size<rel, &domain_tables::l1_list>, sorted_by_value<rel, 1>},
    {"domL1nam", "Domains level-1 sorted by name", "domains level-1 sorted by name",
     table_size<rel, &domain_tables::l1_list>, sorted_by_name<rel, 1>},
    {"domL2val", "Domains level-2 sorted by value", "domains level-2 sorted by value",
     table_size<rel, &domain_tables::l2_list>, sorted_by_value<rel, 2>},
    {"domL2nam", "Domains level-2 sorted by name", "domains level-2 sorted by name",
     table_size<rel, &domain_tables::l2_list>, sorted_by_name<rel, 2>},
};

const split_view env_views[] = {
    {&S::OutputEnvDomByValueFile_Lvl_1, "env_dom_val_file_lvl_1", nullptr, "domains level-1 sorted by value, envelopes",
     table_size<env, &domain_tables::l1_list>, sorted_by_value<env, 1>,
     "Domains level-1 sorted by value", 0, false},
    {&S::OutputEnvDomByNameFile_Lvl_1, "env_dom_nam_file_lvl_1", nullptr, "domains level-1 sorted by name, envelopes",
     table_size<env, &domain_tables::l1_list>, sorted_by_name<env, 1>,
     "Domains level-1 sorted by name", 1, false},
    {&S::OutputEnvDomByValueFile_Lvl_2, "env_dom_val_file_lvl_2", nullptr, "domains level-2 sorted by value, envelopes",
     table_size<env, &domain_tables::l2_list>, sorted_by_value<env, 2>,
     "Domains level-2 sorted by value", 2, true},
    {&S::OutputEnvDomByNameFile_Lvl_2, "env_dom_nam_file_lvl_2", "ERROR: cannot env_open dom_nam_file_lvl_2 file!\n", "domains level-2 sorted by name, envelopes",
     table_size<env, &domain_tables::l2_list>, sorted_by_name<env, 2>,
     "Domains level-2 sorted by name", 3, false},
};

const split_view relay_views[] = {
    {&S::OutputRelDomByValueFile_Lvl_1, "rel_dom_val_file_lvl_1", nullptr, "domains level-1 sorted by value",
     table_size<rel, &domain_tables::l1_list>, sorted_by_value<rel, 1>,
     "Domains level-1 sorted by value", 0, false},
    {&S::OutputRelDomByNameFile_Lvl_1, "rel_dom_nam_file_lvl_1", nullptr, "domains level-1 sorted by name",
     table_size<rel, &domain_tables::l1_list>, sorted_by_name<rel, 1>,
     "Domains level-1 sorted by name", 1, false},
    {&S::OutputRelDomByValueFile_Lvl_2, "rel_dom_val_file_lvl_2", "ERROR: cannot rel_open dom_val_file_lvl_2 file!\n", "domains level-2 sorted by value",
     table_size<rel, &domain_tables::l2_list>, sorted_by_value<rel, 2>,
     "Domains level-2 sorted by value", 2, true},
    {&S::OutputRelDomByNameFile_Lvl_2, "rel_dom_nam_file_lvl_2", "ERROR: cannot rel_open dom_nam_file_lvl_2 file!\n", "domains level-2 sorted by name",
     table_size<rel, &domain_tables::l2_list>, sorted_by_name<rel, 2>,
     "Domains level-2 sorted by name", 3, false},
};

const domain_report env_report{
    env,
    "envelopes",
    "env_dom_info_out",
    nullptr,
    env_sections,
    env_views,
};

const domain_report relay_report{
    rel,
    "relays",
    "rel_dom_info_out",
    "ERROR: cannot rel_open dom_info_out file!\n",
    relay_sections,
    relay_views,
};

const char* const rule_after_index = "    <BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n";

int write_domain_report(const domain_report& report, const std::string& path, int format)
{
    if (format == FORMAT_HTML && settings.SplitHtmlOutput == 1) {
        write_split_report(report.views);
        return 0;
    }
    report_file out(path, report.token, format == FORMAT_HTML ? report.html_open_failure : nullptr);
    if (!out)
        return 1;
    if (format == FORMAT_ASCII)
        write_ascii_report(out, report.tables, report.ascii_kind);
    else if (format == FORMAT_HTML && settings.SplitHtmlOutput == 0)
        write_sectioned_report(out, report.sections, rule_after_index);
    return 0;
}

}  // namespace

constinit const std::span<const split_view> relay_domain_split_views{relay_views};

constinit const std::span<const split_view> env_domain_split_views{env_views};

void write_domain_table(report_file& out, const host_info& host, const std::vector<domain_stat>& domains,
                        const domain_bases& bases)
{
    write_table_header(out);
    unsigned long number = 0;
    for (const domain_stat& domain : domains)
        write_domain_row(out, host, domain, ++number, bases);
    out.write("    </TABLE><P>\n");
}

int write_env_domain_report(const std::string& path, int format)
{
    return write_domain_report(env_report, path, format);
}

int write_relay_domain_report(const std::string& path, int format)
{
    return write_domain_report(relay_report, path, format);
}
