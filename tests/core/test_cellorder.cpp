#include "core/cellorder.h"

#include <QTest>

using namespace velmora;

class TestCellOrder : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
};

void TestCellOrder::compare_data()
{
    QTest::addColumn<bool>("number");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order"); // -1: a first, 0: tie, 1: b first
    QTest::newRow("negative percent before positive") << true << "-3.00%" << "9.00%" << -1;
    QTest::newRow("percents by value, not by text") << true << "9.00%" << "12.00%" << -1;
    QTest::newRow("plain numbers by value") << true << "10.5" << "9.98" << 1;
    QTest::newRow("equal values tie, percent or not") << true << "10.50%" << "10.5" << 0;
    QTest::newRow("empty after a number") << true << "" << "-5" << 1;
    QTest::newRow("waiting text after a number") << true << "12.00" << "待命" << -1;
    QTest::newRow("two percent signs are no number") << true << "5%%" << "7" << 1;
    QTest::newRow("non-numbers among themselves as text") << true << "--" << "待命" << -1;
    QTest::newRow("text by bytes, not by value") << false << "10" << "9" << -1;
    QTest::newRow("ASCII before Chinese") << false << "z" << "岚溪科技" << -1;
    QTest::newRow("equal text ties") << false << "浦发" << "浦发" << 0;
}

void TestCellOrder::compare()
{
    QFETCH(bool, number);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const CellKind kind = number ? CellKind::Number : CellKind::Text;
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    QCOMPARE(sign(CompareCells(kind, a.toStdString(), b.toStdString())), order);
    QCOMPARE(sign(CompareCells(kind, b.toStdString(), a.toStdString())), -order);
}

QTEST_GUILESS_MAIN(TestCellOrder)
#include "test_cellorder.moc"
