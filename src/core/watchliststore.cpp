#include "core/watchliststore.h"

#include "core/lines.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

constexpr std::array<const char *, 3> kFileNames{kCodeFileName, kTakeProfitFileName,
                                                 kStopLossFileName};

std::filesystem::path newPathOf(const std::filesystem::path &dir, const char *name)
{
    return dir / (std::string(name) + ".new");
}

StoreError errorFor(const std::string &file, const std::string &reason)
{
    return StoreError{file, reason, false};
}

// Reads one file for a change: a missing file counts as empty, an unreadable one is an error.
std::optional<std::string> readForChange(StoreFileSystem &fs, const std::filesystem::path &dir,
                                         const char *name, std::optional<StoreError> &error)
{
    std::string reason;
    switch (fs.presence(dir / name, &reason)) {
    case StoreFileSystem::Presence::Missing:
        return std::string();
    case StoreFileSystem::Presence::Unknown:
        error = errorFor(name, reason);
        return std::nullopt;
    case StoreFileSystem::Presence::Present:
        break;
    }
    auto bytes = fs.readAll(dir / name, &reason);
    if (!bytes)
        error = errorFor(name, reason);
    return bytes;
}

void discardNewFiles(StoreFileSystem &fs, const std::filesystem::path &dir)
{
    for (const char *name : kFileNames)
        fs.remove(newPathOf(dir, name), nullptr);
}

// The one protocol every change goes through: all new contents written and flushed beside the
// old files, then the marker, then the renames, then the marker goes. A kill at any instant
// leaves either the old list or (after FinishInterruptedChange) the new one.
std::optional<StoreError> commitContents(StoreFileSystem &fs, const std::filesystem::path &dir,
                                         const std::array<std::string, 3> &contents)
{
    std::string reason;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        if (!fs.writeDurably(newPathOf(dir, kFileNames[i]), contents[i], &reason)) {
            discardNewFiles(fs, dir);
            return errorFor(kFileNames[i], reason);
        }
    }
    const auto marker = dir / kCommitMarkerName;
    if (!fs.writeDurably(marker, std::string(), &reason) || !fs.syncDirectory(dir, &reason)) {
        const std::string why = reason;
        fs.remove(marker, nullptr);
        discardNewFiles(fs, dir);
        return errorFor(kCommitMarkerName, why);
    }
    for (const char *name : kFileNames) {
        if (!fs.rename(newPathOf(dir, name), dir / name, &reason)) {
            // The marker stays: the next start-up finishes the renames.
            return errorFor(name, reason);
        }
    }
    if (!fs.syncDirectory(dir, &reason))
        return errorFor(kCommitMarkerName, reason);
    if (!fs.remove(marker, &reason))
        return errorFor(kCommitMarkerName, reason);
    fs.syncDirectory(dir, nullptr);
    return std::nullopt;
}

// A change whose renames failed earlier in this run left its marker for the next start-up.
// Finish it before this change reads or writes anything: new contents written beside a live
// marker would be renamed into place, half-written, by a start-up after a kill, and an append
// read from the half-renamed files would drop the earlier row's thresholds.
std::optional<StoreError> finishFailedChange(StoreFileSystem &fs, const std::filesystem::path &dir)
{
    std::string reason;
    switch (fs.presence(dir / kCommitMarkerName, &reason)) {
    case StoreFileSystem::Presence::Missing:
        return std::nullopt;
    case StoreFileSystem::Presence::Unknown:
        return errorFor(kCommitMarkerName, reason);
    case StoreFileSystem::Presence::Present:
        break;
    }
    return FinishInterruptedChange(dir, fs);
}

// Line i of a threshold file belongs to row i. When its line count does not match the rows,
// the appended value would land on the wrong row at the next start, so the file is first
// brought to one line per row (missing lines empty, extra lines dropped).
std::string appendLine(const std::string &current, std::size_t rows, const std::string &value)
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
    out += value;
    out += "\r\n";
    return out;
}

} // namespace

std::optional<StoreError> FinishInterruptedChange(const std::filesystem::path &dir,
                                                  StoreFileSystem &fs)
{
    std::string reason;
    const auto marker = dir / kCommitMarkerName;
    switch (fs.presence(marker, &reason)) {
    case StoreFileSystem::Presence::Unknown:
        return errorFor(kCommitMarkerName, reason);
    case StoreFileSystem::Presence::Missing:
        for (const char *name : kFileNames) {
            if (!fs.remove(newPathOf(dir, name), &reason))
                return errorFor(std::string(name) + ".new", reason);
        }
        return std::nullopt;
    case StoreFileSystem::Presence::Present:
        break;
    }
    for (const char *name : kFileNames) {
        const auto pending = newPathOf(dir, name);
        switch (fs.presence(pending, &reason)) {
        case StoreFileSystem::Presence::Missing:
            continue; // already renamed before the interruption
        case StoreFileSystem::Presence::Unknown:
            return errorFor(std::string(name) + ".new", reason);
        case StoreFileSystem::Presence::Present:
            if (!fs.rename(pending, dir / name, &reason))
                return errorFor(name, reason);
        }
    }
    if (!fs.syncDirectory(dir, &reason) || !fs.remove(marker, &reason))
        return errorFor(kCommitMarkerName, reason);
    fs.syncDirectory(dir, nullptr);
    return std::nullopt;
}

LoadedWatchList LoadWatchList(const std::filesystem::path &dir, StoreFileSystem &fs)
{
    LoadedWatchList result;
    if (auto error = FinishInterruptedChange(dir, fs)) {
        result.error = error;
        return result;
    }
    std::array<std::vector<std::string>, 3> columns;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        std::string reason;
        const auto path = dir / kFileNames[i];
        const auto presence = fs.presence(path, &reason);
        if (presence == StoreFileSystem::Presence::Missing)
            continue;
        std::optional<std::string> bytes;
        if (presence == StoreFileSystem::Presence::Present)
            bytes = fs.readAll(path, &reason);
        if (!bytes) {
            result.error = errorFor(kFileNames[i], reason);
            result.entries.clear();
            return result;
        }
        columns[i] = SplitLines(*bytes);
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
    return result;
}

std::optional<StoreError> AppendWatchEntry(const std::filesystem::path &dir,
                                           const WatchEntry &entry, StoreFileSystem &fs)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    std::optional<StoreError> error;
    std::array<std::string, 3> current;
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        auto bytes = readForChange(fs, dir, kFileNames[i], error);
        if (!bytes)
            return error;
        current[i] = std::move(*bytes);
    }
    const std::size_t rows = SplitLines(current[0]).size();
    const std::array<std::string, 3> contents{appendLine(current[0], rows, entry.code),
                                              appendLine(current[1], rows, entry.takeProfit),
                                              appendLine(current[2], rows, entry.stopLoss)};
    return commitContents(fs, dir, contents);
}

std::optional<StoreError> RewriteWatchFiles(const std::filesystem::path &dir,
                                            const WatchEntries &rows, StoreFileSystem &fs)
{
    if (auto error = finishFailedChange(fs, dir))
        return error;
    std::array<std::string, 3> contents;
    for (const auto &row : rows) {
        contents[0] += row.code + "\r\n";
        contents[1] += row.takeProfit + "\r\n";
        contents[2] += row.stopLoss + "\r\n";
    }
    return commitContents(fs, dir, contents);
}

WatchListFiles::WatchListFiles(std::filesystem::path dir, StoreFileSystem &fs)
    : m_dir(std::move(dir)), m_fs(fs)
{
}

LoadedWatchList WatchListFiles::load()
{
    auto loaded = LoadWatchList(m_dir, m_fs);
    if (loaded.error) {
        m_readOnly = loaded.error;
        m_readOnly->readOnlyRun = true;
    }
    return loaded;
}

std::optional<StoreError> WatchListFiles::refusal() const
{
    return m_readOnly;
}

std::optional<StoreError> WatchListFiles::append(const WatchEntry &entry)
{
    if (auto refused = refusal())
        return refused;
    return AppendWatchEntry(m_dir, entry, m_fs);
}

std::optional<StoreError> WatchListFiles::rewrite(const WatchEntries &rows)
{
    if (auto refused = refusal())
        return refused;
    return RewriteWatchFiles(m_dir, rows, m_fs);
}

} // namespace velmora
