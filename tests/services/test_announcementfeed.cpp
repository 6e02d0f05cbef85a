// The announcement strip WebBrowser1: what it shows for which page, that its scroll bars stay
// off after every load, that a list click reloads it, that a failed load leaves it empty
// without a message, and that links and images go through us.
#include "demo/demoservice.h"
#include "watchlist/watchlist.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "support/brokenserver.h"
#include "services/announcementfeed.h"

#include <QBuffer>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

using namespace velmora;
using velmora::testing::BrokenServer;

namespace {

const QString kNotice = QStringLiteral("公告：周五系统维护");

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

// A list and a strip as the main window places them, shown, with the strip attached.
struct Window
{
    QWidget top;
    WatchListModel model;
    QTreeView *list = new QTreeView(&top);
    QTextBrowser *strip = new QTextBrowser(&top);
    std::unique_ptr<AnnouncementStrip> feeder;

    explicit Window(const QUrl &page)
    {
        model.appendLoaded(WatchEntry{"600000", "10", "9"});
        model.appendLoaded(WatchEntry{"000001", "10", "9"});
        list->setModel(&model);
        list->setGeometry(0, 0, 449, 225);
        strip->setObjectName(QStringLiteral("WebBrowser1"));
        strip->setGeometry(0, 208, 449, 41);
        top.resize(452, 249);
        top.show();
        feeder = std::make_unique<AnnouncementStrip>(strip, list, page);
    }

    void spoilScrollBars()
    {
        strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

    bool scrollBarsOff() const
    {
        return strip->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
               strip->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
               !strip->verticalScrollBar()->isVisible() &&
               !strip->horizontalScrollBar()->isVisible();
    }
};

// Waits for the next completed load; false when none came.
bool loaded(QSignalSpy &spy, bool expectOk = true, int timeoutMs = 10000)
{
    if (spy.isEmpty() && !spy.wait(timeoutMs))
        return false;
    const bool ok = spy.takeFirst().at(0).toBool();
    return ok == expectOk;
}

} // namespace

class TestAnnouncementStrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void decoding_data();
    void decoding();
    void scrollBarsOffAfterLoadAndReload();
    void everyListClickReloads_data();
    void everyListClickReloads();
    void failedLoadLeavesStripEmpty_data();
    void failedLoadLeavesStripEmpty();
    void newerLoadSupersedesOlder();
    void imagesFetchedByUsOnly();
    void linksOpenInUserBrowser_data();
    void linksOpenInUserBrowser();
    void clickedLinkKeepsPage();
    void demoAnnouncementPage();

private:
    QUrl route(const char *path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path)));
    }

    QHttpServer m_http;
    quint16 m_port = 0;
    QStringList m_messages;
    QList<QUrl> m_opened;
};

void TestAnnouncementStrip::initTestCase()
{
    using Response = QHttpServerResponse;
    const QString para = QStringLiteral("<p>") + kNotice + QStringLiteral("</p>");
    m_http.route(QStringLiteral("/utf8-header.htm"), [para] {
        return Response("text/html; charset=utf-8", para.toUtf8());
    });
    m_http.route(QStringLiteral("/gbk-header.htm"), [para] {
        return Response("text/html; charset=GBK", gbk(para));
    });
    m_http.route(QStringLiteral("/gbk-meta.htm"), [para] {
        return Response("text/html", "<html><head><meta charset=\"gbk\"></head><body>" + gbk(para));
    });
    m_http.route(QStringLiteral("/gb2312-http-equiv.htm"), [para] {
        return Response("text/html",
                        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" +
                            gbk(para));
    });
    m_http.route(QStringLiteral("/gbk-unnamed.htm"), [para] {
        return Response("text/html", gbk(para));
    });
    m_http.route(QStringLiteral("/utf8-unnamed.htm"), [para] {
        return Response("text/html", para.toUtf8());
    });
    m_http.route(QStringLiteral("/header-over-meta.htm"), [para] {
        return Response("text/html; charset=utf-8", "<meta charset=gbk>" + para.toUtf8());
    });
    m_http.route(QStringLiteral("/plain.txt"), [] {
        return Response("text/plain; charset=GBK", gbk(QStringLiteral("<b>") + kNotice));
    });
    m_http.route(QStringLiteral("/long.htm"), [para] {
        QByteArray body;
        for (int i = 0; i < 60; ++i)
            body += para.toUtf8() + "<p>" + QByteArray(300, 'x') + "</p>";
        return Response("text/html; charset=utf-8", body);
    });
    m_http.route(QStringLiteral("/missing.htm"), [] {
        return Response("text/html", "<p>找不到页面</p>", Response::StatusCode::NotFound);
    });
    m_http.route(QStringLiteral("/picture.png"), [] {
        return Response("image/png", png(Qt::blue, 40, 12));
    });
    m_http.route(QStringLiteral("/not-an-image.png"), [] {
        return Response("image/png", "GIF89a but not really");
    });
    m_http.route(QStringLiteral("/images.htm"), [](const QHttpServerRequest &) {
        return Response("text/html; charset=utf-8",
                        "<p><img src=\"picture.png\"><img src=\"/not-an-image.png\" width=\"30\" "
                        "height=\"12\"><img src=\"/nowhere.png\"><img src=\"" +
                            qgetenv("VELMORA_TEST_LOCAL_IMAGE") + "\">公告</p>");
    });
    m_http.route(QStringLiteral("/links.htm"), [] {
        return Response("text/html; charset=utf-8",
                        "<p><a href=\"news/1.htm\">第一条公告</a> 与其他</p>");
    });
    m_port = m_http.listen(QHostAddress::LocalHost, 0);
    QVERIFY(m_port != 0);
}

void TestAnnouncementStrip::init()
{
    m_messages.clear();
    m_opened.clear();
    Messages::setSinkForTests([this](const QString &text) { m_messages << text; });
    SetOpenUrlHookForTests([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestAnnouncementStrip::cleanup()
{
    Messages::setSinkForTests(nullptr);
    SetOpenUrlHookForTests(nullptr);
}

void TestAnnouncementStrip::decoding_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("UTF-8 named in the header") << QByteArray("/utf8-header.htm");
    QTest::newRow("GBK named in the header") << QByteArray("/gbk-header.htm");
    QTest::newRow("GBK named only in the page's meta") << QByteArray("/gbk-meta.htm");
    QTest::newRow("GB2312 in an http-equiv meta") << QByteArray("/gb2312-http-equiv.htm");
    QTest::newRow("GBK named nowhere") << QByteArray("/gbk-unnamed.htm");
    QTest::newRow("UTF-8 named nowhere") << QByteArray("/utf8-unnamed.htm");
    QTest::newRow("header wins over the meta") << QByteArray("/header-over-meta.htm");
}

void TestAnnouncementStrip::decoding()
{
    QFETCH(QByteArray, path);
    Window window(route(path.constData()));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done));
    QCOMPARE(window.strip->toPlainText().trimmed(), kNotice);
}

void TestAnnouncementStrip::scrollBarsOffAfterLoadAndReload()
{
    Window window(route("/long.htm"));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.spoilScrollBars();
    window.feeder->navigate();
    QVERIFY(loaded(done));
    QVERIFY(window.strip->toPlainText().startsWith(kNotice)); // a page that would need them
    QVERIFY(window.scrollBarsOff());

    window.spoilScrollBars();
    QVERIFY(!window.scrollBarsOff());
    QTest::mouseClick(window.list->viewport(), Qt::LeftButton, {},
                      window.list->visualRect(window.model.index(0, 0)).center());
    QVERIFY(loaded(done));
    QVERIFY(window.scrollBarsOff());

    // A plain-text page and a failed load end the same way.
    Window plain(route("/plain.txt"));
    QSignalSpy plainDone(plain.feeder.get(), &AnnouncementStrip::documentComplete);
    plain.spoilScrollBars();
    plain.feeder->navigate();
    QVERIFY(loaded(plainDone));
    QCOMPARE(plain.strip->toPlainText(), QStringLiteral("<b>") + kNotice);
    QVERIFY(plain.scrollBarsOff());

    Window failed(route("/missing.htm"));
    QSignalSpy failedDone(failed.feeder.get(), &AnnouncementStrip::documentComplete);
    failed.spoilScrollBars();
    failed.feeder->navigate();
    QVERIFY(loaded(failedDone, false));
    QVERIFY(failed.scrollBarsOff());
}

void TestAnnouncementStrip::everyListClickReloads_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("loads");

    QTest::newRow("left click on a row") << QStringLiteral("row") << 1;
    QTest::newRow("left click on the empty space below the rows") << QStringLiteral("empty") << 1;
    QTest::newRow("two clicks, two loads") << QStringLiteral("twice") << 2;
    QTest::newRow("double click is one click") << QStringLiteral("double") << 1;
    QTest::newRow("right click is no click") << QStringLiteral("right") << 0;
    QTest::newRow("release without a press on the list") << QStringLiteral("release") << 0;
}

void TestAnnouncementStrip::everyListClickReloads()
{
    QFETCH(QString, gesture);
    QFETCH(int, loads);

    BrokenServer server;
    QVERIFY(server.start());
    Window window(QUrl(server.baseUrl().toString() + QStringLiteral("/gonggao.htm?v=1")));
    QWidget *viewport = window.list->viewport();
    const QPoint onRow = window.list->visualRect(window.model.index(1, 0)).center();
    const QPoint empty(20, viewport->height() - 5);
    QVERIFY(!window.list->indexAt(empty).isValid());

    if (gesture == QLatin1String("row")) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, onRow);
    } else if (gesture == QLatin1String("empty")) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
    } else if (gesture == QLatin1String("twice")) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, onRow);
        QTRY_COMPARE(server.requestCount(), 1);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
    } else if (gesture == QLatin1String("double")) {
        // As the window system delivers it: the second press comes with a double-click event.
        QTest::mousePress(viewport, Qt::LeftButton, {}, onRow);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, onRow);
        QTest::mousePress(viewport, Qt::LeftButton, {}, onRow);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, onRow);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, onRow);
    } else if (gesture == QLatin1String("right")) {
        QTest::mouseClick(viewport, Qt::RightButton, {}, onRow);
    } else if (gesture == QLatin1String("release")) {
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, onRow);
    }
    QTest::qWait(300);
    QTRY_COMPARE(server.requestCount(), loads);
    for (const QByteArray &target : server.targets())
        QCOMPARE(target, QByteArray("/gonggao.htm?v=1"));
}

void TestAnnouncementStrip::failedLoadLeavesStripEmpty_data()
{
    QTest::addColumn<int>("behaviour"); // -1: nobody listens
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

void TestAnnouncementStrip::failedLoadLeavesStripEmpty()
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
        page = QUrl(server.baseUrl().toString() + QStringLiteral("/gonggao.htm"));
    }

    Window window(page);
    window.feeder->setTimeoutMs(1500);
    window.strip->setHtml(QStringLiteral("<p>上一次的公告</p>"));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done, false));
    QVERIFY(window.strip->toPlainText().isEmpty());
    QVERIFY(window.scrollBarsOff());
    QTest::qWait(50);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(QLatin1Char('\n'))));
    QCOMPARE(done.size(), 0); // one load, one completion
}

void TestAnnouncementStrip::newerLoadSupersedesOlder()
{
    BrokenServer server;
    QVERIFY(server.start());
    server.setBehaviour("/gonggao.htm", BrokenServer::Behaviour::Hold);
    server.setReply("/gonggao.htm", "最新公告");
    Window window(QUrl(server.baseUrl().toString() + QStringLiteral("/gonggao.htm?v=1")));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    QSignalSpy left(&server, &BrokenServer::clientLeft);

    window.feeder->navigate();
    QTRY_COMPARE(server.requestCount(), 1);
    window.feeder->navigate(); // the click that comes before the first answer
    QTRY_COMPARE(server.requestCount(), 2);
    QTRY_COMPARE(left.size(), 1); // the older request was given up, not left running
    QCOMPARE(server.releaseHeld(), 1);

    QVERIFY(loaded(done));
    QCOMPARE(window.strip->toPlainText(), QStringLiteral("最新公告"));
    QTest::qWait(200);
    QCOMPARE(done.size(), 0);
}

void TestAnnouncementStrip::imagesFetchedByUsOnly()
{
    // A local picture the page points at must never be read from disk.
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("red.png"));
    QImage red(40, 12, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(local));
    qputenv("VELMORA_TEST_LOCAL_IMAGE", local.toUtf8());

    Window window(route("/images.htm"));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done));
    qunsetenv("VELMORA_TEST_LOCAL_IMAGE");
    QCOMPARE(window.strip->toPlainText().trimmed().right(2), QStringLiteral("公告"));

    const QVariant picture =
        window.strip->document()->resource(QTextDocument::ImageResource, route("/picture.png"));
    QCOMPARE(picture.value<QImage>().size(), QSize(40, 12));
    const QImage shot = window.strip->viewport()->grab().toImage();
    QVERIFY(hasColour(shot, qRgb(0, 0, 255)));  // ours, fetched over http
    QVERIFY(!hasColour(shot, qRgb(255, 0, 0))); // the local file stayed unread
    // Broken images take no broken-file icon: nothing but white, blue and text is drawn.
    const QVariant broken =
        window.strip->document()->resource(QTextDocument::ImageResource, route("/nowhere.png"));
    QCOMPARE(broken.value<QImage>().size(), QSize(1, 1));
}

void TestAnnouncementStrip::linksOpenInUserBrowser_data()
{
    QTest::addColumn<QUrl>("link");
    QTest::addColumn<QList<QUrl>>("opened");

    QTest::newRow("relative link resolved against the page")
        << QUrl(QStringLiteral("news/1.htm")) << QList<QUrl>{route("/news/1.htm")};
    QTest::newRow("absolute http link")
        << QUrl(QStringLiteral("http://other.example/a?b=1"))
        << QList<QUrl>{QUrl(QStringLiteral("http://other.example/a?b=1"))};
    QTest::newRow("https link") << QUrl(QStringLiteral("https://other.example/"))
                                << QList<QUrl>{QUrl(QStringLiteral("https://other.example/"))};
    QTest::newRow("local file is not opened")
        << QUrl(QStringLiteral("file:///etc/passwd")) << QList<QUrl>{};
    QTest::newRow("script is not run") << QUrl(QStringLiteral("javascript:alert(1)"))
                                       << QList<QUrl>{};
}

void TestAnnouncementStrip::linksOpenInUserBrowser()
{
    QFETCH(QUrl, link);
    QFETCH(QList<QUrl>, opened);

    Window window(route("/links.htm"));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done));
    emit window.strip->anchorClicked(link);
    QCOMPARE(m_opened, opened);
}

void TestAnnouncementStrip::clickedLinkKeepsPage()
{
    Window window(route("/links.htm"));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done));
    const QString before = window.strip->toPlainText();

    // A real click on the link's first character.
    QTextCursor cursor(window.strip->document());
    cursor.setPosition(1);
    const QPoint at = window.strip->cursorRect(cursor).center();
    QTest::mouseClick(window.strip->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(m_opened, QList<QUrl>{route("/news/1.htm")});
    QTest::qWait(100);
    QCOMPARE(window.strip->toPlainText(), before); // not navigated inside the strip
    QCOMPARE(done.size(), 0);
}

void TestAnnouncementStrip::demoAnnouncementPage()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    Window window(QUrl(demo.baseUrl().toString() + QStringLiteral("/gonggao.htm")));
    QSignalSpy done(window.feeder.get(), &AnnouncementStrip::documentComplete);
    window.feeder->navigate();
    QVERIFY(loaded(done));
    QVERIFY(window.strip->toPlainText().contains(QStringLiteral("演示")));
    QVERIFY(window.scrollBarsOff());
}

QTEST_MAIN(TestAnnouncementStrip)
#include "test_announcementstrip.moc"
