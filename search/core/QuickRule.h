#pragma once
// What the quick-search box asks for: the typed text taken apart into words
// and numbers, and the folding both sides of a comparison go through.
//
// The text is split at blanks. A piece made only of digits and "-", "(", ")"
// is one number (its digits). Any other piece gives its runs of letters and
// digits; a run of digits alone is a number, any other run a word. A hyphen
// between two letters joins their runs into one word, hyphen included
// ("римский-к"). Letters are folded: case is ignored and "ё" counts as "е".

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <vector>

namespace phonebook::search {

// Folded character codes. 0 is not part of a word (punctuation, anything the
// deciphered text can hold besides letters and digits).
inline constexpr uint8_t FoldNone = 0;
inline constexpr uint8_t FoldFirstCyrillic = 1;  // а .. я without ё: 1 .. 32
inline constexpr uint8_t FoldFirstLatin = 33;    // a .. z: 33 .. 58
inline constexpr uint8_t FoldFirstDigit = 59;    // 0 .. 9: 59 .. 68
inline constexpr uint8_t FoldCodeCount = 69;     // codes 1 .. 68 are word characters
// A hyphen: inside a hyphenated word, else not part of a word.
inline constexpr uint8_t FoldHyphen = 69;
// A typed letter or digit that no deciphered value can hold: matches nothing.
inline constexpr uint8_t FoldUnmatchable = 255;

// Folded code of one character: a word character's code, FoldUnmatchable for
// another letter or number, FoldNone for anything else.
uint8_t FoldChar(char32_t c);

constexpr bool IsFoldDigit(uint8_t code) { return code >= FoldFirstDigit && code < FoldFirstDigit + 10; }
constexpr bool IsFoldLetter(uint8_t code) { return code != FoldNone && code < FoldFirstDigit; }

// How the words of a query match the stored words.
enum class QuickMatch {
    Exact, // a stored word begins with the word
    Slips, // besides, a word of SlipWordLength or more: a stored word's beginning one slip away
};

struct QuickQuery {
    // Words with at least one letter, folded.
    std::vector<std::string> words;
    // Numbers as folded digit codes.
    std::vector<std::string> numbers;
    // Whether the text begins with a number rather than a word: the first
    // of them orders the rows (see QuickIndex).
    bool numberFirst = false;

    bool empty() const { return words.empty() && numbers.empty(); }
    // Whether every row that matches this query also matches `previous`, so
    // that this one can be answered by filtering the previous result.
    // With slips the same, each query matched with slips.
    bool narrows(const QuickQuery &previous, QuickMatch match = QuickMatch::Exact) const;
    // Whether every row that matches this query either matches `previous` or
    // has a house or flat number equal to one of this query's numbers: the
    // case where a typed number grew longer.
    bool extends(const QuickQuery &previous, QuickMatch match = QuickMatch::Exact) const;

private:
    bool implies(const QuickQuery &previous, bool longerNumbers, QuickMatch match) const;
};

QuickQuery ParseQuickText(QStringView text);

// Whether the text holds a Latin letter.
bool HasLatinLetters(QStringView text);
// The text as the same keys give it on the Russian (ЙЦУКЕН) layout: Latin
// letters and the keys that carry Russian letters there ("[", "]", ";", "'",
// ",", ".", "`" and their shifted forms) become those letters, in the same case;
// everything else stays.
QString ToRussianLayout(QStringView text);

// Words this long or longer also match a stored word whose beginning is one
// slip away (see QuickWords::Slips); shorter ones and numbers match exactly.
inline constexpr size_t SlipWordLength = 4;

} // namespace phonebook::search
