// The virtual table over one table file: its columns, the LIKE and ORDER BY
// it takes over from the engine, and its values.
#include "TableModule.h"

#include "Collation.h"
#include "DatabaseError.h"
#include "DbfTable.h"
#include "LikePattern.h"
#include "TableOrder.h"
#include "ValuePool.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace phonebook {

namespace {

// Set while a table declares its columns: the engine asks the authorizer
// about that CREATE TABLE too, and it must pass.
thread_local bool t_declaring = false;

} // namespace

bool DeclaringTable() { return t_declaring; }

namespace {

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
    // The blanks the field pads the value with, for like() on the value.
    const unsigned padding = PaddingSubtype(static_cast<size_t>(field.length) - raw.size());
    if (raw.empty()) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        sqlite3_result_subtype(context, padding);
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
        sqlite3_result_subtype(context, padding);
        return SQLITE_OK;
    }
    // Three UTF-8 bytes at most per stored byte, and room for the four-byte stores.
    char *const out = AcquireValue(raw.size() * 3 + 1);
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
    sqlite3_result_text(context, out, static_cast<int>(d - out), ReleaseValue);
    sqlite3_result_subtype(context, padding);
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor *cursor, sqlite3_int64 *rowid)
{
    *rowid = vcursor(cursor)->record();
    return SQLITE_OK;
}

} // namespace

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

} // namespace phonebook
