#include "ui/mainwindow.h"
#include "ui/trayicon.h"
#include "core/desktopentry.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "platform/singleinstance.h"
#include "core/watchliststore.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>

#include <csignal>
#include <memory>

using namespace velmora;
using namespace velmora::testing;

Q_DECLARE_METATYPE(QSystemTrayIcon::ActivationReason)

namespace {

// How the window is when the tray icon is clicked.
enum class Start { Shown, HiddenInTray, MinimisedWithoutTray };

// The close button of the window manager: a spontaneous close event, as the window system
// delivers it (sendEvent would clear the flag, notify keeps it).
bool userCloses(QWidget *window)
{
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::instance()->notify(window, &event);
    return event.isAccepted();
}

bool onTop(QWidget *window)
{
    return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void trayIconHasItsImage();
    void trayClicks_data();
    void trayClicks();
    void menuStaysPlainAfterUse();
    void dividersDoNothing();
    void webPageItems_data();
    void webPageItems();
    void exitItem();
    void startAtLoginItems();
    void startAtLoginFailure();
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
    void startForm();
    void bringTo(Start start);

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<WatchListFiles> m_files;
    std::unique_ptr<Form1> m_form;
    TrayController *m_tray = nullptr;
    bool m_trayThere = true;
    QList<int> m_ends;
    QList<QUrl> m_opened;
    QStringList m_messages;
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
    m_trayThere = true;
    m_ends.clear();
    m_opened.clear();
    m_messages.clear();
    SetOpenUrlHookForTests([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
    Messages::setSinkForTests([this](const QString &text) { m_messages << text; });
    startForm();
}

void TestTray::cleanup()
{
    m_form->trayMenu()->hide();
    m_form.reset();
    m_files.reset();
    SetOpenUrlHookForTests(nullptr);
    Messages::setSinkForTests(nullptr);
}

void TestTray::startForm()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_files = std::make_unique<WatchListFiles>(pathOf(*m_data));
    AppSettings settings;
    settings.dataDir = m_data->path();
    settings.dataDirChosen = true;
    settings.quoteBase = QUrl(QStringLiteral("http://127.0.0.1:9"));
    settings.chartBase = settings.quoteBase;
    settings.siteBase = QUrl(QStringLiteral("http://site.example:8080"));
    m_form = std::make_unique<Form1>(settings, *m_files);
    m_tray = m_form->trayController();
    QVERIFY(m_tray);
    m_tray->setTrayProbe([this] { return m_trayThere; });
    m_tray->setProgramEnd([this](int status) { m_ends << status; });
    m_form->load();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestTray::bringTo(Start start)
{
    switch (start) {
    case Start::Shown:
        break;
    case Start::HiddenInTray:
        QVERIFY(!userCloses(m_form.get()));
        QTRY_VERIFY(!m_form->isVisible());
        break;
    case Start::MinimisedWithoutTray:
        m_trayThere = false;
        m_form->showMinimized();
        QTest::qWait(50);
        QVERIFY(m_form->isVisible());
        m_trayThere = true;
        break;
    }
    QVERIFY(!onTop(m_form.get()));
}

void TestTray::trayIconHasItsImage()
{
    // An icon without its image embeds as an empty square nobody can find in the tray.
    for (const QSize size : {QSize(16, 16), QSize(22, 22), QSize(32, 32)}) {
        const QPixmap image = m_form->trayIcon()->icon().pixmap(size);
        QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("%1 px").arg(size.width())));
    }
    QVERIFY(!m_form->windowIcon().pixmap(QSize(16, 16)).isNull());
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

    const QSize normalSize = m_form->size();
    bringTo(start);
    for (auto reason : reasons)
        emit m_form->trayIcon()->activated(reason);
    QCoreApplication::processEvents();

    QCOMPARE(m_form->isVisible(), visible);
    QCOMPARE(onTop(m_form.get()), topmost);
    QCOMPARE(m_form->trayMenu()->isVisible(), menuOpen);
    if (visible) {
        QVERIFY(!m_form->isMinimized());
        QCOMPARE(m_form->size(), normalSize);
    }
    QVERIFY(m_ends.isEmpty());
    QVERIFY(m_form->trayIcon()->isVisible());
}

void TestTray::menuStaysPlainAfterUse()
{
    // Every item, used once, leaves every item visible, enabled, unchecked and in its place.
    const QList<QAction *> before = m_form->trayMenu()->actions();
    for (QAction *item : before) {
        if (item->objectName() != QLatin1String("mn16"))
            item->trigger();
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w != m_form.get() && w->isVisible() && !qobject_cast<QMenu *>(w))
                w->close();
        }
    }
    QCOMPARE(m_form->trayMenu()->actions(), before);
    for (QAction *item : before) {
        QVERIFY2(item->isVisible() && item->isEnabled(), qPrintable(item->objectName()));
        QVERIFY2(!item->isCheckable() && !item->isChecked(), qPrintable(item->objectName()));
        QVERIFY2(!item->isSeparator(), qPrintable(item->objectName()));
    }
}

void TestTray::dividersDoNothing()
{
    const QStringList dividers{"mn21", "mn18", "mn11", "mn14"};
    const QRect geometry = m_form->geometry();
    const QWidgetList windowsBefore = QApplication::topLevelWidgets();
    for (const QString &name : dividers) {
        QAction *item = m_form->action(name.toLatin1().constData());
        QVERIFY2(item, qPrintable(name));
        item->trigger();
    }
    QCoreApplication::processEvents();
    QVERIFY(m_ends.isEmpty());
    QVERIFY(m_opened.isEmpty());
    QVERIFY(m_messages.isEmpty());
    QVERIFY(m_form->isVisible());
    QVERIFY(!onTop(m_form.get()));
    QCOMPARE(m_form->geometry(), geometry);
    QVERIFY(!m_form->timer2()->isActive());
    QVERIFY(QDir(m_config->path()).isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore.size());
}

void TestTray::webPageItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QUrl>("opened");
    QTest::newRow("home page") << "mn1" << QUrl(QStringLiteral("http://site.example:8080/"));
    QTest::newRow("membership page")
        << "mn15" << QUrl(QStringLiteral("http://site.example:8080/huiyuan/"));
}

void TestTray::webPageItems()
{
    QFETCH(QString, item);
    QFETCH(QUrl, opened);
    m_form->action(item.toLatin1().constData())->trigger();
    QCOMPARE(m_opened, QList<QUrl>{opened});
    QVERIFY(m_ends.isEmpty());
    QVERIFY(m_messages.isEmpty());
}

void TestTray::exitItem()
{
    // Exit asks nothing, even with another window open.
    m_form->action("mn17")->trigger();
    m_form->action("mn16")->trigger();
    QCOMPARE(m_ends, QList<int>{0});
    QVERIFY(!m_form->trayIcon()->isVisible());
    QVERIFY(m_messages.isEmpty());
}

void TestTray::startAtLoginItems()
{
    const QString entry = m_config->path() + QStringLiteral("/autostart/") +
                          QFileInfo(QCoreApplication::applicationFilePath()).fileName() +
                          QStringLiteral(".desktop");
    // The login start opens the same list: the chosen data directory goes with it.
    const auto expected =
        AutostartEntryText(QCoreApplication::applicationFilePath().toStdString(),
                           {"--data-dir", m_data->path().toStdString()});
    QVERIFY(expected);

    m_form->action("mn12")->trigger();
    QCOMPARE(readFile(entry.toStdString()), *expected);
    m_form->action("mn12")->trigger(); // again: the same single entry
    QCOMPARE(QDir(m_config->path() + QStringLiteral("/autostart")).entryList(QDir::Files),
             QStringList{QFileInfo(entry).fileName()});
    QVERIFY(m_messages.isEmpty());

    m_form->action("mn13")->trigger();
    QVERIFY(!QFile::exists(entry));
    QVERIFY(m_messages.isEmpty());

    // Nothing left to remove: said so, and nothing else happens.
    m_form->action("mn13")->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(QStringLiteral("无法取消开机启动")),
             qPrintable(m_messages.first()));
    QVERIFY(m_messages.first().contains(entry));
    QVERIFY(m_ends.isEmpty());
}

void TestTray::startAtLoginFailure()
{
    // A file where the autostart folder must go (root ignores permissions).
    writeFile((m_config->path() + QStringLiteral("/autostart")).toStdString(), "x");
    m_form->action("mn12")->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(QStringLiteral("无法设置开机启动")),
             qPrintable(m_messages.first()));
    QVERIFY(m_form->isVisible());
    QVERIFY(m_ends.isEmpty());
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
    QTest::newRow("close button without a tray: ends")
        << false << "close button" << true << true;
    QTest::newRow("minimise without a tray: an ordinary minimise")
        << false << "minimise" << true << false;
}

void TestTray::closeAndMinimise()
{
    QFETCH(bool, trayThere);
    QFETCH(QString, how);
    QFETCH(bool, visible);
    QFETCH(bool, ended);

    m_trayThere = trayThere;
    bool accepted = false;
    if (how == QLatin1String("close button"))
        accepted = userCloses(m_form.get());
    else if (how == QLatin1String("minimise"))
        m_form->showMinimized();
    else
        accepted = m_form->close();
    QTest::qWait(50);

    QCOMPARE(accepted, ended);
    QCOMPARE(m_ends, ended ? QList<int>{0} : QList<int>{});
    QCOMPARE(m_form->trayIcon()->isVisible(), !ended);
    if (!ended) {
        QCOMPARE(m_form->isVisible(), visible);
        QCOMPARE(m_form->isMinimized(), how == QLatin1String("minimise"));
        // Hidden or not, the list keeps refreshing and docking keeps its timer.
        QVERIFY(m_form->timer1()->isActive());
        QVERIFY(m_form->timer3()->isActive());
    } else if (how == QLatin1String("close button")) {
        QVERIFY(accepted);
    }
}

void TestTray::trayAppearingLater()
{
    m_trayThere = false;
    m_form->showMinimized();
    QTest::qWait(50);
    QVERIFY(m_form->isVisible());
    m_form->showNormal();

    m_trayThere = true; // a panel with a tray starts
    m_form->showMinimized();
    QTRY_VERIFY(!m_form->isVisible());
    emit m_form->trayIcon()->activated(QSystemTrayIcon::Trigger);
    QVERIFY(m_form->isVisible());
    QVERIFY(!userCloses(m_form.get()));
    QTRY_VERIFY(!m_form->isVisible());
    QVERIFY(m_ends.isEmpty());
}

void TestTray::closingAnotherWindowWhileHidden()
{
    bringTo(Start::HiddenInTray);
    m_form->action("mn17")->trigger(); // the add dialog
    QWidget *dialog = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frmAdd") && w->isVisible())
            dialog = w;
    }
    QVERIFY(dialog);
    QVERIFY(userCloses(dialog) || dialog->close());
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QVERIFY(other.close());
    QTest::qWait(100);
    QVERIFY(m_ends.isEmpty());
    QVERIFY(m_form->trayIcon()->isVisible());
    QVERIFY(!m_form->isVisible());
}

void TestTray::secondStartBringsWindowBack()
{
    bringTo(Start::HiddenInTray);
    m_tray->bringToFront();
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->isMinimized());
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
    bringTo(Start::HiddenInTray);
    std::raise(signalNumber);
    QTRY_COMPARE(m_ends, QList<int>{0});
    QVERIFY(!m_form->trayIcon()->isVisible());
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
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(VELMORA_BINARY), {"--demo", "--data-dir", data.path()});
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
