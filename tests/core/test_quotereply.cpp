#include "core/rowcolour.h"
#include "core/quoteaddress.h"
#include "core/quotereply.h"

#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::QuoteReply)
Q_DECLARE_METATYPE(std::string)

namespace {

const std::optional<std::string> absent;

QuoteReply members(std::optional<std::string> name, std::optional<std::string> price,
                   std::optional<std::string> change, std::optional<std::string> high,
                   std::optional<std::string> low)
{
    return {std::move(name), std::move(price), std::move(change), std::move(high), std::move(low)};
}

QByteArray describe(const QuoteReply &reply)
{
    const auto one = [](const char *label, const std::optional<std::string> &value) {
        return QByteArray(label) + "=" +
               (value ? "[" + QByteArray::fromStdString(*value) + "]" : QByteArray("absent"));
    };
    return one("name", reply.name) + " " + one("price", reply.price) + " " +
           one("change", reply.change) + " " + one("high", reply.high) + " " +
           one("low", reply.low);
}

const std::string kExample = "'x0','x1','示例股份','10.50','-1.23%','x5','x6','x7','x8','x9','x10',"
                             "'10.80','10.21'";
const std::string kBase = "http://quotes.example:8080";

} // namespace

class TestQuoteReply : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void fall_data();
    void fall();
    void quoteUrl_data();
    void quoteUrl();
};

void TestQuoteReply::parse_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<QuoteReply>("expected");

    const QuoteReply example = members("示例股份", "10.50", "-1.23%", "10.80", "10.21");
    QTest::newRow("worked example") << kExample << example;
    QTest::newRow("fields beyond 12 are ignored")
        << kExample + ",'x13','x14',,'x16'" << example;
    QTest::newRow("empty reply") << std::string() << members(absent, absent, absent, absent, absent);
    QTest::newRow("no comma: one field")
        << std::string("'x0 示例股份 10.50'") << members(absent, absent, absent, absent, absent);
    QTest::newRow("twelve fields: no low")
        << kExample.substr(0, kExample.rfind(','))
        << members("示例股份", "10.50", "-1.23%", "10.80", absent);
    QTest::newRow("eleven fields: no high, no low")
        << std::string("a,b,name,price,change,5,6,7,8,9,10")
        << members("name", "price", "change", absent, absent);
    QTest::newRow("four fields: name and price only")
        << std::string("'x0','x1','示例股份','10.50'")
        << members("示例股份", "10.50", absent, absent, absent);
    QTest::newRow("three fields: name only")
        << std::string("x0,x1,示例股份") << members("示例股份", absent, absent, absent, absent);
    QTest::newRow("two fields: nothing")
        << std::string("x0,x1") << members(absent, absent, absent, absent, absent);
    QTest::newRow("thirteen empty fields: all present and empty")
        << std::string(12, ',') << members("", "", "", "", "");
    QTest::newRow("trailing comma makes an empty last field")
        << std::string("a,b,c,d,e,f,g,h,i,j,k,l,") << members("c", "d", "e", "l", "");
    QTest::newRow("quote inside a value is removed")
        << std::string("'x0','x1','O'Neil股份','1'0.5'0',''-'1%'")
        << members("ONeil股份", "10.50", "-1%", absent, absent);
    QTest::newRow("only quotes: present and empty")
        << std::string("'',''',''''") << members("", absent, absent, absent, absent);
    QTest::newRow("comma inside a quoted name shifts every later field")
        << std::string("'x0','x1','示例,股份','10.50','-1.23%','x5','x6','x7','x8','x9','x10',"
                       "'10.80','10.21'")
        << members("示例", "股份", "10.50", "x10", "10.80");
    QTest::newRow("blanks around a field stay")
        << std::string("'x0','x1', '示例股份' ,' 10.50', -1.23%,x5,x6,x7,x8,x9,x10,10.80 ,\t10.21")
        << members(" 示例股份 ", " 10.50", " -1.23%", "10.80 ", "\t10.21");
    QTest::newRow("line breaks, brackets and percent signs stay")
        << std::string("x0,x1,[示例]\n股份,(10.50),%-1.23%%,x5,x6,x7,x8,x9,x10,10.80,10.21\r\n")
        << members("[示例]\n股份", "(10.50)", "%-1.23%%", "10.80", "10.21\r\n");
    QTest::newRow("full-width comma does not cut")
        << std::string("x0，x1，示例股份,x1,name,price")
        << members("name", "price", absent, absent, absent);
    QTest::newRow("semicolons and tabs do not cut")
        << std::string("x0;x1;x2\tx3,x1,name") << members("name", absent, absent, absent, absent);
    QTest::newRow("an error page is cut the same way")
        << std::string("<html><body>出错了,请稍后,再试,<b>,</b>,</body></html>")
        << members("再试", "<b>", "</b>", absent, absent);
    QTest::newRow("a NUL byte is an ordinary character")
        << std::string("x0,x1,a\0b,c", 11) << members(std::string("a\0b", 3), "c", absent, absent,
                                                      absent);
}

void TestQuoteReply::parse()
{
    QFETCH(std::string, reply);
    QFETCH(QuoteReply, expected);
    QCOMPARE(describe(ParseQuoteReply(reply)), describe(expected));
}

void TestQuoteReply::fall_data()
{
    QTest::addColumn<std::string>("change");
    QTest::addColumn<bool>("fall");

    QTest::newRow("-0.50%") << std::string("-0.50%") << true;
    QTest::newRow("minus alone") << std::string("-") << true;
    QTest::newRow("minus then anything") << std::string("-abc") << true;
    QTest::newRow("0.00%") << std::string("0.00%") << false;
    QTest::newRow("1.20%") << std::string("1.20%") << false;
    QTest::newRow("empty") << std::string() << false;
    QTest::newRow("blank before the minus") << std::string(" -1.20%") << false;
    QTest::newRow("plus sign") << std::string("+1.20%") << false;
    QTest::newRow("full-width minus") << std::string("－1.20%") << false;
    QTest::newRow("minus sign U+2212") << std::string("−1.20%") << false;
    QTest::newRow("quote before the minus") << std::string("'-1.20%'") << false;
}

void TestQuoteReply::fall()
{
    QFETCH(std::string, change);
    QFETCH(bool, fall);
    QCOMPARE(IsFall(change), fall);
    // The row colour follows the same rule: blue for a fall, red for everything else.
    QCOMPARE(ColourForChange(change), fall ? RowColour::Blue : RowColour::Red);
}

void TestQuoteReply::quoteUrl_data()
{
    QTest::addColumn<std::string>("code");
    QTest::addColumn<std::string>("expected");

    QTest::newRow("six digits unchanged") << std::string("600000") << kBase + "/msq?cn_600000";
    QTest::newRow("letters and unreserved marks unchanged")
        << std::string("sh600000AZaz09-._~") << kBase + "/msq?cn_sh600000AZaz09-._~";
    QTest::newRow("empty code") << std::string() << kBase + "/msq?cn_";
    QTest::newRow("trailing blank") << std::string("600000 ") << kBase + "/msq?cn_600000%20";
    QTest::newRow("hash would start a fragment")
        << std::string("600#00") << kBase + "/msq?cn_600%2300";
    QTest::newRow("CR LF would add a header")
        << std::string("600000\r\nX-Evil: 1") << kBase + "/msq?cn_600000%0D%0AX-Evil%3A%201";
    QTest::newRow("query and path marks")
        << std::string("a/b?c&d=e+f%g;h,i'j") << kBase + "/msq?cn_a%2Fb%3Fc%26d%3De%2Bf%25g%3Bh%2Ci%27j";
    QTest::newRow("UTF-8 Chinese")
        << std::string("中国") << kBase + "/msq?cn_%E4%B8%AD%E5%9B%BD";
    QTest::newRow("GBK bytes") << std::string("\xD6\xD0") << kBase + "/msq?cn_%D6%D0";
    QTest::newRow("NUL, DEL and 0xFF") << std::string("6\0\x7F\xFF", 4)
                                       << kBase + "/msq?cn_6%00%7F%FF";
    QTest::newRow("tab and percent") << std::string("\t%41") << kBase + "/msq?cn_%09%2541";
}

void TestQuoteReply::quoteUrl()
{
    QFETCH(std::string, code);
    QFETCH(std::string, expected);
    QCOMPARE(QByteArray::fromStdString(BuildQuoteUrl(kBase, code)),
             QByteArray::fromStdString(expected));
}

QTEST_APPLESS_MAIN(TestQuoteReply)
#include "test_quotereply.moc"
