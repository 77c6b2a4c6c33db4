// Loading and saving a configuration file in either form.
#include "config/ConfigJson.h"

#include "link/Codecs.h"
#include "link/VarnexError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {
QString shown(const QString& path) {
    return QFileInfo(path).fileName();
}

[[noreturn]] void unreadable(const QString& path, const QString& problem) {
    throw VarnexError(QStringLiteral("The configuration file \"%1\" cannot be read: %2")
                          .arg(shown(path), problem));
}

}  // namespace

DeviceConfig DeviceConfigFromFile(const ConfigFileContents& contents) {
    DeviceConfig config;
    config.network = contents.network;
    const int rows = config.network.portCount & 0xFF;
    config.ports = QVector<PortRow>(rows);
    config.loras = QVector<LoRaRow>(rows);
    for (const PortReply& p : contents.ports) {
        if (p.row >= 0 && p.row < rows) config.ports[p.row] = p.cells;
    }
    for (const LoRaReply& l : contents.loras) {
        if (l.row >= 0 && l.row < rows) config.loras[l.row] = l.cells;
    }
    return config;
}

bool IsVxcFileName(const QString& path) {
    return path.endsWith(QStringLiteral(".vxc"), Qt::CaseInsensitive);
}

ConfigDocument LoadConfigDocument(const QString& path) {
    const QByteArray bytes = ReadConfigFileBytes(path);
    ConfigDocument doc;
    if (IsVxcFileName(path)) {
        const ConfigFileContents contents = ParseConfigRecords(bytes, path);
        doc.config = DeviceConfigFromFile(contents);
        doc.identity.mac = DecodeMac(bytes.mid(2, 6));
        doc.identity.sourceId = contents.network.sourceId;
        return doc;
    }
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        unreadable(path, QStringLiteral("it is not valid JSON (%1 at byte %2)")
                             .arg(error.errorString())
                             .arg(error.offset));
    }
    if (!json.isObject()) unreadable(path, QStringLiteral("it does not hold a JSON object"));
    try {
        doc.config = ConfigFromJson(json.object());
    } catch (const VarnexError& e) {
        unreadable(path, e.text());
    }
    doc.identity = IdentityFromJson(json.object());
    return doc;
}

QByteArray ConfigJsonBytes(const DeviceConfig& config, const GatewayIdentity& identity) {
    return QJsonDocument(ConfigToJson(config, identity)).toJson(QJsonDocument::Indented);
}

void SaveConfigDocument(const QString& path, const DeviceConfig& config,
                        const GatewayIdentity& identity) {
    if (IsVxcFileName(path)) {
        ExportConfigFile(path, identity.mac, config);
        return;
    }
    WriteConfigFileBytes(path, ConfigJsonBytes(config, identity));
}
