// The two exports over small logs read through the input phase: which
// tables the JSON document holds, their order, the text rule for log bytes,
// the recipient counts, the country memo, and the Prometheus label escaping.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "export/country_names.h"
#include "export/json_export.h"
#include "export/json_text.h"
#include "export/prometheus_export.h"
#include "export/traffic_figures.h"
#include "geo/tld_names.h"
#include "stats/build_phase.h"
#include "stats/envelope_stats.h"
#include "stats/general_stats.h"
#include "stats/sort_engine.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

// Two messages of one host, the second with two recipients on one to= line
// and a sender that is not UTF-8; a second host with a quote in its name.
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

class Exports : public testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/quelm_exports_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        test_support::read_log_text(small_log);
        facts_.program_version = "1.2";
        facts_.inputs = {"-"};
        facts_.lines_read = 5;
        facts_.run_time = 1796580000;
    }
    void TearDown() override { fs::remove_all(dir_); }

    void build(std::initializer_list<build_step_function> steps)
    {
        for (build_step_function step : steps) {
            ASSERT_EQ(step(), 0);
            facts_.built_steps.push_back(step);
        }
    }

    nlohmann::json json_document()
    {
        const fs::path path = dir_ / "run.json";
        EXPECT_TRUE(write_json_export(path, facts_));
        return nlohmann::json::parse(test_support::read_file(path));
    }

    fs::path dir_;
    run_facts facts_;
};

TEST_F(Exports, OnlyBuiltTablesAreWritten)
{
    build({build_general_information});
    nlohmann::json doc = json_document();
    EXPECT_EQ(doc["schema_version"], json_schema_version);
    ASSERT_EQ(doc["hosts"].size(), 2u);
    EXPECT_TRUE(doc["hosts"][0]["tables"].empty());
    EXPECT_EQ(doc["run"]["window"]["start"], nullptr);

    build({build_envelope_statistics});
    doc = json_document();
    EXPECT_EQ(doc["hosts"][0]["tables"].size(), 1u);
    EXPECT_TRUE(doc["hosts"][0]["tables"].contains("envelope"));
}

TEST_F(Exports, TablesKeepTheOrderOfFirstAppearance)
{
    build({build_general_information, build_envelope_statistics});
    // A report view sorts the table in place; the document is written before.
    const nlohmann::json doc = json_document();
    const nlohmann::json& senders = doc["hosts"][0]["tables"]["envelope"]["senders"];
    ASSERT_EQ(senders.size(), 2u);
    EXPECT_EQ(senders[0]["name"], "zed@b.example");
    EXPECT_EQ(senders[1]["name"]["base64"], base64_encoded("\xff\xfe@a.example"));
    const nlohmann::json& pair = doc["hosts"][0]["tables"]["envelope"]["pairs"][1];
    EXPECT_EQ(pair["recipient"], "y@c.example");
    EXPECT_EQ(pair["other_recipients"][0]["name"], "z@c.example");
    EXPECT_EQ(pair["statuses"][0]["status"], "Deferred: Connection refused");
    EXPECT_EQ(pair["size"], 50);
    EXPECT_EQ(doc["hosts"][1]["host"], "m\"x\\2");
}

TEST_F(Exports, GeneralPartShowsTheCounters)
{
    build({build_general_information});
    const nlohmann::json host = json_document()["hosts"][0];
    EXPECT_EQ(host["inbound"]["messages"], 2);
    EXPECT_EQ(host["inbound"]["recipients"], 4);
    EXPECT_EQ(host["inbound"]["total_size"], 150);
    EXPECT_EQ(host["outbound"]["messages"], 2);
    EXPECT_EQ(host["outbound"]["recipients"], 3);
    EXPECT_EQ(host["outbound"]["sent"], 1);
    EXPECT_EQ(host["outbound"]["deferred"], 1);
    EXPECT_EQ(host["statuses"]["entries"].size(), 2u);
    EXPECT_EQ(host["hourly"][10]["inbound"], 1);
    EXPECT_EQ(host["hourly"][11]["outbound"], 1);
    EXPECT_EQ(host["first_entry_unix"].get<long long>() + 3600 + 2, host["last_entry_unix"].get<long long>());
}

TEST_F(Exports, RecipientsCountEveryAddressOfAToList)
{
    build({build_general_information});
    const recipient_totals totals = count_recipients(used_hosts()[0]);
    EXPECT_EQ(totals.inbound, 4u);
    EXPECT_EQ(totals.outbound, 3u);
    EXPECT_EQ(count_recipients(used_hosts()[1]).outbound, 0u);
}

TEST_F(Exports, PrometheusFamiliesPerHost)
{
    build({build_general_information});
    const std::string text = prometheus_text(facts_);
    EXPECT_NE(text.find("# HELP quelm_inbound_messages "), std::string::npos);
    EXPECT_NE(text.find("# TYPE quelm_inbound_messages gauge\n"), std::string::npos);
    EXPECT_NE(text.find("quelm_inbound_messages{host=\"mx1\"} 2\n"), std::string::npos);
    EXPECT_NE(text.find("quelm_deliveries{host=\"mx1\",status=\"deferred\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("quelm_daemon_restarts{host=\"m\\\"x\\\\2\"} 1\n"), std::string::npos);
    EXPECT_NE(text.find("quelm_outbound_recipients{host=\"mx1\"} 3\n"), std::string::npos);
    EXPECT_NE(text.find("\nquelm_lines_read 5\n"), std::string::npos);
    EXPECT_NE(text.find("\nquelm_run_timestamp_seconds 1796580000\n"), std::string::npos);
}

struct label_case {
    std::string text;
    std::string label;
};

TEST(PrometheusLabel, EscapesPerTheFormatAndKeepsUtf8)
{
    const label_case cases[] = {
        {"mx1", "mx1"},
        {"a\\b", "a\\\\b"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"two\nlines", "two\\nlines"},
        {"m\xc3\xbcnchen", "m\xc3\xbcnchen"},
        {"\xf0\x9f\x93\xa7", "\xf0\x9f\x93\xa7"},
        {"bad\xff", "bad\\\\xFF"},
        {"\xc3", "\\\\xC3"},
        {"\xe2\x82x", "\\\\xE2\\\\x82x"},
        {"", ""},
    };
    for (const label_case& c : cases)
        EXPECT_EQ(escaped_label_value(c.text), c.label) << testing::PrintToString(c.text);
}

// The memo answers exactly as the table lookup, for names of every length
// and ending.
TEST(CountryNames, AnswerAsTheTableDoes)
{
    country_names memo;
    const char* names[] = {
        ".de", ".DE", ".example.de", ".com", ".example.COM", ".xy", "de", "x", ".x", ".info", ".museum",
        ".a.museum", "museum", ".toolongtld", ".example.toolongtld", ".co.uk", "a.b", "ab.cd", "abcdefgh",
        ".abcdefg", "..", ".", "a.", ".eu", ".arpa", ".in-addr.arpa",
    };
    for (const char* name : names) {
        EXPECT_EQ(memo.of(name), tld_to_name(name)) << name;
        EXPECT_EQ(memo.of(name), tld_to_name(name)) << name << " (memo)";
    }
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
