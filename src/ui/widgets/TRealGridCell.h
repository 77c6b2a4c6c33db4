#pragma once

#include <QString>

class TRealGridModel;

// One cell picked by TRealGrid::Cells(col, row), for the typed reads and writes
// the forms make. Writes are the program's: they raise no grid event. Each call
// checks the bounds again, so a handle kept past ClearRows fails instead of
// touching a missing row.
class TRealGridCell {
public:
    TRealGridCell(TRealGridModel* model, int col, int row) : model_(model), col_(col), row_(row) {}

    QString GetCellText() const;
    void SetCellText(const QString& text);
    bool GetCellBool() const;
    void SetCellBool(bool value);
    qint32 GetCellInt() const;
    void SetCellInt(qint32 value);

private:
    TRealGridModel* model_;
    int col_;
    int row_;
};
