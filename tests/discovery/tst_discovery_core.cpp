// Address texts, the "g" reply decoder, the list's key filter and the hand-off of
// decoded replies to the UI thread.
#include "discovery/DiscoveryInbox.h"
#include "discovery/DiscoveryReply.h"
#include "discovery/IPv4Text.h"
#include "mainwindow/ColumnTextIndex.h"
#include "mainwindow/DeviceListKeys.h"

#include <QRandomGenerator>
#include <QStringListModel>
#include <QtTest>

#include <thread>

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

QByteArray padded(const QByteArray& text, int width) {
    QByteArray out = text.left(width);
    out.append(QByteArray(width - out.size(), '\0'));
    return out;
}

// A "g" reply laid out field by field, as a gateway sends it.
QByteArray reply(const QByteArray& name = "GW-1", const QByteArray& version = "1.2.0",
                 const QByteArray& model = "VX-G200", const QByteArray& tail = QByteArray()) {
    QByteArray d;
    d += '\x02';
    d += 'g';
    d += hex("001A2B3C4D5E");  // MAC
    d += hex("C0A80164");      // IP 192.168.1.100
    d += hex("C0A80101");      // gateway 192.168.1.1
    d += hex("FFFFFF00");      // mask 255.255.255.0
    d += padded(name, 32);
    d += hex("0A000002");  // VarnexView IP 10.0.0.2
    d += padded(version, 8);
    d += padded(model, 20);
    d += tail;
    d += '\x03';
    return d;
}
}  // namespace

class TestDiscoveryCore : public QObject {
    Q_OBJECT
private slots:
    void isValidIPv4_data();
    void isValidIPv4();
    void splitParts_data();
    void splitParts();
    void decodeReplyFields();
    void decodeReplyTexts_data();
    void decodeReplyTexts();
    void shortReplyIsIgnored_data();
    void shortReplyIsIgnored();
    void keyFilter_data();
    void keyFilter();
    void inboxKeepsArrivalOrderAcrossBatches_data();
    void inboxKeepsArrivalOrderAcrossBatches();
    void inboxDropsFailedReplyAndGoesOn();
    void inboxDiscard();
    void columnIndexAgreesWithScan_data();
    void columnIndexAgreesWithScan();
    void columnIndexUnderRandomChanges();
};

void TestDiscoveryCore::isValidIPv4_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "192.168.1.1" << true;
    QTest::newRow("leading zeros") << "192.168.001.010" << true;
    QTest::newRow("all zero") << "0.0.0.0" << true;
    QTest::newRow("all 255") << "255.255.255.255" << true;
    QTest::newRow("256 first") << "256.1.1.1" << false;
    QTest::newRow("256 last") << "1.1.1.256" << false;
    QTest::newRow("three parts") << "1.2.3" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("final dot") << "1.2.3.4." << false;
    QTest::newRow("empty part") << "1..2.3" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("letter part") << "1.2.3.a" << false;
    QTest::newRow("percent part") << "1.2.%.4" << false;
    QTest::newRow("quote part") << "1.2.'.4" << false;
    QTest::newRow("blank before") << " 10.0.0.1" << true;
    QTest::newRow("blanks around") << "\t10.0.0.1  " << true;
    QTest::newRow("blank for last dot") << "1.2.3 4" << true;
    QTest::newRow("blanks around dots") << "1 . 2 . 3 . 4" << true;
    QTest::newRow("hex $ part") << "$C0.168.1.1" << true;
    QTest::newRow("hex 0x part") << "0xff.0.0.1" << true;
    QTest::newRow("hex x part too big") << "x100.0.0.1" << false;
    QTest::newRow("plus sign") << "+1.2.3.4" << true;
    QTest::newRow("minus zero") << "-0.2.3.4" << true;
    QTest::newRow("negative") << "-1.2.3.4" << false;
    QTest::newRow("quoted part") << "\"1\".2.3.4" << true;
    QTest::newRow("quoted with dot inside") << "\"1.2\".3.4.5" << false;
    QTest::newRow("quoted with leading space") << "\" 7\".2.3.4" << true;
    QTest::newRow("doubled quote inside") << "\"1\"\"\".2.3.4" << false;
    QTest::newRow("dot then blank at end") << "1.2.3.4. " << true;
    QTest::newRow("two final dots") << "1.2.3.4.." << false;
    QTest::newRow("huge part") << "99999999999.1.1.1" << false;
    QTest::newRow("ends at NUL") << QStringLiteral("1.2.3.4") + QChar(0) + QStringLiteral("xyz")
                                 << true;
}

void TestDiscoveryCore::isValidIPv4() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValidIPv4(text), valid);
}

void TestDiscoveryCore::splitParts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("final dot adds one empty part")
        << "1.2.3.4." << QStringList{"1", "2", "3", "4", ""};
    QTest::newRow("dots in a row") << "1..2" << QStringList{"1", "", "2"};
    QTest::newRow("leading dot") << ".1" << QStringList{"", "1"};
    QTest::newRow("blank separates") << "1.2.3 4" << QStringList{"1", "2", "3", "4"};
    QTest::newRow("doubled quote is one quote") << "\"a\"\"b\".c" << QStringList{"a\"b", "c"};
    QTest::newRow("unclosed quote runs to end") << "\"1.2 3" << QStringList{"1.2 3"};
    QTest::newRow("quote then text") << "\"1\"2.3" << QStringList{"1", "2", "3"};
}

void TestDiscoveryCore::splitParts() {
    QFETCH(QString, text);
    QFETCH(QStringList, parts);
    QCOMPARE(SplitIPv4Parts(text), parts);
}

void TestDiscoveryCore::decodeReplyFields() {
    const auto r = DecodeDiscoveryReply(reply());
    QVERIFY(r);
    QCOMPARE(r->Mac, QStringLiteral("00-1A-2B-3C-4D-5E"));
    QCOMPARE(r->IpAddress, QStringLiteral("192.168.1.100"));
    QCOMPARE(r->Gateway, QStringLiteral("192.168.1.1"));
    QCOMPARE(r->SubnetMask, QStringLiteral("255.255.255.0"));
    QCOMPARE(r->DeviceName, QStringLiteral("GW-1"));
    QCOMPARE(r->ViewIp, QStringLiteral("10.0.0.2"));
    QCOMPARE(r->Version, QStringLiteral("1.2.0"));
    QCOMPARE(r->Model, QStringLiteral("VX-G200"));
}

void TestDiscoveryCore::decodeReplyTexts_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("model");
    const QByteArray letters32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";
    QTest::newRow("32-letter name loses its last letter")
        << reply(letters32) << QString::fromLatin1(letters32.left(31)) << "1.2.0"
        << "VX-G200";
    QTest::newRow("8-char version kept whole (the list cuts it)") << reply("n", "1.2.3456") << "n"
                                                                  << "1.2.3456"
                                                                  << "VX-G200";
    QTest::newRow("20-char model kept whole (the list cuts it)")
        << reply("n", "1", "ABCDEFGHIJKLMNOPQRST") << "n"
        << "1"
        << "ABCDEFGHIJKLMNOPQRST";
    QTest::newRow("text ends at first zero byte")
        << reply("n", QByteArray("1.0\0zz", 6), QByteArray("M\0X", 3)) << "n"
        << "1.0"
        << "M";
    QTest::newRow("empty name") << reply(QByteArray()) << ""
                                << "1.2.0"
                                << "VX-G200";
    QTest::newRow("bytes after the model are ignored")
        << reply("n", "1", "M", hex("0303AABB")) << "n"
        << "1"
        << "M";
    QTest::newRow("UTF-8 name") << reply("Hall \xc3\xa9t\xc3\xa9") << QStringLiteral("Hall été")
                                << "1.2.0"
                                << "VX-G200";
}

void TestDiscoveryCore::decodeReplyTexts() {
    QFETCH(QByteArray, datagram);
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, model);
    const auto r = DecodeDiscoveryReply(datagram);
    QVERIFY(r);
    QCOMPARE(r->DeviceName, name);
    QCOMPARE(r->Version, version);
    QCOMPARE(r->Model, model);
}

void TestDiscoveryCore::shortReplyIsIgnored_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("complete, 85 bytes") << 85 << true;
    QTest::newRow("84 bytes: ETX inside the model") << 84 << false;
    QTest::newRow("cut in the name") << 49 << false;
    QTest::newRow("letter and ETX only") << 4 << false;
}

void TestDiscoveryCore::shortReplyIsIgnored() {
    QFETCH(int, length);
    QFETCH(bool, decoded);
    QByteArray d = reply().left(length - 1);
    d += '\x03';
    QCOMPARE(DecodeDiscoveryReply(d).has_value(), decoded);
}

void TestDiscoveryCore::keyFilter_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<bool>("passes");
    QTest::newRow("letter in Model") << 0 << QChar('a') << true;
    QTest::newRow("letter in Device Name") << 3 << QChar('z') << true;
    QTest::newRow("space in Device Name") << 3 << QChar(' ') << true;
    QTest::newRow("letter in IP Address") << 4 << QChar('a') << false;
    QTest::newRow("digit in IP Address") << 4 << QChar('7') << true;
    QTest::newRow("dot in Subnet Mask") << 5 << QChar('.') << true;
    QTest::newRow("percent in Gateway") << 6 << QChar('%') << true;
    QTest::newRow("apostrophe in VarnexView IP") << 7 << QChar('\'') << true;
    QTest::newRow("backspace in IP Address") << 4 << QChar(0x08) << true;
    QTest::newRow("space on Apply") << 8 << QChar(' ') << false;
    QTest::newRow("minus in IP Address") << 4 << QChar('-') << false;
    QTest::newRow("comma in IP Address") << 4 << QChar(',') << false;
    QTest::newRow("letter in hidden column") << 11 << QChar('x') << false;
    QTest::newRow("Arabic-Indic digit") << 4 << QChar(0x0663) << false;
}

void TestDiscoveryCore::keyFilter() {
    QFETCH(int, column);
    QFETCH(QChar, key);
    QFETCH(bool, passes);
    QCOMPARE(DeviceListKeyPasses(column, key), passes);
}

void TestDiscoveryCore::inboxKeepsArrivalOrderAcrossBatches_data() {
    QTest::addColumn<bool>("batched");
    QTest::newRow("one by one") << false;
    QTest::newRow("batches") << true;
}

void TestDiscoveryCore::inboxKeepsArrivalOrderAcrossBatches() {
    DiscoveryInbox inbox;
    QFETCH(bool, batched);
    inbox.SetBudgetMs(0);  // one handler call per drain: the most interleaving
    QStringList seen;
    const int count = 2000;
    int largest = 0;
    QEventLoop loop;
    inbox.SetHandler([&](const DiscoveryReply& r) {
        seen << r.Mac;
        if (seen.size() == count) loop.quit();
    });
    if (batched) {
        inbox.SetBatchHandler([&](const QVector<DiscoveryReply>& replies) {
            largest = qMax(largest, static_cast<int>(replies.size()));
            for (const DiscoveryReply& r : replies) seen << r.Mac;
            if (seen.size() == count) loop.quit();
        });
    }
    std::thread sender([&] {
        for (int i = 0; i < count; ++i) {
            DiscoveryReply r;
            r.Mac = QString::number(i);
            inbox.Post(r);
        }
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    sender.join();
    QCOMPARE(seen.size(), count);
    for (int i = 0; i < count; ++i) QCOMPARE(seen.at(i), QString::number(i));
    QVERIFY(largest <= DiscoveryInbox::MaxBatch);
}

void TestDiscoveryCore::inboxDropsFailedReplyAndGoesOn() {
    DiscoveryInbox inbox;
    QStringList seen;
    inbox.SetHandler([&](const DiscoveryReply& r) {
        if (r.Mac == QLatin1String("bad")) throw std::runtime_error("refused");
        seen << r.Mac;
    });
    for (const char* mac : {"a", "bad", "b"}) {
        DiscoveryReply r;
        r.Mac = QString::fromLatin1(mac);
        inbox.Post(r);
    }
    QVERIFY(QTest::qWaitFor([&] { return seen.size() == 2; }, 5000));
    QCOMPARE(seen, (QStringList{"a", "b"}));
    // The inbox still takes replies after a failure.
    DiscoveryReply r;
    r.Mac = QStringLiteral("c");
    inbox.Post(r);
    QVERIFY(QTest::qWaitFor([&] { return seen.size() == 3; }, 5000));
}

void TestDiscoveryCore::inboxDiscard() {
    DiscoveryInbox inbox;
    QStringList seen;
    inbox.SetHandler([&](const DiscoveryReply& r) { seen << r.Mac; });
    DiscoveryReply r;
    r.Mac = QStringLiteral("old");
    inbox.Post(r);
    inbox.Discard();
    r.Mac = QStringLiteral("new");
    inbox.Post(r);
    QVERIFY(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 5000));
    QCoreApplication::processEvents();
    QCOMPARE(seen, QStringList{"new"});
}

namespace {
int scanFirstRow(const QStringListModel& model, const QString& text) {
    return static_cast<int>(model.stringList().indexOf(text));
}

// Applies one step ("+X" append, "=R:X" set row R, "-R" remove row R,
// "^R:X" insert X before row R, "0" reset to empty) to the model.
void apply(QStringListModel& model, const QString& step) {
    const QChar op = step.at(0);
    const QString arg = step.mid(1);
    if (op == QLatin1Char('+')) {
        const int row = model.rowCount();
        model.insertRows(row, 1);
        model.setData(model.index(row), arg);
    } else if (op == QLatin1Char('=')) {
        model.setData(model.index(arg.section(QLatin1Char(':'), 0, 0).toInt()),
                      arg.section(QLatin1Char(':'), 1));
    } else if (op == QLatin1Char('-')) {
        model.removeRows(arg.toInt(), 1);
    } else if (op == QLatin1Char('^')) {
        const int row = arg.section(QLatin1Char(':'), 0, 0).toInt();
        model.insertRows(row, 1);
        model.setData(model.index(row), arg.section(QLatin1Char(':'), 1));
    } else {
        model.setStringList({});
    }
}
}  // namespace

void TestDiscoveryCore::columnIndexAgreesWithScan_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("appended rows") << QStringList{"+a", "+b", "+c"};
    QTest::newRow("duplicate keeps first row") << QStringList{"+a", "+b", "+a"};
    QTest::newRow("text replaced") << QStringList{"+a", "+b", "=0:c"};
    QTest::newRow("first of two replaced") << QStringList{"+a", "+a", "=0:b"};
    QTest::newRow("row removed") << QStringList{"+a", "+b", "+c", "-0"};
    QTest::newRow("row inserted in front") << QStringList{"+a", "+b", "^0:c"};
    QTest::newRow("reset and refilled") << QStringList{"+a", "+b", "0", "+b"};
    QTest::newRow("empty text") << QStringList{"+a", "+", "+c"};
    QTest::newRow("earlier empty cell filled later") << QStringList{"+", "+a", "=0:a"};
}

void TestDiscoveryCore::columnIndexAgreesWithScan() {
    QFETCH(QStringList, steps);
    QStringListModel model;
    ColumnTextIndex index(&model, 0, [&](int row) { return model.index(row).data().toString(); });
    const QStringList probes{"a", "b", "c", "d", ""};
    for (const QString& step : steps) {
        apply(model, step);
        for (const QString& probe : probes) {
            QCOMPARE(index.FirstRow(probe), scanFirstRow(model, probe));
        }
    }
}

void TestDiscoveryCore::columnIndexUnderRandomChanges() {
    QStringListModel model;
    ColumnTextIndex index(&model, 0, [&](int row) { return model.index(row).data().toString(); });
    QRandomGenerator random(2058);
    for (int i = 0; i < 3000; ++i) {
        const int rows = model.rowCount();
        const QString text = QString::number(random.bounded(40));
        const int kind = random.bounded(20);
        QString step;
        if (kind < 12 || rows == 0) {
            step = QStringLiteral("+") + text;
        } else if (kind < 16) {
            step = QStringLiteral("=%1:%2").arg(random.bounded(rows)).arg(text);
        } else if (kind < 18) {
            step = QStringLiteral("-%1").arg(random.bounded(rows));
        } else if (kind < 19) {
            step = QStringLiteral("^%1:%2").arg(random.bounded(rows)).arg(text);
        } else {
            step = QStringLiteral("0");
        }
        apply(model, step);
        const QString probe = QString::number(random.bounded(40));
        QCOMPARE(index.FirstRow(probe), scanFirstRow(model, probe));
    }
}

QTEST_GUILESS_MAIN(TestDiscoveryCore)
#include "tst_discovery_core.moc"
