#include "config/ConfigFile.h"

#include "link/ByteReader.h"
#include "link/VarnexError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
QString shown(const QString& fileName) {
    return QFileInfo(fileName).fileName();
}

[[noreturn]] void damaged(const QString& fileName, const QString& what) {
    throw VarnexError(QStringLiteral("The configuration file \"%1\" cannot be imported: %2")
                          .arg(shown(fileName), what));
}

QString writeProblem(QFileDevice::FileError error) {
    switch (error) {
        case QFileDevice::OpenError:
        case QFileDevice::PermissionsError:
            return QStringLiteral("access denied or invalid file name");
        case QFileDevice::ResourceError:
            return QStringLiteral("disk full");
        default:
            return QStringLiteral("write error");
    }
}

[[noreturn]] void exportFailed(const QString& fileName, QFileDevice::FileError error) {
    throw VarnexError(QStringLiteral("The configuration could not be exported to \"%1\" (%2); "
                                     "an existing file was left unchanged")
                          .arg(shown(fileName), writeProblem(error)));
}
}  // namespace

QByteArray BuildConfigRecords(const QString& mac, const DeviceConfig& config) {
    QByteArray out;
    for (const SectionWrite& s : BuildConfigWrite(mac, {true, true, true}, config)) {
        for (const QByteArray& d : s.datagrams) out.append(d);
    }
    return out;
}

void ExportConfigFile(const QString& fileName, const QString& mac, const DeviceConfig& config) {
    // Every record is built before the file is touched, and the new file only
    // replaces the old one once all of it is on disk.
    WriteConfigFileBytes(fileName, BuildConfigRecords(mac, config));
}

void WriteConfigFileBytes(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) exportFailed(fileName, file.error());
    // QSaveFile commits even when its buffered data failed to reach the disk, so
    // the data is flushed, and checked, before the commit.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        const QFileDevice::FileError error = file.error();
        file.cancelWriting();
        exportFailed(fileName, error == QFileDevice::NoError ? QFileDevice::WriteError : error);
    }
}

ConfigFileContents ParseConfigRecords(const QByteArray& bytes, const QString& fileName) {
    const int size = bytes.size();
    if (size < ConfigSize::Network) {
        damaged(fileName, QStringLiteral("it holds %1 bytes, and a configuration needs at least %2")
                              .arg(size)
                              .arg(ConfigSize::Network));
    }
    ConfigFileContents out;
    ParseNetworkConfig(bytes.left(ConfigSize::Network), out.network);
    const int rows = out.network.portCount;
    const int needed = ConfigSize::Network + ConfigSize::RowPair * rows;
    if (size < needed) {
        damaged(fileName,
                QStringLiteral("it holds %1 bytes, and a configuration of %2 rows needs %3")
                    .arg(size)
                    .arg(rows)
                    .arg(needed));
    }
    const int loraStart = ConfigSize::Network + ConfigSize::Port * rows;
    for (int i = 0; i < rows; ++i) {
        const QByteArray record =
            bytes.mid(ConfigSize::Network + ConfigSize::Port * i, ConfigSize::Port);
        PortReply port;
        if (!ParsePortConfig(record, rows, port, ListCodes::UnsetAllowed)) {
            const int row = ByteReader(record).byte(8);
            damaged(
                fileName,
                row >= rows
                    ? QStringLiteral("operation record %1 is for row %2, and the file has %3 rows")
                          .arg(i + 1)
                          .arg(row + 1)
                          .arg(rows)
                    : QStringLiteral("operation record %1 holds an unknown operation code")
                          .arg(i + 1));
        }
        out.ports.append(port);
    }
    for (int i = 0; i < rows; ++i) {
        const QByteArray record = bytes.mid(loraStart + ConfigSize::LoRa * i, ConfigSize::LoRa);
        LoRaReply lora;
        if (!ParseLoRaConfig(record, rows, lora, ListCodes::UnsetAllowed)) {
            const int row = ByteReader(record).byte(8);
            damaged(
                fileName,
                row >= rows
                    ? QStringLiteral("LoRa record %1 is for row %2, and the file has %3 rows")
                          .arg(i + 1)
                          .arg(row + 1)
                          .arg(rows)
                    : QStringLiteral("LoRa record %1 holds a value outside its list").arg(i + 1));
        }
        out.loras.append(lora);
    }
    return out;
}

ConfigFileContents ImportConfigFile(const QString& fileName) {
    return ParseConfigRecords(ReadConfigFileBytes(fileName), fileName);
}

QByteArray ReadConfigFileBytes(const QString& fileName) {
    QFile file(fileName);
    if (!file.exists()) {
        throw VarnexError(QStringLiteral("File not found: \"%1\"").arg(shown(fileName)));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw VarnexError(QStringLiteral("File access denied: \"%1\"").arg(shown(fileName)));
    }
    const auto tooLarge = [&] {
        throw VarnexError(
            QStringLiteral("The file \"%1\" is too large for a configuration (over %2 MiB)")
                .arg(shown(fileName))
                .arg(kMaxConfigFileBytes / (1024 * 1024)));
    };
    // A device or a pipe (/dev/zero, a FIFO) reports no size and may never
    // end, so the cap is kept while reading, one bounded step at a time.
    if (!file.isSequential() && file.size() > kMaxConfigFileBytes) tooLarge();
    QByteArray bytes;
    constexpr qint64 kStep = 64 * 1024;
    for (;;) {
        const QByteArray step = file.read(kStep);
        if (step.isEmpty()) break;
        if (bytes.size() + step.size() > kMaxConfigFileBytes) tooLarge();
        bytes.append(step);
    }
    if (file.error() != QFileDevice::NoError) {
        throw VarnexError(QStringLiteral("The file \"%1\" could not be read").arg(shown(fileName)));
    }
    return bytes;
}
