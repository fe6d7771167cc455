// The dashboard's parts that a golden page cannot show: the markup escaping
// of log text, the value axis, the chart geometry, which build steps a
// dashboard adds, the choice and order of top-table rows whatever order the
// statistics are in, and the links to the detail reports for each way the
// reports are written.
#include "report/dashboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "report/report_format.h"
#include "report/svg_chart.h"
#include "stats/build_phase.h"
#include "util/text_util.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string markup(std::string_view text, std::size_t limit = std::string_view::npos)
{
    std::string out;
    append_markup_text(out, text, limit);
    return out;
}

TEST(MarkupText, EscapesEveryMarkupCharacterAndReplacesWhatIsNotText)
{
    struct row {
        std::string in;
        std::size_t limit;
        std::string want;
    };
    const std::size_t all = std::string_view::npos;
    const row rows[] = {
        {"plain text", all, "plain text"},
        {"<script>alert(1)</script>", all, "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a\"b'c&d=e`f", all, "a&quot;b&#39;c&amp;d=e`f"},
        {"&amp;", all, "&amp;amp;"},
        {"tab\there", all, "tab here"},
        {std::string("nul\0x", 5), all, "nul\uFFFDx"},
        {"cr\rlf\nesc\x1b del\x7f", all, "cr\uFFFDlf\uFFFDesc\uFFFD del\uFFFD"},
        {"M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x93\xa7", all, "M\xc3\xbcller \xe2\x82\xac \xf0\x9f\x93\xa7"},
        {"latin1 \xfc!", all, "latin1 \uFFFD!"},
        {"cut \xe2\x82", all, "cut \uFFFD\uFFFD"},
        {"overlong \xc0\xbc", all, "overlong \uFFFD\uFFFD"},
        {"overlong3 \xe0\x80\xbc", all, "overlong3 \uFFFD\uFFFD\uFFFD"},
        {"surrogate \xed\xa0\x80", all, "surrogate \uFFFD\uFFFD\uFFFD"},
        {"beyond \xf4\x90\x80\x80", all, "beyond \uFFFD\uFFFD\uFFFD\uFFFD"},
        {"c1 \xc2\x85 nbsp \xc2\xa0", all, "c1 \uFFFD nbsp \xc2\xa0"},
        {"abcdef", 3, "abc\u2026"},
        {"abc", 3, "abc"},
        {"\xc3\xbc\xc3\xbc\xc3\xbc\xc3\xbc", 2, "\xc3\xbc\xc3\xbc\u2026"},
        {"<<<<", 2, "&lt;&lt;\u2026"},
        {"", all, ""},
    };
    for (const row& r : rows)
        EXPECT_EQ(markup(r.in, r.limit), r.want) << r.in;
}

TEST(ValueAxis, TopCoversTheLargestValueInFewRoundSteps)
{
    struct row {
        double largest, top, step;
    };
    const row rows[] = {
        {0, 1, 1},     {-5, 1, 1},    {0.3, 1, 1},   {1, 1, 1},       {4, 4, 1},         {5, 5, 1},
        {6, 6, 2},     {7, 8, 2},     {10, 10, 2},   {11, 15, 5},     {61, 80, 20},      {100, 100, 20},
        {101, 150, 50}, {999, 1000, 200}, {123456, 150000, 50000},
    };
    for (const row& r : rows) {
        const axis_scale scale = value_axis(r.largest);
        EXPECT_EQ(scale.top, r.top) << r.largest;
        EXPECT_EQ(scale.step, r.step) << r.largest;
        EXPECT_LE(scale.top / scale.step, 6) << r.largest;
    }
}

// The numbers of one attribute of every <rect> of a class, in order.
std::vector<double> rect_attributes(const std::string& svg, const std::string& css_class, const std::string& attribute)
{
    std::vector<double> values;
    const std::regex rect("<rect class=\"" + css_class + "\"[^>]*? " + attribute + "=\"([0-9.]+)\"");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), rect); it != std::sregex_iterator(); ++it)
        values.push_back(std::stod((*it)[1]));
    return values;
}

TEST(Charts, ColumnHeightsAreProportionalToTheValuesAndEverySeriesHasItsColumns)
{
    const chart_data chart{"Per hour", "desc", "Hour", "Messages", {"00", "01", "02"},
                           {{"In", {10, 5, 0}}, {"Out", {20, 0, 7}}}};
    const std::string svg = column_chart_svg(chart);
    // Legend square first, then one column per category; the axis goes to 20.
    const std::vector<double> in = rect_attributes(svg, "series-1", "height");
    const std::vector<double> out = rect_attributes(svg, "series-2", "height");
    ASSERT_EQ(in.size(), 4u);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_DOUBLE_EQ(out[1], 196.0);  // the plot's full height
    EXPECT_DOUBLE_EQ(in[1], 98.0);
    EXPECT_DOUBLE_EQ(in[2], 49.0);
    EXPECT_DOUBLE_EQ(in[3], 0.0);
    EXPECT_NEAR(out[3], 196.0 * 7 / 20, 0.05);
    EXPECT_NE(svg.find("<title>Per hour</title>"), std::string::npos);
    EXPECT_NE(svg.find("<desc>desc</desc>"), std::string::npos);
    EXPECT_NE(svg.find("<title>01, Out: 0</title>"), std::string::npos);
    EXPECT_NE(svg.find(">20</text>"), std::string::npos) << "the top tick";
}

TEST(Charts, BarWidthsAreProportionalAndLongLabelsAreCut)
{
    const std::string long_label(200, 'x');
    const chart_data chart{"Reasons", "d", "Reason", "Rejects", {"a", long_label}, {{"Rejects", {3, 6}}}};
    const std::string svg = bar_chart_svg(chart);
    const std::vector<double> widths = rect_attributes(svg, "series-1", "width");
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NEAR(widths[1], 2 * widths[0], 0.1);
    EXPECT_NE(svg.find(">" + std::string(80, 'x') + "\u2026</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>" + long_label + ": 6</title>"), std::string::npos) << "the tooltip keeps it whole";
}

// ---- build steps -----------------------------------------------------------------

TEST(DashboardBuildSteps, RunUnderTheirSwitchOrWhenTheDashboardReadsThem)
{
    struct row {
        const char* phase;
        bool alone;           // runs with every switch off, no dashboard
        bool with_dashboard;  // runs with every switch off and a dashboard
    };
    const row rows[] = {
        {"Build general information", true, true},
        {"Build domains information (envelopes)", false, true},
        {"Build domains information (relays)", false, false},
        {"Build envelope senders/recipients information", false, true},
        {"Build relays information", false, true},
        {"Build ruleset rejects information", false, true},
        {"Build milter rejects information", false, true},
        {"Build summary information (relays)", false, false},
        {"Build summary information (recipients)", false, false},
        {"Build messages/rejects statistics", false, false},
    };
    const auto steps = build_steps();
    ASSERT_EQ(steps.size(), std::size(rows));
    program_settings none{};
    program_settings dashboard{};
    dashboard.dashboard_file = "dashboard.html";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_STREQ(steps[i].phase_message, rows[i].phase);
        EXPECT_EQ(step_runs(steps[i], none), rows[i].alone) << rows[i].phase;
        EXPECT_EQ(step_runs(steps[i], dashboard), rows[i].with_dashboard) << rows[i].phase;
        if (steps[i].run_switch) {
            program_settings on{};
            on.*steps[i].run_switch = 1;
            EXPECT_TRUE(step_runs(steps[i], on)) << rows[i].phase;
        }
    }
}

// ---- the page --------------------------------------------------------------------

// A log where sender k (1..count) of `host` sends k messages to one recipient.
std::string senders_log(int count, const std::string& host = "mx1")
{
    std::string log;
    int id = 0;
    for (int k = 1; k <= count; ++k) {
        for (int n = 0; n < k; ++n, ++id) {
            std::string queue = "q";
            queue += std::to_string(id);
            log += "Dec  1 09:00:00 " + host + " sm-mta[1]: " + queue + ": from=<s" + std::to_string(k) +
                   "@x.example>, size=10, class=0, nrcpts=1, proto=ESMTP, relay=r.example [192.0.2.1]\n";
            log += "Dec  1 09:00:01 " + host + " sm-mta[1]: " + queue +
                   ": to=<u@mx1.example>, delay=00:00:01, mailer=local, stat=Sent\n";
        }
    }
    return log;
}

void build_everything()
{
    for (const build_step& step : build_steps())
        ASSERT_EQ(step.build(), 0) << step.phase_message;
}

std::string dashboard_page(unsigned long outside_window = 0)
{
    const fs::path path = fs::temp_directory_path() / ("quelm_dashboard_test_" + std::to_string(::getpid()) + ".html");
    dashboard_run run;
    run.lines_read = 12;
    run.lines_outside_window = outside_window;
    EXPECT_EQ(write_dashboard(path.string(), run), 0);
    std::string page = test_support::read_file(path);
    fs::remove(path);
    return page;
}

// The text cells of the first column of a top table, in order.
std::vector<std::string> first_column(const std::string& page, const std::string& table)
{
    const std::size_t start = page.find("data-table=\"" + table + "\"");
    const std::size_t end = page.find("</table>", start);
    EXPECT_NE(start, std::string::npos) << table;
    const std::string body = page.substr(start, end - start);
    std::vector<std::string> names;
    const std::regex cell("<tr><td class=\"num\">[0-9]+</td><td class=\"text\">([^<]*)</td>");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), cell); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}

TEST(DashboardPage, TopTablesShowTheTenLargestCountsWhateverTheTableOrder)
{
    test_support::read_log_text(senders_log(12));
    build_everything();
    const std::vector<std::string> want = {"s12@x.example", "s11@x.example", "s10@x.example", "s9@x.example",
                                           "s8@x.example",  "s7@x.example",  "s6@x.example",  "s5@x.example",
                                           "s4@x.example",  "s3@x.example"};
    const std::string page = dashboard_page();
    EXPECT_EQ(first_column(page, "senders"), want);
    host_info& host = used_hosts().front();
    std::reverse(host.envelope.senders.begin(), host.envelope.senders.end());
    EXPECT_EQ(dashboard_page(), page) << "the order of the statistics does not show";
    std::rotate(host.envelope.senders.begin(), host.envelope.senders.begin() + 5, host.envelope.senders.end());
    EXPECT_EQ(dashboard_page(), page);
}

// Each way of writing the reports, and the links the page then has.
TEST(DashboardPage, LinksGoToTheDetailReportsWrittenInTheSameRun)
{
    using S = program_settings;
    struct row {
        const char* name;
        std::function<void(S&)> set;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const row rows[] = {
        {"no report", [](S&) {}, {}, {"class=\"details\""}},
        {"general report",
         [](S& s) {
             s.PrintGenInfo = 1;
             s.OutputGenInfoFile = "general.html";
         },
         {"href=\"general.html#mx1gen\"", "href=\"general.html#mx1dist\"", "href=\"general.html#mx1stat\""},
         {"#mx1week"}},
        {"general report with the weekly tables",
         [](S& s) {
             s.PrintGenInfo = 1;
             s.print_weekly = 1;
             s.OutputGenInfoFile = "general.html";
         },
         {"href=\"general.html#mx1week\""},
         {}},
        {"switch without a file name",
         [](S& s) { s.PrintEnvInfo = 1; },
         {},
         {"class=\"details\""}},
        {"file name without the switch",
         [](S& s) { s.OutputEnvInfoFile = "env.html"; },
         {},
         {"env.html"}},
        {"single-file HTML",
         [](S& s) {
             s.PrintEnvInfo = s.PrintRelInfo = s.PrintEnvDomInfo = s.PrintRlrRejInfo = s.PrintMilRejInfo = 1;
             s.OutputEnvInfoFile = "env.html";
             s.OutputRelInfoFile = "rel.html";
             s.OutputEnvDomInfoFile = "dom.html";
             s.OutputRlrRejInfoFile = "rul.html";
             s.OutputMilRejInfoFile = "mil.html";
         },
         {"href=\"env.html#mx1sndcnt\"", "href=\"env.html#mx1rcvcnt\"", "href=\"rel.html#mx1sndcnt\"",
          "href=\"dom.html#mx1domL2nam\"", "href=\"rul.html#mx1rulcnt\"", "href=\"mil.html#mx1milrelrsnnam\""},
         {}},
        {"ASCII: the files without anchors",
         [](S& s) {
             s.OutputFormat = 0;
             s.PrintEnvInfo = s.PrintGenInfo = 1;
             s.OutputEnvInfoFile = "env.txt";
             s.OutputGenInfoFile = "gen.txt";
         },
         {"href=\"env.txt\"", "href=\"gen.txt\""},
         {"#mx1"}},
        {"split HTML: the view files",
         [](S& s) {
             s.SplitHtmlOutput = 1;
             s.PrintEnvInfo = s.PrintRlrRejInfo = 1;
             s.OutputEnvInfoFile = "env.html";
             s.OutputEnvSendersByCount = "senders.html";
             s.OutputRlrRejInfoFile = "rul.html";
         },
         {"href=\"senders.html\"", "href=\"rul.html#mx1rulcnt\""},
         {"env.html"}},
        {"another split value writes no view",
         [](S& s) {
             s.SplitHtmlOutput = 2;
             s.PrintEnvInfo = 1;
             s.OutputEnvInfoFile = "env.html";
             s.OutputEnvSendersByCount = "senders.html";
         },
         {},
         {"env.html", "senders.html"}},
        {"milter report on standard output",
         [](S& s) { s.PrintMilRejInfo = 1; },
         {},
         {"class=\"details\""}},
        {"another output format",
         [](S& s) {
             s.OutputFormat = 2;
             s.PrintGenInfo = 1;
             s.OutputGenInfoFile = "general.html";
         },
         {},
         {"general.html"}},
        {"a file name with markup",
         [](S& s) {
             s.PrintGenInfo = 1;
             s.OutputGenInfoFile = "g\"><b>.html";
         },
         {"href=\"g%22%3E%3Cb%3E.html#mx1gen\""},
         {"<b>"}},
    };
    test_support::read_log_text(senders_log(2));
    build_everything();
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        settings = program_settings{};
        r.set(settings);
        const std::string page = dashboard_page();
        for (const std::string& text : r.present)
            EXPECT_NE(page.find(text), std::string::npos) << text;
        for (const std::string& text : r.absent)
            EXPECT_EQ(page.find(text), std::string::npos) << text;
    }
    settings = program_settings{};
}

TEST(DashboardPage, AHostNameWithMarkupStaysTextAndInsideItsLink)
{
    test_support::read_log_text(senders_log(2, "ev\"il<i>'&=`x"));
    build_everything();
    settings.PrintGenInfo = 1;
    settings.OutputGenInfoFile = "general.html";
    const std::string page = dashboard_page();
    settings = program_settings{};
    EXPECT_NE(page.find("<h2>ev&quot;il&lt;i&gt;&#39;&amp;=`x</h2>"), std::string::npos);
    EXPECT_NE(page.find("href=\"general.html#ev%22il%3Ci%3E%27%26%3D%60xgen\""), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
}

TEST(DashboardPage, TheHeaderShowsTheRunAndTheTimeWindowWhenSet)
{
    test_support::read_log_text(senders_log(1));
    build_everything();
    std::string page = dashboard_page();
    EXPECT_NE(page.find("<span class=\"fact-label\">Lines read</span> <span class=\"fact-value\">12</span>"),
              std::string::npos);
    EXPECT_NE(page.find("<span class=\"fact-value\">standard input</span>"), std::string::npos);
    EXPECT_EQ(page.find("Time window"), std::string::npos);
    settings.window_start = 0;
    settings.window_end = 86400;
    page = dashboard_page(3);
    settings = program_settings{};
    const std::string from = time_text(0), to = time_text(86400);
    EXPECT_NE(page.find("Time window</span> <span class=\"fact-value\">" + from + " to " + to + "; 3 lines outside</span>"),
              std::string::npos);
}

TEST(DashboardPage, AnEmptyRunSaysSo)
{
    test_support::read_log_text("");
    build_everything();
    const std::string page = dashboard_page();
    EXPECT_NE(page.find("No log entries were read."), std::string::npos);
    EXPECT_NE(page.find("<span class=\"fact-value\">none</span>"), std::string::npos);
    EXPECT_EQ(page.find("<section"), std::string::npos);
}

}  // namespace
