#include "fleet/FleetTable.h"

#include "fleet/FleetText.h"
#include "link/NetInterfaces.h"
#include "text/PrintableText.h"

namespace {
QString cellText(const FleetRow& r, int column) {
    switch (column) {
        case FleetTableModel::Mac:
            return r.gateway.Mac;
        case FleetTableModel::Name:
            return r.gateway.DeviceName;
        case FleetTableModel::Ip:
            return r.gateway.IpAddress;
        case FleetTableModel::Model:
            return r.gateway.Model;
        case FleetTableModel::Version:
            return r.gateway.Version;
        case FleetTableModel::Interface:
            return r.interfaceName;
        case FleetTableModel::Status:
            return FleetTableModel::StatusText(r);
        default:
            break;
    }
    return QString();
}
}  // namespace

FleetTableModel::FleetTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void FleetTableModel::SetGateways(const QList<DiscoveryReply>& gateways) {
    beginResetModel();
    rows_.clear();
    for (const DiscoveryReply& g : gateways) {
        FleetRow r;
        r.gateway = g;
        r.interfaceName = InterfaceNameOf(g.InterfaceIndex);
        rows_.append(r);
    }
    endResetModel();
}

int FleetTableModel::RowOf(const QString& mac) const {
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_[i].gateway.Mac.compare(mac, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

void FleetTableModel::SetChecked(int row, bool on) {
    if (row < 0 || row >= rows_.size() || rows_[row].checked == on) return;
    rows_[row].checked = on;
    emit dataChanged(index(row, Mac), index(row, Mac), {Qt::CheckStateRole});
}

void FleetTableModel::ClearStatuses() {
    for (FleetRow& r : rows_) {
        r.inBatch = false;
        r.afterUpgrade.clear();
    }
    if (!rows_.isEmpty()) emit dataChanged(index(0, Status), index(rows_.size() - 1, Status));
}

void FleetTableModel::SetStatuses(const QList<FleetBatch::Status>& statuses) {
    for (const FleetBatch::Status& s : statuses) {
        const int row = RowOf(s.gateway.Mac);
        if (row < 0) continue;
        FleetRow& r = rows_[row];
        if (r.inBatch && r.state == s.state && r.percent == s.percent && r.reason == s.reason) {
            continue;
        }
        r.inBatch = true;
        r.state = s.state;
        r.percent = s.percent;
        r.reason = s.reason;
        r.afterUpgrade.clear();
        emit dataChanged(index(row, Status), index(row, Status), {Qt::DisplayRole});
    }
}

void FleetTableModel::SetAfterUpgrade(const QString& mac, const QString& text,
                                      const QString& version) {
    const int row = RowOf(mac);
    if (row < 0) return;
    rows_[row].afterUpgrade = text;
    if (!version.isEmpty()) rows_[row].gateway.Version = version;
    rowChanged(row);
}

void FleetTableModel::SetAddress(const QString& mac, const QString& ip, const QString& mask,
                                 const QString& gateway, const QString& viewIp,
                                 const QString& name) {
    const int row = RowOf(mac);
    if (row < 0) return;
    DiscoveryReply& g = rows_[row].gateway;
    g.IpAddress = ip;
    g.SubnetMask = mask;
    g.Gateway = gateway;
    g.ViewIp = viewIp;
    g.DeviceName = name;
    rowChanged(row);
}

void FleetTableModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::DisplayRole});
}

QString FleetTableModel::StatusText(const FleetRow& r) {
    if (!r.inBatch) return QString();
    QString text = FleetStateName(r.state);
    if (r.state == FleetBatch::State::Running && r.percent >= 0) {
        text += QStringLiteral(", %1 %").arg(r.percent);
    } else if (r.state != FleetBatch::State::Running && !r.reason.isEmpty()) {
        text += QStringLiteral(": ") + r.reason;
    }
    if (!r.afterUpgrade.isEmpty()) text += QStringLiteral("; ") + r.afterUpgrade;
    return text;
}

int FleetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.size();
}

int FleetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FleetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return QVariant();
    const FleetRow& r = rows_[index.row()];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            // Names, versions and reasons come from gateways and files.
            return PrintableText(cellText(r, index.column()));
        case Qt::CheckStateRole:
            if (index.column() == Mac) return r.checked ? Qt::Checked : Qt::Unchecked;
            break;
        case SortRole:
            if (index.column() == Ip) {
                quint32 address = 0;
                return ParseIPv4(r.gateway.IpAddress, address) ? QVariant(address) : QVariant(0u);
            }
            return cellText(r, index.column());
        default:
            break;
    }
    return QVariant();
}

bool FleetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != Mac || role != Qt::CheckStateRole) return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant FleetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const titles[ColumnCount] = {"MAC",     "Name",      "IP",    "Model",
                                                    "Version", "Interface", "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

Qt::ItemFlags FleetTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Mac) f |= Qt::ItemIsUserCheckable;
    return f;
}

FleetFilter::FleetFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(FleetTableModel::SortRole);
    setDynamicSortFilter(true);
}

void FleetFilter::SetText(const QString& text) {
    text_ = text.trimmed();
    invalidateFilter();
}

bool FleetFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (text_.isEmpty()) return true;
    const auto* model = static_cast<const FleetTableModel*>(sourceModel());
    const DiscoveryReply& g = model->Row(sourceRow).gateway;
    return g.Model.contains(text_, Qt::CaseInsensitive) ||
           g.Version.contains(text_, Qt::CaseInsensitive);
}
