// Option parsing with getopt_long (its own messages switched off) and the usage,
// long-option and version texts. Arguments are trusted as the caller's intent and stored as
// given; only -d is read as a number, and --since, --until and --day as the time window
// (driver/time_window.h), which ends the run with its message and the usage text when wrong.
#include "driver/command_line.h"

#include <getopt.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "driver/messages.h"
#include "driver/settings.h"
#include "driver/time_window.h"
#include "util/text_util.h"

#ifndef QUELM_REVISION
#define QUELM_REVISION "unknown"
#endif

namespace {

constexpr const char* option_letters =
    "aAbB:bCc:d:eE:Ff:gG:hiI:jJ:kK:L:mM:nN:oO:pPqQ:rR:sS:tT:uU:vVwyY:xX:zZ:";

constexpr const char* usage_options =
    "Options:\n"
    "  -h                --  this help\n"
    "  -a                --  format output as ASCII (default=HTML)\n"
    "  -g                --  print general information (default=no)\n"
    "  -u                --  print unknown messages list (default=no)\n"
    "  -z                --  print unknown user messages list (default=no)\n"
    "  -o                --  print other messages list (default=no)\n"
    "  -n                --  print domains information for envelopes (default=no)\n"
    "  -q                --  print domains information for relays (default=no)\n"
    "  -m                --  print milter rejects information (default=no)\n"
    "  -s                --  print ruleset rejects information (default=no)\n"
    "  -e                --  print envelope information (default=no)\n"
    "  -i                --  print index html file (default=no)\n"
    "  -r                --  print relays information (default=no)\n"
    "  -t                --  print TLS/SSL messages list (default=no)\n"
    "  -j                --  print non-active clients messages list (default=no)\n"
    "  -x                --  print recipients summary information (default=no)\n"
    "  -y                --  print relays summary information (default=no)\n"
    "  -w                --  print weekly information (default=no)\n"
    "  -k                --  print messages/rejects statistics (default=no)\n"
    "  -c config         --  configuration file\n"
    "  -C                --  build dynamic IP lists for each country\n"
    "  -v                --  verbose\n"
    "  -p                --  enable time profiling\n"
    "  -P                --  disable mergesort\n"
    "  -b                --  print bases search results\n"
    "  -A                --  sort IP databases for fast searching\n"
    "  -F                --  use fast lookup technique for bases search\n"
    "  -B outdir         --  output base catalog (default=empty)\n"
    "  -L logfile        --  logging file\n"
    "  -f infile         --  input file (sendmail logfile)\n"
    "  -G outfile        --  output file (general info)\n"
    "  -N outfile        --  output file (domains info for envelopes)\n"
    "  -Q outfile        --  output file (domains info for relays)\n"
    "  -R outfile        --  output file (relays info)\n"
    "  -E outfile        --  output file (envelope info)\n"
    "  -M outfile        --  output file (milter reject info)\n"
    "  -S outfile        --  output file (ruleset reject info)\n"
    "  -O outfile        --  output file (all other messages)\n"
    "  -T outfile        --  output file (all TLS/SSL messages)\n"
    "  -J outfile        --  output file (all non-active clients messages)\n"
    "  -U outfile        --  output file (all unknown messages)\n"
    "  -X outfile        --  output file (summary info for recipients)\n"
    "  -Y outfile        --  output file (summary info for relays)\n"
    "  -Z outfile        --  output file (all unknown user messages)\n"
    "  -I outfile        --  output file (index html)\n"
    "  -K outfile        --  output file (messages/rejects statistics)\n"
    "  -d level          --  debugging level\n"
    "  -V                --  print version\n";

// Codes of the long options that have no letter.
enum long_code : int { long_help = 256, long_since, long_until, long_day, long_json, long_prometheus, long_dashboard };

struct long_option_entry {
    option parse;          // what getopt_long reads
    const char* argument;  // the argument's name in --help, or null
    const char* help;
};

const long_option_entry long_options[] = {
    {{"help", no_argument, nullptr, long_help}, nullptr, "this help with the long options"},
    {{"version", no_argument, nullptr, 'V'}, nullptr, "print version (as -V)"},
    {{"since", required_argument, nullptr, long_since}, "WHEN", "only lines at or after WHEN"},
    {{"until", required_argument, nullptr, long_until}, "WHEN", "only lines before WHEN"},
    {{"day", required_argument, nullptr, long_day}, "DAY", "only lines of DAY (today, yesterday, YYYY-MM-DD)"},
    {{"json", required_argument, nullptr, long_json}, "FILE", "write every statistic as a JSON document"},
    {{"prometheus", required_argument, nullptr, long_prometheus}, "FILE", "write Prometheus metrics (textfile collector)"},
    {{"dashboard", required_argument, nullptr, long_dashboard}, "FILE", "write a one-page HTML dashboard"},
};

// The table getopt_long reads: the entries above and the terminating zeros.
std::vector<option> long_option_table()
{
    std::vector<option> table;
    for (const long_option_entry& entry : long_options)
        table.push_back(entry.parse);
    table.push_back(option{});
    return table;
}

void write_long_options()
{
    std::fputs("Long options:\n", stderr);
    for (const long_option_entry& entry : long_options) {
        std::string name = std::string("--") + entry.parse.name;
        if (entry.argument)
            name += std::string(" ") + entry.argument;
        std::fprintf(stderr, "  %-18s--  %s\n", name.c_str(), entry.help);
    }
    std::fputs("Operands after the options are input files, read in order after the -f file.\n\n", stderr);
}

// The setting a long option without a letter stores its argument in, or null.
setting_text* long_text_option(int code)
{
    switch (code) {
    case long_since: return &settings.window_since;
    case long_until: return &settings.window_until;
    case long_day: return &settings.window_day;
    case long_json: return &settings.json_file;
    case long_prometheus: return &settings.prometheus_file;
    case long_dashboard: return &settings.dashboard_file;
    default: return nullptr;
    }
}

// The setting an option letter names a file or directory for, or null.
setting_text* text_option(int letter)
{
    switch (letter) {
    case 'B': return &settings.OutputBaseDir;
    case 'L': return &settings.logging_file;
    case 'f': return &settings.InputFile;
    case 'c': return &settings.config_file;
    case 'G': return &settings.OutputGenInfoFile;
    case 'N': return &settings.OutputEnvDomInfoFile;
    case 'Q': return &settings.OutputRelDomInfoFile;
    case 'R': return &settings.OutputRelInfoFile;
    case 'E': return &settings.OutputEnvInfoFile;
    case 'M': return &settings.OutputMilRejInfoFile;
    case 'S': return &settings.OutputRlrRejInfoFile;
    case 'O': return &settings.OutputOthMsgFile;
    case 'T': return &settings.OutputTlsMsgFile;
    case 'J': return &settings.OutputNoActvMsgFile;
    case 'U': return &settings.OutputUnkMsgFile;
    case 'X': return &settings.OutputSumInfoRecipientsFile;
    case 'Y': return &settings.OutputSumInfoRelaysFile;
    case 'Z': return &settings.OutputUnkUserMsgFile;
    case 'I': return &settings.OutputHtmlIndexFile;
    case 'K': return &settings.OutputMsgRejStatFile;
    default: return nullptr;
    }
}

// The counter an option letter adds 1 to, or null.
int* counting_option(int letter)
{
    switch (letter) {
    case 'g': return &settings.PrintGenInfo;
    case 'u': return &settings.PrintUnkMsg;
    case 'z': return &settings.PrintUnkUserMsg;
    case 'o': return &settings.PrintOthMsg;
    case 'e': return &settings.PrintEnvInfo;
    case 'i': return &settings.PrintHtmlIndex;
    case 'r': return &settings.PrintRelInfo;
    case 't': return &settings.PrintTlsMsg;
    case 'j': return &settings.PrintNoActvMsg;
    case 'x': return &settings.PrintSumInfoRecipients;
    case 'y': return &settings.PrintSumInfoRelays;
    case 'w': return &settings.print_weekly;
    case 'k': return &settings.PrintMsgRejStat;
    case 'C': return &settings.PrintCountryIPInfo;
    case 'v': return &settings.verbose;
    case 'p': return &settings.time_profile;
    case 'b': return &settings.bases_results;
    case 'A': return &settings.bases_sorting;
    default: return nullptr;
    }
}

// The setting an option letter sets to a fixed value, or null.
int* fixed_option(int letter, int& value)
{
    value = 1;
    switch (letter) {
    case 'a': value = 0; return &settings.OutputFormat;
    case 'P': value = 0; return &settings.merge_sort;
    case 'n': return &settings.PrintEnvDomInfo;
    case 'q': return &settings.PrintRelDomInfo;
    case 'm': return &settings.PrintMilRejInfo;
    case 's': return &settings.PrintRlrRejInfo;
    case 'F': return &settings.bases_fast_lookup;
    default: return nullptr;
    }
}

// Applies one recognised option; false when it is unknown.
bool apply_option(int letter, const char* argument)
{
    if (setting_text* text = long_text_option(letter)) {
        *text = argument;
        return true;
    }
    if (setting_text* text = text_option(letter)) {
        *text = argument;
        return true;
    }
    if (int* counter = counting_option(letter)) {
        ++*counter;
        return true;
    }
    int value = 0;
    if (int* field = fixed_option(letter, value)) {
        *field = value;
        return true;
    }
    if (letter == 'd') {
        settings.verbose_level = static_cast<int>(std::strtol(argument, nullptr, 10));
        return true;
    }
    return false;
}

// Turns --since, --until and --day into the window's Unix times against the
// run's clock; false (after the message) when they are malformed or clash.
bool fill_time_window()
{
    const time_window window =
        window_of_options(settings.window_since, settings.window_until, settings.window_day, std::time(nullptr));
    if (!window.error.empty()) {
        error_message(window.error);
        return false;
    }
    settings.window_start = window.start;
    settings.window_end = window.end;
    return true;
}

}  // namespace

std::string program_name_of(const char* argv0)
{
    if (argv0 == nullptr)
        return {};
    const char* slash = std::strrchr(argv0, '/');
    return slash ? slash + 1 : argv0;
}

void write_usage(const std::string& program_name)
{
    const char* name = program_name.c_str();
    std::fprintf(stderr, "\nSendmail MTA statistics program\n\n");
    std::fprintf(stderr, "%s version %s\n", name, program_version);
    std::fprintf(stderr, "Usage: %s [-aAbCvgeFijonmpPqstrVhuwxyz] [-c config] [-d level] [-f infile]\n", name);
    std::fputs("\t\t[-G gen_info_file] [-U unk_msg_file] [-O oth_msg_file]\n"
               "\t\t[-N dom_info_file] [-E env_info_file] [-R relay_info_file]\n"
               "\t\t[-M milter_rej_info_file] [-S ruleset_rej_info_file]\n"
               "\t\t[-I html_idx_file] [-T tls_msg_file] [-J no_actv_msg_file]\n"
               "\t\t[-Y sum_info_relays_file] [-X sum_info_rcpts_file]\n"
               "\t\t[-B out_base_dir] [-Z unk_user_msg_file] [-Q rel_dom_info_file]\n",
               stderr);
    std::fputs(usage_options, stderr);
    std::fputs("Defaults:\n", stderr);
    std::fprintf(stderr, "  config file       --  %s\n", default_config_file);
    std::fprintf(stderr, "  logging file      --  %s\n", default_logging_file);
    std::fprintf(stderr, "  verbose level     --  %d\n", settings.verbose);
    std::fprintf(stderr, "  debug level       --  %d\n", settings.verbose_level);
    std::fprintf(stderr, "  time profiling    --  %d\n", settings.time_profile);
    std::fprintf(stderr, "  merge_sort        --  %d\n", settings.merge_sort);
    std::fputs("\n", stderr);
}

void write_version(const char* program_path)
{
    char path_copy[256] = {};
    if (program_path != nullptr)
        safe_copy(path_copy, program_path, sizeof path_copy);
    std::printf("%s\n", path_copy);
    std::printf("QUELM_STAT version (Unix): %s\n", program_version);
    std::printf("Built:   %s %s\n", __DATE__, __TIME__);
    if (settings.verbose)
        std::printf("Code revision:  %s\n", QUELM_REVISION);
}

command_line_result parse_command_line(int argc, char* argv[])
{
    command_line_result result;
    result.has_arguments = argc > 1;
    std::string program_name = program_name_of(argc > 0 ? argv[0] : nullptr);
    opterr = 0;
    // glibc-specific: optind = 0 makes glibc re-initialise getopt fully, so the
    // parser can run more than once (the tests run it many times). The POSIX
    // reset optind = 1 keeps glibc's scan state from the previous parse, which
    // then misreads options; other C libraries may need optreset instead.
    optind = 0;
    const std::vector<option> table = long_option_table();
    int letter;
    while ((letter = getopt_long(argc, argv, option_letters, table.data(), nullptr)) != -1) {
        if (letter == 'V') {
            write_version(argc > 0 ? argv[0] : nullptr);
            result.go_on = false;
            return result;
        }
        if (letter == long_help) {
            write_usage(program_name);
            write_long_options();
            result.go_on = false;
            return result;
        }
        if (letter == 'h' || !apply_option(letter, optarg)) {
            write_usage(program_name);
            result.go_on = false;
            return result;
        }
    }
    for (int i = optind; i < argc; ++i)
        settings.input_operands.emplace_back(argv[i]);
    if (!fill_time_window()) {
        write_usage(program_name);
        result.go_on = false;
    }
    return result;
}
