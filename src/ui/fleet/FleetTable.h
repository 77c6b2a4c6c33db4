#pragma once

#include "discovery/DiscoveryReply.h"
#include "fleet/FleetBatch.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSortFilterProxyModel>
#include <QString>

// One gateway of the fleet window: what the last Search listed, whether the
// operator checked it, and what the last batch made of it.
struct FleetRow {
    DiscoveryReply gateway;
    QString interfaceName;
    bool checked = true;
    bool inBatch = false;  // false: no batch has touched it since the list was loaded
    FleetBatch::State state = FleetBatch::State::Waiting;
    int percent = -1;
    QString reason;
    QString afterUpgrade;  // after a firmware batch: "now reports 2.1.0", "not back"
};

// The gateways in a table, one row each. Every cell is plain text, built from
// values that may come from the network, so each is made printable first; the
// status column's text is what a screen reader reads for the row's progress.
class FleetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Mac, Name, Ip, Model, Version, Interface, Status, ColumnCount };
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit FleetTableModel(QObject* parent = nullptr);

    void SetGateways(const QList<DiscoveryReply>& gateways);
    const QList<FleetRow>& Rows() const { return rows_; }
    const FleetRow& Row(int row) const { return rows_.at(row); }
    int RowOf(const QString& mac) const;

    void SetChecked(int row, bool on);
    // Every row back to "no batch yet".
    void ClearStatuses();
    // Takes a batch's statuses; rows of other gateways keep theirs.
    void SetStatuses(const QList<FleetBatch::Status>& statuses);
    // The version a gateway reports after its upgrade, or "not back" (empty version).
    void SetAfterUpgrade(const QString& mac, const QString& text, const QString& version);
    // New IP settings after an address batch.
    void SetAddress(const QString& mac, const QString& ip, const QString& mask,
                    const QString& gateway, const QString& viewIp, const QString& name);

    // "waiting", "running, 42 %", "failed: it refused chunk 2", ...
    static QString StatusText(const FleetRow& row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void rowChanged(int row);
    QList<FleetRow> rows_;
};

// Sorting by any column (addresses as numbers) and the filter by model or version.
class FleetFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FleetFilter(QObject* parent = nullptr);
    void SetText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
};
