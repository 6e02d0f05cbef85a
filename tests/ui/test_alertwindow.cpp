// The alert window on its own: what it shows, what its labels and buttons do, and where it
// goes on the screen (also run on screens of other sizes).
#include "core/alertplacement.h"
#include "platform/screenmetrics.h"
#include "services/alertmonitor.h"
#include "ui/alertwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace velmora;

namespace {

const QString kSite = "www.tesquin.example";
const AlertNotice kNotice{1, AlertKind::StopLoss, "600001", "名称", "9.99", "10.45", "止损价："};

template <typename T = QWidget> T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// What the fields and the threshold's label say.
QStringList fields(const QWidget &window)
{
    QStringList texts;
    for (const char *name : {"Text1", "Text2", "Text3", "Text4", "Label4"})
        texts << child(window, name)->property("text").toString();
    return texts;
}

// The frame's right edge on the screen's, its bottom 500 twips above the screen's.
bool atBottomRight(const QWidget &window)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = window.frameGeometry();
    const int below = screen.y() + screen.height() - (frame.y() + frame.height());
    return screen.x() + screen.width() == frame.x() + frame.width() &&
           qAbs(below - TwipsToPixels(500)) <= 1;
}

} // namespace

class TestAlertWindow : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void linksAskForSite_data();
    void linksAskForSite();
    void buttonsHide_data();
    void buttonsHide();
    void placementRule_data();
    void placementRule();
    void placedAtBottomRight();
    void movedWindowStaysPut();
    void closedThroughFrameIsPlacedAgain();
    void showsWithoutTakingFocus();
};

void TestAlertWindow::controls_data()
{
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("caption");
    QTest::newRow("real quotes") << false << "股价预警！";
    QTest::newRow("demo quotes") << true << "股价预警！（演示行情）";
}

void TestAlertWindow::controls()
{
    QFETCH(bool, demo);
    QFETCH(QString, caption);
    AlertWindow window(kSite, demo);
    QCOMPARE(window.objectName() + " " + window.windowTitle(), "tx " + caption);
    QStringList shown; // from top left to bottom right
    for (const char *name : {"Label1", "Text1", "Label2", "Text2", "Label3", "Text3", "Label4",
                             "Text4", "Label5", "Label6", "Label7", "Command2", "Command1"})
        shown << QString::fromLatin1(name) + "=" + child(window, name)->property("text").toString();
    QCOMPARE(shown,
             (QStringList{"Label1=股票代码", "Text1=", "Label2=股票名称",
                          "Text2=", "Label3=最新价：", "Text3=", "Label4=止盈价：", "Text4=",
                          "Label5=Tesquin", "Label6=Orlentis最新传闻实时解盘大盘预测个股点评",
                          "Label7=www.tesquin.example", "Command2=稍后提示", "Command1=关闭预警"}));
    // The fields are for reading, and a screen reader can tell the four apart.
    QSet<QString> names;
    for (const char *name : {"Text1", "Text2", "Text3", "Text4"}) {
        auto *edit = child<QLineEdit>(window, name);
        QVERIFY2(edit->isReadOnly(), name);
        names << QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name);
    }
    names.remove(QString());
    QCOMPARE(names.size(), 4);
}

void TestAlertWindow::linksAskForSite_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("byKeyboard");
    for (const char *name : {"Label5", "Label6", "Label7"}) {
        QTest::addRow("%s clicked", name) << QString::fromLatin1(name) << false;
        QTest::addRow("%s by Return", name) << QString::fromLatin1(name) << true;
    }
}

// The site opens; the window stays as it is and alerts stay on.
void TestAlertWindow::linksAskForSite()
{
    QFETCH(QString, name);
    QFETCH(bool, byKeyboard);
    AlertWindow window(kSite, false);
    QSignalSpy site(&window, &AlertWindow::siteRequested);
    QSignalSpy switchedOff(&window, &AlertWindow::alertsOffRequested);
    window.presentAlert(kNotice);
    const QPoint placed = window.pos();

    auto *label = window.findChild<QLabel *>(name);
    if (byKeyboard) {
        label->setFocus();
        QTest::keyClick(label, Qt::Key_Return);
    } else {
        QTest::mouseClick(label, Qt::LeftButton);
    }
    QCOMPARE(site.size(), 1);
    QCOMPARE(switchedOff.size(), 0);
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), placed);
    QCOMPARE(fields(window), (QStringList{"600001", "名称", "9.99", "10.45", "止损价："}));
}

void TestAlertWindow::buttonsHide_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<bool>>("visibleWhenSwitchedOff");
    QTest::newRow("稍后提示 only hides") << "Command2" << QList<bool>{};
    QTest::newRow("关闭预警 switches alerts off before hiding") << "Command1" << QList<bool>{true};
}

void TestAlertWindow::buttonsHide()
{
    QFETCH(QString, button);
    QFETCH(QList<bool>, visibleWhenSwitchedOff);
    AlertWindow window(kSite, false);
    QList<bool> seen;
    connect(&window, &AlertWindow::alertsOffRequested, &window,
            [&] { seen << window.isVisible(); });
    window.presentAlert(kNotice);
    QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(seen, visibleWhenSwitchedOff);
    QVERIFY(!window.isVisible());
    // Hiding keeps what the last alert wrote.
    QCOMPARE(fields(window), (QStringList{"600001", "名称", "9.99", "10.45", "止损价："}));
}

void TestAlertWindow::placementRule_data()
{
    QTest::addColumn<float>("screenWidth");
    QTest::addColumn<float>("screenHeight");
    QTest::addColumn<float>("outerWidth");
    QTest::addColumn<float>("outerHeight");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");

    // Client 3825 x 2505 with a frame of 4 px sides and a 24 px title bar at 15 twips a pixel.
    QTest::newRow("1024x768") << 15360.f << 11520.f << 3945.f << 2925.f << 11415.f << 8095.f;
    QTest::newRow("1280x800") << 19200.f << 12000.f << 3945.f << 2925.f << 15255.f << 8575.f;
    QTest::newRow("1920x1080") << 28800.f << 16200.f << 3945.f << 2925.f << 24855.f << 12775.f;
    QTest::newRow("3840x2160") << 57600.f << 32400.f << 3945.f << 2925.f << 53655.f << 28975.f;
    QTest::newRow("no frame") << 12000.f << 9000.f << 3825.f << 2505.f << 8175.f << 5995.f;
    // No clamping: a screen too small for the window pushes it off the top.
    QTest::newRow("tiny screen") << 3000.f << 2000.f << 3945.f << 2925.f << -945.f << -1425.f;
}

void TestAlertWindow::placementRule()
{
    QFETCH(float, screenWidth);
    QFETCH(float, screenHeight);
    QFETCH(float, outerWidth);
    QFETCH(float, outerHeight);
    QFETCH(float, left);
    QFETCH(float, top);
    const TwipsPoint point = AlertWindowTopLeft(screenWidth, screenHeight, outerWidth, outerHeight);
    QCOMPARE(point.left, left);
    QCOMPARE(point.top, top);
}

void TestAlertWindow::placedAtBottomRight()
{
    // Runs once per configured screen size; check the configuration took effect.
    const QByteArray expected = qgetenv("VELMORA_TEST_SCREEN");
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    if (!expected.isEmpty())
        QCOMPARE(QByteArray::number(screen.width()) + "x" + QByteArray::number(screen.height()),
                 expected);

    AlertWindow window(kSite, false);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The frame may come a moment after the window is exposed.
    QTRY_VERIFY(atBottomRight(window));
}

void TestAlertWindow::movedWindowStaysPut()
{
    AlertWindow window(kSite, false);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(40, 30);
    QTRY_COMPARE(window.pos(), QPoint(40, 30));
    QTest::mouseClick(child<QPushButton>(window, "Command2"), Qt::LeftButton);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), QPoint(40, 30));
}

void TestAlertWindow::closedThroughFrameIsPlacedAgain()
{
    AlertWindow window(kSite, false);
    QSignalSpy switchedOff(&window, &AlertWindow::alertsOffRequested);
    window.presentAlert(kNotice);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(40, 30);
    QTRY_COMPARE(window.pos(), QPoint(40, 30));

    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    QCOMPARE(switchedOff.size(), 0);
    // The main window usually sits hidden in the tray: this close must not end the program.
    QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));

    AlertNotice next = kNotice;
    next.thresholdCaption = "止盈价：";
    window.presentAlert(next);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(atBottomRight(window));
    QCOMPARE(child<QLabel>(window, "Label4")->text(), "止盈价：");
}

void TestAlertWindow::showsWithoutTakingFocus()
{
    QWidget other;
    auto *edit = new QLineEdit(&other);
    other.show();
    QApplication::setActiveWindow(&other);
    edit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    AlertWindow window(kSite, false);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
    if (QGuiApplication::platformName() == "offscreen")
        QSKIP("the offscreen platform activates every window it shows; the keyboard focus is "
              "checked on a real window system only");
    QTest::qWait(200); // let any activation by the window manager arrive
    QCOMPARE(QApplication::focusWidget(), edit);
}

QTEST_MAIN(TestAlertWindow)
#include "test_alertwindow.moc"
