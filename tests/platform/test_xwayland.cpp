#include "platform/xwayland.h"

#include <QProcessEnvironment>
#include <QTest>

using namespace velmora;

class TestXWayland : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
};

void TestXWayland::choice_data()
{
    // "NAME=value" pairs of the session's environment.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<bool>("xwayland");

    QTest::newRow("X11 session") << QStringList{"DISPLAY=:0", "XDG_SESSION_TYPE=x11"} << false;
    QTest::newRow("Wayland session with XWayland")
        << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland"}
        << true;
    QTest::newRow("Wayland display only") << QStringList{"DISPLAY=:1", "WAYLAND_DISPLAY=wayland-1"}
                                          << true;
    QTest::newRow("session type only, upper case")
        << QStringList{"DISPLAY=:0", "XDG_SESSION_TYPE=Wayland"} << true;
    QTest::newRow("Wayland without XWayland")
        << QStringList{"WAYLAND_DISPLAY=wayland-0", "XDG_SESSION_TYPE=wayland"} << false;
    QTest::newRow("Wayland, the user chose the platform")
        << QStringList{"DISPLAY=:0", "WAYLAND_DISPLAY=wayland-0", "QT_QPA_PLATFORM=wayland"}
        << false;
    QTest::newRow("no display at all") << QStringList{} << false;
}

void TestXWayland::choice()
{
    QFETCH(QStringList, environment);
    QFETCH(bool, xwayland);
    QProcessEnvironment env;
    for (const QString &pair : environment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    QCOMPARE(PreferXWayland(env), xwayland);
}

QTEST_GUILESS_MAIN(TestXWayland)
#include "test_xwayland.moc"
