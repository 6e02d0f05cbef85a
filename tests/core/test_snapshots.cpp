#include "core/snapshots.h"
#include "support/tempdir.h"

#include <QTest>

#include <cerrno>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kStem = "20261207-093015-123";

// Fails the write of one file, or every rename, as a full disk or a yanked folder would.
class FaultyFileSystem final : public StoreFileSystem
{
public:
    std::string failWriteOf;
    bool failRename = false;

    bool writeDurably(const fs::path &path, const std::string &bytes, SystemError *error) override
    {
        if (path.filename() == failWriteOf) {
            *error = {ENOSPC, "No space left on device"};
            return false;
        }
        return StoreFileSystem::writeDurably(path, bytes, error);
    }
    bool rename(const fs::path &from, const fs::path &to, SystemError *error) override
    {
        if (failRename) {
            *error = {EIO, "Input/output error"};
            return false;
        }
        return StoreFileSystem::rename(from, to, error);
    }
};

QStringList names(const fs::path &dir)
{
    QStringList list;
    for (const auto &name : listing(dir))
        list << QString::fromStdString(name);
    return list;
}

} // namespace

class TestSnapshots : public QObject
{
    Q_OBJECT

private slots:
    void takeListAndRead();
    void failedSnapshotLeavesNothing_data();
    void failedSnapshotLeavesNothing();
    void prune_data();
    void prune();
    void takenIsTheNewest_data();
    void takenIsTheNewest();
    void readRefusesOtherNames_data();
    void readRefusesOtherNames();
};

void TestSnapshots::takeListAndRead()
{
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    writeFile(root / kCodeFileName, "600000\r\n600001\r\n");
    writeFile(root / kTakeProfitFileName, "");
    QVERIFY(!TakeSnapshot(root, kStem));
    writeFile(root / kCodeFileName, "600000\r\n");
    QVERIFY(!TakeSnapshot(root, kStem));
    QVERIFY(!TakeSnapshot(root, kStem));

    QCOMPARE(names(root / kSnapshotFolderName),
             (QStringList{"20261207-093015-123", "20261207-093015-123-1",
                          "20261207-093015-123-2"}));
    const auto list = ListSnapshots(root);
    QCOMPARE(list.size(), std::size_t(3));
    QCOMPARE(list[0].name, kStem + "-2");
    QCOMPARE(list[2].name, kStem);
    QCOMPARE(list[2].rows, 2);

    const auto first = ReadSnapshot(root, kStem);
    QVERIFY(first);
    QCOMPARE(first->codes, std::optional<std::string>("600000\r\n600001\r\n"));
    QCOMPARE(first->takeProfit, std::optional<std::string>("")); // empty is not absent
    QVERIFY(!first->stopLoss);
}

void TestSnapshots::failedSnapshotLeavesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("writing the first file fails") << "write Setting.ini" << "Setting.ini" << ENOSPC;
    QTest::newRow("writing the last file fails")
        << "write Setting3.ini" << "Setting3.ini" << ENOSPC;
    QTest::newRow("a folder where a file should be read")
        << "folder Setting2.ini" << "Setting2.ini" << EISDIR;
    QTest::newRow("the final rename fails") << "rename" << "backups" << EIO;
}

void TestSnapshots::failedSnapshotLeavesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, file);
    QFETCH(int, errorNumber);
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    for (const char *name : {kCodeFileName, kTakeProfitFileName, kStopLossFileName})
        writeFile(root / name, "1\r\n");
    FaultyFileSystem faulty;
    const QStringList words = fault.split(QLatin1Char(' '));
    if (words[0] == QLatin1String("write"))
        faulty.failWriteOf = words[1].toStdString();
    if (words[0] == QLatin1String("folder")) {
        fs::remove(root / words[1].toStdString());
        fs::create_directory(root / words[1].toStdString());
    }
    faulty.failRename = words[0] == QLatin1String("rename");

    const auto error = TakeSnapshot(root, kStem, faulty);
    QVERIFY(error);
    QCOMPARE(QString::fromStdString(error->file), file);
    QCOMPARE(error->errorNumber, errorNumber);
    QCOMPARE(names(root / kSnapshotFolderName), QStringList());
}

void TestSnapshots::prune_data()
{
    QTest::addColumn<QStringList>("folders"); // "file:" makes a file of that name
    QTest::addColumn<int>("keep");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("oldest go first; -10 is after -9")
        << QStringList{"20261201-000000-000-10", "20261201-000000-000-9", "20261202-000000-000",
                       "20261201-000000-000"}
        << 2 << QStringList{"20261201-000000-000-10", "20261202-000000-000"};
    QTest::newRow("nothing when within the limit")
        << QStringList{"20261201-000000-000", "20261202-000000-000"} << 2
        << QStringList{"20261201-000000-000", "20261202-000000-000"};
    QTest::newRow("other names and files left alone")
        << QStringList{"notes", "20261201-000000-00", "20261201-000000-000-",
                       "file:20261201-000000-000", "20261203-000000-000"}
        << 0
        << QStringList{"20261201-000000-00", "20261201-000000-000", "20261201-000000-000-",
                       "notes"};
    QTest::newRow("interrupted ones older than the newest snapshot go")
        << QStringList{".incomplete-20261201-000000-000", ".incomplete-20261209-000000-000",
                       ".incomplete-notes", "20261205-000000-000"}
        << 20
        << QStringList{".incomplete-20261209-000000-000", ".incomplete-notes",
                       "20261205-000000-000"};
}

void TestSnapshots::prune()
{
    QFETCH(QStringList, folders);
    QFETCH(int, keep);
    QFETCH(QStringList, left);
    QTemporaryDir dir;
    const auto backups = pathOf(dir) / kSnapshotFolderName;
    fs::create_directory(backups);
    for (const QString &folder : folders) {
        if (folder.startsWith(QLatin1String("file:")))
            writeFile(backups / folder.mid(5).toStdString(), "x");
        else
            fs::create_directory(backups / folder.toStdString());
    }
    QVERIFY(!PruneSnapshots(pathOf(dir), std::size_t(keep)));
    QCOMPARE(names(backups), left);
}

// A snapshot is always the newest by name, whatever the clock says, so pruning keeps it.
void TestSnapshots::takenIsTheNewest_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("stem"); // the clock's time
    QTest::addColumn<QString>("taken");
    QTest::newRow("the clock moves on") << QStringList{"20261208-140000-000"}
                                        << "20261208-150000-000" << "20261208-150000-000";
    QTest::newRow("the same millisecond") << QStringList{"20261208-140000-000"}
                                          << "20261208-140000-000" << "20261208-140000-000-1";
    QTest::newRow("the clock went back 8 hours")
        << QStringList{"20261208-140000-000", "20261208-140000-000-3"} << "20261208-060000-000"
        << "20261208-140000-000-4";
    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty << QString("20261208-14%1-000").arg(i, 4, 10, QChar('0'));
    QTest::newRow("twenty at 14:00, one taken at 06:00") << twenty << "20261208-060000-000"
                                                         << "20261208-140019-000-1";
}

void TestSnapshots::takenIsTheNewest()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, stem);
    QFETCH(QString, taken);
    QTemporaryDir dir;
    const fs::path root = pathOf(dir);
    writeFile(root / kCodeFileName, "600000\r\n");
    fs::create_directory(root / kSnapshotFolderName);
    for (const QString &folder : folders)
        fs::create_directory(root / kSnapshotFolderName / folder.toStdString());
    std::string name;
    QVERIFY(!TakeSnapshot(root, stem.toStdString(), StoreFileSystem::real(), &name));
    QCOMPARE(QString::fromStdString(name), taken);
    QVERIFY(!PruneSnapshots(root, kSnapshotsKept));
    QCOMPARE(QString::fromStdString(ListSnapshots(root).front().name), taken);
    QVERIFY(RemoveSnapshot(root, name));
    QVERIFY(!names(root / kSnapshotFolderName).contains(taken));
}

void TestSnapshots::readRefusesOtherNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("a way out of the folder") << "20261207-093015-123/../.." << EINVAL;
    QTest::newRow("an interrupted one") << ".incomplete-20261207-093015-123" << EINVAL;
    QTest::newRow("a letter among the digits") << "20261207-093015-12a" << EINVAL;
    QTest::newRow("a dash without digits") << "20261207-093015-123-" << EINVAL;
    QTest::newRow("a snapshot that is not there") << "20261207-093015-124" << ENOENT;
}

void TestSnapshots::readRefusesOtherNames()
{
    QFETCH(QString, name);
    QFETCH(int, errorNumber);
    QTemporaryDir dir;
    const auto root = pathOf(dir);
    writeFile(root / kCodeFileName, "600000\r\n");
    QVERIFY(!TakeSnapshot(root, kStem));
    fs::create_directory(root / kSnapshotFolderName / ".incomplete-20261207-093015-123");
    StoreError error;
    QVERIFY(!ReadSnapshot(root, name.toStdString(), StoreFileSystem::real(), &error));
    QCOMPARE(error.errorNumber, errorNumber);
}

QTEST_GUILESS_MAIN(TestSnapshots)
#include "test_snapshots.moc"
