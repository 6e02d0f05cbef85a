// The figure of the tray icon: a change in percent cut to at most four characters, and its
// colour.
#include "core/trayfigure.h"

#include <QTest>

using namespace velmora;

class TestTrayFigure : public QObject
{
    Q_OBJECT

private slots:
    void figureOfChange_data();
    void figureOfChange();
};

void TestTrayFigure::figureOfChange_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QByteArray>("figure"); // empty: no figure
    QTest::addColumn<bool>("falling");

    QTest::newRow("rise below 10, one decimal")
        << QByteArray("1.62%") << QByteArray("+1.6") << false;
    QTest::newRow("fall below 10, one decimal")
        << QByteArray("-0.35%") << QByteArray("-0.4") << true;
    QTest::newRow("flat, no sign and red") << QByteArray("0.00%") << QByteArray("0.0") << false;
    QTest::newRow("flat written with a minus, blue")
        << QByteArray("-0.00%") << QByteArray("-0.0") << true;
    QTest::newRow("small rise keeps its plus")
        << QByteArray("0.04%") << QByteArray("+0.0") << false;
    QTest::newRow("small fall keeps its minus")
        << QByteArray("-0.04%") << QByteArray("-0.0") << true;
    QTest::newRow("half rounds up on a rise") << QByteArray("1.65%") << QByteArray("+1.7") << false;
    QTest::newRow("half rounds down on a fall")
        << QByteArray("-1.65%") << QByteArray("-1.7") << true;
    QTest::newRow("just under half rounds toward zero")
        << QByteArray("2.649%") << QByteArray("+2.6") << false;
    QTest::newRow("9.94 stays below 10") << QByteArray("9.94%") << QByteArray("+9.9") << false;
    QTest::newRow("9.95 rounds into the whole figures")
        << QByteArray("9.95%") << QByteArray("+10") << false;
    QTest::newRow("rise from 10, no decimal") << QByteArray("12.34%") << QByteArray("+12") << false;
    QTest::newRow("fall from 10, no decimal") << QByteArray("-10.02%") << QByteArray("-10") << true;
    QTest::newRow("half of a whole rounds away")
        << QByteArray("-12.5%") << QByteArray("-13") << true;
    QTest::newRow("98.49 still shown") << QByteArray("98.49%") << QByteArray("+98") << false;
    QTest::newRow("98.5 reaches the cap") << QByteArray("98.5%") << QByteArray("+99") << false;
    QTest::newRow("large rise capped") << QByteArray("1234.5%") << QByteArray("+99") << false;
    QTest::newRow("large fall capped") << QByteArray("-300%") << QByteArray("-99") << true;
    QTest::newRow("holdings percent with plus")
        << QByteArray("+0.62%") << QByteArray("+0.6") << false;
    QTest::newRow("without percent sign") << QByteArray("3.21") << QByteArray("+3.2") << false;
    QTest::newRow("blanks around") << QByteArray(" \t-2.5% ") << QByteArray("-2.5") << true;
    QTest::newRow("bare point") << QByteArray(".5%") << QByteArray("+0.5") << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
    QTest::newRow("percent sign alone") << QByteArray("%") << QByteArray() << false;
    QTest::newRow("sign alone") << QByteArray("-%") << QByteArray() << false;
    QTest::newRow("two signs") << QByteArray("+-1.2%") << QByteArray() << false;
    QTest::newRow("blank after the sign") << QByteArray("- 1.2%") << QByteArray() << false;
    QTest::newRow("blank before the percent sign") << QByteArray("1.2 %") << QByteArray() << false;
    QTest::newRow("two percent signs") << QByteArray("1.2%%") << QByteArray() << false;
    QTest::newRow("decimal comma") << QByteArray("1,2%") << QByteArray() << false;
    QTest::newRow("full-width minus") << QByteArray("－1.2%") << QByteArray() << false;
    QTest::newRow("words") << QByteArray("停牌") << QByteArray() << false;
}

void TestTrayFigure::figureOfChange()
{
    QFETCH(QByteArray, change);
    QFETCH(QByteArray, figure);
    QFETCH(bool, falling);

    const auto shown = TrayFigureForChange(change.toStdString());
    QCOMPARE(shown.has_value(), !figure.isEmpty());
    if (!shown)
        return;
    QCOMPARE(QByteArray::fromStdString(shown->text), figure);
    QCOMPARE(shown->falling, falling);
    QVERIFY(shown->text.size() <= 4);

    // A percent the holdings work out exactly gives the same figure as its text, zero aside.
    QByteArray number = change.trimmed();
    if (number.endsWith('%'))
        number.chop(1);
    const auto percent = Decimal::parse(number.toStdString());
    if (percent && !percent->isZero())
        QCOMPARE(TrayFigureForPercent(*percent), *shown);
}

QTEST_APPLESS_MAIN(TestTrayFigure)
#include "test_trayfigure.moc"
