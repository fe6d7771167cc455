// Small text helpers shared by every subsystem. Bounded copies always leave a
// terminated text; every helper returns null when given a null pointer.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// Copies at most size - 1 characters of source and fills the rest of the size
// bytes of destination with NUL characters.
char* safe_copy(char* destination, const char* source, std::size_t size);

// Appends at most size - strlen(destination) - 1 characters of source; returns
// null and changes nothing when destination already holds size or more
// characters.
char* safe_append(char* destination, const char* source, std::size_t size);

// First character that is not a blank or a tab (the terminating NUL when none).
const char* skip_blanks(const char* text);
char* skip_blanks(char* text);
std::string_view skip_blanks(std::string_view text);

// Ends the text at its first newline; a text without newline stays unchanged.
char* cut_at_newline(char* text);

// The 24-character ctime text of a time (local time zone) without its line end.
std::string time_text(std::time_t time);

// The first place where `needle` occurs in `haystack`, letters compared
// without regard to case; `haystack` for an empty needle; null when absent.
const char* find_nocase(const char* haystack, const char* needle);

// A text for "%s" in plain-text output: an absent text prints as "(null)".
inline const char* text_or_null(const char* text)
{
    return text ? text : "(null)";
}

inline bool is_blank_or_tab(char c)
{
    return c == ' ' || c == '\t';
}

// The white space of the C library: blank, tab, line feed, vertical tab,
// form feed and carriage return.
inline bool is_white_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline char lower_ascii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
