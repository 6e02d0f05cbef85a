#include "support/sources.h"
#include "platform/userconfig.h"
#include "services/sourcepolicy.h"
#include "support/appfixture.h"
#include "ui/chartimagewindow.h"
#include "ui/settingswindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeView>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QByteArray kTencentLine =
    "v_sh600000=\"1~甲股份~600000~10.500~10.000~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~0~"
    "0~0~20261207100000~0.50~5.00~10.900~9.800\";\n";

// A 1x1 transparent GIF.
const QByteArray kGif = QByteArray::fromHex(
    "47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b");

} // namespace

// What a user does every day beyond the main and alert windows: switches the quote source without
// a restart, looks at a public chart image, and edits a threshold where it stands.
class TestEverydayUse : public QObject
{
    Q_OBJECT

private slots:
    void settingsSwitchTheSourceAtOnce();
    void publicChartIsAnImage();
    void thresholdEditedInPlace_data();
    void thresholdEditedInPlace();
};

void TestEverydayUse::settingsSwitchTheSourceAtOnce()
{
    AppFixture f;
    f.putFiles("600000\r\n", "10.5\r\n", "9\r\n");
    f.server.setReply("/q=sh600000", kTencentLine);
    QVERIFY(f.start());
    f.action("settingsItem")->trigger();
    SettingsWindow *window = f.app->settingsWindow();
    QVERIFY(window && window->isVisible());
    f.app->quoteRefresh().timer()->start(); // running, as in the program
    auto *source = window->findChild<QComboBox *>("sourceBox");
    source->setCurrentIndex(source->findText("腾讯"));

    // Applied at once: the page is asked straight away, and the row fills from it.
    QTRY_VERIFY(f.server.targets().contains("/q=sh600000"));
    QTRY_COMPARE(f.list().text(0, WatchList::Price), "10.50");
    QCOMPARE(f.list().text(0, WatchList::Change), "5.00%");
    QVERIFY(f.app->trayIcon().icon()->toolTip().contains("行情来源：腾讯"));

    // Saved for the next start, and only what the user changed.
    const UserSettings saved = ReadUserSettings(f.settings.userSettingsPath).settings;
    QCOMPARE(saved.source, QuoteSourceKind::Tencent);
    QCOMPARE(saved.intervalSeconds, 8);
    window->findChild<QSpinBox *>("intervalBox")->setValue(20);
    QCOMPARE(f.app->quoteRefresh().timer()->interval(), 20000);
    QCOMPARE(ReadUserSettings(f.settings.userSettingsPath).settings.intervalSeconds, 20);
}

void TestEverydayUse::publicChartIsAnImage()
{
    AppFixture f;
    f.putFiles("600000\r\n7\r\n");
    f.settings.user.source = QuoteSourceKind::Tencent;
    f.server.setRawReply("/newchart/min/n/sh600000.gif", kGif, "image/gif");
    QVERIFY(f.start());
    f.select({0});
    f.action("mnu23")->trigger();
    QVERIFY(f.app->windows().chartImageWindow());
    QTRY_VERIFY(f.server.targets().contains("/newchart/min/n/sh600000.gif"));
    QTRY_VERIFY(f.app->windows().chartImageWindow()->findChild<QLabel *>("chartStatus")->text().contains("更新于"));
    QVERIFY(f.opened.isEmpty()); // no browser, no browser engine

    // A code the pages do not know by a symbol says why.
    f.select({1});
    f.action("mnu23")->trigger();
    QTRY_COMPARE(f.messages.size(), 1);
    QVERIFY(f.messages.first().contains("无法识别的股票代码"));
}

void TestEverydayUse::thresholdEditedInPlace_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArrayList>("after"); // the take-profit and stop-loss files
    QTest::addColumn<QString>("message");      // the start of what is said
    const QByteArray tp = "10.5\r\n现价的5%\r\n", sl = "9\r\n8\r\n";
    QTest::newRow("a new take-profit: that one line") << 6 << " 11.2 "
        << QByteArrayList{"10.5\r\n11.2\r\n", sl} << "";
    QTest::newRow("a stop-loss emptied") << 7 << "" << QByteArrayList{tp, "9\r\n\r\n"} << "";
    QTest::newRow("a stored text left as it was") << 6 << "现价的5%" << QByteArrayList{tp, sl} << "";
    QTest::newRow("text refused, nothing written") << 7 << "八块" << QByteArrayList{tp, sl}
        << "止损价只能留空或填写一个数字";
}

void TestEverydayUse::thresholdEditedInPlace()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QByteArrayList, after);
    QFETCH(QString, message);
    AppFixture f;
    f.putFiles("600000\r\n600036\r\n", "10.5\r\n现价的5%\r\n", "9\r\n8\r\n");
    QVERIFY(f.start());
    const std::string codes = readFile(f.dataPath() / kCodeFileName);
    QTreeView *view = f.window().listView();
    const QModelIndex cell = view->model()->index(1, column);
    view->setCurrentIndex(cell);
    QTest::keyClick(view, Qt::Key_F2);
    auto *editor = view->findChild<QLineEdit *>("thresholdEditor");
    QVERIFY(editor);
    editor->selectAll();
    AppFixture::type(editor, typed);
    if (typed.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    // A quote arriving meanwhile repaints the row but leaves what was typed alone.
    QVERIFY(f.list().applyQuote(f.list().rowAt(1).id, QuoteOf("乙股份", "12", "12", "12", "1%"), 1));
    QCOMPARE(editor->text(), typed);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the view commits and closes the editor from the loop
    QVERIFY(!editor->isVisible());

    QCOMPARE(QByteArray::fromStdString(readFile(f.dataPath() / kTakeProfitFileName)), after[0]);
    QCOMPARE(QByteArray::fromStdString(readFile(f.dataPath() / kStopLossFileName)), after[1]);
    QCOMPARE(readFile(f.dataPath() / kCodeFileName), codes);
    QCOMPARE(f.messages.value(0).left(message.size()), message);
}

QTEST_MAIN(TestEverydayUse)
#include "test_everydayuse.moc"
