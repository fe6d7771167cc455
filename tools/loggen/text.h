// Small text pieces every line is built from: decimal and zero-padded
// numbers, random tokens over a fixed alphabet, durations, dotted IPv4
// addresses, "name [ip]" relays and user@domain addresses. Built by hand
// (no locale, no printf) so the bytes never vary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/loggen/random.h"

namespace loggen {

inline constexpr std::string_view base60 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
inline constexpr std::string_view base62 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view hex_digits = "0123456789abcdef";

void put_number(std::string& out, std::uint64_t value);

// `value` with leading zeros up to `width` digits.
void put_padded(std::string& out, std::uint64_t value, unsigned width);

// `length` characters drawn from `alphabet`.
void put_token(std::string& out, random_source& rng, std::string_view alphabet, unsigned length);

// "d+hh:mm:ss" from one day on, else "hh:mm:ss".
void put_duration(std::string& out, std::uint64_t seconds);

std::string dotted(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);

// "name [ip]", or "[ip]" for a nameless host.
std::string relay_text(std::string_view name, std::string_view ip);

std::string join_address(std::string_view user, std::string_view domain);

}  // namespace loggen
