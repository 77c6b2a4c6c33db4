#include "widgets/TRealGridSelection.h"

void TRealGridSelection::SetWholeRow(bool wholeRow) {
    wholeRow_ = wholeRow;
    FollowCurrent();
}

void TRealGridSelection::setCurrentIndex(const QModelIndex& index, SelectionFlags command) {
    Q_UNUSED(command);
    if (index != currentIndex() && CanMove && !CanMove(currentIndex(), index)) {
        FollowCurrent();
        return;
    }
    QItemSelectionModel::setCurrentIndex(index, NoUpdate);
    FollowCurrent();
}

void TRealGridSelection::select(const QModelIndex& index, SelectionFlags command) {
    Q_UNUSED(index);
    Q_UNUSED(command);
    FollowCurrent();
}

void TRealGridSelection::select(const QItemSelection& selection, SelectionFlags command) {
    Q_UNUSED(selection);
    Q_UNUSED(command);
    FollowCurrent();
}

void TRealGridSelection::FollowCurrent() {
    const QModelIndex current = currentIndex();
    QItemSelection wanted;
    if (current.isValid()) {
        const QAbstractItemModel* m = current.model();
        const QModelIndex first = wholeRow_ ? m->index(current.row(), 0) : current;
        const QModelIndex last =
            wholeRow_ ? m->index(current.row(), m->columnCount() - 1) : current;
        wanted.select(first, last);
    }
    if (selection() == wanted) return;
    QItemSelectionModel::select(wanted, ClearAndSelect);
}
