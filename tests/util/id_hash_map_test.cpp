// The flat queue-id map against std::unordered_map under random insertions,
// look-ups and erasures: erasing from the middle of a probe run (also across
// the end of the table) must keep every other key findable.
#include "util/id_hash_map.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <unordered_map>

namespace {

TEST(IdHashMap, AgreesWithUnorderedMapUnderRandomOperations)
{
    std::mt19937 random(7);
    std::deque<std::string> keys;  // stable storage: the map keeps views
    for (int i = 0; i < 3000; ++i)
        keys.push_back("qid" + std::to_string(random() % 100000));

    id_hash_map<int> map;
    std::unordered_map<std::string, int> reference;
    for (int step = 0; step < 200000; ++step) {
        const std::string& key = keys[random() % keys.size()];
        switch (random() % 3) {
        case 0:
            map.find_or_add(key) += 1;
            reference[key] += 1;
            break;
        case 1:
            if (int* value = map.find(key)) {
                ASSERT_EQ(reference.count(key), 1u) << key;
                map.erase_found(value);
                reference.erase(key);
            } else {
                ASSERT_EQ(reference.count(key), 0u) << key;
            }
            break;
        default:
            map.erase(key);
            reference.erase(key);
            break;
        }
        ASSERT_EQ(map.size(), reference.size());
    }
    for (const std::string& key : keys) {
        const int* value = map.find(key);
        auto expected = reference.find(key);
        ASSERT_EQ(value != nullptr, expected != reference.end()) << key;
        if (value) {
            EXPECT_EQ(*value, expected->second) << key;
        }
    }
}

TEST(IdHashMap, KeysDifferingOnlyInLengthOrLastByteAreDistinct)
{
    const std::string a = "AB12", b = "AB12x", c = "AB13", empty;
    id_hash_map<int> map;
    EXPECT_EQ(map.find(a), nullptr);  // empty map
    map.find_or_add(a) = 1;
    map.find_or_add(b) = 2;
    map.find_or_add(c) = 3;
    map.find_or_add(empty) = 4;
    EXPECT_EQ(*map.find(a), 1);
    EXPECT_EQ(*map.find(b), 2);
    EXPECT_EQ(*map.find(c), 3);
    EXPECT_EQ(*map.find(""), 4);
    EXPECT_EQ(*map.find(std::string_view()), 4);  // a null view is the empty key
    EXPECT_EQ(map.find("AB1"), nullptr);
    map.erase("AB12");
    EXPECT_EQ(map.find(a), nullptr);
    EXPECT_EQ(*map.find(b), 2);
    EXPECT_EQ(map.size(), 3u);
}

}  // namespace
