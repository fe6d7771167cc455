// The shared entry points of the fuzz targets and the hostile-input test.
// The pipeline runs the phases the way driver/program.cpp orders them, minus
// the configuration file: settings are set here, every report switch on, and
// the HTML reports, the dashboard and the two exports are read back from
// in-memory files and checked.
#include "fuzz/harness.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/config_file.h"
#include "export/json_export.h"
#include "export/prometheus_export.h"
#include "export/run_facts.h"
#include "driver/settings.h"
#include "geo/ip_ranges.h"
#include "input/line_reader.h"
#include "report/dashboard.h"
#include "report/report_registry.h"
#include "report/report_writer.h"
#include "stats/build_phase.h"
#include "model/host_info.h"

namespace hostile {

namespace {

// One in-memory file per report file-name key: the HTML passes write their
// reports through /proc/self/fd/<number>, so nothing touches a disk and a
// crashed run leaves nothing behind.
struct report_memory {
    std::string key;
    int fd;
};
std::vector<report_memory> report_memories;

// The memory files of the outputs the long options name (the HTML pass writes them).
struct extra_outputs {
    int dashboard = -1;
    int json = -1;
    int prometheus = -1;
};
extra_outputs extra_memories;

// An anonymous in-memory file holding `text`, rewound; -1 when it cannot be made.
int memory_file(std::string_view text)
{
    int fd = memfd_create("quelm_hostile", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

// A path through which fopen reaches the memory file.
std::string path_of(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// The whole content of a memory file, which is then emptied.
std::string take_memory_file(int fd)
{
    std::string text;
    struct stat status {};
    if (fstat(fd, &status) == 0 && status.st_size > 0) {
        text.resize(static_cast<std::size_t>(status.st_size));
        ssize_t n = pread(fd, text.data(), text.size(), 0);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    if (ftruncate(fd, 0) != 0)
        text.clear();
    return text;
}

// 2026-12-06 12:00:00, the run date of every pass.
std::tm run_date()
{
    std::tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 6;
    now.tm_hour = 12;
    now.tm_wday = 0;
    return now;
}

enum class pass_kind { ascii, html, split };

// Every report switch and every file name on; ASCII reports go to
// /dev/null, HTML ones into the memory file of their key.
void set_up_settings(pass_kind kind)
{
    settings = program_settings{};
    settings.OutputFormat = kind == pass_kind::ascii ? 0 : 1;
    settings.SplitHtmlOutput = kind == pass_kind::split ? 1 : 0;
    settings.merge_sort = kind == pass_kind::split ? 0 : 1;
    settings.print_weekly = 1;
    if (kind != pass_kind::ascii)
        settings.OutputBaseDir = "/proc/self/fd";
    for (const config_key& key : config_keys()) {
        const std::string name = key.name;
        if (auto* number = std::get_if<int program_settings::*>(&key.field)) {
            if (name.starts_with("Print"))
                settings.*(*number) = 1;
            continue;
        }
        auto text = std::get<setting_text program_settings::*>(key.field);
        if (!name.starts_with("Output") || name == "OutputBaseDir" || name == "OutputOtherReportName")
            continue;
        settings.*text = std::string("/dev/null");
        if (kind == pass_kind::ascii)
            continue;
        for (const report_memory& memory : report_memories)
            if (memory.key == name)
                settings.*text = std::to_string(memory.fd);
    }
    if (kind == pass_kind::html) {
        settings.dashboard_file = std::to_string(extra_memories.dashboard);
        settings.json_file = path_of(extra_memories.json);
        settings.prometheus_file = path_of(extra_memories.prometheus);
    }
    settings.OutputOtherReportName = "User statistics report";
    settings.body_color = "E9E5DF";
    settings.header_color = "CCCCCC";
    settings.page_heading = "Sendmail Log Analysis Report";
}

// Reads back every HTML report the pass wrote, checks it, and empties the
// memory files for the next pass.
void check_reports(pass_outcome& outcome)
{
    for (const report_memory& memory : report_memories) {
        const std::string html = take_memory_file(memory.fd);
        // The messages/rejects statistics file is key='value' text in either format.
        if (html.empty() || memory.key == "OutputMsgRejStatFile")
            continue;
        std::string fault = html_markup_fault(html);
        if (!fault.empty() && outcome.markup_fault.empty())
            outcome.markup_fault = memory.key + ": " + fault;
        ++outcome.report_files;
    }
}

std::string metrics_fault(std::string_view text);
std::string dashboard_markup_fault(std::string_view html);

// The dashboard and both exports of the pass, as the driver writes them.
void write_extra_outputs(run_facts& facts)
{
    facts.program_version = program_version;
    facts.inputs = {"-"};
    facts.run_time = report_time;
    facts.lines_read = lines_read;
    write_json_export(*settings.json_file, facts);
    write_dashboard(report_path_for(settings.dashboard_file), dashboard_run{lines_read, 0, {}});
    write_prometheus_export(*settings.prometheus_file, facts);
}

// The first fault of the extra outputs, or empty: the JSON must parse (UTF-8
// included), each metrics line must be a comment or a whole sample, and the
// dashboard may hold no tag that log text brought in.
std::string extra_outputs_fault()
{
    const std::string json = take_memory_file(extra_memories.json);
    if (json.empty() || !nlohmann::json::accept(json))
        return "--json: not a JSON document";
    std::string fault = metrics_fault(take_memory_file(extra_memories.prometheus));
    if (!fault.empty())
        return "--prometheus: " + fault;
    fault = dashboard_markup_fault(take_memory_file(extra_memories.dashboard));
    return fault.empty() ? fault : "--dashboard: " + fault;
}

pass_outcome run_pass(pass_kind kind, int fd)
{
    set_up_settings(kind);
    clear_host_table();
    lines_read = 0;
    ::lseek(fd, 0, SEEK_SET);
    read_log(fd, run_date());

    pass_outcome outcome;
    outcome.lines_read = lines_read;
    outcome.hosts_found = hosts_found;
    outcome.built = true;
    run_facts facts;
    for (const build_step& step : build_steps()) {
        if (!step_runs(step, settings))
            continue;
        if (step.build && step.build() != 0) {
            outcome.built = false;
            break;
        }
        facts.built_steps.push_back(step.build);
    }
    if (outcome.built) {
        report_time = 1796558400;  // 2026-12-06 12:00:00 UTC
        for (const report_entry& report : report_entries()) {
            if (!(settings.*report.print_switch))
                continue;
            if (report.html_only && settings.OutputFormat != 1)
                continue;
            const setting_text& file_name = settings.*report.file_name;
            if (!file_name && !report.written_without_file_name)
                continue;
            std::string path = file_name ? report_path_for(file_name) : std::string();
            if (report.writer)
                report.writer(path, settings.OutputFormat);
        }
        if (kind == pass_kind::html)
            write_extra_outputs(facts);
    }
    if (kind != pass_kind::ascii)
        check_reports(outcome);
    if (kind == pass_kind::html && outcome.markup_fault.empty())
        outcome.markup_fault = extra_outputs_fault();
    // The arena frees its blocks only here; without it memory would grow run after run.
    clear_host_table();
    return outcome;
}

// Character by character on purpose: the fuzzer hooks memcmp and friends,
// and a report is checked three times per input.
bool same_text(const char* begin, const char* end, const char* text)
{
    for (; begin < end; ++begin, ++text)
        if (*text == '\0' || *begin != *text)
            return false;
    return *text == '\0';
}

bool is_report_tag(const char* begin, const char* end)
{
    static const char* const tags[] = {"!DOCTYPE", "A",  "B",    "b",    "BODY", "BR",  "H1", "H2",
                                       "H3",       "H4", "HEAD", "HR",   "HTML", "I",   "LI", "META",
                                       "P",        "TABLE", "TD", "TH", "TITLE", "TR", "UL"};
    for (const char* tag : tags)
        if (same_text(begin, end, tag))
            return true;
    return false;
}

// A character that html_attribute never leaves bare in a value.
bool bare_in_attribute(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F && c != '<' && c != '>' && c != '"' && c != '\'' && c != '=' && c != '`';
}

bool starts_with(const char* begin, const char* end, const char* prefix)
{
    for (; *prefix; ++begin, ++prefix)
        if (begin == end || *begin != *prefix)
            return false;
    return true;
}

// The anchor tag [begin, end] ("<A ...>"): HREF="value" or NAME=value, nothing else.
bool anchor_is_whole(const char* begin, const char* end)
{
    if (starts_with(begin, end, "<A HREF=\"")) {
        const char* p = begin + 9;
        while (p < end && *p != '"' && *p != '<')
            ++p;
        return p + 1 == end && *p == '"';
    }
    if (starts_with(begin, end, "<A NAME=")) {
        const char* p = begin + 8;
        if (p == end)
            return false;
        for (; p < end; ++p)
            if (!bare_in_attribute(*p))
                return false;
        return true;
    }
    return false;
}

std::string fault_at(const char* what, std::string_view html, const char* at, std::size_t shown = 0)
{
    std::size_t offset = static_cast<std::size_t>(at - html.data());
    std::string text = std::string(what) + " at offset " + std::to_string(offset);
    if (shown)
        text += ": " + std::string(html.substr(offset, shown));
    return text;
}

// A metric or label name: a letter, '_' or ':' first, then those or digits.
std::size_t name_length(std::string_view text)
{
    std::size_t n = 0;
    while (n < text.size()) {
        const char c = text[n];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
        if (!letter && !(n > 0 && c >= '0' && c <= '9'))
            break;
        ++n;
    }
    return n;
}

// The labels after '{' up to and including '}': name="value" pairs, values
// with \\, \" and \n escapes only; npos when they are broken.
std::size_t labels_length(std::string_view text)
{
    std::size_t p = 0;
    while (p < text.size() && text[p] != '}') {
        const std::size_t name = name_length(text.substr(p));
        p += name;
        if (name == 0 || text.substr(p, 2) != "=\"")
            return std::string_view::npos;
        for (p += 2; p < text.size() && text[p] != '"'; ++p)
            if (text[p] == '\\' && (++p == text.size() || (text[p] != '\\' && text[p] != '"' && text[p] != 'n')))
                return std::string_view::npos;
        if (p == text.size())
            return std::string_view::npos;
        if (++p < text.size() && text[p] == ',')
            ++p;
    }
    return p < text.size() ? p + 1 : std::string_view::npos;
}

// The first line of a metrics text that is neither a comment nor a whole
// sample (name, labels, a blank and one value), or empty.
std::string metrics_fault(std::string_view text)
{
    if (text.empty() || text.back() != '\n')
        return "empty or not ended by a newline";
    while (!text.empty()) {
        const std::string_view line = text.substr(0, text.find('\n'));
        text.remove_prefix(line.size() + 1);
        if (line.starts_with("# HELP ") || line.starts_with("# TYPE "))
            continue;
        std::size_t p = name_length(line);
        if (p > 0 && p < line.size() && line[p] == '{') {
            const std::size_t labels = labels_length(line.substr(p + 1));
            p = labels == std::string_view::npos ? 0 : p + 1 + labels;
        }
        if (p == 0 || p + 1 >= line.size() || line[p] != ' ' || line.find(' ', p + 1) != std::string_view::npos)
            return "broken line: " + std::string(line.substr(0, 80));
    }
    return {};
}

bool is_dashboard_tag(const char* begin, const char* end)
{
    static const char* const tags[] = {"!DOCTYPE", "a", "body", "caption", "desc", "div", "figcaption", "figure",
                                       "footer", "g", "h1", "h2", "h3", "head", "header", "html", "li", "line",
                                       "main", "meta", "p", "rect", "section", "span", "style", "svg", "table",
                                       "tbody", "td", "text", "th", "thead", "title", "tr", "ul"};
    for (const char* tag : tags)
        if (same_text(begin, end, tag))
            return true;
    return false;
}

// The dashboard's first tag that is not one of its own, its first bare '>'
// or broken tag (attribute quotes unbalanced), or empty. The style sheet is
// the program's own text and is skipped.
std::string dashboard_markup_fault(std::string_view html)
{
    const char* p = html.data();
    const char* const end = p + html.size();
    while (p < end) {
        if (*p == '>')
            return fault_at("bare '>'", html, p, 40);
        if (*p != '<') {
            ++p;
            continue;
        }
        const char* open = p;
        const char* close = open + 1;
        int quotes = 0;
        while (close < end && *close != '<' && (*close != '>' || quotes % 2 != 0))
            quotes += *close++ == '"';
        if (close == end || *close == '<')
            return fault_at("broken tag", html, open, 40);
        const char* name = open[1] == '/' ? open + 2 : open + 1;
        const char* name_end = name;
        while (name_end < close && *name_end != ' ')
            ++name_end;
        if (!is_dashboard_tag(name, name_end))
            return fault_at("unknown tag", html, open, 40);
        p = close + 1;
        if (starts_with(open, close, "<style>")) {
            const std::string_view rest(p, static_cast<std::size_t>(end - p));
            const std::size_t style_end = rest.find("</style>");
            if (style_end == std::string_view::npos)
                return fault_at("unclosed style", html, open, 40);
            p += style_end;
        }
    }
    return {};
}

}  // namespace

void prepare(const char* source_dir)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string examples = std::string(source_dir) + "/examples/";
    load_country_table(country_ip_table, (examples + "country_ip.data").c_str());
    load_area_table(area_ip_table, (examples + "area_ip.data").c_str());
    if (report_memories.empty()) {
        for (const config_key& key : config_keys()) {
            const std::string name = key.name;
            if (std::holds_alternative<setting_text program_settings::*>(key.field) && name.starts_with("Output") &&
                name != "OutputBaseDir" && name != "OutputOtherReportName")
                report_memories.push_back({name, memory_file({})});
        }
        extra_memories = {memory_file({}), memory_file({}), memory_file({})};
    }
}

std::string html_markup_fault(std::string_view html)
{
    const char* p = html.data();
    const char* const end = p + html.size();
    while (p < end) {
        if (*p == '>')
            return fault_at("bare '>'", html, p, 40);
        if (*p != '<') {
            ++p;
            continue;
        }
        const char* open = p;
        const char* close = open + 1;
        while (close < end && *close != '>' && *close != '<')
            ++close;
        if (close == end)
            return fault_at("unclosed tag", html, open, 40);
        if (*close == '<')
            return fault_at("'<' inside a tag", html, open, 40);
        const char* name = open[1] == '/' ? open + 2 : open + 1;
        const char* name_end = name;
        while (name_end < close && *name_end != ' ')
            ++name_end;
        if (!is_report_tag(name, name_end))
            return fault_at("unknown tag", html, open, 40);
        if (name == open + 1 && name_end == name + 1 && *name == 'A' && !anchor_is_whole(open, close))
            return fault_at("broken anchor", html, open, 80);
        p = close + 1;
    }
    return {};
}

pipeline_outcome run_pipeline(std::string_view log)
{
    pipeline_outcome outcome;
    int fd = memory_file(log);
    if (fd < 0)
        return outcome;
    outcome.ascii = run_pass(pass_kind::ascii, fd);
    outcome.html = run_pass(pass_kind::html, fd);
    outcome.split = run_pass(pass_kind::split, fd);
    ::close(fd);
    settings = program_settings{};
    return outcome;
}

int run_config_parser(std::string_view text)
{
    settings = program_settings{};
    int fd = memory_file(text);
    if (fd < 0)
        return -1;
    int result = parse_config_file(path_of(fd).c_str());
    ::close(fd);
    return result;
}

ip_tables_outcome run_ip_range_loaders(std::string_view text)
{
    ip_tables_outcome outcome;
    int fd = memory_file(text);
    if (fd < 0)
        return outcome;
    const std::string path = path_of(fd);
    ip_range_table saved_country, saved_area;
    std::swap(saved_country, country_ip_table);
    std::swap(saved_area, area_ip_table);
    const program_settings saved_settings = settings;

    load_country_table(country_ip_table, path.c_str());
    load_area_table(area_ip_table, path.c_str());
    outcome.country_entries = country_ip_table.entries.size();
    outcome.area_entries = area_ip_table.entries.size();

    static const std::uint32_t addresses[] = {0u, 1u, 0x7F000001u, 0xC0000201u, 0xCB007105u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (int sorting = 0; sorting <= 1; ++sorting) {
        settings.bases_sorting = sorting;
        settings.bases_fast_lookup = sorting;
        if (sorting)
            sort_ip_table(country_ip_table);
        for (std::uint32_t address : addresses) {
            ip2country(address);
            ip2area(address);
        }
        // Addresses taken from the table itself reach its edges.
        for (std::size_t i = 0; i < std::min<std::size_t>(country_ip_table.entries.size(), 8); ++i) {
            ip2country(country_ip_table.entries[i].start);
            ip2country(country_ip_table.entries[i].end + 1u);
        }
        for (std::size_t i = 0; i < std::min<std::size_t>(area_ip_table.entries.size(), 8); ++i)
            ip2area(area_ip_table.entries[i].end);
    }

    settings = saved_settings;
    std::swap(saved_country, country_ip_table);
    std::swap(saved_area, area_ip_table);
    ::close(fd);
    return outcome;
}

}  // namespace hostile
