#include "QuickWords.h"

#include <algorithm>
#include <numeric>
#include <ranges>

namespace phonebook::search {

uint32_t QuickWords::Add(std::string_view codes)
{
    if (m_start.empty())
        m_start.push_back(0);
    if (const auto known = m_numbers.find(codes); known != m_numbers.end())
        return known->second;
    const auto number = static_cast<uint32_t>(size());
    m_text.append(codes);
    m_start.push_back(static_cast<uint32_t>(m_text.size()));
    m_numbers.emplace(codes, number);
    return number;
}

std::vector<uint32_t> QuickWords::Sort()
{
    m_numbers = {};
    const size_t count = size();
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    // std::string_view compares its characters as unsigned, as the codes are.
    std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) { return word(a) < word(b); });
    std::vector<uint32_t> final(count);
    std::string text;
    text.reserve(m_text.size());
    std::vector<uint32_t> start{0};
    start.reserve(count + 1);
    for (uint32_t i = 0; i < count; ++i) {
        final[order[i]] = i;
        text.append(word(order[i]));
        start.push_back(static_cast<uint32_t>(text.size()));
    }
    m_text = std::move(text);
    m_start = std::move(start);
    return final;
}

QuickWords::Range QuickWords::Beginning(std::string_view prefix) const
{
    // Words before the range compare below the prefix; words in it begin with it.
    const auto numbers = std::views::iota(uint32_t{0}, static_cast<uint32_t>(size()));
    const auto headOf = [&](uint32_t number) { return word(number).substr(0, prefix.size()); };
    const auto place = [&](auto below) {
        return static_cast<uint32_t>(std::ranges::partition_point(numbers, below) - numbers.begin());
    };
    const uint32_t first = place([&](uint32_t n) { return headOf(n) < prefix; });
    const uint32_t end = place([&](uint32_t n) { return headOf(n) <= prefix; });
    return {first, end - first};
}

} // namespace phonebook::search
