// quelm_gen_log [OPTIONS] SEED LINES [HOSTS]: writes the generated sendmail
// log of SEED, LINES lines long, spread over HOSTS syslog hosts (default 3),
// to standard output. The options shape the traffic: how many senders,
// recipients and relays, how much is rejected; --shape=spam sets them all
// for a spam-heavy site, and options after it change single values. Bad
// arguments print the usage and end with status 2; a failed write ends
// with status 1.
#include <getopt.h>

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
                 "usage: %s [OPTIONS] SEED LINES [HOSTS]\n"
                 "  SEED   unsigned number; the same seed gives the same log\n"
                 "  LINES  number of lines to write\n"
                 "  HOSTS  syslog host names, 1 to %u (default 3)\n"
                 "options (numbers; 0 keeps the small fixed tables of the default log):\n"
                 "  --shape=default|spam         spam: a spam-heavy site, per million lines about 280,000\n"
                 "                               senders, 320,000 recipients, 8,000 relays, 8.5%% ruleset\n"
                 "                               and 4.5%% milter reject lines; later options change it\n"
                 "  --senders=N                  distinct forged senders of mail from outside\n"
                 "  --recipients=N               distinct local mailboxes\n"
                 "  --relays=N                   distinct dial-up clients that spam comes from\n"
                 "  --max-recipients=N           most recipients of one to= line (default: 1, up to 3)\n"
                 "  --inbound-weight=N           accepted mail for local users (default 420)\n"
                 "  --outbound-weight=N          mail of local users to partners (default 260)\n"
                 "  --ruleset-reject-weight=N    spam refused by a ruleset (default 100)\n"
                 "  --milter-reject-weight=N     spam refused by a milter (default 40)\n"
                 "  (weights of the kinds of message; the three others weigh 140 together)\n",
                 program, most_hosts);
    return 2;
}

enum option_id { shape = 256, senders, recipients, relays, max_recipients, inbound, outbound, ruleset, milter };

constexpr option long_options[] = {
    {"shape", required_argument, nullptr, shape},
    {"senders", required_argument, nullptr, senders},
    {"recipients", required_argument, nullptr, recipients},
    {"relays", required_argument, nullptr, relays},
    {"max-recipients", required_argument, nullptr, max_recipients},
    {"inbound-weight", required_argument, nullptr, inbound},
    {"outbound-weight", required_argument, nullptr, outbound},
    {"ruleset-reject-weight", required_argument, nullptr, ruleset},
    {"milter-reject-weight", required_argument, nullptr, milter},
    {nullptr, 0, nullptr, 0},
};

// The field of `options` that option `id` sets.
unsigned* field_of(log_generator_options& options, int id)
{
    switch (id) {
    case senders: return &options.senders;
    case recipients: return &options.recipients;
    case relays: return &options.relays;
    case max_recipients: return &options.max_recipients;
    case inbound: return &options.inbound_weight;
    case outbound: return &options.outbound_weight;
    case ruleset: return &options.ruleset_reject_weight;
    case milter: return &options.milter_reject_weight;
    default: return nullptr;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const char* program = argc > 0 ? argv[0] : "quelm_gen_log";
    log_generator_options options;
    opterr = 0;
    for (int id; (id = getopt_long(argc, argv, "", long_options, nullptr)) != -1;) {
        const std::string_view value = optarg != nullptr ? optarg : "";
        if (id == shape && value == "spam")
            options = spam_shape();
        else if (id == shape && value == "default")
            options = log_generator_options{};
        else if (unsigned* field = field_of(options, id); field == nullptr || !parse_number(value, *field))
            return usage(program);
    }
    const int given = argc - optind;
    if (given < 2 || given > 3)
        return usage(program);
    std::uint64_t seed = 0;
    std::size_t lines = 0;
    char** args = argv + optind;
    if (!parse_number(args[0], seed) || !parse_number(args[1], lines))
        return usage(program);
    if (given == 3 && (!parse_number(args[2], options.hosts) || options.hosts == 0 || options.hosts > most_hosts))
        return usage(program);

    if (!write_log(stdout, seed, lines, options) || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the log: %s\n", program, std::strerror(errno));
        return 1;
    }
    return 0;
}
