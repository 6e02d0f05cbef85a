#include "platform/singleinstance.h"

#include "platform/messages.h"
#include "platform/runtimedir.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace velmora {

namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShowAnswer = QByteArrayLiteral("ok\n");

QString baseNameFor(const QString &dataDir, bool sharedDir)
{
    QString canonical = QFileInfo(dataDir).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(QFileInfo(dataDir).absoluteFilePath());
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    // In a temporary directory shared by all users, the user id keeps one user's program from
    // answering for another's.
    QString name = QStringLiteral("velmora-");
    if (sharedDir)
        name += QString::number(::getuid()) + QLatin1Char('-');
    return name + QString::fromLatin1(hash);
}

} // namespace

SingleInstance::SingleInstance(const QString &dataDir, QObject *parent)
    : QObject(parent),
      m_dataDir(dataDir),
      m_base(RuntimeDir() + QLatin1Char('/') + baseNameFor(dataDir, RuntimeDirIsShared())),
      m_lock(m_base + QStringLiteral(".lock"))
{
    // Never stale by age: a live holder keeps the lock however long it runs. A holder that died
    // is still recognised (its process is gone) and its lock taken over.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    delete m_server; // removes the socket before the lock goes
}

SingleInstance::Claim SingleInstance::claim()
{
    const QDeadlineTimer deadline(3000);
    for (;;) {
        if (m_lock.tryLock(0)) {
            listen();
            return Claim::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            // Without a usable lock place the program still runs: refusing to start would be
            // worse than the small chance of a second instance.
            std::fprintf(stderr, "velmora: cannot lock %s; not checking for another instance\n",
                         qPrintable(lockPath()));
            return Claim::First;
        }
        if (askRunningToShow())
            return Claim::HandedOver;
        // The holder may still be starting up and not listening yet.
        if (deadline.hasExpired()) {
            Messages::warn(nullptr, QStringLiteral("另一个 Velmora 正在使用数据文件夹 %1，但没有响应。"
                                                   "本次启动已取消，文件未被改动。")
                                        .arg(QDir::toNativeSeparators(m_dataDir)));
            return Claim::Unanswered;
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::askRunningToShow()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(500))
        return false;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(500))
        return false;
    QByteArray answer;
    const QDeadlineTimer deadline(2000);
    while (!answer.endsWith('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        answer += socket.readAll();
    }
    return answer == kShowAnswer;
}

void SingleInstance::listen()
{
    // The lock is ours, so a socket left at that place belongs to a program that died.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
    if (!m_server->listen(socketPath())) {
        std::fprintf(stderr, "velmora: cannot listen on %s: %s\n", qPrintable(socketPath()),
                     qPrintable(m_server->errorString()));
    }
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64) // not one of ours
                    socket->disconnectFromServer();
                return;
            }
            const QByteArray request = socket->readLine();
            if (request == kShowRequest) {
                emit activationRequested();
                socket->write(kShowAnswer);
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace velmora
