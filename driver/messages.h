// The four message routines every phase uses. All diagnostics go to the two
// standard streams, as finished texts without prefix or time stamp; callers
// format them with format_message, which cuts a text at 511 characters.
// Nothing here opens the logging file: it is stored and never written.
#pragma once

#include <string>
#include <string_view>

// printf-style formatting into a 512-byte buffer (longer texts are cut).
std::string format_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Standard error, always.
void error_message(std::string_view text);
// Standard error, only when `verbose` is set.
void verbose_message(std::string_view text);
// Standard output, only when `verbose` is set.
void verbose_console_message(std::string_view text);
// "<name>: <local time>\n" on standard error, through error_message.
void time_stamped_message(const char* name);

// True when the per-line debug messages (debug level above 1) are written.
bool line_tracing_enabled();
