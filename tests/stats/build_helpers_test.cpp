// The helpers shared by the statistic builders: when a split address counts
// as complete, and how the guarded runners report a step's failure.
#include "stats/build_helpers.h"

#include <gtest/gtest.h>

#include <new>

#include "model/address_parts.h"

namespace {

TEST(SplitComplete, EveryFullSplitIsCompleteAndEachMissingPartIsNot)
{
    arena memory;
    for (const char* address : {"user@mail.example.com", "user@host", "user@.com", "user@", "@a.b", "plain"})
        EXPECT_TRUE(split_complete(address, split_address(memory, address))) << address;
    EXPECT_TRUE(split_complete(nullptr, env_name_info{})) << "an absent address calls for no part";
    EXPECT_TRUE(split_complete("user@.com", env_name_info{"user", ".com", nullptr, nullptr}))
        << "a dot only at the start of the host calls for no domain level";

    const env_name_info full = split_address(memory, "user@mail.example.com");
    for (const char* env_name_info::*part : {&env_name_info::user_name, &env_name_info::host_name,
                                             &env_name_info::dom_name_lvl_1, &env_name_info::dom_name_lvl_2}) {
        env_name_info missing = full;
        missing.*part = nullptr;
        EXPECT_FALSE(split_complete("user@mail.example.com", missing));
    }
}

TEST(Guarded, AFailedOrThrowingStepGivesItsMessage)
{
    const char* const failure = "no memory";
    EXPECT_EQ(guarded(failure, [] { return true; }), nullptr);
    EXPECT_EQ(guarded(failure, [] { return false; }), failure);
    EXPECT_EQ(guarded(failure, []() -> bool { throw std::bad_alloc(); }), failure);

    const char* const own = "cannot parse";
    EXPECT_EQ(guarded_message(failure, [] { return static_cast<const char*>(nullptr); }), nullptr);
    EXPECT_EQ(guarded_message(failure, [&] { return own; }), own);
    EXPECT_EQ(guarded_message(failure, []() -> const char* { throw std::bad_alloc(); }), failure);
}

}  // namespace
