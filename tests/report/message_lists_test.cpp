// The ASCII form of every message list report over one small log, and the
// writer contract they share: the open-failure token of each report and the
// empty file for an unknown format.
#include "report/message_lists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "report/report_writer.h"
#include "tests/test_support.h"

namespace {

using writer = int (*)(const std::string&, int);

const char* const two_host_log =
    "Dec  1 10:00:00 mx1 sm-mta[1]: STARTTLS=server, relay=a.example.org, version=TLSv1.3\n"
    "Dec  1 10:00:01 mx1 sm-mta[1]: unexpected close on connection: reset by <peer>\n"
    "Dec  1 10:00:02 mx1 sm-mta[1]: Q1: ruleset=check_mail, arg1=<a@b>, reject=553 no\n"
    "Dec  1 10:00:03 mx1 sm-mta[1]: Q2: Milter: to=<c@d>, reject=550 spam\n"
    "Dec  1 10:00:04 mx1 sm-mta[1]: Q3: to=<e@f.example>, stat=Sent\n"
    "Dec  1 10:00:05 mx1 sm-mta[1]: Q4: from=<g@h.example>, size=5, relay=x.example [192.0.2.1]\n"
    "Dec  1 10:00:06 mx1 sm-mta[1]: Q5: host.example [192.0.2.5] did not issue MAIL during connection to MTA\n"
    "Dec  1 10:00:07 mx1 sm-mta[1]: Q6: <u@v>... User unknown\n"
    "Dec  1 10:00:08 mx1 sm-mta[1]: Q7: collect: premature EOM\n"
    "Dec  1 10:00:09 mx2 sm-mta[2]: Q8: to=<i@j.example>, stat=Sent\n";

// A path in a fresh temporary directory, removed with the object.
class scratch_file {
public:
    scratch_file()
    {
        char pattern[] = "/tmp/quelm_lists_XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/report";
    }
    ~scratch_file()
    {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string text() const
    {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool exists() const { return access(path_.c_str(), F_OK) == 0; }

private:
    std::string dir_;
    std::string path_;
};

struct ascii_case {
    const char* name;
    writer write;
    const char* want;
};

const ascii_case ascii_cases[] = {
    {"tls", write_tls_messages,
     "host: mx1\ntls messages: 1\n\n"
     "Dec  1 10:00:00 mx1 sm-mta[1]: STARTTLS=server, relay=a.example.org, version=TLSv1.3\n\n"
     "host: mx2\ntls messages: 0\n\n\n"},
    {"unknown", write_unknown_messages,
     "host: mx1\nunknown messages: 1\n\n"
     "Dec  1 10:00:01 mx1 sm-mta[1]: unexpected close on connection: reset by <peer>\n\n"
     "host: mx2\nunknown messages: 0\n\n\n"},
    {"non-active", write_no_action_messages,
     "host: mx1\nnon-active messages: 1\n\n"
     "host.example  did not issue MAIL during connection to MTA\n\n"
     "host: mx2\nnon-active messages: 0\n\n\n"},
    {"other", write_other_messages,
     "host: mx1\nother messages: 1\n\n"
     "Tue Dec  1 10:00:08 2026 : Q7 : collect: premature EOM\n\n"
     "host: mx2\nother messages: 0\n\n\n"},
    {"unknown user", write_unknown_user_messages,
     "host: mx1\nunknown user messages: 1\n\n"
     "Tue Dec  1 10:00:07 2026 : Q6 : <u@v>... User unknown\n\n"
     "host: mx2\nunknown user messages: 0\n\n\n"},
    {"milter", write_milter_out_of_order,
     "host: mx1\nout-of-order milter/rejects messages : 1\n\n"
     "Tue Dec  1 10:00:03 2026 : Q2 : Milter: to=<c@d>, reject=550 spam\n\n"
     "host: mx2\nout-of-order milter/rejects messages : 0\n\n\n"},
    {"ruleset", write_ruleset_out_of_order,
     "host: mx1\nout-of-order ruleset/rejects messages : 1\n\n"
     "Tue Dec  1 10:00:02 2026 : Q1 : ruleset=check_mail, arg1=<a@b>, reject=553 no\n\n"
     "host: mx2\nout-of-order ruleset/rejects messages : 0\n\n\n"},
    {"from/to", write_messages_out_of_order,
     "host: mx1\nout-of-order from/to messages : 1 1\n\n"
     "Tue Dec  1 10:00:05 2026 : Q4 : from=<g@h.example>, size=5, relay=x.example [192.0.2.1]\n"
     "Tue Dec  1 10:00:04 2026 : Q3 : to=<e@f.example>, stat=Sent\n\n"
     "host: mx2\nout-of-order from/to messages : 0 1\n\n"
     "Tue Dec  1 10:00:09 2026 : Q8 : to=<i@j.example>, stat=Sent\n\n"},
};

TEST(MessageLists, AsciiFormOfEveryReport)
{
    ASSERT_EQ(test_support::read_log_text(two_host_log), "");
    for (const ascii_case& c : ascii_cases) {
        scratch_file file;
        EXPECT_EQ(c.write(file.path(), FORMAT_ASCII), 0) << c.name;
        EXPECT_EQ(file.text(), c.want) << c.name;
    }
}

TEST(MessageLists, AsciiPrintsNoTextsUnescaped)
{
    ASSERT_EQ(test_support::read_log_text("Dec  1 10:00:00 mx1 sm-mta[1]: Q1: odd <b>&amp; line\n"), "");
    scratch_file file;
    ASSERT_EQ(write_other_messages(file.path(), FORMAT_ASCII), 0);
    EXPECT_NE(file.text().find(" : Q1 : odd <b>&amp; line\n"), std::string::npos) << file.text();
}

struct token_case {
    writer write;
    const char* message;
};

const token_case token_cases[] = {
    {write_tls_messages, "ERROR: cannot open tls_msg_out file!\n"},
    {write_unknown_messages, "ERROR: cannot open unk_msg_out file!\n"},
    {write_no_action_messages, "ERROR: cannot open no_actv_msg_out file!\n"},
    {write_other_messages, "ERROR: cannot open oth_msg_out file!\n"},
    {write_unknown_user_messages, "ERROR: cannot open unk_user_msg_out file!\n"},
    {write_milter_out_of_order, "ERROR: cannot open mil_out_of_order_msg_out file!\n"},
    {write_ruleset_out_of_order, "ERROR: cannot open rul_out_of_order_msg_out file!\n"},
    {write_messages_out_of_order, "ERROR: cannot open msg_out_of_order_msg_out file!\n"},
};

TEST(MessageLists, OpenFailureNamesTheReportAndReturnsOne)
{
    ASSERT_EQ(test_support::read_log_text(two_host_log), "");
    for (const token_case& c : token_cases) {
        testing::internal::CaptureStderr();
        int result = c.write("/nonexistent/dir/list.html", FORMAT_HTML);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(result, 1) << c.message;
    }
}

TEST(MessageLists, UnknownFormatLeavesAnEmptyFile)
{
    ASSERT_EQ(test_support::read_log_text(two_host_log), "");
    for (const token_case& c : token_cases) {
        scratch_file file;
        EXPECT_EQ(c.write(file.path(), 2), 0) << c.message;
        EXPECT_TRUE(file.exists()) << c.message;
        EXPECT_EQ(file.text(), "") << c.message;
    }
}

}  // namespace
