#pragma once

#include "core/filesystem.h"
#include "core/watchentry.h"

#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

inline constexpr const char *kCodeFileName = "Setting.ini";
inline constexpr const char *kTakeProfitFileName = "Setting2.ini";
inline constexpr const char *kStopLossFileName = "Setting3.ini";
inline constexpr const char *kCommitMarkerName = "Setting.commit";

// What went wrong with which file, in the system's own words.
struct StoreError
{
    std::string file;   // base name, e.g. "Setting2.ini"
    std::string reason; // e.g. "No space left on device"
    bool readOnlyRun = false; // refused because the list could not be read at start-up
};

struct LoadedWatchList
{
    WatchEntries entries;
    // Set when a file exists but could not be read (or an interrupted change could not be
    // finished): the caller must then write none of the three files during this run.
    std::optional<StoreError> error;
};

// Finishes a change that was interrupted after all new contents were on disk (the commit
// marker exists), or throws away the new contents of one that was not. Never creates a file.
std::optional<StoreError> FinishInterruptedChange(const std::filesystem::path &dir,
                                                  StoreFileSystem &fs = StoreFileSystem::real());

// Reads the three files of dir. Rows are the lines of Setting.ini; line i of each threshold
// file belongs to row i; a threshold file with fewer lines leaves later cells empty, extra lines
// are ignored. Missing files are skipped; nothing is created.
LoadedWatchList LoadWatchList(const std::filesystem::path &dir,
                              StoreFileSystem &fs = StoreFileSystem::real());

// Adds entry as the last line of each file. All three files change or none does.
std::optional<StoreError> AppendWatchEntry(const std::filesystem::path &dir,
                                           const WatchEntry &entry,
                                           StoreFileSystem &fs = StoreFileSystem::real());

// Writes the three files anew from rows. All three files change or none does.
std::optional<StoreError> RewriteWatchFiles(const std::filesystem::path &dir,
                                            const WatchEntries &rows,
                                            StoreFileSystem &fs = StoreFileSystem::real());

// The store of one run: remembers whether the list could be read at start-up and refuses to
// write when it could not, so an unreadable list is never overwritten.
class WatchListFiles
{
public:
    explicit WatchListFiles(std::filesystem::path dir,
                            StoreFileSystem &fs = StoreFileSystem::real());

    LoadedWatchList load();
    std::optional<StoreError> append(const WatchEntry &entry);
    std::optional<StoreError> rewrite(const WatchEntries &rows);

    bool writable() const { return !m_readOnly.has_value(); }
    const std::filesystem::path &dir() const { return m_dir; }

private:
    std::optional<StoreError> refusal() const;

    std::filesystem::path m_dir;
    StoreFileSystem &m_fs;
    std::optional<StoreError> m_readOnly;
};

} // namespace velmora
