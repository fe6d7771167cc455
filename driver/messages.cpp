// Message routines: write finished diagnostic texts to standard error or
// standard output according to the verbose setting. Texts are trusted (they
// were formatted by the program) but may quote raw log lines.
#include "driver/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "driver/settings.h"

namespace {

constexpr std::size_t message_buffer_size = 512;

void write_text(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

std::string format_message(const char* format, ...)
{
    char buffer[message_buffer_size];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return {};
    return std::string(buffer, std::strlen(buffer));
}

void error_message(std::string_view text)
{
    write_text(stderr, text);
}

void verbose_message(std::string_view text)
{
    if (settings.verbose)
        write_text(stderr, text);
}

void verbose_console_message(std::string_view text)
{
    if (settings.verbose)
        write_text(stdout, text);
}

void time_stamped_message(const char* name)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    if (std::strftime(stamp, sizeof stamp, "%a %b %d %T %Y", &local) == 0)
        stamp[0] = '\0';
    char line[128];
    std::snprintf(line, sizeof line, "%s: %s\n", name, stamp);
    error_message(line);
}

bool line_tracing_enabled()
{
    return settings.verbose && settings.verbose_level > 1;
}
