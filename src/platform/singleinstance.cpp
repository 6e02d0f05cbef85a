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
// "command\t<verb>\t<percent-encoded path>\n", answered "<status>\t<percent-encoded message>\n".
const QByteArray kCommandRequest = QByteArrayLiteral("command\t");
constexpr qint64 kMaxRequestBytes = 64 * 1024;

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

// The server goes first (it removes its socket), then the lock.
SingleInstance::~SingleInstance() = default;

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
    const Exchange reply = exchange(kShowRequest, 30000);
    return reply.answer == kShowAnswer;
}

SingleInstance::Exchange SingleInstance::exchange(const QByteArray &request, int answerTimeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(500))
        return {};
    socket.write(request);
    if (!socket.waitForBytesWritten(500))
        return {};
    // From here on the running program may act on the request: it is never sent again.
    Exchange reply;
    reply.delivered = true;
    QByteArray answer;
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!answer.endsWith('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        answer += socket.readAll();
    }
    if (answer.endsWith('\n'))
        reply.answer = answer;
    return reply;
}

std::optional<std::pair<int, QString>> SingleInstance::handCommandOver(ListVerb verb,
                                                                       const QString &path)
{
    const QByteArray request = kCommandRequest + ListVerbWord(verb).toUtf8() + '\t' +
                               path.toUtf8().toPercentEncoding() + '\n';
    const QDeadlineTimer deadline(3000);
    for (;;) {
        if (m_lock.tryLock(0))
            return std::nullopt; // nobody runs there: the work is ours
        const Exchange reply = exchange(request, m_commandAnswerTimeoutMs);
        if (reply.answer) {
            const QByteArray line = reply.answer->trimmed();
            const qsizetype tab = line.indexOf('\t');
            return std::pair{line.left(tab).toInt(),
                             QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(tab + 1)))};
        }
        if (reply.delivered) {
            // The running program has the request and may still carry it out: no retry, and no
            // word that nothing changed.
            return std::pair{1, QStringLiteral("正在运行的 Velmora 已收到命令，但在 %1 秒内没有回复结果，"
                                               "不知道是否已经完成。请在程序中查看自选股列表，"
                                               "不要重复执行这个命令。")
                                    .arg(m_commandAnswerTimeoutMs / 1000)};
        }
        if (deadline.hasExpired()) {
            return std::pair{1, QStringLiteral("另一个 Velmora 正在使用这个数据文件夹，但没有响应。"
                                               "没有改动任何文件。")};
        }
        QThread::msleep(100);
    }
}

void SingleInstance::setCommandAnswerTimeoutMs(int ms)
{
    m_commandAnswerTimeoutMs = ms;
}

void SingleInstance::setCommandHandler(CommandHandler handler)
{
    m_commandHandler = std::move(handler);
}

void SingleInstance::listen()
{
    // The lock is ours, so a socket left at that place belongs to a program that died.
    QLocalServer::removeServer(socketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
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
                if (socket->bytesAvailable() > kMaxRequestBytes) // not one of ours
                    socket->disconnectFromServer();
                return;
            }
            socket->write(answer(socket->readLine()));
            socket->disconnectFromServer();
        });
    }
}

QByteArray SingleInstance::answer(const QByteArray &request)
{
    if (request == kShowRequest) {
        emit activationRequested();
        return kShowAnswer;
    }
    if (!request.startsWith(kCommandRequest) || !request.endsWith('\n'))
        return {};
    const QList<QByteArray> parts = request.mid(kCommandRequest.size()).trimmed().split('\t');
    if (parts.size() != 2)
        return {};
    const auto verb = ListVerbFromWord(QString::fromUtf8(parts[0]));
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(parts[1]));
    if (!verb || !m_commandHandler)
        return "1\t" + QStringLiteral("正在运行的 Velmora 不能执行这个命令。").toUtf8().toPercentEncoding() + '\n';
    const auto [status, message] = m_commandHandler(*verb, path);
    return QByteArray::number(status) + '\t' + message.toUtf8().toPercentEncoding() + '\n';
}

} // namespace velmora
