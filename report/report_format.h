// A small printf for report output: the conversions the reports use (%s,
// %d, %u, %lu, %c, %f with width and precision, %%) appended to a buffer
// without the C library's general machinery. Gives exactly printf's text for
// those conversions; any other conversion makes the caller fall back to
// vsnprintf. Arguments are trusted (formats are the program's own).
#pragma once

#include <cstdarg>
#include <string>

// Appends the formatted text to `out`; false (and `out` unchanged) when the
// format holds a conversion this formatter does not handle.
bool append_formatted(std::string& out, const char* format, va_list args);
