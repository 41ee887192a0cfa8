#include "QuickRule.h"

#include <QStringList>

#include <algorithm>
#include <string_view>

namespace phonebook::search {

namespace {

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

bool IsNumberPiece(QStringView piece)
{
    bool digit = false;
    for (const QChar c : piece) {
        if (c >= u'0' && c <= u'9')
            digit = true;
        else if (c != u'-' && c != u'(' && c != u')')
            return false;
    }
    return digit;
}

} // namespace

uint8_t FoldChar(char32_t c)
{
    if (c >= U'а' && c <= U'я')
        return static_cast<uint8_t>(FoldFirstCyrillic + (c - U'а'));
    if (c >= U'А' && c <= U'Я')
        return FoldChar(c - U'А' + U'а');
    if (c == U'ё' || c == U'Ё')
        return FoldChar(U'е');
    if (c >= U'a' && c <= U'z')
        return static_cast<uint8_t>(FoldFirstLatin + (c - U'a'));
    if (c >= U'A' && c <= U'Z')
        return static_cast<uint8_t>(FoldFirstLatin + (c - U'A'));
    if (c >= U'0' && c <= U'9')
        return static_cast<uint8_t>(FoldFirstDigit + (c - U'0'));
    if (c < 0x10000 && QChar(static_cast<char16_t>(c)).isLetterOrNumber())
        return FoldUnmatchable;
    return FoldNone;
}

bool QuickQuery::implies(const QuickQuery &previous, bool longerNumbers, QuickMatch match) const
{
    // A word is implied by a longer word of its own beginning. A number is
    // implied by the same number or by a word that begins with its digits; a
    // longer number of its beginning implies it only by the telephone number
    // and by words, not by a house or flat (those match by equality).
    // With slips, a word's slips imply those of its beginnings long enough
    // to have slips, but nothing matched exactly: that is implied only by
    // words still too short for slips.
    const auto exact = [match](const std::string &w) { return match == QuickMatch::Exact || w.size() < SlipWordLength; };
    for (const std::string &word : previous.words) {
        if (std::none_of(words.begin(), words.end(), [&](const std::string &w) {
                return StartsWith(w, word) && (exact(w) || !exact(word));
            }))
            return false;
    }
    for (const std::string &number : previous.numbers) {
        const bool same = std::find(numbers.begin(), numbers.end(), number) != numbers.end();
        if (same || std::any_of(words.begin(), words.end(), [&](const std::string &w) { return exact(w) && StartsWith(w, number); }))
            continue;
        if (!longerNumbers || std::none_of(numbers.begin(), numbers.end(), [&](const std::string &n) { return StartsWith(n, number); }))
            return false;
    }
    return true;
}

bool QuickQuery::narrows(const QuickQuery &previous, QuickMatch match) const { return implies(previous, false, match); }

bool QuickQuery::extends(const QuickQuery &previous, QuickMatch match) const { return implies(previous, true, match); }

QuickQuery ParseQuickText(QStringView text)
{
    QuickQuery query;
    const auto noted = [&query](bool number) {
        if (query.empty())
            query.numberFirst = number;
    };
    for (const QStringView piece : text.split(u' ', Qt::SkipEmptyParts)) {
        if (IsNumberPiece(piece)) {
            noted(true);
            std::string digits;
            for (const QChar c : piece) {
                if (c >= u'0' && c <= u'9')
                    digits.push_back(static_cast<char>(FoldChar(c.unicode())));
            }
            query.numbers.push_back(std::move(digits));
            continue;
        }
        std::string run;
        bool letter = false;
        auto flush = [&] {
            if (!run.empty()) {
                noted(!letter);
                (letter ? query.words : query.numbers).push_back(run);
            }
            run.clear();
            letter = false;
        };
        // Surrogate halves and marks end a run like punctuation does.
        const auto fold = [](QChar c) { return c.isLetterOrNumber() ? FoldChar(c.unicode()) : FoldNone; };
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const QChar c = piece[i];
            if (c == u'-' && !run.empty() && !IsFoldDigit(static_cast<uint8_t>(run.back())) && i + 1 < piece.size()
                && fold(piece[i + 1]) != FoldNone && !IsFoldDigit(fold(piece[i + 1]))) {
                run.push_back(static_cast<char>(FoldHyphen));
                continue;
            }
            const uint8_t folded = fold(c);
            if (folded == FoldNone) {
                flush();
                continue;
            }
            run.push_back(static_cast<char>(folded));
            if (!IsFoldDigit(folded))
                letter = true;
        }
        flush();
    }
    return query;
}

bool HasLatinLetters(QStringView text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
}

QString ToRussianLayout(QStringView text)
{
    // The keys in the order of the Latin layout's rows, and what they give on the Russian one.
    static constexpr std::u16string_view Latin = u"`qwertyuiop[]asdfghjkl;'zxcvbnm,.~QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>";
    static constexpr std::u16string_view Russian = u"ёйцукенгшщзхъфывапролджэячсмитьбюЁЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮ";
    static_assert(Latin.size() == Russian.size());
    QString converted;
    converted.reserve(text.size());
    for (const QChar c : text) {
        const size_t at = Latin.find(c.unicode());
        converted.append(at == std::u16string_view::npos ? c : QChar(Russian[at]));
    }
    return converted;
}

} // namespace phonebook::search
