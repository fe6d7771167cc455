// The ruleset reject report over tables filled by hand: the ASCII lists
// (absent texts, the order left behind), the HTML table (escaping, a reason
// too long for its cell, relay with and without address), and the files the
// formats create. The records are the test's own, so trusted.
#include "report/ruleset_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "model/host_info.h"

namespace {

class scratch_file {
public:
    scratch_file()
    {
        char pattern[] = "/tmp/quelm_rulrej_XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/rul.txt";
    }
    ~scratch_file()
    {
        unlink(path_.c_str());
        rmdir(dir_.c_str());
    }
    const std::string& path() const { return path_; }
    bool exists() const { return access(path_.c_str(), F_OK) == 0; }
    std::string text() const
    {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    std::string dir_;
    std::string path_;
};

ruleset_reject_stat reject(std::uint32_t count, double size, const char* from, const char* relay, const char* ip,
                           const char* reason)
{
    return ruleset_reject_stat{count, size, from, nullptr, reason, relay, ip, 0};
}

const std::string long_reason(600, 'x');

host_info& fill_host()
{
    settings = program_settings{};
    settings.header_color = "CCCCCC";
    clear_host_table();
    host_info& h = *find_or_add_host("mx1");
    h.ruleset.rejects = {reject(1, 0, "a@example.org", "in.example.org", "192.0.2.1", "550 <a@example.org>... denied"),
                     reject(4, 2500, nullptr, nullptr, nullptr, "553 no"),
                     reject(4, 1234567, "b@example.org", "[192.0.2.9]", nullptr, long_reason.c_str())};
    h.ruleset.refs = 9;
    h.ruleset.size = 1237067;
    return h;
}

TEST(RulesetReport, AsciiPrintsUnsortedThenByCount)
{
    host_info& h = fill_host();
    h.ruleset.rejects[2].reason = "x";
    scratch_file file;
    ASSERT_EQ(write_ruleset_report(file.path(), FORMAT_ASCII), 0);
    EXPECT_EQ(file.text(),
              "host: mx1\n"
              "ruleset rejects count: 3\n"
              "ruleset rejects count (ref): 9\n"
              "ruleset rejects size (esmtp): 1237067\n"
              "\n"
              "<<< Unsorted list of ruleset rejects >>>\n"
              "from='a@example.org','in.example.org','192.0.2.1'  size=0 count=1 "
              "reason='550 <a@example.org>... denied'\n"
              "from='(null)','(null)','(null)'  size=2500 count=4 reason='553 no'\n"
              "from='b@example.org','[192.0.2.9]','(null)'  size=1234567 count=4 reason='x'\n"
              "\n"
              "<<< Sorted list of ruleset rejects by count >>>\n"
              "from='(null)','(null)','(null)'  size=2500 count=4 reason='553 no'\n"
              "from='b@example.org','[192.0.2.9]','(null)'  size=1234567 count=4 reason='x'\n"
              "from='a@example.org','in.example.org','192.0.2.1'  size=0 count=1 "
              "reason='550 <a@example.org>... denied'\n"
              "\n");
    EXPECT_EQ(h.ruleset.rejects[2].count, 1u) << "the table stays sorted by count";
}

TEST(RulesetReport, AsciiHostWithoutRejectsShowsZerosAndTwoHeaders)
{
    settings = program_settings{};
    settings.header_color = "CCCCCC";
    clear_host_table();
    find_or_add_host("mx1");
    scratch_file file;
    ASSERT_EQ(write_ruleset_report(file.path(), FORMAT_ASCII), 0);
    EXPECT_EQ(file.text(),
              "host: mx1\nruleset rejects count: 0\nruleset rejects count (ref): 0\nruleset rejects size (esmtp): 0\n\n"
              "<<< Unsorted list of ruleset rejects >>>\n\n<<< Sorted list of ruleset rejects by count >>>\n\n");
}

TEST(RulesetReport, HtmlTableEscapesAndEmptiesARefusedReason)
{
    fill_host();
    scratch_file file;
    ASSERT_EQ(write_ruleset_report(file.path(), FORMAT_HTML), 0);
    std::string text = file.text();
    std::size_t start = text.find("    <A NAME=mx1rulcnt></A>\n");
    ASSERT_NE(start, std::string::npos);
    std::size_t end = text.find("    [<A HREF=\"#index\">Index</A>]\n    [<A HREF=\"#mx1\">mx1</A>]\n\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(text.substr(start, end - start),
              "    <A NAME=mx1rulcnt></A>\n"
              "    <TABLE BORDER=1>\n      <TR>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Num</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Address-From</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Relay</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Msgs</TD>\n"
              "        <TD ALIGN=center BGCOLOR=\"#CCCCCC\">Size</TD>\n"
              "        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Reject Reason</TD>\n"
              "      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>1</TD>\n"
              "        <TD ALIGN=left></TD>\n"
              "        <TD ALIGN=left></TD>\n"
              "        <TD ALIGN=center>4</TD>\n"
              "        <TD ALIGN=center>2 500</TD>\n"
              "        <TD ALIGN=left>553 no</TD>\n"
              "      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>2</TD>\n"
              "        <TD ALIGN=left>b@example.org</TD>\n"
              "        <TD ALIGN=left>[192.0.2.9]</TD>\n"
              "        <TD ALIGN=center>4</TD>\n"
              "        <TD ALIGN=center>1 234 567</TD>\n"
              "        <TD ALIGN=left></TD>\n"
              "      </TR>\n"
              "      <TR>\n        <TD ALIGN=center>3</TD>\n"
              "        <TD ALIGN=left>a@example.org</TD>\n"
              "        <TD ALIGN=left>in.example.org [192.0.2.1]</TD>\n"
              "        <TD ALIGN=center>1</TD>\n"
              "        <TD ALIGN=center>0</TD>\n"
              "        <TD ALIGN=left>550 &lt;a@example.org&gt;... denied</TD>\n"
              "      </TR>\n"
              "    </TABLE><P>\n");
}

TEST(RulesetReport, HtmlHasOneSectionPerHostAndNoRuleBetweenHosts)
{
    fill_host();
    find_or_add_host("mx2");
    scratch_file file;
    ASSERT_EQ(write_ruleset_report(file.path(), FORMAT_HTML), 0);
    std::string text = file.text();
    EXPECT_NE(text.find("    <A NAME=index></A>\n    <H2>Index</H2>\n"
                        "    <A HREF=\"#mx1\">mx1</A><BR>\n    <UL>\n"
                        "      <LI><A HREF=\"#mx1rulcnt\">Ruleset rejects sorted by count</A></LI>\n    </UL>\n"
                        "    <A HREF=\"#mx2\">mx2</A><BR>\n    <UL>\n"
                        "      <LI><A HREF=\"#mx2rulcnt\">Ruleset rejects sorted by count</A></LI>\n    </UL>\n"
                        "    <BR><HR ALIGN=left NOSHADE WIDTH=\"80%\">\n\n"
                        "    <A NAME=mx1></A>\n    <H3>mx1 (3 ruleset rejects sorted by count)</H3>\n"
                        "    <A NAME=mx1rulcnt></A>\n"),
              std::string::npos);
    EXPECT_NE(text.find("    [<A HREF=\"#index\">Index</A>]\n    [<A HREF=\"#mx1\">mx1</A>]\n\n"
                        "    <A NAME=mx2></A>\n    <H3>mx2 (0 ruleset rejects sorted by count)</H3>\n"
                        "    <A NAME=mx2rulcnt></A>\n"),
              std::string::npos);
    EXPECT_NE(text.find("        <TD ALIGN=left BGCOLOR=\"#CCCCCC\">Reject Reason</TD>\n      </TR>\n    </TABLE><P>\n"
                        "    [<A HREF=\"#index\">Index</A>]\n    [<A HREF=\"#mx2\">mx2</A>]\n\n"
                        "    <P><HR ALIGN=left NOSHADE WIDTH=\"90%\">\n\n  </BODY>\n</HTML>\n"),
              std::string::npos);
    EXPECT_EQ(text.find("<BR><HR ALIGN=left NOSHADE WIDTH=\"90%\">"), std::string::npos);
}

TEST(RulesetReport, OtherFormatsOpenNothing)
{
    fill_host();
    scratch_file file;
    EXPECT_EQ(write_ruleset_report(file.path(), 2), 0);
    EXPECT_FALSE(file.exists());
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_ruleset_report("/nonexistent/dir/rul.html", -1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(RulesetReport, FileThatCannotBeOpenedGivesOne)
{
    fill_host();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_ruleset_report("/nonexistent/dir/rul.html", FORMAT_ASCII), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open rul_rej_out file!\n");
}

}  // namespace
