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
    if (m_cumulative.empty() || !(sum > 0))
        return;
    const size_t slices = m_cumulative.size();
    m_slicesPerWeight = static_cast<double>(slices) / sum;
    m_sliceStart.reserve(slices + 1);
    for (size_t s = 0; s <= slices; ++s) {
        const double edge = static_cast<double>(s) / m_slicesPerWeight;
        m_sliceStart.push_back(static_cast<int>(std::upper_bound(m_cumulative.begin(), m_cumulative.end(), edge) - m_cumulative.begin()));
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
    auto first = m_cumulative.begin();
    auto last = m_cumulative.end();
    if (!m_sliceStart.empty()) {
        // The answer, the first item whose cumulative weight exceeds the
        // target, lies in the target's slice, unless rounding put the target
        // on the slice's edge: then the whole list is searched, as before.
        const size_t slice = std::min(static_cast<size_t>(target * m_slicesPerWeight), m_sliceStart.size() - 2);
        const auto low = m_cumulative.begin() + m_sliceStart[slice];
        const auto high = m_cumulative.begin() + m_sliceStart[slice + 1];
        if ((low == m_cumulative.begin() || *(low - 1) <= target) && (high == m_cumulative.end() || *high > target)) {
            first = low;
            last = high == m_cumulative.end() ? high : high + 1;
        }
    }
    const auto it = std::upper_bound(first, last, target);
    return std::min(static_cast<int>(it - m_cumulative.begin()), size() - 1);
}

} // namespace phonebook::sample
