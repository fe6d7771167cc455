// The two exports over a small log read through the input phase, for what
// the end-to-end goldens do not reach: a table appears once built, the
// document is written before a report sorts it, a non-UTF-8 sender, a to=
// line of two recipients, a host name with a quote and a backslash; then the
// Prometheus label escaping and the country memo against the table lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "export/country_names.h"
#include "export/json_export.h"
#include "export/json_text.h"
#include "export/prometheus_export.h"
#include "geo/tld_names.h"
#include "stats/build_phase.h"
#include "stats/envelope_stats.h"
#include "stats/general_stats.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

const std::string small_log =
    "Dec  6 10:00:00 mx1 sm-mta[1]: A1: from=<zed@b.example>, size=100, class=0, nrcpts=1, proto=ESMTP, "
    "daemon=MTA, relay=in.b.example [192.0.2.1]\n"
    "Dec  6 10:00:01 mx1 sm-mta[2]: A1: to=<x@c.example>, delay=00:00:01, xdelay=00:00:01, mailer=esmtp, pri=1, "
    "relay=out.c.example. [198.51.100.1], dsn=2.0.0, stat=Sent (ok)\n"
    "Dec  6 11:00:00 mx1 sm-mta[3]: A2: from=<\xff\xfe@a.example>, size=50, class=0, nrcpts=3, proto=ESMTP, "
    "daemon=MTA, relay=in.a.example [192.0.2.2]\n"
    "Dec  6 11:00:02 mx1 sm-mta[4]: A2: to=<y@c.example>,<z@c.example>, delay=00:00:02, xdelay=00:00:01, "
    "mailer=esmtp, pri=1, relay=out.c.example. [198.51.100.1], dsn=4.0.0, stat=Deferred: Connection refused\n"
    "Dec  6 12:00:00 m\"x\\2 sm-mta[5]: starting daemon (8.17.1): SMTP+queueing@00:15:00\n";

TEST(Exports, DocumentAndMetricsOfASmallLog)
{
    char name[] = "/tmp/quelm_exports_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    const fs::path path = fs::path(name) / "run.json";
    test_support::read_log_text(small_log);
    run_facts facts;
    facts.program_version = "1.2";
    facts.inputs = {"-"};
    facts.lines_read = 5;
    facts.run_time = 1796580000;
    const auto document = [&] {
        EXPECT_TRUE(write_json_export(path, facts));
        return nlohmann::json::parse(test_support::read_file(path));
    };
    const build_step_function steps[] = {build_general_information, build_envelope_statistics};
    for (build_step_function step : steps) {
        ASSERT_EQ(step(), 0);
        facts.built_steps.push_back(step);
        if (step == build_general_information) {
            EXPECT_TRUE(document()["hosts"][0]["tables"].empty());
        }
    }
    const nlohmann::json doc = document();
    fs::remove_all(name);
    EXPECT_EQ(doc["hosts"][0]["tables"].size(), 1u);
    const nlohmann::json& envelope = doc["hosts"][0]["tables"]["envelope"];
    EXPECT_EQ(envelope["senders"][0]["name"], "zed@b.example");  // order of first appearance
    EXPECT_EQ(envelope["senders"][1]["name"]["base64"], base64_encoded("\xff\xfe@a.example"));
    const nlohmann::json& pair = envelope["pairs"][1];
    EXPECT_EQ(pair["recipient"], "y@c.example");
    EXPECT_EQ(pair["other_recipients"][0]["name"], "z@c.example");
    EXPECT_EQ(pair["statuses"][0]["status"], "Deferred: Connection refused");
    EXPECT_EQ(pair["size"], 50);
    EXPECT_EQ(doc["hosts"][1]["host"], "m\"x\\2");
    EXPECT_EQ(doc["hosts"][0]["inbound"]["recipients"], 4);
    EXPECT_EQ(doc["hosts"][0]["outbound"]["recipients"], 3);

    const std::string text = prometheus_text(facts);
    for (const char* line : {"quelm_inbound_recipients{host=\"mx1\"} 4\n", "quelm_outbound_recipients{host=\"mx1\"} 3\n",
                             "quelm_outbound_recipients{host=\"m\\\"x\\\\2\"} 0\n",
                             "quelm_daemon_restarts{host=\"m\\\"x\\\\2\"} 1\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST(PrometheusLabel, EscapesPerTheFormatAndKeepsUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"mx1", "mx1"}, {"a\\b", "a\\\\b"}, {"say \"hi\"", "say \\\"hi\\\""}, {"two\nlines", "two\\nlines"},
        {"m\xc3\xbcnchen", "m\xc3\xbcnchen"}, {"\xf0\x9f\x93\xa7", "\xf0\x9f\x93\xa7"}, {"bad\xff", "bad\\\\xFF"},
        {"\xc3", "\\\\xC3"}, {"\xe2\x82x", "\\\\xE2\\\\x82x"}, {"", ""},
    };
    for (const auto& [text, label] : cases)
        EXPECT_EQ(escaped_label_value(text), label) << testing::PrintToString(text);
}

// The memo answers exactly as the table lookup, twice (the second answer
// from the memo), for names of every length and ending.
TEST(CountryNames, AnswerAsTheTableDoes)
{
    country_names memo;
    const char* names[] = {
        ".de", ".DE", ".example.de", ".com", ".example.COM", ".xy", "de", "x", ".x", ".info", ".museum",
        ".a.museum", "museum", ".toolongtld", ".example.toolongtld", ".co.uk", "a.b", "ab.cd", "abcdefgh",
        ".abcdefg", "..", ".", "a.", ".eu", ".arpa", ".in-addr.arpa",
    };
    for (const char* name : names)
        for (int twice = 0; twice < 2; ++twice)
            EXPECT_EQ(memo.of(name), tld_to_name(name)) << name;
    EXPECT_EQ(memo.of(nullptr), nullptr);
    EXPECT_EQ(memo.of(""), nullptr);

    std::mt19937 random(3);
    const char alphabet[] = "abcdeDEfgijklmnorstuvxyz.-";
    for (int round = 0; round < 20000; ++round) {
        std::string name = round % 3 ? "." : "";
        for (int n = static_cast<int>(random() % 12); n > 0; --n)
            name += alphabet[random() % (sizeof alphabet - 1)];
        ASSERT_EQ(memo.of(name.c_str()), tld_to_name(name.c_str())) << name;
    }
}

}  // namespace
