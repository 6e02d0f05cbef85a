// The add dialog: what it shows, when its button can be used, the name lookup and the
// thresholds it proposes, where it opens, and what adding does when the files can or cannot
// change.
#include "support/appfixture.h"
#include "support/replies.h"

#include <QAccessible>
#include <QLabel>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString kTakeProfitPlaceholder = "现价的5%";
const QString kStopLossPlaceholder = "现价的-5%";

void serveUsualReplies(BrokenServer &server)
{
    server.setReply("600000", QuoteReplyText("示例股份", "10"));
    server.setReply("60000", QuoteReplyText("五位代码", "2.5"));
    server.setReply("6000000", QuoteReplyText("七位代码", "100"));
    server.setReply("abcdef", QuoteReplyText("停牌股份", "--"));
    server.setReply("blank1", QuoteReplyText("空价股份", ""));
    server.setReply("short1", "'x0','x1','三段股份'");
    server.setReply("60 00&x", QuoteReplyText("怪代码", "1"));
    server.setReply("中文代码", QuoteReplyText("中文股份", "12.34"));
    server.setReply("", QuoteReplyText("空代码", "1"));
    server.setBehaviour("999999", BrokenServer::Behaviour::NotFound);
}

void retype(QLineEdit *box, const QString &text)
{
    box->setFocus(Qt::MouseFocusReason);
    box->selectAll();
    QTest::keyClicks(box, text);
}

} // namespace

class TestAddStockDialog : public QObject
{
    Q_OBJECT

private slots:
    void freshDialog();
    void buttonFollowsCodeLength_data();
    void buttonFollowsCodeLength();
    void lookup_data();
    void lookup();
    void repeatedLookupsOverwriteEditedThresholds();
    void typingDuringLookupWins();
    void clickStraightFromCodeBox_data();
    void clickStraightFromCodeBox();
    void placement_data();
    void placement();
    void secondOpenWhileOpen();
    void closingDiscards();
    void labelsOpenSite();
    void refusedAddKeepsDialog_data();
    void refusedAddKeepsDialog();
};

void TestAddStockDialog::freshDialog()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName() + " " + dialog->windowTitle(), "frmAdd 添加黑马");
    QVERIFY(!dialog->parentWidget());
    QVERIFY(dialog->findChild<HttpQueue *>("Inet1"));

    QStringList shown; // from top left to bottom right
    for (const char *name : {"Label1", "Text1", "Label2", "Text2", "Label3", "Text4", "Label4",
                             "Text5", "Command1", "Label5", "Label6", "Label7", "Label8"}) {
        const QWidget *control = dialog->findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(control && control->isVisible(), name);
        shown << QString::fromLatin1(name) + "=" + control->property("text").toString();
    }
    QCOMPARE(shown, (QStringList{"Label1=股票编号：", "Text1=", "Label2=股票名称：",
                                 "Text2=", "Label3=止盈价：", "Text4=现价的5%", "Label4=止损价：",
                                 "Text5=现价的-5%", "Command1=添加股票", "Label5=Tesquin",
                                 "Label6=Orlentis最新传闻实时解盘大盘预测个股点评",
                                 "Label7=www.tesquin.example",
                                 "Label8=默认止盈价是现价的5%，止损位是-5%，可修改"}));

    // Ready to type, and the button works before anything is typed.
    QCOMPARE(QApplication::focusWidget(), fixture.box(dialog, "Text1"));
    QVERIFY(fixture.button(dialog)->isEnabled());
    QVERIFY(fixture.box(dialog, "Text2")->isEnabled());

    // The Tab key visits these five in this order, and nothing else.
    QStringList chain;
    QWidget *w = fixture.box(dialog, "Text1");
    do {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->window() == dialog)
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != fixture.box(dialog, "Text1"));
    QCOMPARE(chain, QStringList({"Text1", "Text2", "Command1", "Text4", "Text5"}));

    // Each box is named by the label in front of it.
    QStringList names;
    for (const char *box : {"Text1", "Text2", "Text4", "Text5"})
        names << QAccessible::queryAccessibleInterface(fixture.box(dialog, box))
                     ->text(QAccessible::Name);
    QCOMPARE(names, QStringList({"股票编号：", "股票名称：", "止盈价：", "止损价："}));
}

void TestAddStockDialog::buttonFollowsCodeLength_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("five characters") << "60000" << false;
    QTest::newRow("six digits") << "600000" << true;
    QTest::newRow("seven characters") << "6000000" << false;
    QTest::newRow("six letters") << "abcdef" << true;
    QTest::newRow("six Chinese characters") << "六个中文字符" << true;
    QTest::newRow("six blanks") << "      " << true;
    QTest::newRow("one character") << "6" << false;
}

void TestAddStockDialog::buttonFollowsCodeLength()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    AppFixture fixture;
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    AppFixture::typeCode(dialog, typed);
    QCOMPARE(fixture.box(dialog, "Text1")->text(), typed);
    QCOMPARE(fixture.button(dialog)->isEnabled(), enabled);
    // Deleting one character flips a six back to five, and a seven to six.
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Backspace);
    QCOMPARE(fixture.button(dialog)->isEnabled(), typed.size() == 7);
}

void TestAddStockDialog::lookup_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");

    QTest::newRow("six digits") << "600000"
                                << "示例股份"
                                << "10.5"
                                << "9.5";
    QTest::newRow("five characters, halfway product") << "60000"
                                                      << "五位代码"
                                                      << "2.62"
                                                      << "2.38";
    QTest::newRow("seven characters") << "6000000"
                                      << "七位代码"
                                      << "105"
                                      << "95";
    QTest::newRow("price not a number keeps placeholders")
        << "abcdef"
        << "停牌股份" << kTakeProfitPlaceholder << kStopLossPlaceholder;
    QTest::newRow("empty price keeps placeholders")
        << "blank1"
        << "空价股份" << kTakeProfitPlaceholder << kStopLossPlaceholder;
    QTest::newRow("no price field gives zeros") << "short1"
                                                << "三段股份"
                                                << "0"
                                                << "0";
    QTest::newRow("service refuses (404)") << "999999"
                                           << ""
                                           << "0"
                                           << "0";
    QTest::newRow("empty code is still asked for") << ""
                                                   << "空代码"
                                                   << "1.05"
                                                   << "0.95";
    QTest::newRow("blank and ampersand reach the service") << "60 00&x"
                                                           << "怪代码"
                                                           << "1.05"
                                                           << "0.95";
    QTest::newRow("Chinese code") << "中文代码"
                                  << "中文股份"
                                  << "12.96"
                                  << "11.72";
}

void TestAddStockDialog::lookup()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);

    AppFixture fixture;
    serveUsualReplies(fixture.server);
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    QLineEdit *nameBox = fixture.box(dialog, "Text2");

    fixture.server.holdAll();
    AppFixture::typeCode(dialog, code);
    QSignalSpy finished(dialog, &AddStockDialog::lookupFinished);
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Tab);
    // While the answer is out: the name box says so, and neither it nor the button can be used.
    QVERIFY(dialog->lookupRunning());
    QCOMPARE(nameBox->text(), "获取名称中");
    QVERIFY(!nameBox->isEnabled());
    QVERIFY(!fixture.button(dialog)->isEnabled());

    fixture.server.release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(fixture.server.keys(), QList<QByteArray>({code.toUtf8()}));
    QCOMPARE(nameBox->text(), name);
    QCOMPARE(fixture.box(dialog, "Text4")->text(), takeProfit);
    QCOMPARE(fixture.box(dialog, "Text5")->text(), stopLoss);
    // Both come back whatever the code's length.
    QVERIFY(nameBox->isEnabled());
    QVERIFY(fixture.button(dialog)->isEnabled());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), code);
}

void TestAddStockDialog::repeatedLookupsOverwriteEditedThresholds()
{
    AppFixture fixture;
    serveUsualReplies(fixture.server);
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    QLineEdit *takeProfit = fixture.box(dialog, "Text4"), *stopLoss = fixture.box(dialog, "Text5");

    QVERIFY(AppFixture::lookUp(dialog, "600000"));
    QCOMPARE(takeProfit->text(), "10.5");
    retype(takeProfit, "11");
    retype(stopLoss, "9");

    // Leaving the code box again asks again and replaces what was typed.
    QVERIFY(AppFixture::lookUp(dialog, "600000"));
    QCOMPARE(fixture.server.keys().count("600000"), 2);
    QCOMPARE(takeProfit->text(), "10.5");
    QCOMPARE(stopLoss->text(), "9.5");

    // Leaving it by a mouse click on a threshold box counts the same.
    retype(takeProfit, "12");
    fixture.box(dialog, "Text1")->setFocus(Qt::MouseFocusReason);
    QSignalSpy finished(dialog, &AddStockDialog::lookupFinished);
    QTest::mouseClick(stopLoss, Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(fixture.server.keys().count("600000"), 3);
    QCOMPARE(takeProfit->text(), "10.5");

    // A price that is not a number leaves both boxes as they are, typed values included.
    retype(takeProfit, "12");
    QVERIFY(AppFixture::lookUp(dialog, "abcdef"));
    QCOMPARE(fixture.box(dialog, "Text2")->text(), "停牌股份");
    QCOMPARE(takeProfit->text(), "12");
    QCOMPARE(stopLoss->text(), "9.5");
}

// A threshold can be typed while the lookup is out; what the user typed then is not
// overwritten by the late answer.
void TestAddStockDialog::typingDuringLookupWins()
{
    AppFixture fixture;
    serveUsualReplies(fixture.server);
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    fixture.server.holdAll();
    AppFixture::typeCode(dialog, "600000");
    QSignalSpy finished(dialog, &AddStockDialog::lookupFinished);
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Tab);
    QVERIFY(dialog->lookupRunning());
    retype(fixture.box(dialog, "Text5"), "8.8");

    fixture.server.release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(fixture.box(dialog, "Text4")->text(), "10.5");
    QCOMPARE(fixture.box(dialog, "Text5")->text(), "8.8");
}

void TestAddStockDialog::clickStraightFromCodeBox_data()
{
    QTest::addColumn<bool>("answerBeforeRelease");
    QTest::addColumn<bool>("releaseOnButton");
    QTest::newRow("answer after the click") << false << true;
    QTest::newRow("answer between press and release") << true << true;
    QTest::newRow("released beside the button: no click") << false << false;
}

// With the focus in the code box, a click on the add button starts the lookup; the click is
// kept and adds with the lookup's results once they are in.
void TestAddStockDialog::clickStraightFromCodeBox()
{
    QFETCH(bool, answerBeforeRelease);
    QFETCH(bool, releaseOnButton);

    AppFixture fixture;
    serveUsualReplies(fixture.server);
    QVERIFY(fixture.start());
    QPointer<AddStockDialog> dialog = fixture.openDialog();
    QVERIFY(dialog);
    QPushButton *button = fixture.button(dialog);
    AppFixture::typeCode(dialog, "600000");
    QCOMPARE(QApplication::focusWidget(), fixture.box(dialog, "Text1"));

    fixture.server.holdAll();
    QSignalSpy finished(dialog.data(), &AddStockDialog::lookupFinished);
    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(dialog->lookupRunning());
    if (answerBeforeRelease) {
        fixture.server.release();
        QVERIFY(finished.wait(10000));
    }
    QTest::mouseRelease(button, Qt::LeftButton, {},
                        releaseOnButton ? QPoint() : QPoint(button->width() + 5, -5));
    // Nothing is stored before the lookup has written its results.
    QCOMPARE(fixture.list().rowCount(), answerBeforeRelease ? 1 : 0);
    if (!answerBeforeRelease) {
        fixture.server.release();
        QVERIFY(finished.wait(10000));
    }

    if (releaseOnButton) {
        QTRY_VERIFY(!dialog);
        QCOMPARE(fixture.list().entries(), (WatchEntries{{"600000", "10.5", "9.5"}}));
        QCOMPARE(fixture.list().text(0, WatchList::Price), "待命");
        QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini"), "10.5\r\n");
    } else {
        QCoreApplication::processEvents();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(fixture.list().rowCount(), 0);
        QVERIFY(button->isEnabled());
        QVERIFY(!std::filesystem::exists(fixture.dataPath() / "Setting.ini"));
    }
}

void TestAddStockDialog::placement_data()
{
    QTest::addColumn<QPoint>("mainAt");
    QTest::newRow("upper left") << QPoint(100, 80);
    QTest::newRow("near the bottom of the screen, not clamped") << QPoint(30, 560);
}

void TestAddStockDialog::placement()
{
    QFETCH(QPoint, mainAt);
    AppFixture fixture;
    QVERIFY(fixture.start(mainAt));
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    const QRect main = fixture.window().frameGeometry();
    QCOMPARE(dialog->frameGeometry().topLeft(), QPoint(main.left(), main.top() + main.height()));
}

void TestAddStockDialog::secondOpenWhileOpen()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    QPointer<AddStockDialog> dialog = fixture.openDialog();
    QVERIFY(dialog);
    AppFixture::typeCode(dialog, "12");
    dialog->move(300, 20);
    fixture.window().move(150, 150);

    fixture.action("mnu21")->trigger();
    fixture.action("mn17")->trigger();
    QCoreApplication::processEvents();
    // The same dialog as it was: not emptied, not placed anew, and no second one.
    QCOMPARE(fixture.app->windows().addDialog(), dialog.data());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), "12");
    QCOMPARE(dialog->pos(), QPoint(300, 20));
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                           [](QWidget *w) { return w->objectName() == "frmAdd"; }),
             1);
}

void TestAddStockDialog::closingDiscards()
{
    AppFixture fixture;
    serveUsualReplies(fixture.server);
    QVERIFY(fixture.start());
    QPointer<AddStockDialog> dialog = fixture.openDialog();
    QVERIFY(dialog);
    QVERIFY(AppFixture::lookUp(dialog, "600000"));
    QVERIFY(dialog->close());
    QTRY_VERIFY(!dialog);
    QCOMPARE(fixture.list().rowCount(), 0);
    QVERIFY(!std::filesystem::exists(fixture.dataPath() / "Setting.ini"));

    // The next opening starts fresh.
    AddStockDialog *again = fixture.openDialog();
    QVERIFY(again);
    QCOMPARE(fixture.box(again, "Text1")->text(), "");
    QCOMPARE(fixture.box(again, "Text2")->text(), "");
    QCOMPARE(fixture.box(again, "Text4")->text(), kTakeProfitPlaceholder);
    QCOMPARE(fixture.box(again, "Text5")->text(), kStopLossPlaceholder);
}

// Each brand label opens the site with a left click, never with a right one, and the dialog
// stays as it was.
void TestAddStockDialog::labelsOpenSite()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    AddStockDialog *dialog = fixture.openDialog();
    QVERIFY(dialog);
    for (const char *name : {"Label5", "Label6", "Label7"}) {
        QLabel *label = dialog->findChild<QLabel *>(QString::fromLatin1(name));
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::mouseClick(label, Qt::RightButton);
    }
    QCOMPARE(fixture.opened, QList<QUrl>(3, QUrl("http://www.tesquin.example")));
    QVERIFY(dialog->isVisible());
    QVERIFY(fixture.server.keys().isEmpty());
}

void TestAddStockDialog::refusedAddKeepsDialog_data()
{
    QTest::addColumn<bool>("unreadableAtStart");
    QTest::addColumn<QString>("said");
    QTest::newRow("a file cannot be written") << false << "无法写入自选股文件 Setting2.ini";
    QTest::newRow("the list could not be read at start") << true << "启动时无法读取";
}

// Nothing is added and the user is told why; the dialog stays as it was, to try again.
void TestAddStockDialog::refusedAddKeepsDialog()
{
    QFETCH(bool, unreadableAtStart);
    QFETCH(QString, said);
    AppFixture fixture;
    serveUsualReplies(fixture.server);
    fixture.putFiles("000001\r\n", "11\r\n", "9\r\n");
    // A directory where the code file must be read, or the new take-profit file written.
    const auto obstacle =
        fixture.dataPath() / (unreadableAtStart ? "Setting.ini" : "Setting2.ini.new");
    std::filesystem::remove(obstacle);
    if (unreadableAtStart)
        std::filesystem::create_directory(obstacle);
    QVERIFY(fixture.start());
    const int rows = fixture.list().rowCount();
    QPointer<AddStockDialog> dialog = fixture.openDialog();
    QVERIFY(dialog);
    QVERIFY(AppFixture::lookUp(dialog, "600000"));
    std::filesystem::create_directory(obstacle);
    fixture.messages.clear(); // the start-up report, if any
    QTest::mouseClick(fixture.button(dialog), Qt::LeftButton);
    QCoreApplication::processEvents();

    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(said) && fixture.messages[0].contains("没有添加"),
             qPrintable(fixture.messages[0]));
    QCOMPARE(fixture.list().rowCount(), rows);
    QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini") +
                 readFile(fixture.dataPath() / "Setting3.ini"),
             "11\r\n9\r\n");
    QVERIFY(dialog->isVisible());
    for (const char *name : {"Text1", "Text2", "Command1"})
        QVERIFY(dialog->findChild<QWidget *>(QString::fromLatin1(name))->isEnabled());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), "600000");
    QCOMPARE(fixture.box(dialog, "Text4")->text(), "10.5");
    if (unreadableAtStart)
        return; // this run writes nothing

    // Once the obstacle is gone the same click adds.
    std::filesystem::remove_all(obstacle);
    QTest::mouseClick(fixture.button(dialog), Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(fixture.list().rowCount(), 2);
    QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini"), "11\r\n10.5\r\n");
}

QTEST_MAIN(TestAddStockDialog)
#include "test_addstockdialog.moc"
