#pragma once
// The SQL engine adapter: SQLite runs the statements, the table files reach
// it as virtual tables read in place, with our LIKE and our collation.

#include "CodePages.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace phonebook {

class QueryResult;

// Runs one statement over the table files of `directory` (any table file
// there is a table named by its base name, in any letter case) and returns
// its whole result. No table file stays open afterwards. Throws DatabaseError
// carrying the engine's message and the statement.
std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql);

// A LIKE pattern as the directory's statements use it: "%" is the only
// wildcard, the match is case-sensitive, and a pattern without "%" must
// match the whole value. Values are compared with their trailing blanks dropped.
class LikePattern {
public:
    // `pattern` is UTF-8; `escape` (0 for none) makes the character after it literal.
    explicit LikePattern(std::string_view pattern, char32_t escape = 0);

    // Whether the value (in the pattern's encoding) matches.
    bool matches(std::string_view value) const;

    // Re-encodes the pattern from UTF-8 into a table's code page, so that it
    // can be matched against raw record bytes. A character with no byte in
    // that code page leaves a pattern that matches nothing.
    void convertTo(CodePage page);

    // False when the pattern can match nothing (a dangling escape, an unencodable character).
    bool canMatch() const { return m_canMatch; }

private:
    // The literal pieces between wildcards; one piece means no wildcard at all.
    std::vector<std::string> m_pieces;
    bool m_canMatch = true;
};

} // namespace phonebook
