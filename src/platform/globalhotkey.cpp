#include "platform/globalhotkey.h"

#include "core/hotkey.h"

#include <QCoreApplication>
#include <QGuiApplication>

#ifdef VELMORA_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <vector>
#endif

namespace velmora {

namespace {

QString unsupportedText()
{
    return QStringLiteral("此桌面不支持全局快捷键");
}

#ifdef VELMORA_HAVE_XCB

constexpr xcb_keysym_t kKeysymNumLock = 0xff7f;
constexpr std::uint16_t kModifierBits = 0xff; // the rest of a key's state are mouse buttons

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t *x11Connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The keysyms of every key, keysyms_per_keycode to a key, from the setup's first keycode on.
Reply<xcb_get_keyboard_mapping_reply_t> readKeyboardMap(xcb_connection_t *connection)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const auto cookie = xcb_get_keyboard_mapping(connection, setup->min_keycode, count);
    return Reply<xcb_get_keyboard_mapping_reply_t>(
        xcb_get_keyboard_mapping_reply(connection, cookie, nullptr));
}

// The key that carries the keysym: every key's plain keysym is looked at before any key's
// shifted one, so a key that gives it without Shift wins over one that needs Shift for it.
std::optional<xcb_keycode_t> findKeycode(xcb_connection_t *connection,
                                         const xcb_get_keyboard_mapping_reply_t &map,
                                         xcb_keysym_t keysym)
{
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(&map);
    const int perKey = map.keysyms_per_keycode;
    if (perKey == 0)
        return std::nullopt;
    const int keys = xcb_get_keyboard_mapping_keysyms_length(&map) / perKey;
    const xcb_keycode_t first = xcb_get_setup(connection)->min_keycode;
    for (int column = 0; column < perKey; ++column) {
        for (int key = 0; key < keys; ++key) {
            if (keysyms[key * perKey + column] == keysym)
                return static_cast<xcb_keycode_t>(first + key);
        }
    }
    return std::nullopt;
}

// A letter may be listed by its capital alone.
std::optional<xcb_keycode_t> keycodeOf(xcb_connection_t *connection,
                                       const xcb_get_keyboard_mapping_reply_t &map,
                                       xcb_keysym_t keysym)
{
    if (const auto keycode = findKeycode(connection, map, keysym))
        return keycode;
    if (keysym >= 'a' && keysym <= 'z')
        return findKeycode(connection, map, keysym - 'a' + 'A');
    return std::nullopt;
}

// The modifier bit Num Lock sets: Mod2 on nearly every keyboard, but the X server says.
std::uint16_t numLockMask(xcb_connection_t *connection, const xcb_get_keyboard_mapping_reply_t &map)
{
    const auto numLock = keycodeOf(connection, map, kKeysymNumLock);
    const Reply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (numLock && modifiers) {
        const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int perModifier = modifiers->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                if (keycodes[modifier * perModifier + i] == *numLock)
                    return static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return XCB_MOD_MASK_2;
}

// Calls use(root, modifiers) for the root window of every screen and every combination of the
// locks with the key's own modifiers.
template <typename Use>
void forEachRootAndLock(xcb_connection_t *connection, std::uint16_t modifiers,
                        std::uint16_t lockMask, Use use)
{
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem;
         xcb_screen_next(&roots)) {
        for (std::uint16_t locks = lockMask;; locks = (locks - 1) & lockMask) {
            use(roots.data->root, static_cast<std::uint16_t>(modifiers | locks));
            if (locks == 0)
                break;
        }
    }
}

#endif

} // namespace

GlobalHotkey::GlobalHotkey(QObject *parent) : QObject(parent)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installNativeEventFilter(this);
}

GlobalHotkey::~GlobalHotkey()
{
    clear();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

std::optional<QString> HotkeyTextProblem(const QString &text)
{
    const std::string typed = text.toStdString();
    if (ParseHotkey(typed))
        return std::nullopt;
    if (ParseKeyName(typed))
        return QStringLiteral("快捷键需要至少一个 Ctrl、Alt、Shift 或 Meta");
    return QStringLiteral("无法识别快捷键：%1（例如 Ctrl+Alt+H）").arg(text.trimmed());
}

std::optional<QString> GlobalHotkey::setHotkey(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        clear();
        return std::nullopt;
    }
    if (auto problem = HotkeyTextProblem(text))
        return problem;
    const auto hotkey = ParseHotkey(text.toStdString());
    const QString canonical = QString::fromStdString(HotkeyText(*hotkey));
#ifdef VELMORA_HAVE_XCB
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return unsupportedText();
    const auto map = readKeyboardMap(connection);
    const auto keycode = map ? keycodeOf(connection, *map, hotkey->keysym) : std::nullopt;
    if (!keycode)
        return QStringLiteral("键盘上没有快捷键 %1 所用的键").arg(canonical);
    const std::uint16_t modifiers = XModifierMask(*hotkey);
    const Grab wanted{*keycode, modifiers,
                      static_cast<std::uint16_t>(
                          (XCB_MOD_MASK_LOCK | numLockMask(connection, *map)) & ~modifiers)};
    if (m_grab && m_grab->keycode == wanted.keycode && m_grab->modifiers == wanted.modifiers) {
        m_text = canonical; // the same key by another name
        return std::nullopt;
    }
    // The new key first: when it cannot be had, the old one is still held.
    if (auto failure = grab(wanted, canonical))
        return failure;
    clear();
    m_grab = wanted;
    m_text = canonical;
    return std::nullopt;
#else
    return unsupportedText();
#endif
}

QString GlobalHotkey::hotkey() const
{
    return m_text;
}

void GlobalHotkey::clear()
{
    if (m_grab)
        ungrab(*m_grab);
    m_grab.reset();
    m_text.clear();
    m_down = false;
    m_releasedAt = 0;
}

bool GlobalHotkey::isGrabbed() const
{
    return m_grab.has_value();
}

std::optional<QString> GlobalHotkey::grab(const Grab &wanted, const QString &text)
{
#ifdef VELMORA_HAVE_XCB
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return unsupportedText();
    std::vector<xcb_void_cookie_t> cookies;
    forEachRootAndLock(connection, wanted.modifiers, wanted.lockMask,
                       [&](xcb_window_t root, std::uint16_t modifiers) {
                           cookies.push_back(
                               xcb_grab_key_checked(connection, 0, root, modifiers, wanted.keycode,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
                       });
    bool taken = false;
    bool failed = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        const Reply<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
        if (error && error->error_code == XCB_ACCESS)
            taken = true;
        else if (error)
            failed = true;
    }
    if (!taken && !failed)
        return std::nullopt;
    // The combinations that were had go back too.
    ungrab(wanted);
    return taken ? QStringLiteral("快捷键 %1 已被其他程序占用").arg(text)
                 : QStringLiteral("无法设置快捷键 %1").arg(text);
#else
    Q_UNUSED(wanted);
    Q_UNUSED(text);
    return unsupportedText();
#endif
}

void GlobalHotkey::ungrab(const Grab &held)
{
#ifdef VELMORA_HAVE_XCB
    // Gone with the application: the X server let go when the connection closed.
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return;
    forEachRootAndLock(connection, held.modifiers, held.lockMask,
                       [&](xcb_window_t root, std::uint16_t modifiers) {
                           xcb_ungrab_key(connection, held.keycode, root, modifiers);
                       });
    xcb_flush(connection);
#else
    Q_UNUSED(held);
#endif
}

bool GlobalHotkey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    Q_UNUSED(result);
#ifdef VELMORA_HAVE_XCB
    if (!m_grab || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const std::uint8_t type = event->response_type & 0x7f; // the top bit marks sent events
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (key->detail != m_grab->keycode)
        return false;
    // Let go of in any order: the modifiers may be up before the key.
    if (type == XCB_KEY_RELEASE) {
        m_down = false;
        m_releasedAt = key->time;
        return false;
    }
    if ((key->state & kModifierBits & ~m_grab->lockMask) != m_grab->modifiers)
        return false;
    // A held key repeats as presses alone, or (unless Qt asked otherwise) as a release and a
    // press at the same moment.
    const bool repeat = m_down || key->time == m_releasedAt;
    m_down = true;
    if (!repeat)
        emit activated();
    return true;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
#endif
}

} // namespace velmora
