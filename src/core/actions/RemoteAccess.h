#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class Platform;

// A program and its arguments, started without a shell.
struct ProgramCall {
    QString program;
    QStringList arguments;
    bool isValid() const { return !program.isEmpty(); }
};

// The static ARP entry that pins a gateway's address to its MAC before the
// browser or Telnet client connects. Linux's arp takes colon-separated MACs
// only, so the list's "00-1A-..." form is converted there.
ProgramCall ArpEntryCall(const QString& ip, const QString& mac);

// "http://" + the address.
QUrl GatewayWebUrl(const QString& address);

// A Telnet client in a visible console window, for the address. On Linux this
// is a terminal emulator running telnet; an invalid call when either is missing.
ProgramCall TelnetCall(const QString& address, Platform& platform);
