// Bounded C-string helpers. They trust only that their arguments are null or
// terminated texts and never write beyond the size they are given.
#include "util/text_util.h"

#include <strings.h>

#include <cstring>

char* safe_copy(char* destination, const char* source, std::size_t size)
{
    if (destination == nullptr || source == nullptr || size == 0)
        return nullptr;
    std::size_t n = strnlen(source, size - 1);
    std::memcpy(destination, source, n);
    std::memset(destination + n, 0, size - n);
    return destination;
}

char* safe_append(char* destination, const char* source, std::size_t size)
{
    if (destination == nullptr || source == nullptr)
        return nullptr;
    std::size_t used = strnlen(destination, size);
    if (used >= size)
        return nullptr;
    std::size_t n = strnlen(source, size - used - 1);
    std::memcpy(destination + used, source, n);
    destination[used + n] = '\0';
    return destination;
}

const char* skip_blanks(const char* text)
{
    if (text == nullptr)
        return nullptr;
    while (is_blank_or_tab(*text))
        ++text;
    return text;
}

char* skip_blanks(char* text)
{
    return const_cast<char*>(skip_blanks(static_cast<const char*>(text)));
}

std::string_view skip_blanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && is_blank_or_tab(text[i]))
        ++i;
    return text.substr(i);
}

char* cut_at_newline(char* text)
{
    if (text == nullptr)
        return nullptr;
    if (char* newline = std::strchr(text, '\n'))
        *newline = '\0';
    return text;
}

std::string time_text(std::time_t time)
{
    char buffer[64] = {};
    if (ctime_r(&time, buffer) == nullptr)
        return {};
    return cut_at_newline(buffer);
}

const char* find_nocase(const char* haystack, const char* needle)
{
    if (haystack == nullptr || needle == nullptr)
        return nullptr;
    if (*needle == '\0')
        return haystack;
    // Candidates are the places of the needle's first letter in either case
    // (found by the library's fast character-set search); the rest of the
    // needle is compared without regard to case.
    const char lower = lower_ascii(*needle);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    const char first[3] = {lower, upper != lower ? upper : '\0', '\0'};
    const std::size_t rest = std::strlen(needle + 1);
    for (const char* p = std::strpbrk(haystack, first); p; p = std::strpbrk(p + 1, first))
        if (strncasecmp(p + 1, needle + 1, rest) == 0)
            return p;
    return nullptr;
}
