#include "core/alertrule.h"
#include "support/localeguard.h"

#include <QTest>

using namespace velmora;
using velmora::testing::LocaleGuard;

namespace {

// "T:9.98" is a take-profit alert at 9.98, "S:10.20" a stop-loss one; alerts joined by "|".
QString describe(const std::vector<Alert> &alerts)
{
    QStringList parts;
    for (const Alert &alert : alerts) {
        parts << QString::fromLatin1(alert.kind == AlertKind::TakeProfit ? "T:" : "S:") +
                     QString::fromStdString(alert.threshold);
    }
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestAlertRule : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void ruleUnderDecimalComma_data();
    void ruleUnderDecimalComma();

private:
    void check();
};

void TestAlertRule::rule_data()
{
    QTest::addColumn<bool>("hasPrice");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");
    QTest::addColumn<QString>("expected");

    // Cases where comparing texts would give the wrong answer.
    QTest::newRow("10.05 over take-profit 9.98") << true << "10.05" << "9.98" << "" << "T:9.98";
    QTest::newRow("9.99 under stop-loss 10.45") << true << "9.99" << "" << "10.45" << "S:10.45";
    QTest::newRow("10.50 equals take-profit 10.5") << true << "10.50" << "10.5" << "" << "";
    QTest::newRow("10.5 equals take-profit 10.50") << true << "10.5" << "10.50" << "" << "";
    QTest::newRow("10.5 equals stop-loss 10.50") << true << "10.5" << "" << "10.50" << "";
    QTest::newRow("100 over take-profit 99.5") << true << "100" << "99.5" << "" << "T:99.5";

    // Strictness on both sides.
    QTest::newRow("10.81 over take-profit 10.80") << true << "10.81" << "10.80" << "" << "T:10.80";
    QTest::newRow("10.80 at take-profit 10.80") << true << "10.80" << "10.80" << "" << "";
    QTest::newRow("10.19 under stop-loss 10.20") << true << "10.19" << "" << "10.20" << "S:10.20";
    QTest::newRow("10.20 at stop-loss 10.20") << true << "10.20" << "" << "10.20" << "";
    QTest::newRow("between the two") << true << "10.50" << "11" << "10" << "";

    // Both sides tested, stop-loss second.
    QTest::newRow("both passed: stop-loss above take-profit")
        << true << "10.00" << "9.50" << "10.50" << "T:9.50|S:10.50";

    // Thresholds that set nothing.
    QTest::newRow("empty take-profit") << true << "10.00" << "" << "9" << "";
    QTest::newRow("empty stop-loss") << true << "1.00" << "9" << "" << "";
    QTest::newRow("abc take-profit") << true << "10.00" << "abc" << "" << "";
    QTest::newRow("abc stop-loss") << true << "10.00" << "" << "abc" << "";
    QTest::newRow("percent take-profit") << true << "10.00" << "现价的5%" << "" << "";
    QTest::newRow("decimal comma stop-loss") << true << "10.00" << "" << "10,50" << "";
    QTest::newRow("exponent take-profit") << true << "10.00" << "1e1" << "" << "";
    QTest::newRow("one bad side, other still counts") << true << "8" << "abc" << "9" << "S:9";
    QTest::newRow("threshold kept as written") << true << "12" << " 10.0 " << "" << "T: 10.0 ";

    // No usable latest price.
    QTest::newRow("no reply") << false << "" << "9" << "11" << "";
    QTest::newRow("empty price") << true << "" << "9" << "11" << "";
    QTest::newRow("price not a number") << true << "--" << "9" << "11" << "";
    QTest::newRow("price with decimal comma") << true << "10,50" << "9" << "11" << "";

    // A price of zero is no trade yet (before the opening auction) or a suspended stock.
    QTest::newRow("zero price under a stop-loss") << true << "0.00" << "" << "5" << "";
    QTest::newRow("plain zero, both thresholds") << true << "0" << "-1" << "5" << "";
    QTest::newRow("negative zero") << true << "-0.0" << "" << "5" << "";
    QTest::newRow("a cent is a price") << true << "0.01" << "" << "5" << "S:5";
}

void TestAlertRule::check()
{
    QFETCH(bool, hasPrice);
    QFETCH(QString, price);
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);
    QFETCH(QString, expected);

    const std::optional<std::string> latest =
        hasPrice ? std::optional<std::string>(price.toStdString()) : std::nullopt;
    QCOMPARE(describe(EvaluateAlerts(latest, takeProfit.toStdString(), stopLoss.toStdString())),
             expected);
}

void TestAlertRule::rule()
{
    check();
}

void TestAlertRule::ruleUnderDecimalComma_data()
{
    if (!LocaleGuard("de_DE.UTF-8").active())
        QSKIP("locale de_DE.UTF-8 is not installed here; generate it (locales package) to run "
              "the comparison under a decimal comma");
    rule_data();
}

void TestAlertRule::ruleUnderDecimalComma()
{
    LocaleGuard locale("de_DE.UTF-8");
    QVERIFY(locale.active());
    check();
}

QTEST_GUILESS_MAIN(TestAlertRule)
#include "test_alertrule.moc"
