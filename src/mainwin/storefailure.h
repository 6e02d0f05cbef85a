#pragma once

#include "store/watchliststore.h"

#include <QString>

namespace velmora {

enum class WatchListChange { Add, Remove };

// The message shown when adding or removing a stock could not change the watch-list files:
// which file, the system's reason, and that the list on disk was kept as it was.
QString StoreFailureText(const StoreError &error, WatchListChange change);

} // namespace velmora
