// The HTML index over settings set by hand: every link of the single-file
// list and every view of the split list under its title, the page frame, the
// formats other than HTML, and the further-report line.
#include "report/html_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"

namespace {

// Each file-name setting gets its own key name as value, so a link shows
// which setting it was built from.
#define NAME_AFTER_KEY(key) settings.key = #key

void name_report_files()
{
    NAME_AFTER_KEY(OutputGenInfoFile);
    NAME_AFTER_KEY(OutputSumInfoRelaysFile);
    NAME_AFTER_KEY(OutputSumInfoRecipientsFile);
    NAME_AFTER_KEY(OutputEnvDomInfoFile);
    NAME_AFTER_KEY(OutputRelDomInfoFile);
    NAME_AFTER_KEY(OutputEnvInfoFile);
    NAME_AFTER_KEY(OutputRelInfoFile);
    NAME_AFTER_KEY(OutputMilRejInfoFile);
    NAME_AFTER_KEY(OutputRlrRejInfoFile);
    NAME_AFTER_KEY(OutputTlsMsgFile);
    NAME_AFTER_KEY(OutputNoActvMsgFile);
    NAME_AFTER_KEY(OutputUnkUserMsgFile);
    NAME_AFTER_KEY(OutputUnkMsgFile);
    NAME_AFTER_KEY(OutputOthMsgFile);
    NAME_AFTER_KEY(OutputMsgOutOfOrderFile);
    NAME_AFTER_KEY(OutputRulOutOfOrderFile);
    NAME_AFTER_KEY(OutputMilOutOfOrderFile);
    NAME_AFTER_KEY(OutputOldQuelmInfoFile);
    NAME_AFTER_KEY(OutputPop3InfoFile);
    NAME_AFTER_KEY(OutputImap4InfoFile);
    NAME_AFTER_KEY(OutputProcMailInfoFile);
    NAME_AFTER_KEY(OutputSpamHdrInfoFile);
    NAME_AFTER_KEY(OutputSpamStatInfoFile);
    NAME_AFTER_KEY(OutputVOLSKInfoFile);
    NAME_AFTER_KEY(OutputMsgFileInfoFile);
    NAME_AFTER_KEY(OutputMsgArcInfoFile);
    NAME_AFTER_KEY(OutputOtherReportFile);
}

void name_view_files()
{
    NAME_AFTER_KEY(OutputEnvDomByValueFile_Lvl_1);
    NAME_AFTER_KEY(OutputEnvDomByValueFile_Lvl_2);
    NAME_AFTER_KEY(OutputEnvDomByNameFile_Lvl_1);
    NAME_AFTER_KEY(OutputEnvDomByNameFile_Lvl_2);
    NAME_AFTER_KEY(OutputRelDomByValueFile_Lvl_1);
    NAME_AFTER_KEY(OutputRelDomByValueFile_Lvl_2);
    NAME_AFTER_KEY(OutputRelDomByNameFile_Lvl_1);
    NAME_AFTER_KEY(OutputRelDomByNameFile_Lvl_2);
    NAME_AFTER_KEY(OutputEnvPairsBySize);
    NAME_AFTER_KEY(OutputEnvPairsByCount);
    NAME_AFTER_KEY(OutputEnvPairsByVirusDom_Lvl_2);
    NAME_AFTER_KEY(OutputEnvPairsByVirusRelayAddr);
    NAME_AFTER_KEY(OutputEnvPairsByVirusRcptName);
    NAME_AFTER_KEY(OutputEnvPairsByRelayName);
    NAME_AFTER_KEY(OutputEnvPairsByRelayAddr);
    NAME_AFTER_KEY(OutputEnvPairsByRelayDom_Lvl_1);
    NAME_AFTER_KEY(OutputEnvPairsByRelayDom_Lvl_2);
    NAME_AFTER_KEY(OutputEnvPairsByDomFrom);
    NAME_AFTER_KEY(OutputEnvPairsByStatus);
    NAME_AFTER_KEY(OutputEnvPairsByTime);
    NAME_AFTER_KEY(OutputEnvPairsByRcptName);
    NAME_AFTER_KEY(OutputEnvPairsBySenderName);
    NAME_AFTER_KEY(OutputEnvSendersBySize);
    NAME_AFTER_KEY(OutputEnvSendersByCount);
    NAME_AFTER_KEY(OutputEnvRecipientsBySize);
    NAME_AFTER_KEY(OutputEnvRecipientsByCount);
    NAME_AFTER_KEY(OutputRelayPairsBySize);
    NAME_AFTER_KEY(OutputRelayPairsByCount);
    NAME_AFTER_KEY(OutputRelaySendersBySize);
    NAME_AFTER_KEY(OutputRelaySendersByCount);
    NAME_AFTER_KEY(OutputRelayRecipientsBySize);
    NAME_AFTER_KEY(OutputRelayRecipientsByCount);
    NAME_AFTER_KEY(OutputMilterRejectsBySize);
    NAME_AFTER_KEY(OutputMilterRejectsByCount);
    NAME_AFTER_KEY(OutputMilterRejectsByRcptName);
    NAME_AFTER_KEY(OutputMilterRejectsByName);
    NAME_AFTER_KEY(OutputMilterRejectsByTime);
    NAME_AFTER_KEY(OutputMilterRejectsByRelay);
    NAME_AFTER_KEY(OutputMilterRejectsByRelAddr);
    NAME_AFTER_KEY(OutputMilterRejectsByDomFrom);
    NAME_AFTER_KEY(OutputMilterRejectsByRelDom_Lvl_1);
    NAME_AFTER_KEY(OutputMilterRejectsByRelDom_Lvl_2);
    NAME_AFTER_KEY(OutputEnvRecipientsMilRejByName);
    NAME_AFTER_KEY(OutputEnvRecipientsMilRejByCount);
    NAME_AFTER_KEY(OutputMilterRejectsByReason);
    NAME_AFTER_KEY(OutputRejectsByReasonCount);
    NAME_AFTER_KEY(OutputRejectsByReasonName);
}

void switch_everything_on()
{
    for (int program_settings::*field :
         {&program_settings::PrintGenInfo, &program_settings::PrintSumInfoRelays,
          &program_settings::PrintSumInfoRecipients, &program_settings::PrintEnvDomInfo,
          &program_settings::PrintRelDomInfo, &program_settings::PrintEnvInfo, &program_settings::PrintRelInfo,
          &program_settings::PrintRlrRejInfo, &program_settings::PrintMilRejInfo, &program_settings::PrintTlsMsg,
          &program_settings::PrintNoActvMsg, &program_settings::PrintUnkMsg, &program_settings::PrintOthMsg,
          &program_settings::PrintUnkUserMsg, &program_settings::PrintMsgOutOfOrderInfo,
          &program_settings::PrintRulOutOfOrderInfo, &program_settings::PrintMilOutOfOrderInfo,
          &program_settings::PrintOtherReport, &program_settings::PrintOldQuelmInfo,
          &program_settings::PrintProcMailInfo, &program_settings::PrintPop3Info, &program_settings::PrintImap4Info,
          &program_settings::PrintSpamHdrInfo, &program_settings::PrintSpamStatInfo,
          &program_settings::PrintMsgFileInfo, &program_settings::PrintMsgArcInfo,
          &program_settings::PrintVOLSKInfo})
        settings.*field = 1;
    settings.OutputOtherReportName = "User statistics report";
}

class HtmlIndex : public testing::Test {
protected:
    void SetUp() override
    {
        settings = program_settings{};
        settings.body_color = "E9E5DF";
        settings.header_color = "CCCCCC";
        settings.page_heading = "Sendmail Log Analysis Report";
        char pattern[] = "/tmp/quelm_index_XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/index.html";
    }
    void TearDown() override
    {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
        settings = program_settings{};
    }

    std::string page(int format = FORMAT_HTML)
    {
        EXPECT_EQ(write_html_index(path_, format), 0);
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

    // The page between the index heading and the footer.
    std::string list()
    {
        std::string text = page();
        const std::string heading = "    <H2>Index</H2>\n";
        const std::string footer = "    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n";
        std::size_t start = text.find(heading);
        if (start == std::string::npos || text.size() < footer.size() ||
            text.compare(text.size() - footer.size(), footer.size(), footer) != 0) {
            ADD_FAILURE() << "not an index page:\n" << text;
            return {};
        }
        start += heading.size();
        return text.substr(start, text.size() - footer.size() - start);
    }

    std::string dir_;
    std::string path_;
};

TEST_F(HtmlIndex, WholePageWithoutList)
{
    const char* old_zone = std::getenv("TZ");
    std::string saved_zone = old_zone ? old_zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    report_time = 1796558400;  // Sun Dec  6 12:00:00 2026 UTC
    settings.SplitHtmlOutput = 2;
    switch_everything_on();
    name_report_files();
    std::string text = page();
    if (old_zone)
        setenv("TZ", saved_zone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(text,
              "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
              "<HTML>\n  <HEAD>\n"
              "    <META http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
              "    <META name=\"Generator\" content=\"QUELM_STAT version 1.2\">\n"
              "    <TITLE>sendmail log analysis report</TITLE>\n  </HEAD>\n\n"
              "  <BODY TEXT=\"#000000\" BGCOLOR=\"#E9E5DF\" LINK=\"#0000ff\" VLINK=\"#000080\" ALINK=\"#ff0000\">\n"
              "    <H1>Sendmail Log Analysis Report</H1>\n"
              "    <I>Generated at Sun Dec  6 12:00:00 2026 by QUELM_STAT, version 1.2</I>\n"
              "    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n"
              "    <A NAME=index></A>\n    <H2>Index</H2>\n"
              "    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n");
}

TEST_F(HtmlIndex, SingleFileListHasEveryReportInItsOrder)
{
    switch_everything_on();
    name_report_files();
    name_view_files();
    EXPECT_EQ(list(),
              "    <UL>\n"
              "      <LI><A HREF=\"OutputGenInfoFile\">General information</A></LI>\n"
              "      <LI><A HREF=\"OutputSumInfoRelaysFile\">Summary information (relays)</A></LI>\n"
              "      <LI><A HREF=\"OutputSumInfoRecipientsFile\">Summary information (recipients)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvDomInfoFile\">Domains information (addresses)</A></LI>\n"
              "      <LI><A HREF=\"OutputRelDomInfoFile\">Domains information (relays)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvInfoFile\">Envelopes information</A></LI>\n"
              "      <LI><A HREF=\"OutputRelInfoFile\">Relays information</A></LI>\n"
              "      <LI><A HREF=\"OutputMilRejInfoFile\">Milter rejects information</A></LI>\n"
              "      <LI><A HREF=\"OutputRlrRejInfoFile\">Ruleset rejects information</A></LI>\n"
              "      <LI><A HREF=\"OutputTlsMsgFile\">TLS/SSL logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputNoActvMsgFile\">Non-active clients logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputUnkUserMsgFile\">Unknown user logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputUnkMsgFile\">Unknown logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputOthMsgFile\">Other logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgOutOfOrderFile\">Out-of-order messages logging information</A></LI>\n"
              "      <LI><A HREF=\"OutputRulOutOfOrderFile\">Out-of-order ruleset rejects logging information</A></LI>\n"
              "      <LI><A HREF=\"OutputMilOutOfOrderFile\">Out-of-order milter rejects logging information</A></LI>\n"
              "      <LI><A HREF=\"OutputOldQuelmInfoFile\">QUELM information</A></LI>\n"
              "      <LI><A HREF=\"OutputPop3InfoFile\">POP3 information</A></LI>\n"
              "      <LI><A HREF=\"OutputImap4InfoFile\">IMAP4 information</A></LI>\n"
              "      <LI><A HREF=\"OutputProcMailInfoFile\">ProcMail information</A></LI>\n"
              "      <LI><A HREF=\"OutputSpamHdrInfoFile\">Spam Header information</A></LI>\n"
              "      <LI><A HREF=\"OutputSpamStatInfoFile\">Spam Processing Statistics information</A></LI>\n"
              "      <LI><A HREF=\"OutputVOLSKInfoFile\">VOLSK information</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgFileInfoFile\">Message files information</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgArcInfoFile\">Message headers information</A></LI>\n"
              "    </UL>\n");
}

TEST_F(HtmlIndex, SplitListHasEveryViewUnderItsTitle)
{
    settings.SplitHtmlOutput = 1;
    switch_everything_on();
    name_report_files();
    name_view_files();
    EXPECT_EQ(list(),
              "    <UL>\n"
              "      <LI><A HREF=\"OutputGenInfoFile\">General information</A></LI>\n"
              "      <LI><A HREF=\"OutputSumInfoRelaysFile\">Summary information (relays)</A></LI>\n"
              "      <LI><A HREF=\"OutputSumInfoRecipientsFile\">Summary information (recipients)</A></LI>\n"
              "      <H4>Domain information for messages/rejects (envelope from-addr/to-addr)</H4>\n"
              "      <LI><A HREF=\"OutputEnvDomByValueFile_Lvl_1\">Domains level-1 sorted by value</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvDomByNameFile_Lvl_1\">Domains level-1 sorted by name</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputEnvDomByValueFile_Lvl_2\">Domains level-2 sorted by value</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvDomByNameFile_Lvl_2\">Domains level-2 sorted by name</A></LI>\n"
              "      <H4>Domain information for messages/rejects (relays)</H4>\n"
              "      <LI><A HREF=\"OutputRelDomByValueFile_Lvl_1\">Domains level-1 sorted by value</A></LI>\n"
              "      <LI><A HREF=\"OutputRelDomByNameFile_Lvl_1\">Domains level-1 sorted by name</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputRelDomByValueFile_Lvl_2\">Domains level-2 sorted by value</A></LI>\n"
              "      <LI><A HREF=\"OutputRelDomByNameFile_Lvl_2\">Domains level-2 sorted by name</A></LI>\n"
              "      <H4>Envelope information for messages</H4>\n"
              "      <LI><A HREF=\"OutputEnvPairsBySize\">Envelope pairs sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByCount\">Envelope pairs sorted by count</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByDomFrom\">Envelope pairs sorted by envelope from-addr (domain level-1)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByStatus\">Envelope pairs sorted by status</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByTime\">Envelope pairs sorted by time</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByRcptName\">Envelope pairs sorted by recipient name</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsBySenderName\">Envelope pairs sorted by sender name</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByRelayName\">Envelope pairs sorted by relay (name)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByRelayAddr\">Envelope pairs sorted by relay (IP address)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByRelayDom_Lvl_1\">Envelope pairs sorted by relay (domain level-1)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByRelayDom_Lvl_2\">Envelope pairs sorted by relay (domain level-2)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByVirusDom_Lvl_2\">Envelope pairs sorted by relay (domain level-2), (virus messages only)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByVirusRelayAddr\">Envelope pairs sorted by relay (IP address), (virus messages only)</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvPairsByVirusRcptName\">Envelope pairs sorted by recipient name, (virus messages only)</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputEnvSendersBySize\">Envelope senders sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvSendersByCount\">Envelope senders sorted by count</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputEnvRecipientsBySize\">Envelope recipients sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvRecipientsByCount\">Envelope recipients sorted by count</A></LI>\n"
              "      <H4>Relay information for messages</H4>\n"
              "      <LI><A HREF=\"OutputRelayPairsBySize\">Relay pairs sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputRelayPairsByCount\">Relay pairs sorted by count</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputRelaySendersBySize\">Relay senders sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputRelaySendersByCount\">Relay senders sorted by count</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputRelayRecipientsBySize\">Relay recipients sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputRelayRecipientsByCount\">Relay recipients sorted by count</A></LI>\n"
              "      <H4>Milter information for rejects</H4>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByCount\">Milter rejects sorted by count</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsBySize\">Milter rejects sorted by size</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByTime\">Milter rejects sorted by time</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByRcptName\">Milter rejects sorted by recipient</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByRelay\">Milter rejects sorted by relay (name)</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByRelAddr\">Milter rejects sorted by relay (IP address)</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByRelDom_Lvl_1\">Milter rejects sorted by relay (domain level-1)</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByRelDom_Lvl_2\">Milter rejects sorted by relay (domain level-2)</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByName\">Milter rejects sorted by envelope from-addr (name)</A></LI>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByDomFrom\">Milter rejects sorted by envelope from-addr (domain level-1)</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputEnvRecipientsMilRejByName\">Milter rejects envelope recipients sorted by name</A></LI>\n"
              "      <LI><A HREF=\"OutputEnvRecipientsMilRejByCount\">Milter rejects envelope recipients sorted by count</A></LI>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"OutputMilterRejectsByReason\">Milter rejects sorted by reason</A></LI>\n"
              "      <LI><A HREF=\"OutputRejectsByReasonCount\">Milter rejects sorted by reason (summary, by count)</A></LI>\n"
              "      <LI><A HREF=\"OutputRejectsByReasonName\">Milter rejects sorted by reason (summary, by name)</A></LI>\n"
              "      <H4>Other information</H4>\n"
              "      <LI><A HREF=\"OutputRlrRejInfoFile\">Ruleset rejects information</A></LI>\n"
              "      <H4>Diagnostic information (for developer)</H4>\n"
              "      <LI><A HREF=\"OutputTlsMsgFile\">TLS/SSL logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputNoActvMsgFile\">Non-active clients logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputUnkUserMsgFile\">Unknown user logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputUnkMsgFile\">Unknown logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputOthMsgFile\">Other logging messages</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgOutOfOrderFile\">Out-of-order messages logging information</A></LI>\n"
              "      <LI><A HREF=\"OutputRulOutOfOrderFile\">Out-of-order ruleset rejects logging information</A></LI>\n"
              "      <LI><A HREF=\"OutputMilOutOfOrderFile\">Out-of-order milter rejects logging information</A></LI>\n"
              "      <H4>Links to other reports</H4>\n"
              "      <LI><A HREF=\"OutputOldQuelmInfoFile\">QUELM information</A></LI>\n"
              "      <LI><A HREF=\"OutputPop3InfoFile\">POP3 information</A></LI>\n"
              "      <LI><A HREF=\"OutputImap4InfoFile\">IMAP4 information</A></LI>\n"
              "      <LI><A HREF=\"OutputProcMailInfoFile\">ProcMail information</A></LI>\n"
              "      <LI><A HREF=\"OutputSpamHdrInfoFile\">Spam Header information</A></LI>\n"
              "      <LI><A HREF=\"OutputSpamStatInfoFile\">Spam Processing Statistics information</A></LI>\n"
              "      <LI><A HREF=\"OutputVOLSKInfoFile\">VOLSK information</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgFileInfoFile\">Message files information</A></LI>\n"
              "      <LI><A HREF=\"OutputMsgArcInfoFile\">Message headers information</A></LI>\n"
              "      <LI><A HREF=\"OutputOtherReportFile\">User statistics report</A></LI>\n"
              "    </UL>\n");
}

TEST_F(HtmlIndex, SplitListKeepsBreaksAndLeavesOutUnnamedViews)
{
    settings.SplitHtmlOutput = 1;
    settings.PrintRelInfo = 1;
    settings.OutputRelInfoFile = "relays.html";
    settings.OutputRelaySendersBySize = "senders.html";
    EXPECT_EQ(list(),
              "    <UL>\n"
              "      <H4>Relay information for messages</H4>\n"
              "      <BR>\n"
              "      <LI><A HREF=\"senders.html\">Relay senders sorted by size</A></LI>\n"
              "      <BR>\n"
              "      <H4>Other information</H4>\n"
              "      <H4>Diagnostic information (for developer)</H4>\n"
              "      <H4>Links to other reports</H4>\n"
              "    </UL>\n");
}

TEST_F(HtmlIndex, FurtherReportLineIsTextCutAt511Characters)
{
    settings.SplitHtmlOutput = 1;
    settings.PrintOtherReport = 1;
    settings.OutputOtherReportFile = "users.html";
    settings.OutputOtherReportName = "100% of %s users";
    EXPECT_EQ(list(),
              "    <UL>\n"
              "      <H4>Other information</H4>\n"
              "      <H4>Diagnostic information (for developer)</H4>\n"
              "      <H4>Links to other reports</H4>\n"
              "      <LI><A HREF=\"users.html\">100% of %s users</A></LI>\n"
              "    </UL>\n");

    settings.OutputOtherReportName = std::string(600, 'n');
    std::string line = "      <LI><A HREF=\"users.html\">" + std::string(600, 'n');
    line.resize(511);
    std::string text = list();
    EXPECT_NE(text.find("<H4>Links to other reports</H4>\n" + line + "    </UL>\n"), std::string::npos) << text;
}

TEST_F(HtmlIndex, FurtherReportNeedsItsSwitchAndFile)
{
    settings.SplitHtmlOutput = 1;
    settings.OutputOtherReportFile = "users.html";
    settings.OutputOtherReportName = "Users";
    EXPECT_EQ(list().find("users.html"), std::string::npos);
    settings.PrintOtherReport = 1;
    settings.OutputOtherReportFile.reset();
    EXPECT_EQ(list().find("Users"), std::string::npos);
}

TEST_F(HtmlIndex, OtherFormatsLeaveTheFileEmpty)
{
    switch_everything_on();
    name_report_files();
    EXPECT_EQ(page(FORMAT_ASCII), "");
    EXPECT_EQ(access(path_.c_str(), F_OK), 0) << "the file is still created";
    EXPECT_EQ(page(7), "");
    EXPECT_NE(page(FORMAT_HTML).find("General information"), std::string::npos);
}

TEST_F(HtmlIndex, OpenFailure)
{
    testing::internal::CaptureStderr();
    int result = write_html_index(dir_ + "/missing/index.html", FORMAT_HTML);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open html_index_out file!\n");
    EXPECT_EQ(result, 1);
}

}  // namespace
