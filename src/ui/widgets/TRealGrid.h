#pragma once

#include "widgets/TRealGridCell.h"
#include "widgets/TRealGridColumn.h"
#include "widgets/TRealGridDelegate.h"

#include <QIcon>
#include <QTableView>
#include <QVector>

#include <functional>

class TRealGridModel;
class TRealGridSelection;

// The typed, editable table of the device list and the configuration tables.
// Columns are fixed when the form is built (SetColumns); rows are added at run
// time and edited in place. A row the operator begins to change enters the edit
// state (OnAfterEdit); it is committed by PostEdit or by moving to another row,
// and a commit fails while a Required cell of the row is empty.
//
// Errors are raised as VarnexError with the text the operator is shown; after a
// failed operation the content is as it was before it.
class TRealGrid : public QTableView, public TRealGridEnums, private TRealGridOperator {
    Q_OBJECT

public:
    explicit TRealGrid(QWidget* parent = nullptr);
    ~TRealGrid() override;

    // ---- set by the form when it is built --------------------------------
    // Replaces the columns (and drops every row); also sets widths and hidden columns.
    void SetColumns(const QVector<TRealGridColumn>& columns);
    void SetOptions(Options options);
    Options GetOptions() const { return options_; }
    void SetRowHeight(int pixels);
    // Colours of the highlighted row (SelBgColor, SelFgColor).
    void SetSelectionColors(const QColor& background, const QColor& text);
    // The column titles: background, text colour, bold or not, title row height.
    void SetTitleLook(const QColor& background, const QColor& text, bool bold, int height);
    // The grid's image list; with one set, OnGetImageIndex picks a cell's picture.
    void SetImages(const QList<QIcon>& images);
    // Asks OnGetImageIndex and OnGetHint afresh for every cell, after what
    // they answer from has changed.
    void RefreshImages();
    // A small picture beside a column's title.
    void SetTitleImage(int col, const QIcon& image);

    // ---- used by the forms at run time ----------------------------------
    int ColumnCount() const;
    // Both fail with "Column bounds error[" + col + "]".
    const TRealGridColumn& Column(int col) const;
    QStringList ColumnValues(int col) const;

    // Fails with "Cells col bounds error[" + col + "]" or "Cells row bounds error[" + row + "]".
    TRealGridCell Cells(int col, int row);
    int RowCount() const;
    // One empty row before `row`; InsertRow(RowCount()) appends. Fails with
    // "Can't InsertRow in Editing" while a row is in the edit state, and with
    // "InsertRow bounds error[" + row + "]" outside 0..RowCount. The first row
    // added to an empty grid becomes current (OnRowEnter).
    void InsertRow(int row);
    // Appends rows at once, as InsertRow(RowCount()) and filling each would,
    // but with one model signal for them all. Each row holds one value per
    // column, made by TextValue/BoolValue; fails like InsertRow while editing.
    void AppendRows(const QVector<QVector<QVariant>>& rows);
    // A cell value as SetCellText / SetCellBool of column `col` would store it.
    QVariant TextValue(int col, const QString& text) const;
    QVariant BoolValue(int col, bool value) const;
    // Ends any edit without storing it and removes every row.
    void ClearRows();
    // Commits the edited row: stores the open editor's entry, after checking that
    // no Required cell is empty ("Column '" + caption + "' must have a value.").
    // Does nothing when no row is in the edit state.
    void PostEdit();
    bool IsEditing() const { return editing_; }

    // -1 when the grid has no rows.
    int CurrentRow() const;
    int CurrentCol() const;
    // Commits an edited row first when the move leaves it (and fails like PostEdit).
    void SetCurrentCell(int col, int row);
    // Redraws the grid at once.
    void Repaint();

    TRealGridModel* Model() const { return model_; }
    using QTableView::edit;

    // ---- events the forms bind --------------------------------------------
    std::function<void()> OnRowEnter;   // the current row has changed
    std::function<void()> OnAfterEdit;  // the current row has just entered the edit state
    // Every character typed into a cell, before the cell takes it; set it to
    // QChar(0) to refuse it.
    std::function<void(QChar& key)> OnKeyPress;
    std::function<void()> OnDblClick;
    // The operator (never the program) has changed a cell's value.
    std::function<void(int col, int row)> OnValueChanged;
    std::function<int(int col, int row)> OnGetImageIndex;
    // A cell's tooltip, which is also its description for assistive tools;
    // an empty text for none.
    std::function<QString(int col, int row)> OnGetHint;
    // The refusal sound; QApplication::beep unless replaced.
    std::function<void()> OnBeep;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // The grid has no incremental search: a typed character goes to the cell.
    void keyboardSearch(const QString& search) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    // TRealGridOperator
    bool FilterTypedChar(QChar& ch) override;
    void OperatorTouchedRow() override;
    void StoreOperatorValue(int col, int row, const QVariant& value) override;
    void ToggleCheck(const QModelIndex& index) override;
    void Beep() override;

    bool RunKeyHook(QString& typed);
    bool CanLeaveRow(const QModelIndex& from, const QModelIndex& to);
    void EmptyCheck(const QModelIndex& index);
    bool IsCheckColumn(int col) const;
    bool Skips(int col) const;
    QModelIndex SkipReadOnly(const QModelIndex& next, CursorAction action) const;
    QModelIndex FirstCellOfRow(int row) const;
    void OpenEditorIfAlwaysShown();
    void ApplyPalette();

    TRealGridModel* model_;
    TRealGridSelection* selection_;
    TRealGridDelegate* delegate_;
    Options options_;
    QColor selBackground_, selText_;
    QList<QIcon> images_;
    bool editing_ = false;
    int editRow_ = -1;
    int enteredRow_ = -1;
    // Characters that OnKeyPress has already passed on their way into an editor.
    int approvedChars_ = 0;
};
