// The dashboard's parts that no golden page shows (the goldens of
// tests/e2e/cases/dashboard_* pin the header, the hostile log's page and the
// links beside single-file HTML and ASCII reports): the markup escaping of any
// text, the value axis, the chart geometry, which build steps a dashboard
// adds, the top-table rows whatever order the statistics are in, the links of
// the other ways of writing the reports, and the page of an empty run.
#include "report/dashboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "report/report_format.h"
#include "report/svg_chart.h"
#include "stats/build_phase.h"
#include "tests/test_support.h"

namespace {

constexpr std::size_t npos = std::string::npos;

TEST(MarkupText, EscapesEveryMarkupCharacterAndReplacesWhatIsNotText)
{
    const struct { std::string in; std::size_t limit; std::string want; } rows[] = {
        {"<script>alert(1)</script>", npos, "&lt;script&gt;alert(1)&lt;/script&gt;"}, {"&amp;", npos, "&amp;amp;"},
        {"a\"b'c&d=e`f", npos, "a&quot;b&#39;c&amp;d=e`f"}, {"tab\there", npos, "tab here"},
        {std::string("nul\0x", 5), npos, "nul\uFFFDx"}, {"latin1 \xfc!", npos, "latin1 \uFFFD!"},
        {"cr\rlf\nesc\x1b del\x7f", npos, "cr\uFFFDlf\uFFFDesc\uFFFD del\uFFFD"},
        {"M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x93\xa7", npos, "M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x93\xa7"},
        {"cut \xe2\x82", npos, "cut \uFFFD\uFFFD"}, {"overlong \xc0\xbc", npos, "overlong \uFFFD\uFFFD"},
        {"overlong3 \xe0\x80\xbc", npos, "overlong3 \uFFFD\uFFFD\uFFFD"}, {"abcdef", 3, "abc\u2026"}, {"abc", 3, "abc"},
        {"surrogate \xed\xa0\x80", npos, "surrogate \uFFFD\uFFFD\uFFFD"}, {"c1 \xc2\x85 nbsp \xc2\xa0", npos, "c1 \uFFFD nbsp \xc2\xa0"},
        {"beyond \xf4\x90\x80\x80", npos, "beyond \uFFFD\uFFFD\uFFFD\uFFFD"}, {"<<<<", 2, "&lt;&lt;\u2026"},
        {"\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc", 2, "\xc3\xbc\xc3\xbc\u2026"},
    };
    for (const auto& r : rows) {
        std::string out;
        append_markup_text(out, r.in, r.limit);
        EXPECT_EQ(out, r.want) << r.in;
    }
}

TEST(ValueAxis, TopCoversTheLargestValueInFewRoundSteps)
{
    const struct { double largest, top, step; } rows[] = {{0, 1, 1}, {-5, 1, 1}, {0.3, 1, 1}, {4, 4, 1}, {5, 5, 1},
        {6, 6, 2}, {7, 8, 2}, {10, 10, 2}, {11, 15, 5}, {61, 80, 20}, {100, 100, 20}, {101, 150, 50}, {999, 1000, 200},
        {123456, 150000, 50000}};
    for (const auto& r : rows) {
        const axis_scale scale = value_axis(r.largest);
        EXPECT_EQ(scale.top, r.top) << r.largest;
        EXPECT_EQ(scale.step, r.step) << r.largest;
    }
}

// The numbers of one attribute of every <rect> of a class, in order.
std::vector<double> rects(const std::string& svg, const std::string& css_class, const std::string& attribute)
{
    std::vector<double> values;
    const std::regex rect("<rect class=\"" + css_class + "\"[^>]*? " + attribute + "=\"([0-9.]+)\"");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rect); it != std::sregex_iterator(); ++it)
        values.push_back(std::stod((*it)[1]));
    return values;
}

TEST(Charts, ColumnsAndBarsAreProportionalToTheValuesAndLongLabelsAreCut)
{
    // The legend's square first, then one column per category; the axis goes to 20.
    const std::string svg = column_chart_svg(
        {"Per hour", "desc", "Hour", "Messages", {"00", "01", "02"}, {{"In", {10, 5, 0}}, {"Out", {20, 0, 7}}}});
    EXPECT_EQ(rects(svg, "series-1", "height"), (std::vector<double>{12, 98, 49, 0}));
    EXPECT_EQ(rects(svg, "series-2", "height"), (std::vector<double>{12, 196, 0, 68.6}));  // 196: the plot's height
    for (const char* text : {"<title>Per hour</title>", "<desc>desc</desc>", "<title>01, Out: 0</title>", ">20</text>"})
        EXPECT_NE(svg.find(text), npos) << text;
    const std::string long_label(200, 'x');
    const std::string bars = bar_chart_svg({"Reasons", "d", "Reason", "Rejects", {"a", long_label}, {{"Rejects", {3, 6}}}});
    const std::vector<double> widths = rects(bars, "series-1", "width");
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[1], 2 * widths[0], 0.1);
    EXPECT_NE(bars.find(">" + std::string(80, 'x') + "\u2026</text>"), npos);
    EXPECT_NE(bars.find("<title>" + long_label + ": 6</title>"), npos) << "the tooltip keeps it whole";
}

TEST(DashboardBuildSteps, RunUnderTheirSwitchOrWhenTheDashboardReadsThem)
{
    // Steps in order: general, domains (envelopes, relays), envelopes, relays, ruleset and milter
    // rejects, the summaries (relays, recipients), messages/rejects. Which run with every switch off:
    const bool alone[] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, with_dashboard[] = {1, 1, 0, 1, 1, 1, 1, 0, 0, 0};
    const auto steps = build_steps();
    ASSERT_EQ(steps.size(), std::size(alone));
    program_settings none{}, dashboard{};
    dashboard.dashboard_file = "dashboard.html";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(step_runs(steps[i], none), alone[i]) << steps[i].phase_message;
        EXPECT_EQ(step_runs(steps[i], dashboard), with_dashboard[i]) << steps[i].phase_message;
        program_settings on{};
        if (steps[i].run_switch)
            on.*steps[i].run_switch = 1;
        EXPECT_TRUE(!steps[i].run_switch || step_runs(steps[i], on)) << steps[i].phase_message;
    }
}

// Reads a log where sender k (1..count) of `host` sends k messages, and builds every statistic.
void read_senders_log(int count, const std::string& host = "mx1")
{
    std::string log;
    for (int k = 1, id = 0; k <= count; ++k)
        for (int n = 0; n < k; ++n, ++id) {
            const std::string head = " " + host + " sm-mta[1]: q" + std::to_string(id) + ": ";
            log += "Dec  1 09:00:00" + head + "from=<s" + std::to_string(k) +
                   "@x.example>, size=10, class=0, nrcpts=1, proto=ESMTP, relay=r.example [192.0.2.1]\n";
            log += "Dec  1 09:00:01" + head + "to=<u@mx1.example>, delay=00:00:01, mailer=local, stat=Sent\n";
        }
    test_support::read_log_text(log);
    for (const build_step& step : build_steps())
        ASSERT_EQ(step.build(), 0) << step.phase_message;
}

std::string dashboard_page()
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_dashboard("", dashboard_run{12, 0, {}}), 0);
    return testing::internal::GetCapturedStdout();
}

TEST(DashboardPage, TopTablesShowTheTenLargestCountsWhateverTheTableOrder)
{
    read_senders_log(12);
    const std::string page = dashboard_page();
    std::size_t at = page.find("data-table=\"senders\"");
    for (int k = 12; k >= 3 && at != npos; --k)
        at = page.find("<td class=\"text\">s" + std::to_string(k) + "@x.example</td>", at);
    EXPECT_NE(at, npos) << "the ten largest, in order";
    EXPECT_EQ(page.find(">s2@x.example<"), npos) << "only ten rows";
    auto& senders = used_hosts().front().envelope.senders;
    std::reverse(senders.begin(), senders.end());
    EXPECT_EQ(dashboard_page(), page) << "the order of the statistics does not show";
    std::rotate(senders.begin(), senders.begin() + 5, senders.end());
    EXPECT_EQ(dashboard_page(), page);
}

// The ways of writing the reports that no golden shows, and the texts the page then has (+) or has not (-).
TEST(DashboardPage, LinksGoToTheDetailReportsWrittenInTheSameRun)
{
    using S = program_settings;
    const struct { const char* name; void (*set)(S&); const char* texts; } rows[] = {
        {"general report without the weekly tables", [](S& s) { s.PrintGenInfo = 1; s.OutputGenInfoFile = "gen.html"; },
         "+href=\"gen.html#mx1gen\" +href=\"gen.html#mx1dist\" +href=\"gen.html#mx1stat\" -#mx1week -rul.html"},
        {"switch without a file name", [](S& s) { s.PrintEnvInfo = 1; }, "-class=\"details\""},
        {"file name without the switch", [](S& s) { s.OutputEnvInfoFile = "env.html"; }, "-env.html"},
        {"split HTML: the view files", [](S& s) { s.SplitHtmlOutput = s.PrintEnvInfo = s.PrintRlrRejInfo = 1; s.OutputEnvInfoFile = "e.html"; },
         "+href=\"senders.html\" +href=\"rul.html#mx1rulcnt\" -e.html"},
        {"another split value writes no view", [](S& s) { s.SplitHtmlOutput = 2; s.PrintEnvInfo = 1; s.OutputEnvInfoFile = "e.html"; },
         "-e.html -senders.html"},
        {"milter report on standard output", [](S& s) { s.PrintMilRejInfo = 1; }, "-class=\"details\""},
        {"another output format", [](S& s) { s.OutputFormat = 2; s.PrintGenInfo = 1; s.OutputGenInfoFile = "gen.html"; },
         "-gen.html"},
    };
    read_senders_log(2);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        settings = program_settings{};
        settings.OutputEnvSendersByCount = "senders.html";  // used by the split rows, ignored by the others
        settings.OutputRlrRejInfoFile = "rul.html";
        r.set(settings);
        const std::string page = dashboard_page();
        std::istringstream words(r.texts);
        for (std::string text; words >> text;)
            EXPECT_EQ(page.find(text.substr(1)) != npos, text[0] == '+') << text;
    }
    settings = program_settings{};
}

TEST(DashboardPage, HostAndFileNamesWithMarkupStayTextAndInsideTheirLink)
{
    read_senders_log(2, "ev\"il<i>'&=`x");
    settings.PrintGenInfo = 1;
    settings.OutputGenInfoFile = "g\"><b>~.html";
    const std::string page = dashboard_page();
    settings = program_settings{};
    EXPECT_NE(page.find("<h2>ev&quot;il&lt;i&gt;&#39;&amp;=`x</h2>"), npos);
    EXPECT_NE(page.find("href=\"g%22%3E%3Cb%3E~.html#ev%22il%3Ci%3E%27%26%3D%60xgen\""), npos);
    EXPECT_EQ(page.find("<i>"), npos);
    EXPECT_EQ(page.find("<b>"), npos);
}

TEST(DashboardPage, AnEmptyRunSaysSo)
{
    read_senders_log(0);
    const std::string page = dashboard_page();
    EXPECT_NE(page.find("No log entries were read."), npos);
    EXPECT_NE(page.find("<span class=\"fact-value\">none</span>"), npos);
    EXPECT_EQ(page.find("<section"), npos);
}

}  // namespace
