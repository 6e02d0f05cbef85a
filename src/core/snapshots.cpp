#include "core/snapshots.h"

#include "core/lines.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace velmora {

namespace {

using Presence = StoreFileSystem::Presence;

constexpr std::array<const char *, 3> kFileNames{kCodeFileName, kTakeProfitFileName,
                                                 kStopLossFileName};
constexpr std::size_t kStemLength = 19; // yyyyMMdd-HHmmss-zzz
constexpr std::string_view kIncompletePrefix = ".incomplete-";
constexpr int kMaxSuffix = 9999; // the same millisecond taken more often means a fault

StoreError failure(const std::string &file, const SystemError &cause)
{
    return StoreError{file, cause.text, cause.number, StoreError::Kind::Failed};
}

SystemError errorNumbered(int number)
{
    return {number, std::strerror(number)};
}

bool allDigits(std::string_view text)
{
    return !text.empty()
           && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Suffix digits without leading zeros, so their length ranks them first.
std::string_view suffixOf(std::string_view name)
{
    name.remove_prefix(std::min(name.size(), kStemLength + 1));
    while (name.size() > 1 && name.front() == '0')
        name.remove_prefix(1);
    return name;
}

// The snapshots in backups, oldest first, and the names of interrupted ones; nullopt with
// *cause when the folder cannot be listed.
std::optional<std::vector<std::string>> snapshotNames(StoreFileSystem &fs,
                                                      const std::filesystem::path &backups,
                                                      SystemError *cause,
                                                      std::vector<std::string> *incomplete)
{
    const auto entries = fs.listDirectory(backups, cause);
    if (!entries)
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto &entry : *entries) {
        if (!entry.isDirectory)
            continue;
        const std::string_view name = entry.name;
        if (IsSnapshotName(name))
            names.push_back(entry.name);
        else if (incomplete && name.substr(0, kIncompletePrefix.size()) == kIncompletePrefix
                 && IsSnapshotName(name.substr(kIncompletePrefix.size())))
            incomplete->push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return SnapshotOlder(a, b);
    });
    return names;
}

// Beside the copies, when there was no lots file: a restore then removes the lots. A snapshot
// with neither is older than the lots and leaves them alone.
constexpr const char *kNoHoldingsName = "Holdings.csv.absent";

std::optional<StoreError> copyFiles(StoreFileSystem &fs, const std::filesystem::path &dataDir,
                                    const std::filesystem::path &into)
{
    for (const char *name : {kCodeFileName, kTakeProfitFileName, kStopLossFileName, kHoldingsFileName}) {
        SystemError cause;
        const Presence presence = fs.presence(dataDir / name, &cause);
        if (presence == Presence::Missing && std::string_view(name) == kHoldingsFileName) {
            if (!fs.writeDurably(into / kNoHoldingsName, std::string(), &cause))
                return failure(name, cause);
            continue;
        }
        if (presence == Presence::Missing)
            continue; // absent stays absent: a restore then removes the file
        const bool lots = std::string_view(name) == kHoldingsFileName;
        auto bytes = presence == Presence::Present ? fs.readAll(dataDir / name, &cause) : std::nullopt;
        // Lots that cannot be read are not changed this run: the copy leaves them out, and a
        // restore of it leaves them alone.
        if (!bytes && lots)
            continue;
        if (!bytes || !fs.writeDurably(into / name, *bytes, &cause))
            return failure(name, cause);
    }
    return std::nullopt;
}

int rowsOf(StoreFileSystem &fs, const std::filesystem::path &file)
{
    switch (fs.presence(file, nullptr)) {
    case Presence::Missing:
        return 0;
    case Presence::Unknown:
        return -1;
    case Presence::Present:
        break;
    }
    const auto bytes = fs.readAll(file, nullptr);
    if (!bytes)
        return -1;
    return static_cast<int>(std::min<std::size_t>(SplitLines(*bytes).size(), INT_MAX));
}

} // namespace

bool IsSnapshotName(std::string_view name)
{
    if (name.size() < kStemLength || !allDigits(name.substr(0, 8)) || name[8] != '-'
        || !allDigits(name.substr(9, 6)) || name[15] != '-' || !allDigits(name.substr(16, 3)))
        return false;
    return name.size() == kStemLength
           || (name[kStemLength] == '-' && allDigits(name.substr(kStemLength + 1)));
}

std::string SnapshotTimeText(std::string_view name)
{
    if (name.size() < 15)
        return std::string(name);
    const auto part = [name](std::size_t at, std::size_t length) { return std::string(name.substr(at, length)); };
    return part(0, 4) + '-' + part(4, 2) + '-' + part(6, 2) + ' ' + part(9, 2) + ':' + part(11, 2) +
           ':' + part(13, 2);
}

bool SnapshotOlder(std::string_view a, std::string_view b)
{
    if (a.substr(0, kStemLength) != b.substr(0, kStemLength))
        return a.substr(0, kStemLength) < b.substr(0, kStemLength);
    const std::string_view x = suffixOf(a);
    const std::string_view y = suffixOf(b);
    if (x.size() != y.size())
        return x.size() < y.size();
    if (x != y)
        return x < y;
    return a < b; // "-01" and "-1": any fixed order will do
}

std::optional<StoreError> TakeSnapshot(const std::filesystem::path &dataDir,
                                       const std::string &stem, StoreFileSystem &fs,
                                       std::string *taken)
{
    if (stem.size() != kStemLength || !IsSnapshotName(stem))
        return failure(kSnapshotFolderName, errorNumbered(EINVAL));
    const auto backups = dataDir / kSnapshotFolderName;
    SystemError cause;
    if (fs.makeDirectory(backups, &cause)) {
        if (!fs.syncDirectory(dataDir, &cause))
            return failure(kSnapshotFolderName, cause);
    } else if (cause.number != EEXIST) {
        return failure(kSnapshotFolderName, cause);
    }

    // Never older than the newest there: the clock may have gone back since it was taken.
    // Stems are digits of a fixed width, so comparing them as text compares their times.
    std::string base = stem;
    int n = 0; // the suffix; 0 for none
    if (const auto names = snapshotNames(fs, backups, nullptr, nullptr); names && !names->empty()) {
        const std::string &newest = names->back();
        if (newest.compare(0, kStemLength, stem) >= 0) {
            base = newest.substr(0, kStemLength);
            const std::string_view suffix = suffixOf(newest);
            n = newest.size() == kStemLength ? 1
                : suffix.size() < 5          ? std::stoi(std::string(suffix)) + 1
                                             : kMaxSuffix + 1;
        }
    }
    std::string name = n == 0 ? base : base + "-" + std::to_string(n);
    for (;;) {
        const Presence presence = fs.presence(backups / name, &cause);
        if (presence == Presence::Missing)
            break;
        if (presence == Presence::Unknown)
            return failure(kSnapshotFolderName, cause);
        if (++n > kMaxSuffix)
            return failure(kSnapshotFolderName, errorNumbered(EEXIST));
        name = base + "-" + std::to_string(n);
    }
    if (n > kMaxSuffix)
        return failure(kSnapshotFolderName, errorNumbered(EEXIST));

    // A folder by this name can only be what an interrupted snapshot left: start afresh.
    const auto incomplete = backups / (std::string(kIncompletePrefix) + name);
    if (!fs.removeDirectory(incomplete, &cause) || !fs.makeDirectory(incomplete, &cause))
        return failure(kSnapshotFolderName, cause);
    auto error = copyFiles(fs, dataDir, incomplete);
    if (!error && !fs.syncDirectory(incomplete, &cause))
        error = failure(kSnapshotFolderName, cause);
    if (!error && !fs.rename(incomplete, backups / name, &cause))
        error = failure(kSnapshotFolderName, cause);
    if (error) {
        fs.removeDirectory(incomplete, nullptr);
        return error;
    }
    if (taken)
        *taken = name;
    if (!fs.syncDirectory(backups, &cause))
        return failure(kSnapshotFolderName, cause);
    return std::nullopt;
}

bool RemoveSnapshot(const std::filesystem::path &dataDir, const std::string &name,
                    StoreFileSystem &fs)
{
    return IsSnapshotName(name) && fs.removeDirectory(dataDir / kSnapshotFolderName / name, nullptr);
}

std::optional<StoreError> PruneSnapshots(const std::filesystem::path &dataDir, std::size_t keep,
                                         StoreFileSystem &fs)
{
    const auto backups = dataDir / kSnapshotFolderName;
    SystemError cause;
    std::vector<std::string> incomplete;
    const auto names = snapshotNames(fs, backups, &cause, &incomplete);
    if (!names) {
        if (cause.number == ENOENT)
            return std::nullopt; // no snapshot was ever taken
        return failure(kSnapshotFolderName, cause);
    }
    // The folder is not synced afterwards: a removal lost in a crash is only done again later.
    std::optional<StoreError> first;
    const auto removeFolder = [&](const std::string &name) {
        if (!fs.removeDirectory(backups / name, &cause) && !first)
            first = failure(kSnapshotFolderName, cause);
    };
    for (const std::string &name : incomplete) {
        if (!names->empty()
            && SnapshotOlder(std::string_view(name).substr(kIncompletePrefix.size()),
                             names->back()))
            removeFolder(name);
    }
    for (std::size_t i = 0; i + keep < names->size(); ++i)
        removeFolder((*names)[i]);
    return first;
}

std::vector<SnapshotInfo> ListSnapshots(const std::filesystem::path &dataDir,
                                        StoreFileSystem &fs)
{
    const auto backups = dataDir / kSnapshotFolderName;
    const auto names = snapshotNames(fs, backups, nullptr, nullptr);
    std::vector<SnapshotInfo> snapshots;
    if (!names)
        return snapshots;
    for (auto name = names->rbegin(); name != names->rend(); ++name)
        snapshots.push_back({*name, rowsOf(fs, backups / *name / kCodeFileName)});
    return snapshots;
}

std::optional<SnapshotContents> ReadSnapshot(const std::filesystem::path &dataDir,
                                             std::string_view name, StoreFileSystem &fs,
                                             StoreError *error)
{
    const auto refuse = [error](const std::string &file, const SystemError &cause) {
        if (error)
            *error = failure(file, cause);
        return std::optional<SnapshotContents>();
    };
    if (!IsSnapshotName(name))
        return refuse(kSnapshotFolderName, errorNumbered(EINVAL));
    const auto dir = dataDir / kSnapshotFolderName / std::string(name);
    SystemError cause;
    switch (fs.presence(dir, &cause)) {
    case Presence::Missing:
        return refuse(kSnapshotFolderName, errorNumbered(ENOENT));
    case Presence::Unknown:
        return refuse(kSnapshotFolderName, cause);
    case Presence::Present:
        break;
    }
    SnapshotContents contents;
    std::array<std::optional<std::string> *, 3> slots{&contents.codes, &contents.takeProfit,
                                                      &contents.stopLoss};
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
        const auto path = dir / kFileNames[i];
        const Presence presence = fs.presence(path, &cause);
        if (presence == Presence::Missing)
            continue;
        if (presence == Presence::Unknown)
            return refuse(kFileNames[i], cause);
        *slots[i] = fs.readAll(path, &cause);
        if (!*slots[i])
            return refuse(kFileNames[i], cause);
    }
    if (fs.presence(dir / kHoldingsFileName, nullptr) == Presence::Present) {
        auto holdings = fs.readAll(dir / kHoldingsFileName, &cause);
        if (!holdings)
            return refuse(kHoldingsFileName, cause);
        contents.holdings = std::optional<std::string>(std::move(*holdings));
    } else if (fs.presence(dir / kNoHoldingsName, nullptr) == Presence::Present) {
        contents.holdings = std::optional<std::string>();
    }
    return contents;
}

} // namespace velmora
