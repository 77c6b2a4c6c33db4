#include "fleet/Backup.h"

#include "config/ConfigFile.h"
#include "fleet/FleetText.h"
#include "link/VarnexError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kNameChars = 32;
constexpr int kMaxCounter = 1000;
constexpr qint64 kMaxBackupBytes = 1024 * 1024;

QString suffixOf(BackupFormat format) {
    return format == BackupFormat::Vxc ? QStringLiteral(".vxc") : QStringLiteral(".json");
}

// The name without its suffix; `counter` above 1 is added as "_N".
QString stem(const QString& mac, const QString& deviceName, const QDateTime& time, int counter) {
    QStringList parts{mac};
    const QString name = BackupNamePart(deviceName);
    if (!name.isEmpty()) parts << name;
    parts << time.toUTC().toString(QStringLiteral("yyyyMMddTHHmmss")) + QLatin1Char('Z');
    if (counter > 1) parts << QString::number(counter);
    return parts.join(QLatin1Char('_'));
}

[[noreturn]] void notWritten(const QString& dir, const QString& why) {
    throw VarnexError(QStringLiteral("The backup could not be written to \"%1\": %2")
                          .arg(QDir::toNativeSeparators(dir), why));
}

QString errnoText(int error) {
    return error == ENOSPC ? QStringLiteral("disk full") : QString::fromLocal8Bit(strerror(error));
}

// Gives the temporary file its name unless that name exists: 0, or errno.
int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without that rename: a hard link fails the same way on an
    // existing name, and the temporary name is removed afterwards.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    return errno;
}
}  // namespace

QString BackupNamePart(const QString& deviceName) {
    QString out;
    int kept = 0;
    for (const char32_t c : deviceName.toUcs4()) {
        if (kept == kNameChars) break;
        if (QChar::isLetter(c) || QChar::isDigit(c) || c == U'-' || c == U'_') {
            out += QString::fromUcs4(&c, 1);
            ++kept;
        }
    }
    return out;
}

QString BackupFileName(const QString& mac, const QString& deviceName, const QDateTime& time,
                       BackupFormat format) {
    const QString canonical = CanonicalMac(mac);
    if (canonical.isEmpty())
        throw VarnexError(QStringLiteral("\"%1\" is not a MAC address").arg(mac));
    if (!time.isValid()) throw VarnexError(QStringLiteral("a backup needs the time it was read"));
    return stem(canonical, deviceName, time, 1) + suffixOf(format);
}

QString WriteBackup(const QString& dir, const DeviceConfig& config, const GatewayIdentity& identity,
                    BackupFormat format) {
    const QString first = BackupFileName(identity.mac, config.network.deviceName, identity.time,
                                         format);  // checks the MAC and time
    if (!QFileInfo(dir).isDir()) notWritten(dir, QStringLiteral("there is no such folder"));
    GatewayIdentity recorded = identity;
    recorded.mac = CanonicalMac(identity.mac);
    const QByteArray bytes = format == BackupFormat::Vxc ? BuildConfigRecords(recorded.mac, config)
                                                         : ConfigJsonBytes(config, recorded);

    QTemporaryFile temp(QDir(dir).filePath(QStringLiteral(".backup-XXXXXX.part")));
    if (!temp.open()) notWritten(dir, QStringLiteral("access denied"));
    if (temp.write(bytes) != bytes.size() || !temp.flush()) {
        notWritten(dir, temp.error() == QFileDevice::ResourceError ? QStringLiteral("disk full")
                                                                   : QStringLiteral("write error"));
    }
    if (::fsync(temp.handle()) != 0) notWritten(dir, errnoText(errno));
    const QByteArray from = QFile::encodeName(temp.fileName());

    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        const QString name =
            counter == 1 ? first
                         : stem(recorded.mac, config.network.deviceName, identity.time, counter) +
                               suffixOf(format);
        const QString path = QDir(dir).filePath(name);
        const int error = renameNoReplace(from, QFile::encodeName(path));
        if (error == 0) {
            temp.setAutoRemove(false);  // it has its name now
            return path;
        }
        if (error != EEXIST) notWritten(dir, errnoText(error));
    }
    notWritten(
        dir,
        QStringLiteral("%1 backups of that gateway in the same second exist").arg(kMaxCounter));
}

NewestBackupResult NewestBackup(const QString& dir, const QString& mac) {
    NewestBackupResult out;
    const QString wanted = CanonicalMac(mac);
    QDateTime newest, newestModified;
    const QFileInfoList files = QDir(dir).entryInfoList({QStringLiteral("*.json")},
                                                        QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString name = file.fileName();
        if (file.size() > kMaxBackupBytes) {
            out.skipped << QStringLiteral("%1: larger than 1 MiB").arg(name);
            continue;
        }
        ConfigDocument doc;
        try {
            doc = LoadConfigDocument(file.filePath());
        } catch (const VarnexError& e) {
            out.skipped << QStringLiteral("%1: %2").arg(name, e.text());
            continue;
        }
        if (wanted.isEmpty() || CanonicalMac(doc.identity.mac) != wanted) continue;
        if (!doc.identity.time.isValid()) {
            out.skipped << QStringLiteral("%1: it records no time").arg(name);
            continue;
        }
        const QDateTime modified = file.lastModified();
        if (out.path.isEmpty() || doc.identity.time > newest ||
            (doc.identity.time == newest && modified > newestModified)) {
            newest = doc.identity.time;
            newestModified = modified;
            out.path = file.filePath();
            out.document = doc;
        }
    }
    return out;
}
