#include "QuickWords.h"

#include <algorithm>
#include <functional>
#include <ranges>

namespace phonebook::search {

uint32_t QuickWords::HashOf(std::string_view codes)
{
    const size_t hash = std::hash<std::string_view>{}(codes);
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

uint32_t QuickWords::Add(std::string_view codes) { return Add(codes, HashOf(codes)); }

uint32_t QuickWords::Add(std::string_view codes, uint32_t hash)
{
    if (m_start.empty()) {
        m_start.push_back(0);
        m_slots.assign(size_t{1} << 16, 0);
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint64_t held = m_slots[slot];
        if (held == 0) {
            const auto number = static_cast<uint32_t>(size());
            m_text.append(codes);
            m_start.push_back(static_cast<uint32_t>(m_text.size()));
            m_slots[slot] = uint64_t{hash} << 32 | (number + 1);
            if (size() * 2 > m_slots.size())
                grow();
            return number;
        }
        const auto number = static_cast<uint32_t>(held) - 1;
        if (held >> 32 == hash && word(number) == codes)
            return number;
    }
}

std::vector<uint32_t> QuickWords::AddAll(const QuickWords &other)
{
    std::vector<uint32_t> numbers(other.size());
    for (const uint64_t held : other.m_slots) {
        if (held == 0)
            continue;
        const auto number = static_cast<uint32_t>(held) - 1;
        numbers[number] = Add(other.word(number), static_cast<uint32_t>(held >> 32));
    }
    return numbers;
}

void QuickWords::grow()
{
    std::vector<uint64_t> slots(m_slots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (const uint64_t held : m_slots) {
        if (held == 0)
            continue;
        size_t slot = (held >> 32) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = held;
    }
    m_slots = std::move(slots);
}

std::vector<uint32_t> QuickWords::Sort()
{
    m_slots = {};
    const size_t count = size();
    // By the first 16 codes packed high first (no code is 0, so a shorter
    // word sorts before its continuations); words that share them by the
    // rest, which std::string_view compares as unsigned, as the codes are.
    struct Headed {
        uint64_t head;
        uint64_t head2;
        uint32_t number;
    };
    constexpr size_t HeadCodes = sizeof(uint64_t);
    const auto pack = [](std::string_view codes) {
        uint64_t packed = 0;
        for (size_t i = 0; i < HeadCodes; ++i)
            packed = packed << 8 | (i < codes.size() ? static_cast<uint8_t>(codes[i]) : 0);
        return packed;
    };
    std::vector<Headed> headed(count);
    for (uint32_t n = 0; n < count; ++n) {
        const std::string_view w = word(n);
        headed[n] = {pack(w), w.size() > HeadCodes ? pack(w.substr(HeadCodes)) : 0, n};
    }
    const auto rest = [&](uint32_t number) {
        const std::string_view w = word(number);
        return w.substr(std::min(w.size(), 2 * HeadCodes));
    };
    std::sort(headed.begin(), headed.end(), [&](const Headed &a, const Headed &b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (a.head2 != b.head2)
            return a.head2 < b.head2;
        return rest(a.number) < rest(b.number);
    });
    std::vector<uint32_t> order(count);
    for (uint32_t i = 0; i < count; ++i)
        order[i] = headed[i].number;
    headed = {};
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
    return Beginning(prefix, Range{0, static_cast<uint32_t>(size())});
}

QuickWords::Range QuickWords::Beginning(std::string_view prefix, Range within) const
{
    // Words before the range compare below the prefix; words in it begin with it.
    const auto numbers = std::views::iota(within.first, within.first + within.count);
    const auto headOf = [&](uint32_t number) { return word(number).substr(0, prefix.size()); };
    const auto place = [&](auto below) {
        return static_cast<uint32_t>(std::ranges::partition_point(numbers, below) - numbers.begin());
    };
    const uint32_t first = place([&](uint32_t n) { return headOf(n) < prefix; });
    const uint32_t end = place([&](uint32_t n) { return headOf(n) <= prefix; });
    return {within.first + first, end - first};
}

std::vector<QuickWords::Range> QuickWords::Slips(std::string_view typed) const
{
    // Every beginning within one slip of `typed` is `typed` itself or one of
    // its variants (a code dropped, swapped with the next, changed or added
    // at each position); the words that begin with a variant are one range.
    // A variant shares the typed word's first i codes, so each is looked up
    // among the words that begin with those, and the codes to change to or
    // add are only those some word has at that position.
    const size_t length = typed.size();
    std::vector<Range> heads{Range{0, static_cast<uint32_t>(size())}};
    for (size_t i = 0; i < length && heads.back().count != 0; ++i)
        heads.push_back(Beginning(typed.substr(0, i + 1), heads.back()));
    std::vector<Range> found;
    const auto add = [&](Range range) {
        if (range.count != 0)
            found.push_back(range);
    };
    if (heads.size() == length + 1)
        add(heads.back());
    std::string variant;
    const auto make = [&](std::initializer_list<std::string_view> parts) -> std::string_view {
        variant.clear();
        for (const std::string_view part : parts)
            variant.append(part);
        return variant;
    };
    for (size_t i = 0; i < length && i < heads.size(); ++i) {
        const Range head = heads[i];
        if (head.count == 0)
            break;
        const std::string_view before = typed.substr(0, i);
        const std::string_view rest = typed.substr(i + 1);
        add(Beginning(make({before, rest}), head));
        if (i + 1 < length && typed[i] != typed[i + 1])
            add(Beginning(make({before, typed.substr(i + 1, 1), typed.substr(i, 1), typed.substr(i + 2)}), head));
        // The codes the words of `head` have at position i, each once.
        uint32_t next = head.first;
        const uint32_t end = head.first + head.count;
        while (next < end) {
            const std::string_view w = word(next);
            if (w.size() <= i) { // the beginning itself sorts first
                ++next;
                continue;
            }
            const std::string_view code = w.substr(i, 1);
            const Range withCode = Beginning(make({before, code}), head);
            next = withCode.first + withCode.count;
            if (static_cast<uint8_t>(code[0]) == FoldNumberMark)
                continue; // a house's digits: never a typed word's slip
            if (code != typed.substr(i, 1))
                add(Beginning(make({before, code, rest}), withCode));
            add(Beginning(make({before, code, typed.substr(i)}), withCode));
        }
    }
    std::sort(found.begin(), found.end(), [](Range a, Range b) { return a.first < b.first; });
    std::vector<Range> merged;
    for (const Range range : found) {
        if (!merged.empty() && range.first <= merged.back().first + merged.back().count) {
            Range &last = merged.back();
            last.count = std::max(last.first + last.count, range.first + range.count) - last.first;
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

} // namespace phonebook::search
