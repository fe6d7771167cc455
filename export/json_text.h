// How a text of the log becomes a JSON value, losslessly: a text that is
// valid UTF-8 is a JSON string; any other text is the object
// {"base64": "..."} of its bytes (standard alphabet, padded). An absent text
// (a null pointer) is null, an empty one "". Strings are escaped by
// nlohmann-json; a text of printable ASCII without quote or backslash, which
// that escaping leaves as it is, is copied directly (the common case).
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// True when `text` is well-formed UTF-8 (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), the rule nlohmann-json checks too.
bool is_valid_utf8(std::string_view text);

// The bytes of `text` in base64 (RFC 4648, with padding).
std::string base64_encoded(std::string_view text);

// True when every byte is printable ASCII other than '"' and '\': the JSON
// string is then the text in quotes.
bool is_plain_json_text(std::string_view text);

// The length of a terminated text, and whether it is plain as above, in
// one pass.
struct measured_text {
    std::size_t length;
    bool plain;
};
measured_text measure_text(const char* text);

// The JSON value of a text that is not plain (see above).
std::string json_value_of_text(std::string_view text);

// Appends the JSON value of `text` to `out` (see above).
void append_json_text(std::string& out, std::string_view text);
void append_json_text(std::string& out, const char* text);  // null: null

// The same value as a JSON tree, for the parts built with nlohmann-json.
nlohmann::ordered_json json_text(std::string_view text);
nlohmann::ordered_json json_text(const char* text);  // null: null

// "YYYY-MM-DDThh:mm:ss+hh:mm" of `time` in the local time zone.
std::string rfc3339_time(std::time_t time);
