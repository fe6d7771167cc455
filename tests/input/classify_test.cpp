// Classification of each kind of line and the pairing of a message's lines:
// which list each record ends on, with which partner, and every counter.
#include "input/classify.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "input/field_extraction.h"
#include "tests/test_support.h"

// Global allocation that can be made to fail after a number of calls, so that
// the pairing index's growth runs out of memory too (off unless armed).
// Every form of new and delete is replaced, so that each allocation and its
// release go through malloc and free whichever form the library uses.
namespace {
std::size_t allocations_before_failure = SIZE_MAX;

void* allocate_or_fail(std::size_t size)
{
    if (allocations_before_failure == 0)
        return nullptr;
    if (allocations_before_failure != SIZE_MAX)
        --allocations_before_failure;
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size)
{
    if (void* memory = allocate_or_fail(size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_fail(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate_or_fail(size);
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

using test_support::length_of;
using test_support::read_log_text;
using test_support::texts_of;
using texts = std::vector<std::string>;

// A log line of host mx1 at 10:mm:00 on 1 December with the given body.
std::string line(int minute, const std::string& body)
{
    char header[64];
    std::snprintf(header, sizeof header, "Dec  1 10:%02d:00 mx1 sm-mta[1]: ", minute);
    return header + body + "\n";
}

const std::string from_a = "Q1: from=<a@example.org>, size=100, nrcpts=1, relay=mail.example.org [192.0.2.1]";
const std::string to_deferred = "Q1: to=<b@example.net>, delay=00:00:01, mailer=esmtp, stat=Deferred: timeout";
const std::string to_sent = "Q1: to=<b@example.net>, delay=00:10:01, mailer=esmtp, stat=Sent (ok)";
const std::string ruleset_q1 = "Q1: ruleset=check_rcpt, arg1=<x@y>, relay=[192.0.2.9], reject=550 5.7.1 Relaying denied";
const std::string milter_q1 = "Q1: Milter: from=<a@example.org>, reject=553 5.7.1 spam";

TEST(Pairing, RulesetClaimsTheSenderBeforeMilterLines)
{
    EXPECT_EQ(read_log_text(line(0, ruleset_q1) + line(1, milter_q1) + line(2, from_a)), "");
    const host_info& h = host_table[0];
    EXPECT_EQ(h.messages.ruleset_chains, 1u);
    EXPECT_EQ(h.messages.ruleset_msgs_ooo, 0u);
    EXPECT_EQ(h.messages.milter_msgs_ooo, 1u);
    EXPECT_EQ(h.messages.milter_chains, 0u);
    EXPECT_EQ(h.messages.from_msgs_ooo, 0u);
    ASSERT_NE(h.messages.ruleset_chain.head, nullptr);
    EXPECT_STREQ(h.messages.ruleset_chain.head->p_from->msg_txt, from_a.substr(4).c_str());
    EXPECT_STREQ(h.messages.ruleset_chain.head->p_rul->reject_txt, "550 5.7.1 Relaying denied");
    EXPECT_EQ(texts_of(h.messages.milter_list), texts{milter_q1.substr(4)});
    EXPECT_EQ(h.events.in_total_size, 100);
}

TEST(Pairing, DeferredThenSentDeliveriesShareOneChainElement)
{
    read_log_text(line(0, from_a) + line(1, to_deferred) + line(30, to_sent));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.messages.msg_chains, 1u);
    EXPECT_EQ(h.messages.from_msgs_ooo, 0u);
    EXPECT_EQ(h.messages.to_msgs_ooo, 0u);
    ASSERT_NE(h.messages.msg_chain.head, nullptr);
    const msg_chain_item& item = *h.messages.msg_chain.head;
    EXPECT_EQ(item.Recipients_num, 2u);
    ASSERT_NE(item.p_to, nullptr);
    EXPECT_EQ(item.p_to->stat, 2);
    ASSERT_NE(item.p_to->next, nullptr);
    EXPECT_EQ(item.p_to->next->stat, 1);
    EXPECT_STREQ(item.p_to->next->msg_stat, "Sent");
    EXPECT_EQ(item.p_to->next->next, nullptr);
}

TEST(Pairing, DeliveryBeforeItsSenderStaysOutOfOrderForGood)
{
    read_log_text(line(0, to_sent) + line(1, from_a));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.messages.to_msgs_ooo, 1u);
    EXPECT_EQ(h.messages.from_msgs_ooo, 1u);
    EXPECT_EQ(h.messages.msg_chains, 0u);
    EXPECT_EQ(length_of(h.messages.to_list), 1u);
    EXPECT_EQ(length_of(h.messages.from_list), 1u);
}

TEST(Pairing, MilterLinesBeforeAndAfterTheSender)
{
    // Before: paired at the sender, so the delivery finds no pending sender.
    read_log_text(line(0, milter_q1) + line(1, from_a) + line(2, to_sent));
    EXPECT_EQ(host_table[0].messages.milter_chains, 1u);
    EXPECT_EQ(host_table[0].messages.milter_msgs_ooo, 0u);
    EXPECT_EQ(host_table[0].messages.from_msgs_ooo, 0u);
    EXPECT_EQ(host_table[0].messages.to_msgs_ooo, 1u);
    EXPECT_EQ(host_table[0].messages.msg_chains, 0u);

    // After: the delivery makes the chain element and releases the milter line.
    read_log_text(line(0, from_a) + line(1, milter_q1) + line(2, to_sent));
    EXPECT_EQ(host_table[0].messages.msg_chains, 1u);
    EXPECT_EQ(host_table[0].messages.milter_msgs_ooo, 0u);
    EXPECT_EQ(host_table[0].messages.milter_list.head, nullptr);
    EXPECT_EQ(host_table[0].messages.milter_chains, 0u);
}

TEST(Pairing, ThreeMilterLinesShareTheirSender)
{
    const std::string second = "Q1: Milter: to=<c@example.net>, reject=550 no";
    const std::string other = "Q2: Milter: to=<d@example.net>, reject=550 no";
    read_log_text(line(0, milter_q1) + line(1, other) + line(2, second) + line(3, milter_q1) + line(4, from_a));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.messages.milter_chains, 3u);
    EXPECT_EQ(h.messages.milter_msgs_ooo, 1u);
    EXPECT_EQ(h.messages.from_msgs_ooo, 0u);
    std::vector<std::string> paired;
    for (const milter_chain_item* item = h.messages.milter_chain.head; item; item = item->next) {
        paired.emplace_back(item->p_mil->msg_txt);
        EXPECT_EQ(item->p_from, h.messages.milter_chain.head->p_from);
    }
    EXPECT_EQ(paired, (texts{milter_q1.substr(4), second.substr(4), milter_q1.substr(4)}));
    EXPECT_EQ(texts_of(h.messages.milter_list), texts{other.substr(4)});
    ASSERT_NE(h.messages.milter_chain.head->p_mil->env_from, nullptr);
    EXPECT_STREQ(h.messages.milter_chain.head->p_mil->env_from, "a@example.org");
    EXPECT_EQ(h.messages.milter_chain.head->p_mil->env_to, nullptr);
    EXPECT_STREQ(h.messages.milter_chain.head->next->p_mil->env_to, "c@example.net");
}

TEST(Pairing, ConnectLineIsChainedWithASyntheticSender)
{
    const std::string connect =
        "Q9: Milter: connect: host=bad.example.com, addr=203.0.113.5, size=77, reject=554 5.7.1 go away";
    read_log_text(line(0, connect));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.messages.milter_chains, 1u);
    EXPECT_EQ(h.messages.milter_msgs_ooo, 0u);
    EXPECT_EQ(h.messages.milter_list.head, nullptr);
    EXPECT_EQ(h.messages.from_msgs_ooo, 0u);
    ASSERT_NE(h.messages.milter_chain.head, nullptr);
    const msg_from& sender = *h.messages.milter_chain.head->p_from;
    EXPECT_STREQ(sender.env_from, "EMPTY_ADDRESS");
    EXPECT_EQ(sender.env_name_info.user_name, nullptr);
    EXPECT_EQ(sender.siz, 77u);
    EXPECT_STREQ(sender.msg_txt, "Milter: connect: host=bad.example.com, addr=203.0.113.5");
    EXPECT_STREQ(sender.relay_info.dom_name, "bad.example.com");
    EXPECT_STREQ(sender.relay_info.ip_address, "203.0.113.5");
    EXPECT_EQ(sender.relay_info.ip_bin_addr, 0xCB007105u);
    EXPECT_STREQ(sender.relay_info.dom_name_lvl_2, ".example.com");
    EXPECT_STREQ(h.messages.milter_chain.head->p_mil->reject_txt, "554 5.7.1 go away");
    EXPECT_EQ(h.events.in_total_size, 77);
}

TEST(Pairing, OldestCandidateWinsAndLaterDeliveriesJoinTheFirstElement)
{
    const std::string from_b = "Q1: from=<b@example.org>, size=5, relay=x.example.org [192.0.2.2]";
    const std::string ruleset_2 = "Q1: ruleset=check_mail, reject=451 second";
    read_log_text(line(0, ruleset_q1) + line(1, ruleset_2) + line(2, from_a) + line(3, from_a) + line(4, from_b) +
                  line(5, to_sent) + line(6, to_deferred) + line(7, to_sent));
    const host_info& h = host_table[0];
    // The first sender takes the first ruleset, the second the other ruleset.
    EXPECT_EQ(h.messages.ruleset_chains, 2u);
    EXPECT_STREQ(h.messages.ruleset_chain.head->next->p_rul->msg_txt, ruleset_2.substr(4).c_str());
    // The third sender waits; the first delivery takes it, the next ones join that element.
    EXPECT_EQ(h.messages.msg_chains, 1u);
    EXPECT_EQ(h.messages.msg_chain.head->Recipients_num, 3u);
    EXPECT_STREQ(h.messages.msg_chain.head->p_from->msg_txt, from_b.substr(4).c_str());

    // Two pending senders: deliveries take them oldest first, a third joins the first element.
    read_log_text(line(0, from_a) + line(1, from_b) + line(2, to_sent) + line(3, to_deferred) + line(4, to_sent));
    const host_info& g = host_table[0];
    ASSERT_EQ(g.messages.msg_chains, 2u);
    EXPECT_STREQ(g.messages.msg_chain.head->p_from->msg_txt, from_a.substr(4).c_str());
    EXPECT_STREQ(g.messages.msg_chain.head->next->p_from->msg_txt, from_b.substr(4).c_str());
    EXPECT_EQ(g.messages.msg_chain.head->Recipients_num, 2u);
    EXPECT_EQ(g.messages.msg_chain.head->next->Recipients_num, 1u);
}

TEST(Pairing, HostsNeverSeeEachOthersMessages)
{
    std::string other_host = line(1, to_sent);
    other_host.replace(other_host.find("mx1"), 3, "mx2");
    read_log_text(line(0, from_a) + other_host);
    EXPECT_EQ(host_table[0].messages.from_msgs_ooo, 1u);
    EXPECT_EQ(host_table[1].messages.to_msgs_ooo, 1u);
}

TEST(Classify, LinesWithoutQueueId)
{
    read_log_text(line(0, "starting daemon (8.17.1.9): SMTP+queueing@00:10:00") +
                  line(1, "alias database /etc/mail/aliases REBUILT by root") +
                  line(2, "STARTTLS=client, relay=mx.example.net., version=TLSv1.3") +
                  line(3, "starttls=server, error: accept failed") +
                  line(4, "gethostbyaddr(192.0.2.1) failed: 1") + line(5, "alias file lookup failed"));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.events.daemon_restarts, 1u);
    EXPECT_EQ(h.events.alias_rebuilds, 1u);
    EXPECT_EQ(h.messages.tls_msgs, 2u);
    EXPECT_EQ(h.messages.unknown_msgs, 2u);
    ASSERT_NE(h.messages.tls_list.head, nullptr);
    EXPECT_EQ(std::string(h.messages.tls_list.head->line_txt) + "\n", line(2, "STARTTLS=client, relay=mx.example.net., version=TLSv1.3"));
}

TEST(Classify, LinesWithQueueId)
{
    read_log_text(line(0, "Q3: SYSERR(root): collect: I/O error") + line(1, "Q4: syserr: lowercase too") +
                  line(2, "Q5: client.example.com [192.0.2.7] did not issue MAIL/EXPN/VRFY/ETRN during connection to MTA") +
                  line(3, "Q6: <nobody@example.org>... User unknown") +
                  line(4, "/etc/mail/aliases: 42 aliases, longest 30 bytes") +
                  line(5, "Q7: STARTTLS=server, relay=x, version=TLSv1.2") + line(6, "Q8: lost input channel from x"));
    const host_info& h = host_table[0];
    EXPECT_EQ(h.events.other_syserr, 2u);
    EXPECT_EQ(h.messages.no_action_msgs, 1u);
    EXPECT_EQ(h.messages.unknown_user_msgs, 1u);
    EXPECT_EQ(h.messages.other_msgs, 3u);
    EXPECT_EQ(h.messages.tls_msgs, 0u);
    ASSERT_NE(h.messages.no_action_list.head, nullptr);
    const msg_no_action& client = *h.messages.no_action_list.head;
    EXPECT_STREQ(client.client_txt, "client.example.com");
    EXPECT_STREQ(client.action_txt, " did not issue MAIL/EXPN/VRFY/ETRN during connection to MTA");
    EXPECT_STREQ(client.relay_info.ip_address, "192.0.2.7");
    EXPECT_STREQ(h.messages.other_list.head->msg_id, "/etc/mail/aliases");
    EXPECT_EQ(texts_of(h.messages.unknown_user_list), texts{"<nobody@example.org>... User unknown"});
}

TEST(Classify, DeliveryWhoseRecipientsCannotBeReadIsDropped)
{
    std::string err = read_log_text(line(0, from_a) + line(1, "Q1: to=<b@example.net> stat=Sent") +
                                    line(2, "Q1: to=<b@example.net>,stat=Sent"));
    EXPECT_EQ(err, "ERROR: cannot to add other recipients = -3!\nERROR: cannot to add other recipients = -2!\n");
    EXPECT_EQ(host_table[0].messages.from_msgs_ooo, 1u);
    EXPECT_EQ(host_table[0].messages.msg_chains, 0u);
    EXPECT_EQ(host_table[0].messages.to_msgs_ooo, 0u);
}

TEST(Classify, MilterLinesAreTracedAtDebugLevelTwo)
{
    settings = program_settings{};
    settings.verbose = 1;
    settings.verbose_level = 2;
    std::string err = read_log_text(line(0, milter_q1) + line(1, "Q2: Milter: connect: host=h, addr=192.0.2.3"), true);
    const std::string milter = "Process MILTER line.\nNew milter message.\nNew milter message added to pool.\n";
    EXPECT_EQ(err, "Input 1: " + line(0, milter_q1) + "Global id found.\n" + milter + "Input 2: " +
                       line(1, "Q2: Milter: connect: host=h, addr=192.0.2.3") + "Global id found.\n" + milter +
                       "Milter: case: connect\n");
    settings = program_settings{};
}

// Memory that runs out drops the line with its message; what was counted stays.
TEST(Classify, LineIsDroppedWhenMemoryRunsOut)
{
    struct {
        std::string text;
        std::size_t allocations_left;
        const char* message;
        std::uint32_t message_model::*counted;  // a counter changed before the failure stays
    } cases[] = {
        {"from=<a@b.c>, size=1", 0, "ERROR: cannot get memory for <from> message!\n", &message_model::from_msgs_ooo},
        {"ruleset=check_relay, reject=550 no", 0, "ERROR: cannot get memory for ruleset message!\n",
         &message_model::ruleset_msgs_ooo},
        {"Milter: to=<a@b.c>, reject=550 no", 0, "ERROR: cannot get memory for milter message!\n",
         &message_model::milter_msgs_ooo},
        {"Milter: connect: host=h, addr=192.0.2.3", 2, "ERROR: cannot get memory for milter chain (case: connect)!\n",
         &message_model::milter_msgs_ooo},
        {"to=<a@b.c>, stat=Sent", 0, "ERROR: cannot get memory for <to> message!\n", nullptr},
        {"host [192.0.2.1] did not issue MAIL", 0, "ERROR: cannot get memory for no_action message!\n",
         &message_model::no_action_msgs},
        {"<x@y>... User unknown", 0, "ERROR: cannot get memory for unkn_user message!\n", &message_model::unknown_user_msgs},
        {"lost input channel", 0, "ERROR: cannot get memory for other message!\n", &message_model::other_msgs},
    };
    for (const auto& c : cases) {
        host_info host;
        host.memory.fail_after(c.allocations_left);
        const std::string whole = "Dec  1 10:00:00 mx1 sm: Q1: " + c.text;
        input_line in;
        in.line = whole;
        in.msg_id = "Q1";
        in.message_text = c.text;
        testing::internal::CaptureStderr();
        pairing_index index;
        classify_line(host, index, in);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message) << c.text;
        EXPECT_EQ(host.messages.from_list.head, nullptr);
        EXPECT_EQ(host.messages.to_list.head, nullptr);
        EXPECT_EQ(host.messages.msg_chain.head, nullptr);
        EXPECT_EQ(host.messages.milter_chain.head, nullptr);
        EXPECT_EQ(host.messages.other_list.head, nullptr);
        if (c.counted) {
            EXPECT_EQ(host.messages.*c.counted, 1u) << c.text;
        }
    }
}

// Wherever memory runs out while a milter line is filed (its records, its
// chain element, the index's growth), the line is pending on both the list and
// the index, or on neither.
TEST(Classify, MilterListAndIndexStayEqualWhenMemoryRunsOut)
{
    for (const std::string text : {"Milter: connect: host=h, addr=192.0.2.3", "Milter: to=<a@b.c>, reject=550 no"}) {
        for (std::size_t arena_left = 0; arena_left < 6; ++arena_left) {
            for (std::size_t heap_left = 0; heap_left < 4; ++heap_left) {
                host_info host;
                host.memory.fail_after(arena_left);
                pairing_index index;
                const std::string whole = "Dec  1 10:00:00 mx1 sm: Q1: " + text;
                input_line in;
                in.line = whole;
                in.msg_id = "Q1";
                in.message_text = text;
                testing::internal::CaptureStderr();
                allocations_before_failure = heap_left;
                classify_line(host, index, in);
                allocations_before_failure = SIZE_MAX;
                testing::internal::GetCapturedStderr();
                EXPECT_EQ(host.messages.milter_list.head != nullptr, index.oldest_pending_milter("Q1") != nullptr)
                    << text << ", arena " << arena_left << ", heap " << heap_left;
            }
        }
    }
}

}  // namespace
