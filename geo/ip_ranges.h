// The IP range databases: "country_ip.data" maps IPv4 ranges to country codes
// and "area_ip.data" to area names. Both are loaded once at start-up (only
// with PrintCountryIPInfo) and read-only afterwards. The files come from the
// administrator; their lines are still parsed without trusting their length.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// One range of either table; addresses have the first octet in the most
// significant byte, `end` is inclusive. `name` points into the table's names.
struct ip_range_entry {
    const char* name;
    std::uint32_t start;
    std::uint32_t end;
};

struct ip_range_table {
    std::vector<ip_range_entry> entries;
    std::deque<std::string> names;  // owns the texts the entries point to
};

extern ip_range_table country_ip_table;
extern ip_range_table area_ip_table;

// Loads both files (searched in "./", "/usr/local/etc/",
// "/usr/local/share/doc/quelm_stat/"), sorting the country table when
// `bases_sorting` is set, with the progress messages of -p.
void load_ip_databases();

// Loading of one table from an open file (exposed for tests).
void load_country_table(ip_range_table& table, const char* path);
void load_area_table(ip_range_table& table, const char* path);

// Sorts by start, equal starts by end, with the stable merge sort; does nothing
// with fewer than 2 entries or when `merge_sort` is not exactly 1.
void sort_ip_table(ip_range_table& table);

// The name of the narrowest country range that holds `address`, or null.
const char* ip2country(std::uint32_t address);
// The name of the narrowest area range that holds `address`, or null.
const char* ip2area(std::uint32_t address);

// IPv4 text to number (first octet most significant); 0 when it does not convert.
std::uint32_t ipv4_number(const char* text);
