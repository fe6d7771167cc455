// Classification when memory runs out. Lists, partners and counters are checked against a plain
// model by the pairing reference test; messages and traces end to end (input_edges).
#include "input/classify.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/host_info.h"
#include "tools/loggen/log_generator.h"
#include "util/text_util.h"

// Global allocation of the whole unit test executable (the stats tests use it too) that can be made
// to fail after a number of calls, so that the pairing index's growth runs out of memory (off unless
// armed). Every form of new and delete goes through malloc and free, whichever the library uses.
static std::size_t allocations_before_failure = SIZE_MAX;

static void* allocate_or_fail(std::size_t size)
{
    if (allocations_before_failure == 0)
        return nullptr;
    allocations_before_failure -= allocations_before_failure != SIZE_MAX;
    return std::malloc(size ? size : 1);
}

// GCC cannot see that every operator new here is malloc, and would warn where it inlines a delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    if (void* memory = allocate_or_fail(size))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate_or_fail(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate_or_fail(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

// Classifies "Q1: `text`" for a host whose arena fails after `arena_left`
// allocations and a heap that fails after `heap_left`; returns the messages.
std::string classify(host_info& host, pairing_index& index, const std::string& text, std::size_t arena_left,
                     std::size_t heap_left = SIZE_MAX)
{
    host.memory.fail_after(arena_left);
    const std::string whole = "Dec  1 10:00:00 mx1 sm: Q1: " + text;
    input_line in;
    in.line = whole, in.msg_id = "Q1", in.message_text = text;
    testing::internal::CaptureStderr();
    allocations_before_failure = heap_left;
    classify_line(host, index, in);
    allocations_before_failure = SIZE_MAX;
    return testing::internal::GetCapturedStderr();
}

// Memory that runs out drops the line with its message; what was counted stays.
TEST(Classify, LineIsDroppedWhenMemoryRunsOut)
{
    // The line, the arena allocations left, the record named, a counter changed before the failure.
    struct { std::string text; std::size_t allocations_left; const char* record; std::uint32_t message_model::*counted; } cases[] = {
        {"from=<a@b.c>, size=1", 0, "<from> message", &message_model::from_msgs_ooo},
        {"ruleset=check_relay, reject=550 no", 0, "ruleset message", &message_model::ruleset_msgs_ooo},
        {"Milter: to=<a@b.c>, reject=550 no", 0, "milter message", &message_model::milter_msgs_ooo},
        {"Milter: connect: host=h, addr=192.0.2.3", 1, "milter chain (case: connect)", &message_model::milter_msgs_ooo},
        {"to=<a@b.c>, stat=Sent", 0, "<to> message", nullptr},
        {"host [192.0.2.1] did not issue MAIL", 0, "no_action message", &message_model::no_action_msgs},
        {"<x@y>... User unknown", 0, "unkn_user message", &message_model::unknown_user_msgs},
        {"lost input channel", 0, "other message", &message_model::other_msgs},
    };
    for (const auto& c : cases) {
        host_info host;
        pairing_index index;
        EXPECT_EQ(classify(host, index, c.text, c.allocations_left),
                  "ERROR: cannot get memory for " + std::string(c.record) + "!\n");
        EXPECT_TRUE(!host.messages.from_list.head && !host.messages.to_list.head && !host.messages.msg_chain.head &&
                    !host.messages.milter_chain.head && !host.messages.other_list.head)
            << c.text;
        EXPECT_TRUE(!c.counted || host.messages.*c.counted == 1u) << c.text;
    }
}

// The one-pass kind of a line without queue id against the ordered searches it
// stands for, on the lines of a generated log and on random mixes of the words,
// their near misses, blanks and bytes of other cases.
TEST(Classify, PlainLineKindEqualsTheOrderedSearches)
{
    auto ordered = [](const char* body) {
        if (find_nocase(body, " daemon "))
            return plain_line_kind::daemon_restart;
        if (find_nocase(body, "alias ") && find_nocase(body, "rebuilt"))
            return plain_line_kind::alias_rebuild;
        return find_nocase(body, "STARTTLS=") ? plain_line_kind::tls : plain_line_kind::unknown;
    };
    std::vector<std::string> bodies;
    std::istringstream log(generate_log(5, 5000));
    for (std::string line; std::getline(log, line);)
        bodies.push_back(line);
    const char* pieces[] = {" daemon ", " DaEmOn ", "daemon ", " daemo", "alias ", "ALIAS ", "alias", "rebuilt", "ReBuilT",
                            "rebuil", "STARTTLS=", "starttls=", "STARTTLS ", " ", "a", "r", "s", "\xc1", "\xe4"};
    std::mt19937 random(11);
    for (int i = 0; i < 30000; ++i) {
        std::string body;
        for (unsigned n = random() % 7; n > 0; --n)
            body += pieces[random() % std::size(pieces)];
        bodies.push_back(body);
    }
    for (const std::string& body : bodies)
        ASSERT_EQ(kind_of_plain_line(body.c_str()), ordered(body.c_str())) << body;
}

// Wherever memory runs out filing a milter line, it is pending on both the list and the index, or neither.
TEST(Classify, MilterListAndIndexStayEqualWhenMemoryRunsOut)
{
    for (const std::string text : {"Milter: connect: host=h, addr=192.0.2.3", "Milter: to=<a@b.c>, reject=550 no"})
        for (std::size_t arena_left = 0; arena_left < 6; ++arena_left)
            for (std::size_t heap_left = 0; heap_left < 4; ++heap_left) {
                host_info host;
                pairing_index index;
                classify(host, index, text, arena_left, heap_left);
                EXPECT_EQ(host.messages.milter_list.head != nullptr, index.oldest_pending_milter("Q1") != nullptr)
                    << text << ", arena " << arena_left << ", heap " << heap_left;
            }
}

}  // namespace
