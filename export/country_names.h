// tld_to_name (geo/tld_names.h) for the many domain names of an export,
// each distinct answer looked up once. The table's answer depends only on
// a name's last label and on whether the name is as long as the longest
// key: every key is a dot and one label, and the keys never get shorter
// down the table. When the table does not have that form, every name is
// looked up in full.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

class country_names {
public:
    country_names();
    // The same text as tld_to_name(domain).
    const char* of(const char* domain);

private:
    std::size_t longest_key_ = 0;
    bool keys_are_labels_ = true;
    std::unordered_map<std::string, const char*> by_last_label_;
};
