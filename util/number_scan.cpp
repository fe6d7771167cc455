// Base-10 number scanning with strtol/strtoul results, used on raw log text.
#include "util/number_scan.h"

#include <climits>

#include "util/text_util.h"

namespace {

struct scanned {
    unsigned long magnitude = 0;
    bool negative = false;
    bool overflow = false;
    const char* end = nullptr;  // null: no digits
};

// White space, sign and digits; the magnitude saturates at ULONG_MAX.
scanned scan_digits(const char* text)
{
    scanned result;
    const char* p = text;
    while (is_white_space(*p))
        ++p;
    if (*p == '+' || *p == '-')
        result.negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return result;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned long digit = static_cast<unsigned long>(*p - '0');
        unsigned long next = 0;
        if (__builtin_mul_overflow(result.magnitude, 10UL, &next) || __builtin_add_overflow(next, digit, &next))
            result.overflow = true;
        else
            result.magnitude = next;
    }
    result.end = p;
    return result;
}

}  // namespace

long scan_long(const char* text, const char** end)
{
    scanned number = scan_digits(text);
    *end = number.end ? number.end : text;
    if (number.end == nullptr)
        return 0;
    if (number.negative) {
        if (number.overflow || number.magnitude > static_cast<unsigned long>(LONG_MAX) + 1)
            return LONG_MIN;
        return number.magnitude == static_cast<unsigned long>(LONG_MAX) + 1 ? LONG_MIN
                                                                             : -static_cast<long>(number.magnitude);
    }
    if (number.overflow || number.magnitude > static_cast<unsigned long>(LONG_MAX))
        return LONG_MAX;
    return static_cast<long>(number.magnitude);
}

unsigned long scan_unsigned_long(const char* text)
{
    scanned number = scan_digits(text);
    if (number.end == nullptr)
        return 0;
    if (number.overflow)
        return ULONG_MAX;
    return number.negative ? 0UL - number.magnitude : number.magnitude;
}
