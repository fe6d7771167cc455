// Tests of the sendmail log generator: one seed gives one text, fixed seeds
// give fixed bytes, the line count is exact, a few thousand lines hold every
// kind of line the reader and the classification tell apart, and queue ids
// come back.
#include "tools/loggen/log_generator.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(LogGenerator, SameSeedSameTextOtherSeedOtherText)
{
    EXPECT_EQ(generate_log(7, 3000), generate_log(7, 3000));
    EXPECT_NE(generate_log(7, 3000), generate_log(8, 3000));
    std::ostringstream stream;
    ASSERT_TRUE(write_log(stream, 7, 3000));
    EXPECT_EQ(stream.str(), generate_log(7, 3000));
}

// FNV-1a, 64 bits: the same value on every platform.
std::uint64_t fnv1a(std::string_view text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// The bytes of fixed seeds never change: tests and benchmarks rely on them.
TEST(LogGenerator, FixedSeedsGiveFixedBytes)
{
    EXPECT_EQ(fnv1a(generate_log(1, 200000)), 0xad2fce58df14e0b5ull);
    log_generator_options busy;
    busy.hosts = 5;
    busy.open_messages = 40;
    busy.max_gap_seconds = 1;
    busy.standalone_permille = 300;
    busy.reuse_permille = 150;
    busy.disorder_permille = 200;
    busy.lost_delivery_permille = 100;
    busy.lost_envelope_permille = 80;
    busy.malformed_permille = 60;
    busy.late_stamp_permille = 100;
    EXPECT_EQ(fnv1a(generate_log(20240601, 50000, busy)), 0x55e510bb3a82fee4ull);
    log_generator_options many_hosts;
    many_hosts.hosts = 12;
    many_hosts.open_messages = 1;
    many_hosts.max_gap_seconds = 400;
    EXPECT_EQ(fnv1a(generate_log(0xFFFFFFFFFFFFFFFFull, 20000, many_hosts)), 0x9d9b0096d20c2372ull);
}

// quelm_gen_log --shape=spam: fixed bytes, also with --max-recipients, and per
// 20,000 lines the crowd and the reject share the shape promises.
TEST(LogGenerator, SpamShapeKeepsItsBytesAndItsCrowd)
{
    const std::string text = generate_log(9, 20000, spam_shape());
    EXPECT_EQ(fnv1a(text), 0x47a764bc356a07f0ull);
    log_generator_options wide = spam_shape();
    wide.max_recipients = 9;
    EXPECT_EQ(fnv1a(generate_log(9, 3000, wide)), 0xe31b48ee34f880acull);
    std::set<std::string> senders, recipients;
    std::size_t ruleset_rejects = 0, milter_rejects = 0;
    for (const std::string& l : lines_of(text)) {
        for (auto [set, key] : {std::pair{&senders, "from=<"}, std::pair{&recipients, "to=<"}})
            if (auto at = l.find(key); at != std::string::npos)
                set->insert(l.substr(at, l.find('>', at) - at));
        const bool reject = l.find(", reject=") != std::string::npos;
        ruleset_rejects += reject && l.find("ruleset=") != std::string::npos;
        milter_rejects += reject && l.find("Milter") != std::string::npos;
    }
    EXPECT_GT(senders.size(), 5000u);
    EXPECT_GT(recipients.size(), 5000u);
    EXPECT_TRUE(ruleset_rejects > 1500 && ruleset_rejects < 1900) << ruleset_rejects;  // 7.5 to 9.5%
    EXPECT_TRUE(milter_rejects > 800 && milter_rejects < 1000) << milter_rejects;       // 4 to 5%
}

TEST(LogGenerator, WritesExactlyTheRequestedLines)
{
    for (std::size_t count : {0u, 1u, 17u, 100000u}) {
        const std::string text = generate_log(3, count);
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), count);
        EXPECT_TRUE(text.empty() || text.back() == '\n');
    }
}

TEST(LogGenerator, EveryKindOfLineAppears)
{
    const std::string text = generate_log(11, 6000);
    for (std::string_view marker :
         {"STARTTLS=server, relay=", "STARTTLS=client, relay=", ": from=<", ": from=<>,", ": from=root,", "(may be forged)",
          ", relay=[", "relay=root@localhost", "mailer=local", "mailer=esmtp", "stat=Sent", "stat=Deferred", "stat=queued",
          "stat=User unknown", "stat=Host unknown", "stat=Service unavailable", "stat=Virus found", ": ruleset=check_",
          "NOQUEUE: ruleset=", ": Milter: from=", ": Milter: to=", ": Milter: connect: host=", "NOQUEUE: Milter: connect:",
          " did not issue MAIL/EXPN/VRFY/ETRN", ">... User unknown", ": SYSERR(root):", "starting daemon (8.17.1.9)",
          "alias database /etc/mail/aliases rebuilt by root", ": lost input channel", ": timeout waiting for input",
          ": AUTH=server,", ": clone ", ": DSN: ", ":xx:", "] lost input channel", "My unqualified host name"})
        EXPECT_NE(text.find(marker), std::string::npos) << marker;
    bool short_line = false, priority = false, tabs = false, no_blank = false;  // broken lines
    for (const std::string& l : lines_of(text)) {
        short_line |= l.size() < 29;
        priority |= l.starts_with("<22>");
        tabs |= l.find('\t') != std::string::npos;
        no_blank |= l.size() > 30 && l.back() == ':';
    }
    EXPECT_TRUE(short_line && priority && tabs && no_blank);
}

TEST(LogGenerator, QueueIdsAreReusedAndHostsFollowTheOption)
{
    std::map<std::string, int> envelopes;
    for (const std::string& line : lines_of(generate_log(5, 6000)))
        if (auto at = line.find(": from="); at != std::string::npos && line.find(": ", at - 16) == at - 16)
            ++envelopes[line.substr(at - 14, 14)];
    EXPECT_TRUE(std::any_of(envelopes.begin(), envelopes.end(), [](const auto& e) { return e.second > 1; }));
    log_generator_options options;
    options.hosts = 6;
    std::set<std::string> hosts;
    for (const std::string& line : lines_of(generate_log(5, 3000, options)))
        if (auto end = line.find(' ', 16); end != std::string::npos && line[3] == ' ' && line[15] == ' ')
            hosts.insert(line.substr(16, end - 16));
    EXPECT_EQ(hosts.size(), 6u);
}

}  // namespace
