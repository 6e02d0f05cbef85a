#include "platform/messages.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>
#include <memory>

using namespace velmora;

namespace {

// The real program, started on a data folder with the test's runtime folder.
std::unique_ptr<QProcess> startProgram(const QString &dataDir)
{
    auto program = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program->setProcessEnvironment(env);
    program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program->start(QStringLiteral(VELMORA_BINARY), {"--demo", "--data-dir", dataDir});
    return program;
}

// Waits until the program on dataDir answers from its event loop. The probe runs in this
// process, whose own event loop is not needed for asking.
bool answers(const QString &dataDir)
{
    SingleInstance probe(dataDir);
    if (!QTest::qWaitFor([&] { return QFile::exists(probe.lockPath()); }, 20000))
        return false;
    return probe.claim() == SingleInstance::Claim::HandedOver;
}

void endProgram(QProcess &program)
{
    if (program.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    program.waitForFinished(20000);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deliveredCommandIsNotSentTwice();
    void names_data();
    void names();
    void place_data();
    void place();
    void firstStartRuns();
    void secondStartHandsOverAndExits();
    void otherDataFolderRunsAlongside();
    void staleLockIsTakenOver();
    void silentHolderIsReported();

private:
    std::unique_ptr<QTemporaryDir> m_runtime;
    QStringList m_messages;
};

void TestSingleInstance::init()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    m_messages.clear();
    Messages::setSinkForTests([this](const QString &text) { m_messages << text; });
}

void TestSingleInstance::cleanup()
{
    Messages::setSinkForTests(nullptr);
}

void TestSingleInstance::names_data()
{
    QTest::addColumn<QString>("first");  // relative to a temporary folder
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");

    QTest::newRow("the same folder") << "data" << "data" << true;
    QTest::newRow("trailing slash") << "data" << "data/" << true;
    QTest::newRow("through dot-dot") << "data" << "other/../data" << true;
    QTest::newRow("through a symbolic link") << "data" << "link" << true;
    QTest::newRow("another folder") << "data" << "other" << false;
    QTest::newRow("a folder inside") << "data" << "data/inner" << false;
}

void TestSingleInstance::names()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("data/inner"));
    QDir(base.path()).mkpath(QStringLiteral("other"));
    QFile::link(base.path() + QStringLiteral("/data"), base.path() + QStringLiteral("/link"));

    const SingleInstance a(base.path() + QLatin1Char('/') + first);
    const SingleInstance b(base.path() + QLatin1Char('/') + second);
    QCOMPARE(a.lockPath() == b.lockPath(), same);
    QCOMPARE(a.socketPath() == b.socketPath(), same);
    // Kept out of the data folder, in the runtime folder.
    QCOMPARE(QFileInfo(a.lockPath()).path(), m_runtime->path());
    QVERIFY(!a.lockPath().contains(QStringLiteral("/data")));
}

void TestSingleInstance::place_data()
{
    QTest::addColumn<QString>("runtimeDir"); // null: unset; "<runtime>": the test's folder
    QTest::addColumn<bool>("inRuntimeDir");

    QTest::newRow("runtime folder set") << "<runtime>" << true;
    QTest::newRow("runtime folder unset") << QString() << false;
    QTest::newRow("runtime folder empty") << "" << false;
    QTest::newRow("runtime folder missing") << "/nonexistent/velmora-run" << false;
    QTest::newRow("runtime folder relative") << "run" << false;
}

void TestSingleInstance::place()
{
    QFETCH(QString, runtimeDir);
    QFETCH(bool, inRuntimeDir);
    if (runtimeDir.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else if (runtimeDir != QLatin1String("<runtime>"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir));

    const SingleInstance instance(QDir::currentPath());
    const QFileInfo lock(instance.lockPath());
    if (inRuntimeDir) {
        QCOMPARE(lock.path(), m_runtime->path());
        QVERIFY(lock.fileName().startsWith(QStringLiteral("velmora-")));
    } else {
        // The shared temporary folder: the user's id keeps users apart.
        QCOMPARE(lock.path(), QDir::tempPath());
        QVERIFY2(lock.fileName().startsWith(QStringLiteral("velmora-%1-").arg(::getuid())),
                 qPrintable(lock.fileName()));
    }
    QCOMPARE(QFileInfo(instance.socketPath()).path(), lock.path());
}

void TestSingleInstance::firstStartRuns()
{
    QTemporaryDir data;
    SingleInstance instance(data.path());
    QCOMPARE(instance.claim(), SingleInstance::Claim::First);
    QVERIFY(QFile::exists(instance.lockPath()));
    QVERIFY(m_messages.isEmpty());
}

void TestSingleInstance::secondStartHandsOverAndExits()
{
    QTemporaryDir data;
    SingleInstance first(data.path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);
    QSignalSpy asked(&first, &SingleInstance::activationRequested);

    auto second = startProgram(data.path());
    QVERIFY(second->waitForStarted());
    // This process answers from its event loop, which the wait below runs.
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 20000);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(asked.size(), 1);

    // And the real program, when first, brings itself forward for a second real start.
    QTemporaryDir data2;
    auto running = startProgram(data2.path());
    QVERIFY(answers(data2.path()));
    auto again = startProgram(data2.path());
    QVERIFY(again->waitForFinished(20000));
    QCOMPARE(again->exitCode(), 0);
    QCOMPARE(running->state(), QProcess::Running);
    endProgram(*running);
    QCOMPARE(running->exitCode(), 0);
}

void TestSingleInstance::otherDataFolderRunsAlongside()
{
    QTemporaryDir data, other;
    SingleInstance first(data.path());
    QCOMPARE(first.claim(), SingleInstance::Claim::First);

    auto program = startProgram(other.path());
    QVERIFY(answers(other.path()));
    QCOMPARE(program->state(), QProcess::Running);
    endProgram(*program);
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
}

void TestSingleInstance::staleLockIsTakenOver()
{
    QTemporaryDir data;
    auto crashed = startProgram(data.path());
    QVERIFY(answers(data.path()));
    const SingleInstance names(data.path());
    ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
    QVERIFY(crashed->waitForFinished(20000));
    QVERIFY(QFile::exists(names.lockPath()));   // left behind by the crash
    QVERIFY(QFile::exists(names.socketPath())); // and so is its socket

    SingleInstance next(data.path());
    QCOMPARE(next.claim(), SingleInstance::Claim::First);
    QVERIFY(m_messages.isEmpty());

    // The new holder answers on the same name.
    QSignalSpy asked(&next, &SingleInstance::activationRequested);
    auto second = startProgram(data.path());
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 20000);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(asked.size(), 1);
}

void TestSingleInstance::silentHolderIsReported()
{
    // A live holder that never answers (here this very process, with no socket): the start
    // gives up after a few seconds and says so, rather than running on the same files.
    QTemporaryDir data;
    const SingleInstance names(data.path());
    QLockFile held(names.lockPath());
    QVERIFY(held.tryLock(0));

    SingleInstance late(data.path());
    QCOMPARE(late.claim(), SingleInstance::Claim::Unanswered);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(data.path()), qPrintable(m_messages.first()));
}

// A holder that takes a command and never answers: the command is sent once, and the line
// says that its result is unknown, never that nothing changed.
void TestSingleInstance::deliveredCommandIsNotSentTwice()
{
    QTemporaryDir data;
    const SingleInstance names(data.path());
    QLockFile held(names.lockPath());
    QVERIFY(held.tryLock(0));
    QLocalServer silent; // this thread never serves it: the request waits in its socket
    QVERIFY(silent.listen(names.socketPath()));

    SingleInstance script(data.path());
    script.setCommandAnswerTimeoutMs(300);
    const auto outcome = script.handCommandOver(ListVerb::Import, "/tmp/list.csv");
    QVERIFY(outcome);
    QCOMPARE(outcome->first, 1);
    QVERIFY2(outcome->second.contains("不知道是否已经完成"), qPrintable(outcome->second));
    QVERIFY(!outcome->second.contains("没有改动"));
    QByteArray received;
    while (QLocalSocket *socket = (silent.waitForNewConnection(100), silent.nextPendingConnection())) {
        socket->waitForReadyRead(100);
        received += socket->readAll();
    }
    QCOMPARE(received.count("command\t"), 1);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
