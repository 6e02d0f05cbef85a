// The public intraday chart image: the feed fetches the right picture, again on every tick,
// not after stop(), and says why in Chinese when there is no picture; the window shows it.
#include "core/chartaddress.h"
#include "services/chartimagefeed.h"
#include "ui/chartimagewindow.h"

#include <QHttpServer>
#include <QHttpServerResponse>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace velmora;

namespace {

// A white 1 x 1 GIF: Qt reads GIFs but cannot write one.
const QByteArray kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
                      "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                      35);

} // namespace

class TestChartImage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fetchesAgainUntilStopped();
    void failures_data();
    void failures();
    void newerShowSupersedes();
    void windowShowsImageAndStatus();

private:
    QUrl base() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port)); }

    QHttpServer m_http;
    quint16 m_port = 0;
    int m_gifRequests = 0;
};

void TestChartImage::initTestCase()
{
    m_http.route("/newchart/min/n/sh600519.gif", [this] {
        ++m_gifRequests;
        return QHttpServerResponse("image/gif", kGif);
    });
    m_http.route("/newchart/min/n/sz000001.gif",
                 [] { return QHttpServerResponse("image/gif", "<html>busy</html>"); });
    m_port = m_http.listen(QHostAddress::LocalHost, 0);
    QVERIFY(m_port != 0);
}

void TestChartImage::fetchesAgainUntilStopped()
{
    ChartImageFeed feed(base());
    QCOMPARE(feed.timer()->objectName(), "chartImageTimer");
    QCOMPARE(feed.timer()->interval(), 60000);
    QSignalSpy images(&feed, &ChartImageFeed::imageReady);
    QSignalSpy failed(&feed, &ChartImageFeed::failed);
    m_gifRequests = 0;
    feed.show("sh600519");
    QCOMPARE(feed.symbol(), "sh600519");
    QVERIFY(images.wait());
    QCOMPARE(m_gifRequests, 1);
    const auto image = images.at(0).at(0).value<QImage>();
    QCOMPARE(image.size(), QSize(1, 1));
    QCOMPARE(image.pixel(0, 0) & 0xffffff, 0xffffffu);

    feed.timer()->setInterval(50);
    QVERIFY(images.wait());
    QCOMPARE(m_gifRequests, 2);
    feed.stop();
    QVERIFY(!feed.timer()->isActive());
    QTest::qWait(300);
    QCOMPARE(images.size(), 2);
    QCOMPARE(failed.size(), 0);
}

void TestChartImage::failures_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("why");
    QTest::newRow("not found") << "sh600000"
                               << "无法获取分时图：服务器回复状态 404";
    QTest::newRow("not an image") << "sz000001"
                                  << "无法获取分时图：回复不是可以显示的图片";
    QTest::newRow("no symbol") << "../x"
                               << "无法获取分时图：../x 不是行情代码";
}

void TestChartImage::failures()
{
    QFETCH(QString, symbol);
    QFETCH(QString, why);
    ChartImageFeed feed(base());
    QSignalSpy images(&feed, &ChartImageFeed::imageReady);
    QSignalSpy failed(&feed, &ChartImageFeed::failed);
    feed.show(symbol.toStdString());
    QVERIFY(!failed.isEmpty() || failed.wait());
    QCOMPARE(failed.at(0).at(0).toString(), why);
    QCOMPARE(images.size(), 0);
}

void TestChartImage::newerShowSupersedes()
{
    ChartImageFeed feed(base());
    QSignalSpy images(&feed, &ChartImageFeed::imageReady);
    QSignalSpy failed(&feed, &ChartImageFeed::failed);
    feed.show("sz000001");
    feed.show("sh600519");
    QVERIFY(images.wait());
    QTest::qWait(100);
    QCOMPARE(images.size(), 1);
    QCOMPARE(failed.size(), 0);
}

void TestChartImage::windowShowsImageAndStatus()
{
    ChartImageWindow window("www.tesquin.example");
    QCOMPARE(window.objectName(), "chartImageWindow");
    QCOMPARE(window.windowTitle(),
             QString::fromStdString(ChartViewerCaption("www.tesquin.example")));
    QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
    auto *image = window.findChild<QLabel *>("chartImage");
    auto *status = window.findChild<QLabel *>("chartStatus");
    QVERIFY(image && status);

    QImage chart(600, 320, QImage::Format_RGB32);
    chart.fill(Qt::white);
    window.show();
    window.showImage("sh600519", chart);
    QCOMPARE(image->pixmap().size(), QSize(600, 320));
    QVERIFY(window.width() >= 600 && window.height() > 320);
    QVERIFY(status->text().startsWith("sh600519 · 更新于 "));

    window.showFailure("sh600519", "无法获取分时图：服务器回复状态 404");
    QCOMPARE(status->text(), "sh600519 · 无法获取分时图：服务器回复状态 404");
    QVERIFY(!image->pixmap().isNull()); // the same stock's last chart stays
    window.showFailure("sz000001", "无法获取分时图：服务器回复状态 404");
    QVERIFY(image->pixmap().isNull());

    QSignalSpy closed(&window, &ChartImageWindow::closed);
    window.close();
    QCOMPARE(closed.size(), 1);
}

QTEST_MAIN(TestChartImage)
#include "test_chartimage.moc"
