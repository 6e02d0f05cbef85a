// The program in the tray: the icon's clicks, the tray menu's commands, closing and
// minimising with and without a tray, alerts, a second start and the end by a signal.
#include "core/desktopentry.h"
#include "platform/singleinstance.h"
#include "support/appfixture.h"
#include "support/replies.h"
#include "services/listactions.h"
#include "ui/alertwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QtTest/qtestspontaneevent.h>

#include <csignal>

using namespace velmora;
using namespace velmora::testing;

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

namespace {

// How the window is when the tray icon is clicked.
enum class Start
{
    Shown,
    HiddenInTray,
    MinimisedWithoutTray
};

// The close button of the window manager: a spontaneous close event, as the window system
// delivers it (sendEvent would clear the flag, notify keeps it).
bool userCloses(QWidget *window)
{
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::instance()->notify(window, &event);
    return event.isAccepted();
}

bool onTop(const QWidget &window)
{
    return window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

// Some pixel of the image is not fully transparent.
bool drawn(const QImage &image)
{
    QImage blank(image.size(), QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return !image.isNull() && image.convertToFormat(QImage::Format_ARGB32) != blank;
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void iconsAreDrawn();
    void glanceFollowsTheList();
    void trayClicks_data();
    void trayClicks();
    void menuStaysPlainAfterUse();
    void dividersDoNothing();
    void webPageItems_data();
    void webPageItems();
    void exitItem();
    void startAtLoginItems();
    void startAtLoginFailure();
    void alertsAndTheAlertWindow();
    void closeAndMinimise_data();
    void closeAndMinimise();
    void trayAppearingLater();
    void closingAnotherWindowWhileHidden();
    void secondStartBringsWindowBack();
    void signalsEndTheProgram_data();
    void signalsEndTheProgram();
    void signalsEndTheRealProgram_data();
    void signalsEndTheRealProgram();

private:
    [[nodiscard]] bool bringTo(Start start);
    MainWindow &window() const { return f->window(); }
    QSystemTrayIcon *icon() const { return f->app->trayIcon().icon(); }

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<AppFixture> f;
};

void TestTray::initTestCase()
{
    // As main() sets up the program: only the tray menu's exit (or a close the user did not
    // start) ends it.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestTray::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    f = std::make_unique<AppFixture>();
    f->settings.dataDirChosen = true;
    QVERIFY(f->start());
}

void TestTray::cleanup()
{
    f.reset();
}

bool TestTray::bringTo(Start start)
{
    if (start == Start::HiddenInTray && (userCloses(&window()) || window().isVisible()))
        return false;
    if (start == Start::MinimisedWithoutTray) {
        f->trayThere = false;
        window().showMinimized();
        QTest::qWait(50);
        f->trayThere = true;
        if (!window().isVisible())
            return false;
    }
    return !onTop(window());
}

void TestTray::iconsAreDrawn()
{
    // An icon without its image embeds as an empty square nobody can find in the tray; the
    // tray and the windows show the same picture.
    const QIcon tray = icon()->icon(), own = window().windowIcon();
    QVERIFY(!tray.availableSizes().isEmpty());
    QCOMPARE(tray.availableSizes(), own.availableSizes());
    for (const int side : {16, 22, 32}) {
        QVERIFY2(drawn(tray.pixmap(side).toImage()), qPrintable(QString::number(side)));
        QCOMPARE(tray.pixmap(side).toImage(), own.pixmap(side).toImage());
    }
}

// The icon carries the first row's change in its colour, the tip the first ten rows; discreet
// mode shows neither, and hides the window until it ends.
void TestTray::glanceFollowsTheList()
{
    WatchList &list = f->list();
    for (int i = 0; i < 12; ++i)
        QVERIFY(f->app->listActions().add({std::to_string(600000 + i), "", ""}).ok);
    for (int i = 0; i < 12; ++i) {
        Quote quote;
        quote.name = "股票";
        quote.price = "10.50";
        quote.change = i == 0 ? "1.62%" : "-0.35%";
        QVERIFY(list.applyQuote(list.rowAt(i).id, quote, 1));
    }
    auto inkOf = [this](QRgb colour) {
        const QImage image = icon()->icon().pixmap(22).toImage().convertToFormat(QImage::Format_RGB32);
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink += image.pixel(x, y) == colour;
        return ink;
    };
    QTRY_VERIFY(inkOf(qRgb(255, 0, 0)) > 10); // "+1.6" in red
    QStringList tip = icon()->toolTip().split('\n');
    QCOMPARE(tip.size(), 2 + 10);
    QCOMPARE(tip[2], "600000 股票 10.50 +1.62%");
    QCOMPARE(tip[11], "600009 股票 10.50 -0.35%");
    Quote falling = list.rowAt(0).quote;
    falling.change = "-2.00%";
    QVERIFY(list.applyQuote(list.rowAt(0).id, falling, 2));
    QTRY_VERIFY(inkOf(qRgb(0, 0, 255)) > 10 && inkOf(qRgb(255, 0, 0)) == 0);

    f->action("discreetItem")->trigger();
    QVERIFY(!window().isVisible());
    QCOMPARE(icon()->toolTip(), TrayIcon::toolTipFor(false));
    QCOMPARE(icon()->icon().pixmap(22).toImage(), window().windowIcon().pixmap(22).toImage());
    f->action("discreetItem")->trigger();
    QVERIFY(window().isVisible());
    QTRY_VERIFY(inkOf(qRgb(0, 0, 255)) > 10);

    UserSettings none = f->app->settings().user;
    none.trayShow = TrayShow::None;
    f->app->applySettings(none);
    QCOMPARE(icon()->icon().pixmap(22).toImage(), window().windowIcon().pixmap(22).toImage());
}

void TestTray::trayClicks_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<QList<QSystemTrayIcon::ActivationReason>>("reasons");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("topmost");
    QTest::addColumn<bool>("menuOpen");

    using R = QSystemTrayIcon::ActivationReason;
    using L = QList<R>;
    QTest::newRow("left click on a shown window: on top")
        << Start::Shown << L{R::Trigger} << true << true << false;
    QTest::newRow("left click on a hidden window: back, restored, on top")
        << Start::HiddenInTray << L{R::Trigger} << true << true << false;
    QTest::newRow("left click on a window minimised to the task bar: restored")
        << Start::MinimisedWithoutTray << L{R::Trigger} << true << true << false;
    QTest::newRow("double click on a hidden window, as the tray reports it")
        << Start::HiddenInTray << L{R::Trigger, R::DoubleClick, R::Trigger} << true << true
        << false;
    QTest::newRow("double click alone on a hidden window")
        << Start::HiddenInTray << L{R::DoubleClick} << true << true << false;
    QTest::newRow("double click on a shown window")
        << Start::Shown << L{R::DoubleClick} << true << true << false;
    QTest::newRow("right click on a shown window: the menu, nothing else")
        << Start::Shown << L{R::Context} << true << false << true;
    QTest::newRow("right click on a hidden window: the menu, window stays hidden")
        << Start::HiddenInTray << L{R::Context} << false << false << true;
    QTest::newRow("middle click: nothing")
        << Start::HiddenInTray << L{R::MiddleClick} << false << false << false;
    QTest::newRow("unknown: nothing") << Start::Shown << L{R::Unknown} << true << false << false;
}

void TestTray::trayClicks()
{
    QFETCH(Start, start);
    QFETCH(QList<QSystemTrayIcon::ActivationReason>, reasons);
    QFETCH(bool, visible);
    QFETCH(bool, topmost);
    QFETCH(bool, menuOpen);

    const QSize normalSize = window().size();
    QVERIFY(bringTo(start));
    for (auto reason : reasons)
        emit icon()->activated(reason);
    QCoreApplication::processEvents();

    QCOMPARE(window().isVisible(), visible);
    QCOMPARE(onTop(window()), topmost);
    QCOMPARE(f->app->trayIcon().menu()->isVisible(), menuOpen);
    if (visible) {
        QVERIFY(!window().isMinimized());
        QCOMPARE(window().size(), normalSize);
    }
    QVERIFY(f->ends.isEmpty());
    QVERIFY(icon()->isVisible());
    f->app->trayIcon().menu()->hide();
}

void TestTray::menuStaysPlainAfterUse()
{
    // Every item, used once (隐身模式, a switch, twice), leaves every item visible, enabled,
    // unchecked and in its place.
    const QList<QAction *> before = f->app->trayIcon().menu()->actions();
    for (QAction *item : before) {
        if (item->objectName() != "mn16")
            item->trigger();
        if (item->objectName() == "discreetItem")
            item->trigger();
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w != &window() && w->isVisible() && !qobject_cast<QMenu *>(w))
                w->close();
        }
    }
    QCOMPARE(f->app->trayIcon().menu()->actions(), before);
    for (QAction *item : before) {
        QVERIFY2(item->isVisible() && item->isEnabled() &&
                     (!item->isCheckable() || item->objectName() == "discreetItem") &&
                     !item->isChecked() && !item->isSeparator(),
                 qPrintable(item->objectName()));
    }
}

void TestTray::dividersDoNothing()
{
    const QRect geometry = window().geometry();
    const qsizetype windows = QApplication::topLevelWidgets().size();
    for (const char *name : {"mn21", "mn18", "mn11", "mn14"})
        f->action(name)->trigger();
    QCoreApplication::processEvents();
    QVERIFY(f->ends.isEmpty());
    QVERIFY(f->opened.isEmpty());
    QVERIFY(f->messages.isEmpty());
    QVERIFY(window().isVisible());
    QVERIFY(!onTop(window()));
    QCOMPARE(window().geometry(), geometry);
    QVERIFY(!f->app->alertMonitor().alertsEnabled());
    QVERIFY(QDir(m_config->path()).isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
}

void TestTray::webPageItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QUrl>("opened");
    QTest::newRow("home page") << "mn1" << QUrl("http://www.tesquin.example/");
    QTest::newRow("membership page") << "mn15" << QUrl("http://www.tesquin.example/huiyuan/");
}

void TestTray::webPageItems()
{
    QFETCH(QString, item);
    QFETCH(QUrl, opened);
    f->action(item.toLatin1().constData())->trigger();
    QCOMPARE(f->opened, QList<QUrl>{opened});
    QVERIFY(f->ends.isEmpty());
    QVERIFY(f->messages.isEmpty());
}

void TestTray::exitItem()
{
    // Exit asks nothing, even with another window open.
    f->action("mn17")->trigger();
    f->action("mn16")->trigger();
    QCOMPARE(f->ends, QList<int>{0});
    QVERIFY(!icon()->isVisible());
    QVERIFY(f->messages.isEmpty());
}

void TestTray::startAtLoginItems()
{
    const QString entry = m_config->path() + "/autostart/" +
                          QFileInfo(QCoreApplication::applicationFilePath()).fileName() +
                          ".desktop";
    // The login start opens the same list: the chosen data directory goes with it.
    const auto expected = AutostartEntryText(QCoreApplication::applicationFilePath().toStdString(),
                                             {"--data-dir", f->settings.dataDir.toStdString()});
    QVERIFY(expected);

    f->action("mn12")->trigger();
    QCOMPARE(readFile(entry.toStdString()), *expected);
    f->action("mn12")->trigger(); // again: the same single entry
    QCOMPARE(QDir(m_config->path() + "/autostart").entryList(QDir::Files),
             QStringList{QFileInfo(entry).fileName()});
    f->action("mn13")->trigger();
    QVERIFY(!QFile::exists(entry));
    QVERIFY(f->messages.isEmpty());

    // Nothing left to remove: said so, and nothing else happens.
    f->action("mn13")->trigger();
    QCOMPARE(f->messages.size(), 1);
    QVERIFY2(f->messages.first().startsWith("无法取消开机启动") &&
                 f->messages.first().contains(QFileInfo(entry).fileName()),
             qPrintable(f->messages.first()));
    QVERIFY(f->ends.isEmpty());
}

void TestTray::startAtLoginFailure()
{
    // A file where the autostart folder must go (root ignores permissions).
    writeFile((m_config->path() + "/autostart").toStdString(), "x");
    f->action("mn12")->trigger();
    QCOMPARE(f->messages.size(), 1);
    QVERIFY2(f->messages.first().startsWith("无法设置开机启动"), qPrintable(f->messages.first()));
    QVERIFY(window().isVisible());
    QVERIFY(f->ends.isEmpty());
}

// 预警开 and 预警关 reach the alerts; an alert shows the alert window, whose labels open the
// site and whose 关闭预警 switches alerts off.
void TestTray::alertsAndTheAlertWindow()
{
    f->putFiles("600000\r\n", "10.5\r\n", "9\r\n");
    f->server.setReply("600000", QuoteReplyText("示例股份", "10.60"));
    QVERIFY(f->start());
    f->action("mn19")->trigger();
    QVERIFY(f->app->alertMonitor().alertsEnabled());
    f->action("mn20")->trigger();
    QVERIFY(!f->app->alertMonitor().alertsEnabled());
    QVERIFY(!f->app->windows().alertWindow());

    f->action("mn19")->trigger();
    f->app->alertMonitor().checkAll();
    QTRY_VERIFY(f->app->windows().alertWindow() && f->app->windows().alertWindow()->isVisible());
    AlertWindow *alert = f->app->windows().alertWindow();
    QCOMPARE(f->box(alert, "Text1")->text() + " " + f->box(alert, "Text3")->text(), "600000 10.60");
    QTest::mouseClick(alert->findChild<QLabel *>("Label7"), Qt::LeftButton);
    QCOMPARE(f->opened, QList<QUrl>{QUrl("http://www.tesquin.example/")});
    QTest::mouseClick(f->button(alert), Qt::LeftButton);
    QVERIFY(!f->app->alertMonitor().alertsEnabled());
    QVERIFY(!alert->isVisible());
}

void TestTray::closeAndMinimise_data()
{
    QTest::addColumn<bool>("trayThere");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("ended");

    QTest::newRow("close button with a tray: hidden, still running")
        << true << "close button" << false << false;
    QTest::newRow("minimise with a tray: hidden") << true << "minimise" << false << false;
    QTest::newRow("close from code: ends") << true << "close from code" << false << true;
    QTest::newRow("close button without a tray: ends") << false << "close button" << true << true;
    QTest::newRow("minimise without a tray: an ordinary minimise")
        << false << "minimise" << true << false;
}

void TestTray::closeAndMinimise()
{
    QFETCH(bool, trayThere);
    QFETCH(QString, how);
    QFETCH(bool, visible);
    QFETCH(bool, ended);

    f->trayThere = trayThere;
    bool accepted = false;
    if (how == "close button")
        accepted = userCloses(&window());
    else if (how == "minimise")
        window().showMinimized();
    else
        accepted = window().close();
    QTest::qWait(50);

    QCOMPARE(accepted, ended);
    QCOMPARE(f->ends, ended ? QList<int>{0} : QList<int>{});
    QCOMPARE(icon()->isVisible(), !ended);
    if (!ended) {
        QCOMPARE(window().isVisible(), visible);
        QCOMPARE(window().isMinimized(), how == "minimise");
    }
}

void TestTray::trayAppearingLater()
{
    f->trayThere = false;
    window().showMinimized();
    QTest::qWait(50);
    QVERIFY(window().isVisible());
    window().showNormal();

    f->trayThere = true; // a panel with a tray starts
    window().showMinimized();
    QTRY_VERIFY(!window().isVisible());
    emit icon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(window().isVisible());
    QVERIFY(!userCloses(&window()));
    QTRY_VERIFY(!window().isVisible());
    QVERIFY(f->ends.isEmpty());
}

void TestTray::closingAnotherWindowWhileHidden()
{
    QVERIFY(bringTo(Start::HiddenInTray));
    f->action("mn17")->trigger(); // the add dialog
    QWidget *dialog = f->app->windows().addDialog();
    QVERIFY(dialog);
    QVERIFY(userCloses(dialog) || dialog->close());
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QVERIFY(other.close());
    QTest::qWait(100);
    QVERIFY(f->ends.isEmpty());
    QVERIFY(icon()->isVisible());
    QVERIFY(!window().isVisible());
}

void TestTray::secondStartBringsWindowBack()
{
    QVERIFY(bringTo(Start::HiddenInTray));
    f->app->mainWindow().bringToFront();
    QVERIFY(window().isVisible());
    QVERIFY(!window().isMinimized());
}

void TestTray::signalsEndTheProgram_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestTray::signalsEndTheProgram()
{
    QFETCH(int, signalNumber);
    QVERIFY(bringTo(Start::HiddenInTray));
    std::raise(signalNumber);
    QTRY_COMPARE(f->ends, QList<int>{0});
    QVERIFY(!icon()->isVisible());
}

void TestTray::signalsEndTheRealProgram_data()
{
    signalsEndTheProgram_data();
}

void TestTray::signalsEndTheRealProgram()
{
    QFETCH(int, signalNumber);
    QTemporaryDir data, runtime;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(VELMORA_BINARY, {"--demo", "--data-dir", data.path()});
    QVERIFY(program.waitForStarted());

    // Up and answering from its event loop: a second start on its folder is handed over.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleInstance probe(data.path());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(probe.lockPath()), 20000);
    QCOMPARE(probe.claim(), SingleInstance::Claim::HandedOver);
    qunsetenv("XDG_RUNTIME_DIR");

    ::kill(static_cast<pid_t>(program.processId()), signalNumber);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFile::exists(probe.lockPath()));
    QVERIFY(!QFile::exists(probe.socketPath()));
}

QTEST_MAIN(TestTray)
#include "test_tray.moc"
