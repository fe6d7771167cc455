// The xoshiro256** generator and splitmix64, which seeds it and mixes the
// numbers of the synthetic partners. Both are fixed integer arithmetic, so
// their words are the same everywhere.
#include "tools/loggen/random.h"

namespace loggen {

namespace {

constexpr std::uint64_t rotate_left(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}

}  // namespace

std::uint64_t splitmix64(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

random_source::random_source(std::uint64_t seed)
{
    for (auto& word : s_)
        word = splitmix64(seed);
}

std::uint64_t random_source::next()
{
    const std::uint64_t result = rotate_left(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotate_left(s_[3], 45);
    return result;
}

}  // namespace loggen
