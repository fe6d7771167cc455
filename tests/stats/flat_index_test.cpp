// The flat index against a linear search over the keys added so far, on
// random texts from a small alphabet (so that keys repeat), absent keys
// among them, and a hash that puts many keys on a few slots.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "stats/flat_index.h"
#include "stats/text_keys.h"

namespace {

struct entry {
    const char* key;
    std::uint32_t value;
};

template <class Index>
void check_against_linear_search(Index& index, std::size_t (*hash)(const char*), std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i)
        texts.push_back(std::string(random() % 4, 'a') + static_cast<char>('a' + random() % 5));
    std::vector<entry> reference;
    for (int step = 0; step < 4000; ++step) {
        const std::size_t pick = random() % (texts.size() + 1);
        const char* key = pick == texts.size() ? nullptr : texts[pick].c_str();
        const entry* expected = nullptr;
        for (const entry& e : reference)
            if (same_text(e.key, key))
                expected = &e;
        if (step % 3 == 0) {
            std::uint32_t* found = index.find(key, hash(key));
            ASSERT_EQ(found != nullptr, expected != nullptr);
            if (found) {
                EXPECT_EQ(*found, expected->value);
            }
            continue;
        }
        const auto value = static_cast<std::uint32_t>(step);
        auto [found, added] = index.try_emplace(key, hash(key), value);
        EXPECT_EQ(added, expected == nullptr);
        EXPECT_EQ(*found, added ? value : expected->value);
        if (added)
            reference.push_back({key, value});
        ASSERT_EQ(index.size(), reference.size());
    }
}

using text_index = flat_index<const char*, std::uint32_t, text_key_equal>;

TEST(FlatIndex, FindsWhatALinearSearchFinds)
{
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        text_index index;
        check_against_linear_search(index, text_hash, seed);
    }
}

TEST(FlatIndex, CollidingHashesAndReservedRoom)
{
    text_index index;
    index.reserve(1000);
    check_against_linear_search(index, [](const char* text) -> std::size_t { return text_hash(text) % 7; }, 9);
}

}  // namespace
