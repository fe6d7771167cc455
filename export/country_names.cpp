// The memo of the top-level domain names. Domain names come from the log
// (untrusted); the table is the program's own.
#include "export/country_names.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "geo/tld_names.h"
#include "util/text_util.h"

country_names::country_names()
{
    for (const country_row& row : country_table) {
        const std::string_view key(row.key);
        if (key.empty())
            continue;  // the end row
        if (key.size() < longest_key_ || key[0] != '.' || key.find('.', 1) != std::string_view::npos)
            keys_are_labels_ = false;
        longest_key_ = std::max(longest_key_, key.size());
    }
}

const char* country_names::of(const char* domain)
{
    if (!keys_are_labels_ || domain == nullptr || *domain == '\0')
        return tld_to_name(domain);
    const std::string_view name(domain);
    // The key that can match: the last label with its dot, when a key can
    // be that long; then whether the end row ("unknown") can be reached.
    std::string memo_key;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && name.size() - dot <= longest_key_)
        for (char c : name.substr(dot))
            memo_key += lower_ascii(c);
    memo_key += name.size() >= longest_key_ ? '+' : '-';
    auto [entry, added] = by_last_label_.try_emplace(std::move(memo_key), nullptr);
    if (added)
        entry->second = tld_to_name(domain);
    return entry->second;
}
