#include "platform/globalhotkey.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmora;

namespace {

// The X server of the whole test, started before the application so that Qt connects to it.
struct Desktop
{
    pid_t pid = 0;
    QByteArray display; // ":N"
    QString whyNone;
};
Desktop g_desktop;

void startDesktop()
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        g_desktop.whyNone = QStringLiteral("Xvfb is not installed");
        return;
    }
    // Xvfb picks a free display itself and writes its number to fd 3 once it is ready.
    int ready[2];
    if (::pipe(ready) != 0) {
        g_desktop.whyNone = QStringLiteral("no pipe for Xvfb");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char *argv[] = {"Xvfb",       "-displayfd", "3",   "-screen",  "0",
                          "640x480x24", "-nolisten",  "tcp", "-noreset", nullptr};
    const int spawned =
        posix_spawnp(&g_desktop.pid, "Xvfb", &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    char c = 0;
    while (spawned == 0 && ::read(ready[0], &c, 1) == 1 && c != '\n')
        g_desktop.display.append(c);
    ::close(ready[0]);
    if (spawned != 0 || g_desktop.display.isEmpty())
        g_desktop.whyNone = QStringLiteral("Xvfb did not start");
    else
        g_desktop.display.prepend(':');
}

void stopDesktop()
{
    if (g_desktop.pid <= 0)
        return;
    ::kill(g_desktop.pid, SIGTERM);
    ::waitpid(g_desktop.pid, nullptr, 0);
}

// The other program of the tests, this executable run with "--hold KEY": takes the key on a
// connection of its own, writes "held" or why it could not, and keeps it until its input ends.
int holdKey(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    GlobalHotkey hotkey;
    const auto failure = hotkey.setHotkey(QString::fromUtf8(argv[2]));
    std::puts(failure ? failure->toUtf8().constData() : "held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

class Holder
{
public:
    explicit Holder(const QString &key, const QString &platform = QStringLiteral("xcb"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), {"--hold", key});
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(20000);
    }
    QString answer()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

// Types the keys on the X server as if on the keyboard.
void type(const QStringList &keys)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), QStringList{"key"} + keys), 0);
}

} // namespace

class TestGlobalHotkey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void pressedAnywhere_data();
    void pressedAnywhere();
    void takenByAnotherProgram();
    void oldKeyLetGo_data();
    void oldKeyLetGo();
    void desktopWithoutX();
};

void TestGlobalHotkey::initTestCase()
{
    if (!g_desktop.whyNone.isEmpty())
        QSKIP(qPrintable(g_desktop.whyNone));
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xdotool is not installed");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void TestGlobalHotkey::refusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("key without modifier") << "H"
                                          << "快捷键需要至少一个 Ctrl、Alt、Shift 或 Meta";
    QTest::newRow("letter outside ASCII") << "Ctrl+Alt+Ä"
                                          << "无法识别快捷键：Ctrl+Alt+Ä（例如 Ctrl+Alt+H）";
    QTest::newRow("modifiers only") << " Ctrl+Alt "
                                    << "无法识别快捷键：Ctrl+Alt（例如 Ctrl+Alt+H）";
    QTest::newRow("key the keyboard lacks") << "Ctrl+F35"
                                            << "键盘上没有快捷键 Ctrl+F35 所用的键";
}

void TestGlobalHotkey::refusals()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    GlobalHotkey hotkey;
    QCOMPARE(hotkey.setHotkey("ctrl+alt+k"), std::nullopt);
    QCOMPARE(hotkey.setHotkey(text), reason);
    // The key held before stays.
    QVERIFY(hotkey.isGrabbed());
    QCOMPARE(hotkey.hotkey(), "Ctrl+Alt+K");
}

void TestGlobalHotkey::pressedAnywhere_data()
{
    QTest::addColumn<QStringList>("keys"); // then Ctrl+Alt+J, which comes last
    QTest::addColumn<int>("activations");
    QTest::newRow("plain") << QStringList{"ctrl+alt+h"} << 1;
    QTest::newRow("Num Lock on") << QStringList{"Num_Lock", "ctrl+alt+h", "Num_Lock"} << 1;
    QTest::newRow("Caps Lock on") << QStringList{"Caps_Lock", "ctrl+alt+h", "Caps_Lock"} << 1;
    QTest::newRow("Num Lock and Caps Lock on")
        << QStringList{"Num_Lock", "Caps_Lock", "ctrl+alt+h", "Caps_Lock", "Num_Lock"} << 1;
    QTest::newRow("pressed twice") << QStringList{"ctrl+alt+h", "ctrl+alt+h"} << 2;
    QTest::newRow("Shift as well") << QStringList{"ctrl+alt+shift+h"} << 0;
    QTest::newRow("Alt missing") << QStringList{"ctrl+h"} << 0;
    QTest::newRow("letter alone") << QStringList{"h"} << 0;
}

void TestGlobalHotkey::pressedAnywhere()
{
    QFETCH(QStringList, keys);
    QFETCH(int, activations);
    // A window of ours has the keyboard: what is typed into it is no hotkey.
    QWindow ours;
    ours.resize(200, 100);
    ours.show();
    ours.requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(&ours));
    GlobalHotkey hotkey;
    GlobalHotkey last;
    QCOMPARE(hotkey.setHotkey("Ctrl+Alt+H"), std::nullopt);
    QCOMPARE(last.setHotkey("Ctrl+Alt+J"), std::nullopt);
    QSignalSpy activated(&hotkey, &GlobalHotkey::activated);
    QSignalSpy lastActivated(&last, &GlobalHotkey::activated);
    type(keys + QStringList{"ctrl+alt+j"});
    // The X server sends the keys in order, so whatever H did has been seen once J is.
    QTRY_COMPARE_WITH_TIMEOUT(lastActivated.count(), 1, 20000);
    QCOMPARE(activated.count(), activations);
}

void TestGlobalHotkey::takenByAnotherProgram()
{
    Holder other(QStringLiteral("Ctrl+Alt+H"));
    QCOMPARE(other.answer(), "held");
    GlobalHotkey hotkey;
    QCOMPARE(hotkey.setHotkey("Ctrl+Alt+H"), "快捷键 Ctrl+Alt+H 已被其他程序占用");
    QVERIFY(!hotkey.isGrabbed());
    QCOMPARE(hotkey.hotkey(), QString());
}

void TestGlobalHotkey::oldKeyLetGo_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("changed to another key") << "change";
    QTest::newRow("cleared") << "clear";
    QTest::newRow("set to nothing") << "empty";
    QTest::newRow("destroyed") << "destroy";
}

void TestGlobalHotkey::oldKeyLetGo()
{
    QFETCH(QString, how);
    auto hotkey = std::make_unique<GlobalHotkey>();
    QCOMPARE(hotkey->setHotkey("Ctrl+Alt+H"), std::nullopt);
    if (how == "change")
        QCOMPARE(hotkey->setHotkey("Ctrl+Alt+G"), std::nullopt);
    else if (how == "clear")
        hotkey->clear();
    else if (how == "empty")
        QCOMPARE(hotkey->setHotkey(" "), std::nullopt);
    else
        hotkey.reset();
    // Another program can have it now.
    Holder other(QStringLiteral("Ctrl+Alt+H"));
    QCOMPARE(other.answer(), "held");
    if (how != "change")
        return;
    QCOMPARE(hotkey->hotkey(), "Ctrl+Alt+G");
    QSignalSpy activated(hotkey.get(), &GlobalHotkey::activated);
    type({"ctrl+alt+g"});
    QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 20000);
}

void TestGlobalHotkey::desktopWithoutX()
{
    Holder offscreen(QStringLiteral("Ctrl+Alt+H"), QStringLiteral("offscreen"));
    QCOMPARE(offscreen.answer(), "此桌面不支持全局快捷键");
}

// Qt must meet the X server when the application starts: no QTEST_MAIN.
int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--hold") == 0)
        return holdKey(argc, argv);
    startDesktop();
    if (g_desktop.whyNone.isEmpty()) {
        qputenv("DISPLAY", g_desktop.display);
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        TestGlobalHotkey test;
        status = QTest::qExec(&test, argc, argv);
    }
    stopDesktop();
    return status;
}

#include "test_globalhotkey.moc"
