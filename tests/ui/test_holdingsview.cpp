// The holdings as the list view and the totals line show them: the figures of the lots at the
// rows' quotes, to the cent, sorted as numbers, and hidden behind *** when the user asks.
#include "core/tradingclock.h"
#include "support/tempdir.h"
#include "ui/holdingstext.h"
#include "ui/listsortproxy.h"
#include "watchlist/watchlist.h"

#include <QDateTime>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;

class TestHoldingsView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void figuresAsShown_data();
    void figuresAsShown();
    void sortedAsNumbers();
    void totalsPerCurrencyAndHidden();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<WatchList> m_list;
    std::unique_ptr<ListSortProxy> m_proxy;
};

// 600000 with an old lot and one bought today, 000001 at a cost below one fen, 00700 in Hong
// Kong dollars, 300750 without lots; each quoted now.
void TestHoldingsView::init()
{
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    const std::string today = MarketDate(MarketClock(Market::AShare, now));
    putThree(pathOf(m_dir), {"600000\r\n000001\r\n00700\r\n300750\r\n", "\r\n\r\n\r\n\r\n",
                             "\r\n\r\n\r\n\r\n"});
    writeFile(pathOf(m_dir) / kHoldingsFileName,
              "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n600000,2026-12-01,1000,7.00\r\n600000," + today +
                  ",500,7.80\r\n000001,2026-01-05,200,0.007\r\n00700,2026-11-02,100,300\r\n");
    m_list = std::make_unique<WatchList>(pathOf(m_dir));
    QVERIFY(!m_list->load());
    const struct { const char *price, *previous; Market market; } quotes[] = {
        {"7.85", "7.73", Market::AShare}, {"10.20", "10.50", Market::AShare},
        {"380.000", "381.200", Market::HongKong}, {"200.00", "190.00", Market::AShare}};
    for (int row = 0; row < 4; ++row) {
        Quote quote;
        quote.name = "股票";
        quote.price = quotes[row].price;
        quote.previousClose = quotes[row].previous;
        quote.change = "0.00%";
        quote.market = quotes[row].market;
        QVERIFY(m_list->applyQuote(m_list->rowAt(row).id, quote, now));
    }
    m_proxy = std::make_unique<ListSortProxy>();
    m_proxy->setSourceModel(m_list.get());
    m_proxy->setShowHoldings(true);
}

void TestHoldingsView::figuresAsShown_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("cells"); // 持仓|成本价|当日盈亏|持仓盈亏
    QTest::newRow("an old lot and one of today") << 0 << "1500|7.2667|+145.00|+875.00";
    QTest::newRow("a cost below one fen") << 1 << "200|0.007|-60.00|+2038.60";
    QTest::newRow("Hong Kong dollars") << 2 << "100|300.00|-120.00|+8000.00";
    QTest::newRow("no lots: empty cells") << 3 << "|||";
}

void TestHoldingsView::figuresAsShown()
{
    QFETCH(int, row);
    QFETCH(QString, cells);
    QCOMPARE(m_proxy->columnCount(), int(WatchList::ColumnCount));
    QStringList shown;
    for (int column = WatchList::Shares; column <= WatchList::HoldingProfit; ++column)
        shown << m_proxy->index(row, column).data().toString();
    QCOMPARE(shown.join('|'), cells);
    m_proxy->setHideAmounts(true);
    for (int column = WatchList::Shares; column <= WatchList::HoldingProfit; ++column) {
        const QString hidden = m_proxy->index(row, column).data().toString();
        QCOMPARE(hidden, row == 3 ? QString() : kHiddenAmount);
        QVERIFY(m_proxy->index(row, column).data(Qt::ToolTipRole).toString().indexOf('.') < 0);
        // Nor does the colour tell a gain from a loss: the row's own colour.
        QCOMPARE(m_proxy->index(row, column).data(Qt::ForegroundRole),
                 m_proxy->index(row, WatchList::Price).data(Qt::ForegroundRole));
    }
    m_proxy->setShowHoldings(false); // no lots anywhere: the eight list columns and 走势
    QCOMPARE(m_proxy->columnCount(), int(WatchList::StopLoss) + 2);
    QCOMPARE(m_proxy->viewColumn(WatchList::Trend), int(WatchList::StopLoss) + 1);
    QCOMPARE(m_proxy->headerData(WatchList::StopLoss + 1, Qt::Horizontal).toString(), "走势");
}

void TestHoldingsView::sortedAsNumbers()
{
    auto codes = [this] {
        QStringList out;
        for (int row = 0; row < m_proxy->rowCount(); ++row)
            out << m_proxy->index(row, WatchList::Code).data().toString();
        return out.join(' ');
    };
    m_proxy->headerClicked(WatchList::HoldingProfit); // 875 before 2038.60 before 8000, none last
    QCOMPARE(codes(), "600000 000001 00700 300750");
    m_proxy->headerClicked(WatchList::HoldingProfit);
    QCOMPARE(codes(), "300750 00700 000001 600000");
    m_proxy->headerClicked(WatchList::Shares);
    QCOMPARE(codes(), "00700 000001 600000 300750"); // 100 before 200 before 1500
}

void TestHoldingsView::totalsPerCurrencyAndHidden()
{
    QCOMPARE(HoldingTotalsText(m_list->holdingTotals(), false),
             "人民币 市值 13815.00 当日盈亏 +85.00 持仓盈亏 +2913.60 · "
             "港元 市值 38000.00 当日盈亏 -120.00 持仓盈亏 +8000.00");
    QCOMPARE(HoldingTotalsText(m_list->holdingTotals(), true),
             "人民币 市值 *** 当日盈亏 *** 持仓盈亏 *** · 港元 市值 *** 当日盈亏 *** 持仓盈亏 ***");
}

QTEST_MAIN(TestHoldingsView)
#include "test_holdingsview.moc"
