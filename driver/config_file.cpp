// Configuration file parser. Lines are read in 2047-character pieces; a line
// names a section or is tried against the keys of the current section in
// table order, and the first key that yields a non-empty value takes it.
// Unknown keys, malformed lines and unknown sections are ignored silently.
#include "driver/config_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "driver/messages.h"
#include "util/text_util.h"

namespace {

using S = program_settings;
constexpr config_section G = config_section::general;
constexpr config_section I = config_section::input;
constexpr config_section O = config_section::output;

#define INT_KEY(section, name) config_key{#name, section, &S::name}
#define TEXT_KEY(section, name) config_key{#name, section, &S::name}

const config_key key_table[] = {
    INT_KEY(G, verbose),
    INT_KEY(G, verbose_level),
    INT_KEY(G, time_profile),
    INT_KEY(G, merge_sort),
    INT_KEY(G, bases_fast_lookup),
    INT_KEY(G, bases_sorting),

    TEXT_KEY(I, InputFile),

    INT_KEY(O, OutputFormat),
    INT_KEY(O, SplitHtmlOutput),
    INT_KEY(O, PrintGenInfo),
    INT_KEY(O, PrintSumInfoRelays),
    INT_KEY(O, PrintSumInfoRecipients),
    INT_KEY(O, PrintEnvDomInfo),
    INT_KEY(O, PrintRelDomInfo),
    INT_KEY(O, PrintEnvInfo),
    INT_KEY(O, PrintRelInfo),
    INT_KEY(O, PrintRlrRejInfo),
    INT_KEY(O, PrintMilRejInfo),
    INT_KEY(O, PrintTlsMsg),
    INT_KEY(O, PrintNoActvMsg),
    INT_KEY(O, PrintUnkMsg),
    INT_KEY(O, PrintOthMsg),
    INT_KEY(O, PrintUnkUserMsg),
    INT_KEY(O, PrintMsgOutOfOrderInfo),
    INT_KEY(O, PrintRulOutOfOrderInfo),
    INT_KEY(O, PrintMilOutOfOrderInfo),
    INT_KEY(O, PrintHtmlIndex),
    INT_KEY(O, PrintMsgRejStat),
    INT_KEY(O, PrintOtherReport),
    INT_KEY(O, PrintCountryIPInfo),
    INT_KEY(O, PrintOldQuelmInfo),
    INT_KEY(O, PrintProcMailInfo),
    INT_KEY(O, PrintPop3Info),
    INT_KEY(O, PrintImap4Info),
    INT_KEY(O, PrintSpamHdrInfo),
    INT_KEY(O, PrintSpamStatInfo),
    INT_KEY(O, PrintMsgFileInfo),
    INT_KEY(O, PrintMsgArcInfo),
    INT_KEY(O, PrintVOLSKInfo),

    TEXT_KEY(O, OutputBaseDir),
    TEXT_KEY(O, OutputGenInfoFile),
    TEXT_KEY(O, OutputSumInfoRelaysFile),
    TEXT_KEY(O, OutputSumInfoRecipientsFile),
    TEXT_KEY(O, OutputEnvDomInfoFile),
    TEXT_KEY(O, OutputRelDomInfoFile),
    TEXT_KEY(O, OutputEnvInfoFile),
    TEXT_KEY(O, OutputRelInfoFile),
    TEXT_KEY(O, OutputRlrRejInfoFile),
    TEXT_KEY(O, OutputMilRejInfoFile),
    TEXT_KEY(O, OutputUnkMsgFile),
    TEXT_KEY(O, OutputOthMsgFile),
    TEXT_KEY(O, OutputUnkUserMsgFile),
    TEXT_KEY(O, OutputTlsMsgFile),
    TEXT_KEY(O, OutputNoActvMsgFile),
    TEXT_KEY(O, OutputMsgOutOfOrderFile),
    TEXT_KEY(O, OutputRulOutOfOrderFile),
    TEXT_KEY(O, OutputMilOutOfOrderFile),
    TEXT_KEY(O, OutputHtmlIndexFile),
    TEXT_KEY(O, OutputMsgRejStatFile),
    TEXT_KEY(O, OutputOldQuelmInfoFile),
    TEXT_KEY(O, OutputProcMailInfoFile),
    TEXT_KEY(O, OutputPop3InfoFile),
    TEXT_KEY(O, OutputImap4InfoFile),
    TEXT_KEY(O, OutputVOLSKInfoFile),
    TEXT_KEY(O, OutputSpamHdrInfoFile),
    TEXT_KEY(O, OutputSpamStatInfoFile),
    TEXT_KEY(O, OutputMsgFileInfoFile),
    TEXT_KEY(O, OutputMsgArcInfoFile),
    TEXT_KEY(O, OutputOtherReportFile),
    TEXT_KEY(O, OutputOtherReportName),

    TEXT_KEY(O, OutputEnvDomByValueFile_Lvl_1),
    TEXT_KEY(O, OutputEnvDomByValueFile_Lvl_2),
    TEXT_KEY(O, OutputEnvDomByNameFile_Lvl_1),
    TEXT_KEY(O, OutputEnvDomByNameFile_Lvl_2),
    TEXT_KEY(O, OutputRelDomByValueFile_Lvl_1),
    TEXT_KEY(O, OutputRelDomByValueFile_Lvl_2),
    TEXT_KEY(O, OutputRelDomByNameFile_Lvl_1),
    TEXT_KEY(O, OutputRelDomByNameFile_Lvl_2),
    TEXT_KEY(O, OutputEnvPairsBySize),
    TEXT_KEY(O, OutputEnvPairsByCount),
    TEXT_KEY(O, OutputEnvPairsByVirusDom_Lvl_2),
    TEXT_KEY(O, OutputEnvPairsByVirusRelayAddr),
    TEXT_KEY(O, OutputEnvPairsByVirusRcptName),
    TEXT_KEY(O, OutputEnvPairsByRelayName),
    TEXT_KEY(O, OutputEnvPairsByRelayAddr),
    TEXT_KEY(O, OutputEnvPairsByRelayDom_Lvl_1),
    TEXT_KEY(O, OutputEnvPairsByRelayDom_Lvl_2),
    TEXT_KEY(O, OutputEnvPairsByDomFrom),
    TEXT_KEY(O, OutputEnvPairsByStatus),
    TEXT_KEY(O, OutputEnvPairsByTime),
    TEXT_KEY(O, OutputEnvPairsByRcptName),
    TEXT_KEY(O, OutputEnvPairsBySenderName),
    TEXT_KEY(O, OutputEnvSendersBySize),
    TEXT_KEY(O, OutputEnvSendersByCount),
    TEXT_KEY(O, OutputEnvRecipientsBySize),
    TEXT_KEY(O, OutputEnvRecipientsByCount),
    TEXT_KEY(O, OutputRelayPairsBySize),
    TEXT_KEY(O, OutputRelayPairsByCount),
    TEXT_KEY(O, OutputRelaySendersBySize),
    TEXT_KEY(O, OutputRelaySendersByCount),
    TEXT_KEY(O, OutputRelayRecipientsBySize),
    TEXT_KEY(O, OutputRelayRecipientsByCount),
    TEXT_KEY(O, OutputMilterRejectsBySize),
    TEXT_KEY(O, OutputMilterRejectsByCount),
    TEXT_KEY(O, OutputMilterRejectsByRcptName),
    TEXT_KEY(O, OutputMilterRejectsByName),
    TEXT_KEY(O, OutputMilterRejectsByTime),
    TEXT_KEY(O, OutputMilterRejectsByRelay),
    TEXT_KEY(O, OutputMilterRejectsByRelAddr),
    TEXT_KEY(O, OutputMilterRejectsByDomFrom),
    TEXT_KEY(O, OutputMilterRejectsByRelDom_Lvl_1),
    TEXT_KEY(O, OutputMilterRejectsByRelDom_Lvl_2),
    TEXT_KEY(O, OutputEnvRecipientsMilRejByName),
    TEXT_KEY(O, OutputEnvRecipientsMilRejByCount),
    TEXT_KEY(O, OutputMilterRejectsByReason),
    TEXT_KEY(O, OutputRejectsByReasonCount),
    TEXT_KEY(O, OutputRejectsByReasonName),
};

#undef INT_KEY
#undef TEXT_KEY

constexpr std::size_t config_line_size = 2048;

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::size_t skip_white_space(std::string_view line, std::size_t pos)
{
    while (pos < line.size() && is_white_space(line[pos]))
        ++pos;
    return pos;
}

// The section a line names, or none when it names no section.
config_section section_named_in(const char* line)
{
    if (std::strstr(line, "[General_Parameters]"))
        return config_section::general;
    if (std::strstr(line, "[Output_Parameters]"))
        return config_section::output;
    if (std::strstr(line, "[Input_Parameters]"))
        return config_section::input;
    return config_section::none;
}

// atoi: leading white space, an optional sign and digits; no digits gives 0.
int integer_value(std::string_view value)
{
    std::string text(value);
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

// Stores a text value; a value followed anywhere on the line by "none" unsets
// the field. Returns false when memory ran out.
bool store_text(setting_text& field, std::string_view line, key_value found)
{
    std::string_view rest = line.substr(found.start);
    if (rest.find("none") != std::string_view::npos) {
        field.reset();
        return true;
    }
    try {
        field = std::string(line.substr(found.start, found.length));
    } catch (const std::bad_alloc&) {
        field.reset();
        error_message(format_message("ERROR: cannot get memory for %.*s\n",
                                     static_cast<int>(rest.size()), rest.data()));
        return false;
    }
    return true;
}

// Tries the keys of `section` on one line; returns the number of errors (0 or 1).
int apply_key_line(config_section section, std::string_view line)
{
    for (const config_key& key : key_table) {
        if (key.section != section)
            continue;
        std::optional<key_value> found = find_key_value(key.name, line);
        if (!found || found->length == 0)
            continue;
        if (auto* number = std::get_if<int program_settings::*>(&key.field)) {
            settings.*(*number) = integer_value(line.substr(found->start, found->length));
            return 0;
        }
        auto text = std::get<setting_text program_settings::*>(key.field);
        return store_text(settings.*text, line, *found) ? 0 : 1;
    }
    return 0;
}

}  // namespace

std::span<const config_key> config_keys()
{
    return key_table;
}

std::optional<key_value> find_key_value(std::string_view key, std::string_view line)
{
    std::size_t pos = skip_white_space(line, 0);
    std::size_t at = line.find(key, pos);
    if (at == std::string_view::npos)
        return std::nullopt;
    pos = skip_white_space(line, at + key.size());
    if (pos >= line.size() || line[pos] != '=')
        return std::nullopt;
    pos = skip_white_space(line, pos + 1);
    if (pos < line.size() && line[pos] == '"') {
        // The closing quote is searched from the second character after the
        // opening one, so an empty pair of quotes yields no value of its own.
        if (pos + 2 > line.size())
            return std::nullopt;
        std::size_t close = line.find('"', pos + 2);
        if (close == std::string_view::npos)
            return std::nullopt;
        return key_value{pos + 1, close - pos - 1};
    }
    std::size_t end = pos;
    while (end < line.size() && !is_white_space(line[end]))
        ++end;
    return key_value{pos, end - pos};
}

int parse_config_file(const char* path)
{
    if (path == nullptr)
        return config_no_path;
    verbose_console_message(format_message("Parse configuration file = %s\n", path));
    std::unique_ptr<std::FILE, file_closer> file(std::fopen(path, "rt"));
    if (!file)
        return config_cannot_open;

    int errors = 0;
    config_section section = config_section::none;
    char buffer[config_line_size];
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        if (std::strlen(buffer) <= 2 || buffer[0] == '#')
            continue;
        if (config_section named = section_named_in(buffer); named != config_section::none) {
            section = named;
            continue;
        }
        buffer[std::strcspn(buffer, "\r\n")] = '\0';
        if (section != config_section::none)
            errors += apply_key_line(section, buffer);
    }
    if (errors > 0) {
        error_message(format_message("Parsing results: found %d errors\nTerminate program.\n", errors));
        return config_errors;
    }
    return config_ok;
}
