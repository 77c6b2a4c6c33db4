#pragma once

#include "widgets/TRealGridCell.h"
#include "widgets/TRealGridColumn.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QVector>

#include <functional>

// The grid's content: the column definitions and one typed value per column in
// each row (see TRealGridValues.h). Column and row indexes are 0-based; hidden
// columns count like any other. Every write here is the program's own: the
// operator's edits reach the model through TRealGrid, which raises its events.
class TRealGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TRealGridModel(QObject* parent = nullptr);

    // Replaces the columns; the rows go with them.
    void SetColumns(const QVector<TRealGridColumn>& columns);
    int ColumnCount() const { return columns_.size(); }
    // Fails with "Column bounds error[" + col + "]" outside 0..ColumnCount-1.
    const TRealGridColumn& Column(int col) const;

    int RowCount() const { return rows_.size(); }
    // One empty row before `row` (RowCount appends). Fails with
    // "InsertRow bounds error[" + row + "]" outside 0..RowCount.
    void InsertRow(int row);
    // Appends rows, each holding one value per column as SetValue takes them,
    // with a single insertion signal: the views, and the accessibility events
    // they raise, see one change however many rows come.
    void AppendRows(const QVector<QVector<QVariant>>& rows);
    void ClearRows();

    // Fails with "Cells col bounds error[" + col + "]" or "Cells row bounds error[" + row + "]".
    void CheckCell(int col, int row) const;
    TRealGridCell Cells(int col, int row);
    QVariant Value(int col, int row) const;
    // Stores a value already in the column's type; true when the cell changed.
    bool SetValue(int col, int row, const QVariant& value);

    // Whether cells that are not read-only take the operator's edits (wgoEditing).
    void SetEditable(bool editable);
    bool IsCellEditable(int col) const;

    void SetTitleImage(int col, const QIcon& image);

    // The picture drawn in a cell, when the grid has an image list.
    std::function<QIcon(int col, int row)> ImageFor;
    // A cell's tooltip and accessible description; an empty text for none.
    std::function<QString(int col, int row)> HintFor;
    // What ImageFor and HintFor answer has changed, for any cell.
    void ImagesChanged();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVariant CheckState(const TRealGridColumn& column, const QVariant& value) const;

    QVector<TRealGridColumn> columns_;
    QVector<QVector<QVariant>> rows_;
    QHash<int, QIcon> titleImages_;
    bool editable_ = true;
};
