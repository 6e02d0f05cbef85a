#include "platform/appicon.h"

// The icons are compiled into the static platform library, whose resource initialiser nothing
// references, so the linker would drop it and every icon would stay blank.
static void initIconResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace velmora {

QIcon AppIcon()
{
    static const bool loaded = (initIconResources(), true);
    Q_UNUSED(loaded);
    QIcon icon;
    icon.addFile(QStringLiteral(":/velmora/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/velmora/icon32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/velmora/icon64.png"), QSize(64, 64));
    return icon;
}

} // namespace velmora
