// Decimal numbers in raw log text, read exactly as the C library's strtol
// and strtoul read them in base 10 (leading white space, an optional sign,
// digits; saturation on overflow), without their locale machinery: the input
// phase reads several numbers from every line.
#pragma once

// strtol(text, &end, 10); `end` is `text` when no digits were read.
long scan_long(const char* text, const char** end);
// strtoul(text, nullptr, 10).
unsigned long scan_unsigned_long(const char* text);
