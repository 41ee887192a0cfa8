#pragma once
// A small random source whose sequence is fixed by its seed on every
// platform and compiler (the standard distributions are not), so a sample
// directory can be written again byte for byte.

#include <cstdint>
#include <vector>

namespace phonebook::sample {

class SampleRandom {
public:
    explicit SampleRandom(uint64_t seed) : m_state(seed) {}

    // splitmix64
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n at least 1.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * n) >> 32); }
    // Uniform in [low, high], both inclusive.
    int between(int low, int high) { return low + static_cast<int>(below(static_cast<uint32_t>(high - low + 1))); }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double probability) { return unit() < probability; }

private:
    uint64_t m_state;
};

// Picks indexes 0..n-1 with fixed weights, in logarithmic time.
class WeightedPick {
public:
    WeightedPick() = default;
    explicit WeightedPick(const std::vector<double> &weights);
    // Weights 1/rank: a few common items and a long tail of rare ones.
    static WeightedPick harmonic(int n);
    // Weights 1/sqrt(rank): a flatter head.
    static WeightedPick rootHarmonic(int n);

    int pick(SampleRandom &random) const;
    int size() const { return static_cast<int>(m_cumulative.size()); }

private:
    std::vector<double> m_cumulative;
    // Equal slices of the total weight, as many as the items: the first item
    // past each slice's lower edge, so that a pick searches one slice only.
    std::vector<int> m_sliceStart;
    double m_slicesPerWeight = 0;
};

} // namespace phonebook::sample
