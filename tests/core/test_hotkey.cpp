#include "core/hotkey.h"

#include <QTest>

using namespace velmora;

class TestHotkey : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
};

void TestHotkey::texts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("canonical"); // empty: refused
    QTest::addColumn<uint>("keysym"); // the hotkey's; when refused, the text's as a key alone
    QTest::addColumn<uint>("xMask");

    const auto row = [](const char *name, const char *text, const char *canonical, uint keysym,
                        uint xMask) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(canonical) << keysym << xMask;
    };
    // X modifier bits: Shift 0x01, Control 0x04, Mod1 0x08, Mod4 0x40.
    row("letter with Ctrl and Alt", "Ctrl+Alt+H", "Ctrl+Alt+H", 0x68, 0x0c);
    row("lower case, spaces around plus", "ctrl + alt + h", "Ctrl+Alt+H", 0x68, 0x0c);
    row("long name, upper case, outer spaces", " Control+ALT+h ", "Ctrl+Alt+H", 0x68, 0x0c);
    row("modifiers out of order", "Alt+Ctrl+H", "Ctrl+Alt+H", 0x68, 0x0c);
    row("all four modifiers, Win for Meta", "Win+Shift+Ctrl+Alt+5", "Ctrl+Alt+Shift+Meta+5", 0x35,
        0x4d);
    row("digit zero", "Shift+0", "Shift+0", 0x30, 0x01);
    row("first function key", "Ctrl+F1", "Ctrl+F1", 0xffbe, 0x04);
    row("last function key, lower case", "Alt+f35", "Alt+F35", 0xffe0, 0x08);
    row("Page Up by its short name", "Shift+Meta+PgUp", "Shift+Meta+PgUp", 0xff55, 0x41);
    row("Page Down by its long name, Super", "Super+PageDown", "Meta+PgDown", 0xff56, 0x40);
    row("Escape by its long name", "Ctrl+Alt+Escape", "Ctrl+Alt+Esc", 0xff1b, 0x0c);
    row("Delete in lower case", "Ctrl+Alt+delete", "Ctrl+Alt+Del", 0xffff, 0x0c);
    row("space bar", "Ctrl+space", "Ctrl+Space", 0x20, 0x04);

    row("letter alone", "H", "", 0x68, 0);
    row("function key alone", " F5 ", "", 0xffc2, 0);
    row("empty", "", "", 0, 0);
    row("modifiers without a key", "Ctrl+Alt", "", 0, 0);
    row("trailing plus", "Ctrl+Alt+", "", 0, 0);
    row("leading plus", "+H", "", 0, 0);
    row("modifier twice", "Ctrl+Ctrl+H", "", 0, 0);
    row("two keys", "Ctrl+H+J", "", 0, 0);
    row("key before the modifier", "H+Ctrl", "", 0, 0);
    row("two letters as one key", "Ctrl+HH", "", 0, 0);
    row("unknown modifier", "Hyper+H", "", 0, 0);
    row("function key zero", "Ctrl+F0", "", 0, 0);
    row("function key 36", "Ctrl+F36", "", 0, 0);
    row("function key with leading zero", "Ctrl+F05", "", 0, 0);
    row("letter outside ASCII", "Ctrl+Alt+\xc3\x84", "", 0, 0);
    row("dashes for plus", "Ctrl-Alt-H", "", 0, 0);
}

void TestHotkey::texts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, canonical);
    QFETCH(uint, keysym);
    QFETCH(uint, xMask);
    const auto hotkey = ParseHotkey(text.toStdString());
    QCOMPARE(hotkey.has_value(), !canonical.isEmpty());
    if (!hotkey) {
        QCOMPARE(uint(ParseKeyName(text.toStdString()).value_or(0)), keysym);
        return;
    }
    QCOMPARE(QByteArray::fromStdString(HotkeyText(*hotkey)), canonical);
    QCOMPARE(uint(hotkey->keysym), keysym);
    QCOMPARE(uint(XModifierMask(*hotkey)), xMask);
    QCOMPARE(ParseHotkey(canonical.toStdString()), hotkey);
}

QTEST_GUILESS_MAIN(TestHotkey)
#include "test_hotkey.moc"
