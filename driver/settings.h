// The one program-wide settings record: built-in defaults, then the command
// line, then the configuration file fill it during start-up; every later phase
// only reads it. Fields that have a configuration key carry the key's name.
// A text setting is either unset (std::nullopt) or a value, possibly empty.
#pragma once

#include <optional>
#include <string>
#include <vector>

using setting_text = std::optional<std::string>;

struct program_settings {
    // [General_Parameters]
    int verbose = 0;
    int verbose_level = 0;
    int time_profile = 0;
    int merge_sort = 1;
    int bases_fast_lookup = 0;
    int bases_sorting = 0;

    // Command line only.
    int bases_results = 0;
    int print_weekly = 0;
    setting_text logging_file;
    setting_text config_file;

    // [Input_Parameters]
    setting_text InputFile;

    // Long options only (see --help).
    std::vector<std::string> input_operands;  // input files after the options, in order
    setting_text window_since;   // --since WHEN, as given
    setting_text window_until;   // --until WHEN, as given
    setting_text window_day;     // --day DAY, as given
    // The time window those give, as Unix times: a line counts when
    // window_start <= its time < window_end; an unset end is open.
    std::optional<long long> window_start;
    std::optional<long long> window_end;
    setting_text json_file;      // --json FILE
    setting_text prometheus_file;  // --prometheus FILE
    setting_text dashboard_file;   // --dashboard FILE

    // [Output_Parameters]: format and report switches.
    int OutputFormat = 1;
    int SplitHtmlOutput = 0;
    int PrintGenInfo = 0;
    int PrintSumInfoRelays = 0;
    int PrintSumInfoRecipients = 0;
    int PrintEnvDomInfo = 0;
    int PrintRelDomInfo = 0;
    int PrintEnvInfo = 0;
    int PrintRelInfo = 0;
    int PrintRlrRejInfo = 0;
    int PrintMilRejInfo = 0;
    int PrintTlsMsg = 0;
    int PrintNoActvMsg = 0;
    int PrintUnkMsg = 0;
    int PrintOthMsg = 0;
    int PrintUnkUserMsg = 0;
    int PrintMsgOutOfOrderInfo = 0;
    int PrintRulOutOfOrderInfo = 0;
    int PrintMilOutOfOrderInfo = 0;
    int PrintHtmlIndex = 0;
    int PrintMsgRejStat = 0;
    int PrintOtherReport = 0;
    int PrintCountryIPInfo = 0;
    // Links of the HTML index to reports made by other programs.
    int PrintOldQuelmInfo = 0;
    int PrintProcMailInfo = 0;
    int PrintPop3Info = 0;
    int PrintImap4Info = 0;
    int PrintSpamHdrInfo = 0;
    int PrintSpamStatInfo = 0;
    int PrintMsgFileInfo = 0;
    int PrintMsgArcInfo = 0;
    int PrintVOLSKInfo = 0;

    // [Output_Parameters]: output directory and report file names.
    setting_text OutputBaseDir;
    setting_text OutputGenInfoFile;
    setting_text OutputSumInfoRelaysFile;
    setting_text OutputSumInfoRecipientsFile;
    setting_text OutputEnvDomInfoFile;
    setting_text OutputRelDomInfoFile;
    setting_text OutputEnvInfoFile;
    setting_text OutputRelInfoFile;
    setting_text OutputRlrRejInfoFile;
    setting_text OutputMilRejInfoFile;
    setting_text OutputUnkMsgFile;
    setting_text OutputOthMsgFile;
    setting_text OutputUnkUserMsgFile;
    setting_text OutputTlsMsgFile;
    setting_text OutputNoActvMsgFile;
    setting_text OutputMsgOutOfOrderFile;
    setting_text OutputRulOutOfOrderFile;
    setting_text OutputMilOutOfOrderFile;
    setting_text OutputHtmlIndexFile;
    setting_text OutputMsgRejStatFile;
    setting_text OutputOldQuelmInfoFile;
    setting_text OutputProcMailInfoFile;
    setting_text OutputPop3InfoFile;
    setting_text OutputImap4InfoFile;
    setting_text OutputVOLSKInfoFile;
    setting_text OutputSpamHdrInfoFile;
    setting_text OutputSpamStatInfoFile;
    setting_text OutputMsgFileInfoFile;
    setting_text OutputMsgArcInfoFile;
    setting_text OutputOtherReportFile;
    setting_text OutputOtherReportName;

    // [Output_Parameters]: file names of the sorted views in split mode.
    setting_text OutputEnvDomByValueFile_Lvl_1;
    setting_text OutputEnvDomByValueFile_Lvl_2;
    setting_text OutputEnvDomByNameFile_Lvl_1;
    setting_text OutputEnvDomByNameFile_Lvl_2;
    setting_text OutputRelDomByValueFile_Lvl_1;
    setting_text OutputRelDomByValueFile_Lvl_2;
    setting_text OutputRelDomByNameFile_Lvl_1;
    setting_text OutputRelDomByNameFile_Lvl_2;
    setting_text OutputEnvPairsBySize;
    setting_text OutputEnvPairsByCount;
    setting_text OutputEnvPairsByVirusDom_Lvl_2;
    setting_text OutputEnvPairsByVirusRelayAddr;
    setting_text OutputEnvPairsByVirusRcptName;
    setting_text OutputEnvPairsByRelayName;
    setting_text OutputEnvPairsByRelayAddr;
    setting_text OutputEnvPairsByRelayDom_Lvl_1;
    setting_text OutputEnvPairsByRelayDom_Lvl_2;
    setting_text OutputEnvPairsByDomFrom;
    setting_text OutputEnvPairsByStatus;
    setting_text OutputEnvPairsByTime;
    setting_text OutputEnvPairsByRcptName;
    setting_text OutputEnvPairsBySenderName;
    setting_text OutputEnvSendersBySize;
    setting_text OutputEnvSendersByCount;
    setting_text OutputEnvRecipientsBySize;
    setting_text OutputEnvRecipientsByCount;
    setting_text OutputRelayPairsBySize;
    setting_text OutputRelayPairsByCount;
    setting_text OutputRelaySendersBySize;
    setting_text OutputRelaySendersByCount;
    setting_text OutputRelayRecipientsBySize;
    setting_text OutputRelayRecipientsByCount;
    setting_text OutputMilterRejectsBySize;
    setting_text OutputMilterRejectsByCount;
    setting_text OutputMilterRejectsByRcptName;
    setting_text OutputMilterRejectsByName;
    setting_text OutputMilterRejectsByTime;
    setting_text OutputMilterRejectsByRelay;
    setting_text OutputMilterRejectsByRelAddr;
    setting_text OutputMilterRejectsByDomFrom;
    setting_text OutputMilterRejectsByRelDom_Lvl_1;
    setting_text OutputMilterRejectsByRelDom_Lvl_2;
    setting_text OutputEnvRecipientsMilRejByName;
    setting_text OutputEnvRecipientsMilRejByCount;
    setting_text OutputMilterRejectsByReason;
    setting_text OutputRejectsByReasonCount;
    setting_text OutputRejectsByReasonName;

    // Fixed presentation values of the HTML reports, set at start-up.
    std::string body_color;
    std::string header_color;
    std::string page_heading;
};

// The program-wide settings; written only during start-up.
extern program_settings settings;

// Fixed texts of the program.
inline constexpr const char* program_version = "1.2";
inline constexpr const char* default_config_file = "/usr/local/etc/quelm_stat.conf";
inline constexpr const char* default_logging_file = "/var/log/quelm_stat.log";
