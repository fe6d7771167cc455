// The text rule of the JSON export: UTF-8 check, base64 and the choice
// between string and base64 object. Inputs are untrusted log bytes.
#include "export/json_text.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// 1 for a byte that nlohmann-json would escape or check as UTF-8: below
// 0x20 or from 0x80 on (one unsigned comparison), a quote or a backslash.
// Branch-free, so the loops over a text vectorize.
inline unsigned char not_plain(unsigned char c)
{
    return static_cast<unsigned char>(static_cast<unsigned char>(c - 0x20) >= 0x60) |
           static_cast<unsigned char>(c == '"') | static_cast<unsigned char>(c == '\\');
}

bool is_continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed sequence starting at `at`, or 0.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t left = text.size() - at;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && is_continuation(byte(at + 1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !is_continuation(byte(at + 1)) || !is_continuation(byte(at + 2)))
            return 0;
        const unsigned char second = byte(at + 1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F))
            return 0;  // overlong, or a surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !is_continuation(byte(at + 1)) || !is_continuation(byte(at + 2)) ||
            !is_continuation(byte(at + 3)))
            return 0;
        const unsigned char second = byte(at + 1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
            return 0;  // overlong, or above U+10FFFF
        return 4;
    }
    return 0;
}

}  // namespace

bool is_valid_utf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_sequence_length(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string base64_encoded(std::string_view text)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((text.size() + 2) / 3 * 4);
    std::size_t at = 0;
    for (; at + 3 <= text.size(); at += 3) {
        const std::uint32_t group = static_cast<unsigned char>(text[at]) << 16 |
                                    static_cast<unsigned char>(text[at + 1]) << 8 |
                                    static_cast<unsigned char>(text[at + 2]);
        out += alphabet[group >> 18 & 63];
        out += alphabet[group >> 12 & 63];
        out += alphabet[group >> 6 & 63];
        out += alphabet[group & 63];
    }
    const std::size_t left = text.size() - at;
    if (left > 0) {
        std::uint32_t group = static_cast<unsigned char>(text[at]) << 16;
        if (left == 2)
            group |= static_cast<unsigned char>(text[at + 1]) << 8;
        out += alphabet[group >> 18 & 63];
        out += alphabet[group >> 12 & 63];
        out += left == 2 ? alphabet[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

bool is_plain_json_text(std::string_view text)
{
    unsigned char bad = 0;
    for (char c : text)
        bad |= not_plain(static_cast<unsigned char>(c));
    return bad == 0;
}

measured_text measure_text(const char* text)
{
    const std::size_t length = std::strlen(text);
    return {length, is_plain_json_text(std::string_view(text, length))};
}

std::string json_value_of_text(std::string_view text)
{
    if (is_valid_utf8(text))
        return nlohmann::ordered_json(std::string(text)).dump();
    return "{\"base64\":\"" + base64_encoded(text) + "\"}";
}

void append_json_text(std::string& out, std::string_view text)
{
    if (is_plain_json_text(text)) {
        out += '"';
        out += text;
        out += '"';
    } else {
        out += json_value_of_text(text);
    }
}

void append_json_text(std::string& out, const char* text)
{
    if (text == nullptr)
        out += "null";
    else
        append_json_text(out, std::string_view(text));
}

nlohmann::ordered_json json_text(std::string_view text)
{
    if (is_valid_utf8(text))
        return std::string(text);
    return nlohmann::ordered_json{{"base64", base64_encoded(text)}};
}

nlohmann::ordered_json json_text(const char* text)
{
    if (text == nullptr)
        return nullptr;
    return json_text(std::string_view(text));
}

std::string rfc3339_time(std::time_t time)
{
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    char stamp[40];
    char offset[8];
    if (std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local) == 0 ||
        std::strftime(offset, sizeof offset, "%z", &local) != 5)
        return {};
    // strftime gives "+hhmm"; RFC 3339 wants "+hh:mm".
    std::string text = stamp;
    text.append(offset, 3).append(":").append(offset + 3, 2);
    return text;
}
