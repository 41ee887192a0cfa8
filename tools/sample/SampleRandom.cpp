#include "SampleRandom.h"

#include <algorithm>
#include <cmath>

namespace phonebook::sample {

WeightedPick::WeightedPick(const std::vector<double> &weights)
{
    m_cumulative.reserve(weights.size());
    double sum = 0;
    for (double w : weights) {
        sum += w;
        m_cumulative.push_back(sum);
    }
}

// Division and square root are exact in IEEE arithmetic, so the weights (and
// with them the picks) are the same everywhere, which std::pow does not promise.
WeightedPick WeightedPick::harmonic(int n)
{
    std::vector<double> weights(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        weights[static_cast<size_t>(i)] = 1.0 / (i + 1.0);
    return WeightedPick(weights);
}

WeightedPick WeightedPick::rootHarmonic(int n)
{
    std::vector<double> weights(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        weights[static_cast<size_t>(i)] = 1.0 / std::sqrt(i + 1.0);
    return WeightedPick(weights);
}

int WeightedPick::pick(SampleRandom &random) const
{
    const double target = random.unit() * m_cumulative.back();
    const auto it = std::upper_bound(m_cumulative.begin(), m_cumulative.end(), target);
    return std::min(static_cast<int>(it - m_cumulative.begin()), size() - 1);
}

} // namespace phonebook::sample
