// The window of the alert history: newest first, and cleared only when the user says yes.
#include "platform/messages.h"
#include "ui/alertlogwindow.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

using namespace velmora;

class TestAlertLogWindow : public QObject
{
    Q_OBJECT

private slots:
    void newestFirst();
    void clearedOnlyOnYes_data();
    void clearedOnlyOnYes();
    void cleanup() { Messages::setSinkForTests(nullptr); }
};

void TestAlertLogWindow::newestFirst()
{
    AlertLogWindow window;
    window.showRecords({{"2026-12-08 09:31:00", "600000", "浦发银行", "7.85", "涨幅达到 3%"},
                        {"2026-12-08 10:02:13", "000001", "平安银行", "10.20", "低于止损价 10.30"}});
    auto *table = window.findChild<QTableWidget *>("alertLogTable");
    QCOMPARE(table->rowCount(), 2);
    QStringList first;
    for (int column = 0; column < table->columnCount(); ++column)
        first << table->item(0, column)->text();
    QCOMPARE(first.join('|'), "2026-12-08 10:02:13|000001|平安银行|10.20|低于止损价 10.30");
    QCOMPARE(table->item(1, 1)->text(), "600000");
}

void TestAlertLogWindow::clearedOnlyOnYes_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("requested");
    QTest::newRow("yes") << true << 1;
    QTest::newRow("no") << false << 0;
}

void TestAlertLogWindow::clearedOnlyOnYes()
{
    QFETCH(bool, answer);
    QFETCH(int, requested);
    QStringList asked;
    Messages::setSinkForTests([&asked](const QString &text) { asked << text; });
    Messages::setAnswerForTests(answer);
    AlertLogWindow window;
    window.showRecords({{"2026-12-08 09:31:00", "600000", "浦发银行", "7.85", "涨幅达到 3%"}});
    QSignalSpy cleared(&window, &AlertLogWindow::clearRequested);
    window.findChild<QPushButton *>("clearAlertLog")->click();
    QCOMPARE(asked, QStringList{"清空全部预警记录？"});
    QCOMPARE(cleared.count(), requested);
}

QTEST_MAIN(TestAlertLogWindow)
#include "test_alertlogwindow.moc"
