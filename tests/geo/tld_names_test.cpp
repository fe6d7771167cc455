// The built-in domain table and its suffix lookup: the table's invariants
// (which the lookup relies on), a few representative rows, letter case,
// level-2 texts, and where the walk stops with none or reaches the end row.
#include "geo/tld_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(TldNames, KeysAreUniqueLowerCaseTerminatedAndNeverShorterFurtherDownWhereTheLookupStops)
{
    std::set<std::string> seen;
    for (std::size_t i = 0; i + 1 < country_table_rows; ++i) {
        const country_row& row = country_table[i];
        ASSERT_TRUE(std::memchr(row.key, '\0', sizeof row.key) && std::memchr(row.name, '\0', sizeof row.name)) << i;
        EXPECT_TRUE(row.key[0] == '.' && std::strspn(row.key + 1, "abcdefghijklmnopqrstuvwxyz") + 1 == std::strlen(row.key))
            << row.key;
        EXPECT_NE(row.name[0], '\0') << row.key;
        if (i + 2 < country_table_rows) {
            EXPECT_LE(std::strlen(row.key), std::strlen(country_table[i + 1].key)) << row.key;
        }
        EXPECT_EQ(std::strlen(row.key) == 3, i < country_row_count) << row.key;
        EXPECT_TRUE(seen.insert(row.key).second) << "duplicate " << row.key;
    }
    EXPECT_STREQ(gtld_table[generic_row_count].key, "");  // the end row
    EXPECT_EQ(tld_to_name(".example.com"), gtld_table[0].name);  // the table's own text

    struct { const char* domain; const char* want; } cases[] = {
        {".ax", "Aaland Islands"}, {".zw", "Zimbabwe"}, {".De", "Germany"}, {".example.de", "Germany"},
        {".co.uk", "United Kingdom"}, {".gb", "United Kingdom"}, {".su", "ex-USSR"},
        {".Example.COM", "Generic (formerly commercial)"}, {".example.info", "Information organizations"},
        {".MUSEUM", "museums and related persons"}, {"", nullptr},
        // None: empty, shorter than every key, or a longer key reached first.
        {nullptr, nullptr}, {"de", nullptr}, {".xy", nullptr}, {".abcd", nullptr}, {".a.xyz", nullptr},
        // A text longer than the last keys reaches the end row.
        {".example.unknowntld", "unknown"}, {".a.wxyz", "unknown"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(tld_to_name(c.domain), c.want) << (c.domain ? c.domain : "(null)");
}

}  // namespace
