// General statistics built from small logs: totals, rate thresholds, the
// hour and weekday of viruses, wday_mday order and the status table.
#include "stats/general_stats.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

std::string at(const char* time, const std::string& body)
{
    return std::string("Dec  ") + time + " mx1 sm-mta[1]: " + body + "\n";
}

std::string message(const char* id, const char* from_time, const char* to_time, const char* status)
{
    return at(from_time, std::string(id) + ": from=<a@example.org>, size=100, relay=r.example.org [192.0.2.1]") +
           at(to_time, std::string(id) + ": to=<b@example.net>, delay=00:00:01, mailer=esmtp, stat=" + status);
}

const host_info& build(const std::string& log)
{
    test_support::read_log_text(log);
    EXPECT_EQ(build_general_information(), 0);
    return host_table[0];
}

TEST(GeneralStats, RatesNeedAMinuteAndAnHour)
{
    const host_info& h = build(message("Q1", "1 10:00:00", "1 10:01:30", "Sent"));
    EXPECT_EQ(h.general.total_time, 90);
    EXPECT_DOUBLE_EQ(h.general.in_per_sec, 1.0 / 90);
    EXPECT_DOUBLE_EQ(h.general.in_per_min, 1 / 1.5);
    EXPECT_EQ(h.general.in_per_hour, 0);
    EXPECT_EQ(h.general.in_avg_size, 100);

    const host_info& short_log = build(message("Q1", "1 10:00:00", "1 10:00:59", "Sent"));
    EXPECT_EQ(short_log.general.in_per_min, 0);
    EXPECT_GT(short_log.general.in_per_sec, 0);

    const host_info& empty = build(at("1 10:00:00", "Q1: lost input channel"));
    EXPECT_EQ(empty.general.in_avg_size, 0);
    EXPECT_EQ(empty.general.in_per_sec, 0);
    EXPECT_EQ(empty.general.out_messages, 0u);
}

TEST(GeneralStats, ConnectsAgreeWithTheirDistributions)
{
    const host_info& h = build(
        message("Q1", "1 09:58:00", "1 10:05:00", "Virus found") + message("Q2", "2 11:00:00", "2 11:00:01", "Sent") +
        at("2 12:00:00", "Q3: from=<c@example.org>, size=5, relay=x [192.0.2.2]") +
        at("2 13:00:00", "Q4: ruleset=check_rcpt, reject=550 no") + at("2 13:00:01", "Q4: from=<d@e.f>, size=1") +
        at("1 14:00:00", "Q5: Milter: connect: host=h, addr=192.0.2.9, reject=554 no") +
        at("1 15:00:00", "Q6: client [192.0.2.3] did not issue MAIL") +
        at("1 16:00:00", "Q7: <x@example.org>... User unknown"));
    EXPECT_EQ(h.general.in_connects, 6u);
    EXPECT_EQ(h.general.in_messages, 2u);
    unsigned hours = 0, days = 0;
    for (unsigned n : h.general.hour_connects)
        hours += n;
    for (unsigned n : h.general.wday_connects)
        days += n;
    EXPECT_EQ(hours, h.general.in_connects);
    EXPECT_EQ(days, h.general.in_connects);
    // The virus counts in the hour its message came in.
    EXPECT_EQ(h.general.hour_viruses[9], 1u);
    EXPECT_EQ(h.general.hour_viruses[10], 0u);
    EXPECT_EQ(h.general.hour_out[10], 1u);
    EXPECT_EQ(h.general.out_viruses, 1u);
    EXPECT_EQ(h.general.out_unknown_user, 1u) << "User unknown lines count as unknown-user deliveries";
    EXPECT_EQ(h.general.hour_rejects[13], 1u);
    EXPECT_EQ(h.general.hour_rejects[14], 1u);
    // 1 December 2026 is a Tuesday, 2 December a Wednesday.
    EXPECT_EQ(h.general.wday_mday[2], 1);
    EXPECT_EQ(h.general.wday_mday[3], 2);
    EXPECT_EQ(h.general.wday_mday[4], 0);
}

TEST(GeneralStats, WdayMdayTakesTheFirstEventInListOrder)
{
    // The pending sender of 8 December is counted before the non-active client of 1 December.
    const host_info& h = build(at("1 10:00:00", "Q6: client [192.0.2.3] did not issue MAIL") +
                               at("8 10:00:00", "Q1: from=<a@b.c>, size=1"));
    EXPECT_EQ(h.general.wday_mday[2], 8);
}

TEST(GeneralStats, StatusTextsMergeWithoutRegardToCase)
{
    const host_info& h = build(message("Q1", "1 10:00:00", "1 10:00:01", "Deferred: timeout") +
                               message("Q2", "1 10:00:00", "1 10:00:01", "deferred: TIMEOUT") +
                               message("Q3", "1 10:00:00", "1 10:00:01", "Sent (ok)") +
                               message("Q4", "1 10:00:00", "1 10:00:01", "SENT"));
    EXPECT_EQ(count_of(h.general.statuses), 2u);
    EXPECT_EQ(h.general.status_total, 4u);
    ASSERT_FALSE(h.general.statuses.empty());
    EXPECT_STREQ(h.general.statuses.front().text, "Deferred: timeout");
    EXPECT_EQ(h.general.statuses.front().count, 2u);
    EXPECT_STREQ(h.general.statuses.back().text, "Sent");
    EXPECT_EQ(h.general.statuses.back().count, 2u);
}

}  // namespace
