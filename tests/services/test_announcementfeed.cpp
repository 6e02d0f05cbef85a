// The announcement feed: what its document holds for which page, that a failed load leaves it
// empty without a message, that a newer load supersedes an older one, and that images are
// fetched by us and never read from disk.
#include "demo/demoservice.h"
#include "platform/messages.h"
#include "services/announcementfeed.h"
#include "support/brokenserver.h"

#include <QBuffer>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTest>
#include <QTextDocument>

using namespace velmora;
using velmora::testing::BrokenServer;

namespace {

const QString kNotice = "公告：周五系统维护";

QByteArray gbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QByteArray png(const QColor &colour, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool hasColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff))
                return true;
        }
    }
    return false;
}

// Waits for the next completed load; false when none came or it ended otherwise than expected.
[[nodiscard]] bool loaded(QSignalSpy &spy, bool expectOk = true, int timeoutMs = 10000)
{
    if (spy.isEmpty() && !spy.wait(timeoutMs))
        return false;
    return spy.takeFirst().at(0).toBool() == expectOk;
}

QUrl pageOf(const BrokenServer &server, const char *pathAndQuery = "/gonggao.htm")
{
    return QUrl(server.baseUrl().toString() + QLatin1String(pathAndQuery));
}

} // namespace

class TestAnnouncementFeed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decoding_data();
    void decoding();
    void failedLoadLeavesDocumentEmpty_data();
    void failedLoadLeavesDocumentEmpty();
    void newerLoadSupersedesOlder();
    void imagesFetchedByUsOnly();
    void demoAnnouncementPage();

private:
    QUrl route(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path)));
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    QStringList m_messages;
};

void TestAnnouncementFeed::initTestCase()
{
    using Response = QHttpServerResponse;
    const QString para = "<p>" + kNotice + "</p>";
    m_http.route("/utf8-header.htm",
                 [para] { return Response("text/html; charset=utf-8", para.toUtf8()); });
    m_http.route("/gbk-header.htm",
                 [para] { return Response("text/html; charset=GBK", gbk(para)); });
    m_http.route("/gbk-meta.htm", [para] {
        return Response("text/html", "<html><head><meta charset=\"gbk\"></head><body>" + gbk(para));
    });
    m_http.route("/gb2312-http-equiv.htm", [para] {
        return Response("text/html",
                        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" +
                            gbk(para));
    });
    m_http.route("/gbk-unnamed.htm", [para] { return Response("text/html", gbk(para)); });
    m_http.route("/utf8-unnamed.htm", [para] { return Response("text/html", para.toUtf8()); });
    m_http.route("/header-over-meta.htm", [para] {
        return Response("text/html; charset=utf-8", "<meta charset=gbk>" + para.toUtf8());
    });
    m_http.route("/plain.txt",
                 [] { return Response("text/plain; charset=GBK", gbk("<b>" + kNotice)); });
    m_http.route("/missing.htm", [] {
        return Response("text/html", "<p>找不到页面</p>", Response::StatusCode::NotFound);
    });
    m_http.route("/picture.png", [] { return Response("image/png", png(Qt::blue, 40, 12)); });
    m_http.route("/not-an-image.png",
                 [] { return Response("image/png", "GIF89a but not really"); });
    m_http.route("/images.htm", [](const QHttpServerRequest &) {
        return Response("text/html; charset=utf-8",
                        "<p><img src=\"picture.png\"><img src=\"/not-an-image.png\" width=\"30\" "
                        "height=\"12\"><img src=\"/nowhere.png\"><img src=\"" +
                            qgetenv("VELMORA_TEST_LOCAL_IMAGE") + "\">公告</p>");
    });
    m_port = m_http.listen(QHostAddress::LocalHost, 0);
    QVERIFY(m_port != 0);
}

void TestAnnouncementFeed::init()
{
    m_messages.clear();
    Messages::setSinkForTests([this](const QString &text) { m_messages << text; });
}

void TestAnnouncementFeed::cleanup()
{
    Messages::setSinkForTests(nullptr);
}

void TestAnnouncementFeed::decoding_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 named in the header") << QByteArray("/utf8-header.htm") << kNotice;
    QTest::newRow("GBK named in the header") << QByteArray("/gbk-header.htm") << kNotice;
    QTest::newRow("GBK named only in the page's meta") << QByteArray("/gbk-meta.htm") << kNotice;
    QTest::newRow("GB2312 in an http-equiv meta")
        << QByteArray("/gb2312-http-equiv.htm") << kNotice;
    QTest::newRow("GBK named nowhere") << QByteArray("/gbk-unnamed.htm") << kNotice;
    QTest::newRow("UTF-8 named nowhere") << QByteArray("/utf8-unnamed.htm") << kNotice;
    QTest::newRow("header wins over the meta") << QByteArray("/header-over-meta.htm") << kNotice;
    QTest::newRow("plain text stays text") << QByteArray("/plain.txt") << "<b>" + kNotice;
}

void TestAnnouncementFeed::decoding()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, text);
    AnnouncementFeed feed(route(path.constData()));
    QSignalSpy done(&feed, &AnnouncementFeed::loadFinished);
    QSignalSpy page(&feed, &AnnouncementFeed::pageLoaded);
    feed.reload();
    QVERIFY(loaded(done));
    QCOMPARE(page.size(), 1);
    QCOMPARE(page.at(0).at(0).toBool(), true);
    QCOMPARE(feed.document()->toPlainText().trimmed(), text);
    QCOMPARE(feed.document()->baseUrl(), route(path.constData()));
}

void TestAnnouncementFeed::failedLoadLeavesDocumentEmpty_data()
{
    QTest::addColumn<int>("behaviour"); // -1: nobody listens, -2: the path on our page server
    QTest::addColumn<QByteArray>("path");

    using B = BrokenServer::Behaviour;
    QTest::newRow("not found") << -2 << QByteArray("/missing.htm");
    QTest::newRow("server error with a page") << int(B::ServerError) << QByteArray();
    QTest::newRow("nobody listening") << -1 << QByteArray();
    QTest::newRow("connection reset") << int(B::Reset) << QByteArray();
    QTest::newRow("hanging server") << int(B::Hang) << QByteArray();
    QTest::newRow("slow drip") << int(B::Drip) << QByteArray();
    QTest::newRow("huge body announced") << int(B::Huge) << QByteArray();
    QTest::newRow("huge body unannounced") << int(B::HugeUnannounced) << QByteArray();
    QTest::newRow("an image, not a page") << -2 << QByteArray("/picture.png");
}

void TestAnnouncementFeed::failedLoadLeavesDocumentEmpty()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, path);

    BrokenServer server;
    QUrl page;
    if (behaviour == -2) {
        page = route(path.constData());
    } else if (behaviour == -1) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        page = QUrl(QStringLiteral("http://127.0.0.1:%1/gonggao.htm").arg(closed.serverPort()));
    } else {
        QVERIFY(server.start());
        server.setDefaultBehaviour(static_cast<BrokenServer::Behaviour>(behaviour));
        server.setDripIntervalMs(50);
        page = pageOf(server);
    }

    AnnouncementFeed feed(page);
    feed.setTimeoutMs(1500);
    feed.document()->setHtml("<p>上一次的公告</p>");
    QSignalSpy done(&feed, &AnnouncementFeed::loadFinished);
    QSignalSpy pageDone(&feed, &AnnouncementFeed::pageLoaded);
    feed.reload();
    QVERIFY(loaded(done, false));
    QCOMPARE(pageDone.size(), 1);
    QCOMPARE(pageDone.at(0).at(0).toBool(), false);
    QVERIFY(feed.document()->toPlainText().isEmpty());
    QVERIFY(feed.document()->baseUrl().isEmpty());
    QTest::qWait(50);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    QCOMPARE(done.size(), 0); // one load, one completion
}

void TestAnnouncementFeed::newerLoadSupersedesOlder()
{
    BrokenServer server;
    QVERIFY(server.start());
    server.setBehaviour("/gonggao.htm", BrokenServer::Behaviour::Hold);
    server.setReply("/gonggao.htm", "最新公告");
    AnnouncementFeed feed(pageOf(server, "/gonggao.htm?v=1"));
    QSignalSpy done(&feed, &AnnouncementFeed::loadFinished);
    QSignalSpy left(&server, &BrokenServer::clientLeft);

    feed.reload();
    QTRY_COMPARE(server.requestCount(), 1);
    feed.reload(); // asked again before the first answer
    QTRY_COMPARE(server.requestCount(), 2);
    QTRY_COMPARE(left.size(), 1); // the older request was given up, not left running
    QCOMPARE(server.releaseHeld(), 1);

    QVERIFY(loaded(done));
    QCOMPARE(feed.document()->toPlainText(), "最新公告");
    QCOMPARE(server.targets(), (QList<QByteArray>{"/gonggao.htm?v=1", "/gonggao.htm?v=1"}));
    QTest::qWait(200);
    QCOMPARE(done.size(), 0);
}

void TestAnnouncementFeed::imagesFetchedByUsOnly()
{
    // A local picture the page points at must never be read from disk.
    QTemporaryDir dir;
    const QString local = dir.filePath("red.png");
    QImage red(40, 12, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(local));
    qputenv("VELMORA_TEST_LOCAL_IMAGE", local.toUtf8());

    AnnouncementFeed feed(route("/images.htm"));
    QSignalSpy done(&feed, &AnnouncementFeed::loadFinished);
    feed.reload();
    QVERIFY(loaded(done));
    qunsetenv("VELMORA_TEST_LOCAL_IMAGE");
    QTextDocument *document = feed.document();
    QCOMPARE(document->toPlainText().trimmed().right(2), "公告");

    const auto imageAt = [document](const QUrl &url) {
        return document->resource(QTextDocument::ImageResource, url).value<QImage>().size();
    };
    QCOMPARE(imageAt(route("/picture.png")), QSize(40, 12));
    // Broken and local images take a blank pixel, no broken-file icon and no file's content.
    QCOMPARE(imageAt(route("/nowhere.png")), QSize(1, 1));
    QCOMPARE(imageAt(route("/not-an-image.png")), QSize(1, 1));
    QCOMPARE(imageAt(QUrl::fromLocalFile(local)), QSize(1, 1));

    QImage shot(300, 40, QImage::Format_RGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    document->drawContents(&painter);
    painter.end();
    QVERIFY(hasColour(shot, qRgb(0, 0, 255)));  // ours, fetched over http
    QVERIFY(!hasColour(shot, qRgb(255, 0, 0))); // the local file stayed unread
}

void TestAnnouncementFeed::demoAnnouncementPage()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    AnnouncementFeed feed(QUrl(demo.baseUrl().toString() + "/gonggao.htm"));
    QSignalSpy done(&feed, &AnnouncementFeed::loadFinished);
    feed.reload();
    QVERIFY(loaded(done));
    QVERIFY(feed.document()->toPlainText().contains("演示"));
}

QTEST_MAIN(TestAnnouncementFeed)
#include "test_announcementfeed.moc"
