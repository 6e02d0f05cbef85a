// Kills a process that is changing the watch list and checks what the next start-up finds:
// the interrupted change is finished or thrown away, the three files hold one line per row
// each, and the list is exactly the one before or the one after that change. The worker
// (crash_worker.cpp) writes down both lists before it begins each change.

#include "crashjournal.h"
#include "core/lines.h"
#include "core/watchliststore.h"
#include "support/tempdir.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <thread>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const char *const kNames[] = {"Setting.ini", "Setting2.ini", "Setting3.ini", "Holdings.csv"};
const QByteArray kMissing = "<missing>";

// The three files of the list, and the lots file when a fourth is given.
void putFiles(const fs::path &dir, const QByteArrayList &files)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < files.size(); ++i) {
        if (files[i] != kMissing)
            writeFile(dir / kNames[i], files[i].toStdString());
    }
}

void copyFolder(const fs::path &from, const fs::path &to)
{
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

struct WorkerRun
{
    bool killed = false; // ended by SIGKILL, its own or the test's
    int exitCode = 0;
    QString errors;
};

QProcess *startWorker(const fs::path &dir, const fs::path &journal, const QStringList &args)
{
    auto *worker = new QProcess;
    worker->setProcessChannelMode(QProcess::SeparateChannels);
    worker->start(QStringLiteral(VELMORA_CRASH_WORKER),
                  QStringList{QString::fromStdString(dir.string()),
                              QString::fromStdString(journal.string())}
                      + args);
    return worker;
}

WorkerRun finish(QProcess *worker)
{
    worker->waitForFinished(60000);
    WorkerRun run;
    run.killed = worker->exitStatus() == QProcess::CrashExit;
    run.exitCode = worker->exitCode();
    run.errors = QString::fromLocal8Bit(worker->readAllStandardError());
    delete worker;
    return run;
}

enum class Settled { Before, After };

// Loads as a start-up does, then checks the folder and the list against the record of the
// change that was under way. Returns what went wrong, or nothing.
QString checkSettled(const fs::path &dir, const ChangeRecord &change, Settled *which)
{
    const auto loaded = LoadWatchList(dir);
    if (loaded.error)
        return QStringLiteral("loading failed: %1: %2")
            .arg(QString::fromStdString(loaded.error->file),
                 QString::fromStdString(loaded.error->reason));
    for (const auto &item : fs::directory_iterator(dir)) {
        const auto name = item.path().filename().string();
        if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames))
            return QStringLiteral("left behind after loading: %1").arg(QString::fromStdString(name));
    }
    for (const char *name : {kNames[0], kNames[1], kNames[2]}) {
        const auto lines = fs::exists(dir / name) ? SplitLines(readFile(dir / name)).size() : 0;
        if (lines != loaded.entries.size())
            return QStringLiteral("%1 holds %2 lines for %3 rows")
                .arg(QString::fromLatin1(name))
                .arg(lines)
                .arg(loaded.entries.size());
    }
    if (loaded.holdingsError)
        return QStringLiteral("the lots file cannot be read");
    const std::string holdings = loaded.holdings.value_or(std::string());
    // The list and the lots move together: both before the change, or both after it.
    if (loaded.entries == change.after && holdings == change.holdingsAfter) {
        *which = Settled::After;
        return {};
    }
    if (loaded.entries == change.before && holdings == change.holdingsBefore) {
        *which = Settled::Before;
        return {};
    }
    return QStringLiteral("the list (%1 rows, %2 bytes of lots) is neither the one before (%3 "
                          "rows, %4 bytes) nor the one after (%5 rows, %6 bytes) the change")
        .arg(loaded.entries.size())
        .arg(holdings.size())
        .arg(change.before.size())
        .arg(change.holdingsBefore.size())
        .arg(change.after.size())
        .arg(change.holdingsAfter.size());
}

bool hasFile(const fs::path &dir, const std::string &name)
{
    return fs::exists(dir / name);
}

bool hasNewContents(const fs::path &dir)
{
    for (const char *name : kNames) {
        if (hasFile(dir, std::string(name) + ".new"))
            return true;
    }
    return false;
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedAtEveryFileOperation_data();
    void killedAtEveryFileOperation();
    void killedAtRandomMoments();
};

void TestCrashSafety::killedAtEveryFileOperation_data()
{
    QTest::addColumn<QByteArrayList>("files");
    QTest::addColumn<QStringList>("change");

    const QByteArrayList threeRows{"600000\r\n000001\r\n300750\r\n", "10.5\r\n\r\n200\r\n",
                                   "9.5\r\n8\r\n\r\n"};
    QTest::newRow("add to an empty folder")
        << QByteArrayList{kMissing, kMissing, kMissing} << QStringList{"add"};
    QTest::newRow("add to three rows") << threeRows << QStringList{"add"};
    QTest::newRow("add to lone-LF files, last line without terminator")
        << QByteArrayList{"600000\n000001", "10.5\n\n", "\n9.5"} << QStringList{"add"};
    QTest::newRow("add to lone-CR files")
        << QByteArrayList{"600000\r000001\r", "1\r2\r", "3\r4\r"} << QStringList{"add"};
    QTest::newRow("remove the first of three rows") << threeRows << QStringList{"remove", "0"};
    QTest::newRow("remove the middle row, GBK and UTF-8 values around it")
        << QByteArrayList{"\xc6\xd6\xb7\xa2\r\n600000\r\n浦发示例\r\n",
                          "现价的5%\r\n10\r\n\xd6\xb9\r\n", "\r\n9\r\n1,5\r\n"}
        << QStringList{"remove", "1"};
    QTest::newRow("remove the last of three rows") << threeRows << QStringList{"remove", "2"};
    QTest::newRow("remove the only row")
        << QByteArrayList{"600000\r\n", "10.5\r\n", "9.5\r\n"} << QStringList{"remove", "0"};
    QTest::newRow("import three rows") << threeRows << QStringList{"import"};
    QTest::newRow("edit the middle take-profit, lone-LF files")
        << QByteArrayList{"600000\n000001\n300750", "10.5\n\n200", "\n9.5\n\n"}
        << QStringList{"edit", "1"};
    QTest::newRow("restore a copy holding one row") << threeRows << QStringList{"restore"};
    const QByteArray lots = "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n600000,2026-12-01,1000,7.00\r\n"
                            "300750,2026-11-02,100,0.007\r\n600000,2026-12-08,500,7.80\r\n";
    const QByteArrayList withLots = threeRows + QByteArrayList{lots};
    QTest::newRow("remove a row and its lots") << withLots << QStringList{"remove", "0"};
    QTest::newRow("remove the only row and the last lots")
        << QByteArrayList{"600000\r\n", "10.5\r\n", "9.5\r\n",
                          "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n600000,2026-12-01,1,1\r\n"}
        << QStringList{"remove", "0"};
    QTest::newRow("add a lot, the list as it is") << withLots << QStringList{"lots"};
    QTest::newRow("first lot into a folder without lots") << threeRows << QStringList{"lots"};
    QTest::newRow("lots of a new code bring its row") << withLots << QStringList{"import-lots"};
    QTest::newRow("restore a copy without lots over lots")
        << withLots << QStringList{"restore"};
    // A rename that failed leaves its marker for the next start-up; a later change in the same
    // run must not write new contents beside that marker.
    QTest::newRow("add after an add whose rename failed")
        << threeRows << QStringList{"after-failed-rename", "add"};
    QTest::newRow("remove after an add whose rename failed")
        << threeRows << QStringList{"after-failed-rename", "remove", "1"};
}

// Kills the change before each of its file operations in turn (a write is cut half-way), and
// each start-up that recovers from such a kill before each of its own operations: a recovery
// that is itself interrupted must still end where an uninterrupted one would.
void TestCrashSafety::killedAtEveryFileOperation()
{
    QFETCH(QByteArrayList, files);
    QFETCH(QStringList, change);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const fs::path dir = pathOf(base) / "data";
    const fs::path interrupted = pathOf(base) / "interrupted";
    const fs::path journal = pathOf(base) / "journal";

    std::set<Settled> outcomes;
    int kills = 0;
    int recoveryKills = 0;
    for (int step = 0;; ++step) {
        QVERIFY2(step < 64, "the change never ran to its end");
        putFiles(dir, files);
        fs::remove(journal);
        const auto run =
            finish(startWorker(dir, journal, change + QStringList{QString::number(step)}));
        QVERIFY2(run.killed || run.exitCode == 0, qPrintable(run.errors));
        const auto record = ReadChangeRecord(journal);
        QVERIFY2(record, "the worker wrote no record of its change");

        Settled settled{};
        if (!run.killed) {
            // Fewer operations than `step`: the change went through.
            const QString problem = checkSettled(dir, *record, &settled);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QVERIFY(settled == Settled::After);
            break;
        }
        ++kills;
        copyFolder(dir, interrupted);
        const QString problem = checkSettled(dir, *record, &settled);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("killed before operation %1: %2").arg(step).arg(problem)));
        outcomes.insert(settled);

        for (int recoveryStep = 0;; ++recoveryStep) {
            QVERIFY2(recoveryStep < 64, "the recovery never ran to its end");
            copyFolder(interrupted, dir);
            const auto recovery = finish(
                startWorker(dir, journal, QStringList{"load", QString::number(recoveryStep)}));
            QVERIFY2(recovery.killed || recovery.exitCode == 0, qPrintable(recovery.errors));
            if (!recovery.killed)
                break;
            ++recoveryKills;
            Settled afterRecovery{};
            const QString recoveryProblem = checkSettled(dir, *record, &afterRecovery);
            QVERIFY2(recoveryProblem.isEmpty(),
                     qPrintable(QStringLiteral("change killed before operation %1, start-up "
                                               "killed before operation %2: %3")
                                    .arg(step)
                                    .arg(recoveryStep)
                                    .arg(recoveryProblem)));
            QVERIFY2(afterRecovery == settled,
                     qPrintable(QStringLiteral("change killed before operation %1: an "
                                               "interrupted start-up (operation %2) ended on "
                                               "the other list")
                                    .arg(step)
                                    .arg(recoveryStep)));
        }
    }
    qInfo("%d kills during the change, %d during the start-up after one", kills, recoveryKills);
    // Early kills throw the change away, late ones see it finished.
    QVERIFY(outcomes.count(Settled::Before));
    QVERIFY(outcomes.count(Settled::After));
}

// The worker adds and removes stocks in a loop and is killed after a random delay, hundreds
// of times over the same folder, each start-up continuing from what the last kill left.
void TestCrashSafety::killedAtRandomMoments()
{
    constexpr int kKills = 300;
    const QByteArray seedText = qgetenv("VELMORA_CRASH_SEED");
    const unsigned seed =
        seedText.isEmpty() ? QRandomGenerator::global()->generate() : seedText.toUInt();
    qInfo("seed %u (set VELMORA_CRASH_SEED to replay)", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMicroseconds(0, 40000);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    const fs::path dir = pathOf(base) / "data";
    const fs::path journal = pathOf(base) / "journal";
    // Lines ended by lone LFs and a last line without terminator, as a hand-edited list has.
    putFiles(dir, {"600000\n000001\n300750", "10.5\n\n200\n", "9.5\n8\n\n"});
    const auto initial = LoadWatchList(dir);
    QVERIFY(!initial.error);
    QCOMPARE(initial.entries.size(), std::size_t(3));
    QVERIFY(WriteChangeRecord(journal, {initial.entries, initial.entries, {}, {}}));

    int betweenChanges = 0;
    int beforeMarker = 0;
    int afterMarker = 0;
    std::set<std::size_t> sizes;
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess *worker =
            startWorker(dir, journal, QStringList{"random", QString::number(seed + kill)});
        QVERIFY(worker->waitForStarted());
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        worker->kill(); // SIGKILL
        const auto run = finish(worker);
        QVERIFY2(run.killed, qPrintable(QStringLiteral("the worker stopped by itself (%1): %2")
                                            .arg(run.exitCode)
                                            .arg(run.errors)));

        if (hasFile(dir, kCommitMarkerName))
            ++afterMarker;
        else if (hasNewContents(dir))
            ++beforeMarker;
        else
            ++betweenChanges;
        const auto record = ReadChangeRecord(journal);
        QVERIFY2(record, "the journal cannot be read");
        Settled settled{};
        const QString problem = checkSettled(dir, *record, &settled);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("kill %1: %2").arg(kill).arg(problem)));
        sizes.insert(LoadWatchList(dir).entries.size());
    }
    qInfo("%d kills: %d with new contents written but no marker (thrown away), %d with the "
          "marker (finished), %d between changes; %zu different list lengths seen",
          kKills, beforeMarker, afterMarker, betweenChanges, sizes.size());
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "test_crash_safety.moc"
