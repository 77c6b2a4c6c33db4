#include "actions/RemoteAccess.h"

#include "platform/Platform.h"

ProgramCall ArpEntryCall(const QString& ip, const QString& mac) {
#ifdef Q_OS_WIN
    return {QStringLiteral("arp"), {QStringLiteral("-s"), ip, mac}};
#else
    QString colonMac = mac;
    colonMac.replace(QLatin1Char('-'), QLatin1Char(':'));
    return {QStringLiteral("arp"), {QStringLiteral("-s"), ip, colonMac}};
#endif
}

QUrl GatewayWebUrl(const QString& address) {
    // Plain concatenation: the address is the gateway's own, never reinterpreted.
    return QUrl(QStringLiteral("http://") + address, QUrl::StrictMode);
}

ProgramCall TelnetCall(const QString& address, Platform& platform) {
#ifdef Q_OS_WIN
    Q_UNUSED(platform);
    return {QStringLiteral("telnet.exe"), {address}};
#else
    if (platform.FindProgram(QStringLiteral("telnet")).isEmpty()) return {};
    // Terminal emulators that run "-e program args..." with each argument kept
    // apart (Debian requires it of every x-terminal-emulator).
    static const char* const terminals[] = {"x-terminal-emulator", "xterm", "konsole"};
    for (const char* t : terminals) {
        const QString path = platform.FindProgram(QString::fromLatin1(t));
        if (path.isEmpty()) continue;
        return {path, {QStringLiteral("-e"), QStringLiteral("telnet"), address}};
    }
    const QString gnome = platform.FindProgram(QStringLiteral("gnome-terminal"));
    if (!gnome.isEmpty()) return {gnome, {QStringLiteral("--"), QStringLiteral("telnet"), address}};
    return {};
#endif
}
