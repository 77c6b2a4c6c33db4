#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class QAbstractItemModel;

// Which row first holds a given text in one column of a model, answered without
// reading the whole column each time. It follows the model's change signals:
// appended rows and cells that go from empty to a text are taken in as they
// come; any other change (a text replaced, rows removed, moved or reset) makes
// it read the column afresh at the next question. So its answers are always
// those of a scan from row 0, and the device list's duplicate check stays cheap
// when thousands of replies come in.
class ColumnTextIndex : public QObject {
    Q_OBJECT
public:
    // `read(row)` gives the column's text in that row, as the callers see it.
    ColumnTextIndex(QAbstractItemModel* model, int column, std::function<QString(int row)> read,
                    QObject* parent = nullptr);

    // The first row whose text equals `text` exactly, or -1.
    int FirstRow(const QString& text);

private:
    void cellsChanged(int firstRow, int lastRow);
    void rowsAppended(int firstRow, int lastRow);
    void take(int row, const QString& text);
    void rebuild();
    void invalidate() { valid_ = false; }

    QAbstractItemModel* model_;
    int column_;
    std::function<QString(int row)> read_;
    bool valid_ = false;
    QVector<QString> texts_;        // per row
    QHash<QString, int> firstRow_;  // non-empty texts only
};
