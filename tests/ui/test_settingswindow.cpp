// The settings window: what it lists, that filling it says nothing, and that each change the
// user makes is applied once, or refused with a message when the address is no address.
#include "platform/messages.h"
#include "ui/settingswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::UserSettings)

namespace {

const QUrl kBase("http://quotes.example:8080");

UserSettings tencent()
{
    UserSettings s;
    s.source = QuoteSourceKind::Tencent;
    s.customBase = kBase;
    return s; // 8 s, slow down, notifications and sound on
}

UserSettings custom()
{
    UserSettings s = tencent();
    s.source = QuoteSourceKind::Custom;
    return s;
}

template <typename T> T *control(const SettingsWindow &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// Sets the control of that name as a user would; false when there is no such control.
[[nodiscard]] bool change(SettingsWindow &window, const QString &name, const QVariant &value)
{
    QWidget *widget = window.findChild<QWidget *>(name);
    if (auto *box = qobject_cast<QComboBox *>(widget))
        box->setCurrentIndex(value.toInt());
    else if (auto *spin = qobject_cast<QSpinBox *>(widget))
        spin->setValue(value.toInt());
    else if (auto *real = qobject_cast<QDoubleSpinBox *>(widget))
        real->setValue(value.toDouble());
    else if (auto *check = qobject_cast<QCheckBox *>(widget))
        check->setChecked(value.toBool());
    else
        return false;
    return true;
}

// Types text into the address box and finishes twice: Return, then the focus leaving.
[[nodiscard]] bool enterAddress(SettingsWindow &window, const QString &text)
{
    auto *edit = control<QLineEdit>(window, "customBaseEdit");
    if (!edit || !edit->isEnabled())
        return false;
    edit->selectAll();
    QTest::keyClicks(edit, text);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Return);
    emit edit->editingFinished();
    return edit->text() == text;
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsSourcesInOrder();
    void fillingEmitsNothing();
    void changeEmitsOnce_data();
    void changeEmitsOnce();
    void hotkeyTyped_data();
    void hotkeyTyped();
    void addressEntered_data();
    void addressEntered();
    void customWaitsForAnAddress();
    void controlsFollowTheirSwitch();

private:
    QStringList m_messages;
};

void TestSettingsWindow::init()
{
    m_messages.clear();
    Messages::setSinkForTests([this](const QString &text) { m_messages << text; });
}

void TestSettingsWindow::cleanup()
{
    Messages::setSinkForTests(nullptr);
}

void TestSettingsWindow::listsSourcesInOrder()
{
    SettingsWindow window(tencent());
    QCOMPARE(window.objectName(), "settingsWindow");
    QCOMPARE(window.windowTitle(), "设置");
    QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
    auto *box = control<QComboBox>(window, "sourceBox");
    QVERIFY(box);
    using K = QuoteSourceKind;
    const QStringList captions{"演示", "自定义服务", "腾讯", "新浪", "自动"};
    const QList<K> kinds{K::Demo, K::Custom, K::Tencent, K::Sina, K::Auto};
    QCOMPARE(box->count(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(box->itemText(i), captions.at(i));
        QCOMPARE(box->itemData(i).toInt(), int(kinds.at(i)));
    }
    QCOMPARE(control<QSpinBox>(window, "intervalBox")->suffix(), " 秒");
}

void TestSettingsWindow::fillingEmitsNothing()
{
    SettingsWindow window(tencent());
    QSignalSpy spy(&window, &SettingsWindow::settingsChanged);
    UserSettings other = custom();
    other.customBase = QUrl("https://other.example");
    other.intervalSeconds = 45;
    other.slowDownOutsideHours = false;
    other.notifications = false;
    window.showSettings(other);
    QVERIFY(window.isVisible());
    QCOMPARE(spy.size(), 0);
    QCOMPARE(window.settings(), other);
    QCOMPARE(control<QComboBox>(window, "sourceBox")->currentText(), "自定义服务");
    QCOMPARE(control<QLineEdit>(window, "customBaseEdit")->text(), "https://other.example");
}

void TestSettingsWindow::changeEmitsOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<UserSettings>("expected");

    UserSettings s = tencent();
    s.source = QuoteSourceKind::Demo;
    QTest::newRow("演示") << "sourceBox" << QVariant(0) << s;
    QTest::newRow("自定义服务 with the address in the box")
        << "sourceBox" << QVariant(1) << custom();
    s.source = QuoteSourceKind::Auto;
    QTest::newRow("自动") << "sourceBox" << QVariant(4) << s;
    s = tencent();
    s.intervalSeconds = 30;
    QTest::newRow("interval") << "intervalBox" << QVariant(30) << s;
    s = tencent();
    s.slowDownOutsideHours = false;
    QTest::newRow("no slowing down") << "slowDownBox" << QVariant(false) << s;
    s = tencent();
    s.notifications = false;
    QTest::newRow("no notifications") << "notificationsBox" << QVariant(false) << s;
    s = tencent();
    s.sound = false;
    QTest::newRow("no sound") << "soundBox" << QVariant(false) << s;
    s = tencent();
    s.changeStepPercent = 3;
    QTest::newRow("alerts at every 3 %") << "changeStepBox" << QVariant(3.0) << s;
    s = tencent();
    s.trend = false;
    QTest::newRow("no trend") << "trendBox" << QVariant(false) << s;
    s = tencent();
    s.trayShow = TrayShow::None;
    QTest::newRow("nothing in the tray icon") << "trayShowBox" << QVariant(2) << s;
    s = tencent();
    s.discreetAtStart = true;
    QTest::newRow("discreet at start") << "discreetAtStartBox" << QVariant(true) << s;
}

// A hotkey typed in any case and spacing is kept as written out; one that cannot be is said
// under the box and changes nothing.
void TestSettingsWindow::hotkeyTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept"); // empty: refused
    QTest::addColumn<QString>("problem");
    QTest::newRow("spaces and lower case") << "ctrl + alt + j" << "Ctrl+Alt+J" << "";
    QTest::newRow("a key without modifier") << "H" << "" << "快捷键需要至少一个 Ctrl、Alt、Shift 或 Meta";
    QTest::newRow("not a key") << "Ctrl+Alt+Ä" << "" << "无法识别快捷键：Ctrl+Alt+Ä（例如 Ctrl+Alt+H）";
}

void TestSettingsWindow::hotkeyTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, problem);
    SettingsWindow window(tencent());
    QSignalSpy spy(&window, &SettingsWindow::settingsChanged);
    auto *edit = control<QLineEdit>(window, "hotkeyEdit");
    edit->setText(typed);
    emit edit->editingFinished();
    QCOMPARE(spy.size(), kept.isEmpty() ? 0 : 1);
    QCOMPARE(window.settings().discreetHotkey, kept.isEmpty() ? tencent().discreetHotkey : kept);
    QCOMPARE(control<QLabel>(window, "hotkeyProblem")->text(), problem);
}

void TestSettingsWindow::changeEmitsOnce()
{
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(UserSettings, expected);
    SettingsWindow window(tencent());
    QSignalSpy spy(&window, &SettingsWindow::settingsChanged);
    QVERIFY(change(window, name, value));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).value<UserSettings>(), expected);
    QCOMPARE(window.settings(), expected);
    QVERIFY(m_messages.isEmpty());
}

void TestSettingsWindow::addressEntered_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QUrl>("applied"); // empty: refused with the message
    QTest::newRow("good, trailing slash dropped")
        << "https://other.example:9000/" << QUrl("https://other.example:9000");
    QTest::newRow("no scheme") << "quotes.example:8080" << QUrl();
    QTest::newRow("ftp") << "ftp://quotes.example" << QUrl();
    QTest::newRow("no host") << "http://" << QUrl();
    QTest::newRow("a query") << "http://quotes.example/?a=1" << QUrl();
    QTest::newRow("empty") << "" << QUrl();
}

void TestSettingsWindow::addressEntered()
{
    QFETCH(QString, text);
    QFETCH(QUrl, applied);
    SettingsWindow window(custom());
    QSignalSpy spy(&window, &SettingsWindow::settingsChanged);
    QVERIFY(enterAddress(window, text));
    UserSettings expected = custom();
    if (applied.isEmpty()) {
        QCOMPARE(m_messages, QStringList{SettingsWindow::invalidAddressText()});
        QCOMPARE(spy.size(), 0);
    } else {
        expected.customBase = applied;
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).value<UserSettings>(), expected);
    }
    QCOMPARE(window.settings(), expected);
}

void TestSettingsWindow::customWaitsForAnAddress()
{
    UserSettings start = tencent();
    start.customBase = QUrl();
    SettingsWindow window(start);
    QSignalSpy spy(&window, &SettingsWindow::settingsChanged);
    QVERIFY(change(window, "sourceBox", 1));
    QCOMPARE(spy.size(), 0);
    QVERIFY(m_messages.isEmpty()); // the box is empty: the user has yet to type
    // Meanwhile the other controls still apply, to the source in use.
    QVERIFY(change(window, "intervalBox", 20));
    QCOMPARE(spy.size(), 1);
    start.intervalSeconds = 20;
    QCOMPARE(spy.at(0).at(0).value<UserSettings>(), start);

    QVERIFY(enterAddress(window, "http://quotes.example:8080"));
    QCOMPARE(spy.size(), 2);
    UserSettings expected = custom();
    expected.intervalSeconds = 20;
    QCOMPARE(spy.at(1).at(0).value<UserSettings>(), expected);

    // Chosen again with a bad address in the box: the message, and nothing applied.
    QVERIFY(change(window, "sourceBox", 2));
    control<QLineEdit>(window, "customBaseEdit")->setText("quotes.example");
    QVERIFY(change(window, "sourceBox", 1));
    QCOMPARE(spy.size(), 3);
    QCOMPARE(spy.at(2).at(0).value<UserSettings>().source, QuoteSourceKind::Tencent);
    QCOMPARE(m_messages, QStringList{SettingsWindow::invalidAddressText()});
}

void TestSettingsWindow::controlsFollowTheirSwitch()
{
    SettingsWindow window(tencent());
    auto *edit = control<QLineEdit>(window, "customBaseEdit");
    auto *sound = control<QCheckBox>(window, "soundBox");
    for (int index = 0; index < 5; ++index) {
        QVERIFY(change(window, "sourceBox", index));
        QCOMPARE(edit->isEnabled(), index == 1);
    }
    for (const bool on : {false, true}) {
        QVERIFY(change(window, "notificationsBox", on));
        QCOMPARE(sound->isEnabled(), on);
    }
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settingswindow.moc"
