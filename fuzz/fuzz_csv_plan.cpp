// The CSV plan reader on arbitrary bytes: either a refusal naming a line, or
// rows whose cells are all in their checked forms, that say the same when
// written out again and read back, and that the plan checker takes.
#include "fleet/AddressPlan.h"
#include "fleet/CsvPlan.h"
#include "fleet/FleetText.h"
#include "link/VarnexError.h"

#include <QSet>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
QString quoted(QString cell) {
    return QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QStringList cellsOf(const CsvPlanRow& r) {
    return {r.mac, r.ip, r.mask, r.gateway, r.viewIp, r.name};
}

bool isAddressOrEmpty(const QString& text) {
    quint32 a = 0;
    return text.isEmpty() || (ParseIPv4(text, a) && DottedIPv4(a) == text);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QVector<CsvPlanRow> rows;
    try {
        rows = ParseCsvPlan(bytes);
    } catch (const VarnexError& e) {
        if (e.text().isEmpty()) std::abort();
        return 0;
    }
    QSet<QString> macs;
    int lastLine = 1;
    QString again = QStringLiteral("name;view_ip;gateway;mask;ip;mac\r\n");
    for (const CsvPlanRow& r : rows) {
        if (CanonicalMac(r.mac) != r.mac || macs.contains(r.mac) || r.line <= lastLine)
            std::abort();
        if (!isAddressOrEmpty(r.ip) || !isAddressOrEmpty(r.mask) || !isAddressOrEmpty(r.gateway) ||
            !isAddressOrEmpty(r.viewIp) || r.name.toUtf8().size() > 32) {
            std::abort();
        }
        if (!r.mask.isEmpty() && MaskPrefixLength(r.mask) < 0) std::abort();
        macs.insert(r.mac);
        lastLine = r.line;
        QStringList cells = cellsOf(r);
        std::reverse(cells.begin(), cells.end());
        for (QString& c : cells) c = quoted(c);
        again += cells.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    const QVector<CsvPlanRow> back = ParseCsvPlan(again.toUtf8());
    if (back.size() != rows.size()) std::abort();
    for (int i = 0; i < rows.size(); ++i) {
        if (cellsOf(back[i]) != cellsOf(rows[i])) std::abort();
    }
    const QVector<ListedGateway> listed{
        {QStringLiteral("00-1A-2B-00-00-01"), QStringLiteral("G1"), QStringLiteral("198.18.0.10"),
         QStringLiteral("255.255.255.0"), QStringLiteral("198.18.0.1"),
         QStringLiteral("198.18.0.5")}};
    if (PlanFromRows(rows, listed, {QStringLiteral("198.18.0.2")}).size() != rows.size())
        std::abort();
    return 0;
}
