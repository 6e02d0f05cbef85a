#include "platform/openurl.h"

#include <QDesktopServices>

namespace velmora {

namespace {
OpenUrlHook &hook()
{
    static OpenUrlHook h;
    return h;
}
} // namespace

bool OpenInBrowser(const QUrl &url)
{
    if (hook())
        return hook()(url);
    return QDesktopServices::openUrl(url);
}

void SetOpenUrlHookForTests(OpenUrlHook h)
{
    hook() = std::move(h);
}

} // namespace velmora
