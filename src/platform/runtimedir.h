#pragma once

#include <QString>

namespace velmora {

// Where the program keeps its sockets and locks: $XDG_RUNTIME_DIR when it names an existing
// folder by an absolute path (a relative one is invalid by the base-directory rules), else the
// temporary folder.
QString RuntimeDir();

// True when RuntimeDir() fell back to the temporary folder, which all users share.
bool RuntimeDirIsShared();

} // namespace velmora
