// What every report writer of the registry promises, row by row: the open-failure
// message and status 1 in both formats, an empty file for an unknown format, standard
// output for an empty path, and in split mode the view files instead of the main file.
// The report texts themselves are pinned end to end (tests/e2e/cases/).
#include "report/report_registry.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using S = program_settings;
namespace fs = std::filesystem;

struct writer_contract {
    int S::*print_switch;
    const char* token;          // "ERROR: cannot open <token> file!\n"
    const char* html_failure;   // the HTML form's own message, when it differs
    bool unknown_format_opens;  // false: format 2 leaves the file alone
};

const writer_contract contracts[] = {
    {&S::PrintGenInfo, "gen_info_out", nullptr, true},
    {&S::PrintHtmlIndex, "html_index_out", nullptr, true},
    {&S::PrintTlsMsg, "tls_msg_out", nullptr, true},
    {&S::PrintNoActvMsg, "no_actv_msg_out", nullptr, true},
    {&S::PrintEnvDomInfo, "env_dom_info_out", nullptr, true},
    {&S::PrintRelDomInfo, "rel_dom_info_out", "ERROR: cannot rel_open dom_info_out file!\n", true},
    {&S::PrintEnvInfo, "env_pair_out", nullptr, true},
    {&S::PrintRelInfo, "rel_info_out", nullptr, true},
    {&S::PrintRlrRejInfo, "rul_rej_out", nullptr, false},
    {&S::PrintMilRejInfo, "mil_rej_out", nullptr, true},
    {&S::PrintSumInfoRelays, "gen_sum_out_relay", nullptr, true},
    {&S::PrintSumInfoRecipients, "gen_sum_out", nullptr, true},
    {&S::PrintUnkUserMsg, "unk_user_msg_out", nullptr, true},
    {&S::PrintUnkMsg, "unk_msg_out", nullptr, true},
    {&S::PrintOthMsg, "oth_msg_out", nullptr, true},
    {&S::PrintMsgOutOfOrderInfo, "msg_out_of_order_msg_out", nullptr, true},
    {&S::PrintRulOutOfOrderInfo, "rul_out_of_order_msg_out", nullptr, true},
    {&S::PrintMilOutOfOrderInfo, "mil_out_of_order_msg_out", nullptr, true},
    {&S::PrintMsgRejStat, "msg_rej_stat", nullptr, true},
};

using test_support::read_file;

// Runs the writer: its status, then what it wrote to standard error.
std::string run(const report_entry& row, const fs::path& path, int format)
{
    testing::internal::CaptureStderr();
    int status = row.writer(path.string(), format);
    return std::to_string(status) + testing::internal::GetCapturedStderr();
}

TEST(ReportContract, EveryWriterKeepsTheFileContract)
{
    settings = program_settings{};
    clear_host_table();
    find_or_add_host("mx1");
    char name[] = "/tmp/quelm_contract_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const fs::path dir = name;
    std::size_t writers = 0;
    for (const report_entry& row : report_entries()) {
        if (row.writer == nullptr)
            continue;
        ++writers;
        const writer_contract* want = nullptr;
        for (const writer_contract& c : contracts)
            if (c.print_switch == row.print_switch)
                want = &c;
        ASSERT_NE(want, nullptr) << "no contract for writer " << writers;
        SCOPED_TRACE(want->token);
        const std::string usual = std::string("ERROR: cannot open ") + want->token + " file!\n";
        const fs::path file = dir / "report.out";
        EXPECT_EQ(run(row, dir / "missing" / "r", FORMAT_ASCII), "1" + usual);
        EXPECT_EQ(run(row, dir / "missing" / "r", FORMAT_HTML),
                  "1" + (want->html_failure ? want->html_failure : usual));

        std::ofstream(file) << "old";
        EXPECT_EQ(run(row, file, 2), "0");
        EXPECT_EQ(read_file(file), want->unknown_format_opens ? "" : "old");

        // An empty path is standard output, which stays open.
        testing::internal::CaptureStdout();
        EXPECT_EQ(run(row, "", FORMAT_HTML), "0");
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("<!DOCTYPE HTML", 0), row.print_switch == &S::PrintMsgRejStat ? std::string::npos : 0u)
            << out.substr(0, 80);  // the message-reject lines have no HTML form
        EXPECT_NE(std::fflush(stdout), EOF);

        EXPECT_EQ(run(row, file, FORMAT_ASCII), "0");
        const std::string ascii = read_file(file);
        settings.SplitHtmlOutput = 1;
        settings.OutputBaseDir = dir.string();
        EXPECT_EQ(run(row, file, FORMAT_ASCII), "0");
        EXPECT_EQ(read_file(file), ascii) << "ASCII ignores the split setting";
        fs::remove(file);
        if (row.views == nullptr) {
            EXPECT_EQ(run(row, file, FORMAT_HTML), "0");
            EXPECT_EQ(read_file(file).empty(), row.print_switch == &S::PrintMsgRejStat) << "split mode, no views";
        } else {
            for (std::size_t i = 0; i < row.views->size(); ++i)  // the first, the third... view: "<i>.html"
                settings.*(*row.views)[i].file_name = i % 2 ? setting_text() : std::to_string(i) + ".html";
            EXPECT_EQ(run(row, file, FORMAT_HTML), "0");
            EXPECT_FALSE(fs::exists(file)) << "split mode writes no main file";
            for (std::size_t i = 0; i < row.views->size(); ++i) {
                const split_view& view = (*row.views)[i];
                const fs::path view_file = dir / (std::to_string(i) + ".html");
                ASSERT_EQ(fs::exists(view_file), i % 2 == 0) << view.token;
                const std::string heading = std::string("    <H3>mx1 (0 ") + view.heading + ")</H3>\n";
                EXPECT_TRUE(i % 2 != 0 || read_file(view_file).find(heading) != std::string::npos) << view.token;
            }
            // Views that cannot be opened: each set view's own message, and the run goes on.
            settings.OutputBaseDir = (dir / "missing").string();
            std::string messages;
            for (std::size_t i = 0; i < row.views->size(); i += 2) {
                const split_view& view = (*row.views)[i];
                messages += view.open_failure ? view.open_failure
                                              : "ERROR: cannot open " + std::string(view.token) + " file!\n";
            }
            EXPECT_EQ(run(row, file, FORMAT_HTML), "0" + messages);
            // Another split value: an empty main file and no views.
            settings.SplitHtmlOutput = 2;
            settings.OutputBaseDir = dir.string();
            fs::remove_all(dir / "0.html");
            EXPECT_EQ(run(row, file, FORMAT_HTML), "0");
            EXPECT_EQ(read_file(file), "");
            EXPECT_FALSE(fs::exists(dir / "0.html"));
            for (const split_view& view : *row.views)
                settings.*view.file_name = std::nullopt;
        }
        settings.SplitHtmlOutput = 0;
        settings.OutputBaseDir = std::nullopt;
    }
    EXPECT_EQ(writers, std::size(contracts));
    fs::remove_all(dir);
    settings = program_settings{};
    clear_host_table();
}

}  // namespace
