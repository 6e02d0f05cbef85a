#pragma once

#include "services/viewerlauncher.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

class QLocalSocket;
class QProcess;
class QTimer;

namespace velmora {

// The viewer executable, built beside the main one and installed into the same folder.
inline constexpr char kViewerExecutableName[] = "velmora-chart";

// The first of dirs that holds an executable viewer; empty when none does.
QString FindViewerExecutable(const QStringList &dirs);
// Where the program looks: its own folder, then (for an installed build) the install bindir.
QStringList ViewerSearchDirs();

// A chart viewer in a process of its own, so that the browser engine's memory is paid only
// while a chart window is open. The process listens on a local socket named by us; it prints
// "ready" once it listens, we connect and send "show" / "navigate <url>" lines. Closing its
// window ends the process; losing us ends it too.
class ProcessViewer : public ViewerInstance
{
    Q_OBJECT

public:
    // How long the viewer may take to be ready before we give up on it.
    static constexpr int kStartTimeoutMs = 20000;

    ProcessViewer(const QString &program, const QString &siteDomain, QObject *parent = nullptr);
    ~ProcessViewer() override;

    void show() override;
    void navigate(const QUrl &url) override;
    void setDiscreet(bool discreet) override;
    // The viewer's process id, 0 before it started or after it ended.
    qint64 processId() const;

private:
    void send(QByteArray line);
    void readReady();
    void readSocket();
    void end();

    QProcess *m_process;
    QLocalSocket *m_socket;
    QTimer *m_startTimer;
    QString m_serverName;
    QByteArray m_stdout;
    QByteArray m_received;
    QList<QByteArray> m_pending;
    QUrl m_lastUrl;
    bool m_connected = false;
    bool m_ended = false;
};

class ProcessViewerLauncher : public ViewerLauncher
{
public:
    // program: the viewer executable (empty: none); siteDomain goes into its caption.
    ProcessViewerLauncher(QString program, QString siteDomain);

    bool available() const override { return !m_program.isEmpty(); }
    ViewerInstance *launch(QObject *parent) override;

private:
    QString m_program;
    QString m_siteDomain;
};

} // namespace velmora
