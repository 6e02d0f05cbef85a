// Feeds arbitrary bytes to the watch-list loader as the three files (and, when the input asks
// for them, the leftovers of an interrupted change), then checks what the loader and the two
// writers promise:
//   - the rows are the lines of the code file, each threshold file lines up with them;
//   - the loader finishes or discards an interrupted change and leaves no .new file or marker;
//   - appending one entry gives back the old rows plus that entry;
//   - rewriting the loaded rows and loading again gives back the same rows.
//
// Input layout, cut at NUL bytes: Setting.ini, Setting2.ini, Setting3.ini, then the three .new
// files, then (any seventh part, even empty) the commit marker. A part that is not in the input
// is a file that does not exist; an empty part is an empty file, except for the .new files,
// where it stands for none (so that a change whose first renames were done can be written).
// Every run reuses one scratch folder under $TMPDIR (a tmpfs such as /dev/shm keeps the fsyncs
// cheap).

#include "fuzzcheck.h"
#include "core/lines.h"
#include "core/watchliststore.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

constexpr std::array<const char *, 3> kNames{kCodeFileName, kTakeProfitFileName,
                                             kStopLossFileName};
constexpr std::size_t kParts = 7;

#define CHECK(cond) FUZZ_CHECK("watch-list", cond)

const fs::path &scratchDir()
{
    static const fs::path dir = [] {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmora-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            FuzzInvariantBroken("watch-list", "cannot create a scratch directory");
        // libFuzzer leaves with _Exit, so nothing here would run at exit: fuzz/run.sh points
        // TMPDIR at a folder of its own and removes it afterwards.
        return fs::path(pattern);
    }();
    return dir;
}

void clear(const fs::path &dir)
{
    for (const auto &item : fs::directory_iterator(dir))
        fs::remove(item.path());
}

void put(const fs::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        FuzzInvariantBroken("watch-list", "cannot write an input file");
}

std::string get(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> listing(const fs::path &dir)
{
    std::set<std::string> names;
    for (const auto &item : fs::directory_iterator(dir))
        names.insert(item.path().filename().string());
    return names;
}

// What the three files must hold after the loader has dealt with an interrupted change.
std::array<std::optional<std::string>, 3>
settledFiles(const std::array<std::optional<std::string_view>, kParts> &parts)
{
    const bool committed = parts[6].has_value();
    std::array<std::optional<std::string>, 3> files;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto &chosen = committed && parts[3 + i] ? parts[3 + i] : parts[i];
        if (chosen)
            files[i] = std::string(*chosen);
    }
    return files;
}

void checkRowsFollowFiles(const WatchEntries &rows,
                          const std::array<std::optional<std::string>, 3> &files)
{
    const auto codes = SplitLines(files[0].value_or(std::string()));
    const auto takeProfit = SplitLines(files[1].value_or(std::string()));
    const auto stopLoss = SplitLines(files[2].value_or(std::string()));
    CHECK(rows.size() == codes.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        CHECK(rows[i].code == codes[i]);
        CHECK(rows[i].takeProfit == (i < takeProfit.size() ? takeProfit[i] : std::string()));
        CHECK(rows[i].stopLoss == (i < stopLoss.size() ? stopLoss[i] : std::string()));
    }
}

// After a successful change: exactly the three files, one line per row in each. An append
// keeps the bytes that were there, a rewrite writes CR LF only.
void checkWrittenFiles(const fs::path &dir, std::size_t rows, bool crlfOnly)
{
    CHECK(listing(dir) == (std::set<std::string>{kNames[0], kNames[1], kNames[2]}));
    for (const char *name : kNames) {
        const std::string bytes = get(dir / name);
        const auto lines = SplitLines(bytes);
        CHECK(lines.size() == rows);
        CHECK(!crlfOnly || JoinLines(lines) == bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    std::array<std::optional<std::string_view>, kParts> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < kParts && start <= input.size(); ++i) {
        const std::size_t end = i + 1 < kParts ? input.find('\0', start) : input.npos;
        const std::size_t stop = end == input.npos ? input.size() : end;
        if (i < 3 || i > 5 || stop > start)
            parts[i] = input.substr(start, stop - start);
        if (end == input.npos)
            break;
        start = end + 1;
    }

    const fs::path &dir = scratchDir();
    clear(dir);
    for (std::size_t i = 0; i < 3; ++i) {
        if (parts[i])
            put(dir / kNames[i], *parts[i]);
        if (parts[3 + i])
            put(dir / (std::string(kNames[i]) + ".new"), *parts[3 + i]);
    }
    if (parts[6])
        put(dir / kCommitMarkerName, "");

    const auto files = settledFiles(parts);
    const auto loaded = LoadWatchList(dir);
    CHECK(!loaded.error);
    std::set<std::string> present;
    for (std::size_t i = 0; i < 3; ++i) {
        if (files[i]) {
            present.insert(kNames[i]);
            CHECK(get(dir / kNames[i]) == *files[i]);
        }
    }
    CHECK(listing(dir) == present);
    checkRowsFollowFiles(loaded.entries, files);

    // Appending lands on a row of its own in every file, whatever terminators and line counts
    // the files had before.
    const WatchEntry added{"600000", "10.50", ""};
    CHECK(!AppendWatchEntry(dir, added));
    auto expected = loaded.entries;
    expected.push_back(added);
    const auto afterAppend = LoadWatchList(dir);
    CHECK(!afterAppend.error);
    CHECK(afterAppend.entries == expected);
    checkWrittenFiles(dir, expected.size(), false);

    // Writing the loaded rows back gives back the same rows.
    CHECK(!RewriteWatchFiles(dir, loaded.entries));
    const auto afterRewrite = LoadWatchList(dir);
    CHECK(!afterRewrite.error);
    CHECK(afterRewrite.entries == loaded.entries);
    checkWrittenFiles(dir, loaded.entries.size(), true);
    return 0;
}
