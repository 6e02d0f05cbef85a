#include "adddialog/dialogfixture.h"
#include "platform/openurl.h"
#include "platform/screenmetrics.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString kTakeProfitPlaceholder = QStringLiteral("现价的5%");
const QString kStopLossPlaceholder = QStringLiteral("现价的-5%");

void serveUsualReplies(FakeQuoteService &service)
{
    service.setReply("600000", QuoteReplyText("示例股份", "10"));
    service.setReply("60000", QuoteReplyText("五位代码", "2.5"));
    service.setReply("6000000", QuoteReplyText("七位代码", "100"));
    service.setReply("abcdef", QuoteReplyText("停牌股份", "--"));
    service.setReply("blank1", QuoteReplyText("空价股份", ""));
    service.setReply("short1", "'x0','x1','三段股份'");
    service.setReply("60 00&x", QuoteReplyText("怪代码", "1"));
    service.setReply("中文代码", QuoteReplyText("中文股份", "12.34"));
}

int countOf(const QList<QByteArray> &list, const QByteArray &value)
{
    return static_cast<int>(std::count(list.begin(), list.end(), value));
}

} // namespace

class TestFrmAdd : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
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
    void labelsOpenSite_data();
    void labelsOpenSite();
    void commitFailureKeepsDialog();
    void readOnlyRunRefusesAdd();
};

void TestFrmAdd::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<double>("pointSize"); // 0: the default font

    QTest::newRow("Label1") << "Label1" << "股票编号：" << QRect(120, 120, 1455, 255) << 12.0;
    QTest::newRow("Text1") << "Text1" << "" << QRect(1320, 120, 1695, 375) << 14.25;
    QTest::newRow("Text2") << "Text2" << "" << QRect(1320, 600, 1695, 375) << 12.0;
    QTest::newRow("Label2") << "Label2" << "股票名称：" << QRect(120, 600, 1455, 255) << 12.0;
    QTest::newRow("Command1") << "Command1" << "添加股票" << QRect(480, 2040, 2655, 375) << 12.0;
    QTest::newRow("Label3") << "Label3" << "止盈价：" << QRect(120, 1080, 1095, 255) << 12.0;
    QTest::newRow("Label4") << "Label4" << "止损价：" << QRect(120, 1560, 1095, 255) << 12.0;
    QTest::newRow("Text4") << "Text4" << kTakeProfitPlaceholder << QRect(1320, 1080, 1695, 375)
                           << 14.25;
    QTest::newRow("Text5") << "Text5" << kStopLossPlaceholder << QRect(1320, 1560, 1695, 375)
                           << 14.25;
    QTest::newRow("Label5") << "Label5" << "Tesquin" << QRect(3120, 240, 735, 255) << 10.5;
    QTest::newRow("Label6") << "Label6" << "Orlentis最新传闻实时解盘大盘预测个股点评"
                            << QRect(3120, 600, 735, 1095) << 0.0;
    QTest::newRow("Label7") << "Label7" << "www.tesquin.example" << QRect(3120, 1800, 855, 375)
                            << 0.0;
    QTest::newRow("Label8") << "Label8" << "默认止盈价是现价的5%，止损位是-5%，可修改"
                            << QRect(120, 2520, 3735, 375) << 0.0;
}

void TestFrmAdd::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(double, pointSize);

    DialogFixture fixture;
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    auto *control = dialog->findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QVERIFY(control->isVisible());
    const QRect pixels(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()),
                       TwipsToPixels(twips.width()), TwipsToPixels(twips.height()));
    QCOMPARE(control->geometry(), pixels);
    if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(control))
        QCOMPARE(edit->text(), text);
    else if (auto *button = qobject_cast<QPushButton *>(control))
        QCOMPARE(button->text(), text);
    else
        QFAIL("unexpected kind of control");
    if (pointSize > 0) {
        QCOMPARE(control->font().family(), QStringLiteral("宋体"));
        QCOMPARE(control->font().pointSizeF(), pointSize);
        QCOMPARE(control->font().weight(), QFont::Normal);
    } else {
        QCOMPARE(control->font(), QApplication::font(control));
    }
}

void TestFrmAdd::freshDialog()
{
    DialogFixture fixture;
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("frmAdd"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("添加黑马"));
    QCOMPARE(dialog->size(), QSize(TwipsToPixels(3960), TwipsToPixels(2880)));
    QVERIFY(!dialog->parentWidget());
    QVERIFY(dialog->findChild<QuoteFetcher *>(QStringLiteral("Inet1")));

    // Ready to type, and the button works before anything is typed.
    QCOMPARE(QApplication::focusWidget(), fixture.box(dialog, "Text1"));
    QVERIFY(fixture.addButton(dialog)->isEnabled());
    QVERIFY(fixture.box(dialog, "Text2")->isEnabled());
    QCOMPARE(fixture.addButton(dialog)->palette().color(QPalette::Button), QColor(255, 128, 128));

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
    const std::pair<const char *, const char *> names[] = {{"Text1", "股票编号："},
                                                           {"Text2", "股票名称："},
                                                           {"Text4", "止盈价："},
                                                           {"Text5", "止损价："}};
    for (const auto &[box, label] : names) {
        QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(fixture.box(dialog, box));
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), QString::fromUtf8(label));
    }
}

void TestFrmAdd::buttonFollowsCodeLength_data()
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

void TestFrmAdd::buttonFollowsCodeLength()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    DialogFixture fixture;
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    DialogFixture::typeCode(dialog, typed);
    QCOMPARE(fixture.box(dialog, "Text1")->text(), typed);
    QCOMPARE(fixture.addButton(dialog)->isEnabled(), enabled);
    // Deleting one character flips a six back to five, and a seven to six.
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Backspace);
    QCOMPARE(fixture.addButton(dialog)->isEnabled(), typed.size() == 7);
}

void TestFrmAdd::lookup_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");

    QTest::newRow("six digits") << "600000" << "示例股份" << "10.5" << "9.5";
    QTest::newRow("five characters, halfway product") << "60000" << "五位代码" << "2.62"
                                                      << "2.38";
    QTest::newRow("seven characters") << "6000000" << "七位代码" << "105" << "95";
    QTest::newRow("price not a number keeps placeholders")
        << "abcdef" << "停牌股份" << kTakeProfitPlaceholder << kStopLossPlaceholder;
    QTest::newRow("empty price keeps placeholders")
        << "blank1" << "空价股份" << kTakeProfitPlaceholder << kStopLossPlaceholder;
    QTest::newRow("no price field gives zeros") << "short1" << "三段股份" << "0" << "0";
    QTest::newRow("service refuses (404)") << "999999" << "" << "0" << "0";
    QTest::newRow("empty code is still asked for") << "" << "" << "0" << "0";
    QTest::newRow("blank and ampersand reach the service") << "60 00&x" << "怪代码" << "1.05"
                                                           << "0.95";
    QTest::newRow("Chinese code") << "中文代码" << "中文股份" << "12.96" << "11.72";
}

void TestFrmAdd::lookup()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);

    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QLineEdit *text2 = fixture.box(dialog, "Text2");
    QPushButton *button = fixture.addButton(dialog);

    fixture.service.hold();
    DialogFixture::typeCode(dialog, code);
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Tab);
    // While the answer is out: the name box says so, and neither it nor the button can be used.
    QVERIFY(dialog->lookupRunning());
    QCOMPARE(text2->text(), QStringLiteral("获取名称中"));
    QVERIFY(!text2->isEnabled());
    QVERIFY(!button->isEnabled());

    QSignalSpy finished(dialog, &FrmAdd::lookupFinished);
    QTRY_COMPARE(fixture.service.requests.size(), 1);
    fixture.service.release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(fixture.service.requests, QList<QByteArray>({code.toUtf8()}));
    QCOMPARE(text2->text(), name);
    QCOMPARE(fixture.box(dialog, "Text4")->text(), takeProfit);
    QCOMPARE(fixture.box(dialog, "Text5")->text(), stopLoss);
    // Both come back whatever the code's length.
    QVERIFY(text2->isEnabled());
    QVERIFY(button->isEnabled());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), code);
}

void TestFrmAdd::repeatedLookupsOverwriteEditedThresholds()
{
    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QLineEdit *text4 = fixture.box(dialog, "Text4");
    QLineEdit *text5 = fixture.box(dialog, "Text5");
    auto edit = [](QLineEdit *box, const QString &text) {
        box->setFocus(Qt::MouseFocusReason);
        box->selectAll();
        QTest::keyClicks(box, text);
    };

    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    QCOMPARE(text4->text(), QStringLiteral("10.5"));
    edit(text4, QStringLiteral("11"));
    edit(text5, QStringLiteral("9"));

    // Leaving the code box again asks again and replaces what was typed.
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    QCOMPARE(countOf(fixture.service.requests, "600000"), 2);
    QCOMPARE(text4->text(), QStringLiteral("10.5"));
    QCOMPARE(text5->text(), QStringLiteral("9.5"));

    // Leaving it by a mouse click on a threshold box counts the same.
    edit(text4, QStringLiteral("12"));
    fixture.box(dialog, "Text1")->setFocus(Qt::MouseFocusReason);
    QSignalSpy finished(dialog, &FrmAdd::lookupFinished);
    QTest::mouseClick(text5, Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(countOf(fixture.service.requests, "600000"), 3);
    QCOMPARE(text4->text(), QStringLiteral("10.5"));

    // A price that is not a number leaves both boxes as they are, typed values included.
    edit(text4, QStringLiteral("12"));
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("abcdef")));
    QCOMPARE(fixture.box(dialog, "Text2")->text(), QStringLiteral("停牌股份"));
    QCOMPARE(text4->text(), QStringLiteral("12"));
    QCOMPARE(text5->text(), QStringLiteral("9.5"));
}

// The lookup no longer freezes the dialog, so a threshold can be typed while it is out; what
// the user typed then is not overwritten by the late answer.
void TestFrmAdd::typingDuringLookupWins()
{
    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    fixture.service.hold();
    DialogFixture::typeCode(dialog, QStringLiteral("600000"));
    QTest::keyClick(fixture.box(dialog, "Text1"), Qt::Key_Tab);
    QVERIFY(dialog->lookupRunning());
    QLineEdit *text5 = fixture.box(dialog, "Text5");
    text5->setFocus(Qt::MouseFocusReason);
    text5->selectAll();
    QTest::keyClicks(text5, QStringLiteral("8.8"));

    QSignalSpy finished(dialog, &FrmAdd::lookupFinished);
    QTRY_COMPARE(fixture.service.requests.size(), 1);
    fixture.service.release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(fixture.box(dialog, "Text4")->text(), QStringLiteral("10.5"));
    QCOMPARE(text5->text(), QStringLiteral("8.8"));
}

void TestFrmAdd::clickStraightFromCodeBox_data()
{
    QTest::addColumn<bool>("answerBeforeRelease");
    QTest::addColumn<bool>("releaseOnButton");
    QTest::addColumn<bool>("commits");
    QTest::newRow("answer after the click") << false << true << true;
    QTest::newRow("answer between press and release") << true << true << true;
    QTest::newRow("released beside the button") << false << false << false;
}

// With the focus in Text1, a click on the add button starts the lookup; the click is kept and
// commits with the lookup's results once they are in.
void TestFrmAdd::clickStraightFromCodeBox()
{
    QFETCH(bool, answerBeforeRelease);
    QFETCH(bool, releaseOnButton);
    QFETCH(bool, commits);

    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    fixture.start();
    QPointer<FrmAdd> dialog = fixture.open();
    QVERIFY(dialog);
    QPushButton *button = fixture.addButton(dialog);
    DialogFixture::typeCode(dialog, QStringLiteral("600000"));
    QCOMPARE(QApplication::focusWidget(), fixture.box(dialog, "Text1"));

    fixture.service.hold();
    QSignalSpy finished(dialog.data(), &FrmAdd::lookupFinished);
    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(dialog->lookupRunning());
    QTRY_COMPARE(fixture.service.requests.size(), 1);
    if (answerBeforeRelease) {
        fixture.service.release();
        QVERIFY(finished.wait(10000));
    }
    QTest::mouseRelease(button, Qt::LeftButton, {},
                        releaseOnButton ? QPoint() : QPoint(button->width() + 5, -5));
    // Nothing is stored before the lookup has written its results.
    QCOMPARE(fixture.form->model()->rowCount(), answerBeforeRelease && commits ? 1 : 0);
    if (!answerBeforeRelease) {
        fixture.service.release();
        QVERIFY(finished.wait(10000));
    }

    if (commits) {
        QTRY_VERIFY(!dialog);
        const WatchListModel *model = fixture.form->model();
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->rowAt(0).entry, (WatchEntry{"600000", "10.5", "9.5"}));
        QCOMPARE(model->text(0, WatchListModel::Price), QStringLiteral("待命"));
        QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini"), std::string("10.5\r\n"));
    } else {
        QCoreApplication::processEvents();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(fixture.form->model()->rowCount(), 0);
        QVERIFY(button->isEnabled());
        QVERIFY(!std::filesystem::exists(fixture.dataPath() / "Setting.ini"));
    }
}

void TestFrmAdd::placement_data()
{
    QTest::addColumn<QPoint>("mainAt");
    QTest::newRow("upper left") << QPoint(100, 80);
    QTest::newRow("near the bottom of the screen, not clamped") << QPoint(30, 560);
}

void TestFrmAdd::placement()
{
    QFETCH(QPoint, mainAt);
    DialogFixture fixture;
    fixture.start(mainAt);
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    const QRect main = fixture.form->frameGeometry();
    QCOMPARE(dialog->frameGeometry().topLeft(), QPoint(main.left(), main.top() + main.height()));
}

void TestFrmAdd::secondOpenWhileOpen()
{
    DialogFixture fixture;
    fixture.start();
    QPointer<FrmAdd> dialog = fixture.open();
    QVERIFY(dialog);
    DialogFixture::typeCode(dialog, QStringLiteral("12"));
    dialog->move(300, 20);
    fixture.form->move(150, 150);

    fixture.form->action("mnu21")->trigger();
    fixture.form->action("mn17")->trigger();
    QCoreApplication::processEvents();
    QCOMPARE(fixture.commands()->addDialog(), dialog.data());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), QStringLiteral("12"));
    QCOMPARE(dialog->pos(), QPoint(300, 20));
    int dialogs = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        dialogs += w->objectName() == QStringLiteral("frmAdd") ? 1 : 0;
    QCOMPARE(dialogs, 1);
}

void TestFrmAdd::closingDiscards()
{
    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    fixture.start();
    QPointer<FrmAdd> dialog = fixture.open();
    QVERIFY(dialog);
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    QVERIFY(dialog->close());
    QTRY_VERIFY(!dialog);
    QCOMPARE(fixture.form->model()->rowCount(), 0);
    QVERIFY(!std::filesystem::exists(fixture.dataPath() / "Setting.ini"));

    // The next opening starts fresh.
    FrmAdd *again = fixture.open();
    QVERIFY(again);
    QCOMPARE(fixture.box(again, "Text1")->text(), QString());
    QCOMPARE(fixture.box(again, "Text2")->text(), QString());
    QCOMPARE(fixture.box(again, "Text4")->text(), kTakeProfitPlaceholder);
    QCOMPARE(fixture.box(again, "Text5")->text(), kStopLossPlaceholder);
}

void TestFrmAdd::labelsOpenSite_data()
{
    QTest::addColumn<QString>("label");
    QTest::newRow("Label5") << "Label5";
    QTest::newRow("Label6") << "Label6";
    QTest::newRow("Label7") << "Label7";
}

void TestFrmAdd::labelsOpenSite()
{
    QFETCH(QString, label);
    DialogFixture fixture;
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QList<QUrl> opened;
    SetOpenUrlHookForTests([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    QTest::mouseClick(dialog->findChild<QLabel *>(label), Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QLabel *>(label), Qt::RightButton);
    SetOpenUrlHookForTests(nullptr);
    QCOMPARE(opened, QList<QUrl>({QUrl(QStringLiteral("http://www.tesquin.example"))}));
    QVERIFY(dialog->isVisible());
    QVERIFY(fixture.service.requests.isEmpty());
}

void TestFrmAdd::commitFailureKeepsDialog()
{
    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    writeFile(fixture.dataPath() / "Setting.ini", "000001\r\n");
    writeFile(fixture.dataPath() / "Setting2.ini", "11\r\n");
    writeFile(fixture.dataPath() / "Setting3.ini", "9\r\n");
    fixture.start();
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    // The take-profit file cannot be written: a directory stands where its new content goes.
    std::filesystem::create_directory(fixture.dataPath() / "Setting2.ini.new");
    QTest::mouseClick(fixture.addButton(dialog), Qt::LeftButton);
    QCoreApplication::processEvents();

    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(QStringLiteral("Setting2.ini")),
             qPrintable(fixture.messages[0]));
    QVERIFY(fixture.messages[0].contains(QStringLiteral("没有添加")));
    QCOMPARE(fixture.form->model()->rowCount(), 1);
    QVERIFY(dialog->isVisible());
    for (const char *name : {"Text1", "Text2"})
        QVERIFY(fixture.box(dialog, name)->isEnabled());
    QVERIFY(fixture.addButton(dialog)->isEnabled());
    QCOMPARE(fixture.box(dialog, "Text1")->text(), QStringLiteral("600000"));
    QCOMPARE(fixture.box(dialog, "Text4")->text(), QStringLiteral("10.5"));
    QCOMPARE(readFile(fixture.dataPath() / "Setting.ini"), std::string("000001\r\n"));
    QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini"), std::string("11\r\n"));
    QCOMPARE(readFile(fixture.dataPath() / "Setting3.ini"), std::string("9\r\n"));

    // Once the obstacle is gone the same click succeeds.
    std::filesystem::remove_all(fixture.dataPath() / "Setting2.ini.new");
    QPointer<FrmAdd> guard(dialog);
    QTest::mouseClick(fixture.addButton(dialog), Qt::LeftButton);
    QTRY_VERIFY(!guard);
    QCOMPARE(fixture.form->model()->rowCount(), 2);
    QCOMPARE(readFile(fixture.dataPath() / "Setting2.ini"), std::string("11\r\n10.5\r\n"));
}

void TestFrmAdd::readOnlyRunRefusesAdd()
{
    DialogFixture fixture;
    serveUsualReplies(fixture.service);
    // A code file that exists but cannot be read.
    std::filesystem::create_directory(fixture.dataPath() / "Setting.ini");
    fixture.start();
    QCOMPARE(fixture.messages.size(), 1); // at start-up
    FrmAdd *dialog = fixture.open();
    QVERIFY(dialog);
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    QTest::mouseClick(fixture.addButton(dialog), Qt::LeftButton);
    QCoreApplication::processEvents();

    QCOMPARE(fixture.messages.size(), 2);
    QVERIFY2(fixture.messages[1].contains(QStringLiteral("启动时无法读取")),
             qPrintable(fixture.messages[1]));
    QVERIFY(fixture.messages[1].contains(QStringLiteral("没有添加")));
    QCOMPARE(fixture.form->model()->rowCount(), 0);
    QVERIFY(dialog->isVisible());
    QVERIFY(!std::filesystem::exists(fixture.dataPath() / "Setting2.ini"));
    QVERIFY(std::filesystem::is_directory(fixture.dataPath() / "Setting.ini"));
}

QTEST_MAIN(TestFrmAdd)
#include "test_frmadd.moc"
