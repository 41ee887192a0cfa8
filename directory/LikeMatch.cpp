// LIKE as the directory's statements use it: the pattern matching, and the
// like() function the engine calls where the table did not take the LIKE over.
#include "LikePattern.h"

#include "Utf8.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <new>

namespace phonebook {

namespace {

// The character at s[i], advancing i past it.
char32_t nextChar(std::string_view s, size_t &i, size_t &length)
{
    const Utf8Char c = DecodeUtf8(s, i);
    i += c.length;
    length = c.length;
    return c.code;
}

// Appends the character at s[start], as the values it is matched against
// hold it: a malformed byte as U+FFFD.
void appendChar(std::string &piece, std::string_view s, size_t start, size_t length)
{
    if (length == 1 && static_cast<unsigned char>(s[start]) >= 0x80)
        piece.append("\xEF\xBF\xBD", 3);
    else
        piece.append(s.substr(start, length));
}

} // namespace

LikePattern::LikePattern(std::string_view pattern, char32_t escape)
{
    m_pieces.emplace_back();
    size_t i = 0;
    while (i < pattern.size()) {
        size_t length = 0;
        const size_t start = i;
        const char32_t c = nextChar(pattern, i, length);
        if (escape != 0 && c == escape) {
            if (i >= pattern.size()) {
                m_canMatch = false; // nothing left to escape
                return;
            }
            const size_t literal = i;
            nextChar(pattern, i, length);
            appendChar(m_pieces.back(), pattern, literal, length);
        } else if (c == U'%') {
            m_pieces.emplace_back();
        } else {
            appendChar(m_pieces.back(), pattern, start, length);
        }
    }
    countBlanks();
}

void LikePattern::convertTo(CodePage page)
{
    if (page == CodePage::Utf8)
        return;
    for (std::string &piece : m_pieces) {
        std::string converted;
        if (!EncodeUtf8(page, piece, converted)) {
            m_canMatch = false;
            return;
        }
        piece = std::move(converted);
    }
}

void LikePattern::countBlanks()
{
    m_blanks = 0;
    for (const std::string &piece : m_pieces)
        m_blanks += static_cast<size_t>(std::count(piece.begin(), piece.end(), ' '));
    m_hasBlank = m_blanks > 0;
    const std::string &last = m_pieces.back();
    m_trailingBlanks = last.size() - std::min(last.size(), last.find_last_not_of(' ') + 1);
}

bool LikePattern::matchesExactly(std::string_view value) const
{
    if (!m_canMatch)
        return false;
    if (m_pieces.size() == 1)
        return value == m_pieces.front();
    const std::string &first = m_pieces.front();
    const std::string &last = m_pieces.back();
    if (value.size() < first.size() + last.size())
        return false;
    if (value.substr(0, first.size()) != first || value.substr(value.size() - last.size()) != last)
        return false;
    // Between the anchored ends, each inner piece at its leftmost place.
    std::string_view rest = value.substr(first.size(), value.size() - first.size() - last.size());
    for (size_t n = 1; n + 1 < m_pieces.size(); ++n) {
        const std::string &piece = m_pieces[n];
        if (piece.empty())
            continue;
        const size_t at = rest.find(piece);
        if (at == std::string_view::npos)
            return false;
        rest.remove_prefix(at + piece.size());
    }
    return true;
}

namespace {

// JSON functions take a text value of this subtype ('J') as JSON.
constexpr unsigned JsonSubtype = 74;
constexpr unsigned LargestSubtype = 255;

} // namespace

unsigned PaddingSubtype(size_t blanks)
{
    const size_t subtype = blanks + 1 < JsonSubtype ? blanks + 1 : blanks + 2;
    return subtype <= LargestSubtype ? static_cast<unsigned>(subtype) : 0;
}

long PaddingOfSubtype(unsigned subtype)
{
    if (subtype == 0 || subtype == JsonSubtype || subtype > LargestSubtype)
        return -1;
    return static_cast<long>(subtype < JsonSubtype ? subtype - 1 : subtype - 2);
}

namespace {

// A value read from a field is padded within its width, as the table pads it;
// a computed value's width is not known: it may be as wide as the pattern's
// blanks need.
bool matchesValue(const LikePattern &pattern, sqlite3_value *argument, std::string_view value)
{
    thread_local std::string padded;
    const long padding = PaddingOfSubtype(sqlite3_value_subtype(argument));
    const size_t room = padding >= 0 ? static_cast<size_t>(padding) : pattern.blankCount();
    return pattern.matchesPadded(value, value.size() + room, padded);
}

// like(pattern, value) and like(pattern, value, escape); the parsed pattern is
// kept with the statement for as long as the pattern argument is constant.
void likeMatch(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    for (int n = 0; n < argc; ++n) {
        if (sqlite3_value_type(argv[n]) == SQLITE_NULL)
            return; // NULL
    }
    char32_t escape = 0;
    if (argc == 3) {
        const auto *e = reinterpret_cast<const char *>(sqlite3_value_text(argv[2]));
        const std::string_view es(e ? e : "", static_cast<size_t>(sqlite3_value_bytes(argv[2])));
        size_t i = 0;
        size_t length = 0;
        if (!es.empty())
            escape = nextChar(es, i, length);
        if (es.empty() || i != es.size()) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    const auto *v = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const std::string_view value(v ? v : "", static_cast<size_t>(sqlite3_value_bytes(argv[1])));
    if (argc == 2) {
        if (const auto *kept = static_cast<const LikePattern *>(sqlite3_get_auxdata(context, 0))) {
            sqlite3_result_int(context, matchesValue(*kept, argv[1], value) ? 1 : 0);
            return;
        }
    }
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    auto pattern = std::make_unique<LikePattern>(
        std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(argv[0]))), escape);
    sqlite3_result_int(context, matchesValue(*pattern, argv[1], value) ? 1 : 0);
    // A constant pattern is parsed once per statement; SQLite frees it (at
    // once, if the pattern varies from row to row).
    if (argc == 2)
        sqlite3_set_auxdata(context, 0, pattern.release(), [](void *kept) { delete static_cast<LikePattern *>(kept); });
}

// No exception may cross SQLite's C frames: each callback that allocates
// reports running out of memory to SQLite instead.
void likeFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    try {
        likeMatch(context, argc, argv);
    } catch (const std::bad_alloc &) {
        sqlite3_result_error_nomem(context);
    }
}

} // namespace

void RegisterLike(sqlite3 *db)
{
    for (const int arguments : {2, 3})
        sqlite3_create_function_v2(db, "like", arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_SUBTYPE, nullptr,
                                   likeFunction, nullptr, nullptr, nullptr);
}

} // namespace phonebook
