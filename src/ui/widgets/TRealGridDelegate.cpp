#include "widgets/TRealGridDelegate.h"

#include "widgets/TRealGridEditors.h"
#include "widgets/TRealGridModel.h"
#include "widgets/TRealGridValues.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

using RealGridValues::EditorKind;

TRealGridDelegate::TRealGridDelegate(TRealGridModel* model, TRealGridOperator* grid,
                                     QObject* parent)
    : QStyledItemDelegate(parent), model_(model), grid_(grid) {}

bool TRealGridDelegate::IsCheckCell(const QModelIndex& index) const {
    return index.isValid() &&
           RealGridValues::EditorKindOf(model_->Column(index.column())) == EditorKind::Check;
}

QWidget* TRealGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    Q_UNUSED(option);
    if (!index.isValid() || !model_->IsCellEditable(index.column())) return nullptr;
    const TRealGridColumn& column = model_->Column(index.column());
    TRealGridOperator* grid = grid_;
    TRealGridEditorHooks hooks;
    hooks.FilterChar = [grid](QChar& ch) { return grid->FilterTypedChar(ch); };
    hooks.Touched = [grid] { grid->OperatorTouchedRow(); };
    hooks.Beep = [grid] { grid->Beep(); };

    switch (RealGridValues::EditorKindOf(column)) {
        case EditorKind::Text:
            return new TRealGridTextEdit(parent, hooks, RealGridValues::TextLimit(column));
        case EditorKind::Number:
            return new TRealGridNumberEdit(parent, hooks, RealGridValues::DigitLimit(column),
                                           RealGridValues::MinusAllowed(column));
        case EditorKind::List: {
            auto* list = new TRealGridListEdit(parent, hooks, column.Values);
            // A picked entry goes into the cell at once.
            auto* self = const_cast<TRealGridDelegate*>(this);
            connect(list, &QComboBox::activated, self,
                    [self, list] { emit self->commitData(list); });
            return list;
        }
        case EditorKind::Check:
            break;
    }
    return nullptr;
}

void TRealGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* ours = dynamic_cast<TRealGridEditor*>(editor);
    // An editor the operator has typed into keeps the operator's entry.
    if (!ours || ours->IsDirty() || !index.isValid()) return;
    ours->Load(model_->Column(index.column()), model_->Value(index.column(), index.row()));
}

void TRealGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    Q_UNUSED(model);
    auto* ours = dynamic_cast<TRealGridEditor*>(editor);
    if (!ours || !index.isValid()) return;
    const TRealGridColumn& column = model_->Column(index.column());
    const std::optional<QVariant> pending = ours->Pending(column);
    if (!pending) return;
    const QPersistentModelIndex cell(index);
    grid_->StoreOperatorValue(index.column(), index.row(), *pending);
    // Show what was stored (a number brought into range) and start afresh.
    if (cell.isValid()) ours->Load(column, model_->Value(cell.column(), cell.row()));
}

void TRealGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    Q_UNUSED(index);
    editor->setGeometry(option.rect);
}

QRect TRealGridDelegate::CheckRect(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QSize box(style->pixelMetric(QStyle::PM_IndicatorWidth, &option, widget),
                    style->pixelMetric(QStyle::PM_IndicatorHeight, &option, widget));
    const auto align = Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt());
    const Qt::Alignment horizontal = align & Qt::AlignHorizontal_Mask;
    return QStyle::alignedRect(option.direction, horizontal | Qt::AlignVCenter, box,
                               option.rect.adjusted(2, 0, -2, 0));
}

void TRealGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (!IsCheckCell(index)) return QStyledItemDelegate::paint(painter, option, index);

    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const auto state = Qt::CheckState(index.data(Qt::CheckStateRole).toInt());
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    cell.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    QStyleOptionViewItem box = cell;
    box.rect = CheckRect(option, index);
    box.state &=
        ~(QStyle::State_HasFocus | QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
    box.state |= state == Qt::Checked     ? QStyle::State_On
                 : state == Qt::Unchecked ? QStyle::State_Off
                                          : QStyle::State_NoChange;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
}

bool TRealGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!IsCheckCell(index)) return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (event->type() != QEvent::MouseButtonRelease) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    // Only the current cell toggles: a press that could not leave an uncommitted
    // row must not change a box on another one.
    const bool current = option.state & QStyle::State_HasFocus;
    if (mouse->button() != Qt::LeftButton || !current ||
        !CheckRect(option, index).contains(mouse->position().toPoint()))
        return false;
    grid_->ToggleCheck(index);
    return true;
}
