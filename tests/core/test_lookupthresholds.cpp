#include "core/lookupthresholds.h"
#include "core/quotereply.h"
#include "support/localeguard.h"

#include <QTest>

#include <clocale>
#include <cstdlib>
#include <string>

using namespace velmora;

namespace {

// Marks a box the lookup must leave as it is.
const QString kKeep = QStringLiteral("<keep>");

QString shown(const std::optional<std::string> &threshold)
{
    return threshold ? QString::fromStdString(*threshold) : kKeep;
}

// A reply in the shape the service sends, with price standing in field 3.
QByteArray replyWithPrice(const char *price)
{
    return QByteArray("'x0','x1','示例股份','") + price +
           "','-1.23%','x5','x6','x7','x8','x9','x10','10.80','10.21'";
}

} // namespace

class TestLookupThresholds : public QObject
{
    Q_OBJECT

private slots:
    void readReply_data();
    void readReply();
    void readReplyUnderDecimalComma_data() { readReply_data(); }
    void readReplyUnderDecimalComma();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();

private:
    void check();
};

void TestLookupThresholds::readReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");

    const QString name = QStringLiteral("示例股份");
    // Plain prices.
    QTest::newRow("whole price") << replyWithPrice("10") << name << "10.5" << "9.5";
    QTest::newRow("two decimals") << replyWithPrice("12.34") << name << "12.96" << "11.72";
    QTest::newRow("whole results drop the point") << replyWithPrice("100") << name << "105" << "95";
    QTest::newRow("trailing zero, halfway products") << replyWithPrice("10.50") << name << "11.02"
                                               << "9.98";
    QTest::newRow("negative price") << replyWithPrice("-5") << name << "-5.25" << "-4.75";
    QTest::newRow("blanks around the price") << replyWithPrice(" 7.1 ") << name << "7.46" << "6.74";
    QTest::newRow("quotes inside the price") << replyWithPrice("1'0") << name << "10.5" << "9.5";
    // Products that lie exactly halfway between two cents go to the even one.
    QTest::newRow("halfway, even below") << replyWithPrice("2.5") << name << "2.62" << "2.38";
    QTest::newRow("halfway, even below and above") << replyWithPrice("3.3") << name << "3.46"
                                                   << "3.14";
    // Zero and values that round to it never show a sign or a point.
    QTest::newRow("zero with decimals") << replyWithPrice("0.00") << name << "0" << "0";
    QTest::newRow("tiny negative rounds to zero") << replyWithPrice("-0.001") << name << "0" << "0";
    QTest::newRow("a cent and less") << replyWithPrice("0.005") << name << "0.01" << "0";
    // Large prices: at most 15 significant digits, never an exponent.
    QTest::newRow("fifteen significant digits") << replyWithPrice("99999999999999.99") << name
                                                << "105000000000000" << "95000000000000";
    QTest::newRow("beyond fifteen digits, no exponent")
        << replyWithPrice("10000000000000000") << name << "10500000000000000"
        << "9500000000000000";
    // Prices that are there but are not numbers leave both boxes alone.
    QTest::newRow("empty price") << replyWithPrice("") << name << kKeep << kKeep;
    QTest::newRow("blank price") << replyWithPrice("  ") << name << kKeep << kKeep;
    QTest::newRow("letters") << replyWithPrice("abc") << name << kKeep << kKeep;
    QTest::newRow("lone dash") << replyWithPrice("-") << name << kKeep << kKeep;
    QTest::newRow("exponent") << replyWithPrice("1e3") << name << kKeep << kKeep;
    QTest::newRow("hexadecimal") << replyWithPrice("0x10") << name << kKeep << kKeep;
    QTest::newRow("infinity") << replyWithPrice("inf") << name << kKeep << kKeep;
    QTest::newRow("not a number") << replyWithPrice("nan") << name << kKeep << kKeep;
    QTest::newRow("number with a percent sign") << replyWithPrice("10%") << name << kKeep << kKeep;
    QTest::newRow("beyond the range of a double")
        << replyWithPrice(std::string(400, '9').c_str()) << name << kKeep << kKeep;
    // Short replies: an absent price counts as zero.
    QTest::newRow("name but no price") << QByteArray("'x0','x1','示例股份'") << name << "0" << "0";
    QTest::newRow("fewer than three fields") << QByteArray("'x0','x1'") << QString() << "0" << "0";
    QTest::newRow("failed fetch (empty reply)") << QByteArray() << QString() << "0" << "0";
    QTest::newRow("error page") << QByteArray("<html><body>404 Not Found</body></html>")
                                << QString() << "0" << "0";
    QTest::newRow("empty name, price present") << QByteArray("'x0','x1','','20'") << QString()
                                               << "21" << "19";
}

void TestLookupThresholds::check()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);

    const NameLookupResult result =
        ReadNameLookup(ParseQuoteReply(std::string_view(reply.constData(), reply.size())));
    QCOMPARE(QString::fromStdString(result.name), name);
    QCOMPARE(shown(result.takeProfit), takeProfit);
    QCOMPARE(shown(result.stopLoss), stopLoss);
}

void TestLookupThresholds::readReply()
{
    check();
}

void TestLookupThresholds::readReplyUnderDecimalComma()
{
    const testing::LocaleGuard locale("de_DE.UTF-8");
    if (!locale.active())
        QSKIP("locale de_DE.UTF-8 is not installed (the test set-up generates it)");
    // The locale really reads a comma: a locale-bound reader would take "10.5" as 10.
    QVERIFY2(std::strtod("10.5", nullptr) == 10.0,
             "de_DE.UTF-8 did not switch the decimal separator to a comma");
    check();
}

void TestLookupThresholds::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("half to even below") << 2.625 << 2.62;
    QTest::newRow("half to even above") << 2.375 << 2.38;
    QTest::newRow("negative half") << -2.625 << -2.62;
    QTest::newRow("just above half") << 2.6251 << 2.63;
    QTest::newRow("whole") << 105.0 << 105.0;
}

void TestLookupThresholds::roundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(RoundToCents(value), rounded);
}

QTEST_APPLESS_MAIN(TestLookupThresholds)
#include "test_lookupthresholds.moc"
