#include "platform/screenedge.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#ifdef VELMORA_HAVE_XCB
#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#endif

namespace velmora {

#ifdef VELMORA_HAVE_XCB
namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace
#endif

void ReserveScreenEdge(QWindow *window, ScreenEdge edge, int thickness, const QRect &frame,
                       const QRect &screen)
{
#ifdef VELMORA_HAVE_XCB
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    static const xcb_atom_t partial = internAtom(connection, "_NET_WM_STRUT_PARTIAL");
    static const xcb_atom_t plain = internAtom(connection, "_NET_WM_STRUT");
    if (partial == XCB_ATOM_NONE || plain == XCB_ATOM_NONE)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (edge == ScreenEdge::None) {
        xcb_delete_property(connection, id, partial);
        xcb_delete_property(connection, id, plain);
        return;
    }

    // Struts count from the edges of the whole X screen; the window docks at the edge of its
    // own screen, which is where the docking rule measures.
    const QScreen *primaryScreen = QGuiApplication::primaryScreen();
    const QRect root = primaryScreen ? primaryScreen->virtualGeometry() : QRect();
    const QRect &own = screen;
    const auto u = [](int value) { return static_cast<std::uint32_t>(value > 0 ? value : 0); };
    // left, right, top, bottom, then start and end of each along its edge
    std::array<std::uint32_t, 12> strut{};
    switch (edge) {
    case ScreenEdge::Top:
        strut[2] = u(own.top() - root.top() + thickness);
        strut[8] = u(frame.left());
        strut[9] = u(frame.right());
        break;
    case ScreenEdge::Left:
        strut[0] = u(own.left() - root.left() + thickness);
        strut[4] = u(frame.top());
        strut[5] = u(frame.bottom());
        break;
    case ScreenEdge::Right:
        strut[1] = u(root.right() - own.right() + thickness);
        strut[6] = u(frame.top());
        strut[7] = u(frame.bottom());
        break;
    case ScreenEdge::None:
        break;
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, partial, XCB_ATOM_CARDINAL, 32,
                        12, strut.data());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, plain, XCB_ATOM_CARDINAL, 32, 4,
                        strut.data());
#else
    Q_UNUSED(screen);
    Q_UNUSED(window);
    Q_UNUSED(edge);
    Q_UNUSED(thickness);
    Q_UNUSED(frame);
#endif
}

} // namespace velmora
