#pragma once

#include <QStyledItemDelegate>

class QModelIndex;
class TRealGridModel;

// What the delegate and the editors report to the grid about the operator's work.
class TRealGridOperator {
public:
    virtual ~TRealGridOperator() = default;
    // OnKeyPress for one typed character; false when it is refused.
    virtual bool FilterTypedChar(QChar& ch) = 0;
    // The operator has begun to change the current row.
    virtual void OperatorTouchedRow() = 0;
    // Stores a value the operator entered; raises OnValueChanged when it differs.
    virtual void StoreOperatorValue(int col, int row, const QVariant& value) = 0;
    // A click on a check box.
    virtual void ToggleCheck(const QModelIndex& index) = 0;
    virtual void Beep() = 0;
};

// Creates the in-place editor a column asks for, loads it, stores what the
// operator entered, and draws check box cells with their box aligned like the
// column's text. Text is drawn by the style as plain text.
class TRealGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    TRealGridDelegate(TRealGridModel* model, TRealGridOperator* grid, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where a check box cell draws its box, and so where a click toggles it.
    QRect CheckRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    bool IsCheckCell(const QModelIndex& index) const;

    TRealGridModel* model_;
    TRealGridOperator* grid_;
};
