#pragma once
// The order every list is shown in. Stored values are enciphered, so they are
// compared by what they decipher to: the blank first, then the cipher
// alphabet's punctuation in alphabet order, the digits 0 to 9, the Cyrillic
// letters regardless of case (Ё right after Е), the Latin letters regardless
// of case, then anything else by code point. A value that is a prefix of
// another comes first; ties are broken by the stored text in code-point
// order, so two different stored values never compare equal.

#include "CodePages.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace phonebook {

// Name under which the engine knows the collation; table columns declare it.
inline constexpr char CollationName[] = "directory";

// Primary weight of one plain (deciphered) character; letters of both cases
// share a weight. Weight 0 is never returned (it marks the end of a value).
uint32_t CollationWeight(char32_t plain);

// Compares two stored values given as UTF-8, trailing blanks dropped:
// negative, zero or positive.
int CompareStored(std::string_view a, std::string_view b);

// The same on raw table bytes in the table's code page.
int CompareStoredBytes(CodePage page, std::string_view a, std::string_view b);

// Number of leading characters a sort key holds.
inline constexpr int SortKeyLength = 16;

// Fixed-size sort key of a stored value in a code page: the weights of its
// first SortKeyLength deciphered characters, one byte each (0 past the end,
// 255 for any weight that does not fit in a byte). Keys compare as unsigned
// integers, hi first; equal keys need CompareStoredBytes to decide.
struct SortKey {
    uint64_t hi = 0;
    uint64_t lo = 0;
    friend bool operator==(const SortKey &, const SortKey &) = default;
    friend bool operator<(const SortKey &a, const SortKey &b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }
};
SortKey MakeSortKey(CodePage page, std::string_view raw);
// The key of the next SortKeyLength weights, for values whose keys are
// equal; nothing when the first key ended in a 255 (then only
// CompareStoredBytes decides).
std::optional<SortKey> MakeNextSortKey(CodePage page, std::string_view raw);
// Both at once, the value read once.
std::pair<SortKey, std::optional<SortKey>> MakeSortKeys(CodePage page, std::string_view raw);

} // namespace phonebook
