// The IP range databases: line formats, the sort, the narrowest-range lookups with their tie rules,
// and the early stop and block skip of a sorted table against the plain walk.
#include "geo/ip_ranges.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/settings.h"

namespace {

std::vector<std::string> names_of(const ip_range_table& table)
{
    std::vector<std::string> names;
    for (const ip_range_entry& entry : table.entries)
        names.emplace_back(entry.name);
    return names;
}

// Loads a country (or area) file of `content`; returns what loading wrote to standard error.
std::string load(const std::string& content, bool area = false)
{
    char path[] = "/tmp/quelm_geo_XXXXXX";
    close(mkstemp(path));
    std::ofstream(path, std::ios::binary) << content;
    (area ? area_ip_table : country_ip_table) = ip_range_table{};
    testing::internal::CaptureStderr();
    area ? load_area_table(area_ip_table, path) : load_country_table(country_ip_table, path);
    std::remove(path);
    return testing::internal::GetCapturedStderr();
}

class IpRangesTest : public testing::Test {
    void SetUp() override { settings = program_settings{}, country_ip_table = area_ip_table = ip_range_table{}; }
    void TearDown() override { SetUp(); }
};

// The narrowest range wins; of equal sizes the later country, but .eu never displaces a country; of
// equal areas the earlier; 0.0.0.0-255.255.255.255 has size 0. Kind: c country, a area, s sorted
// country table (the walk stops at the first range above the address), S sorted area table (searched in full).
TEST_F(IpRangesTest, LookupTakesTheNarrowestRangeWithItsTieRules)
{
    const char* nested = ".us 192.0.2.0 192.0.2.255\n.de 192.0.2.128 192.0.2.191\n";
    const char* nested_reversed = ".de 192.0.2.128 192.0.2.191\n.us 192.0.2.0 192.0.2.255\n";
    const char* unsorted = ".us 203.0.113.0 203.0.113.255\n.de 192.0.2.0 192.0.2.255\n";
    const char* areas = "192.0.2.0 192.0.2.255 X Y Old\n192.0.2.0 192.0.2.255 X Y New\n"
                        "10.0.0.0 10.255.255.255 X Y Wide\n10.1.0.0 10.1.0.255 X Y Small  Village \n";
    struct { char kind; const char* file; const char* address; const char* want; } cases[] = {
        {'c', nested, "192.0.2.191", ".de"}, {'c', nested_reversed, "192.0.2.128", ".de"},
        {'c', nested, "192.0.2.192", ".us"}, {'c', nested_reversed, "192.0.2.10", ".us"}, {'c', nested, "198.51.100.1", nullptr},
        {'c', ".eu 192.0.2.0 192.0.2.255\n.fr 192.0.2.0 192.0.2.255\n", "192.0.2.7", ".fr"},
        {'c', ".fr 192.0.2.0 192.0.2.255\n.eu 192.0.2.0 192.0.2.255\n", "192.0.2.7", ".fr"},
        {'c', ".fr 192.0.2.0 192.0.2.255\n.de 192.0.2.0 192.0.2.255\n", "192.0.2.7", ".de"},
        {'c', ".de 192.0.2.0 192.0.2.127\n.eu 192.0.2.64 192.0.2.191\n.nl 192.0.2.32 192.0.2.159\n", "192.0.2.100",
         ".nl"},  // equal size, not equal bounds
        {'c', ".de 192.0.2.0 192.0.2.255\n.zz 0.0.0.0 255.255.255.255\n.fr 192.0.2.0 192.0.2.255\n", "192.0.2.1", ".zz"},
        {'c', unsorted, "192.0.2.5", ".de"}, {'s', unsorted, "192.0.2.5", nullptr}, {'s', unsorted, "203.0.113.5", ".us"},
        {'a', areas, "10.1.0.9", "Small  Village "}, {'a', areas, "192.0.2.1", "Old"}, {'S', areas, "10.3.0.9", "Wide"},
        {'a', "10.0.0.0 10.255.255.255 X Y Wide\n0.0.0.0 255.255.255.255 A B World\n", "10.1.0.9", "World"},
    };
    for (const auto& c : cases) {
        const bool area = c.kind == 'a' || c.kind == 'S';
        load(c.file, area);
        settings.bases_sorting = c.kind == 's' || c.kind == 'S';
        EXPECT_STREQ(area ? ip2area(ipv4_number(c.address)) : ip2country(ipv4_number(c.address)), c.want) << c.file << c.address;
    }
}

// Loads `first_line`, adds 6000 ranges of 4096 addresses 32768 apart from 1.0.0.0 on, in reverse order; sorts.
void load_large_table(const char* first_line)
{
    load(first_line);
    for (int i = 5999; i >= 0; --i) {
        const std::uint32_t start = 0x01000000u + static_cast<std::uint32_t>(i) * 0x8000u;
        const std::string& name = country_ip_table.names.emplace_back(".r" + std::to_string(i));
        country_ip_table.entries.push_back({name.c_str(), start, start + 0xFFF});
    }
    sort_ip_table(country_ip_table);
}

TEST_F(IpRangesTest, BlockSkipGivesTheAnswersOfThePlainWalkButPassesOverWideRanges)
{
    load_large_table("");
    for (std::uint32_t address = 0x00FF0000u; address < 0x0D000000u; address += 0x4567u) {
        settings.bases_sorting = settings.bases_fast_lookup = 0;
        const char* plain = ip2country(address);
        settings.bases_sorting = settings.bases_fast_lookup = 1;
        const char* fast = ip2country(address);
        ASSERT_STREQ(plain, fast) << std::hex << address;
        const std::uint32_t offset = address - 0x01000000u;
        const bool inside = address >= 0x01000000u && offset / 0x8000u < 6000 && offset % 0x8000u < 0x1000u;
        ASSERT_STREQ(fast, inside ? (".r" + std::to_string(offset / 0x8000u)).c_str() : nullptr);
    }
    load_large_table(".wide 1.0.0.0 15.255.255.255\n");
    std::uint32_t gap = 0x01000000u + 4000u * 0x8000u + 0x2000u;  // between .r4000 and .r4001
    settings.bases_fast_lookup = 0;
    EXPECT_STREQ(ip2country(gap), ".wide");
    settings.bases_fast_lookup = settings.bases_results = 1;
    EXPECT_STREQ(ip2country(gap), nullptr);
    // .r2500 sits at index 2501; the walk starts at block 1200 (2400 starts less than 2^24 below).
    testing::internal::CaptureStderr();
    EXPECT_STREQ(ip2country(ipv4_number("5.226.0.1")), ".r2500");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ip2country: 0x05E20001\n1301: .r2500 0x05E20000 0x05E20FFF\n");
    // 6001 entries: the block at the last entry (6000) is not taken; the walk from 4800 meets .top.
    load_large_table(".top 12.0.0.0 255.255.255.255\n");
    testing::internal::CaptureStderr();
    EXPECT_STREQ(ip2country(ipv4_number("200.0.0.0")), ".top");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ip2country: 0xC8000000\n833: .top 0x0C000000 0xFFFFFFFF\n");
}

// Which lines count, the messages of addresses that do not convert, the cut of
// long fields, lines longer than the read buffer, and the sort.
TEST_F(IpRangesTest, LineFormatsAndSort)
{
    settings.time_profile = 1;
    struct { bool area; std::string file; const char* messages; std::vector<std::string> names; } cases[] = {
        {false, "# .xx 192.0.2.0 192.0.2.255\n.de 192.0.2.0\n.de\n\n.de\t192.0.2.0\t192.0.2.255\n"
                ".fr 198.51.100.0 198.51.100.255\n.us   203.0.113.0   203.0.113.255 trailing words\n",
         "2 entries found.\n", {".fr", ".us"}},
        {true, "#10.0.0.0 10.0.0.255 A B Comment\n10.0.0.0 10.0.0.255 A B\n10.0.0.0 10.0.0.255 A\n"
               "192.0.2.0  192.0.2.255   A  B   The  Name\n10.0.0.0 10.0.0.255 A B \n",
         "2 entries found.\n", {"The  Name", ""}},
        {false, ".aa bogus 192.0.2.255\n.bb 192.0.2.0 192.0.2.255\n.cc 192.0.2.0 \n.dd 0.0.0.0 1.2.3.300\n",
         "4 entries found.\n0: start=0\n2: end=0\n3: start=0\n3: end=0\n", {".aa", ".bb", ".cc", ".dd"}},
        {true, "", "0 entries found.\n", {}},
        {false, ".abcdefghijk 192.0.2.0 192.0.2.255\n.fr 0x00000000C0.0.2.19 192.0.2.255\n", "2 entries found.\n",
         {".abcdefg", ".fr"}},
        {true, "192.0.2.0 192.0.2.255 A B " + std::string(200, 'n') + "\n", "1 entries found.\n", {std::string(126, 'n')}},
        {false, "#" + std::string(4094, 'c') + ".fr 198.51.100.0 198.51.100.255\n.de 192.0.2.0 192.0.2.255 " +
                    std::string(5000, 'y') + " tail\n", "2 entries found.\n", {".fr", ".de"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(load(c.file, c.area), c.messages) << c.file;
        EXPECT_EQ(names_of(c.area ? area_ip_table : country_ip_table), c.names) << c.file;
    }
    load(cases[4].file);
    EXPECT_EQ(country_ip_table.entries[1].start, ipv4_number("192.0.2.1"));  // 18 characters of the address kept
    // Only the merge sort (1) sorts: by start, then end, equal ranges in file order.
    const std::vector<std::string> sorted{".e", ".x", ".b", ".d", ".a", ".c"}, file_order{".c", ".a", ".x", ".e", ".b", ".d"};
    for (int merge_sort : {1, 0, 2}) {
        load(".c 192.0.2.128 192.0.2.255\n.a 192.0.2.0 192.0.2.255\n.x 192.0.2.0 192.0.2.127\n"
             ".e 10.0.0.0 10.0.0.255\n.b 192.0.2.0 192.0.2.127\n.d 192.0.2.0 192.0.2.127\n");
        settings.merge_sort = merge_sort;
        sort_ip_table(country_ip_table);
        EXPECT_EQ(names_of(country_ip_table), merge_sort == 1 ? sorted : file_order);
    }
}

}  // namespace
