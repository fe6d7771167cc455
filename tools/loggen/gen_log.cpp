// quelm_gen_log SEED LINES [HOSTS]: writes the generated sendmail log of SEED,
// LINES lines long, spread over HOSTS syslog hosts (default 3), to standard
// output. Bad arguments print the usage and end with status 2; a failed
// write ends with status 1.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "tools/loggen/log_generator.h"

namespace {

constexpr unsigned most_hosts = 1000;

// The whole text must be a decimal number that fits.
template <class Number>
bool parse_number(std::string_view text, Number& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

int usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s SEED LINES [HOSTS]\n"
                 "  SEED   unsigned number; the same seed gives the same log\n"
                 "  LINES  number of lines to write\n"
                 "  HOSTS  syslog host names, 1 to %u (default 3)\n",
                 program, most_hosts);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 0 ? argv[0] : "quelm_gen_log";
    if (argc < 3 || argc > 4)
        return usage(program);
    std::uint64_t seed = 0;
    std::size_t lines = 0;
    log_generator_options options;
    if (!parse_number(argv[1], seed) || !parse_number(argv[2], lines))
        return usage(program);
    if (argc == 4 && (!parse_number(argv[3], options.hosts) || options.hosts == 0 || options.hosts > most_hosts))
        return usage(program);

    if (!write_log(stdout, seed, lines, options) || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the log: %s\n", program, std::strerror(errno));
        return 1;
    }
    return 0;
}
