#pragma once

#include "core/filesystem.h"
#include "core/watchliststore.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Before each change of the list, the three files are copied into a folder of their own inside
// this folder of the data folder, named after the local time: "20261207-093015-123", with "-1",
// "-2" … added when that name is taken.
inline constexpr const char *kSnapshotFolderName = "backups";
inline constexpr std::size_t kSnapshotsKept = 20;

struct SnapshotInfo
{
    std::string name;
    int rows = 0; // lines of its Setting.ini: 0 when absent, -1 when it could not be read
};

// The files of a snapshot; nullopt for a file that was absent when it was taken. The lots file
// as the snapshot recorded it (its bytes, or that there was none); nothing for a snapshot taken
// before the program kept lots, which a restore leaves the lots alone for.
struct SnapshotContents
{
    std::optional<std::string> codes;
    std::optional<std::string> takeProfit;
    std::optional<std::string> stopLoss;
    HoldingsChange holdings;
};

// Whether name is a snapshot's: 8 digits, "-", 6 digits, "-", 3 digits, optionally "-" and
// digits. Nothing else in the backups folder is ever read, listed or removed.
bool IsSnapshotName(std::string_view name);

// When a snapshot was taken, as people read it: "2026-12-07 09:30:15" for "20261207-093015-123";
// a name too short to hold a time comes back as it is.
std::string SnapshotTimeText(std::string_view name);

// Name order, which is time order: "…-123" < "…-123-1" < "…-123-2" < "…-123-10" < "…-124".
bool SnapshotOlder(std::string_view a, std::string_view b);

// Copies the three files and the lots file (or a note that there is none) into a new snapshot named stem ("yyyyMMdd-HHmmss-zzz"; the caller reads
// the clock) or the first free "stem-N". A snapshot is always the newest by name: when the
// clock has gone back (a correction, a time zone change) and stem would sort before the newest
// snapshot there, the new one takes the newest's stem with the next free suffix, so that
// pruning never takes it for an old one. Its name goes to *taken when given. The copies are written into ".incomplete-<name>" and
// flushed; only then is that folder renamed, so a half snapshot never shows as one. An absent
// file is not copied. On failure it says which file (or "backups" for the folders) and why,
// and leaves nothing behind; if only making the final rename durable fails, the snapshot stays,
// complete, and the failure is still reported.
std::optional<StoreError> TakeSnapshot(const std::filesystem::path &dataDir,
                                       const std::string &stem,
                                       StoreFileSystem &fs = StoreFileSystem::real(),
                                       std::string *taken = nullptr);

// Takes a snapshot away again: the one taken before a change that then failed, which must not
// claim to precede it.
bool RemoveSnapshot(const std::filesystem::path &dataDir, const std::string &name,
                    StoreFileSystem &fs = StoreFileSystem::real());

// Removes the oldest snapshots beyond keep, and ".incomplete-<name>" folders left by an
// interrupted snapshot whose name is older than the newest snapshot (a newer one could still be
// being written). Goes on past a failure and reports the first one.
std::optional<StoreError> PruneSnapshots(const std::filesystem::path &dataDir,
                                         std::size_t keep = kSnapshotsKept,
                                         StoreFileSystem &fs = StoreFileSystem::real());

// The snapshots, newest first; none when there is no backups folder or it cannot be read.
std::vector<SnapshotInfo> ListSnapshots(const std::filesystem::path &dataDir,
                                        StoreFileSystem &fs = StoreFileSystem::real());

// What a restore writes back. Refuses a name that is not a snapshot's (so no path can lead out
// of the backups folder), a snapshot that is not there, and a file that cannot be read; the
// reason goes to *error when given.
std::optional<SnapshotContents> ReadSnapshot(const std::filesystem::path &dataDir,
                                             std::string_view name,
                                             StoreFileSystem &fs = StoreFileSystem::real(),
                                             StoreError *error = nullptr);

} // namespace velmora
