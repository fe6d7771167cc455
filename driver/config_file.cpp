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

// A key named like its settings field; the field's type (int or text) picks
// the variant alternative.
#define KEY(section, name) config_key{#name, section, &S::name}

const config_key key_table[] = {
    KEY(G, verbose),
    KEY(G, verbose_level),
    KEY(G, time_profile),
    KEY(G, merge_sort),
    KEY(G, bases_fast_lookup),
    KEY(G, bases_sorting),

    KEY(I, InputFile),

    KEY(O, OutputFormat),
    KEY(O, SplitHtmlOutput),
    KEY(O, PrintGenInfo),
    KEY(O, PrintSumInfoRelays),
    KEY(O, PrintSumInfoRecipients),
    KEY(O, PrintEnvDomInfo),
    KEY(O, PrintRelDomInfo),
    KEY(O, PrintEnvInfo),
    KEY(O, PrintRelInfo),
    KEY(O, PrintRlrRejInfo),
    KEY(O, PrintMilRejInfo),
    KEY(O, PrintTlsMsg),
    KEY(O, PrintNoActvMsg),
    KEY(O, PrintUnkMsg),
    KEY(O, PrintOthMsg),
    KEY(O, PrintUnkUserMsg),
    KEY(O, PrintMsgOutOfOrderInfo),
    KEY(O, PrintRulOutOfOrderInfo),
    KEY(O, PrintMilOutOfOrderInfo),
    KEY(O, PrintHtmlIndex),
    KEY(O, PrintMsgRejStat),
    KEY(O, PrintOtherReport),
    KEY(O, PrintCountryIPInfo),
    KEY(O, PrintOldQuelmInfo),
    KEY(O, PrintProcMailInfo),
    KEY(O, PrintPop3Info),
    KEY(O, PrintImap4Info),
    KEY(O, PrintSpamHdrInfo),
    KEY(O, PrintSpamStatInfo),
    KEY(O, PrintMsgFileInfo),
    KEY(O, PrintMsgArcInfo),
    KEY(O, PrintVOLSKInfo),

    KEY(O, OutputBaseDir),
    KEY(O, OutputGenInfoFile),
    KEY(O, OutputSumInfoRelaysFile),
    KEY(O, OutputSumInfoRecipientsFile),
    KEY(O, OutputEnvDomInfoFile),
    KEY(O, OutputRelDomInfoFile),
    KEY(O, OutputEnvInfoFile),
    KEY(O, OutputRelInfoFile),
    KEY(O, OutputRlrRejInfoFile),
    KEY(O, OutputMilRejInfoFile),
    KEY(O, OutputUnkMsgFile),
    KEY(O, OutputOthMsgFile),
    KEY(O, OutputUnkUserMsgFile),
    KEY(O, OutputTlsMsgFile),
    KEY(O, OutputNoActvMsgFile),
    KEY(O, OutputMsgOutOfOrderFile),
    KEY(O, OutputRulOutOfOrderFile),
    KEY(O, OutputMilOutOfOrderFile),
    KEY(O, OutputHtmlIndexFile),
    KEY(O, OutputMsgRejStatFile),
    KEY(O, OutputOldQuelmInfoFile),
    KEY(O, OutputProcMailInfoFile),
    KEY(O, OutputPop3InfoFile),
    KEY(O, OutputImap4InfoFile),
    KEY(O, OutputVOLSKInfoFile),
    KEY(O, OutputSpamHdrInfoFile),
    KEY(O, OutputSpamStatInfoFile),
    KEY(O, OutputMsgFileInfoFile),
    KEY(O, OutputMsgArcInfoFile),
    KEY(O, OutputOtherReportFile),
    KEY(O, OutputOtherReportName),

    KEY(O, OutputEnvDomByValueFile_Lvl_1),
    KEY(O, OutputEnvDomByValueFile_Lvl_2),
    KEY(O, OutputEnvDomByNameFile_Lvl_1),
    KEY(O, OutputEnvDomByNameFile_Lvl_2),
    KEY(O, OutputRelDomByValueFile_Lvl_1),
    KEY(O, OutputRelDomByValueFile_Lvl_2),
    KEY(O, OutputRelDomByNameFile_Lvl_1),
    KEY(O, OutputRelDomByNameFile_Lvl_2),
    KEY(O, OutputEnvPairsBySize),
    KEY(O, OutputEnvPairsByCount),
    KEY(O, OutputEnvPairsByVirusDom_Lvl_2),
    KEY(O, OutputEnvPairsByVirusRelayAddr),
    KEY(O, OutputEnvPairsByVirusRcptName),
    KEY(O, OutputEnvPairsByRelayName),
    KEY(O, OutputEnvPairsByRelayAddr),
    KEY(O, OutputEnvPairsByRelayDom_Lvl_1),
    KEY(O, OutputEnvPairsByRelayDom_Lvl_2),
    KEY(O, OutputEnvPairsByDomFrom),
    KEY(O, OutputEnvPairsByStatus),
    KEY(O, OutputEnvPairsByTime),
    KEY(O, OutputEnvPairsByRcptName),
    KEY(O, OutputEnvPairsBySenderName),
    KEY(O, OutputEnvSendersBySize),
    KEY(O, OutputEnvSendersByCount),
    KEY(O, OutputEnvRecipientsBySize),
    KEY(O, OutputEnvRecipientsByCount),
    KEY(O, OutputRelayPairsBySize),
    KEY(O, OutputRelayPairsByCount),
    KEY(O, OutputRelaySendersBySize),
    KEY(O, OutputRelaySendersByCount),
    KEY(O, OutputRelayRecipientsBySize),
    KEY(O, OutputRelayRecipientsByCount),
    KEY(O, OutputMilterRejectsBySize),
    KEY(O, OutputMilterRejectsByCount),
    KEY(O, OutputMilterRejectsByRcptName),
    KEY(O, OutputMilterRejectsByName),
    KEY(O, OutputMilterRejectsByTime),
    KEY(O, OutputMilterRejectsByRelay),
    KEY(O, OutputMilterRejectsByRelAddr),
    KEY(O, OutputMilterRejectsByDomFrom),
    KEY(O, OutputMilterRejectsByRelDom_Lvl_1),
    KEY(O, OutputMilterRejectsByRelDom_Lvl_2),
    KEY(O, OutputEnvRecipientsMilRejByName),
    KEY(O, OutputEnvRecipientsMilRejByCount),
    KEY(O, OutputMilterRejectsByReason),
    KEY(O, OutputRejectsByReasonCount),
    KEY(O, OutputRejectsByReasonName),
};

#undef KEY

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
