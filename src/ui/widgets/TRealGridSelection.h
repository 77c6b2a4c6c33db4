#pragma once

#include <QItemSelectionModel>

#include <functional>

// The grid's selection: always the current row (or, without whole-row selection,
// the current cell), whatever the view asks for. A move of the current cell goes
// through CanMove first, so the grid can keep the operator on a row it could not
// commit.
class TRealGridSelection : public QItemSelectionModel {
    Q_OBJECT

public:
    using QItemSelectionModel::QItemSelectionModel;

    std::function<bool(const QModelIndex& from, const QModelIndex& to)> CanMove;
    void SetWholeRow(bool wholeRow);

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override;
    void select(const QModelIndex& index, SelectionFlags command) override;
    void select(const QItemSelection& selection, SelectionFlags command) override;

private:
    void FollowCurrent();

    bool wholeRow_ = true;
};
