#pragma once
// The distinct words of a table's text fields, folded (see QuickRule.h), each
// with a number in their sorted order: the words that begin with a given text
// then have consecutive numbers, so "some word of the record begins with it"
// becomes "one of the record's word numbers lies in a range".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook::search {

// Leads the word an index keeps for a house's or flat's leading digits
// (after the folded codes of QuickRule.h); no typed word holds it.
inline constexpr uint8_t FoldNumberMark = 70;

class QuickWords {
public:
    // Numbers from `first` up to (not including) `first + count`.
    struct Range {
        uint32_t first = 0;
        uint32_t count = 0;
        bool holds(uint32_t word) const { return word - first < count; }
    };

    // While building: the word's provisional number (the same for the same codes).
    uint32_t Add(std::string_view codes);
    // The same, given the codes' HashOf; Prefetch(hash) ahead lets the
    // lookups of several words overlap.
    uint32_t Add(std::string_view codes, uint32_t hash);
    static uint32_t HashOf(std::string_view codes);
    void Prefetch(uint32_t hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }
    // While building: adds the words of `other` (still building too) and
    // returns, by its provisional number, each one's number here.
    std::vector<uint32_t> AddAll(const QuickWords &other);
    // Ends the building: sorts the words and returns, by provisional number,
    // each word's final number.
    std::vector<uint32_t> Sort();

    // The numbers of the words that begin with `prefix` (after Sort); with
    // `within`, of those in it (which must hold every word that begins with
    // a beginning of `prefix`).
    Range Beginning(std::string_view prefix) const;
    Range Beginning(std::string_view prefix, Range within) const;
    // The numbers of the words with a beginning one slip away from `typed`
    // or equal to it: some beginning of the word, of the length of `typed`
    // or one shorter or longer, becomes `typed` by one code changed, added,
    // dropped, or two neighbouring codes swapped (Damerau-Levenshtein
    // distance 1 at most). Ascending ranges that neither overlap nor touch.
    std::vector<Range> Slips(std::string_view typed) const;
    size_t size() const { return m_start.empty() ? 0 : m_start.size() - 1; }
    std::string_view word(uint32_t number) const
    {
        return std::string_view(m_text).substr(m_start[number], m_start[number + 1] - m_start[number]);
    }
    size_t MemoryBytes() const { return m_text.capacity() + m_start.capacity() * sizeof(uint32_t); }

private:
    void grow();

    std::string m_text;            // the words' codes, one after another
    std::vector<uint32_t> m_start; // where each word begins in m_text, and its end last
    // While building: an open-addressing table of the words, each slot the
    // word's hash in the high half and its provisional number plus one in the
    // low (0 for an empty slot), so that a probe reads a word's codes only
    // when the hashes agree, and growing reads none.
    std::vector<uint64_t> m_slots;
};

} // namespace phonebook::search
