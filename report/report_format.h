// A small printf for report output: the conversions the reports use (%s,
// %d, %u, %lu, %c, %f with width and precision, %%) appended to a buffer
// without the C library's general machinery. Gives exactly printf's text for
// those conversions; any other conversion makes the caller fall back to
// vsnprintf. Arguments are trusted (formats are the program's own).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// Appends the formatted text to `out`; false (and `out` unchanged) when the
// format holds a conversion this formatter does not handle.
bool append_formatted(std::string& out, const char* format, va_list args);

// Appends a text from the log for an HTML5 or SVG page, in text content or a
// double-quoted attribute value: "&", "<", ">", '"' and "'" become character
// references; control characters, and bytes that do not form UTF-8, become
// U+FFFD; a tab becomes a blank. With `max_characters`, a longer text is cut
// after that many characters and ends in "…". Nothing of the text can start
// markup or leave its attribute.
void append_markup_text(std::string& out, std::string_view text, std::size_t max_characters = std::string_view::npos);
