// The plain rules behind the web panels: the chart address, the viewer's caption, the charset
// a page declares and the lines the program and its viewer exchange.
#include "core/chartaddress.h"
#include "core/htmlcharset.h"
#include "core/viewerprotocol.h"

#include <QTest>

using namespace velmora;

namespace {

QByteArray bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

} // namespace

class TestChartAddress : public QObject
{
    Q_OBJECT

private slots:
    void chartUrl_data();
    void chartUrl();
    void caption();
    void chartImage_data();
    void chartImage();
    void contentTypeCharset_data();
    void contentTypeCharset();
    void metaCharset_data();
    void metaCharset();
    void formatMessage_data();
    void formatMessage();
    void parseMessage_data();
    void parseMessage();
};

void TestChartAddress::chartUrl_data()
{
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray base = "http://chart.example";
    QTest::newRow("six digits unchanged")
        << base << QByteArray("600000") << QByteArray("http://chart.example/cn/600000/index_kp.shtml");
    QTest::newRow("letters, dot, dash, underscore, tilde unchanged")
        << base << QByteArray("sh.A-b_c~9")
        << QByteArray("http://chart.example/cn/sh.A-b_c~9/index_kp.shtml");
    QTest::newRow("base with a port")
        << QByteArray("http://127.0.0.1:8123") << QByteArray("000001")
        << QByteArray("http://127.0.0.1:8123/cn/000001/index_kp.shtml");
    QTest::newRow("base with a trailing slash gives no empty segment")
        << QByteArray("http://chart.example/") << QByteArray("600000")
        << QByteArray("http://chart.example/cn/600000/index_kp.shtml");
    QTest::newRow("empty code")
        << base << QByteArray() << QByteArray("http://chart.example/cn//index_kp.shtml");
    QTest::newRow("slash cannot climb out of the segment")
        << base << QByteArray("../../x")
        << QByteArray("http://chart.example/cn/..%2F..%2Fx/index_kp.shtml");
    QTest::newRow("question mark and hash stay in the path")
        << base << QByteArray("60?a=1#f")
        << QByteArray("http://chart.example/cn/60%3Fa%3D1%23f/index_kp.shtml");
    QTest::newRow("blank, CR and LF cannot break the request")
        << base << QByteArray("6 0\r\nX: y")
        << QByteArray("http://chart.example/cn/6%200%0D%0AX%3A%20y/index_kp.shtml");
    QTest::newRow("percent sign is itself encoded")
        << base << QByteArray("%41") << QByteArray("http://chart.example/cn/%2541/index_kp.shtml");
    QTest::newRow("UTF-8 bytes each encoded")
        << base << QByteArray("岚溪") << QByteArray("http://chart.example/cn/%E5%B2%9A%E6%BA%AA/index_kp.shtml");
    QTest::newRow("GB18030 bytes and NUL")
        << base << QByteArray("\xc6\xbd\x00", 3)
        << QByteArray("http://chart.example/cn/%C6%BD%00/index_kp.shtml");
}

void TestChartAddress::chartUrl()
{
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes(BuildChartUrl(base.toStdString(), code.toStdString())), expected);
}

void TestChartAddress::caption()
{
    const std::string caption = ChartViewerCaption("www.tesquin.example");
    QCOMPARE(QString::fromStdString(caption),
             QStringLiteral("实时行情               Tesquin-专业Orlentis-散户赚钱好帮手！——"
                            "www.tesquin.example"));
    QCOMPARE(QString::fromStdString(caption).mid(4, 15), QString(15, QLatin1Char(' ')));
}

void TestChartAddress::contentTypeCharset_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("charset");

    QTest::newRow("plain parameter") << QByteArray("text/html; charset=GBK") << QByteArray("GBK");
    QTest::newRow("quoted, upper-case name")
        << QByteArray("text/html;CHARSET=\"utf-8\"") << QByteArray("utf-8");
    QTest::newRow("blanks around the equals sign")
        << QByteArray("text/html ;  charset = gb2312") << QByteArray("gb2312");
    QTest::newRow("followed by another parameter")
        << QByteArray("text/html; charset=big5; q=1") << QByteArray("big5");
    QTest::newRow("after another parameter")
        << QByteArray("text/plain; format=flowed; Charset = gb2312 ; q=1") << QByteArray("gb2312");
    QTest::newRow("no charset") << QByteArray("text/html") << QByteArray();
    QTest::newRow("the whole value is no parameter") << QByteArray("charset=utf-8") << QByteArray();
    QTest::newRow("empty value") << QByteArray("text/html; charset=") << QByteArray();
    QTest::newRow("charset in the media type is no parameter")
        << QByteArray("text/charset=x") << QByteArray();
    QTest::newRow("empty header") << QByteArray() << QByteArray();
}

void TestChartAddress::contentTypeCharset()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, charset);
    QCOMPARE(bytes(CharsetFromContentType(contentType.toStdString())), charset);
}

void TestChartAddress::metaCharset_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("charset");

    QTest::newRow("meta charset")
        << QByteArray("<html><head><meta charset=\"gbk\"></head>") << QByteArray("gbk");
    QTest::newRow("unquoted, self-closing")
        << QByteArray("<META CHARSET=utf-8/>") << QByteArray("utf-8");
    QTest::newRow("http-equiv content type")
        << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">")
        << QByteArray("gb2312");
    QTest::newRow("single quotes")
        << QByteArray("<meta http-equiv='Content-Type' content='text/html;charset=GBK'>")
        << QByteArray("GBK");
    QTest::newRow("first declaration wins")
        << QByteArray("<meta charset=gbk><meta charset=utf-8>") << QByteArray("gbk");
    QTest::newRow("meta without charset is skipped")
        << QByteArray("<meta name=\"keywords\" content=\"charset\"><meta charset=big5>")
        << QByteArray("big5");
    QTest::newRow("declaration inside a comment does not count")
        << QByteArray("<!-- <meta charset=latin1> --><meta charset=gbk>") << QByteArray("gbk");
    QTest::newRow("metadata element is no meta")
        << QByteArray("<metadata charset=x></metadata>") << QByteArray();
    QTest::newRow("charset in the text is no declaration")
        << QByteArray("<p>charset=gbk</p>") << QByteArray();
    QTest::newRow("none") << QByteArray("<html><body>公告</body></html>") << QByteArray();
    QTest::newRow("unterminated tag at the end")
        << QByteArray("<meta charset=\"gbk") << QByteArray("gbk");
    QTest::newRow("beyond the scanned head")
        << QByteArray(4096, ' ') + QByteArray("<meta charset=gbk>") << QByteArray();
}

void TestChartAddress::metaCharset()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, charset);
    QCOMPARE(bytes(FindMetaCharset(page.toStdString())), charset);
}

void TestChartAddress::formatMessage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QByteArray>("line"); // empty: refused

    using Kind = ViewerMessage::Kind;
    QTest::newRow("show") << int(Kind::Show) << QByteArray() << QByteArray("show\n");
    QTest::newRow("hide") << int(Kind::Hide) << QByteArray() << QByteArray("hide\n");
    QTest::newRow("unhide") << int(Kind::Unhide) << QByteArray() << QByteArray("unhide\n");
    QTest::newRow("navigate")
        << int(Kind::Navigate) << QByteArray("http://h/cn/600000/index_kp.shtml")
        << QByteArray("navigate http://h/cn/600000/index_kp.shtml\n");
    QTest::newRow("https travels") << int(Kind::Loaded) << QByteArray("https://h/")
                                   << QByteArray("loaded https://h/\n");
    QTest::newRow("failed load") << int(Kind::Failed) << QByteArray("http://h/")
                                 << QByteArray("failed http://h/\n");
    QTest::newRow("line feed in the address refused")
        << int(Kind::Navigate) << QByteArray("http://h/\nnavigate file:///etc/passwd")
        << QByteArray();
    QTest::newRow("blank in the address refused")
        << int(Kind::Navigate) << QByteArray("http://h/a b") << QByteArray();
    QTest::newRow("local file refused")
        << int(Kind::Navigate) << QByteArray("file:///etc/passwd") << QByteArray();
    QTest::newRow("script refused")
        << int(Kind::Navigate) << QByteArray("javascript:alert(1)") << QByteArray();
    QTest::newRow("navigate without address refused")
        << int(Kind::Navigate) << QByteArray() << QByteArray();
    QTest::newRow("address too long for a line refused")
        << int(Kind::Navigate) << QByteArray("http://h/") + QByteArray(20000, 'a') << QByteArray();
    QTest::newRow("invalid kind refused") << int(Kind::Invalid) << QByteArray() << QByteArray();
}

void TestChartAddress::formatMessage()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, url);
    QFETCH(QByteArray, line);
    const auto formatted =
        FormatViewerMessage({static_cast<ViewerMessage::Kind>(kind), url.toStdString()});
    QCOMPARE(formatted.has_value(), !line.isEmpty());
    if (formatted) {
        QCOMPARE(bytes(*formatted), line);
        // What one side writes, the other reads back unchanged.
        const ViewerMessage back = ParseViewerMessage(*formatted);
        QCOMPARE(int(back.kind), kind);
        QCOMPARE(bytes(back.url), url);
    }
}

void TestChartAddress::parseMessage_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("url");

    using Kind = ViewerMessage::Kind;
    QTest::newRow("navigate with CR LF")
        << QByteArray("navigate http://h/x\r\n") << int(Kind::Navigate) << QByteArray("http://h/x");
    QTest::newRow("show without line end") << QByteArray("show") << int(Kind::Show) << QByteArray();
    QTest::newRow("upper-case scheme accepted")
        << QByteArray("loaded HTTP://h/") << int(Kind::Loaded) << QByteArray("HTTP://h/");
    QTest::newRow("show with an argument")
        << QByteArray("show now\n") << int(Kind::Invalid) << QByteArray();
    QTest::newRow("unknown verb") << QByteArray("quit\n") << int(Kind::Invalid) << QByteArray();
    QTest::newRow("verbs are case-sensitive")
        << QByteArray("Navigate http://h/\n") << int(Kind::Invalid) << QByteArray();
    QTest::newRow("two blanks") << QByteArray("navigate  http://h/\n") << int(Kind::Invalid)
                                << QByteArray();
    QTest::newRow("local file") << QByteArray("navigate file:///etc/passwd\n")
                                << int(Kind::Invalid) << QByteArray();
    QTest::newRow("tab inside the address")
        << QByteArray("navigate http://h/\tx\n") << int(Kind::Invalid) << QByteArray();
    QTest::newRow("empty line") << QByteArray("\n") << int(Kind::Invalid) << QByteArray();
}

void TestChartAddress::parseMessage()
{
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(QByteArray, url);
    const ViewerMessage message = ParseViewerMessage(line.toStdString());
    QCOMPARE(int(message.kind), kind);
    QCOMPARE(bytes(message.url), url);
}

// The public chart image of each market's stocks, and none for an index or a stranger; only
// such a symbol reaches the image service's paths.
void TestChartAddress::chartImage_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("path"); // empty: no image
    QTest::newRow("A-share") << QByteArray("600519") << QByteArray("/newchart/min/n/sh600519.gif");
    QTest::newRow("Hong Kong") << QByteArray("hk00700") << QByteArray("/newchart/hk_stock/min/00700.gif");
    QTest::newRow("US") << QByteArray("AAPL") << QByteArray("/newchart/usstock/min/aapl.gif");
    QTest::newRow("US share class") << QByteArray("usBRK.B") << QByteArray("/newchart/usstock/min/brk.b.gif");
    QTest::newRow("Hong Kong index") << QByteArray("hkHSI") << QByteArray();
    QTest::newRow("US index") << QByteArray("usDJI") << QByteArray();
    QTest::newRow("no market's code") << QByteArray("7") << QByteArray();
}

void TestChartAddress::chartImage()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, path);
    std::string why;
    const auto symbol = ChartImageSymbol(code.toStdString(), &why);
    QCOMPARE(QByteArray::fromStdString(symbol ? ChartImagePath(*symbol).value_or("?") : ""), path);
    QCOMPARE(why.empty(), !path.isEmpty());
    for (const char *outside : {"../x", "sh60051", "hk0070/", "us"})
        QVERIFY(!ChartImagePath(outside));
}

QTEST_APPLESS_MAIN(TestChartAddress)
#include "test_chartaddress.moc"
