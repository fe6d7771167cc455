// The keys of the builders' hash indexes: exact comparison, absent texts
// equal only to absent texts, and an index whose hash collides on every key
// still finds exactly the right record. Keys are the test's own texts.
#include "stats/text_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

namespace {

TEST(TextKeys, SameTextIsExactAndAbsentMatchesOnlyAbsent)
{
    std::string copy = "Relay";
    EXPECT_TRUE(same_text("Relay", copy.c_str()));
    EXPECT_FALSE(same_text("Relay", "relay"));
    EXPECT_FALSE(same_text("Relay", "Relay "));
    EXPECT_TRUE(same_text(nullptr, nullptr));
    EXPECT_FALSE(same_text(nullptr, ""));
    EXPECT_FALSE(same_text("", nullptr));
    EXPECT_FALSE(same_text(nullptr, "(null)"));
    EXPECT_NE(text_hash(nullptr), text_hash("")) << "absent and empty keys should spread apart";
}

TEST(TextKeys, TripleEqualityComparesEveryPart)
{
    text_triple_equal equal;
    const text_triple key{"a@x", "relay", "550 no"};
    EXPECT_TRUE(equal(key, text_triple{"a@x", "relay", "550 no"}));
    EXPECT_FALSE(equal(key, text_triple{"A@x", "relay", "550 no"}));
    EXPECT_FALSE(equal(key, text_triple{"a@x", "Relay", "550 no"}));
    EXPECT_FALSE(equal(key, text_triple{"a@x", "relay", "550 No"}));
    EXPECT_FALSE(equal(key, text_triple{"a@x", nullptr, "550 no"}));
    EXPECT_FALSE(equal(text_triple{nullptr, nullptr, nullptr}, text_triple{nullptr, nullptr, ""}));
    EXPECT_TRUE(equal(text_triple{nullptr, "r", nullptr}, text_triple{nullptr, "r", nullptr}));
    text_triple_hash hash;
    EXPECT_EQ(hash(key), hash(text_triple{"a@x", "relay", "550 no"}));
    EXPECT_NE(hash(text_triple{"ab", "c", "d"}), hash(text_triple{"a", "bc", "d"}));
}

// Every key lands in one bucket with one hash, so only equality tells them apart.
struct colliding_hash {
    std::size_t operator()(const text_triple&) const { return 7; }
};

TEST(TextKeys, CollidingKeysStillFindTheirOwnRecord)
{
    std::unordered_map<text_triple, int, colliding_hash, text_triple_equal> index;
    const text_triple keys[] = {
        {"a", "r", "x"}, {"a", "r", "X"}, {"a", nullptr, "x"}, {nullptr, nullptr, "x"}, {"a", "(null)", "x"},
    };
    int value = 0;
    for (const text_triple& key : keys)
        EXPECT_TRUE(index.emplace(key, value++).second);
    ASSERT_EQ(index.size(), 5u);
    std::string a = "a", r = "r", x = "x";
    EXPECT_EQ(index.at(text_triple{a.c_str(), r.c_str(), x.c_str()}), 0);
    EXPECT_EQ(index.at(text_triple{"a", "r", "X"}), 1);
    EXPECT_EQ(index.at(text_triple{"a", nullptr, "x"}), 2);
    EXPECT_EQ(index.at(text_triple{nullptr, nullptr, "x"}), 3);
    EXPECT_EQ(index.at(text_triple{"a", "(null)", "x"}), 4);
    EXPECT_EQ(index.count(text_triple{nullptr, "r", "x"}), 0u);
    EXPECT_EQ(index.count(text_triple{"a", "r", nullptr}), 0u);
}

}  // namespace
