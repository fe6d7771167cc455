// Substring searches and field extraction over raw log text.
#include "input/field_extraction.h"

#include "driver/text_util.h"

const char* find_nocase(const char* haystack, const char* needle)
{
    if (haystack == nullptr || needle == nullptr)
        return nullptr;
    if (*needle == '\0')
        return haystack;
    const char first = lower_ascii(*needle);
    for (const char* start = haystack; *start != '\0'; ++start) {
        if (lower_ascii(*start) != first)
            continue;
        const char* h = start + 1;
        const char* n = needle + 1;
        while (*n != '\0' && lower_ascii(*h) == lower_ascii(*n)) {
            ++h;
            ++n;
        }
        if (*n == '\0')
            return start;
    }
    return nullptr;
}
