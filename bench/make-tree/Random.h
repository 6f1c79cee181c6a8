// Seeded pseudo-random numbers for benchmark trees: the same seed always plans the same tree.
// splitmix64 and xoshiro256** are Vigna's public-domain generators (https://prng.di.unimi.it).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillmere::benchtree {

/// One step of splitmix64's output function: a bijective, well-mixed hash of x.
constexpr std::uint64_t mix64(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

/// xoshiro256** with a few conveniences for planning.
class Random {
  public:
    explicit Random(std::uint64_t seed) {
        for (auto& word : state_)
            word = seed = mix64(seed);
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

    /// Uniform in [0, 1).
    double real() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    /// Uniform in [low, high], both included.
    std::int64_t between(std::int64_t low, std::int64_t high) {
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>(next() % span);
    }

    bool chance(double probability) { return real() < probability; }

    /// Index of a weight, drawn in proportion to the weights.
    std::size_t weighted(std::span<const double> weights) {
        double total = 0;
        for (const double weight : weights)
            total += weight;
        double point = real() * total;
        for (std::size_t i = 0; i + 1 < weights.size(); ++i) {
            if (point < weights[i])
                return i;
            point -= weights[i];
        }
        return weights.size() - 1;
    }

  private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    std::array<std::uint64_t, 4> state_{};
};

} // namespace quillmere::benchtree
