#include "core/alertplacement.h"
#include "ui/alertwindow.h"
#include "platform/openurl.h"
#include "platform/screenmetrics.h"

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

AppSettings siteSettings(bool demo = false)
{
    AppSettings settings;
    settings.quoteBase = QUrl(u"http://127.0.0.1:9"_qs);
    settings.siteBase = QUrl(u"http://www.tesquin.example:8080"_qs);
    settings.demo = demo;
    return settings;
}

QRect twips(int left, int top, int width, int height)
{
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

template <typename T> T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

QString textOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *button = qobject_cast<QPushButton *>(widget))
        return button->text();
    return u"<unknown kind>"_qs;
}

// Pixels between the frame's bottom edge and the screen's.
int gapBelow(const QWidget &window)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return screen.y() + screen.height() - (window.frameGeometry().y() + window.frameGeometry().height());
}

int gapRight(const QWidget &window)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return screen.x() + screen.width() - (window.frameGeometry().x() + window.frameGeometry().width());
}

} // namespace

class TestAlertWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void controls_data();
    void controls();
    void fonts_data();
    void fonts();
    void buttonColours();
    void caption_data();
    void caption();
    void textBoxesForReadingAndNamed();
    void linksOpenSiteRoot_data();
    void linksOpenSiteRoot();
    void remindLaterHides();
    void closeAlertSwitchesOffBeforeHiding();
    void placementRule_data();
    void placementRule();
    void placedAtBottomRight();
    void movedWindowStaysPut();
    void closedThroughFrameIsPlacedAgain();
    void showsWithoutTakingFocus();
};

void TestAlertWindow::cleanup()
{
    SetOpenUrlHookForTests(nullptr);
}

void TestAlertWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    QTest::newRow("Label1") << "Label1" << twips(120, 120, 975, 375) << "股票代码";
    QTest::newRow("Text1") << "Text1" << twips(1200, 120, 1575, 375) << "";
    QTest::newRow("Label2") << "Label2" << twips(120, 600, 975, 375) << "股票名称";
    QTest::newRow("Text2") << "Text2" << twips(1200, 600, 1575, 375) << "";
    QTest::newRow("Label3") << "Label3" << twips(120, 1080, 975, 375) << "最新价：";
    QTest::newRow("Text3") << "Text3" << twips(1200, 1080, 1575, 375) << "";
    QTest::newRow("Label4") << "Label4" << twips(120, 1560, 975, 375) << "止盈价：";
    QTest::newRow("Text4") << "Text4" << twips(1200, 1560, 1575, 375) << "";
    QTest::newRow("Label5") << "Label5" << twips(2880, 120, 735, 255) << "Tesquin";
    QTest::newRow("Label6") << "Label6" << twips(2880, 600, 735, 975)
                            << "Orlentis最新传闻实时解盘大盘预测个股点评";
    QTest::newRow("Label7") << "Label7" << twips(2880, 1680, 855, 375) << "www.tesquin.example";
    QTest::newRow("Command2") << "Command2" << twips(240, 2040, 1455, 375) << "稍后提示";
    QTest::newRow("Command1") << "Command1" << twips(2040, 2040, 1455, 375) << "关闭预警";
}

void TestAlertWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    AlertWindow window(siteSettings());
    QCOMPARE(window.objectName(), u"tx"_qs);
    QCOMPARE(window.size(), QSize(TwipsToPixels(3825), TwipsToPixels(2505)));
    auto *control = window.findChild<QWidget *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(textOf(control), text);
}

void TestAlertWindow::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("songTi");

    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Text1", "Text2",
                             "Text3", "Text4"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    for (const char *name : {"Label6", "Label7", "Command1", "Command2"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void TestAlertWindow::fonts()
{
    QFETCH(QString, name);
    QFETCH(bool, songTi);

    AlertWindow window(siteSettings());
    auto *control = window.findChild<QWidget *>(name);
    QVERIFY(control);
    if (songTi) {
        QCOMPARE(control->font().family(), u"宋体"_qs);
        QCOMPARE(control->font().pointSizeF(), 10.5);
        QCOMPARE(control->font().weight(), QFont::Normal);
    } else {
        QCOMPARE(control->font(), window.font());
    }
}

void TestAlertWindow::buttonColours()
{
    AlertWindow window(siteSettings());
    for (const char *name : {"Command1", "Command2"}) {
        auto *button = child<QPushButton>(window, name);
        QVERIFY(button);
        QCOMPARE(button->palette().color(QPalette::Button), QColor(255, 128, 128));
    }
}

void TestAlertWindow::caption_data()
{
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("caption");
    QTest::newRow("real quotes") << false << "股价预警！";
    QTest::newRow("demo quotes") << true << "股价预警！（演示行情）";
}

void TestAlertWindow::caption()
{
    QFETCH(bool, demo);
    QFETCH(QString, caption);
    AlertWindow window(siteSettings(demo));
    QCOMPARE(window.windowTitle(), caption);
}

void TestAlertWindow::textBoxesForReadingAndNamed()
{
    AlertWindow window(siteSettings());
    window.showAlert();
    QSet<QString> names;
    for (const char *name : {"Text1", "Text2", "Text3", "Text4"}) {
        auto *edit = child<QLineEdit>(window, name);
        QVERIFY(edit);
        QVERIFY(edit->isReadOnly());
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(edit);
        QVERIFY(accessible);
        const QString accessibleName = accessible->text(QAccessible::Name);
        QVERIFY2(!accessibleName.isEmpty(), name);
        names.insert(accessibleName);
    }
    QCOMPARE(names.size(), 4); // a screen reader can tell the four apart
}

void TestAlertWindow::linksOpenSiteRoot_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("byKeyboard");
    for (const char *name : {"Label5", "Label6", "Label7"}) {
        QTest::addRow("%s clicked", name) << QString::fromLatin1(name) << false;
        QTest::addRow("%s by Return", name) << QString::fromLatin1(name) << true;
    }
}

void TestAlertWindow::linksOpenSiteRoot()
{
    QFETCH(QString, name);
    QFETCH(bool, byKeyboard);

    QList<QUrl> opened;
    SetOpenUrlHookForTests([&opened](const QUrl &url) {
        opened << url;
        return false; // no browser: the window must not care
    });
    AlertWindow window(siteSettings());
    QSignalSpy switchedOff(&window, &AlertWindow::alertsOffRequested);
    window.showAlert();
    window.setAlert(u"600001"_qs, u"名称"_qs, u"10.19"_qs, u"10.20"_qs, u"止损价："_qs);
    const QPoint placed = window.pos();

    auto *label = window.findChild<QLabel *>(name);
    QVERIFY(label);
    if (byKeyboard) {
        label->setFocus();
        QTest::keyClick(label, Qt::Key_Return);
    } else {
        QTest::mouseClick(label, Qt::LeftButton);
    }

    QCOMPARE(opened, QList<QUrl>{QUrl(u"http://www.tesquin.example:8080/"_qs)});
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), placed);
    QCOMPARE(switchedOff.count(), 0);
    QCOMPARE(child<QLineEdit>(window, "Text1")->text(), u"600001"_qs);
    QCOMPARE(child<QLineEdit>(window, "Text4")->text(), u"10.20"_qs);
    QCOMPARE(child<QLabel>(window, "Label4")->text(), u"止损价："_qs);
}

void TestAlertWindow::remindLaterHides()
{
    AlertWindow window(siteSettings());
    QSignalSpy switchedOff(&window, &AlertWindow::alertsOffRequested);
    window.showAlert();
    window.setAlert(u"600001"_qs, u"名称"_qs, u"9.99"_qs, u"10.45"_qs, u"止损价："_qs);
    QTest::mouseClick(child<QPushButton>(window, "Command2"), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QCOMPARE(switchedOff.count(), 0);
    // Hiding keeps what the last alert wrote.
    QCOMPARE(child<QLineEdit>(window, "Text3")->text(), u"9.99"_qs);
    QCOMPARE(child<QLabel>(window, "Label4")->text(), u"止损价："_qs);
}

void TestAlertWindow::closeAlertSwitchesOffBeforeHiding()
{
    AlertWindow window(siteSettings());
    QList<bool> visibleWhenSwitchedOff;
    connect(&window, &AlertWindow::alertsOffRequested, &window,
            [&] { visibleWhenSwitchedOff << window.isVisible(); });
    window.showAlert();
    QTest::mouseClick(child<QPushButton>(window, "Command1"), Qt::LeftButton);
    QCOMPARE(visibleWhenSwitchedOff, QList<bool>{true});
    QVERIFY(!window.isVisible());
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
        QCOMPARE(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()).toLatin1(),
                 expected);

    AlertWindow window(siteSettings());
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The frame may come a moment after the window is exposed.
    QTRY_COMPARE(gapRight(window), 0);
    QTRY_VERIFY2(qAbs(gapBelow(window) - TwipsToPixels(500)) <= 1,
             qPrintable(QStringLiteral("gap below %1 px").arg(gapBelow(window))));
}

void TestAlertWindow::movedWindowStaysPut()
{
    AlertWindow window(siteSettings());
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint moved(40, 30);
    window.move(moved);
    QTRY_COMPARE(window.pos(), moved);
    QTest::mouseClick(child<QPushButton>(window, "Command2"), Qt::LeftButton);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.pos(), moved);
}

void TestAlertWindow::closedThroughFrameIsPlacedAgain()
{
    AlertWindow window(siteSettings());
    QSignalSpy switchedOff(&window, &AlertWindow::alertsOffRequested);
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(40, 30);
    QTRY_COMPARE(window.pos(), QPoint(40, 30));
    window.setAlert(u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"止损价："_qs);

    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    QCOMPARE(switchedOff.count(), 0);
    // The main window usually sits hidden in the tray: this close must not end the program.
    QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));

    window.showAlert();
    window.setAlert(u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"止盈价："_qs);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(gapRight(window), 0);
    QTRY_VERIFY(qAbs(gapBelow(window) - TwipsToPixels(500)) <= 1);
    QCOMPARE(child<QLabel>(window, "Label4")->text(), u"止盈价："_qs);
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

    AlertWindow window(siteSettings());
    window.showAlert();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(!(window.windowFlags() & Qt::WindowStaysOnTopHint));
    if (QGuiApplication::platformName() == u"offscreen"_qs)
        QSKIP("the offscreen platform activates every window it shows; the keyboard focus is "
              "checked on a real window system only");
    QTest::qWait(200); // let any activation by the window manager arrive
    QCOMPARE(QApplication::focusWidget(), edit);
}

QTEST_MAIN(TestAlertWindow)
#include "test_alertwindow.moc"
