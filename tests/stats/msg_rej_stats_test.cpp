// The messages/rejects statistics: the records made from envelope pairs,
// their other recipients and milter rejects (copies, status classes, order,
// memory failures), and the key='value' lines of the file written from them
// (optional keys, absent texts, the cut line head, the file handling).
#include "stats/msg_rej_stats.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "report/msg_rej_report.h"
#include "model/host_info.h"

namespace {

host_info& fresh_host(const char* name = "mx1")
{
    settings = program_settings{};
    clear_host_table();
    return *find_or_add_host(name);
}

env_pair_stat env_pair(const char* sender, const char* recipient, std::uint32_t count)
{
    env_pair_stat pair{};
    pair.sender = sender;
    pair.recipient = recipient;
    pair.from_relay = "r1";
    pair.from_ip = "10.0.0.1";
    pair.to_relay = "r2";
    pair.to_ip = "10.0.0.2";
    pair.date = "20261206";
    pair.count = count;
    return pair;
}

void add_status(host_info& host, env_pair_stat& pair, const char* text, std::uint32_t count)
{
    pair_status* status = host.memory.make<pair_status>();
    status->status = text;
    status->count = count;
    if (pair.statuses_tail)
        pair.statuses_tail->next = status;
    else
        pair.statuses_head = status;
    pair.statuses_tail = status;
}

void add_other(host_info& host, env_pair_stat& pair, const char* name, std::uint32_t count)
{
    other_rcpt* other = host.memory.make<other_rcpt>();
    other->name = name;
    other->count = count;
    if (pair.other_rcpts_tail)
        pair.other_rcpts_tail->next = other;
    else
        pair.other_rcpts_head = other;
    pair.other_rcpts_tail = other;
}

milter_reject_stat milter_reject(const char* sender, const char* recipient, std::uint32_t count)
{
    milter_reject_stat reject{};
    reject.env_from = sender;
    reject.env_to = recipient;
    reject.relay_name = "r1";
    reject.relay_ip = "10.0.0.1";
    reject.date = "20261205";
    reject.count = count;
    return reject;
}

int build_quietly(std::string* errors = nullptr)
{
    testing::internal::CaptureStderr();
    int result = build_msg_rej_statistics();
    std::string captured = testing::internal::GetCapturedStderr();
    if (errors)
        *errors = captured;
    return result;
}

std::string text(const char* value)
{
    return value ? value : "<absent>";
}

// The fields of a record in declaration order.
std::string record_text(const msg_rej_stat& r)
{
    std::ostringstream out;
    out << text(r.envfrom) << '|' << text(r.envrcpt) << '|' << text(r.relayfrom_ip) << '|' << text(r.relayfrom) << '|'
        << text(r.relayto) << '|' << text(r.relayto_ip) << '|' << text(r.date) << '|' << r.accepted << ' ' << r.sent
        << ' ' << r.virus << ' ' << r.other << ' ' << r.rejmilter;
    return out.str();
}

std::vector<std::string> records(const host_info& h)
{
    std::vector<std::string> out;
    for (const msg_rej_stat& r : h.msg_rej)
        out.push_back(record_text(r));
    return out;
}

std::string temp_path()
{
    char name[] = "/tmp/quelm_msgrej_XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    return name;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Writes the file and returns its content.
std::string written(int format = 1)
{
    std::string path = temp_path();
    EXPECT_EQ(write_msg_rej_stat(path, format), 0);
    std::string content = read_file(path);
    unlink(path.c_str());
    return content;
}

// ---------------------------------------------------------------- records

TEST(MsgRejStats, PairRecordTakesItsStatusClasses)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("s1", "t1", 3);
    add_status(h, pair, "Sent (ok)", 1);
    add_status(h, pair, "Deferred: timeout", 2);
    h.envelope.pairs.push_back(pair);
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(records(h), (std::vector<std::string>{"s1|t1|10.0.0.1|r1|r2|10.0.0.2|20261206|3 1 0 2 0"}));
    EXPECT_EQ(count_of(h.msg_rej), 1u);
    const msg_rej_stat& r = h.msg_rej[0];
    EXPECT_NE(r.envfrom, pair.sender);  // own copies
    EXPECT_NE(r.date, pair.date);
    EXPECT_NE(r.relayfrom_ip, pair.from_ip);
}

TEST(MsgRejStats, StatusClassesIgnoreLetterCaseAndLookOnlyAtTheStart)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("s1", "t1", 31);
    add_status(h, pair, "sent", 1);
    add_status(h, pair, "SENT (x)", 2);
    add_status(h, pair, "virus found", 4);
    add_status(h, pair, "VIRUS", 8);
    add_status(h, pair, "rejected: Virus", 16);
    h.envelope.pairs.push_back(pair);
    ASSERT_EQ(build_quietly(), 0);
    const msg_rej_stat& r = h.msg_rej[0];
    EXPECT_EQ(r.sent, 3u);
    EXPECT_EQ(r.virus, 12u);
    EXPECT_EQ(r.other, 16u);
    EXPECT_EQ(r.accepted, 31u);
}

TEST(MsgRejStats, OtherRecipientsFollowTheirPairWithTheirOwnCount)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("s1", "t1", 3);
    add_status(h, pair, "Sent", 3);
    add_other(h, pair, "o1", 2);
    add_other(h, pair, "o2", 1);
    h.envelope.pairs.push_back(pair);
    h.envelope.pairs.push_back(env_pair("s2", "t2", 1));
    h.milter.rejects.push_back(milter_reject("s3", nullptr, 4));
    h.milter.rejects.push_back(milter_reject("s4", "t4", 1));
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(records(h), (std::vector<std::string>{
                              "s1|t1|10.0.0.1|r1|r2|10.0.0.2|20261206|3 3 0 0 0",
                              "s1|o1|10.0.0.1|r1|r2|10.0.0.2|20261206|2 0 0 0 0",
                              "s1|o2|10.0.0.1|r1|r2|10.0.0.2|20261206|1 0 0 0 0",
                              "s2|t2|10.0.0.1|r1|r2|10.0.0.2|20261206|1 0 0 0 0",
                              "s3|<absent>|10.0.0.1|r1|<absent>|<absent>|20261205|0 0 0 0 4",
                              "s4|t4|10.0.0.1|r1|<absent>|<absent>|20261205|0 0 0 0 1",
                          }));
    EXPECT_EQ(count_of(h.msg_rej), 6u);
}

TEST(MsgRejStats, AbsentTextsStayAbsent)
{
    host_info& h = fresh_host();
    env_pair_stat pair{};
    pair.count = 1;
    h.envelope.pairs.push_back(pair);
    h.milter.rejects.push_back(milter_reject_stat{});
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(records(h), (std::vector<std::string>{
                              "<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|1 0 0 0 0",
                              "<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|<absent>|0 0 0 0 0",
                          }));
}

TEST(MsgRejStats, WithoutTablesThereAreNoRecords)
{
    host_info& h = fresh_host();
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(count_of(h.msg_rej), 0u);
    EXPECT_TRUE(h.msg_rej.empty());
    EXPECT_EQ(written(), "");
}

TEST(MsgRejStats, MemoryFailuresNameTheirRecord)
{
    // A pair record copies seven texts, an other-recipient record seven more.
    struct failure_case {
        std::size_t allocations_left;
        const char* message;
    };
    const failure_case cases[] = {
        {0, "ERROR: cannot get memory for message/reject stat!\n"},
        {6, "ERROR: cannot get memory for message/reject stat!\n"},
        {7, "ERROR: cannot get memory for message/reject stat (2)!\n"},
        {14, "ERROR: cannot get memory for message/reject stat (3)!\n"},
    };
    for (const failure_case& c : cases) {
        host_info& h = fresh_host();
        env_pair_stat pair = env_pair("s1", "t1", 1);
        add_other(h, pair, "o1", 1);
        h.envelope.pairs.push_back(pair);
        h.milter.rejects.push_back(milter_reject("s3", "t3", 1));
        h.memory.fail_after(c.allocations_left);
        std::string errors;
        EXPECT_EQ(build_quietly(&errors), 1) << c.allocations_left;
        EXPECT_EQ(errors, c.message) << c.allocations_left;
    }
}

// ---------------------------------------------------------------- lines

TEST(MsgRejFile, PairLineCarriesOnlyTheCountsThatAreNotZero)
{
    host_info& h = fresh_host();
    env_pair_stat pair = env_pair("s1", "t1", 3);
    add_status(h, pair, "Sent", 1);
    add_status(h, pair, "Deferred", 2);
    add_other(h, pair, "o1", 2);
    h.envelope.pairs.push_back(pair);
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(written(),
              "host='mx1' date='20261206' envfrom='s1' relayfrom='r1 (10.0.0.1)' envrcpt='t1' "
              "relayto='r2 (10.0.0.2)' accepted='3' sent='1' other='2'\n"
              "host='mx1' date='20261206' envfrom='s1' relayfrom='r1 (10.0.0.1)' envrcpt='o1' "
              "relayto='r2 (10.0.0.2)' accepted='2'\n");
}

TEST(MsgRejFile, MilterRejectLines)
{
    host_info& h = fresh_host();
    h.milter.rejects.push_back(milter_reject("s3", nullptr, 4));
    h.milter.rejects.push_back(milter_reject("s4", "t4", 1));
    ASSERT_EQ(build_quietly(), 0);
    EXPECT_EQ(written(),
              "host='mx1' date='20261205' envfrom='s3' relayfrom='r1 (10.0.0.1)' rejmilter='4'\n"
              "host='mx1' date='20261205' envfrom='s4' relayfrom='r1 (10.0.0.1)' envrcpt='t4' rejmilter='1'\n");
}

TEST(MsgRejFile, EveryKeyInItsPlace)
{
    host_info& h = fresh_host();
    h.msg_rej.push_back({"f", "t", "1.1.1.1", "rf", "rt", "2.2.2.2", "D", 1, 2, 3, 4, 5});
    h.msg_rej.push_back({"f", "t", nullptr, "rf", "rt", nullptr, "D", 0, 0, 0, 0, 0});
    EXPECT_EQ(written(),
              "host='mx1' date='D' envfrom='f' relayfrom='rf (1.1.1.1)' envrcpt='t' relayto='rt (2.2.2.2)' "
              "accepted='1' sent='2' virus='3' other='4' rejmilter='5'\n"
              "host='mx1' date='D' envfrom='f' relayfrom='rf' envrcpt='t' relayto='rt'\n");
}

TEST(MsgRejFile, AbsentTextsPrintAsNull)
{
    host_info& h = fresh_host();
    h.msg_rej.push_back({nullptr, nullptr, nullptr, nullptr, nullptr, "3.3.3.3", nullptr, 1, 0, 0, 0, 0});
    h.msg_rej.push_back({nullptr, nullptr, "1.1.1.1", nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0});
    EXPECT_EQ(written(),
              "host='mx1' date='(null)' envfrom='(null)' relayfrom='(null)' accepted='1'\n"
              "host='mx1' date='(null)' envfrom='(null)' relayfrom='(null) (1.1.1.1)'\n");
}

TEST(MsgRejFile, TheLineHeadIsCutAt511Characters)
{
    host_info& h = fresh_host();
    std::string sender(600, 's');
    h.msg_rej.push_back({sender.c_str(), nullptr, nullptr, "r", nullptr, nullptr, "D", 1, 0, 0, 0, 0});
    std::string head = "host='mx1' date='D' envfrom='" + sender + "'";
    EXPECT_EQ(written(), head.substr(0, 511) + " relayfrom='r' accepted='1'\n");
}

TEST(MsgRejFile, HostsInTableOrderAndTheFormatDoesNotMatter)
{
    settings = program_settings{};
    clear_host_table();
    host_info& first = *find_or_add_host("mx1");
    host_info& second = *find_or_add_host("mx2");
    second.msg_rej.push_back({"b", nullptr, nullptr, "r", nullptr, nullptr, "D", 1, 0, 0, 0, 0});
    first.msg_rej.push_back({"a", nullptr, nullptr, "r", nullptr, nullptr, "D", 1, 0, 0, 0, 0});
    const std::string expected = "host='mx1' date='D' envfrom='a' relayfrom='r' accepted='1'\n"
                                 "host='mx2' date='D' envfrom='b' relayfrom='r' accepted='1'\n";
    EXPECT_EQ(written(0), expected);
    EXPECT_EQ(written(1), expected);
    EXPECT_EQ(written(2), expected);
}

TEST(MsgRejFile, AnEmptyPathWritesToStandardOutput)
{
    host_info& h = fresh_host();
    h.msg_rej.push_back({"a", nullptr, nullptr, "r", nullptr, nullptr, "D", 1, 0, 0, 0, 0});
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_msg_rej_stat("", 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "host='mx1' date='D' envfrom='a' relayfrom='r' accepted='1'\n");
}

TEST(MsgRejFile, AFileThatCannotBeOpenedIsReported)
{
    fresh_host();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_msg_rej_stat("/nonexistent-dir/msgrej.txt", 1), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: cannot open msg_rej_stat file!\n");
}

}  // namespace
