#include "QuickWords.h"

#include <algorithm>
#include <numeric>
#include <ranges>

namespace phonebook::search {

namespace {

uint64_t HashOf(std::string_view codes)
{
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : codes) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash ^ (hash >> 29);
}

} // namespace

uint32_t QuickWords::slotOf(std::string_view codes, uint64_t hash) const
{
    const auto mask = static_cast<uint32_t>(m_slots.size() - 1);
    for (auto slot = static_cast<uint32_t>(hash) & mask;; slot = (slot + 1) & mask) {
        const uint32_t held = m_slots[slot];
        if (held == 0 || word(held - 1) == codes)
            return slot;
    }
}

void QuickWords::grow()
{
    std::vector<uint32_t> old = std::move(m_slots);
    m_slots.assign(std::max<size_t>(1024, old.size() * 2), 0);
    for (const uint32_t held : old) {
        if (held != 0)
            m_slots[slotOf(word(held - 1), HashOf(word(held - 1)))] = held;
    }
}

uint32_t QuickWords::Add(std::string_view codes)
{
    if (m_start.empty())
        m_start.push_back(0);
    if ((size() + 1) * 2 > m_slots.size())
        grow();
    const uint32_t slot = slotOf(codes, HashOf(codes));
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    m_text.append(codes);
    m_start.push_back(static_cast<uint32_t>(m_text.size()));
    const auto number = static_cast<uint32_t>(size() - 1);
    m_slots[slot] = number + 1;
    return number;
}

std::vector<uint32_t> QuickWords::Sort()
{
    m_slots = {};
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
