#include "QuickWords.h"

#include <algorithm>
#include <numeric>

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
    const auto count = static_cast<uint32_t>(size());
    auto below = [&](uint32_t number, bool orEqualPrefix) {
        const std::string_view w = word(number).substr(0, prefix.size());
        return orEqualPrefix ? w <= prefix : w < prefix;
    };
    // Words before the range compare below the prefix; words in it begin with it.
    uint32_t lo = 0;
    uint32_t hi = count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (below(mid, false))
            lo = mid + 1;
        else
            hi = mid;
    }
    uint32_t end = lo;
    hi = count;
    while (end < hi) {
        const uint32_t mid = end + (hi - end) / 2;
        if (below(mid, true))
            end = mid + 1;
        else
            hi = mid;
    }
    return {lo, end - lo};
}

} // namespace phonebook::search
