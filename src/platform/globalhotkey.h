#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace velmora {

// Why a typed hotkey cannot be one (no modifier, a key that is not known), in Chinese; nothing
// when it can.
std::optional<QString> HotkeyTextProblem(const QString &text);

// One key combination taken from the whole desktop ("Ctrl+Alt+H", see core/hotkey.h): the
// program hears it whichever window has the focus. On X11 and XWayland the X server is asked,
// through Qt's own connection, to hand that key on the root window of every screen to us, once
// plain and once for each way Caps Lock and Num Lock can be on; the X server refuses when
// another program has asked first. Elsewhere there is no such thing.
//
// Create it after the QGuiApplication, and only one per key: the connection is Qt's, so the
// X server cannot tell two of them on the same key apart.
class GlobalHotkey final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit GlobalHotkey(QObject *parent = nullptr);
    ~GlobalHotkey() override;

    // Takes the key the text names in place of the one held so far; an empty text lets go of
    // it. Returns a short message for the user when it cannot, nothing when it could; after a
    // failure the key held before stays.
    std::optional<QString> setHotkey(const QString &text);
    // The key held, as the config keeps it; empty when none.
    QString hotkey() const;
    void clear();
    bool isGrabbed() const;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    // The key went down (once, however long it is held).
    void activated();

private:
    // One key on the keyboard with the modifiers it needs, as the X server names them.
    struct Grab
    {
        std::uint8_t keycode = 0;
        std::uint16_t modifiers = 0;
        std::uint16_t lockMask = 0; // Caps Lock and Num Lock, whatever their state
    };

    std::optional<QString> grab(const Grab &grab, const QString &text);
    void ungrab(const Grab &grab);

    std::optional<Grab> m_grab;
    QString m_text;
    // Pressed and not yet released, and when it was last released: the keyboard's repeats are
    // not new presses.
    bool m_down = false;
    std::uint32_t m_releasedAt = 0;
};

} // namespace velmora
