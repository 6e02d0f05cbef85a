#pragma once

#include "core/watchliststore.h"

#include <QString>

namespace velmora {

enum class WatchListChange { Add, Remove, Edit, Import, Restore };

// The message shown when adding or removing a stock could not change the watch-list files:
// which file, the system's reason, and that the list on disk was kept as it was.
QString StoreFailureText(const StoreError &error, WatchListChange change);

// The message shown once at start when a file of the list could not be read or the folder
// cannot be written: the run then writes none of the three files. Changes are refused with the
// same words.
QString LoadFailureText(const StoreError &error);

// The message shown when the copy of the list taken before a change could not be made; the
// change went ahead all the same.
QString SnapshotFailureText(const StoreError &error, WatchListChange change);

// The message shown when the lots file could not be read or understood at start, and when a
// change of the lots is refused for it.
QString HoldingsFailureText(const StoreError &error);

// The reason in short Chinese where there is a wording for it, else in the system's words.
QString ReasonText(const StoreError &error);

} // namespace velmora
