// The status table's sort against the neighbour-exchange passes it stands for, and the
// double precision of the rejection shares (a rounding no log shows).
#include "report/general_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "driver/settings.h"
#include "report/report_writer.h"
#include "stats/general_stats.h"
#include "stats/sort_engine.h"

namespace {

using payload = std::pair<std::uint32_t, std::string>;

// The neighbour-exchange passes over a plain array: pass p walks from the
// last element towards the first with n - p comparisons, moving an element
// before its predecessor when its count is larger.
std::vector<payload> reference_order(std::vector<payload> v)
{
    for (std::size_t pass = 1; pass < v.size(); ++pass)
        for (std::size_t i = v.size() - 1; i >= pass; --i)
            if (v[i].first > v[i - 1].first)
                std::swap(v[i], v[i - 1]);
    return v;
}

// The status table of a host is ordered like the exchange passes: largest
// count first, equal counts in their order of first appearance.
TEST(StatusSort, GivesTheOrderOfTheExchangePasses)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        std::size_t length = random() % 40;
        std::vector<payload> payloads;
        for (std::size_t i = 0; i < length; ++i)
            payloads.emplace_back(random() % 6, "status " + std::to_string(i));
        std::vector<status_entry> table;
        for (const payload& p : payloads)
            table.push_back(status_entry{p.first, p.second.c_str()});
        sort_statuses(table, SORT_BY_COUNT);
        std::vector<payload> got;
        for (const status_entry& entry : table)
            got.emplace_back(entry.count, entry.text);
        ASSERT_EQ(got, reference_order(payloads)) << "round " << round;
    }
}

TEST(GeneralReport, RejectionSharesAreDividedInDoublePrecision)
{
    // 1074 of 1541 is 69.6950...: single precision (the other shares) gives 69.69, double precision 69.70.
    clear_host_table();
    host_info& host = *find_or_add_host("mx1");
    host.general.ruleset_rejects = 1000;
    host.general.milter_rejects = 541;
    host.general.in_connects = 1541;
    host.general.hour_rejects[5] = host.general.hour_connects[5] = 1074;
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_general_report("", FORMAT_HTML), 0);
    const std::string html = testing::internal::GetCapturedStdout();
    EXPECT_NE(html.find("<TD ALIGN=center>69.69</TD>\n"), std::string::npos) << "connects";
    EXPECT_NE(html.find("<TD ALIGN=center>69.70</TD>\n"), std::string::npos) << "rejects";
    clear_host_table();
}

}  // namespace
