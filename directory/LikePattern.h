#pragma once
// LIKE as the directory's statements use it.

#include "CodePages.h"

#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace phonebook {

// A LIKE pattern as the directory's statements use it: "%" is the only
// wildcard, the match is case-sensitive, and a pattern without "%" must
// match the whole value. Values are stored padded with blanks to their
// field's width: a pattern matches when it matches the value without its
// trailing blanks or the value padded with blanks within that width
// ("ИВАНОВ " finds just "ИВАНОВ", not "ИВАНОВА").
class LikePattern {
public:
    // `pattern` is UTF-8; `escape` (0 for none) makes the character after it literal.
    explicit LikePattern(std::string_view pattern, char32_t escape = 0);

    // Whether the value (in the pattern's encoding), trailing blanks dropped, matches.
    bool matches(std::string_view value) const { return matchesExactly(dropTrailingBlanks(value)); }
    // The same, or the value padded with blanks up to `width` bytes: as far
    // as the blanks that end the pattern ask ("ИВАНОВ " is the value
    // "ИВАНОВ" and one blank), or to the whole width when the pattern ends
    // in "%". `buffer` holds the padded value; only a pattern with a blank
    // in it needs one.
    bool matchesPadded(std::string_view value, size_t width, std::string &buffer) const
    {
        value = dropTrailingBlanks(value);
        if (matchesExactly(value))
            return true;
        if (!m_hasBlank || value.size() >= width)
            return false;
        const size_t room = width - value.size();
        const size_t blanks = m_pieces.size() > 1 && m_pieces.back().empty() ? room : m_trailingBlanks;
        if (blanks == 0 || blanks > room)
            return false;
        buffer.assign(value);
        buffer.append(blanks, ' ');
        return matchesExactly(buffer);
    }
    // Blanks in the pattern's literal text: the most padding that can matter
    // to a value whose field width is not known.
    size_t blankCount() const { return m_blanks; }

    // Re-encodes the pattern from UTF-8 into a table's code page, so that it
    // can be matched against raw record bytes. A character with no byte in
    // that code page leaves a pattern that matches nothing.
    void convertTo(CodePage page);

    // False when the pattern can match nothing (a dangling escape, an unencodable character).
    bool canMatch() const { return m_canMatch; }

private:
    static std::string_view dropTrailingBlanks(std::string_view s)
    {
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        return s;
    }
    bool matchesExactly(std::string_view value) const;
    void countBlanks();

    // The literal pieces between wildcards; one piece means no wildcard at all.
    std::vector<std::string> m_pieces;
    bool m_canMatch = true;
    bool m_hasBlank = false;
    size_t m_blanks = 0;         // blanks in the literal text
    size_t m_trailingBlanks = 0; // blanks that end the last piece
};

// Makes like(pattern, value [, escape]) of the connection match as LikePattern does.
// A value read from a character field carries its padding (see PaddingSubtype)
// and is padded no further than its field's width, as the table itself does;
// a computed value is padded as far as the pattern's blanks ask.
void RegisterLike(sqlite3 *db);

// A character field's value reaches like() without its trailing blanks; the
// count of blanks its field pads it with travels as the value's subtype.
// 0 (none) when the padding is too wide to tell; never the subtype JSON
// functions take as "already JSON".
unsigned PaddingSubtype(size_t blanks);
// The padding a subtype tells, or -1 when it tells none.
long PaddingOfSubtype(unsigned subtype);

} // namespace phonebook
