#include "widgets/TRealGrid.h"

#include "link/VarnexError.h"
#include "widgets/TRealGridEditors.h"
#include "widgets/TRealGridModel.h"
#include "widgets/TRealGridSelection.h"
#include "widgets/TRealGridValues.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>

using RealGridValues::EditorKind;

TRealGrid::TRealGrid(QWidget* parent)
    : QTableView(parent),
      model_(new TRealGridModel(this)),
      selection_(nullptr),
      delegate_(nullptr),
      options_(wgoEditing | wgoRowSelect) {
    OnBeep = [] { QApplication::beep(); };

    setModel(model_);
    model_->HintFor = [this](int col, int row) {
        return OnGetHint ? OnGetHint(col, row) : QString();
    };
    QItemSelectionModel* stock = selectionModel();
    selection_ = new TRealGridSelection(model_, this);
    selection_->CanMove = [this](const QModelIndex& from, const QModelIndex& to) {
        return CanLeaveRow(from, to);
    };
    setSelectionModel(selection_);
    delete stock;

    delegate_ = new TRealGridDelegate(model_, this, this);
    setItemDelegate(delegate_);

    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    SetOptions(options_);
}

TRealGrid::~TRealGrid() {
    // The selection's gate and the images call back into this object.
    selection_->CanMove = nullptr;
    model_->ImageFor = nullptr;
    model_->HintFor = nullptr;
}

// ---- design time -----------------------------------------------------------

void TRealGrid::SetColumns(const QVector<TRealGridColumn>& columns) {
    ClearRows();
    model_->SetColumns(columns);
    for (int i = 0; i < columns.size(); ++i) {
        setColumnHidden(i, !columns.at(i).Visible);
        horizontalHeader()->resizeSection(i, columns.at(i).ColWidth);
    }
}

void TRealGrid::SetOptions(Options options) {
    options_ = options;
    const bool rowSelect = options & wgoRowSelect;
    setSelectionBehavior(rowSelect ? SelectRows : SelectItems);
    selection_->SetWholeRow(rowSelect);
    model_->SetEditable(options & wgoEditing);
    setEditTriggers((options & wgoEditing) ? (AnyKeyPressed | EditKeyPressed | SelectedClicked)
                                           : NoEditTriggers);
    ApplyPalette();
    OpenEditorIfAlwaysShown();
}

void TRealGrid::SetRowHeight(int pixels) {
    QHeaderView* rows = verticalHeader();
    rows->setMinimumSectionSize(qMin(pixels, rows->minimumSectionSize()));
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(pixels);
}

void TRealGrid::SetSelectionColors(const QColor& background, const QColor& text) {
    selBackground_ = background;
    selText_ = text;
    ApplyPalette();
}

void TRealGrid::ApplyPalette() {
    if (!selBackground_.isValid()) return;
    QPalette colours = palette();
    QList<QPalette::ColorGroup> groups{QPalette::Active};
    if (options_ & wgoAlwaysShowSelection) groups << QPalette::Inactive;
    for (const QPalette::ColorGroup group : groups) {
        colours.setColor(group, QPalette::Highlight, selBackground_);
        colours.setColor(group, QPalette::HighlightedText, selText_);
    }
    setPalette(colours);
}

void TRealGrid::SetTitleLook(const QColor& background, const QColor& text, bool bold, int height) {
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: %2; "
                       "font-weight: %3; border: 1px outset %1; padding: 0px 2px; }")
            .arg(background.name(), text.name(),
                 bold ? QStringLiteral("bold") : QStringLiteral("normal")));
    horizontalHeader()->setFixedHeight(height);
}

void TRealGrid::SetImages(const QList<QIcon>& images) {
    images_ = images;
    if (images_.isEmpty()) {
        model_->ImageFor = nullptr;
    } else {
        model_->ImageFor = [this](int col, int row) {
            return OnGetImageIndex ? images_.value(OnGetImageIndex(col, row)) : QIcon();
        };
    }
    viewport()->update();
}

void TRealGrid::RefreshImages() {
    model_->ImagesChanged();
}

void TRealGrid::SetTitleImage(int col, const QIcon& image) {
    model_->SetTitleImage(col, image);
}

// ---- run time ----------------------------------------------------------------

int TRealGrid::ColumnCount() const {
    return model_->ColumnCount();
}

const TRealGridColumn& TRealGrid::Column(int col) const {
    return model_->Column(col);
}

QStringList TRealGrid::ColumnValues(int col) const {
    return model_->Column(col).Values;
}

TRealGridCell TRealGrid::Cells(int col, int row) {
    return model_->Cells(col, row);
}

int TRealGrid::RowCount() const {
    return model_->RowCount();
}

void TRealGrid::InsertRow(int row) {
    if (editing_) throw VarnexError(QStringLiteral("Can't InsertRow in Editing"));
    model_->InsertRow(row);
    if (row <= enteredRow_) ++enteredRow_;
    // A grid with rows always has a current cell, so CurrentRow names a row.
    if (!currentIndex().isValid())
        selection_->setCurrentIndex(FirstCellOfRow(0), QItemSelectionModel::NoUpdate);
}

void TRealGrid::AppendRows(const QVector<QVector<QVariant>>& rows) {
    if (editing_) throw VarnexError(QStringLiteral("Can't InsertRow in Editing"));
    if (rows.isEmpty()) return;
    model_->AppendRows(rows);
    if (!currentIndex().isValid())
        selection_->setCurrentIndex(FirstCellOfRow(0), QItemSelectionModel::NoUpdate);
}

QVariant TRealGrid::TextValue(int col, const QString& text) const {
    return RealGridValues::FromText(model_->Column(col), text);
}

QVariant TRealGrid::BoolValue(int col, bool value) const {
    return RealGridValues::FromBool(model_->Column(col), value);
}

void TRealGrid::ClearRows() {
    editing_ = false;
    editRow_ = -1;
    // Close the editor without storing it; closeEditor detaches the delegate
    // first, so losing the focus does not commit it either.
    if (QWidget* editor = indexWidget(currentIndex()))
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    model_->ClearRows();
    enteredRow_ = -1;
}

void TRealGrid::PostEdit() {
    if (!editing_) return;
    const QModelIndex cell = currentIndex();
    auto* editor = dynamic_cast<TRealGridEditor*>(indexWidget(cell));
    std::optional<QVariant> pending;
    if (editor && cell.row() == editRow_) pending = editor->Pending(Column(cell.column()));

    // Check everything before storing anything, so a failure changes nothing.
    for (int col = 0; col < ColumnCount(); ++col) {
        const TRealGridColumn& column = Column(col);
        if (!column.Required) continue;
        const QVariant value =
            pending && col == cell.column() ? *pending : model_->Value(col, editRow_);
        if (RealGridValues::IsEmpty(value))
            throw VarnexError(QStringLiteral("Column '%1' must have a value.").arg(column.Caption));
    }
    editing_ = false;
    if (pending) {
        const QPersistentModelIndex keep(cell);
        StoreOperatorValue(cell.column(), cell.row(), *pending);
        if (keep.isValid() && indexWidget(keep) == dynamic_cast<QWidget*>(editor))
            editor->Load(Column(keep.column()), model_->Value(keep.column(), keep.row()));
    }
}

int TRealGrid::CurrentRow() const {
    const QModelIndex cell = currentIndex();
    return cell.isValid() ? cell.row() : -1;
}

int TRealGrid::CurrentCol() const {
    const QModelIndex cell = currentIndex();
    return cell.isValid() ? cell.column() : -1;
}

void TRealGrid::SetCurrentCell(int col, int row) {
    model_->CheckCell(col, row);
    if (editing_ && row != CurrentRow()) PostEdit();
    selection_->setCurrentIndex(model_->index(row, col), QItemSelectionModel::NoUpdate);
}

void TRealGrid::Repaint() {
    horizontalHeader()->viewport()->repaint();
    viewport()->repaint();
}

// ---- the operator ----------------------------------------------------------

bool TRealGrid::FilterTypedChar(QChar& ch) {
    if (approvedChars_ > 0) {
        --approvedChars_;
        return true;
    }
    if (OnKeyPress) OnKeyPress(ch);
    return !ch.isNull();
}

bool TRealGrid::RunKeyHook(QString& typed) {
    for (QChar& c : typed) {
        if (!FilterTypedChar(c)) return false;
    }
    return true;
}

void TRealGrid::OperatorTouchedRow() {
    if (editing_) return;
    editing_ = true;
    editRow_ = CurrentRow();
    if (OnAfterEdit) OnAfterEdit();
}

void TRealGrid::StoreOperatorValue(int col, int row, const QVariant& value) {
    if (model_->SetValue(col, row, value) && OnValueChanged) OnValueChanged(col, row);
}

void TRealGrid::ToggleCheck(const QModelIndex& index) {
    if (!model_->IsCellEditable(index.column())) return Beep();
    // The new state is taken from what the operator saw, before OnAfterEdit's
    // handler may write the same cell: a click on an empty or unticked box ticks it.
    const QVariant before = model_->Value(index.column(), index.row());
    const bool ticked = !(before.isValid() && before.toBool());
    const QPersistentModelIndex keep(index);
    OperatorTouchedRow();
    if (keep.isValid()) StoreOperatorValue(keep.column(), keep.row(), ticked);
}

void TRealGrid::EmptyCheck(const QModelIndex& index) {
    if (!model_->IsCellEditable(index.column())) return Beep();
    if (!model_->Value(index.column(), index.row()).isValid()) return;
    const QPersistentModelIndex keep(index);
    OperatorTouchedRow();
    if (keep.isValid()) StoreOperatorValue(keep.column(), keep.row(), QVariant());
}

void TRealGrid::Beep() {
    if (OnBeep) OnBeep();
}

bool TRealGrid::CanLeaveRow(const QModelIndex& from, const QModelIndex& to) {
    if (!editing_ || (from.isValid() && to.isValid() && from.row() == to.row())) return true;
    try {
        PostEdit();
        return true;
    } catch (const VarnexError&) {
        // The operator stays on the row; the error is for PostEdit's callers.
        return false;
    }
}

// ---- events ------------------------------------------------------------------

bool TRealGrid::IsCheckColumn(int col) const {
    return RealGridValues::EditorKindOf(model_->Column(col)) == EditorKind::Check;
}

void TRealGrid::keyPressEvent(QKeyEvent* event) {
    const QModelIndex cell = currentIndex();
    if (!cell.isValid()) return QTableView::keyPressEvent(event);

    QString typed = TypedText(event);
    if (!typed.isEmpty()) {
        // A character typed on the grid itself, with no editor open.
        event->accept();
        const QString original = typed;
        if (!RunKeyHook(typed)) return;
        if (!model_->IsCellEditable(cell.column())) return Beep();
        if (IsCheckColumn(cell.column())) {
            if (typed == QStringLiteral(" ")) ToggleCheck(cell);
            return;
        }
        // Open the editor and hand it the character OnKeyPress has already seen.
        approvedChars_ = typed.size();
        if (typed == original) {
            QTableView::keyPressEvent(event);
        } else {
            QKeyEvent retyped(QEvent::KeyPress, 0, event->modifiers(), typed);
            QTableView::keyPressEvent(&retyped);
        }
        approvedChars_ = 0;
        return;
    }
    if (event->key() == Qt::Key_Delete && !(event->modifiers() & Qt::ControlModifier) &&
        IsCheckColumn(cell.column())) {
        event->accept();
        return EmptyCheck(cell);
    }
    QTableView::keyPressEvent(event);
}

void TRealGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (OnDblClick) OnDblClick();
}

void TRealGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    OpenEditorIfAlwaysShown();
}

void TRealGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid() && current.row() != enteredRow_) {
        enteredRow_ = current.row();
        if (OnRowEnter) OnRowEnter();
    }
    OpenEditorIfAlwaysShown();
}

bool TRealGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Editors open on the current cell only. Mouse events still reach the
    // delegate for cells that are about to become current (check boxes).
    const bool mouse =
        event &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseMove);
    if (!mouse && index.isValid() && index != currentIndex()) return false;
    return QTableView::edit(index, trigger, event);
}

void TRealGrid::keyboardSearch(const QString& search) {
    Q_UNUSED(search);
}

void TRealGrid::OpenEditorIfAlwaysShown() {
    if (!(options_ & wgoAlwaysShowEditor) || !hasFocus()) return;
    const QModelIndex cell = currentIndex();
    if (!cell.isValid() || state() == EditingState || indexWidget(cell)) return;
    if (!(model_->flags(cell) & Qt::ItemIsEditable)) return;
    edit(cell, AllEditTriggers, nullptr);
}

// ---- keyboard moves ------------------------------------------------------------

bool TRealGrid::Skips(int col) const {
    return isColumnHidden(col) || model_->Column(col).ReadOnly;
}

QModelIndex TRealGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!(options_ & wgoSkipReadOnly) || !next.isValid() || !Skips(next.column())) return next;
    return SkipReadOnly(next, action);
}

QModelIndex TRealGrid::SkipReadOnly(const QModelIndex& next, CursorAction action) const {
    int step = 0;
    bool wrap = false;
    switch (action) {
        case MoveRight:
        case MoveHome:
            step = 1;
            break;
        case MoveNext:
            step = 1;
            wrap = true;
            break;
        case MoveLeft:
        case MoveEnd:
            step = -1;
            break;
        case MovePrevious:
            step = -1;
            wrap = true;
            break;
        default:
            return next;  // up and down keep the column
    }
    const QHeaderView* header = horizontalHeader();
    const int cols = ColumnCount();
    int row = next.row();
    int visual = header->visualIndex(next.column());
    for (int guard = cols * (RowCount() + 1); guard > 0; --guard) {
        visual += step;
        if (visual < 0 || visual >= cols) {
            if (!wrap) break;
            row += step;
            if (row < 0 || row >= RowCount()) break;
            visual = step > 0 ? -1 : cols;
            continue;
        }
        const int col = header->logicalIndex(visual);
        if (!Skips(col)) return model_->index(row, col);
    }
    return currentIndex();
}

QModelIndex TRealGrid::FirstCellOfRow(int row) const {
    const QHeaderView* header = horizontalHeader();
    int fallback = -1;
    for (int visual = 0; visual < ColumnCount(); ++visual) {
        const int col = header->logicalIndex(visual);
        if (isColumnHidden(col)) continue;
        if (fallback < 0) fallback = col;
        if (!(options_ & wgoSkipReadOnly) || !Skips(col)) return model_->index(row, col);
    }
    return model_->index(row, fallback < 0 ? 0 : fallback);
}
