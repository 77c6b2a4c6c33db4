#include "widgets/TRealGridCell.h"

#include "widgets/TRealGridModel.h"
#include "widgets/TRealGridValues.h"

// Value() checks the bounds first, so a bad handle fails with the Cells texts.

QString TRealGridCell::GetCellText() const {
    const QVariant value = model_->Value(col_, row_);
    return RealGridValues::TextOf(model_->Column(col_), value);
}

void TRealGridCell::SetCellText(const QString& text) {
    model_->CheckCell(col_, row_);
    model_->SetValue(col_, row_, RealGridValues::FromText(model_->Column(col_), text));
}

bool TRealGridCell::GetCellBool() const {
    const QVariant value = model_->Value(col_, row_);
    return RealGridValues::BoolOf(model_->Column(col_), value);
}

void TRealGridCell::SetCellBool(bool value) {
    model_->CheckCell(col_, row_);
    model_->SetValue(col_, row_, RealGridValues::FromBool(model_->Column(col_), value));
}

qint32 TRealGridCell::GetCellInt() const {
    const QVariant value = model_->Value(col_, row_);
    return RealGridValues::IntOf(model_->Column(col_), value);
}

void TRealGridCell::SetCellInt(qint32 value) {
    model_->CheckCell(col_, row_);
    model_->SetValue(col_, row_, RealGridValues::FromInt(model_->Column(col_), value));
}
