#include "SqlEngine.h"

#include "Collation.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "QueryResult.h"
#include "TableFiles.h"
#include "TableOrder.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

namespace phonebook {

// ---------------------------------------------------------------------------
// LIKE

namespace {

// Decodes one UTF-8 character at s[i], advancing i.
char32_t nextChar(std::string_view s, size_t &i, size_t &length)
{
    const size_t start = i;
    const auto b0 = static_cast<unsigned char>(s[i++]);
    char32_t c = b0;
    int extra = 0;
    if (b0 >= 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else if (b0 >= 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if (b0 >= 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    }
    for (int n = 0; n < extra && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80; ++n)
        c = (c << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    length = i - start;
    return c;
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
            m_pieces.back().append(pattern.substr(literal, length));
        } else if (c == U'%') {
            m_pieces.emplace_back();
        } else {
            m_pieces.back().append(pattern.substr(start, length));
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

// Here the value's field width is not known: it may be as wide as the
// pattern's blanks need.
bool matchesAnyWidth(const LikePattern &pattern, std::string_view value)
{
    thread_local std::string padded;
    return pattern.matchesPadded(value, value.size() + pattern.blankCount(), padded);
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
            sqlite3_result_int(context, matchesAnyWidth(*kept, value) ? 1 : 0);
            return;
        }
    }
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    auto pattern = std::make_unique<LikePattern>(
        std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(argv[0]))), escape);
    sqlite3_result_int(context, matchesAnyWidth(*pattern, value) ? 1 : 0);
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

int collationCompare(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return CompareStored({static_cast<const char *>(a), static_cast<size_t>(lengthA)},
                         {static_cast<const char *>(b), static_cast<size_t>(lengthB)});
}

// ---------------------------------------------------------------------------
// The virtual table over one table file

// What the statement being prepared reads, as the authorizer reports it.
struct StatementReads {
    // colUsed never reports the rowid, so an expression on it (rowid % 3 = 0)
    // is seen only here.
    bool rowid = false;
};

struct TableFile {
    QString path;
    const StatementReads *reads;
    // Every table the statement opened, to learn afterwards whether one of
    // them changed while it was read.
    std::vector<std::shared_ptr<const DbfTable>> *opened;
};

// Set while a table declares its columns: the engine asks the authorizer
// about that CREATE TABLE too, and it must pass.
thread_local bool t_declaring = false;

// UTF-8 form of each byte of a single-byte code page, packed into one word:
// the bytes in the low three octets (little-endian order), their count in the top one.
using Utf8Byte = uint32_t;
constexpr int Utf8LengthShift = 24;

struct VTable : sqlite3_vtab {
    std::shared_ptr<const DbfTable> table;
    const StatementReads *reads = nullptr;
    std::array<Utf8Byte, 256> utf8{};
};

struct VCursor : sqlite3_vtab_cursor {
    const DbfTable *table = nullptr;
    const VTable *utf8 = nullptr; // the table's byte-to-UTF-8 table
    std::vector<std::pair<int, LikePattern>> likes; // field, pattern in the table's code page
    bool anyMatch = true;
    // Physical scan: `position` is the record number. Consumed ORDER BY:
    // `position` indexes `rows`, which holds record numbers in order.
    bool listed = false;
    std::vector<uint32_t> rows;
    uint32_t position = 0;
    uint32_t end = 0;
    std::string validated; // a value of a UTF-8 table, checked; a memo's text
    std::string scratch;   // a date's text
    // A UTF-8 table's value is matched in the form SQLite sees it, malformed
    // bytes (a character cut by the field's width) replaced, so that a value
    // read from a row and put back into a pattern finds that row. Room for
    // the longest field is reserved in xFilter: matching never allocates.
    bool matchValidated = false;
    mutable std::string likeValue;
    mutable std::string padded; // a value padded to its width, for a pattern with blanks

    uint32_t record() const { return listed ? rows[position] : position; }
    bool accepts(uint32_t physical) const
    {
        if (table->isDeleted(physical))
            return false;
        if (matchValidated)
            return acceptsValidated(physical);
        for (const auto &[field, pattern] : likes) {
            if (!pattern.matchesPadded(table->rawField(physical, field), table->fields()[field].length, padded))
                return false;
        }
        return true;
    }
    bool acceptsValidated(uint32_t physical) const
    {
        for (const auto &[field, pattern] : likes) {
            likeValue.clear();
            const std::string_view raw = table->rawField(physical, field);
            AppendUtf8(CodePage::Utf8, raw, likeValue);
            // Padded to the field's width as SQLite would see the stored value.
            const size_t width = likeValue.size() + static_cast<size_t>(table->fields()[field].length) - raw.size();
            if (!pattern.matchesPadded(likeValue, width, padded))
                return false;
        }
        return true;
    }
    void skipRejected()
    {
        while (position < end && !accepts(position))
            ++position;
    }
};

// Decoded values are handed to SQLite in blocks that it gives back, through
// releaseValue(), once it no longer needs the value: a value it keeps (the
// running max() of a column, a row of a subquery) stays valid, and yet a scan
// allocates nothing per value, as the next values reuse the blocks given back.
// Blocks go back to the free list of the thread that releases them.
struct ValueBlock {
    ValueBlock *next;
    size_t capacity; // bytes after the header
};
constexpr size_t PooledCapacity = 256 - sizeof(ValueBlock); // one size for the common fields
constexpr size_t PoolLimit = 256; // blocks kept free at most

struct ValuePool {
    ValueBlock *free = nullptr;
    size_t count = 0;
    ValuePool() = default;
    ValuePool(const ValuePool &) = delete;
    ValuePool &operator=(const ValuePool &) = delete;
    ~ValuePool()
    {
        while (ValueBlock *block = free) {
            free = block->next;
            std::free(block);
        }
    }
};
thread_local ValuePool t_pool;

// Room for `bytes` of value, or nullptr when memory is out.
char *acquireValue(size_t bytes)
{
    ValuePool &pool = t_pool;
    ValueBlock *block = nullptr;
    if (bytes <= PooledCapacity && pool.free) {
        block = pool.free;
        pool.free = block->next;
        --pool.count;
    } else {
        const size_t capacity = std::max(bytes, PooledCapacity);
        block = static_cast<ValueBlock *>(std::malloc(sizeof(ValueBlock) + capacity));
        if (!block)
            return nullptr;
        block->capacity = capacity;
    }
    return reinterpret_cast<char *>(block + 1);
}

void releaseValue(void *value)
{
    ValueBlock *block = static_cast<ValueBlock *>(value) - 1;
    ValuePool &pool = t_pool;
    if (block->capacity != PooledCapacity || pool.count >= PoolLimit) {
        std::free(block);
        return;
    }
    block->next = pool.free;
    pool.free = block;
    ++pool.count;
}

VTable *vtable(sqlite3_vtab *v) { return static_cast<VTable *>(v); }
VCursor *vcursor(sqlite3_vtab_cursor *c) { return static_cast<VCursor *>(c); }

QByteArray quotedIdentifier(const QString &name)
{
    QByteArray out = "\"";
    for (const char c : name.toUtf8()) {
        out.append(c);
        if (c == '"')
            out.append('"');
    }
    out.append('"');
    return out;
}

// The declared type of a column tells the result what its values are.
const char *DeclaredType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: return " TEXT COLLATE directory";
    case FieldKind::Integer: return " INTEGER";
    case FieldKind::Real: return " REAL";
    case FieldKind::Date: return " DATE";
    case FieldKind::DateTime: return " DATETIME";
    case FieldKind::Logical: return " LOGICAL";
    case FieldKind::Unknown: break;
    }
    return " UNKNOWN";
}

int connectTable(sqlite3 *db, const TableFile *file, sqlite3_vtab **out, char **error)
{
    auto v = std::make_unique<VTable>();
    v->reads = file->reads;
    try {
        v->table = DbfTable::open(file->path);
        file->opened->push_back(v->table);
    } catch (const DatabaseError &e) {
        *error = sqlite3_mprintf("%s", e.message().toUtf8().constData());
        return SQLITE_ERROR;
    } catch (const std::exception &e) {
        *error = sqlite3_mprintf("%s: %s", file->path.toUtf8().constData(), e.what());
        return SQLITE_ERROR;
    }
    if (v->table->codePage() != CodePage::Utf8) {
        for (int b = 0; b < 256; ++b) {
            std::string one;
            const char byte = static_cast<char>(b);
            AppendUtf8(v->table->codePage(), std::string_view(&byte, 1), one);
            const size_t length = std::min<size_t>(one.size(), 3);
            Utf8Byte entry = static_cast<Utf8Byte>(length) << Utf8LengthShift;
            for (size_t n = 0; n < length; ++n)
                entry |= Utf8Byte{static_cast<unsigned char>(one[n])} << (8 * n);
            v->utf8[static_cast<size_t>(b)] = entry;
        }
    }
    QByteArray declaration = "CREATE TABLE x(";
    const auto &fields = v->table->fields();
    for (size_t n = 0; n < fields.size(); ++n) {
        if (n > 0)
            declaration.append(", ");
        declaration.append(quotedIdentifier(fields[n].name));
        declaration.append(DeclaredType(fields[n].kind));
    }
    if (fields.empty())
        declaration.append("\"\" TEXT HIDDEN"); // a table needs one column
    declaration.append(")");
    t_declaring = true;
    const int rc = sqlite3_declare_vtab(db, declaration.constData());
    t_declaring = false;
    if (rc != SQLITE_OK) {
        *error = sqlite3_mprintf("%s: %s", file->path.toUtf8().constData(), sqlite3_errmsg(db));
        return rc;
    }
    *out = v.release();
    return SQLITE_OK;
}

int xConnect(sqlite3 *db, void *aux, int, const char *const *, sqlite3_vtab **out, char **error)
{
    const auto *file = static_cast<const TableFile *>(aux);
    try {
        return connectTable(db, file, out, error);
    } catch (const std::bad_alloc &) {
        t_declaring = false;
        *error = sqlite3_mprintf("%s: out of memory", file->path.toUtf8().constData());
        return SQLITE_NOMEM;
    }
}

int xDisconnect(sqlite3_vtab *v)
{
    delete vtable(v);
    return SQLITE_OK;
}

// The plan travels to xFilter as idxStr: "l<field>" per LIKE argument in
// argv order, "o<field>" / "O<field>" per ORDER BY term (ascending /
// descending), "d<field>" per column of the rows whose duplicates may be dropped.
int bestIndex(sqlite3_vtab *v, sqlite3_index_info *info)
{
    const DbfTable &table = *vtable(v)->table;
    const int fieldCount = static_cast<int>(table.fields().size());
    QByteArray plan;
    int argument = 0;
    double cost = static_cast<double>(table.physicalCount()) + 10.0;
    for (int n = 0; n < info->nConstraint; ++n) {
        const auto &constraint = info->aConstraint[n];
        if (!constraint.usable || constraint.op != SQLITE_INDEX_CONSTRAINT_LIKE || constraint.iColumn < 0
            || constraint.iColumn >= fieldCount || !table.fields()[constraint.iColumn].isCharacter())
            continue;
        info->aConstraintUsage[n].argvIndex = ++argument;
        info->aConstraintUsage[n].omit = 1;
        plan.append('l').append(QByteArray::number(constraint.iColumn)).append(' ');
        cost /= 4;
    }
    bool ordered = info->nOrderBy > 0;
    for (int n = 0; n < info->nOrderBy; ++n) {
        const int column = info->aOrderBy[n].iColumn;
        if (column < 0 || column >= fieldCount || !table.fields()[column].isCharacter())
            ordered = false; // only text is ordered here; numbers and dates by the engine
    }
    if (ordered) {
        for (int n = 0; n < info->nOrderBy; ++n) {
            const int column = info->aOrderBy[n].iColumn;
            plan.append(info->aOrderBy[n].desc ? 'O' : 'o').append(QByteArray::number(column)).append(' ');
        }
        info->orderByConsumed = 1;
        // In a DISTINCT query, rows that agree in every column the statement
        // uses give the same result row and pass or fail its WHERE alike, so
        // the table may drop all but one of them. colUsed does not report the
        // rowid: a statement that reads it keeps every row.
        bool rowidUsed = vtable(v)->reads->rowid;
        for (int n = 0; n < info->nConstraint; ++n)
            rowidUsed |= info->aConstraint[n].iColumn < 0;
        if (sqlite3_vtab_distinct(info) >= 2 && !rowidUsed) {
            for (int column = 0; column < fieldCount; ++column) {
                const uint64_t bit = uint64_t{1} << std::min(column, 63);
                if (info->colUsed & bit)
                    plan.append('d').append(QByteArray::number(column)).append(' ');
            }
        }
    }
    info->estimatedCost = cost;
    info->estimatedRows = static_cast<sqlite3_int64>(cost);
    if (!plan.isEmpty()) {
        info->idxStr = sqlite3_mprintf("%s", plan.constData());
        info->needToFreeIdxStr = 1;
    }
    return SQLITE_OK;
}

int xBestIndex(sqlite3_vtab *v, sqlite3_index_info *info)
{
    try {
        return bestIndex(v, info);
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    }
}

int xOpen(sqlite3_vtab *v, sqlite3_vtab_cursor **out)
{
    auto *c = new (std::nothrow) VCursor();
    if (!c)
        return SQLITE_NOMEM;
    c->table = vtable(v)->table.get();
    c->utf8 = vtable(v);
    *out = c;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor *c)
{
    delete vcursor(c);
    return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor *cursor, int, const char *idxStr, int argc, sqlite3_value **argv)
{
    VCursor &c = *vcursor(cursor);
    try {
        const DbfTable &table = *c.table;
        c.likes.clear();
        c.rows.clear();
        c.listed = false;
        c.anyMatch = true;
        std::vector<OrderTerm> order;
        std::vector<int> distinctFields;
        int argument = 0;
        for (const char *p = idxStr ? idxStr : ""; *p;) {
            const char kind = *p++;
            const int field = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
            if (*p == ' ')
                ++p;
            if (kind == 'l' && argument < argc) {
                sqlite3_value *value = argv[argument++];
                if (sqlite3_value_type(value) == SQLITE_NULL) {
                    c.anyMatch = false; // LIKE NULL is never true
                    continue;
                }
                const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
                LikePattern pattern(std::string_view(text ? text : "", static_cast<size_t>(sqlite3_value_bytes(value))));
                pattern.convertTo(table.codePage());
                if (!pattern.canMatch())
                    c.anyMatch = false;
                c.likes.emplace_back(field, std::move(pattern));
            } else if (kind == 'o' || kind == 'O') {
                order.push_back({field, kind == 'O'});
            } else if (kind == 'd') {
                distinctFields.push_back(field);
            }
        }
        c.matchValidated = table.codePage() == CodePage::Utf8 && !c.likes.empty();
        if (!c.likes.empty()) {
            size_t longest = 0;
            for (const DbfField &field : table.fields())
                longest = std::max(longest, static_cast<size_t>(field.length));
            c.padded.reserve(longest * 3);
            if (c.matchValidated)
                c.likeValue.reserve(longest * 3);
        }
        c.position = 0;
        c.end = c.anyMatch ? table.physicalCount() : 0;
        if (order.empty()) {
            c.skipRejected();
            return SQLITE_OK;
        }
        c.rows.reserve(c.likes.empty() ? table.liveCount() : 1024);
        for (uint32_t record = 0; record < c.end; ++record) {
            if (c.accepts(record))
                c.rows.push_back(record);
        }
        if (!c.rows.empty())
            OrderRecords(table, c.rows, order, distinctFields);
        c.listed = true;
        c.end = static_cast<uint32_t>(c.rows.size());
        return SQLITE_OK;
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    }
}

int xNext(sqlite3_vtab_cursor *cursor)
{
    VCursor &c = *vcursor(cursor);
    ++c.position;
    if (c.listed) {
        // The next records are scattered over the file: ask for them early.
        if (c.position + 8 < c.end) {
            const auto *ahead = reinterpret_cast<const char *>(c.table->record(c.rows[c.position + 8]));
            for (int line = 0; line < c.table->recordLength(); line += 64)
                __builtin_prefetch(ahead + line);
        }
    } else {
        c.skipRejected();
        // Sequential, but the hardware prefetcher does not cross into the next page.
        if (c.position + 4 < c.end)
            __builtin_prefetch(c.table->record(c.position + 4));
    }
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor *cursor)
{
    const VCursor &c = *vcursor(cursor);
    return c.position >= c.end;
}

// A value of any field but a character one: numbers as numbers, dates and
// memo text as text, blanks as NULL.
int typedColumn(VCursor &c, sqlite3_context *context, int column)
{
    try {
        const FieldValue value = c.table->value(c.record(), column, c.scratch);
        switch (value.type) {
        case FieldValue::Null: sqlite3_result_null(context); break;
        case FieldValue::Integer: sqlite3_result_int64(context, value.integer); break;
        case FieldValue::Real: sqlite3_result_double(context, value.real); break;
        case FieldValue::Text:
            c.validated.clear();
            AppendUtf8(c.table->codePage(), value.text, c.validated);
            sqlite3_result_text(context, c.validated.data(), static_cast<int>(c.validated.size()), SQLITE_TRANSIENT);
            break;
        }
    } catch (const std::bad_alloc &) {
        sqlite3_result_error_nomem(context);
    }
    return SQLITE_OK;
}

int xColumn(sqlite3_vtab_cursor *cursor, sqlite3_context *context, int column)
{
    VCursor &c = *vcursor(cursor);
    if (column < 0 || column >= static_cast<int>(c.table->fields().size())) {
        sqlite3_result_null(context);
        return SQLITE_OK;
    }
    const DbfField &field = c.table->fields()[static_cast<size_t>(column)];
    if (!field.isCharacter())
        return typedColumn(c, context, column);
    const std::string_view raw = c.table->rawField(c.record(), column);
    if (raw.empty()) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return SQLITE_OK;
    }
    // The length is explicit and the value carries no terminator: the result
    // is read in its blob form, which needs none. (A function that wants the
    // text NUL-terminated, like upper(), makes SQLite copy it first.)
    if (c.table->codePage() == CodePage::Utf8) {
        c.validated.clear();
        try {
            AppendUtf8(CodePage::Utf8, raw, c.validated);
        } catch (const std::bad_alloc &) {
            sqlite3_result_error_nomem(context);
            return SQLITE_OK;
        }
        sqlite3_result_text(context, c.validated.data(), static_cast<int>(c.validated.size()), SQLITE_TRANSIENT);
        return SQLITE_OK;
    }
    // Three UTF-8 bytes at most per stored byte, and room for the four-byte stores.
    char *const out = acquireValue(raw.size() * 3 + 1);
    if (!out) {
        sqlite3_result_error_nomem(context);
        return SQLITE_OK;
    }
    const auto &utf8 = c.utf8->utf8;
    char *d = out;
    const auto *s = reinterpret_cast<const unsigned char *>(raw.data());
    const auto *const end = s + raw.size();
    const auto put = [&](unsigned char byte) {
        const Utf8Byte e = utf8[byte];
        std::memcpy(d, &e, 4); // the fourth byte is overwritten by what follows, or lies past the end
        d += e >> Utf8LengthShift;
    };
    while (end - s >= 8) {
        uint64_t word;
        std::memcpy(&word, s, 8);
        if ((word & 0x8080808080808080ULL) == 0) {
            // Eight ASCII bytes (digits, Latin letters, blanks) are themselves.
            std::memcpy(d, s, 8);
            d += 8;
        } else {
            put(s[0]), put(s[1]), put(s[2]), put(s[3]), put(s[4]), put(s[5]), put(s[6]), put(s[7]);
        }
        s += 8;
    }
    while (s < end)
        put(*s++);
    sqlite3_result_text(context, out, static_cast<int>(d - out), releaseValue);
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *rowid)
{
    *rowid = vcursor(cursor)->record();
    return SQLITE_OK;
}

const sqlite3_module TableModule = {
    /* iVersion */ 2,
    /* xCreate */ nullptr, // eponymous only: the table is the file
    xConnect,
    xBestIndex,
    xDisconnect,
    /* xDestroy */ xDisconnect,
    xOpen,
    xClose,
    xFilter,
    xNext,
    xEof,
    xColumn,
    xRowid,
    /* xUpdate */ nullptr,
    /* xBegin */ nullptr,
    /* xSync */ nullptr,
    /* xCommit */ nullptr,
    /* xRollback */ nullptr,
    /* xFindFunction */ nullptr,
    /* xRename */ nullptr,
    /* xSavepoint */ nullptr,
    /* xRelease */ nullptr,
    /* xRollbackTo */ nullptr,
    /* xShadowName */ nullptr,
};

// Statements may read and compute, nothing else: no ATTACH (which could
// create files), no PRAGMA, no writes.
int authorize(void *data, int action, const char *, const char *column, const char *, const char *)
{
    if (t_declaring)
        return SQLITE_OK;
    switch (action) {
    case SQLITE_READ:
        // Any alias of the rowid (rowid, oid, _rowid_) is reported as "ROWID".
        if (column && sqlite3_stricmp(column, "ROWID") == 0)
            static_cast<StatementReads *>(data)->rowid = true;
        return SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

struct Connection {
    StatementReads reads; // outlives db, whose tables point to it
    sqlite3 *db = nullptr;
    sqlite3_stmt *statement = nullptr;
    std::vector<std::pair<QString, QString>> tables; // table files: name, path
    QSet<QString> spellings;                          // names registered as modules
    std::vector<std::shared_ptr<const DbfTable>> opened; // outlives db too
    ~Connection()
    {
        sqlite3_finalize(statement);
        sqlite3_close_v2(db);
    }
};

QString engineMessage(sqlite3 *db, const QString &directory)
{
    QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if (message.startsWith(u"no such table: "))
        message += QCoreApplication::translate("phonebook", " (no table file of that name in %1)").arg(directory);
    return message;
}

void registerTable(Connection &connection, const QString &name, const QString &path)
{
    connection.spellings.insert(name);
    sqlite3_create_module_v2(connection.db, name.toUtf8().constData(), &TableModule,
                             new TableFile{path, &connection.reads, &connection.opened}, [](void *p) { delete static_cast<TableFile *>(p); });
}

void openConnection(Connection &connection, const QString &directory, const QString &sql)
{
    // One connection per statement, used by one thread: no mutexes.
    if (sqlite3_open_v2(":memory:", &connection.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX,
                        nullptr)
        != SQLITE_OK)
        throw DatabaseError(QCoreApplication::translate("phonebook", "The SQL engine cannot start: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(connection.db))),
                            sql);
    sqlite3 *db = connection.db;
    // Collation and like() first: the tables' declarations name the collation.
    sqlite3_create_collation_v2(db, CollationName, SQLITE_UTF8, nullptr, collationCompare, nullptr);
    for (const int arguments : {2, 3})
        sqlite3_create_function_v2(db, "like", arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                   nullptr, nullptr, nullptr);
    for (auto &[name, path] : ListTableFiles(directory)) {
        if (connection.spellings.contains(name))
            continue; // "a.dbf" beside "A.DBF": the first one wins
        registerTable(connection, name, path);
        connection.tables.emplace_back(std::move(name), std::move(path));
    }
    sqlite3_set_authorizer(db, authorize, &connection.reads);
}

// SQLite matches table names ignoring the case of ASCII letters only. When it
// finds no table of a name that names a table file in another case of its
// other letters ("ЁЛКА" for "Ёлка.dbf"), the table is registered under that
// spelling too. Returns whether it was, so that the statement is prepared again.
bool registerSpelling(Connection &connection)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(connection.db));
    const QLatin1StringView prefix("no such table: ");
    if (!message.startsWith(prefix))
        return false;
    QString missing = message.mid(prefix.size());
    if (missing.startsWith(u"main.") && !connection.spellings.contains(missing.mid(5)))
        missing = missing.mid(5);
    if (connection.spellings.contains(missing))
        return false;
    for (const auto &[name, path] : connection.tables) {
        if (name.compare(missing, Qt::CaseInsensitive) == 0) {
            registerTable(connection, missing, path);
            return true;
        }
    }
    return false;
}

// What each result column holds, by the type its table column declares; an
// expression (no declared type) counts as a number until its first value says otherwise.
QList<ValueKind> ColumnKinds(sqlite3_stmt *statement)
{
    QList<ValueKind> kinds;
    for (int n = 0; n < sqlite3_column_count(statement); ++n) {
        const char *declared = sqlite3_column_decltype(statement, n);
        const QByteArray type = QByteArray(declared ? declared : "").toUpper();
        ValueKind kind = ValueKind::Number;
        if (type.startsWith("TEXT"))
            kind = ValueKind::Stored;
        else if (type == "DATE")
            kind = ValueKind::Date;
        else if (type == "DATETIME")
            kind = ValueKind::DateTime;
        else if (type == "LOGICAL")
            kind = ValueKind::Logical;
        kinds.append(kind);
    }
    return kinds;
}

} // namespace

std::shared_ptr<QueryResult> RunStatement(const QString &directory, const QString &sql)
{
    Connection connection;
    openConnection(connection, directory, sql);
    sqlite3 *db = connection.db;
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    auto prepare = [&] {
        return sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &connection.statement, &tail);
    };
    int prepared = prepare();
    while (prepared != SQLITE_OK && registerSpelling(connection))
        prepared = prepare();
    if (prepared != SQLITE_OK)
        throw DatabaseError(engineMessage(db, directory), sql);
    if (!connection.statement)
        throw DatabaseError(QCoreApplication::translate("phonebook", "The statement is empty."), sql);
    if (tail && !QByteArray(tail).trimmed().isEmpty()) {
        // Anything after the first statement must be blanks, a ";" or a comment.
        sqlite3_stmt *next = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, -1, &next, nullptr);
        sqlite3_finalize(next);
        if (rc != SQLITE_OK || next)
            throw DatabaseError(QCoreApplication::translate("phonebook", "Only one statement can be run at a time."), sql);
    }
    sqlite3_stmt *statement = connection.statement;
    const int columns = sqlite3_column_count(statement);
    QStringList names;
    QList<bool> stored;
    for (int n = 0; n < columns; ++n) {
        names.append(QString::fromUtf8(sqlite3_column_name(statement, n)));
        // Only a column read from a table has a declared type; an expression
        // has none and is judged by its first value below.
        stored.append(sqlite3_column_decltype(statement, n) != nullptr);
    }
    auto result = std::make_shared<QueryResult>(names, stored);
    result->setColumnKinds(ColumnKinds(statement));
    int rc;
    bool firstRow = true;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (firstRow) {
            // An expression yields stored text (max(nt)) or a value of its own (count(*)).
            QList<ValueKind> kinds = ColumnKinds(statement);
            for (int n = 0; n < columns; ++n) {
                if (!stored[n] && sqlite3_column_type(statement, n) == SQLITE_TEXT)
                    kinds[n] = ValueKind::Stored;
            }
            result->setColumnKinds(std::move(kinds));
            firstRow = false;
        }
        for (int n = 0; n < columns; ++n) {
            // The cell's value read directly: the connection has no mutex
            // (NOMUTEX), so the value needs none to be read safely. Its blob
            // form is the text's bytes as they are; unlike sqlite3_value_text()
            // it does not need them NUL-terminated.
            sqlite3_value *value = sqlite3_column_value(statement, n);
            const auto *cell = static_cast<const char *>(sqlite3_value_blob(value));
            result->appendCell({cell ? cell : "", static_cast<size_t>(sqlite3_value_bytes(value))});
        }
        result->endRow();
    }
    // A table cut short or rewritten while the statement read it may have
    // given zeros or rows of another edition: no result rather than a wrong one.
    for (const auto &table : connection.opened) {
        if (table->changed())
            throw DatabaseError(QCoreApplication::translate("phonebook", "The table %1 changed while it was being read; run the statement again.")
                                    .arg(QDir::toNativeSeparators(table->path())),
                                sql);
    }
    if (rc != SQLITE_DONE)
        throw DatabaseError(engineMessage(db, directory), sql);
    result->finish();
    return result;
}

} // namespace phonebook
