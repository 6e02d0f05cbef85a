// The list on file systems that really refuse: a 64 KiB tmpfs mounted by the test (tests run as
// root). Filled up to a chosen number of free pages, a change must fail with the system's
// reason, name the file it could not write, and leave the three files byte for byte as they
// were, with no new contents or marker lying about. Remounted read-only, the list must still
// load, and nothing may be written. Where mounting is not allowed the test skips;
// test_watchliststore covers the same paths with injected faults.

#include "core/watchliststore.h"
#include "support/tempdir.h"

#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {


// A small tmpfs on a folder, unmounted when it goes.
class SmallTmpfs
{
public:
    explicit SmallTmpfs(const fs::path &where) : m_where(where)
    {
        if (::mount("velmora-test", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                    "size=64k,mode=0700") == 0)
            m_mounted = true;
        else
            m_reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallTmpfs()
    {
        if (m_mounted && ::umount2(m_where.c_str(), 0) != 0)
            ::umount2(m_where.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs &) = delete;
    SmallTmpfs &operator=(const SmallTmpfs &) = delete;

    bool mounted() const { return m_mounted; }
    bool makeReadOnly() const
    {
        return ::mount(nullptr, m_where.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    const QString &reason() const { return m_reason; }

private:
    fs::path m_where;
    bool m_mounted = false;
    QString m_reason;
};

unsigned long freeBlocks(const fs::path &dir)
{
    struct statvfs st {};
    return ::statvfs(dir.c_str(), &st) == 0 ? st.f_bfree : ~0UL;
}

// Takes every free block but `spare`: each spare one is held by a one-byte file (a tmpfs
// gives every non-empty file a page of its own) while a filler takes the rest, then the spare
// files go.
bool fillLeaving(const fs::path &dir, int spare)
{
    for (int i = 0; i < spare; ++i)
        writeFile(dir / ("spare" + std::to_string(i)), "x");
    const int fd = ::open((dir / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string chunk(4096, 'f');
    for (;;) {
        if (::write(fd, chunk.data(), chunk.size()) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    for (int i = 0; i < spare; ++i)
        fs::remove(dir / ("spare" + std::to_string(i)));
    return full;
}

const WatchEntries kRows{{"600000", "10.5", "9.5"},
                      {"\xc6\xd6\xb7\xa2", "现价的5%", ""},
                      {"浦发示例", "", "8"}};
const WatchEntry kAdded{"600519", "1800", "1500"};

std::optional<StoreError> makeChange(const fs::path &dir, bool adding)
{
    return adding ? AppendWatchEntry(dir, kAdded) : RewriteWatchFiles(dir, {kRows[0], kRows[2]});
}

} // namespace

class TestRealMounts : public QObject
{
    Q_OBJECT

private slots:
    void changeOnFullDisk_data();
    void changeOnFullDisk();
    void readOnlyMount_data();
    void readOnlyMount();
};

void TestRealMounts::changeOnFullDisk_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<int>("freePages");
    QTest::addColumn<QString>("failingFile"); // empty: there is room, the change goes through

    QTest::newRow("add, no room at all") << true << 0 << "Setting.ini";
    QTest::newRow("add, room for the new code file only") << true << 1 << "Setting2.ini";
    QTest::newRow("add, room for two new files") << true << 2 << "Setting3.ini";
    QTest::newRow("add, room for all three new files") << true << 3 << "";
    QTest::newRow("remove, no room at all") << false << 0 << "Setting.ini";
    QTest::newRow("remove, room for the new code file only") << false << 1 << "Setting2.ini";
    QTest::newRow("remove, room for two new files") << false << 2 << "Setting3.ini";
    QTest::newRow("remove, room for all three new files") << false << 3 << "";
}

void TestRealMounts::changeOnFullDisk()
{
    QFETCH(bool, adding);
    QFETCH(int, freePages);
    QFETCH(QString, failingFile);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    const fs::path dir = pathOf(base);
    const SmallTmpfs tmpfs(dir);
    if (!tmpfs.mounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1); the injected write "
                                        "fault in test_watchliststore covers a full disk")
                             .arg(tmpfs.reason())));

    QVERIFY(!RewriteWatchFiles(dir, kRows));
    QVERIFY(fillLeaving(dir, freePages));
    QCOMPARE(freeBlocks(dir), static_cast<unsigned long>(freePages));
    const auto before = snapshot(dir);
    const auto namesBefore = listing(dir);

    const auto error = makeChange(dir, adding);
    if (failingFile.isEmpty()) {
        // The control case: the page counting above is right, so the failures below come
        // from the room left and not from something else.
        QVERIFY2(!error, error ? error->reason.c_str() : "");
        QVERIFY(snapshot(dir) != before);
        return;
    }
    QVERIFY(error);
    QCOMPARE(QString::fromStdString(error->file), failingFile);
    QCOMPARE(error->errorNumber, ENOSPC);
    QCOMPARE(error->kind, StoreError::Kind::Failed);
    QVERIFY(snapshot(dir) == before);
    QCOMPARE(listing(dir), namesBefore);
    QCOMPARE(LoadWatchList(dir).entries, kRows);

    // Nothing is stuck: with room again, the same change goes through.
    fs::remove(dir / "filler");
    QVERIFY(!makeChange(dir, adding));
    WatchEntries expected = kRows;
    if (adding)
        expected.push_back(kAdded);
    else
        expected.erase(expected.begin() + 1);
    QCOMPARE(LoadWatchList(dir).entries, expected);
}

void TestRealMounts::readOnlyMount_data()
{
    QTest::addColumn<bool>("strayNewFile");
    QTest::addColumn<bool>("unfinishedChange");
    QTest::newRow("the three files") << false << false;
    QTest::newRow("a stray new content without marker") << true << false;
    QTest::newRow("a change whose renames were cut off") << true << true;
}

// A folder that can be read but not written still shows its list, the list a change left on
// disk included, and the run then writes nothing at all.
void TestRealMounts::readOnlyMount()
{
    QFETCH(bool, strayNewFile);
    QFETCH(bool, unfinishedChange);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const fs::path dir = pathOf(base);
    const SmallTmpfs tmpfs(dir);
    if (!tmpfs.mounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(tmpfs.reason())));
    QVERIFY(!RewriteWatchFiles(dir, kRows));
    WatchEntries expected = kRows;
    if (strayNewFile)
        writeFile(dir / "Setting.ini.new", "600519\r\n");
    if (unfinishedChange) {
        writeFile(dir / kCommitMarkerName, "");
        expected = {{"600519", "10.5", "9.5"}}; // the code file's new content, renamed or not
    }
    QVERIFY(tmpfs.makeReadOnly());
    const auto namesBefore = listing(dir);
    const auto bytesBefore = snapshot(dir);

    WatchListFiles files(dir);
    const LoadedWatchList loaded = files.load();
    QCOMPARE(loaded.entries, expected);
    QVERIFY(loaded.error);
    QCOMPARE(loaded.error->kind, StoreError::Kind::ReadOnlyFolder);
    QCOMPARE(loaded.error->errorNumber, EROFS);
    const auto refused = files.append({kAdded});
    QVERIFY(refused);
    QCOMPARE(refused->kind, StoreError::Kind::ReadOnlyFolder);
    QVERIFY(files.rewrite({}));
    QCOMPARE(listing(dir), namesBefore);
    QVERIFY(snapshot(dir) == bytesBefore);
}

QTEST_GUILESS_MAIN(TestRealMounts)
#include "test_real_mounts.moc"
