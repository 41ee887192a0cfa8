#pragma once
// The item model behind a ResultGrid: rows and columns are the grid's data rows
// and columns, 0-based (model row 0 is data row 1). Headings are the horizontal
// header, the marker column the vertical header. data() only reads the row
// store; loading a page from the result happens when the view asks for it.

#include "GridLayouts.h"
#include "RowStore.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace phonebook {

class RowSource;

class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ResultGridModel(QObject *parent = nullptr);

    struct Shape {
        GridLayout layout = GridLayout::None;
        int rowCount = 0;
        int colCount = 0;
        QStringList headings;                    // headed columns, from column 0
        std::shared_ptr<const RowSource> source; // read by page loads; may be null
        std::vector<int> fieldColumns;           // source column per model column
    };
    // Replaces everything: no row is loaded afterwards.
    void reshape(Shape shape);

    GridLayout layout() const { return m_shape.layout; }
    const std::shared_ptr<const RowSource> &source() const { return m_shape.source; }
    const std::vector<int> &fieldColumns() const { return m_shape.fieldColumns; }

    // Stores the deciphered values of one row (model columns 0, 1, ...).
    void setRow(int row, const QStringList &values);
    // Text of a cell; empty when the row is not loaded.
    QString text(int row, int column) const;
    // A row counts as loaded when its first cell has text.
    bool isLoaded(int row) const;
    // Every cell of a row: as loaded, or read from the result (and deciphered)
    // without storing it when it is not loaded yet.
    QStringList rowValues(int row) const;
    int loadedCount() const { return m_rows.loadedCount(); }
    static constexpr size_t bytesPerUnloadedRow() { return RowStore<QByteArray>::bytesPerUnloadedRow(); }

    // Reads rows row.. of the page from the result (by row number) into the
    // store and returns the range written (inclusive), or {-1, -1} when this
    // layout does not page or there is no result to read.
    std::pair<int, int> loadPage(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    Shape m_shape;
    // One packed string per loaded row (see packRow).
    RowStore<QByteArray> m_rows;
};

} // namespace phonebook
