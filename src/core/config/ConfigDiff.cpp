#include "config/ConfigDiff.h"

#include "config/ConfigJson.h"

namespace {
// Both sides' fields come from the same functions, so they pair up by position.
void compare(const QString& prefix, const JsonFields& gateway, const JsonFields& file,
             QStringList& out) {
    for (int i = 0; i < gateway.size() && i < file.size(); ++i) {
        if (gateway[i].second == file[i].second) continue;
        out << QStringLiteral("%1.%2: %3 -> %4")
                   .arg(prefix, gateway[i].first, JsonValueText(gateway[i].second),
                        JsonValueText(file[i].second));
    }
}

template <class Row>
int heldRows(const DeviceConfig& config, const QVector<Row>& rows) {
    return qMin(rows.size(), config.network.portCount & 0xFF);
}

template <class Row>
void compareRows(const QString& table, const DeviceConfig& gateway, const QVector<Row>& gatewayRows,
                 const DeviceConfig& file, const QVector<Row>& fileRows, DiffRows mode,
                 JsonFields (*fieldsOf)(const Row&), QStringList& out) {
    const int onGateway = heldRows(gateway, gatewayRows);
    const int inFile = heldRows(file, fileRows);
    for (int r = 0; r < qMax(onGateway, inFile); ++r) {
        const QString name = QStringLiteral("%1[%2]").arg(table).arg(r);
        if (r < onGateway && r < inFile) {
            compare(name, fieldsOf(gatewayRows[r]), fieldsOf(fileRows[r]), out);
        } else if (mode == DiffRows::All) {
            out << name + (r < inFile ? QStringLiteral(": only in the file")
                                      : QStringLiteral(": only on the gateway"));
        }
    }
}

template <class Row>
void rowsOnlyInFile(const QString& table, const DeviceConfig& gateway,
                    const QVector<Row>& gatewayRows, const DeviceConfig& file,
                    const QVector<Row>& fileRows, QStringList& out) {
    for (int r = heldRows(gateway, gatewayRows); r < heldRows(file, fileRows); ++r) {
        out << QStringLiteral("%1[%2]").arg(table).arg(r);
    }
}
}  // namespace

QStringList ConfigDifferences(const DeviceConfig& gateway, const DeviceConfig& file,
                              DiffRows rows) {
    QStringList out;
    compare(QStringLiteral("network"), NetworkJsonFields(gateway.network),
            NetworkJsonFields(file.network), out);
    compareRows(QStringLiteral("ports"), gateway, gateway.ports, file, file.ports, rows,
                PortJsonFields, out);
    compareRows(QStringLiteral("lora"), gateway, gateway.loras, file, file.loras, rows,
                LoRaJsonFields, out);
    return out;
}

QStringList RowsOnlyInFile(const DeviceConfig& gateway, const DeviceConfig& file) {
    QStringList out;
    rowsOnlyInFile(QStringLiteral("ports"), gateway, gateway.ports, file, file.ports, out);
    rowsOnlyInFile(QStringLiteral("lora"), gateway, gateway.loras, file, file.loras, out);
    return out;
}
