#include "services/viewerprocess.h"

#include "platform/runtimedir.h"
#include "platform/settings.h"
#include "core/viewerprotocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

namespace velmora {

namespace {

// Takes every complete line out of buffer; a runaway line without an end is dropped.
QList<QByteArray> takeLines(QByteArray &buffer)
{
    QList<QByteArray> lines;
    qsizetype end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        lines.append(buffer.left(end + 1));
        buffer.remove(0, end + 1);
    }
    if (buffer.size() > static_cast<qsizetype>(kMaxViewerLineBytes))
        buffer.clear();
    return lines;
}

} // namespace

QString FindViewerExecutable(const QStringList &dirs)
{
    for (const QString &dir : dirs) {
        if (dir.isEmpty())
            continue;
        const QFileInfo info(QDir(dir).filePath(QString::fromLatin1(kViewerExecutableName)));
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return {};
}

QStringList ViewerSearchDirs()
{
    QStringList dirs{QCoreApplication::applicationDirPath()};
#ifdef VELMORA_INSTALL_BINDIR
    if (IsInstalledBuild())
        dirs.append(QString::fromUtf8(VELMORA_INSTALL_BINDIR));
#endif
    return dirs;
}

ProcessViewer::ProcessViewer(const QString &program, const QString &siteDomain, QObject *parent)
    : ViewerInstance(parent), m_process(new QProcess(this)), m_socket(new QLocalSocket(this)),
      m_startTimer(new QTimer(this)),
      // The per-user runtime folder is private to the user; the name is unguessable besides.
      m_serverName(RuntimeDir() + QStringLiteral("/velmora-chart-") +
                   QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_startTimer->setSingleShot(true);
    connect(m_startTimer, &QTimer::timeout, this, [this] {
        // Never became ready: treat it as no viewer at all.
        m_process->kill();
        end();
    });

    // The viewer's own complaints (a missing engine, for one) belong on our terminal.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ProcessViewer::readReady);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end();
    });
    connect(m_process, &QProcess::finished, this, [this] {
        // A viewer that was killed had no chance to remove its socket file.
        QLocalServer::removeServer(m_serverName);
        end();
        deleteLater();
    });

    connect(m_socket, &QLocalSocket::connected, this, [this] {
        m_connected = true;
        m_startTimer->stop();
        for (const QByteArray &line : std::exchange(m_pending, {}))
            m_socket->write(line);
    });
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this] {
        if (!m_connected) {
            m_process->kill();
            end();
        }
    });
    connect(m_socket, &QLocalSocket::disconnected, this, &ProcessViewer::end);
    connect(m_socket, &QLocalSocket::readyRead, this, &ProcessViewer::readSocket);

    // Started from the event loop, once our creator has connected to us: a program that cannot
    // be run at all reports at once. Nothing here waits for the process.
    const QStringList arguments{QStringLiteral("--server"), m_serverName,
                                QStringLiteral("--domain"), siteDomain};
    QTimer::singleShot(0, this, [this, program, arguments] {
        m_startTimer->start(kStartTimeoutMs);
        m_process->start(program, arguments);
    });
}

ProcessViewer::~ProcessViewer()
{
    m_process->disconnect(this);
    m_socket->disconnect(this);
    m_socket->abort();
    if (m_process->state() == QProcess::NotRunning)
        return;
    // Losing the socket makes the viewer close itself. Let it finish on its own rather than
    // kill the browser engine half-way (or wait for it here); a viewer that never got as far
    // as listening gives up by itself too, and is killed if it is still around much later.
    QProcess *process = m_process;
    process->setParent(nullptr);
    connect(process, &QProcess::finished, process, [process, name = m_serverName] {
        QLocalServer::removeServer(name);
        process->deleteLater();
    });
    QTimer::singleShot(kStartTimeoutMs, process, [process] { process->kill(); });
}

void ProcessViewer::show()
{
    send(QByteArray::fromStdString(*FormatViewerMessage({ViewerMessage::Kind::Show, {}})));
}

void ProcessViewer::setDiscreet(bool discreet)
{
    const auto kind = discreet ? ViewerMessage::Kind::Hide : ViewerMessage::Kind::Unhide;
    send(QByteArray::fromStdString(*FormatViewerMessage({kind, {}})));
}

void ProcessViewer::navigate(const QUrl &url)
{
    const auto line = FormatViewerMessage(
        {ViewerMessage::Kind::Navigate, url.toString(QUrl::FullyEncoded).toStdString()});
    if (!line)
        return;
    m_lastUrl = url;
    send(QByteArray::fromStdString(*line));
}

qint64 ProcessViewer::processId() const
{
    return m_process->processId();
}

void ProcessViewer::send(QByteArray line)
{
    if (m_ended)
        return;
    if (m_connected)
        m_socket->write(line);
    else
        m_pending.append(std::move(line));
}

void ProcessViewer::readReady()
{
    m_stdout += m_process->readAllStandardOutput();
    for (const QByteArray &line : takeLines(m_stdout)) {
        if (line.trimmed() == "ready" && m_socket->state() == QLocalSocket::UnconnectedState &&
            !m_connected && !m_ended)
            m_socket->connectToServer(m_serverName);
    }
}

void ProcessViewer::readSocket()
{
    m_received += m_socket->readAll();
    for (const QByteArray &line : takeLines(m_received)) {
        const ViewerMessage message =
            ParseViewerMessage(std::string_view(line.constData(), line.size()));
        const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(message.url));
        if (message.kind == ViewerMessage::Kind::Loaded)
            emit pageLoaded(url, true);
        else if (message.kind == ViewerMessage::Kind::Failed)
            emit pageLoaded(url, false);
    }
}

void ProcessViewer::end()
{
    if (std::exchange(m_ended, true))
        return;
    m_startTimer->stop();
    m_pending.clear();
    if (m_connected)
        emit closed();
    else
        emit unavailable(m_lastUrl);
    if (m_process->state() == QProcess::NotRunning)
        deleteLater();
}

ProcessViewerLauncher::ProcessViewerLauncher(QString program, QString siteDomain)
    : m_program(std::move(program)), m_siteDomain(std::move(siteDomain))
{
}

ViewerInstance *ProcessViewerLauncher::launch(QObject *parent)
{
    return new ProcessViewer(m_program, m_siteDomain, parent);
}

} // namespace velmora
