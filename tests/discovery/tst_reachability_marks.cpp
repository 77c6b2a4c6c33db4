// The device list's reachability marks as the operator (and a screen reader)
// meets them, with this PC's routes answered from a table: no network is used.
#include "DiscoveryTestData.h"
#include "discovery/DiscoveryInbox.h"
#include "discovery/DiscoveryReply.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QAccessible>
#include <QLabel>
#include <QtTest>

namespace {
// "01 10.0.0.7; 02 192.0.2.7": the replies of one Search on interface 1, in arrival order.
QVector<DiscoveryReply> repliesOf(const QString& text) {
    QVector<DiscoveryReply> out;
    for (const QString& r : text.split(QLatin1Char(';'))) {
        DiscoveryReply reply;
        reply.Mac =
            QStringLiteral("00-1A-2B-00-00-") + r.section(' ', 0, 0, QString::SectionSkipEmpty);
        reply.IpAddress = r.section(' ', 1, 1, QString::SectionSkipEmpty);
        reply.SubnetMask = QStringLiteral("255.255.255.0");
        reply.InterfaceIndex = 1;
        out << reply;
    }
    return out;
}

// The replies as the window's receiving thread hands them over, listed at once.
void receive(TFormDetect& form, const QVector<DiscoveryReply>& replies) {
    for (const DiscoveryReply& r : replies) form.UDPServerUDPRead(DatagramOf(r), r.InterfaceIndex);
    form.DiscoveryReplies->DrainAll();
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
    fake.routes =
        FakeRoutes(QStringLiteral("plant=10.0.0.5/24"), QStringLiteral("10.0.0.0/24 plant"));
    TFormDetect form(fake.services);
    // Marks of an earlier list go with it.
    receive(form, repliesOf(QStringLiteral("09 192.0.2.9")));
    form.JudgeReachability();
    form.ClearDeviceList();
    QVERIFY(form.lblreach->text().isEmpty());

    receive(form, repliesOf(replies));
    const QString count = form.lblcount->text();
    QVERIFY(cellData(form, 0, 0, Qt::DecorationRole).isNull());  // not judged while searching
    if (byCountdown) {
        form.CountdownSeconds = 1;
        form.TimerFINDTimer();
    } else {
        form.FlatButton6Click();
    }
    QCOMPARE(form.lblreach->text(), status);
    QCOMPARE(form.lblcount->text(), count);
    for (int row = 0; row < form.RGrid->RowCount(); ++row) {
        const QString hint = cellData(form, row, 0, Qt::ToolTipRole).toString();
        QCOMPARE(!cellData(form, row, 0, Qt::DecorationRole).isNull(), marked.contains(row));
        QCOMPARE(hint.isEmpty(), !marked.contains(row));
        QCOMPARE(cellData(form, row, 0, Qt::AccessibleDescriptionRole).toString(), hint);
        // The first cell alone carries the mark.
        QVERIFY(cellData(form, row, 1, Qt::DecorationRole).isNull());
        QVERIFY(cellData(form, row, 1, Qt::ToolTipRole).isNull());
    }
    QVERIFY(fake.prompts.errors.isEmpty());
}

void TestReachabilityMarks::screenReaderReadsTheReason() {
    FakeServices fake;
    fake.routes =
        FakeRoutes(QStringLiteral("plant=10.0.0.5/24"), QStringLiteral("10.0.0.0/24 plant"));
    TFormDetect form(fake.services);
    form.show();
    receive(form, repliesOf(QStringLiteral("01 10.0.0.7; 02 192.0.2.7")));
    form.JudgeReachability();

    QAccessibleTableInterface* list =
        QAccessible::queryAccessibleInterface(form.RGrid)->tableInterface();
    QVERIFY(list);
    QVERIFY(list->cellAt(1, 0)
                ->text(QAccessible::Description)
                .startsWith(QStringLiteral("192.0.2.7 is outside plant's network 10.0.0.0/24")));
    QVERIFY(list->cellAt(0, 0)->text(QAccessible::Description).isEmpty());
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form.lblreach);
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("1 gateway may not be reachable"));
    QCOMPARE(status->text(QAccessible::Description),
             QStringLiteral("Gateways that may not be reachable"));
    // Below the list, beside the count, and wide enough for the longest count.
    const QRect place = form.lblreach->geometry();
    QVERIFY(form.rect().contains(place) && !place.intersects(form.FlatPanel2->geometry()) &&
            !place.intersects(form.lblcount->geometry()));
    QVERIFY(form.lblreach->fontMetrics().horizontalAdvance(
                QStringLiteral("100000 gateways may not be reachable")) < place.width());
}

QTEST_MAIN(TestReachabilityMarks)
#include "tst_reachability_marks.moc"
