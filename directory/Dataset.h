#pragma once
// Datasets: an open cursor over a table file or over the result of one SQL
// statement, with the contract the windows rely on (1-based current row,
// First/Next/MoveBy, fields by ordinal or name, partial-key Locate).

#include "StopCheck.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace phonebook {

// What a column's values are, for showing them.
enum class ValueKind {
    Stored,   // text as the table stores it (enciphered)
    Number,   // a number, as written (also anything a statement computed)
    Date,     // "YYYY-MM-DD"
    DateTime, // "YYYY-MM-DD HH:MM:SS"
    Logical,  // "1" or "0"
};

// A finished result read by row number; rows and columns are 0-based here.
// The grids keep one of these so that their page loads never move a dataset.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // One cell: stored text as the table holds it (enciphered), trailing
    // blanks dropped; other values as columnKind() says; NULL is empty.
    virtual QString text(int row, int column) const = 0;
    // Column of that name in any letter case, or -1.
    int columnIndex(QStringView name) const;
    // Whether the column holds values as a table stores them (enciphered),
    // rather than values the statement computed, such as count(*).
    bool columnIsStored(int column) const { return columnKind(column) == ValueKind::Stored; }
    virtual ValueKind columnKind(int column) const
    {
        Q_UNUSED(column);
        return ValueKind::Stored;
    }
    // Whether the rows can no longer be read as they were (the file under
    // them changed, or was let go): text() gives empty values then.
    virtual bool lost() const { return false; }
};

class Dataset {
public:
    virtual ~Dataset() = default;

    // Folder the table files are resolved in.
    void SetDirectory(const QString &directory) { m_directory = directory; }
    const QString &Directory() const { return m_directory; }

    // Opens the cursor on its first row. Throws DatabaseError; the dataset is then closed.
    virtual void Open() = 0;
    // Releases the result; nothing keeps a table file open afterwards.
    void Close();
    bool Active() const { return m_source != nullptr; }

    int RecordCount() const;
    // 1-based number of the current row; 0 when closed or empty.
    int RecNo() const { return m_recNo; }
    void First();
    // Does nothing on the last row.
    void Next();
    // Relative move, clamped to the first and last rows.
    void MoveBy(int distance);
    bool Eof() const;

    int FieldCount() const;
    QString FieldName(int ordinal) const;
    // Ordinal of the field named so in any letter case, or -1.
    int FieldIndex(QStringView name) const;
    // Current row's value of the field (0-based ordinal), as stored; empty when there is no row.
    QString Field(int ordinal) const;
    // Same by name, in any letter case. Throws DatabaseError for an unknown field.
    QString FieldByName(QStringView name) const;

    // Moves to the first row whose field begins with value (case-sensitive;
    // an empty value matches the first row). Stays put and returns false when
    // no row matches. The field is named in any letter case.
    bool Locate(QStringView field, QStringView value);

    // The open result, shared with whoever reads it by row number; null when closed.
    std::shared_ptr<const RowSource> Source() const { return m_source; }

protected:
    void setSource(std::shared_ptr<const RowSource> source);
    // Called by Close() after the result is dropped; a dataset whose source
    // holds a file releases it here even while a grid still holds the source.
    virtual void releaseSource() {}

private:
    QString m_directory;
    std::shared_ptr<const RowSource> m_source;
    int m_recNo = 0;
    bool m_eof = true; // a Next() or MoveBy() ran into the end, or there is no row
};

class DbfTable;
class TableSource;

// A table file in its physical order, deleted records hidden.
class TableCursor : public Dataset {
public:
    ~TableCursor() override;
    // Base name ("sp09kw_n") or file name ("sp09kw_n.dbf"), in any letter case.
    void SetTableName(const QString &name) { m_tableName = name; }
    void Open() override;
    // Opens the cursor on a table already opened from its file (DbfTable::open).
    void Open(std::shared_ptr<const DbfTable> table);
    // Warnings of the table file read by the last Open().
    const QStringList &Warnings() const { return m_warnings; }
    // Whether the table file was replaced or cut short since Open(); the
    // cursor then reads no more rows from it until it is opened again.
    bool FileChanged() const;

protected:
    void releaseSource() override;

private:
    QString m_tableName;
    QStringList m_warnings;
    std::shared_ptr<TableSource> m_table;
};

// The result of one SQL statement, run by the engine over the directory's tables.
class Query : public Dataset {
public:
    void ClearSql() { m_sql.clear(); }
    void AddSql(const QString &line);
    QString Sql() const { return m_sql.join(u'\n'); }
    void Open() override;
    // Opens it on a worker that may be asked to stop (see RunStatement).
    void Open(const StopCheck &stop);

private:
    QStringList m_sql;
};

} // namespace phonebook
