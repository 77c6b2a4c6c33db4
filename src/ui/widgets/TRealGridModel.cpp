#include "widgets/TRealGridModel.h"

#include "link/VarnexError.h"
#include "widgets/TRealGridValues.h"

using RealGridValues::EditorKind;

TRealGridModel::TRealGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TRealGridModel::SetColumns(const QVector<TRealGridColumn>& columns) {
    beginResetModel();
    columns_ = columns;
    titleImages_.clear();
    rows_.clear();
    endResetModel();
}

const TRealGridColumn& TRealGridModel::Column(int col) const {
    if (col < 0 || col >= columns_.size())
        throw VarnexError(QStringLiteral("Column bounds error[%1]").arg(col));
    return columns_.at(col);
}

void TRealGridModel::InsertRow(int row) {
    if (row < 0 || row > rows_.size())
        throw VarnexError(QStringLiteral("InsertRow bounds error[%1]").arg(row));
    beginInsertRows(QModelIndex(), row, row);
    rows_.insert(row, QVector<QVariant>(columns_.size()));
    endInsertRows();
}

void TRealGridModel::AppendRows(const QVector<QVector<QVariant>>& rows) {
    if (rows.isEmpty()) return;
    const int first = rows_.size();
    beginInsertRows(QModelIndex(), first, first + rows.size() - 1);
    for (const QVector<QVariant>& row : rows) {
        rows_.append(row);
        rows_.last().resize(columns_.size());
    }
    endInsertRows();
}

void TRealGridModel::SetTitleImage(int col, const QIcon& image) {
    Column(col);  // bounds
    titleImages_.insert(col, image);
    emit headerDataChanged(Qt::Horizontal, col, col);
}

void TRealGridModel::ImagesChanged() {
    if (rows_.isEmpty() || columns_.isEmpty()) return;
    emit dataChanged(index(0, 0), index(rows_.size() - 1, columns_.size() - 1),
                     {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

void TRealGridModel::ClearRows() {
    if (rows_.isEmpty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void TRealGridModel::CheckCell(int col, int row) const {
    if (col < 0 || col >= columns_.size())
        throw VarnexError(QStringLiteral("Cells col bounds error[%1]").arg(col));
    if (row < 0 || row >= rows_.size())
        throw VarnexError(QStringLiteral("Cells row bounds error[%1]").arg(row));
}

TRealGridCell TRealGridModel::Cells(int col, int row) {
    CheckCell(col, row);
    return TRealGridCell(this, col, row);
}

QVariant TRealGridModel::Value(int col, int row) const {
    CheckCell(col, row);
    return rows_.at(row).at(col);
}

bool TRealGridModel::SetValue(int col, int row, const QVariant& value) {
    CheckCell(col, row);
    QVariant& stored = rows_[row][col];
    if (stored.isValid() == value.isValid() && stored == value) return false;
    stored = value;
    const QModelIndex cell = index(row, col);
    emit dataChanged(cell, cell);
    return true;
}

void TRealGridModel::SetEditable(bool editable) {
    if (editable_ == editable) return;
    editable_ = editable;
    if (!rows_.isEmpty() && !columns_.isEmpty())
        emit dataChanged(index(0, 0), index(rows_.size() - 1, columns_.size() - 1));
}

bool TRealGridModel::IsCellEditable(int col) const {
    return editable_ && col >= 0 && col < columns_.size() && !columns_.at(col).ReadOnly;
}

int TRealGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.size();
}

int TRealGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_.size();
}

QVariant TRealGridModel::CheckState(const TRealGridColumn& column, const QVariant& value) const {
    if (RealGridValues::IsEmpty(value))
        return column.EqualBlank ? Qt::Unchecked : Qt::PartiallyChecked;
    return value.toBool() ? Qt::Checked : Qt::Unchecked;
}

QVariant TRealGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const TRealGridColumn& column = columns_.at(index.column());
    const QVariant& value = rows_.at(index.row()).at(index.column());
    const bool isCheck = RealGridValues::EditorKindOf(column) == EditorKind::Check;
    switch (role) {
        case Qt::DisplayRole:
            // A check box cell shows its box alone; its text is still there for
            // assistive tools (AccessibleTextRole).
            return isCheck ? QVariant() : QVariant(RealGridValues::TextOf(column, value));
        case Qt::AccessibleTextRole:
            return RealGridValues::TextOf(column, value);
        case Qt::EditRole:
            return value;
        case Qt::CheckStateRole:
            return isCheck ? CheckState(column, value) : QVariant();
        case Qt::TextAlignmentRole:
            return static_cast<int>(column.Alignment);
        case Qt::DecorationRole:
            if (ImageFor) {
                const QIcon icon = ImageFor(index.column(), index.row());
                if (!icon.isNull()) return icon;
            }
            return QVariant();
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            if (HintFor) {
                const QString hint = HintFor(index.column(), index.row());
                if (!hint.isEmpty()) return hint;
            }
            return QVariant();
        default:
            return QVariant();
    }
}

QVariant TRealGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QVariant();
    if (role == Qt::DisplayRole) return columns_.at(section).Caption;
    if (role == Qt::DecorationRole) return titleImages_.value(section);
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignCenter);
    return QVariant();
}

Qt::ItemFlags TRealGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!IsCellEditable(index.column())) return flags;
    const EditorKind kind = RealGridValues::EditorKindOf(columns_.at(index.column()));
    return flags | (kind == EditorKind::Check ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}
