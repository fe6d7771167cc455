// Keys of the hash indexes the statistic builders keep while they build:
// texts compared exactly (strcmp), where an absent (null) text equals only
// another absent text and never reaches strcmp. A key only points at its
// texts; they must outlive the index (message records or arena copies).
// The texts come from the log: they are only hashed and compared.
#pragma once

#include <strings.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string_view>

#include "util/text_util.h"

inline bool same_text(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return std::strcmp(a, b) == 0;
}

// Without regard to case (strcasecmp); absent equals only absent.
inline bool same_text_nocase(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return strcasecmp(a, b) == 0;
}

inline std::size_t text_hash(const char* text)
{
    constexpr std::size_t absent = 0x51ed270b27a3ULL;
    return text ? std::hash<std::string_view>{}(text) : absent;
}

// A hash that agrees with same_text_nocase: letters folded to lower case.
inline std::size_t text_hash_nocase(const char* text)
{
    constexpr std::size_t absent = 0x51ed270b27a3ULL;
    if (text == nullptr)
        return absent;
    std::size_t hash = 14695981039346656037ULL;
    for (const char* c = text; *c; ++c) {
        hash ^= static_cast<unsigned char>(lower_ascii(*c));
        hash *= 1099511628211ULL;
    }
    return hash;
}

inline std::size_t hash_combine(std::size_t seed, std::size_t value)
{
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// One text that may be absent, compared exactly.
struct text_key_hash {
    std::size_t operator()(const char* text) const { return text_hash(text); }
};

struct text_key_equal {
    bool operator()(const char* a, const char* b) const { return same_text(a, b); }
};

// Three texts, each of which may be absent.
struct text_triple {
    const char* first;
    const char* second;
    const char* third;
};

struct text_triple_hash {
    std::size_t operator()(const text_triple& key) const
    {
        return hash_combine(hash_combine(text_hash(key.first), text_hash(key.second)), text_hash(key.third));
    }
};

struct text_triple_equal {
    bool operator()(const text_triple& a, const text_triple& b) const
    {
        return same_text(a.first, b.first) && same_text(a.second, b.second) && same_text(a.third, b.third);
    }
};
