#include "core/watchliststore.h"

#include "core/lines.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

using Presence = StoreFileSystem::Presence;

constexpr std::array<const char *, 3> kFileNames{kCodeFileName, kTakeProfitFileName,
                                                 kStopLossFileName};
// Every file a change may touch: the list's three and the lots file.
constexpr std::array<const char *, 4> kAllFileNames{kCodeFileName, kTakeProfitFileName,
                                                    kStopLossFileName, kHoldingsFileName};

std::filesystem::path newPathOf(const std::filesystem::path &dir, const char *name)
{
    return dir / (std::string(name) + ".new");
}

// Stands beside a file that the change removes (a restore of a list that had no such file).
std::filesystem::path gonePathOf(const std::filesystem::path &dir, const char *name)
{
    return dir / (std::string(name) + ".gone");
}

using Contents = std::array<std::optional<std::string>, 3>;

StoreError errorFor(const std::string &file, const SystemError &cause,
                    StoreError::Kind kind = StoreError::Kind::Failed)
{
    return StoreError{file, cause.text, cause.number, kind};
}

// Reads one file: a missing file counts as empty, an unreadable one is an error.
std::optional<std::string> readFile(StoreFileSystem &fs, const std::filesystem::path &path,
                                    const std::string &name, std::optional<StoreError> &error)
{
    SystemError cause;
    switch (fs.presence(path, &cause)) {
    case Presence::Missing:
        return std::string();
    case Presence::Unknown:
        error = errorFor(name, cause);
        return std::nullopt;
    case Presence::Present:
        break;
    }
    auto bytes = fs.readAll(path, &cause);
    if (!bytes)
        error = errorFor(name, cause);
    return bytes;
}

// Throws away the new contents of a change that never reached its marker. Only files that are
// there are removed: on a read-only mount even removing a missing file fails, and a folder that
// can be read must still show its list.
void discardNewFiles(StoreFileSystem &fs, const std::filesystem::path &dir)
{
    for (const char *name : kAllFileNames) {
        for (const auto &path : {newPathOf(dir, name), gonePathOf(dir, name)}) {
            if (fs.presence(path, nullptr) == Presence::Present)
                fs.remove(path, nullptr);
        }
    }
}

// Puts one file's part of a marked change in place: its new content renamed over it, or, for
// a file the change removes, the file and then its tombstone removed.
std::optional<StoreError> settleFile(StoreFileSystem &fs, const std::filesystem::path &dir,
                                     const char *name)
{
    SystemError cause;
    const auto pending = newPathOf(dir, name);
    Presence presence = fs.presence(pending, &cause);
    if (presence == Presence::Present && fs.rename(pending, dir / name, &cause))
        return std::nullopt;
    if (presence != Presence::Missing)
        return errorFor(name, cause);
    const auto gone = gonePathOf(dir, name);
    presence = fs.presence(gone, &cause);
    if (presence == Presence::Missing)
        return std::nullopt; // already in place
    if (presence == Presence::Present && fs.remove(dir / name, &cause) && fs.remove(gone, &cause))
        return std::nullopt;
    return errorFor(name, cause);
}

// Settles every file of a marked change; what fails is tried once more after the others.
// Returns the last failure, nothing when all are in place.
std::optional<StoreError> renamePending(StoreFileSystem &fs, const std::filesystem::path &dir)
{
    std::optional<StoreError> failure;
    for (int attempt = 0; attempt < 2; ++attempt) {
        failure.reset();
        for (const char *name : kAllFileNames) {
            if (auto error = settleFile(fs, dir, name))
                failure = error;
        }
        if (!failure)
            return std::nullopt;
    }
    return failure;
}

// The one protocol every change goes through: all new contents written and flushed beside the
// old files, then the marker, then the renames, then the marker goes. A kill at any instant
// leaves either the old list or (after FinishInterruptedChange) the new one. Once the marker is
// on disk the change has landed, whatever happens after: reporting it as failed then would show
// the old list while the disk holds the new one, and a retry would add the row twice.
std::optional<StoreError> commitContents(StoreFileSystem &fs, const std::filesystem::path &dir,
                                         const Contents &contents, const HoldingsChange &holdings = {})
{
    SystemError cause;
    for (std::size_t i = 0; i < kAllFileNames.size(); ++i) {
        // The lots file only when the change touches it; the list's three files always.
        const std::optional<std::string> *content = i < contents.size() ? &contents[i]
                                                    : holdings           ? &*holdings
                                                                         : nullptr;
        if (!content)
            continue;
        const bool written =
            *content ? fs.writeDurably(newPathOf(dir, kAllFileNames[i]), **content, &cause)
                     : fs.writeDurably(gonePathOf(dir, kAllFileNames[i]), std::string(), &cause);
        if (!written) {
            discardNewFiles(fs, dir);
            return errorFor(kAllFileNames[i], cause);
        }
    }
    const auto marker = dir / kCommitMarkerName;
    if (!fs.writeDurably(marker, std::string(), &cause) || !fs.syncDirectory(dir, &cause)) {
        const SystemError why = cause;
        fs.remove(marker, nullptr);
        discardNewFiles(fs, dir);
        return errorFor(kCommitMarkerName, why);
    }
    // What still fails to rename keeps the marker: the next change or start finishes it.
    if (renamePending(fs, dir))
        return std::nullopt;
    if (fs.syncDirectory(dir, nullptr) && fs.remove(marker, nullptr))
        fs.syncDirectory(dir, nullptr);
    return std::nullopt;
}

// A change whose renames failed earlier left its marker. Finish it before this change reads or
// writes anything: new contents written beside a live marker would be renamed into place,
// half-written, by a start after a kill, and an append read from the half-renamed files would
// drop the earlier row's thresholds.
std::optional<StoreError> finishFailedChange(StoreFileSystem &fs, const std::filesystem::path &dir)
{
    SystemError cause;
    switch (fs.presence(dir / kCommitMarkerName, &cause)) {
    case Presence::Missing:
        return std::nullopt;
    case Presence::Unknown:
        return errorFor(kCommitMarkerName, cause);
    case Presence::Present:
        break;
    }
    return FinishInterruptedChange(dir, fs);
}

// Line i of a threshold file belongs to row i. When its line count does not match the rows,
// appended values would land on the wrong rows at the next start, so the file is first brought
// to one line per row (missing lines empty, extra lines dropped).
std::string appendLines(const std::string &current, std::size_t rows,
                        const std::vector<std::string> &values)
{
    const auto lines = SplitLines(current);
    std::string out;
    if (lines.size() == rows) {
        out = current;
        if (!EndsWithTerminator(out))
            out += "\r\n";
    } else {
        std::vector<std::string> fitted(lines.begin(),
                                        lines.begin() + static_cast<std::ptrdiff_t>(
                                                            std::min(rows, lines.size())));
        fitted.resize(rows);
        out = JoinLines(fitted);
    }
    return out + JoinLines(values);
}

} // namespace

std::optional<StoreError> FinishInterruptedChange(const std::filesystem::path &dir,
                                                  StoreFileSystem &fs)
{
    SystemError cause;
    const auto marker = dir / kCommitMarkerName;
    switch (fs.presence(marker, &cause)) {
    case Presence::Unknown:
        return errorFor(kCommitMarkerName, cause);
    case Presence::Missing:
        discardNewFiles(fs, dir);
        return std::nullopt;
    case Presence::Present:
        break;
    }
    if (auto failure = renamePending(fs, dir))
        return failure;
    if (!fs.syncDirectory(dir, &cause) || !fs.remove(marker, &cause))
        return errorFor(kCommitMarkerName, cause);
    fs.syncDirectory(dir, nullptr);
    return std::nullopt;
}

LoadedWatchList LoadWatchList(const std::filesystem::path &dir, StoreFileSystem &fs)
{
    LoadedWatchList result;
    // A change that cannot be finished now (a read-only folder) is still the list on disk: its
    // marker says every new content is complete. Its new contents are read in place of the old.
    const bool pending = FinishInterruptedChange(dir, fs).has_value() &&
                         fs.presence(dir / kCommitMarkerName, nullptr) == Presence::Present;
    std::array<std::vector<std::string>, 3> columns;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        auto path = dir / kFileNames[i];
        if (pending && fs.presence(newPathOf(dir, kFileNames[i]), nullptr) == Presence::Present)
            path = newPathOf(dir, kFileNames[i]);
        if (pending && fs.presence(gonePathOf(dir, kFileNames[i]), nullptr) == Presence::Present)
            continue; // the change removes it: it is as good as gone
        std::optional<StoreError> error;
        const auto bytes = readFile(fs, path, kFileNames[i], error);
        if (!bytes) {
            result.error = error;
            result.error->kind = StoreError::Kind::UnreadableList;
            return result;
        }
        columns[i] = SplitLines(*bytes);
    }
    // The lots file: its own trouble is its own; the list shows all the same.
    {
        auto path = dir / kHoldingsFileName;
        if (pending && fs.presence(newPathOf(dir, kHoldingsFileName), nullptr) == Presence::Present)
            path = newPathOf(dir, kHoldingsFileName);
        const bool gone = pending && fs.presence(gonePathOf(dir, kHoldingsFileName), nullptr) == Presence::Present;
        SystemError cause;
        const Presence presence = gone ? Presence::Missing : fs.presence(path, &cause);
        if (presence == Presence::Present)
            result.holdings = fs.readAll(path, &cause);
        if (presence == Presence::Unknown || (presence == Presence::Present && !result.holdings))
            result.holdingsError = errorFor(kHoldingsFileName, cause, StoreError::Kind::UnreadableList);
    }
    const auto &codes = columns[0];
    result.entries.reserve(codes.size());
    for (std::size_t row = 0; row < codes.size(); ++row) {
        WatchEntry entry;
        entry.code = codes[row];
        if (row < columns[1].size())
            entry.takeProfit = columns[1][row];
        if (row < columns[2].size())
            entry.stopLoss = columns[2][row];
        result.entries.push_back(std::move(entry));
    }
    SystemError cause;
    if (!fs.writable(dir, &cause))
        result.error = errorFor(std::string(), cause, StoreError::Kind::ReadOnlyFolder);
    return result;
}

std::optional<StoreError> AppendWatchEntries(const std::filesystem::path &dir,
                                             const WatchEntries &entries, StoreFileSystem &fs,
                                             const HoldingsChange &holdings)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    std::optional<StoreError> error;
    std::array<std::string, 3> current;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        auto bytes = readFile(fs, dir / kFileNames[i], kFileNames[i], error);
        if (!bytes)
            return error;
        current[i] = std::move(*bytes);
    }
    std::array<std::vector<std::string>, 3> values;
    for (const WatchEntry &entry : entries) {
        values[0].push_back(entry.code);
        values[1].push_back(entry.takeProfit);
        values[2].push_back(entry.stopLoss);
    }
    const std::size_t rows = SplitLines(current[0]).size();
    return commitContents(fs, dir,
                          Contents{appendLines(current[0], rows, values[0]),
                                   appendLines(current[1], rows, values[1]),
                                   appendLines(current[2], rows, values[2])},
                          holdings);
}

std::optional<StoreError> AppendWatchEntry(const std::filesystem::path &dir,
                                           const WatchEntry &entry, StoreFileSystem &fs)
{
    return AppendWatchEntries(dir, {entry}, fs);
}

std::optional<StoreError> RewriteWatchFiles(const std::filesystem::path &dir,
                                            const WatchEntries &rows, StoreFileSystem &fs,
                                            const HoldingsChange &holdings)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    Contents contents{std::string(), std::string(), std::string()};
    for (const auto &row : rows) {
        *contents[0] += row.code + "\r\n";
        *contents[1] += row.takeProfit + "\r\n";
        *contents[2] += row.stopLoss + "\r\n";
    }
    return commitContents(fs, dir, contents, holdings);
}

std::optional<StoreError> WriteHoldings(const std::filesystem::path &dir, const std::string &bytes,
                                        StoreFileSystem &fs)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    // The list's files as they are: read and written back whole, so the commit stays one.
    Contents contents;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        std::optional<StoreError> error;
        const auto path = dir / kFileNames[i];
        if (fs.presence(path, nullptr) == Presence::Missing)
            continue; // absent stays absent
        auto current = readFile(fs, path, kFileNames[i], error);
        if (!current)
            return error;
        contents[i] = std::move(current);
    }
    return commitContents(fs, dir, contents, HoldingsChange(bytes));
}

std::optional<StoreError> SetThresholds(const std::filesystem::path &dir, std::size_t row,
                                        const std::optional<std::string> &takeProfit,
                                        const std::optional<std::string> &stopLoss,
                                        StoreFileSystem &fs)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    Contents contents;
    const std::optional<std::string> *values[3] = {nullptr, &takeProfit, &stopLoss};
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        std::optional<StoreError> error;
        const auto path = dir / kFileNames[i];
        const Presence presence = fs.presence(path, nullptr);
        auto bytes = readFile(fs, path, kFileNames[i], error);
        if (!bytes)
            return error;
        if (values[i] && *values[i])
            bytes = ReplaceLine(*bytes, row, **values[i]);
        // An untouched file that is not there stays away.
        if (presence != Presence::Missing || (values[i] && *values[i]))
            contents[i] = std::move(bytes);
    }
    return commitContents(fs, dir, contents);
}

std::optional<StoreError> RestoreWatchFiles(const std::filesystem::path &dir,
                                            const std::array<std::optional<std::string>, 3> &files,
                                            StoreFileSystem &fs, const HoldingsChange &holdings)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    return commitContents(fs, dir, files, holdings);
}

WatchListFiles::WatchListFiles(std::filesystem::path dir, StoreFileSystem &fs)
    : m_dir(std::move(dir)), m_fs(fs)
{
}

LoadedWatchList WatchListFiles::load()
{
    auto loaded = LoadWatchList(m_dir, m_fs);
    m_refusal = loaded.error;
    return loaded;
}

std::optional<StoreError> WatchListFiles::append(const WatchEntries &entries,
                                                 const HoldingsChange &holdings)
{
    if (m_refusal)
        return m_refusal;
    return AppendWatchEntries(m_dir, entries, m_fs, holdings);
}

std::optional<StoreError> WatchListFiles::rewrite(const WatchEntries &rows,
                                                  const HoldingsChange &holdings)
{
    if (m_refusal)
        return m_refusal;
    return RewriteWatchFiles(m_dir, rows, m_fs, holdings);
}

std::optional<StoreError> WatchListFiles::writeHoldings(const std::string &bytes)
{
    if (m_refusal)
        return m_refusal;
    return WriteHoldings(m_dir, bytes, m_fs);
}

std::optional<StoreError> WatchListFiles::setThresholds(std::size_t row,
                                                        const std::optional<std::string> &takeProfit,
                                                        const std::optional<std::string> &stopLoss)
{
    if (m_refusal)
        return m_refusal;
    return SetThresholds(m_dir, row, takeProfit, stopLoss, m_fs);
}

std::optional<StoreError>
WatchListFiles::restore(const std::array<std::optional<std::string>, 3> &files,
                        const HoldingsChange &holdings)
{
    if (m_refusal)
        return m_refusal;
    return RestoreWatchFiles(m_dir, files, m_fs, holdings);
}

} // namespace velmora
