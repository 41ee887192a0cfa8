#pragma once
// The item model behind a ResultGrid: rows and columns are the grid's data rows
// and columns, 0-based (model row 0 is data row 1). Headings are the horizontal
// header; the marker column's ">" is vertical header data of row 0 (the grid
// paints it, and screen readers read it from here).
//
// The model keeps the result it was filled from and, per loaded row, the
// result row it shows; a cell is deciphered from the result when it is asked
// for. The rows asked for last are kept deciphered, so that a repaint reads
// nothing and a list whose file changed under it keeps the rows on screen.

#include "FillPlan.h"
#include "RowStore.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace phonebook {

class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ResultGridModel(QObject *parent = nullptr);

    // Replaces everything: no row is loaded afterwards.
    void reshape(const FillPlan &plan);

    GridLayout layout() const { return m_plan.layout; }
    const std::shared_ptr<const RowSource> &source() const { return m_plan.source; }
    const std::vector<int> &fieldColumns() const { return m_plan.fieldColumns; }

    // Shows result row `sourceRow` (0-based) in model row `row`; ignored outside either.
    void setRow(int row, int sourceRow);
    // Text of a cell; empty when the row is not loaded.
    QString text(int row, int column) const;
    // Whether the row was written by a fill or a page load, whatever its values.
    bool isLoaded(int row) const { return m_rows.contains(row); }
    // Every cell of a row: as loaded, or read from the result by row number
    // (and deciphered) without loading it.
    QStringList rowValues(int row) const;
    int loadedCount() const { return m_rows.loadedCount(); }
    // Bytes the model holds per row that is not loaded.
    static constexpr size_t bytesPerUnloadedRow() { return RowStore<int32_t>::bytesPerUnloadedRow(); }

    // Loads rows row.. of the page (row numbers of the result) and returns the
    // range written (inclusive), or {-1, -1} when this layout does not page or
    // there is no result to read.
    std::pair<int, int> loadPage(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Rows deciphered last, by row number modulo their count: a screenful
    // never evicts itself.
    static constexpr int ShownRowsKept = 512;
    struct ShownRow {
        int row = -1;
        QStringList cells;
    };
    const QStringList &shownRow(int row) const;
    QStringList readRow(int sourceRow) const;

    FillPlan m_plan;
    QStringList m_headings;
    RowStore<int32_t> m_rows; // result row per loaded model row
    mutable std::vector<ShownRow> m_shown;
};

} // namespace phonebook
