#include "platform/xwayland.h"

#include <QProcessEnvironment>

namespace velmora {

bool PreferXWayland(const QProcessEnvironment &env)
{
    const bool wayland =
        !env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        env.value(QStringLiteral("XDG_SESSION_TYPE")).compare(QLatin1String("wayland"),
                                                               Qt::CaseInsensitive) == 0;
    return wayland && !env.value(QStringLiteral("DISPLAY")).isEmpty() &&
           env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty();
}

} // namespace velmora
