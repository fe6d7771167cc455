// The IP range databases: the line formats of both files, the sort of the
// country table, the narrowest-range lookups with their tie rules, the early
// stop and block skip of a sorted table, and the messages of -p and -b.
// The tests write their own data files under a fresh temporary directory
// (the samples in examples/ excepted) and read back what was written.
#include "geo/ip_ranges.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"

namespace {

std::uint32_t ip(const char* text)
{
    return ipv4_number(text);
}

std::vector<std::string> names_of(const ip_range_table& table)
{
    std::vector<std::string> names;
    for (const ip_range_entry& entry : table.entries)
        names.emplace_back(entry.name);
    return names;
}

// What `action` writes to standard error.
template <typename Action>
std::string stderr_of(Action action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

class IpRangesTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset();
        char pattern[] = "/tmp/quelm_geo_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory_ = pattern;
    }
    void TearDown() override
    {
        reset();
        std::filesystem::remove_all(directory_);
    }
    static void reset()
    {
        settings = program_settings{};
        country_ip_table = ip_range_table{};
        area_ip_table = ip_range_table{};
    }

    std::string write_file(const std::string& name, const std::string& content)
    {
        std::string path = directory_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // Loads the table and returns what the loading wrote to standard error.
    std::string load_countries(const std::string& content)
    {
        std::string path = write_file("country_ip.data", content);
        return stderr_of([&] { load_country_table(country_ip_table, path.c_str()); });
    }
    std::string load_areas(const std::string& content)
    {
        std::string path = write_file("area_ip.data", content);
        return stderr_of([&] { load_area_table(area_ip_table, path.c_str()); });
    }

    std::string directory_;
};

TEST(Ipv4Number, FirstOctetIsMostSignificantAndFailuresGiveZero)
{
    EXPECT_EQ(ip("192.0.2.0"), 0xC0000200u);
    EXPECT_EQ(ip("10.1.2.3"), 0x0A010203u);
    EXPECT_EQ(ip("192.0.2.256"), 0u);
    EXPECT_EQ(ip("relay.example"), 0u);
    EXPECT_EQ(ip(""), 0u);
}

TEST_F(IpRangesTest, NarrowestCountryRangeWinsInEitherOrder)
{
    for (const char* file : {".us 192.0.2.0 192.0.2.255\n.de 192.0.2.128 192.0.2.191\n",
                             ".de 192.0.2.128 192.0.2.191\n.us 192.0.2.0 192.0.2.255\n"}) {
        load_countries(file);
        EXPECT_STREQ(ip2country(ip("192.0.2.130")), ".de") << file;
        EXPECT_STREQ(ip2country(ip("192.0.2.191")), ".de") << file;
        EXPECT_STREQ(ip2country(ip("192.0.2.10")), ".us") << file;
        EXPECT_STREQ(ip2country(ip("192.0.2.192")), ".us") << file;
        EXPECT_STREQ(ip2country(ip("198.51.100.1")), nullptr) << file;
    }
}

TEST_F(IpRangesTest, EqualCountryRangesLaterWinsButEuNeverDisplacesACountry)
{
    load_countries(".eu 192.0.2.0 192.0.2.255\n.fr 192.0.2.0 192.0.2.255\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.7")), ".fr");
    load_countries(".fr 192.0.2.0 192.0.2.255\n.eu 192.0.2.0 192.0.2.255\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.7")), ".fr");
    load_countries(".fr 192.0.2.0 192.0.2.255\n.de 192.0.2.0 192.0.2.255\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.7")), ".de");
    // Equal size, not equal bounds: the tie rule is about size alone.
    load_countries(".de 192.0.2.0 192.0.2.127\n.eu 192.0.2.64 192.0.2.191\n.nl 192.0.2.32 192.0.2.159\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.100")), ".nl");
}

TEST_F(IpRangesTest, AreaLookupKeepsTheEarlierOfEqualRanges)
{
    load_areas("192.0.2.0 192.0.2.255 X Y Old Town\n192.0.2.0 192.0.2.255 X Y New Town\n"
               "10.0.0.0 10.255.255.255 X Y Wide Land\n10.1.0.0 10.1.0.255 X Y Small  Village \n");
    EXPECT_STREQ(ip2area(ip("192.0.2.1")), "Old Town");
    EXPECT_STREQ(ip2area(ip("10.1.0.9")), "Small  Village ");
    EXPECT_STREQ(ip2area(ip("10.2.0.9")), "Wide Land");
    EXPECT_STREQ(ip2area(ip("198.51.100.1")), nullptr);
    settings.bases_sorting = 1;  // the area table is always searched in full
    EXPECT_STREQ(ip2area(ip("10.2.0.9")), "Wide Land");
}

TEST_F(IpRangesTest, TheWholeAddressSpaceHasSizeZeroAndBeatsEveryRange)
{
    EXPECT_EQ(load_countries(".de 192.0.2.0 192.0.2.255\n.zz 0.0.0.0 255.255.255.255\n.fr 192.0.2.0 192.0.2.255\n"),
              "1: start=0\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.1")), ".zz");
    load_areas("192.0.2.0 192.0.2.255 A B Town\n0.0.0.0 255.255.255.255 A B World\n");
    EXPECT_STREQ(ip2area(ip("192.0.2.1")), "World");
}

TEST_F(IpRangesTest, SortedLookupStopsAtTheFirstRangeStartingAboveTheAddress)
{
    load_countries(".us 203.0.113.0 203.0.113.255\n.de 192.0.2.0 192.0.2.255\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.5")), ".de");
    settings.bases_sorting = 1;
    EXPECT_STREQ(ip2country(ip("192.0.2.5")), nullptr);
    EXPECT_STREQ(ip2country(ip("203.0.113.5")), ".us");
}

// 6000 ranges of 4096 addresses, 32768 apart from 1.0.0.0 on, written in
// reverse order so that only the sort puts them in place.
std::string large_country_file(const char* first_line)
{
    std::string file = first_line;
    for (int i = 5999; i >= 0; --i) {
        std::uint32_t start = 0x01000000u + static_cast<std::uint32_t>(i) * 0x8000u;
        char line[80];
        std::snprintf(line, sizeof line, ".r%d %u.%u.%u.0 %u.%u.%u.255\n", i, start >> 24, (start >> 16) & 0xFF,
                      (start >> 8) & 0xFF, start >> 24, (start >> 16) & 0xFF, ((start >> 8) & 0xFF) + 15);
        file += line;
    }
    return file;
}

TEST_F(IpRangesTest, BlockSkipGivesTheAnswersOfThePlainWalk)
{
    load_countries(large_country_file(""));
    sort_ip_table(country_ip_table);
    ASSERT_EQ(country_ip_table.entries.size(), 6000u);
    for (std::uint32_t address = 0x00FF0000u; address < 0x0D000000u; address += 0x4567u) {
        settings.bases_sorting = settings.bases_fast_lookup = 0;
        const char* plain = ip2country(address);
        settings.bases_sorting = settings.bases_fast_lookup = 1;
        const char* fast = ip2country(address);
        ASSERT_STREQ(plain, fast) << std::hex << address;
        std::uint32_t offset = address - 0x01000000u;
        bool inside = address >= 0x01000000u && offset / 0x8000u < 6000 && offset % 0x8000u < 0x1000u;
        ASSERT_STREQ(fast, inside ? (".r" + std::to_string(offset / 0x8000u)).c_str() : nullptr);
    }
}

TEST_F(IpRangesTest, BlockSkipPassesOverWideRangesAndCountsTheTraceFromTheBlock)
{
    load_countries(large_country_file(".wide 1.0.0.0 15.255.255.255\n"));
    sort_ip_table(country_ip_table);
    std::uint32_t gap = 0x01000000u + 4000u * 0x8000u + 0x2000u;  // between .r4000 and .r4001
    settings.bases_sorting = 1;
    EXPECT_STREQ(ip2country(gap), ".wide");
    settings.bases_fast_lookup = 1;
    EXPECT_STREQ(ip2country(gap), nullptr);

    // Range 2500 sits at index 2501; the walk starts at block 1200, since the
    // entry at 2400 starts less than 2^24 below the address.
    settings.bases_results = 1;
    EXPECT_EQ(stderr_of([] { EXPECT_STREQ(ip2country(ip("5.226.0.1")), ".r2500"); }),
              "ip2country: 0x05E20001\n1301: .r2500 0x05E20000 0x05E20FFF\n");
}

TEST_F(IpRangesTest, BlockSkipNeverStartsTheWalkAtTheLastEntry)
{
    // 6001 entries: the block at 6000 is the last entry and is not taken,
    // so the walk from block 4800 still meets .top at index 5633.
    load_countries(large_country_file(".top 12.0.0.0 255.255.255.255\n"));
    sort_ip_table(country_ip_table);
    settings.bases_sorting = settings.bases_fast_lookup = settings.bases_results = 1;
    EXPECT_EQ(stderr_of([] { EXPECT_STREQ(ip2country(ip("200.0.0.0")), ".top"); }),
              "ip2country: 0xC8000000\n833: .top 0x0C000000 0xFFFFFFFF\n");
}

TEST_F(IpRangesTest, SortOrdersByStartThenEndAndKeepsEqualRangesInFileOrder)
{
    const char* file = ".c 192.0.2.128 192.0.2.255\n.a 192.0.2.0 192.0.2.255\n.x 192.0.2.0 192.0.2.127\n"
                       ".e 10.0.0.0 10.0.0.255\n.b 192.0.2.0 192.0.2.127\n.d 192.0.2.0 192.0.2.127\n";
    load_countries(file);
    sort_ip_table(country_ip_table);
    EXPECT_EQ(names_of(country_ip_table), (std::vector<std::string>{".e", ".x", ".b", ".d", ".a", ".c"}));
    const std::vector<std::string> file_order{".c", ".a", ".x", ".e", ".b", ".d"};
    for (int merge_sort : {0, 2}) {
        load_countries(file);
        settings.merge_sort = merge_sort;
        sort_ip_table(country_ip_table);
        EXPECT_EQ(names_of(country_ip_table), file_order) << merge_sort;
    }
}

TEST_F(IpRangesTest, OnlyWellFormedCountryLinesAreCounted)
{
    const char* file = "# .xx 192.0.2.0 192.0.2.255\n.de 192.0.2.0\n.de\n\n.de\t192.0.2.0\t192.0.2.255\n"
                       ".fr 198.51.100.0 198.51.100.255\n.us   203.0.113.0   203.0.113.255 trailing words\n";
    EXPECT_EQ(load_countries(file), "");
    settings.time_profile = 1;
    EXPECT_EQ(load_countries(file), "2 entries found.\n");
    EXPECT_EQ(names_of(country_ip_table), (std::vector<std::string>{".fr", ".us"}));
    EXPECT_STREQ(ip2country(ip("203.0.113.255")), ".us");
    EXPECT_STREQ(ip2country(ip("192.0.2.1")), nullptr);
}

TEST_F(IpRangesTest, OnlyAreaLinesWithFourBlankEndedFieldsAreCounted)
{
    settings.time_profile = 1;
    EXPECT_EQ(load_areas("#10.0.0.0 10.0.0.255 A B Comment\n10.0.0.0 10.0.0.255 A B\n10.0.0.0 10.0.0.255 A\n"
                         "192.0.2.0  192.0.2.255   A  B   The  Name\n10.0.0.0 10.0.0.255 A B \n"),
              "2 entries found.\n");
    EXPECT_EQ(names_of(area_ip_table), (std::vector<std::string>{"The  Name", ""}));
    EXPECT_STREQ(ip2area(ip("192.0.2.77")), "The  Name");
}

TEST_F(IpRangesTest, CountryAddressesThatDoNotConvertAreReportedAfterTheCount)
{
    settings.time_profile = 1;
    EXPECT_EQ(load_countries(".aa bogus 192.0.2.255\n.bb 192.0.2.0 192.0.2.255\n.cc 192.0.2.0 \n"
                             ".dd 0.0.0.0 1.2.3.300\n"),
              "4 entries found.\n0: start=0\n2: end=0\n3: start=0\n3: end=0\n");
    ASSERT_EQ(country_ip_table.entries.size(), 4u);
    EXPECT_EQ(country_ip_table.entries[0].start, 0u);
    EXPECT_EQ(country_ip_table.entries[0].end, 0xC00002FFu);
    EXPECT_EQ(load_areas("bogus 192.0.2.255 A B Somewhere\n"), "1 entries found.\n");
}

TEST_F(IpRangesTest, EmptyOrMissingFilesLeaveTheTablesEmpty)
{
    settings.time_profile = 1;
    EXPECT_EQ(load_countries("# only a comment\n\n"), "0 entries found.\n");
    EXPECT_TRUE(country_ip_table.entries.empty());
    EXPECT_EQ(load_areas(""), "0 entries found.\n");
    std::string missing = directory_ + "/missing.data";
    EXPECT_EQ(stderr_of([&] { load_area_table(area_ip_table, missing.c_str()); }), "");
    EXPECT_STREQ(ip2country(ip("192.0.2.1")), nullptr);
    EXPECT_STREQ(ip2area(ip("192.0.2.1")), nullptr);
}

TEST_F(IpRangesTest, LookupTracesShowEveryContainingRange)
{
    load_countries(".us 192.0.2.0 192.0.2.255\n.fr 198.51.100.0 198.51.100.255\n.de 192.0.2.128 192.0.2.191\n");
    load_areas("192.0.2.0 192.0.2.255 A B North Side\n198.51.100.0 198.51.100.255 A B Elsewhere\n");
    auto lookups = [] {
        EXPECT_STREQ(ip2country(ip("192.0.2.130")), ".de");
        EXPECT_STREQ(ip2area(ip("192.0.2.130")), "North Side");
        EXPECT_STREQ(ip2area(ip("10.0.0.1")), nullptr);
    };
    EXPECT_EQ(stderr_of(lookups), "");
    settings.bases_results = 1;
    EXPECT_EQ(stderr_of(lookups),
              "ip2country: 0xC0000282\n0: .us 0xC0000200 0xC00002FF\n2: .de 0xC0000280 0xC00002BF\n"
              "ip2area: 0xC0000282\n0: North Side 0xC0000200 0xC00002FF\nip2area: 0x0A000001\n");
}

TEST_F(IpRangesTest, FieldsAreCutToTheirSizes)
{
    load_countries(".abcdefghijk 192.0.2.0 192.0.2.255\n.fr 0x00000000C0.0.2.19 192.0.2.255\n");
    EXPECT_EQ(names_of(country_ip_table), (std::vector<std::string>{".abcdefg", ".fr"}));
    EXPECT_EQ(country_ip_table.entries[1].start, ip("192.0.2.1"));  // 18 characters kept
    std::string long_name(200, 'n');
    long_name[130] = 'X';
    load_areas("192.0.2.0 192.0.2.255 A B " + long_name + "\n");
    EXPECT_EQ(std::string(ip2area(ip("192.0.2.1"))), std::string(126, 'n'));
}

TEST_F(IpRangesTest, LinesLongerThanTheBufferAreReadInPieces)
{
    settings.time_profile = 1;
    std::string file = "#" + std::string(4094, 'c') + ".fr 198.51.100.0 198.51.100.255\n" +
                       ".de 192.0.2.0 192.0.2.255 " + std::string(5000, 'y') + " tail\n";
    EXPECT_EQ(load_countries(file), "2 entries found.\n");
    EXPECT_EQ(names_of(country_ip_table), (std::vector<std::string>{".fr", ".de"}));
}

class IpDatabasesTest : public IpRangesTest {
protected:
    void SetUp() override
    {
        IpRangesTest::SetUp();
        for (const char* other : {"/usr/local/etc/", "/usr/local/share/doc/quelm_stat/"})
            for (const char* name : {"country_ip.data", "area_ip.data"})
                if (std::filesystem::exists(std::string(other) + name))
                    GTEST_SKIP() << "installed data files would be found";
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(directory_);
    }
    void TearDown() override
    {
        if (!previous_.empty())
            std::filesystem::current_path(previous_);
        IpRangesTest::TearDown();
    }
    std::string load()
    {
        return stderr_of(load_ip_databases);
    }
    // The messages without the time stamps of the progress lines.
    static std::string without_stamps(const std::string& messages)
    {
        std::istringstream lines(messages);
        std::string result, line;
        while (std::getline(lines, line))
            result += line.substr(0, line.find(": ")) + "\n";
        return result;
    }
    std::filesystem::path previous_;
};

TEST_F(IpDatabasesTest, LoadsBothFilesFromTheWorkingDirectoryAndSortsCountries)
{
    write_file("country_ip.data", ".fr 198.51.100.0 198.51.100.255\n.us 192.0.2.0 192.0.2.255\n");
    write_file("area_ip.data", "192.0.2.0 192.0.2.255 A B North Side\n");
    EXPECT_EQ(load(), "");
    EXPECT_TRUE(country_ip_table.entries.empty());
    settings.PrintCountryIPInfo = settings.time_profile = settings.bases_sorting = 1;
    EXPECT_EQ(without_stamps(load()),
              "Load countries database\n2 entries found.\nCountries database loading done\n"
              "Countries database sorting\nCountries database sorting done\n"
              "Load areas database\n1 entries found.\nAreas database loading done\n");
    EXPECT_EQ(names_of(country_ip_table), (std::vector<std::string>{".us", ".fr"}));
    EXPECT_STREQ(ip2area(ip("192.0.2.9")), "North Side");
}

TEST_F(IpDatabasesTest, AnEmptyCountryTableIsNotSorted)
{
    write_file("area_ip.data", "192.0.2.0 192.0.2.255 A B North Side\n");
    settings.PrintCountryIPInfo = settings.time_profile = settings.bases_sorting = 1;
    EXPECT_EQ(without_stamps(load()), "Load countries database\nCountries database loading done\n"
                                      "Load areas database\n1 entries found.\nAreas database loading done\n");
}

TEST_F(IpRangesTest, SampleDatabasesLoad)
{
    settings.time_profile = 1;
    EXPECT_EQ(stderr_of([] {
                  load_country_table(country_ip_table, QUELM_SOURCE_DIR "/examples/country_ip.data");
                  load_area_table(area_ip_table, QUELM_SOURCE_DIR "/examples/area_ip.data");
              }),
              "9 entries found.\n5 entries found.\n");
    EXPECT_STREQ(ip2country(ip("192.0.2.130")), ".de");
    EXPECT_STREQ(ip2country(ip("192.0.2.10")), ".us");
    EXPECT_STREQ(ip2country(ip("203.0.113.10")), ".eu");
    EXPECT_STREQ(ip2country(ip("198.18.1.1")), ".at");
    EXPECT_STREQ(ip2area(ip("192.0.2.130")), "Musterstadt Campus");
}

}  // namespace
