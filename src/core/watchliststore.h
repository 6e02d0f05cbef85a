#pragma once

#include "core/filesystem.h"
#include "core/watchentry.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

inline constexpr const char *kCodeFileName = "Setting.ini";
inline constexpr const char *kTakeProfitFileName = "Setting2.ini";
inline constexpr const char *kStopLossFileName = "Setting3.ini";
inline constexpr const char *kCommitMarkerName = "Setting.commit";
// The lots of the holdings, beside the three files of the list and changed by the same protocol.
inline constexpr const char *kHoldingsFileName = "Holdings.csv";

// What a change does to the lots file: nothing (most changes of the list), new contents, or,
// with contents of nullopt, no file at all.
using HoldingsChange = std::optional<std::optional<std::string>>;

// What went wrong with which file, in the system's own words.
struct StoreError
{
    enum class Kind {
        Failed,         // this change could not be made; the files are as they were
        UnreadableList, // a file could not be read at start: this run writes nothing
        ReadOnlyFolder, // the folder cannot be written: this run writes nothing
    };
    std::string file;    // base name, e.g. "Setting2.ini"; empty for the folder itself
    std::string reason;  // e.g. "No space left on device"
    int errorNumber = 0; // errno, 0 when unknown
    Kind kind = Kind::Failed;
};

struct LoadedWatchList
{
    WatchEntries entries;
    // Set when this run must write none of the files: a file exists but could not be read (the
    // list is then empty), or the folder cannot be written (the list is shown).
    std::optional<StoreError> error;
    // The lots file's bytes; nothing when there is none, or when it could not be read.
    std::optional<std::string> holdings;
    std::optional<StoreError> holdingsError;
};

// Finishes a change that was interrupted after all new contents were on disk (the commit
// marker exists), or throws away the new contents of one that was not. Never creates a file.
std::optional<StoreError> FinishInterruptedChange(const std::filesystem::path &dir,
                                                  StoreFileSystem &fs = StoreFileSystem::real());

// Reads the three files of dir. Rows are the lines of Setting.ini; line i of each threshold
// file belongs to row i; a threshold file with fewer lines leaves later cells empty, extra lines
// are ignored. Missing files are skipped; nothing is created. A change that was interrupted is
// finished first; when it cannot be (a read-only folder), its new contents are what is read.
LoadedWatchList LoadWatchList(const std::filesystem::path &dir,
                              StoreFileSystem &fs = StoreFileSystem::real());

// Adds the entries as the last lines of each file, in order. All three files change or none
// does. A change counts as made once all new contents and the commit marker are on disk: a
// rename that fails then is tried again, and what still fails is finished by the next change
// or the next start. An error means the files still hold the old list.
// Every change below may change the lots file in the same commit (holdings): all four files
// land, or none does.
std::optional<StoreError> AppendWatchEntries(const std::filesystem::path &dir,
                                             const WatchEntries &entries,
                                             StoreFileSystem &fs = StoreFileSystem::real(),
                                             const HoldingsChange &holdings = {});
std::optional<StoreError> AppendWatchEntry(const std::filesystem::path &dir,
                                           const WatchEntry &entry,
                                           StoreFileSystem &fs = StoreFileSystem::real());

// Writes the three files anew from rows, with the same guarantee.
std::optional<StoreError> RewriteWatchFiles(const std::filesystem::path &dir,
                                            const WatchEntries &rows,
                                            StoreFileSystem &fs = StoreFileSystem::real(),
                                            const HoldingsChange &holdings = {});

// Only the lots file, with the same guarantee.
std::optional<StoreError> WriteHoldings(const std::filesystem::path &dir, const std::string &bytes,
                                        StoreFileSystem &fs = StoreFileSystem::real());

// Sets line `row` of the take-profit file, the stop-loss file or both (nullopt: that file stays
// as it is) with the same guarantee. Only that line changes: every other byte of the file, its
// line ends included, stays as it was, and so do the other two files. A file shorter than the
// rows gets empty lines up to `row`.
std::optional<StoreError> SetThresholds(const std::filesystem::path &dir, std::size_t row,
                                        const std::optional<std::string> &takeProfit,
                                        const std::optional<std::string> &stopLoss,
                                        StoreFileSystem &fs = StoreFileSystem::real());

// Puts the three files back as given, byte for byte, with the same guarantee; nullopt: the
// file is removed (it was absent when the copy was taken). The lots file as holdings says.
std::optional<StoreError> RestoreWatchFiles(const std::filesystem::path &dir,
                                            const std::array<std::optional<std::string>, 3> &files,
                                            StoreFileSystem &fs = StoreFileSystem::real(),
                                            const HoldingsChange &holdings = {});

// The store of one run: remembers whether the list could be read and the folder written at
// start, and refuses every change up front when not, so an unreadable list is never
// overwritten and a read-only folder is never tried.
class WatchListFiles
{
public:
    explicit WatchListFiles(std::filesystem::path dir,
                            StoreFileSystem &fs = StoreFileSystem::real());

    LoadedWatchList load();
    std::optional<StoreError> append(const WatchEntries &entries, const HoldingsChange &holdings = {});
    std::optional<StoreError> rewrite(const WatchEntries &rows, const HoldingsChange &holdings = {});
    std::optional<StoreError> writeHoldings(const std::string &bytes);
    std::optional<StoreError> setThresholds(std::size_t row,
                                            const std::optional<std::string> &takeProfit,
                                            const std::optional<std::string> &stopLoss);
    std::optional<StoreError> restore(const std::array<std::optional<std::string>, 3> &files,
                                      const HoldingsChange &holdings = {});

    // Why this run writes nothing, when it does not.
    const std::optional<StoreError> &refusal() const { return m_refusal; }
    bool writable() const { return !m_refusal.has_value(); }
    const std::filesystem::path &dir() const { return m_dir; }
    StoreFileSystem &fileSystem() const { return m_fs; }

private:
    std::filesystem::path m_dir;
    StoreFileSystem &m_fs;
    std::optional<StoreError> m_refusal;
};

} // namespace velmora
