// The IP range databases: loading "country_ip.data" and "area_ip.data" into
// the two global range tables, sorting the country table, and the lookups
// that find the narrowest range holding an address. The files come from the
// administrator and are not trusted: every field is cut to its size and a
// line that does not fit its format is skipped.
#include "geo/ip_ranges.h"

#include <arpa/inet.h>
#include <bsd/stdlib.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "driver/messages.h"
#include "driver/settings.h"
#include "util/text_util.h"

ip_range_table country_ip_table;
ip_range_table area_ip_table;

namespace {

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using data_file = std::unique_ptr<std::FILE, file_closer>;

constexpr std::size_t line_buffer_size = 4096;
constexpr std::size_t path_buffer_size = 512;
constexpr std::size_t code_length = 8;
constexpr std::size_t address_length = 18;
constexpr std::size_t area_name_length = 126;

// The block skip of a sorted country table.
constexpr std::size_t skip_min_entries = 5000;
constexpr std::size_t skip_block = 1200;
constexpr std::uint32_t skip_distance = 16777216;

const char* const data_directories[] = {"./", "/usr/local/etc/", "/usr/local/share/doc/quelm_stat/"};

void progress(const char* name)
{
    if (settings.time_profile)
        time_stamped_message(name);
}

// The fields of one data line, still pointing into the line buffer.
struct range_fields {
    std::string_view name;
    std::string_view first;
    std::string_view last;
};

// A field that ends at a blank, and what follows the blanks after it.
struct split_field {
    std::string_view field;
    std::string_view rest;
};

std::string_view skip_spaces(std::string_view text)
{
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    return text;
}

// Null when no blank ends the field.
std::optional<split_field> field_before_blank(std::string_view text)
{
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return std::nullopt;
    return split_field{text.substr(0, blank), skip_spaces(text.substr(blank))};
}

// "<code> <first> <last>", anything after the last address ignored.
std::optional<range_fields> parse_country_line(std::string_view line)
{
    auto code = field_before_blank(line);
    if (!code)
        return std::nullopt;
    auto first = field_before_blank(code->rest);
    if (!first)
        return std::nullopt;
    std::string_view last = first->rest.substr(0, first->rest.find(' '));
    return range_fields{code->field.substr(0, code_length), first->field.substr(0, address_length),
                        last.substr(0, address_length)};
}

// "<first> <last> <unused> <unused> <area name, blanks included>".
std::optional<range_fields> parse_area_line(std::string_view line)
{
    auto first = field_before_blank(line);
    if (!first)
        return std::nullopt;
    auto last = field_before_blank(first->rest);
    if (!last)
        return std::nullopt;
    auto third = field_before_blank(last->rest);
    if (!third)
        return std::nullopt;
    auto fourth = field_before_blank(third->rest);
    if (!fourth)
        return std::nullopt;
    return range_fields{fourth->rest.substr(0, area_name_length), first->field.substr(0, address_length),
                        last->field.substr(0, address_length)};
}

void report_country_allocation_failure(int error)
{
    error_message(format_message("Cannot create dynamic IP/country array. Error=%d\n", error));
}

void report_area_allocation_failure(int error)
{
    error_message(format_message("Cannot create dynamic IP/area array. Error=%d\n", error));
}

struct table_format {
    std::optional<range_fields> (*parse)(std::string_view line);
    void (*report_allocation_failure)(int error);
    bool report_zero_addresses;  // only the country table names its null addresses
};

const table_format country_format{parse_country_line, report_country_allocation_failure, true};
const table_format area_format{parse_area_line, report_area_allocation_failure, false};

// Calls `use` with each line that is not a comment, without its newline,
// until the file ends or `use` returns false. A line longer than the buffer
// arrives in pieces, each handled as a line of its own.
template <typename Use>
void for_each_data_line(std::FILE* file, Use use)
{
    char line[line_buffer_size];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '#')
            continue;
        cut_at_newline(line);
        if (!use(std::string_view(line)))
            return;
    }
}

std::uint32_t address_value(std::string_view text)
{
    char address[address_length + 1];
    std::size_t length = std::min(text.size(), address_length);
    text.copy(address, length);
    address[length] = '\0';
    return ipv4_number(address);
}

std::size_t count_entries(std::FILE* file, const table_format& format)
{
    std::size_t count = 0;
    for_each_data_line(file, [&](std::string_view line) {
        if (format.parse(line))
            ++count;
        return true;
    });
    return count;
}

void add_entry(ip_range_table& table, const range_fields& fields, const table_format& format)
{
    const std::string& name = table.names.emplace_back(fields.name);
    table.entries.push_back({name.c_str(), address_value(fields.first), address_value(fields.last)});
    const ip_range_entry& entry = table.entries.back();
    if (!format.report_zero_addresses)
        return;
    int index = static_cast<int>(table.entries.size() - 1);
    if (entry.start == 0)
        error_message(format_message("%d: start=0\n", index));
    if (entry.end == 0)
        error_message(format_message("%d: end=0\n", index));
}

// Second pass over the file: fills the table with the first `count` entries of the file.
void fill_table(ip_range_table& table, std::FILE* file, std::size_t count, const table_format& format)
{
    table.entries.reserve(count);
    for_each_data_line(file, [&](std::string_view line) {
        if (auto fields = format.parse(line))
            add_entry(table, *fields, format);
        return table.entries.size() < count;
    });
}

void clear_table(ip_range_table& table)
{
    table.entries.clear();
    table.names.clear();
}

void load_table(ip_range_table& table, std::FILE* file, const table_format& format)
{
    clear_table(table);
    std::size_t count = count_entries(file, format);
    if (settings.time_profile)
        error_message(format_message("%lu entries found.\n", static_cast<unsigned long>(count)));
    if (count == 0)
        return;
    std::rewind(file);
    try {
        fill_table(table, file, count, format);
    } catch (const std::bad_alloc&) {
        int error = errno;
        clear_table(table);
        format.report_allocation_failure(error);
    }
}

data_file open_data_file(const char* path)
{
    return data_file(std::fopen(path, "rt"));
}

// The first of the data directories that holds a readable `file_name`.
data_file find_data_file(const char* file_name)
{
    for (const char* directory : data_directories) {
        char path[path_buffer_size];
        std::snprintf(path, sizeof path, "%s%s", directory, file_name);
        if (data_file file = open_data_file(path))
            return file;
    }
    return nullptr;
}

void load_from_data_directories(ip_range_table& table, const char* file_name, const table_format& format)
{
    clear_table(table);
    if (data_file file = find_data_file(file_name))
        load_table(table, file.get(), format);
}

void load_from_path(ip_range_table& table, const char* path, const table_format& format)
{
    clear_table(table);
    if (data_file file = open_data_file(path))
        load_table(table, file.get(), format);
}

int compare_ranges(const void* left, const void* right)
{
    const auto* a = static_cast<const ip_range_entry*>(left);
    const auto* b = static_cast<const ip_range_entry*>(right);
    if (a->start != b->start)
        return a->start < b->start ? -1 : 1;
    if (a->end != b->end)
        return a->end < b->end ? -1 : 1;
    return 0;
}

// Number of addresses in the range; the whole address space wraps to 0.
std::uint32_t range_size(const ip_range_entry& entry)
{
    return entry.end - entry.start + 1u;
}

bool contains(const ip_range_entry& entry, std::uint32_t address)
{
    return entry.start <= address && address <= entry.end;
}

void trace_match(std::size_t index, const ip_range_entry& entry)
{
    if (settings.bases_results)
        error_message(format_message("%d: %s 0x%08lX 0x%08lX\n", static_cast<int>(index), entry.name,
                                     static_cast<unsigned long>(entry.start), static_cast<unsigned long>(entry.end)));
}

bool far_above(std::uint32_t address, std::uint32_t start)
{
    return address > start && address - start > skip_distance;
}

// Where the walk of the country table begins: with a large sorted table and
// fast lookup, whole blocks that start far below the address are passed over.
std::size_t country_walk_start(const std::vector<ip_range_entry>& entries, std::uint32_t address)
{
    if (!settings.bases_sorting || !settings.bases_fast_lookup || entries.size() <= skip_min_entries)
        return 0;
    std::size_t block = 0;
    if (!far_above(address, entries[0].start))
        return block;
    for (std::size_t next = skip_block; next < entries.size() - 1 && far_above(address, entries[next].start);
         next += skip_block)
        block = next;
    return block;
}

bool is_eu(const char* name)
{
    return std::strcmp(name, ".eu") == 0;
}

// Among country ranges of equal size the later one wins, except that a range
// of the European Union never displaces a country's own range.
bool replaces_best_country(const ip_range_entry& candidate, const ip_range_entry* best)
{
    if (best == nullptr)
        return true;
    std::uint32_t size = range_size(candidate);
    std::uint32_t best_size = range_size(*best);
    if (size != best_size)
        return size < best_size;
    return !is_eu(candidate.name) || is_eu(best->name);
}

}  // namespace

std::uint32_t ipv4_number(const char* text)
{
    in_addr address{};
    if (text == nullptr || inet_aton(text, &address) == 0)
        return 0;
    return ntohl(address.s_addr);
}

void load_country_table(ip_range_table& table, const char* path)
{
    load_from_path(table, path, country_format);
}

void load_area_table(ip_range_table& table, const char* path)
{
    load_from_path(table, path, area_format);
}

void sort_ip_table(ip_range_table& table)
{
    std::vector<ip_range_entry>& entries = table.entries;
    if (entries.size() < 2 || settings.merge_sort != 1)
        return;
    std::vector<ip_range_entry> working;
    try {
        working.assign(entries.begin(), entries.end());
    } catch (const std::bad_alloc&) {
        error_message("ERR: cannot get memory for country_ip mergesort!\n");
        error_message("ERR: try slow sorting method!\n");
        return;
    }
    mergesort(working.data(), working.size(), sizeof(ip_range_entry), compare_ranges);
    std::copy(working.begin(), working.end(), entries.begin());
}

void load_ip_databases()
{
    if (!settings.PrintCountryIPInfo)
        return;
    progress("Load countries database");
    load_from_data_directories(country_ip_table, "country_ip.data", country_format);
    progress("Countries database loading done");
    if (!country_ip_table.entries.empty() && settings.bases_sorting) {
        progress("Countries database sorting");
        sort_ip_table(country_ip_table);
        progress("Countries database sorting done");
    }
    progress("Load areas database");
    load_from_data_directories(area_ip_table, "area_ip.data", area_format);
    progress("Areas database loading done");
}

const char* ip2country(std::uint32_t address)
{
    if (settings.bases_results)
        error_message(format_message("ip2country: 0x%08lX\n", static_cast<unsigned long>(address)));
    const std::vector<ip_range_entry>& entries = country_ip_table.entries;
    std::size_t first = country_walk_start(entries, address);
    const ip_range_entry* best = nullptr;
    for (std::size_t i = first; i < entries.size(); ++i) {
        const ip_range_entry& entry = entries[i];
        if (settings.bases_sorting && entry.start > address)
            break;
        if (!contains(entry, address))
            continue;
        trace_match(i - first, entry);
        if (replaces_best_country(entry, best))
            best = &entry;
    }
    return best ? best->name : nullptr;
}

const char* ip2area(std::uint32_t address)
{
    if (settings.bases_results)
        error_message(format_message("ip2area: 0x%08lX\n", static_cast<unsigned long>(address)));
    const ip_range_entry* best = nullptr;
    const std::vector<ip_range_entry>& entries = area_ip_table.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ip_range_entry& entry = entries[i];
        if (!contains(entry, address))
            continue;
        trace_match(i, entry);
        if (best == nullptr || range_size(entry) < range_size(*best))
            best = &entry;
    }
    return best ? best->name : nullptr;
}
