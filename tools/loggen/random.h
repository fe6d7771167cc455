// The generator's only source of chance: xoshiro256** seeded through
// splitmix64, with integer helpers (below, between, chance per thousand,
// pick, weighted pick) so that no floating point decides anything and one
// seed gives the same draws on every platform. Every draw is a statement of
// its own: the order in which function arguments are evaluated varies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace loggen {

// One step of splitmix64: advances `state` and returns a well-mixed word.
std::uint64_t splitmix64(std::uint64_t& state);

class random_source {
public:
    explicit random_source(std::uint64_t seed);

    std::uint64_t next();

    // 0..n-1 (0 when n is 0), by multiplying the top 32 bits.
    std::uint32_t below(std::uint64_t n)
    {
        return static_cast<std::uint32_t>(((next() >> 32) * (n & 0xFFFFFFFFu)) >> 32);
    }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1ull); }
    bool chance(unsigned permille) { return below(1000) < permille; }

    template <class T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    std::uint64_t s_[4];
};

template <class T>
struct weighted {
    T value;
    unsigned weight;
};

// One value of `table`, each as likely as its weight.
template <class T, std::size_t N>
T pick_weighted(random_source& rng, const std::array<weighted<T>, N>& table)
{
    unsigned total = 0;
    for (const auto& entry : table)
        total += entry.weight;
    unsigned roll = rng.below(total);
    for (const auto& entry : table) {
        if (roll < entry.weight)
            return entry.value;
        roll -= entry.weight;
    }
    return table.back().value;
}

}  // namespace loggen
