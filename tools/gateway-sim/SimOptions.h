#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Faults to inject, by name, each with an optional value ("--fault NAME[=VALUE]").
// Any name is accepted, so a module can define its own without touching the
// command line; the values of the common ones are checked by CheckCommonFault.
class SimFaults {
public:
    bool has(const QString& name) const { return values_.contains(name); }
    QString value(const QString& name) const { return values_.value(name); }
    // The value as a decimal integer, or `fallback` when absent or not a number.
    int intValue(const QString& name, int fallback) const;

    void set(const QString& name, const QString& value = QString()) { values_[name] = value; }
    void remove(const QString& name) { values_.remove(name); }
    const QMap<QString, QString>& all() const { return values_; }

    // "NAME" or "NAME=VALUE"; an empty name or a bad value of a common fault is
    // refused with the reason in `error`.
    bool add(const QString& text, QString& error);

private:
    QMap<QString, QString> values_;
};

// The reason a common fault's value is wrong, or an empty text. Faults it does
// not know are left to their modules and always pass.
QString CheckCommonFault(const QString& name, const QString& value);

struct SimOptions {
    int count = 3;
    // Numeric, so that consecutive MACs and addresses are a sum.
    quint64 firstMac = 0;
    quint32 firstIp = 0;
    QByteArray gateway;  // 4 bytes, the same for every gateway
    QByteArray mask;
    QByteArray viewIp;
    QStringList models;
    QStringList versions;
    QStringList names;  // "%n" stands for the gateway's number, from 1
    QList<int> ports;   // serial port count per gateway, cycled
    QList<int> lora;    // LoRa row count per gateway, cycled
    bool replyToSender = false;
    QString bind = QStringLiteral("0.0.0.0");
    quint16 port = 2058;
    QString firmwareOut;
    bool quiet = false;
    std::optional<quint32> seed;
    SimFaults faults;

    QString modelFor(int index) const { return cycled(models, index); }
    QString versionFor(int index) const { return cycled(versions, index); }
    QString nameFor(int index) const;
    int portsFor(int index) const { return cycled(ports, index); }
    int loraFor(int index) const { return cycled(lora, index); }

    template <typename List>
    static typename List::value_type cycled(const List& list, int index) {
        return list.isEmpty() ? typename List::value_type() : list.at(index % list.size());
    }
};

// The outcome of reading the command line: options, or a text to print (help or
// an error) and the exit code to leave with.
struct SimOptionsParse {
    std::optional<SimOptions> options;
    QString message;
    int exitCode = 0;
};

// `arguments` includes the program name first, as argv does.
SimOptionsParse ParseSimOptions(const QStringList& arguments);
