#pragma once
// A result held in memory, stored enciphered like the directory's tables, and
// a dataset over it: grid tests need neither files nor the SQL engine.

#include "Dataset.h"
#include "UHelpFull.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace phonebook::testing {

// What the grid shows for a stored value: the cipher's round trip is not
// exact when an enciphered character happens to be a separator.
inline QString shown(const QString &plain)
{
    return DecodeText(EncodeText(plain, CipherKey), CipherKey);
}

class FakeSource : public RowSource {
public:
    // rows hold plain text; the source stores them enciphered.
    FakeSource(QStringList names, const std::vector<QStringList> &plainRows)
        : m_names(std::move(names))
    {
        m_rows.reserve(plainRows.size());
        for (const QStringList &plain : plainRows) {
            QStringList stored;
            for (const QString &value : plain)
                stored.append(EncodeText(value, CipherKey));
            m_rows.push_back(stored);
        }
    }

    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    int columnCount() const override { return static_cast<int>(m_names.size()); }
    QString columnName(int column) const override { return m_names.value(column); }
    QString text(int row, int column) const override
    {
        ++reads;
        if (onRead)
            onRead(row);
        return m_rows.at(static_cast<size_t>(row)).value(column);
    }

    bool lost() const override { return gone; }

    mutable std::atomic<int> reads = 0;
    std::function<void(int)> onRead;
    std::atomic<bool> gone = false; // as a table file replaced under its reader

private:
    QStringList m_names;
    std::vector<QStringList> m_rows;
};

class FakeDataset : public Dataset {
public:
    explicit FakeDataset(std::shared_ptr<FakeSource> source)
        : m_fake(std::move(source))
    {
    }
    void Open() override { setSource(m_fake); }
    FakeSource &fake() { return *m_fake; }

private:
    std::shared_ptr<FakeSource> m_fake;
};

// Rows of an individuals result: nt, fio, street, hous, flat, and any extra
// fields after them, each value naming its row so that a misplaced row shows.
inline std::vector<QStringList> personRows(int count, int extraFields = 0)
{
    std::vector<QStringList> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        QStringList row{QString::number(100000 + i), QStringLiteral("ИВАНОВ %1").arg(i),
                        QStringLiteral("ул.Садовая"), QStringLiteral("%1").arg(i % 90 + 1, 7),
                        QStringLiteral("%1").arg(i % 300, 3)};
        for (int e = 0; e < extraFields; ++e)
            row.append(QStringLiteral("x%1").arg(e));
        rows.push_back(row);
    }
    return rows;
}

inline QStringList personNames(int extraFields = 0)
{
    QStringList names{QStringLiteral("nt"), QStringLiteral("fio"), QStringLiteral("street"), QStringLiteral("hous"),
                      QStringLiteral("flat")};
    for (int e = 0; e < extraFields; ++e)
        names.append(QStringLiteral("extra%1").arg(e));
    return names;
}

// Rows of an organisations result: naim, street, hous.
inline std::vector<QStringList> orgRows(int count)
{
    std::vector<QStringList> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({QStringLiteral("ЗАВОД %1").arg(i), QStringLiteral("пр.Мира"), QString::number(i)});
    return rows;
}

inline std::unique_ptr<FakeDataset> openFake(QStringList names, const std::vector<QStringList> &rows)
{
    auto data = std::make_unique<FakeDataset>(std::make_shared<FakeSource>(std::move(names), rows));
    data->Open();
    return data;
}

} // namespace phonebook::testing
