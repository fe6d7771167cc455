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
    std::deque<std::string> keys{"", "AB12", "AB12x", "AB13"};  // stable storage: the map keeps views
    for (int i = 0; i < 6000; ++i)
        keys.push_back("qid" + std::to_string(random() % 100000));

    id_hash_map<int> map;
    std::unordered_map<std::string, int> reference;
    EXPECT_EQ(map.find("AB12"), nullptr);  // empty map
    for (const std::string& key : keys) {  // more than one chunk of entries, reused after erasure below
        map.find_or_add(key) += 1;
        reference[key] += 1;
    }
    for (int step = 0; step < 200000; ++step) {
        const std::string& key = keys[random() % keys.size()];
        switch (random() % 3) {
        case 0:
            map.find_or_add(key) += 1;
            reference[key] += 1;
            break;
        case 1:
            if (int* value = map.find(key))
                map.erase_found(value);
            reference.erase(key);  // the sizes compared below tell whether both held the key
            break;
        default:
            map.erase(key);
            reference.erase(key);
        }
        ASSERT_EQ(map.size(), reference.size());
    }
    for (const std::string& key : keys)
        ASSERT_EQ(map.find(key) ? *map.find(key) : -1, reference.count(key) ? reference[key] : -1) << key;
    map.find_or_add("") = 4;
    EXPECT_EQ(*map.find(std::string_view()), 4);  // a null view is the empty key
}

}  // namespace
