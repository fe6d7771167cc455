// The built-in domain table and its suffix lookup: the shape of the table
// (rows, order, keys, fixed widths), the names of well-known rows, letter
// case, level-2 texts, and where the walk stops with none or reaches the
// end row.
#include "geo/tld_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The country keys in the order the table must keep.
const char* const country_keys =
    ".ax .af .al .dz .as .ad .ao .ai .aq .ag .ar .am .aw .ac .au .at .az .bs .bh .bd .bb .by .be .bz .bj .bm .bt "
    ".bo .ba .bw .bv .br .io .bn .bg .bf .bi .kh .cm .ca .cv .ky .cf .td .cl .cn .cx .cc .co .km .cg .cd .ck .cr "
    ".ci .hr .cu .cy .cz .dk .dj .dm .do .tl .ec .eg .sv .gq .er .ee .et .eu .fk .fo .fj .fi .fr .gf .pf .tf .ga "
    ".gm .ge .de .gh .gi .gr .gl .gd .gp .gu .gt .gg .gn .gw .gy .ht .hm .hn .hk .hu .is .in .id .ir .iq .ie .im "
    ".il .it .jm .jp .je .jo .kz .ke .ki .kp .kr .kw .kg .la .lv .lb .ls .lr .ly .li .lt .lu .mo .mk .mg .mw .my "
    ".mv .ml .mt .mh .mq .mr .mu .yt .mx .fm .md .mc .mn .ms .ma .mz .mm .na .nr .np .nl .an .nc .nz .ni .ne .ng "
    ".nu .nf .mp .no .om .pk .pw .ps .pa .pg .py .pe .ph .pn .pl .pt .pr .qa .re .ro .ru .rw .kn .lc .vc .ws .sm "
    ".st .sa .sn .cs .sc .sl .sg .sk .si .sb .so .za .gs .es .lk .sh .pm .sd .sr .sj .sz .se .ch .sy .tw .tj .tz "
    ".th .tg .tk .to .tt .tn .tr .tm .tc .tv .ug .ua .ae .uk .gb .us .um .uy .su .uz .vu .va .ve .vn .vg .vi .wf "
    ".eh .ye .yu .zm .zw";

const char* const generic_keys[] = {".com",  ".org",  ".edu",  ".gov",  ".mil",  ".net",    ".int",   ".biz",
                                    ".pro",  ".cat",  ".xxx",  ".info", ".arpa", ".nato",   ".jobs",  ".mobi",
                                    ".name", ".aero", ".coop", ".asia", ".travel", ".museum"};

std::string name_of(const char* domain)
{
    const char* name = tld_to_name(domain);
    return name ? name : "(none)";
}

std::size_t terminated_length(const char* field, std::size_t width)
{
    const void* end = std::memchr(field, '\0', width);
    return end ? static_cast<const char*>(end) - field : width;
}

TEST(TldNames, TableHasItsRowsInOrder)
{
    ASSERT_EQ(std::size(country_table), 271u);
    std::istringstream keys(country_keys);
    std::string key;
    std::size_t row = 0;
    while (keys >> key) {
        ASSERT_LT(row, country_row_count);
        EXPECT_EQ(country_table[row].key, key) << "row " << row;
        ++row;
    }
    EXPECT_EQ(row, country_row_count);
    for (std::size_t i = 0; i < std::size(generic_keys); ++i)
        EXPECT_STREQ(gtld_table[i].key, generic_keys[i]);
    EXPECT_EQ(std::size(generic_keys), generic_row_count);
    const country_row& end = country_table[country_table_rows - 1];
    EXPECT_STREQ(end.key, "");
    EXPECT_STREQ(end.name, "unknown");
}

TEST(TldNames, KeysAreUniqueLowerCaseAndNeverShorterFurtherDown)
{
    std::set<std::string> seen;
    std::size_t previous_length = 0;
    for (std::size_t i = 0; i + 1 < country_table_rows; ++i) {
        const country_row& row = country_table[i];
        const std::size_t length = terminated_length(row.key, sizeof row.key);
        ASSERT_LT(length, sizeof row.key) << "row " << i;
        EXPECT_LT(terminated_length(row.name, sizeof row.name), sizeof row.name) << "row " << i;
        EXPECT_GT(std::strlen(row.name), 0u) << row.key;
        EXPECT_EQ(row.key[0], '.');
        for (const char* c = row.key + 1; *c; ++c)
            EXPECT_TRUE(*c >= 'a' && *c <= 'z') << row.key;
        EXPECT_GE(length, previous_length) << row.key;
        EXPECT_EQ(length == 3, i < country_row_count) << row.key;
        previous_length = length;
        EXPECT_TRUE(seen.insert(row.key).second) << "duplicate " << row.key;
    }
}

TEST(TldNames, NamesOfWellKnownRows)
{
    EXPECT_EQ(name_of(".ax"), "Aaland Islands");
    EXPECT_EQ(name_of(".de"), "Germany");
    EXPECT_EQ(name_of(".ru"), "Russian Federation");
    EXPECT_EQ(name_of(".kr"), "Korea (Republic of)");
    EXPECT_EQ(name_of(".uk"), "United Kingdom");
    EXPECT_EQ(name_of(".gb"), "United Kingdom");
    EXPECT_EQ(name_of(".su"), "ex-USSR");
    EXPECT_EQ(name_of(".eu"), "European Union");
    EXPECT_EQ(name_of(".je"), "Jersey (British Channel Islands");
    EXPECT_EQ(name_of(".gov"), "U.S. Federal goverment");
    EXPECT_EQ(name_of(".info"), "Information organizations");
    EXPECT_EQ(name_of(".travel"), "Tourism");
    EXPECT_EQ(name_of(".museum"), "museums and related persons");
}

TEST(TldNames, LetterCaseDoesNotMatter)
{
    EXPECT_EQ(tld_to_name(".DE"), tld_to_name(".de"));
    EXPECT_EQ(name_of(".De"), "Germany");
    EXPECT_EQ(name_of(".MUSEUM"), "museums and related persons");
    EXPECT_EQ(name_of(".Example.COM"), "Generic (formerly commercial)");
}

TEST(TldNames, LevelTwoTextsFindTheirLastLabel)
{
    EXPECT_EQ(name_of(".example.com"), "Generic (formerly commercial)");
    EXPECT_EQ(name_of(".example.de"), "Germany");
    EXPECT_EQ(name_of(".co.uk"), "United Kingdom");
    EXPECT_EQ(name_of(".example.info"), "Information organizations");
    // The result is the table's own text, not a copy.
    EXPECT_EQ(tld_to_name(".example.com"), gtld_table[0].name);
}

TEST(TldNames, WalkStopsWithNoneAtTheFirstLongerKey)
{
    EXPECT_EQ(tld_to_name(nullptr), nullptr);
    EXPECT_EQ(tld_to_name(""), nullptr);
    EXPECT_EQ(tld_to_name("de"), nullptr) << "2 characters: shorter than the first key";
    EXPECT_EQ(tld_to_name(".d"), nullptr);
    EXPECT_EQ(tld_to_name(".xy"), nullptr) << "no such code: stops at the first generic row";
    EXPECT_EQ(tld_to_name(".zz"), nullptr);
    EXPECT_EQ(tld_to_name(".abcd"), nullptr) << "5 characters stop at the 7-character keys";
    EXPECT_EQ(tld_to_name(".a.xyz"), nullptr);
}

TEST(TldNames, LongTextsWithoutKeyReachTheEndRow)
{
    const char* end_name = country_table[country_table_rows - 1].name;
    EXPECT_EQ(tld_to_name(".example.unknowntld"), end_name);
    EXPECT_EQ(name_of(".example.xy"), "unknown");
    EXPECT_EQ(name_of(".ab.wxyz"), "unknown") << "8 characters";
    EXPECT_EQ(name_of(".a.wxyz"), "unknown") << "7 characters: as long as the last keys";
}

}  // namespace
