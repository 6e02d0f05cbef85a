#include "platform/runtimedir.h"

#include <QDir>
#include <QFileInfo>

namespace velmora {

QString RuntimeDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    return QDir::tempPath();
}

bool RuntimeDirIsShared()
{
    return RuntimeDir() == QDir::tempPath();
}

} // namespace velmora
