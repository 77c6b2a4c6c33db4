#include "mainwindow/ColumnTextIndex.h"

#include <QAbstractItemModel>

ColumnTextIndex::ColumnTextIndex(QAbstractItemModel* model, int column,
                                 std::function<QString(int row)> read, QObject* parent)
    : QObject(parent), model_(model), column_(column), read_(std::move(read)) {
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (topLeft.column() <= column_ && column_ <= bottomRight.column()) {
                    cellsChanged(topLeft.row(), bottomRight.row());
                }
            });
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { rowsAppended(first, last); });
    for (auto signal : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::columnsInserted,
                        &QAbstractItemModel::columnsRemoved}) {
        connect(model, signal, this, &ColumnTextIndex::invalidate);
    }
    connect(model, &QAbstractItemModel::rowsMoved, this, &ColumnTextIndex::invalidate);
    connect(model, &QAbstractItemModel::columnsMoved, this, &ColumnTextIndex::invalidate);
    connect(model, &QAbstractItemModel::modelReset, this, &ColumnTextIndex::invalidate);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnTextIndex::invalidate);
}

int ColumnTextIndex::FirstRow(const QString& text) {
    if (!valid_) rebuild();
    if (!text.isEmpty()) return firstRow_.value(text, -1);
    return static_cast<int>(texts_.indexOf(QString()));
}

void ColumnTextIndex::cellsChanged(int firstRow, int lastRow) {
    if (!valid_) return;
    for (int row = firstRow; row <= lastRow; ++row) {
        if (row < 0 || row >= texts_.size() || !texts_.at(row).isEmpty()) {
            // A text replaced: which row holds it first now needs a fresh look.
            invalidate();
            return;
        }
        take(row, read_(row));
    }
}

void ColumnTextIndex::rowsAppended(int firstRow, int lastRow) {
    if (!valid_) return;
    if (firstRow != texts_.size()) {
        invalidate();  // inserted before other rows: every later row moves
        return;
    }
    for (int row = firstRow; row <= lastRow; ++row) {
        texts_.append(QString());
        take(row, read_(row));
    }
}

void ColumnTextIndex::take(int row, const QString& text) {
    texts_[row] = text;
    if (text.isEmpty()) return;
    auto it = firstRow_.find(text);
    if (it == firstRow_.end()) {
        firstRow_.insert(text, row);
    } else if (row < it.value()) {
        it.value() = row;
    }
}

void ColumnTextIndex::rebuild() {
    texts_.clear();
    firstRow_.clear();
    const int rows = model_->rowCount();
    texts_.resize(rows);
    for (int row = 0; row < rows; ++row) take(row, read_(row));
    valid_ = true;
}
