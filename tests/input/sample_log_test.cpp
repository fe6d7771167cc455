// The bundled sample log, read whole: the counters of every host were worked
// out by hand from the log, line kind by line kind and message by message.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "driver/settings.h"
#include "input/line_reader.h"
#include "model/host_info.h"

namespace {

struct host_counts {
    const char* name;
    std::uint32_t daemon_restarts, alias_rebuilds, tls_msgs, unknown_msgs, other_syserr;
    std::uint32_t no_action_msgs, unknown_user_msgs, other_msgs;
    std::uint32_t ruleset_msgs_ooo, ruleset_chains, milter_msgs_ooo, milter_chains;
    std::uint32_t from_msgs_ooo, to_msgs_ooo, msg_chains;
    double in_total_size;
};

template <class List>
std::uint32_t length_of(const List& list)
{
    std::uint32_t n = 0;
    for (auto* r = list.head; r; r = r->next)
        ++n;
    return n;
}

TEST(SampleLog, EveryHostHasTheCountersWorkedOutByHand)
{
    // Host order is the order of first appearance.
    const host_counts want[] = {
        {"mx1", 2, 2, 32, 4, 1, 4, 4, 18, 6, 4, 3, 8, 2, 3, 55, 5626103},
        {"relay", 3, 1, 27, 1, 2, 1, 1, 6, 1, 0, 0, 0, 0, 11, 28, 14369545},
        {"mx2", 2, 0, 9, 0, 0, 1, 1, 1, 4, 1, 2, 1, 1, 1, 7, 172543},
    };
    settings = program_settings{};
    clear_host_table();
    lines_read = 0;
    int fd = open((std::string(QUELM_SOURCE_DIR) + "/examples/sample.log").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::tm december{};
    december.tm_year = 126;
    december.tm_mon = 11;
    testing::internal::CaptureStderr();
    read_log(fd, december);
    testing::internal::GetCapturedStderr();
    close(fd);

    EXPECT_EQ(lines_read, 388u);
    ASSERT_EQ(hosts_found, 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const host_info& got = host_table[i];
        const host_counts& w = want[i];
        SCOPED_TRACE(w.name);
        EXPECT_EQ(got.host_name, w.name);
        EXPECT_EQ(got.events.daemon_restarts, w.daemon_restarts);
        EXPECT_EQ(got.events.alias_rebuilds, w.alias_rebuilds);
        EXPECT_EQ(got.messages.tls_msgs, w.tls_msgs);
        EXPECT_EQ(got.messages.unknown_msgs, w.unknown_msgs);
        EXPECT_EQ(got.events.other_syserr, w.other_syserr);
        EXPECT_EQ(got.messages.no_action_msgs, w.no_action_msgs);
        EXPECT_EQ(got.messages.unknown_user_msgs, w.unknown_user_msgs);
        EXPECT_EQ(got.messages.other_msgs, w.other_msgs);
        EXPECT_EQ(got.messages.ruleset_msgs_ooo, w.ruleset_msgs_ooo);
        EXPECT_EQ(got.messages.ruleset_chains, w.ruleset_chains);
        EXPECT_EQ(got.messages.milter_msgs_ooo, w.milter_msgs_ooo);
        EXPECT_EQ(got.messages.milter_chains, w.milter_chains);
        EXPECT_EQ(got.messages.from_msgs_ooo, w.from_msgs_ooo);
        EXPECT_EQ(got.messages.to_msgs_ooo, w.to_msgs_ooo);
        EXPECT_EQ(got.messages.msg_chains, w.msg_chains);
        EXPECT_EQ(got.events.in_total_size, w.in_total_size);
        // Each counter equals the length of its list.
        EXPECT_EQ(length_of(got.messages.tls_list), got.messages.tls_msgs);
        EXPECT_EQ(length_of(got.messages.unknown_list), got.messages.unknown_msgs);
        EXPECT_EQ(length_of(got.messages.other_list), got.messages.other_msgs);
        EXPECT_EQ(length_of(got.messages.unknown_user_list), got.messages.unknown_user_msgs);
        EXPECT_EQ(length_of(got.messages.no_action_list), got.messages.no_action_msgs);
        EXPECT_EQ(length_of(got.messages.from_list), got.messages.from_msgs_ooo);
        EXPECT_EQ(length_of(got.messages.to_list), got.messages.to_msgs_ooo);
        EXPECT_EQ(length_of(got.messages.msg_chain), got.messages.msg_chains);
        EXPECT_EQ(length_of(got.messages.ruleset_list), got.messages.ruleset_msgs_ooo);
        EXPECT_EQ(length_of(got.messages.ruleset_chain), got.messages.ruleset_chains);
        EXPECT_EQ(length_of(got.messages.milter_list), got.messages.milter_msgs_ooo);
        EXPECT_EQ(length_of(got.messages.milter_chain), got.messages.milter_chains);
    }
    // Three deliveries of one message on mx1, in input order.
    const msg_chain_item* item = host_table[0].messages.msg_chain.head;
    while (item && std::string(item->p_from->msg_id) != "4B19u02I036310")
        item = item->next;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Recipients_num, 3u);
    clear_host_table();
}

}  // namespace
