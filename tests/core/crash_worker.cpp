// Changes the watch list through the store so that the crash-safety test can kill it half-way.
//
//   crash_worker DIR JOURNAL random SEED
//       loads the list (finishing or discarding an interrupted change, as a start-up does), then
//       adds and removes stocks for ever, until it is killed;
//   crash_worker DIR JOURNAL add DIE_AT
//   crash_worker DIR JOURNAL remove ROW DIE_AT
//   crash_worker DIR JOURNAL import DIE_AT
//   crash_worker DIR JOURNAL edit ROW DIE_AT
//   crash_worker DIR JOURNAL restore DIE_AT
//   crash_worker DIR JOURNAL lots DIE_AT
//   crash_worker DIR JOURNAL import-lots DIE_AT
//       loads, then makes that one change (import: three rows at once; edit: a new take-profit
//       for ROW; restore: a copy holding one row and no lots; lots: one more lot, the list as it
//       is; import-lots: a lot of a code not on the list, which comes with it), killing itself
//       with SIGKILL just before its file operation number DIE_AT (counting from 0; a write is
//       cut after half its bytes), or exits 0 when the change has fewer operations. A remove
//       takes the lots of the row's code with it when no other row has that code;
//   crash_worker DIR JOURNAL load DIE_AT
//       only the start-up load, killed the same way: an interrupted recovery;
//   crash_worker DIR JOURNAL after-failed-rename add|remove ...
//       first adds a stock whose rename of Setting2.ini fails (its marker stays, so the next
//       start-up counts it as added), then makes the change as above, in the same run.
//
// Before each change it records in JOURNAL the list before and the list after it, so the test
// knows both lists the files may hold after the kill. Exit status 3: the store reported an
// error, which the files of a test never should.

#include "crashjournal.h"
#include "core/holdings.h"
#include "core/watchliststore.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <algorithm>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>

using namespace velmora;
namespace fs = std::filesystem;

namespace {

// The real file system, with a kill planted before one of its changing operations.
class KillingFileSystem : public StoreFileSystem
{
public:
    explicit KillingFileSystem(long dieAt) : m_dieAt(dieAt) {}

    bool writeDurably(const fs::path &path, const std::string &bytes,
                      SystemError *error) override
    {
        if (due()) {
            // Half a write reaches the file, as when the kill lands inside write().
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0 && ::write(fd, bytes.data(), bytes.size() / 2) < 0)
                std::perror("write");
            die();
        }
        return StoreFileSystem::writeDurably(path, bytes, error);
    }
    bool rename(const fs::path &from, const fs::path &to, SystemError *error) override
    {
        if (due())
            die();
        return StoreFileSystem::rename(from, to, error);
    }
    bool remove(const fs::path &path, SystemError *error) override
    {
        if (due())
            die();
        return StoreFileSystem::remove(path, error);
    }
    bool syncDirectory(const fs::path &dir, SystemError *error) override
    {
        if (due())
            die();
        return StoreFileSystem::syncDirectory(dir, error);
    }

private:
    bool due() { return m_dieAt >= 0 && m_done++ == m_dieAt; }
    [[noreturn]] static void die()
    {
        ::raise(SIGKILL);
        std::abort(); // not reached
    }

    long m_dieAt;
    long m_done = 0;
};

// The real file system, except that renaming onto Setting2.ini fails.
class FailingRenameFileSystem : public StoreFileSystem
{
public:
    bool rename(const fs::path &from, const fs::path &to, SystemError *error) override
    {
        if (to.filename() == kTakeProfitFileName) {
            *error = {EIO, "Input/output error"};
            return false;
        }
        return StoreFileSystem::rename(from, to, error);
    }
};

// Codes and thresholds as users type them: six digits, names instead of codes (UTF-8 and
// GBK bytes), blanks, commas and quotes, empty values, a long paste. None holds a line break,
// which a line-per-row file cannot carry.
const char *const kCodes[] = {"600000", "000001", "300750", "600519", "浦发示例",
                              "\xc6\xd6\xb7\xa2", " 600036 ", "60,0000", "'000002'", "",
                              "%41%42", "sh600000sh600000sh600000sh600000sh600000sh600000"};
const char *const kThresholds[] = {"", "10.5", "9.98", "现价的5%", "\xd6\xb9\xcb\xf0", "1,5",
                                   "-3", " 8 "};

WatchEntry randomEntry(std::mt19937 &random)
{
    auto pick = [&random](const auto &pool) {
        std::uniform_int_distribution<std::size_t> index(0, std::size(pool) - 1);
        return std::string(pool[index(random)]);
    };
    WatchEntry entry;
    entry.code = pick(kCodes);
    entry.takeProfit = pick(kThresholds);
    entry.stopLoss = pick(kThresholds);
    return entry;
}

WatchEntries withoutRow(WatchEntries list, std::size_t row)
{
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(row));
    return list;
}

[[noreturn]] void quit(const char *what, const std::optional<StoreError> &error = std::nullopt)
{
    std::fprintf(stderr, "crash_worker: %s", what);
    if (error)
        std::fprintf(stderr, " (%s: %s)", error->file.c_str(), error->reason.c_str());
    std::fputc('\n', stderr);
    std::exit(3);
}

void record(const fs::path &journal, const WatchEntries &before, const WatchEntries &after,
            const std::string &holdingsBefore = {}, const std::string &holdingsAfter = {})
{
    if (!testing::WriteChangeRecord(journal, {before, after, holdingsBefore, holdingsAfter}))
        quit("cannot write the journal");
}

struct Started
{
    WatchEntries list;
    std::string holdings; // the lots file; empty: none
};

Started startUp(const fs::path &dir, StoreFileSystem &fs)
{
    auto loaded = LoadWatchList(dir, fs);
    if (loaded.error || loaded.holdingsError)
        quit("start-up load failed", loaded.error ? loaded.error : loaded.holdingsError);
    return {loaded.entries, loaded.holdings.value_or(std::string())};
}

// The lots file once `code` has left the list: without its lots, or no file when none is left.
std::optional<std::string> holdingsWithout(const std::string &holdings, const std::string &code)
{
    Lots lots = ReadHoldingsCsv(holdings, "9999-12-31").lots;
    std::erase_if(lots, [&code](const Lot &lot) { return lot.code == code; });
    return lots.empty() ? std::nullopt : std::optional(HoldingsCsv(lots));
}

Lots lotsOf(const std::string &holdings)
{
    return holdings.empty() ? Lots() : ReadHoldingsCsv(holdings, "9999-12-31").lots;
}

[[noreturn]] void runForEver(const fs::path &dir, const fs::path &journal, unsigned seed)
{
    std::mt19937 random(seed);
    WatchEntries list = startUp(dir, StoreFileSystem::real()).list;
    for (;;) {
        // Between two and a dozen rows, so both changes keep happening.
        const bool add = list.size() < 2 || (list.size() < 12 && random() % 2 == 0);
        if (add) {
            const WatchEntry entry = randomEntry(random);
            WatchEntries after = list;
            after.push_back(entry);
            record(journal, list, after);
            if (auto error = AppendWatchEntry(dir, entry))
                quit("adding failed", error);
            list = std::move(after);
        } else {
            std::uniform_int_distribution<std::size_t> index(0, list.size() - 1);
            WatchEntries after = withoutRow(list, index(random));
            record(journal, list, after);
            if (auto error = RewriteWatchFiles(dir, after))
                quit("removing failed", error);
            list = std::move(after);
        }
    }
}

long number(const char *text)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end != '\0')
        quit("bad number argument");
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    // A worker whose test died must not go on writing for ever.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (argc < 5)
        quit("usage: crash_worker DIR JOURNAL random SEED | add DIE_AT | remove ROW DIE_AT | "
             "load DIE_AT | import DIE_AT | edit ROW DIE_AT | restore DIE_AT");
    const fs::path dir = argv[1];
    const fs::path journal = argv[2];
    const bool afterFailedRename = argc > 5 && std::string(argv[3]) == "after-failed-rename";
    if (afterFailedRename) {
        ++argv;
        --argc;
    }
    const std::string mode = argv[3];

    if (mode == "random")
        runForEver(dir, journal, static_cast<unsigned>(number(argv[4])));

    const long dieAt = number(argv[argc - 1]);
    if (mode == "load") {
        KillingFileSystem killing(dieAt);
        startUp(dir, killing);
        return 0;
    }
    // The start-up load is not what this run interrupts: it goes through the plain file system.
    const Started started = startUp(dir, StoreFileSystem::real());
    WatchEntries before = started.list;
    const std::string &lotsBefore = started.holdings;
    if (afterFailedRename) {
        const WatchEntry failed{"000858", "150", "120"};
        FailingRenameFileSystem failing;
        // Its new contents are complete and marked as such, so the add counts as made: from now
        // on the files stand for the list with this row, whatever becomes of the next change.
        if (auto error = AppendWatchEntry(dir, failed, failing))
            quit("an add whose renames failed after its marker was reported as failed", error);
        before.push_back(failed);
    }
    KillingFileSystem killing(dieAt);
    if (mode == "add" && argc == 5) {
        const WatchEntry entry{"600519", "现价的5%", "9.98"};
        WatchEntries after = before;
        after.push_back(entry);
        record(journal, before, after);
        if (auto error = AppendWatchEntry(dir, entry, killing))
            quit("adding failed", error);
        return 0;
    }
    if (mode == "remove" && argc == 6) {
        const long row = number(argv[4]);
        if (row < 0 || static_cast<std::size_t>(row) >= before.size())
            quit("no such row");
        const WatchEntries after = withoutRow(before, static_cast<std::size_t>(row));
        const std::string &code = before[static_cast<std::size_t>(row)].code;
        HoldingsChange holdings;
        const bool lastOfCode = std::none_of(after.begin(), after.end(),
                                             [&code](const WatchEntry &e) { return e.code == code; });
        if (lastOfCode && !lotsBefore.empty())
            holdings = holdingsWithout(lotsBefore, code);
        record(journal, before, after, lotsBefore,
               holdings ? holdings->value_or(std::string()) : lotsBefore);
        if (auto error = RewriteWatchFiles(dir, after, killing, holdings))
            quit("removing failed", error);
        return 0;
    }
    if (mode == "import" && argc == 5) {
        const WatchEntries rows{{"600519", "1800", ""}, {"浦发示例", "", "9.98"}, {"000002", "", ""}};
        WatchEntries after = before;
        after.insert(after.end(), rows.begin(), rows.end());
        record(journal, before, after);
        if (auto error = AppendWatchEntries(dir, rows, killing))
            quit("importing failed", error);
        return 0;
    }
    if (mode == "edit" && argc == 6) {
        const long row = number(argv[4]);
        if (row < 0 || static_cast<std::size_t>(row) >= before.size())
            quit("no such row");
        WatchEntries after = before;
        after[static_cast<std::size_t>(row)].takeProfit = "150";
        record(journal, before, after);
        if (auto error = SetThresholds(dir, static_cast<std::size_t>(row), "150", std::nullopt,
                                       killing))
            quit("editing failed", error);
        return 0;
    }
    if (mode == "restore" && argc == 5) {
        record(journal, before, {{"600519", "1800", ""}}, lotsBefore, {});
        if (auto error = RestoreWatchFiles(dir, {"600519\r\n", "1800\r\n", "\r\n"}, killing,
                                           std::optional<std::string>()))
            quit("restoring failed", error);
        return 0;
    }
    if (mode == "lots" && argc == 5) {
        Lots lots = lotsOf(lotsBefore);
        lots.push_back({before.empty() ? "600000" : before.front().code, "2026-12-01", 300, "7.0125"});
        record(journal, before, before, lotsBefore, HoldingsCsv(lots));
        if (auto error = WriteHoldings(dir, HoldingsCsv(lots), killing))
            quit("changing the lots failed", error);
        return 0;
    }
    if (mode == "import-lots" && argc == 5) {
        const WatchEntries rows{{"00700", "", ""}};
        Lots lots = lotsOf(lotsBefore);
        lots.push_back({"00700", "2026-11-02", 100, "0.007"});
        WatchEntries after = before;
        after.insert(after.end(), rows.begin(), rows.end());
        record(journal, before, after, lotsBefore, HoldingsCsv(lots));
        if (auto error = AppendWatchEntries(dir, rows, killing, HoldingsCsv(lots)))
            quit("importing lots failed", error);
        return 0;
    }
    quit("unknown mode");
}
