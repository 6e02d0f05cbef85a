#include "core/lines.h"
#include "core/watchliststore.h"
#include "support/tempdir.h"

#include <QTest>

#include <cerrno>

#include <set>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(velmora::WatchEntries)

namespace {

const char *kNames[] = {"Setting.ini", "Setting2.ini", "Setting3.ini"};

// Absent file when the text is "<missing>".
const std::string kMissing = "<missing>";

void putFiles(const fs::path &dir, const std::string &codes, const std::string &takeProfit,
              const std::string &stopLoss)
{
    const std::string *contents[] = {&codes, &takeProfit, &stopLoss};
    for (int i = 0; i < 3; ++i) {
        if (*contents[i] != kMissing)
            writeFile(dir / kNames[i], *contents[i]);
    }
}

// Fails chosen operations, as a full disk, a yanked folder or a read-only mount would.
class FaultyFileSystem : public StoreFileSystem
{
public:
    std::string failWriteOf;  // file name whose write fails
    std::string failRenameTo; // file name whose rename fails
    int renameFailures = -1;  // how many times it fails; -1: every time
    bool failSync = false;    // folder syncs fail once the renames have begun
    bool failMarkerRemoval = false;
    bool readOnly = false; // every change fails with EROFS, even removing a missing file

    bool writeDurably(const fs::path &path, const std::string &bytes, SystemError *error) override
    {
        if (readOnly)
            return fail(error, {EROFS, "Read-only file system"});
        if (path.filename() == failWriteOf)
            return fail(error, {ENOSPC, "No space left on device"});
        return StoreFileSystem::writeDurably(path, bytes, error);
    }
    bool rename(const fs::path &from, const fs::path &to, SystemError *error) override
    {
        if (to.filename() == failRenameTo && renameFailures != 0) {
            --renameFailures;
            return fail(error, {EIO, "Input/output error"});
        }
        m_renamed = true;
        return StoreFileSystem::rename(from, to, error);
    }
    bool syncDirectory(const fs::path &dir, SystemError *error) override
    {
        if (failSync && m_renamed)
            return fail(error, {EIO, "Input/output error"});
        return StoreFileSystem::syncDirectory(dir, error);
    }
    bool remove(const fs::path &path, SystemError *error) override
    {
        if (readOnly || (failMarkerRemoval && path.filename() == kCommitMarkerName))
            return fail(error, {readOnly ? EROFS : EIO, "refused"});
        return StoreFileSystem::remove(path, error);
    }
    bool writable(const fs::path &dir, SystemError *error) override
    {
        if (readOnly)
            return fail(error, {EROFS, "Read-only file system"});
        return StoreFileSystem::writable(dir, error);
    }

private:
    static bool fail(SystemError *error, SystemError cause)
    {
        if (error)
            *error = std::move(cause);
        return false;
    }
    bool m_renamed = false;
};

} // namespace

class TestWatchListStore : public QObject
{
    Q_OBJECT

private slots:
    void splitLines_data();
    void splitLines();
    void load_data();
    void load();
    void loadNeverCreatesFiles();
    void unreadableFileMakesRunReadOnly();
    void append_data();
    void append();
    void rewrite_data();
    void rewrite();
    void failedChangeLeavesFilesAsBefore_data();
    void failedChangeLeavesFilesAsBefore();
    void interruptedChangeIsFinishedOrDiscarded_data();
    void interruptedChangeIsFinishedOrDiscarded();
    void changeCountsOnceItsMarkerIsDown_data();
    void changeCountsOnceItsMarkerIsDown();
    void readOnlyFolderShowsItsListAndWritesNothing();
    void setThresholdsChangesOneLine_data();
    void setThresholdsChangesOneLine();
    void restorePutsBackEveryByteAndEveryAbsence();
};

void TestWatchListStore::splitLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("last line without terminator") << QByteArray("a\r\nb")
                                                  << QStringList{"a", "b"};
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("lone lf") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("cr cr lf is two lines") << QByteArray("a\r\r\n") << QStringList{"a", ""};
    QTest::newRow("lf cr is two lines") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx\r\n")
                                      << QStringList{"", "", "x"};
    QTest::newRow("only a terminator") << QByteArray("\r\n") << QStringList{""};
}

void TestWatchListStore::splitLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QStringList got;
    for (const auto &line : SplitLines(bytes.toStdString()))
        got << QString::fromStdString(line);
    QCOMPARE(got, lines);
}

void TestWatchListStore::load_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("takeProfit");
    QTest::addColumn<QByteArray>("stopLoss");
    QTest::addColumn<WatchEntries>("expected");
    const QByteArray missing = QByteArray::fromStdString(kMissing);

    QTest::newRow("no files") << missing << missing << missing << WatchEntries{};
    QTest::newRow("only codes, three lines")
        << QByteArray("600000\r\n600001\r\n000002\r\n") << missing << missing
        << WatchEntries{{"600000", "", ""}, {"600001", "", ""}, {"000002", "", ""}};
    QTest::newRow("empty threshold files")
        << QByteArray("600000\r\n600001\r\n") << QByteArray() << QByteArray()
        << WatchEntries{{"600000", "", ""}, {"600001", "", ""}};
    QTest::newRow("all three files")
        << QByteArray("600000\r\n600001\r\n") << QByteArray("10.5\r\n20\r\n")
        << QByteArray("9.5\r\n18\r\n") << WatchEntries{{"600000", "10.5", "9.5"}, {"600001", "20", "18"}};
    QTest::newRow("empty line inside codes")
        << QByteArray("600000\r\n\r\n600002\r\n") << QByteArray("1\r\n2\r\n3\r\n")
        << QByteArray("4\r\n5\r\n6\r\n")
        << WatchEntries{{"600000", "1", "4"}, {"", "2", "5"}, {"600002", "3", "6"}};
    QTest::newRow("last line without terminator")
        << QByteArray("600000\r\n600001") << QByteArray("1\r\n2") << QByteArray("3\r\n4")
        << WatchEntries{{"600000", "1", "3"}, {"600001", "2", "4"}};
    QTest::newRow("lone cr and lone lf end lines")
        << QByteArray("600000\r600001\n") << QByteArray("1\n2\r") << QByteArray("3\r\n4\n")
        << WatchEntries{{"600000", "1", "3"}, {"600001", "2", "4"}};
    QTest::newRow("blanks around values kept")
        << QByteArray(" 600000 \r\n") << QByteArray("\t10.5 \r\n") << QByteArray(" 9 \r\n")
        << WatchEntries{{" 600000 ", "\t10.5 ", " 9 "}};
    QTest::newRow("non-ascii bytes kept")
        << QByteArray("\xc6\xd6\xcd\xa8\r\n\xe6\x99\xae\r\n") << QByteArray("\xff\xfe\r\n")
        << QByteArray("现价的-5%\r\n")
        << WatchEntries{{"\xc6\xd6\xcd\xa8", "\xff\xfe", "现价的-5%"}, {"\xe6\x99\xae", "", ""}};
    QTest::newRow("fewer threshold lines than rows")
        << QByteArray("a\r\nb\r\nc\r\n") << QByteArray("1\r\n") << QByteArray("7\r\n8\r\n")
        << WatchEntries{{"a", "1", "7"}, {"b", "", "8"}, {"c", "", ""}};
    QTest::newRow("more threshold lines than rows")
        << QByteArray("a\r\n") << QByteArray("1\r\n2\r\n3\r\n") << QByteArray("7\r\n8\r\n")
        << WatchEntries{{"a", "1", "7"}};
    QTest::newRow("threshold lines without any code")
        << QByteArray() << QByteArray("1\r\n") << QByteArray("2\r\n") << WatchEntries{};
}

void TestWatchListStore::load()
{
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, takeProfit);
    QFETCH(QByteArray, stopLoss);
    QFETCH(WatchEntries, expected);
    QTemporaryDir dir;
    putFiles(pathOf(dir), codes.toStdString(), takeProfit.toStdString(), stopLoss.toStdString());
    const auto loaded = LoadWatchList(pathOf(dir));
    QVERIFY(!loaded.error);
    QCOMPARE(loaded.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(loaded.entries[i].code, expected[i].code);
        QCOMPARE(loaded.entries[i].takeProfit, expected[i].takeProfit);
        QCOMPARE(loaded.entries[i].stopLoss, expected[i].stopLoss);
    }
}

void TestWatchListStore::loadNeverCreatesFiles()
{
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n");
    QVERIFY(!LoadWatchList(pathOf(dir)).error);
    QCOMPARE(listing(pathOf(dir)), std::set<std::string>{"Setting.ini"});
}

void TestWatchListStore::unreadableFileMakesRunReadOnly()
{
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n");
    fs::create_directory(pathOf(dir) / "Setting2.ini"); // exists, cannot be read as a file
    WatchListFiles files(pathOf(dir));
    const auto loaded = files.load();
    QVERIFY(loaded.error);
    QCOMPARE(loaded.error->file, std::string("Setting2.ini"));
    QVERIFY(!loaded.error->reason.empty());
    QVERIFY(!files.writable());

    const auto appended = files.append({{"600001", "1", "2"}});
    QVERIFY(appended);
    QCOMPARE(appended->kind, StoreError::Kind::UnreadableList);
    QVERIFY(files.rewrite({}));
    QCOMPARE(readFile(pathOf(dir) / "Setting.ini"), std::string("600000\r\n"));
    QCOMPARE(listing(pathOf(dir)), (std::set<std::string>{"Setting.ini", "Setting2.ini"}));
}

void TestWatchListStore::append_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("takeProfit");
    QTest::addColumn<QByteArray>("stopLoss");
    QTest::addColumn<QByteArrayList>("after");
    const QByteArray missing = QByteArray::fromStdString(kMissing);

    QTest::newRow("empty directory creates three one-line files")
        << missing << missing << missing
        << QByteArrayList{"600519\r\n", "10.5\r\n", "9.5\r\n"};
    QTest::newRow("earlier lines unchanged, new line last")
        << QByteArray("000001\r\n") << QByteArray("1\n") << QByteArray("2\r")
        << QByteArrayList{"000001\r\n600519\r\n", "1\n10.5\r\n", "2\r9.5\r\n"};
    QTest::newRow("last line without terminator is not glued to the new one")
        << QByteArray("000001") << QByteArray("1") << QByteArray("2")
        << QByteArrayList{"000001\r\n600519\r\n", "1\r\n10.5\r\n", "2\r\n9.5\r\n"};
    QTest::newRow("missing threshold file gets one empty line per earlier row")
        << QByteArray("a\r\nb\r\n") << missing << QByteArray("7\r\n8\r\n")
        << QByteArrayList{"a\r\nb\r\n600519\r\n", "\r\n\r\n10.5\r\n", "7\r\n8\r\n9.5\r\n"};
    QTest::newRow("threshold file with extra lines is cut to the rows")
        << QByteArray("a\r\n") << QByteArray("1\r\n2\r\n") << QByteArray("7\r\n")
        << QByteArrayList{"a\r\n600519\r\n", "1\r\n10.5\r\n", "7\r\n9.5\r\n"};
}

void TestWatchListStore::append()
{
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, takeProfit);
    QFETCH(QByteArray, stopLoss);
    QFETCH(QByteArrayList, after);
    QTemporaryDir dir;
    putFiles(pathOf(dir), codes.toStdString(), takeProfit.toStdString(), stopLoss.toStdString());
    QVERIFY(!AppendWatchEntry(pathOf(dir), {"600519", "10.5", "9.5"}));
    const auto files = snapshot(pathOf(dir));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QByteArray::fromStdString(files[i]), after[i]);
    QCOMPARE(listing(pathOf(dir)),
             (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
    // What was appended loads back as the last row.
    const auto loaded = LoadWatchList(pathOf(dir));
    QCOMPARE(loaded.entries.back(), (WatchEntry{"600519", "10.5", "9.5"}));
}

void TestWatchListStore::rewrite_data()
{
    QTest::addColumn<WatchEntries>("rows");
    QTest::addColumn<QByteArrayList>("after");
    QTest::newRow("no rows left: three empty files") << WatchEntries{}
                                                    << QByteArrayList{"", "", ""};
    QTest::newRow("duplicate codes and raw bytes kept in order")
        << WatchEntries{{"600000", " 1 ", "\xc6\xd6"}, {"600000", "2", ""}, {"", "现价的5%", "x"}}
        << QByteArrayList{"600000\r\n600000\r\n\r\n", " 1 \r\n2\r\n现价的5%\r\n",
                          "\xc6\xd6\r\n\r\nx\r\n"};
}

void TestWatchListStore::rewrite()
{
    QFETCH(WatchEntries, rows);
    QFETCH(QByteArrayList, after);
    QTemporaryDir dir;
    putFiles(pathOf(dir), "old\r\nold\r\n", "1\r\n", kMissing);
    QVERIFY(!RewriteWatchFiles(pathOf(dir), rows));
    const auto files = snapshot(pathOf(dir));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QByteArray::fromStdString(files[i]), after[i]);
    QCOMPARE(listing(pathOf(dir)),
             (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
    QCOMPARE(LoadWatchList(pathOf(dir)).entries, rows);
}

void TestWatchListStore::failedChangeLeavesFilesAsBefore_data()
{
    QTest::addColumn<bool>("appending");
    QTest::addColumn<QString>("blocked"); // a folder placed where a file must be written
    QTest::addColumn<QString>("injectedWriteFault");
    QTest::addColumn<QString>("reportedFile");
    QTest::newRow("append, code file's new content blocked")
        << true << "Setting.ini.new" << "" << "Setting.ini";
    QTest::newRow("append, stop-loss file's new content blocked")
        << true << "Setting3.ini.new" << "" << "Setting3.ini";
    QTest::newRow("append, marker blocked") << true << "Setting.commit" << "" << "Setting.commit";
    QTest::newRow("append, disk full on take-profit file")
        << true << "" << "Setting2.ini.new" << "Setting2.ini";
    QTest::newRow("rewrite, take-profit file's new content blocked")
        << false << "Setting2.ini.new" << "" << "Setting2.ini";
    QTest::newRow("rewrite, disk full on stop-loss file")
        << false << "" << "Setting3.ini.new" << "Setting3.ini";
}

void TestWatchListStore::failedChangeLeavesFilesAsBefore()
{
    QFETCH(bool, appending);
    QFETCH(QString, blocked);
    QFETCH(QString, injectedWriteFault);
    QFETCH(QString, reportedFile);
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    putFiles(root, "600000\r\n600001\r\n", "1\r\n2\r\n", "3\r\n4\r\n");
    const auto before = snapshot(root);
    if (!blocked.isEmpty())
        fs::create_directory(root / blocked.toStdString());
    FaultyFileSystem faulty;
    faulty.failWriteOf = injectedWriteFault.toStdString();

    std::optional<StoreError> error;
    if (appending)
        error = AppendWatchEntry(root, {"600519", "5", "6"}, faulty);
    else
        error = RewriteWatchFiles(root, {{"600001", "2", "4"}}, faulty);
    QVERIFY(error);
    QCOMPARE(QString::fromStdString(error->file), reportedFile);
    QVERIFY(!error->reason.empty());
    QVERIFY(snapshot(root) == before);
    if (!blocked.isEmpty())
        fs::remove(root / blocked.toStdString());
    QCOMPARE(listing(root), (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
}

void TestWatchListStore::interruptedChangeIsFinishedOrDiscarded_data()
{
    QTest::addColumn<bool>("marker");
    QTest::addColumn<QStringList>("pendingNew"); // files whose .new is still there
    QTest::addColumn<bool>("expectNewList");
    QTest::newRow("killed before the marker: new contents thrown away")
        << false << QStringList{"Setting.ini", "Setting2.ini"} << false;
    QTest::newRow("killed after the marker, before any rename: finished")
        << true << QStringList{"Setting.ini", "Setting2.ini", "Setting3.ini"} << true;
    QTest::newRow("killed between two renames: finished")
        << true << QStringList{"Setting3.ini"} << true;
    QTest::newRow("killed before the marker was removed: finished")
        << true << QStringList{} << true;
}

void TestWatchListStore::interruptedChangeIsFinishedOrDiscarded()
{
    QFETCH(bool, marker);
    QFETCH(QStringList, pendingNew);
    QFETCH(bool, expectNewList);
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    const WatchEntries oldList{{"600000", "1", "3"}};
    const WatchEntries newList{{"600000", "1", "3"}, {"600519", "5", "6"}};
    const std::array<std::string, 3> oldBytes{"600000\r\n", "1\r\n", "3\r\n"};
    const std::array<std::string, 3> newBytes{"600000\r\n600519\r\n", "1\r\n5\r\n", "3\r\n6\r\n"};
    for (int i = 0; i < 3; ++i) {
        const bool renamed = marker && !pendingNew.contains(QString::fromLatin1(kNames[i]));
        writeFile(root / kNames[i], renamed ? newBytes[i] : oldBytes[i]);
        if (pendingNew.contains(QString::fromLatin1(kNames[i])))
            writeFile(root / (std::string(kNames[i]) + ".new"), newBytes[i]);
    }
    if (marker)
        writeFile(root / "Setting.commit", "");

    const auto loaded = LoadWatchList(root);
    QVERIFY(!loaded.error);
    QCOMPARE(loaded.entries, expectNewList ? newList : oldList);
    QCOMPARE(listing(root), (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
}

void TestWatchListStore::changeCountsOnceItsMarkerIsDown_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("finishedNow"); // false: the marker stays for the next change or start
    QTest::newRow("folder sync fails after the renames") << "sync" << false;
    QTest::newRow("the marker cannot be removed") << "marker" << false;
    QTest::newRow("a rename fails once and is tried again") << "rename once" << true;
    QTest::newRow("a rename keeps failing") << "rename always" << false;
}

// Once the new contents and the marker are on disk, the change has landed: it is not reported
// as failed (the list would show the old rows while the disk holds the new ones, and a retry
// would add the row twice), and what is left is finished by the next change.
void TestWatchListStore::changeCountsOnceItsMarkerIsDown()
{
    QFETCH(QString, fault);
    QFETCH(bool, finishedNow);
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    putFiles(root, "600000\r\n", "1\r\n", "3\r\n");
    FaultyFileSystem faulty;
    faulty.failSync = fault == QLatin1String("sync");
    faulty.failMarkerRemoval = fault == QLatin1String("marker");
    if (fault.startsWith(QLatin1String("rename"))) {
        faulty.failRenameTo = "Setting2.ini";
        faulty.renameFailures = fault == QLatin1String("rename once") ? 1 : -1;
    }
    QVERIFY(!AppendWatchEntry(root, {"600519", "5", "6"}, faulty));
    QCOMPARE(fs::exists(root / kCommitMarkerName), !finishedNow);
    const WatchEntries added{{"600000", "1", "3"}, {"600519", "5", "6"}};
    QCOMPARE(LoadWatchList(root, faulty).entries, added);

    // The next change finishes the earlier one first and builds on the list it left.
    QVERIFY(!AppendWatchEntry(root, {"000001", "7", "8"}));
    QCOMPARE(snapshot(root), (std::array<std::string, 3>{"600000\r\n600519\r\n000001\r\n",
                                                          "1\r\n5\r\n7\r\n",
                                                          "3\r\n6\r\n8\r\n"}));
    QCOMPARE(listing(root), (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
}

// On a read-only mount every change fails, removing a file that is not there included; the list
// must load all the same, and the run must then try no change at all.
void TestWatchListStore::readOnlyFolderShowsItsListAndWritesNothing()
{
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    putFiles(root, "600000\r\n600001\r\n", "1\r\n2\r\n", "3\r\n4\r\n");
    FaultyFileSystem faulty;
    faulty.readOnly = true;
    WatchListFiles files(root, faulty);
    const auto loaded = files.load();
    QCOMPARE(loaded.entries, (WatchEntries{{"600000", "1", "3"}, {"600001", "2", "4"}}));
    QVERIFY(loaded.error);
    QCOMPARE(loaded.error->kind, StoreError::Kind::ReadOnlyFolder);
    QCOMPARE(loaded.error->errorNumber, EROFS);
    QVERIFY(loaded.error->file.empty());

    faulty.readOnly = false; // refused up front: a writable folder now would not be touched
    const auto before = snapshot(root);
    QCOMPARE(files.append({{"600519", "5", "6"}})->kind, StoreError::Kind::ReadOnlyFolder);
    QCOMPARE(files.rewrite({})->kind, StoreError::Kind::ReadOnlyFolder);
    QVERIFY(snapshot(root) == before);
}

void TestWatchListStore::setThresholdsChangesOneLine_data()
{
    QTest::addColumn<QByteArray>("takeProfit"); // "<missing>": no such file
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("newTakeProfit"); // null: left alone
    QTest::addColumn<QString>("newStopLoss");
    QTest::addColumn<QByteArrayList>("after"); // the three files
    const QByteArray missing = QByteArray::fromStdString(kMissing);
    const QByteArray codes = "a\r\nb\r\nc\r\n";
    QTest::newRow("the middle take-profit of a file edited elsewhere (LF ends)")
        << QByteArray("1\n2\n3\n") << 1 << "10.5" << QString()
        << QByteArrayList{codes, "1\n10.5\n3\n", "7\r\n8\r\n9\r\n"};
    QTest::newRow("the last line without terminator gets one")
        << QByteArray("1\r\n2\r\n3") << 2 << "" << QString()
        << QByteArrayList{codes, "1\r\n2\r\n\r\n", "7\r\n8\r\n9\r\n"};
    QTest::newRow("a missing take-profit file gets empty lines up to the row")
        << missing << 2 << "12" << QString()
        << QByteArrayList{codes, "\r\n\r\n12\r\n", "7\r\n8\r\n9\r\n"};
    QTest::newRow("both sides of the first row")
        << QByteArray("1\r\n2\r\n3\r\n") << 0 << "11" << "6.5"
        << QByteArrayList{codes, "11\r\n2\r\n3\r\n", "6.5\r\n8\r\n9\r\n"};
}

// Editing one threshold changes that line of that file and no other byte anywhere.
void TestWatchListStore::setThresholdsChangesOneLine()
{
    QFETCH(QByteArray, takeProfit);
    QFETCH(int, row);
    QFETCH(QString, newTakeProfit);
    QFETCH(QString, newStopLoss);
    QFETCH(QByteArrayList, after);
    QTemporaryDir dir;
    putFiles(pathOf(dir), "a\r\nb\r\nc\r\n", takeProfit.toStdString(), "7\r\n8\r\n9\r\n");
    auto value = [](const QString &text) {
        return text.isNull() ? std::nullopt : std::optional<std::string>(text.toStdString());
    };
    QVERIFY(!SetThresholds(pathOf(dir), std::size_t(row), value(newTakeProfit), value(newStopLoss)));
    const auto files = snapshot(pathOf(dir));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QByteArray::fromStdString(files[i]), after[i]);
    QCOMPARE(listing(pathOf(dir)), (std::set<std::string>{"Setting.ini", "Setting2.ini", "Setting3.ini"}));
}

// A restore puts back what a copy held, an absent file included, through the same protocol: a
// kill after its marker is finished by the next start.
void TestWatchListStore::restorePutsBackEveryByteAndEveryAbsence()
{
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    putFiles(root, "a\r\nb\r\n", "1\r\n2\r\n", "3\r\n4\r\n");
    QVERIFY(!RestoreWatchFiles(root, {std::string("x\n"), std::nullopt, std::string("")}));
    QCOMPARE(listing(root), (std::set<std::string>{"Setting.ini", "Setting3.ini"}));
    QCOMPARE(readFile(root / "Setting.ini"), std::string("x\n"));
    QCOMPARE(readFile(root / "Setting3.ini"), std::string());

    // Killed after the marker, before the take-profit file was removed: finished at start.
    putFiles(root, "a\r\n", "1\r\n", "3\r\n");
    writeFile(root / "Setting2.ini.gone", "");
    writeFile(root / kCommitMarkerName, "");
    QCOMPARE(LoadWatchList(root).entries, (WatchEntries{{"a", "", "3"}}));
    QCOMPARE(listing(root), (std::set<std::string>{"Setting.ini", "Setting3.ini"}));
}

QTEST_GUILESS_MAIN(TestWatchListStore)
#include "test_watchliststore.moc"
