// The built-in table of top-level domains: country codes and generic
// domains with the names the domain reports show, and the suffix lookup
// that finds the row of a domain. The table is constant program data; the
// texts looked up come from the log and are only read.
#pragma once

#include <cstddef>

// One row: a lower-case domain suffix with its leading dot and its name,
// both zero-padded to fixed widths.
struct country_row {
    char key[10];
    char name[64];
};

inline constexpr std::size_t country_row_count = 248;  // 3-character keys
inline constexpr std::size_t generic_row_count = 22;   // 4-, 5- and 7-character keys
inline constexpr std::size_t country_table_rows = country_row_count + generic_row_count + 1;

// The country rows, then the generic rows, then the end row (empty key,
// name "unknown"). Keys never get shorter further down the table, which the
// lookup relies on.
extern const country_row country_table[country_table_rows];

// The generic rows continue the same array.
inline const country_row* const gtld_table = country_table + country_row_count;

// The name of the first row whose key ends `domain` (letters in any case):
// ".de" and ".example.de" both give "Germany". Null for a null or empty
// text and when a key longer than the text is reached before any match (a
// text of two characters, or ".xy"); "unknown" when a long text reaches the
// end row. The result is the table's own text.
const char* tld_to_name(const char* domain);
