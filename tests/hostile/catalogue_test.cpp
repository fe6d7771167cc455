// The catalogue of bad input: each case states what the program does with
// it (its messages and exit status where it has them, what it keeps where it
// has none) and that it does not crash. Log cases run in-process through the
// input phase or the whole pipeline; start-up and output cases run the binary.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/config_file.h"
#include "driver/settings.h"
#include "fuzz/harness.h"
#include "hostile_support.h"
#include "model/host_info.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using hostile_support::read_file;
using hostile_support::run_quelm_stat;
using hostile_support::scratch_folder;
using hostile_support::write_file;
using test_support::read_log_text;

const std::string header = "Dec  1 00:00:00 mx1 sm-mta[1]: ";  // 31 characters

const std::string clean_log =
    "Dec  1 00:04:00 mx1 sm-mta[103]: Q2: from=<a@sender.example>, size=1234, class=0, nrcpts=1, "
    "proto=ESMTP, daemon=MTA, relay=mail.sender.example [192.0.2.20]\n"
    "Dec  1 00:04:03 mx1 sm-mta[104]: Q2: to=<b@rcpt.example>, delay=00:00:03, xdelay=00:00:01, "
    "mailer=esmtp, pri=1, relay=mx.rcpt.example. [198.51.100.20], dsn=2.0.0, stat=Sent (ok)\n"
    "Dec  1 00:05:00 mx1 sm-mta[105]: STARTTLS=server, relay=mail.sender.example [192.0.2.20], version=TLSv1.3\n";

std::string wrong_month(unsigned long line)
{
    return "ERROR: wrong month in line " + std::to_string(line) + "!\n";
}

// Every line of `messages` is one of the input phase's messages.
void expect_only_input_messages(const std::string& messages)
{
    static const std::regex known(
        "ERROR: (wrong month|wrong conversion \\(day and time\\)|missing host|missing process_id|"
        "missing global msg_id \\([12]\\)) in line [0-9]+!|ERROR: cannot find host in table!|"
        "ERROR: cannot to add other recipients = -[0-9]+!");
    std::istringstream lines(messages);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_match(line, known)) << line;
}

class hostile_catalogue : public testing::Test {
protected:
    static void SetUpTestSuite() { hostile::prepare(QUELM_SOURCE_DIR); }
    void TearDown() override
    {
        settings = program_settings{};
        clear_host_table();
    }
};

// ---- the log ----------------------------------------------------------------

TEST_F(hostile_catalogue, empty_file_gives_reports_without_hosts)
{
    EXPECT_EQ(read_log_text(""), "");
    EXPECT_EQ(lines_read, 0u);
    EXPECT_EQ(hosts_found, 0u);

    scratch_folder work;
    write_file(work / "empty.log", "");
    auto run = run_quelm_stat({"-f", "empty.log", "-a", "-g", "-G", "gen.txt", "-e", "-E", "env.txt"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(fs::exists(work / "gen.txt"));
    EXPECT_TRUE(fs::exists(work / "env.txt"));

    const hostile::pipeline_outcome outcome = hostile::run_pipeline("");
    EXPECT_EQ(outcome.html.lines_read, 0u);
    EXPECT_TRUE(outcome.html.built);
    EXPECT_EQ(outcome.html.markup_fault, "");
}

TEST_F(hostile_catalogue, nul_byte_ends_the_line_text_but_not_the_line)
{
    std::string log = header + "Q1: from=<a@b.example>, size=10";
    log += '\0';
    log += ", relay=hidden.example [192.0.2.1]\n";
    log += std::string(1, '\0') + header + "Q9: other text that is never seen\n";  // starts with NUL: empty line
    log += header + "Q2: some other line\n";
    EXPECT_EQ(read_log_text(log), "");
    EXPECT_EQ(lines_read, 3u);
    ASSERT_EQ(hosts_found, 1u);
    EXPECT_EQ(test_support::texts_of(host_table[0].messages.from_list),
              std::vector<std::string>{"from=<a@b.example>, size=10"});
    EXPECT_EQ(host_table[0].messages.from_list.head->relay_info.dom_name, nullptr);
    EXPECT_EQ(test_support::texts_of(host_table[0].messages.other_list), std::vector<std::string>{"some other line"});
}

TEST_F(hostile_catalogue, crlf_line_ends_keep_the_carriage_return)
{
    const std::string log = header + "Q1: from=<a@b.example>, size=10, relay=mail.b.example [192.0.2.1]\r\n" + header +
                            "Q1: to=<c@d.example>, mailer=esmtp, relay=mx.d.example. [198.51.100.1], stat=Deferred: busy\r\n";
    EXPECT_EQ(read_log_text(log), "");
    ASSERT_EQ(hosts_found, 1u);
    const host_info& host = host_table[0];
    EXPECT_EQ(host.messages.msg_chains, 1u);
    ASSERT_NE(host.messages.msg_chain.head, nullptr);
    EXPECT_STREQ(host.messages.msg_chain.head->p_to->msg_stat, "Deferred: busy\r");
    EXPECT_EQ(host.messages.msg_chain.head->p_to->stat, 2);

    const hostile::pipeline_outcome outcome = hostile::run_pipeline(log);
    EXPECT_EQ(outcome.html.lines_read, 2u);
    EXPECT_EQ(outcome.html.markup_fault, "");
}

TEST_F(hostile_catalogue, megabyte_line_is_read_in_4095_byte_pieces)
{
    const std::size_t total = 1 << 20;  // newline included
    std::string log = header + "Q1: ";
    log += std::string(total - 1 - log.size(), 'x') + "\n";
    log += clean_log;
    // 256 full pieces and one of 256 bytes: the first has the header, the
    // other 256 start with "x" and have no month.
    std::string expected;
    for (unsigned long line = 2; line <= 257; ++line)
        expected += wrong_month(line);
    EXPECT_EQ(read_log_text(log), expected);
    EXPECT_EQ(lines_read, 257u + 3u);
    ASSERT_EQ(hosts_found, 1u);
    const std::vector<std::string> others = test_support::texts_of(host_table[0].messages.other_list);
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0], std::string(4095 - 35, 'x'));
    EXPECT_EQ(host_table[0].messages.msg_chains, 1u);  // the lines after it are read as usual
}

TEST_F(hostile_catalogue, binary_garbage_gives_only_line_messages)
{
    std::mt19937 random(20261206);
    std::string garbage(256 * 1024, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    // Some garbage after a real header, so that some pieces get past the header checks.
    for (std::size_t at = 0; at + 200 < garbage.size(); at += 4000)
        garbage.replace(at, header.size(), header);

    testing::internal::CaptureStderr();
    const hostile::pipeline_outcome outcome = hostile::run_pipeline(garbage);
    expect_only_input_messages(testing::internal::GetCapturedStderr());
    for (const hostile::pass_outcome* pass : {&outcome.ascii, &outcome.html, &outcome.split}) {
        EXPECT_GT(pass->lines_read, 64u);
        EXPECT_TRUE(pass->built);
        EXPECT_EQ(pass->markup_fault, "");
    }

    scratch_folder work;
    write_file(work / "garbage.log", garbage);
    auto run = run_quelm_stat({"-f", "garbage.log", "-B", ".", "-g", "-G", "gen.html", "-u", "-U", "unk.html", "-o",
                               "-O", "oth.html"},
                              work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
    expect_only_input_messages(run.err);
    EXPECT_EQ(hostile::html_markup_fault(read_file(work / "unk.html")), "");
}

TEST_F(hostile_catalogue, invalid_utf8_passes_through_unchanged)
{
    const std::string host = "mx\xff\xfe";
    const std::string log = "Dec  1 00:00:00 " + host + " sm-mta[1]: Q1: from=<\xc3\x28@b\xed\xa0\x80.example>, size=10, "
                            "relay=m\xc0\xaf.example [192.0.2.1]\n"
                            "Dec  1 00:00:01 " + host + " sm-mta[1]: Q1: to=<\xf8\x88\x80\x80\x80@d.example>, "
                            "mailer=esmtp, relay=mx.d.example. [198.51.100.1], stat=Sent\n";
    EXPECT_EQ(read_log_text(log), "");
    ASSERT_EQ(hosts_found, 1u);
    EXPECT_EQ(host_table[0].host_name, host);
    EXPECT_EQ(host_table[0].messages.msg_chains, 1u);
    EXPECT_STREQ(host_table[0].messages.msg_chain.head->p_from->env_from, "\xc3\x28@b\xed\xa0\x80.example");

    scratch_folder work;
    write_file(work / "utf8.log", log);
    auto run = run_quelm_stat({"-f", "utf8.log", "-B", ".", "-g", "-G", "gen.html", "-e", "-E", "env.html"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const std::string env = read_file(work / "env.html");
    EXPECT_NE(env.find("<A NAME=" + host + "></A>"), std::string::npos);
    EXPECT_NE(env.find("\xc3\x28@b\xed\xa0\x80.example"), std::string::npos);
    EXPECT_EQ(hostile::html_markup_fault(env), "");
}

TEST_F(hostile_catalogue, header_numbers_out_of_range)
{
    const char* const headers[] = {
        "Dec 24 00:00:00",                  // 1 in range
        "Dec  1 24:00:00",                  // 2 hour 24: refused
        "Dec  1 -1:00:00",                  // 3 negative hour: refused
        "Dec  0 10:00:00",                  // 4 day 0: the day before the 1st
        "Dec 32 10:00:00",                  // 5 day 32: carried into January
        "Dec -5 10:00:00",                  // 6 negative day: counted back
        "Dec -2147483648 10:00:00",         // 7 weekday below 0: refused
        "Dec 2147483647 10:00:00",          // 8 weekday below 0 (wrapped): refused
        "Dec  1 10:60:00",                  // 9 minute 60: carried
        "Dec  1 10:-1:00",                  // 10 negative minute: counted back
        "Dec  1 10:2147483647:-2147483648", // 11 extreme minute and second
        "Dec  1 10:00:99999999999",         // 12 second beyond int
        "Dec 99999999999 10:00:00",         // 13 day beyond int
    };
    std::string log;
    for (const char* time : headers)
        log += std::string(time) + " mx1 sm-mta[1]: Q1: from=<a@b.example>, size=1, relay=x\n";
    const std::string expected = "ERROR: wrong conversion (day and time) in line 2!\n"
                                 "ERROR: wrong conversion (day and time) in line 3!\n"
                                 "ERROR: wrong conversion (day and time) in line 7!\n"
                                 "ERROR: wrong conversion (day and time) in line 8!\n";
    EXPECT_EQ(read_log_text(log), expected);
    ASSERT_EQ(hosts_found, 1u);
    const host_info& host = host_table[0];
    EXPECT_EQ(test_support::length_of(host.messages.from_list), 9u);
    for (const msg_from* sender = host.messages.from_list.head; sender; sender = sender->next) {
        EXPECT_GE(sender->hr, 0);
        EXPECT_LE(sender->hr, 23);
        EXPECT_GE(sender->wd, 0);
        EXPECT_LE(sender->wd, 6);
    }
    EXPECT_EQ(host.first_entry, 1795600800);  // day -5: Wed Nov 25 10:00:00 2026 UTC

    scratch_folder work;
    write_file(work / "times.log", log);
    auto run = run_quelm_stat({"-f", "times.log", "-B", ".", "-w", "-g", "-G", "gen.html"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, expected);
    EXPECT_EQ(hostile::html_markup_fault(read_file(work / "gen.html")), "");
}

TEST_F(hostile_catalogue, queue_id_of_thousands_of_characters)
{
    const std::string id(3000, 'Q');
    std::string log = header + id + ": from=<a@b.example>, size=10, relay=mail.b.example [192.0.2.1]\n" + header + id +
                      ": to=<c@d.example>, mailer=esmtp, relay=mx.d.example. [198.51.100.1], stat=Sent\n";
    // An id longer than a piece: the first piece has no colon at all, the
    // second starts with the rest of the id.
    log += header + std::string(5000, 'R') + ": from=<a@b.example>, size=10\n";
    EXPECT_EQ(read_log_text(log), "ERROR: missing global msg_id (1) in line 3!\n" + wrong_month(4));
    ASSERT_EQ(hosts_found, 1u);
    EXPECT_EQ(host_table[0].messages.msg_chains, 1u);
    EXPECT_EQ(host_table[0].messages.msg_chain.head->p_from->msg_id, id);

    const hostile::pipeline_outcome outcome = hostile::run_pipeline(log);
    EXPECT_EQ(outcome.html.lines_read, 4u);
    EXPECT_EQ(outcome.html.markup_fault, "");
    EXPECT_EQ(outcome.split.markup_fault, "");
}

std::string recipients_line(const std::string& id, int count)
{
    std::string line = header + id + ": to=";
    for (int i = 0; i < count; ++i)
        line += "<r" + std::to_string(i) + "@x.example>,";
    return line + " delay=00:00:01, mailer=esmtp, relay=mx.x.example. [198.51.100.1], stat=Sent\n";
}

TEST_F(hostile_catalogue, to_with_hundreds_of_recipients_in_one_line)
{
    const std::string log = header + "Q1: from=<a@b.example>, size=10, relay=mail.b.example [192.0.2.1]\n" +
                            recipients_line("Q1", 200);
    ASSERT_LT(log.size(), 2 * 4095u);
    EXPECT_EQ(read_log_text(log), "");
    ASSERT_EQ(host_table[0].messages.msg_chains, 1u);
    const msg_to* delivery = host_table[0].messages.msg_chain.head->p_to;
    EXPECT_STREQ(delivery->env_to, "r0@x.example");
    std::size_t others = 0;
    for (const rcpt_to* r = delivery->p_rcpt_head; r; r = r->next)
        ++others;
    EXPECT_EQ(others, 199u);
    EXPECT_STREQ(delivery->p_rcpt_tail->name, "r199@x.example");
}

TEST_F(hostile_catalogue, to_with_100000_recipients_is_cut_into_pieces)
{
    const std::string line = recipients_line("Q1", 100000);
    const std::string log = header + "Q1: from=<a@b.example>, size=10, relay=mail.b.example [192.0.2.1]\n" + line;
    const std::size_t pieces = (line.size() + 4094) / 4095;
    const std::string messages = read_log_text(log);
    // The first piece has no blank after the recipients: the delivery is dropped.
    const std::string dropped = "ERROR: cannot to add other recipients = -2!\n";
    ASSERT_TRUE(messages.starts_with(dropped)) << messages.substr(0, 200);
    expect_only_input_messages(messages);
    EXPECT_EQ(lines_read, 1 + pieces);
    ASSERT_EQ(hosts_found, 1u);
    EXPECT_EQ(host_table[0].messages.msg_chains, 0u);
    EXPECT_EQ(test_support::length_of(host_table[0].messages.to_list), 0u);
    EXPECT_EQ(test_support::length_of(host_table[0].messages.from_list), 1u);

    testing::internal::CaptureStderr();
    const hostile::pipeline_outcome outcome = hostile::run_pipeline(log);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(outcome.split.built);
    EXPECT_EQ(outcome.split.markup_fault, "");
}

// ---- the configuration file ---------------------------------------------

int parse_config_text(const std::string& text)
{
    scratch_folder work;
    write_file(work / "test.conf", text);
    settings = program_settings{};
    return parse_config_file((work / "test.conf").c_str());
}

TEST_F(hostile_catalogue, config_unclosed_quote_leaves_the_key_unset)
{
    EXPECT_EQ(parse_config_text("[Output_Parameters]\nOutputOtherReportName = \"User statistics\nPrintGenInfo = 1\n"),
              config_ok);
    EXPECT_FALSE(settings.OutputOtherReportName.has_value());
    EXPECT_EQ(settings.PrintGenInfo, 1);

    scratch_folder work;
    write_file(work / "quote.conf", "[Output_Parameters]\nOutputGenInfoFile = \"gen.txt\n");
    write_file(work / "empty.log", "");
    auto run = run_quelm_stat({"-c", "quote.conf", "-f", "empty.log", "-a", "-g"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(fs::exists(work / "gen.txt"));
}

TEST_F(hostile_catalogue, config_line_of_10000_characters_is_read_in_pieces)
{
    const std::string key = "OutputGenInfoFile = ";
    EXPECT_EQ(parse_config_text("[Output_Parameters]\n" + key + std::string(10000, 'a') + "\nPrintGenInfo = 1\n"),
              config_ok);
    ASSERT_TRUE(settings.OutputGenInfoFile.has_value());
    EXPECT_EQ(*settings.OutputGenInfoFile, std::string(2047 - key.size(), 'a'));
    EXPECT_EQ(settings.PrintGenInfo, 1);

    // A comment is a comment only in its first piece: the rest of a long
    // comment line is read like any line.
    EXPECT_EQ(parse_config_text("[Output_Parameters]\n#" + std::string(3000, 'c') + " PrintEnvInfo = 1\n"), config_ok);
    EXPECT_EQ(settings.PrintEnvInfo, 1);

    scratch_folder work;
    write_file(work / "long.conf", "[Output_Parameters]\nOutputOtherReportName = " + std::string(10000, 'n') + "\n");
    write_file(work / "empty.log", "");
    auto run = run_quelm_stat({"-c", "long.conf", "-f", "empty.log"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
}

// ---- report files -------------------------------------------------------

TEST_F(hostile_catalogue, report_path_is_cut_at_511_characters)
{
    scratch_folder work;
    write_file(work / "clean.log", clean_log);
    const std::string d(200, 'd'), e(200, 'e'), f(200, 'f');
    fs::create_directories(work / d / e / f);
    const std::string base = d + "/" + e + "/" + f;  // 602 characters
    auto run = run_quelm_stat({"-f", "clean.log", "-B", base, "-a", "-g", "-G", "gen.txt"}, work.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // The report lands at the first 511 characters of the path.
    EXPECT_FALSE(fs::exists(work / d / e / f / "gen.txt"));
    const fs::path cut = work / d / e / std::string(511 - 402, 'f');
    ASSERT_TRUE(fs::exists(cut));
    EXPECT_NE(read_file(cut).find("host: mx1"), std::string::npos);
}

TEST_F(hostile_catalogue, output_folder_missing_or_unwritable)
{
    scratch_folder work;
    write_file(work / "clean.log", clean_log);
    write_file(work / "plain_file", "");
    std::vector<std::string> folders = {"missing", "plain_file", "/proc"};
    if (geteuid() != 0) {  // root writes into any folder
        fs::create_directory(work / "locked");
        fs::permissions(work / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        folders.push_back("locked");
    }
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        auto run = run_quelm_stat({"-f", "clean.log", "-B", folder, "-g", "-G", "gen.html", "-e", "-E", "env.html", "-t",
                                   "-T", "tls.html"},
                                  work.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        // In print order: general information, TLS/SSL lines, envelopes.
        EXPECT_EQ(run.err, "ERROR: cannot open gen_info_out file!\n"
                           "ERROR: cannot open tls_msg_out file!\n"
                           "ERROR: cannot open env_pair_out file!\n");
    }
}

TEST_F(hostile_catalogue, full_disk_reports_the_failed_write)
{
    scratch_folder work;
    write_file(work / "clean.log", clean_log);
    const struct {
        std::vector<std::string> switches;
        const char* token;
    } reports[] = {
        {{"-g", "-G"}, "gen_info_out"},
        {{"-e", "-E"}, "env_pair_out"},
        {{"-t", "-T"}, "tls_msg_out"},
        {{"-i", "-I"}, "html_index_out"},
    };
    for (const auto& report : reports) {
        SCOPED_TRACE(report.token);
        std::vector<std::string> args = {"-f", "clean.log"};
        args.insert(args.end(), report.switches.begin(), report.switches.end());
        args.push_back("/dev/full");
        auto run = run_quelm_stat(args, work.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("ERROR: cannot write ") + report.token + " file!\n");
    }
}

}  // namespace
