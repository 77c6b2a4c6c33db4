// The device list's reachability marks as the operator (and a screen reader)
// meets them, with this PC's routes answered from a table: no network is used.
#include "discovery/DiscoveryReply.h"
#include "mainwindow/ReachabilityMarks.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QAccessible>
#include <QLabel>
#include <QtTest>

namespace {
// The PC: 10.0.0.5/24 on "plant" (interface 1), no other route.
FakeRoutes plantOnly() {
    return FakeRoutes(QStringLiteral("plant=10.0.0.5/24"), QStringLiteral("10.0.0.0/24 plant"));
}

DiscoveryReply reply(const QString& macEnd, const QString& ip) {
    DiscoveryReply r;
    r.Model = QStringLiteral("VX-G200");
    r.Mac = QStringLiteral("00-1A-2B-00-00-") + macEnd;
    r.Version = QStringLiteral("1.0.3");
    r.DeviceName = QStringLiteral("GW");
    r.IpAddress = ip;
    r.SubnetMask = QStringLiteral("255.255.255.0");
    r.Gateway = QStringLiteral("10.0.0.1");
    r.ViewIp = QStringLiteral("0.0.0.0");
    r.InterfaceIndex = 1;
    return r;
}

// "01 10.0.0.7; 02 192.0.2.7": the replies of one Search, in arrival order.
QVector<DiscoveryReply> repliesOf(const QString& text) {
    QVector<DiscoveryReply> out;
    for (const QString& r : text.split(QLatin1Char(';'))) {
        const QStringList f = r.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        out << reply(f.value(0), f.value(1));
    }
    return out;
}

QVariant cellData(TFormDetect& form, int row, int col, int role) {
    return form.RGrid->model()->index(row, col).data(role);
}
}  // namespace

class TestReachabilityMarks : public QObject {
    Q_OBJECT
private slots:
    void marksWhenTheSearchEnds_data();
    void marksWhenTheSearchEnds();
    void screenReaderReadsTheReason();
    void emptyingTheListDropsTheMarks();
    void statusFitsBelowTheList();
};

void TestReachabilityMarks::marksWhenTheSearchEnds_data() {
    QTest::addColumn<QString>("replies");
    QTest::addColumn<bool>("byCountdown");  // else by Stop
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<QString>("status");
    QTest::newRow("all reachable")
        << "01 10.0.0.7; 02 10.0.0.8" << false << QList<int>{} << QString();
    QTest::newRow("one outside the link's network, Stop")
        << "01 10.0.0.7; 02 192.0.2.7" << false << QList<int>{1}
        << "1 gateway may not be reachable";
    QTest::newRow("one outside the link's network, countdown")
        << "01 10.0.0.7; 02 192.0.2.7" << true << QList<int>{1} << "1 gateway may not be reachable";
    QTest::newRow("two with one address") << "01 10.0.0.7; 02 10.0.0.7; 03 10.0.0.9" << false
                                          << QList<int>{0, 1} << "2 gateways may not be reachable";
    QTest::newRow("one MAC from two addresses: one row, marked")
        << "01 10.0.0.7; 01 10.0.0.8; 02 10.0.0.9" << true << QList<int>{0}
        << "1 gateway may not be reachable";
}

void TestReachabilityMarks::marksWhenTheSearchEnds() {
    QFETCH(QString, replies);
    QFETCH(bool, byCountdown);
    QFETCH(QList<int>, marked);
    QFETCH(QString, status);
    FakeServices fake;
    fake.routes = plantOnly();
    TFormDetect form(fake.services);
    form.AddDevices(repliesOf(replies));
    const QString count = form.lblcount->text();
    // Nothing is judged while the Search runs.
    QVERIFY(cellData(form, 1, 0, Qt::DecorationRole).isNull());
    if (byCountdown) {
        form.CountdownSeconds = 1;
        form.TimerFINDTimer();
    } else {
        form.FlatButton6Click();
    }
    QCOMPARE(form.lblreach->text(), status);
    QCOMPARE(form.lblcount->text(), count);
    for (int row = 0; row < form.RGrid->RowCount(); ++row) {
        const bool mark = marked.contains(row);
        QCOMPARE(!cellData(form, row, 0, Qt::DecorationRole).isNull(), mark);
        const QString hint = cellData(form, row, 0, Qt::ToolTipRole).toString();
        QCOMPARE(hint.isEmpty(), !mark);
        QCOMPARE(cellData(form, row, 0, Qt::AccessibleDescriptionRole).toString(), hint);
        if (mark) QCOMPARE(hint, form.Reachability->Marked(row)->reasons.join('\n'));
        // The first cell alone carries the mark.
        for (int col = 1; col < form.RGrid->ColumnCount(); ++col) {
            QVERIFY(cellData(form, row, col, Qt::DecorationRole).isNull());
            QVERIFY(cellData(form, row, col, Qt::ToolTipRole).isNull());
        }
    }
    QVERIFY(fake.prompts.errors.isEmpty());
}

void TestReachabilityMarks::screenReaderReadsTheReason() {
    FakeServices fake;
    fake.routes = plantOnly();
    TFormDetect form(fake.services);
    form.show();
    form.AddDevices(repliesOf(QStringLiteral("01 10.0.0.7; 02 192.0.2.7")));
    form.JudgeReachability();

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form.RGrid);
    QVERIFY(list && list->tableInterface());
    QAccessibleInterface* cell = list->tableInterface()->cellAt(1, 0);
    QVERIFY(cell);
    QVERIFY2(cell->text(QAccessible::Description)
                 .startsWith(QStringLiteral("192.0.2.7 is outside plant's network 10.0.0.0/24")),
             qPrintable(cell->text(QAccessible::Description)));
    QVERIFY(list->tableInterface()->cellAt(0, 0)->text(QAccessible::Description).isEmpty());

    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form.lblreach);
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("1 gateway may not be reachable"));
    QCOMPARE(status->text(QAccessible::Description),
             QStringLiteral("Gateways that may not be reachable"));
}

void TestReachabilityMarks::emptyingTheListDropsTheMarks() {
    FakeServices fake;
    fake.routes = plantOnly();
    TFormDetect form(fake.services);
    form.AddDevices(repliesOf(QStringLiteral("01 192.0.2.7; 01 192.0.2.8")));
    form.JudgeReachability();
    QCOMPARE(form.Reachability->MarkedCount(), 1);

    // A new Search empties the list: the marks and the addresses heard go with it.
    form.ClearDeviceList();
    QVERIFY(form.lblreach->text().isEmpty());
    form.AddDevices(repliesOf(QStringLiteral("01 10.0.0.7")));
    QVERIFY(cellData(form, 0, 0, Qt::DecorationRole).isNull());
    form.JudgeReachability();
    QCOMPARE(form.Reachability->MarkedCount(), 0);
    QVERIFY(cellData(form, 0, 0, Qt::DecorationRole).isNull());
}

void TestReachabilityMarks::statusFitsBelowTheList() {
    FakeServices fake;
    TFormDetect form(fake.services);
    const QRect status = form.lblreach->geometry();
    QVERIFY(form.rect().contains(status));
    QVERIFY(!status.intersects(form.FlatPanel2->geometry()));
    QVERIFY(!status.intersects(form.lblcount->geometry()));
    // The longest count a flood can bring is not cut off.
    const QString longest = QStringLiteral("100000 gateways may not be reachable");
    QVERIFY(form.lblreach->fontMetrics().horizontalAdvance(longest) < status.width());
}

QTEST_MAIN(TestReachabilityMarks)
#include "tst_reachability_marks.moc"
