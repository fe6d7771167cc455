// The number, token, duration and address texts of the generator, appended
// with std::to_chars and plain string operations only, so no locale or
// printf format can change a byte.
#include "tools/loggen/text.h"

#include <charconv>

namespace loggen {

void put_number(std::string& out, std::uint64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void put_padded(std::string& out, std::uint64_t value, unsigned width)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<unsigned>(result.ptr - digits);
    if (length < width)
        out.append(width - length, '0');
    out.append(digits, result.ptr);
}

void put_token(std::string& out, random_source& rng, std::string_view alphabet, unsigned length)
{
    for (unsigned i = 0; i < length; ++i)
        out += alphabet[rng.below(alphabet.size())];
}

void put_duration(std::string& out, std::uint64_t seconds)
{
    if (seconds >= 86400) {
        put_number(out, seconds / 86400);
        out += '+';
        seconds %= 86400;
    }
    put_padded(out, seconds / 3600, 2);
    out += ':';
    put_padded(out, seconds / 60 % 60, 2);
    out += ':';
    put_padded(out, seconds % 60, 2);
}

std::string dotted(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    std::string text;
    put_number(text, a);
    for (std::uint32_t part : {b, c, d}) {
        text += '.';
        put_number(text, part);
    }
    return text;
}

std::string relay_text(std::string_view name, std::string_view ip)
{
    std::string text;
    if (!name.empty()) {
        text += name;
        text += ' ';
    }
    text += '[';
    text += ip;
    text += ']';
    return text;
}

std::string join_address(std::string_view user, std::string_view domain)
{
    std::string address(user);
    address += '@';
    address += domain;
    return address;
}

}  // namespace loggen
