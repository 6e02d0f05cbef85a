#pragma once

#include "platform/commandline.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QLocalServer;

namespace velmora {

// One running program per data directory. The first start takes a lock named by a hash of the
// canonical data directory and listens on a local socket of the same name; a later start on the
// same directory asks the first to come to the front and then leaves. The names live in
// $XDG_RUNTIME_DIR (else the temporary directory), never in the data directory itself, which
// may be read-only or shared.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        First,      // this process runs on the data directory
        HandedOver, // the running one was asked to come to the front: exit with status 0
        Unanswered, // another process holds the directory but does not answer
    };

    explicit SingleInstance(const QString &dataDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Waits at most a few seconds, before any window exists (for a program still starting up
    // on the same directory). Unanswered is reported to the user here.
    Claim claim();

    // A command line's work (its verb and an absolute path) for the program that
    // runs on the folder, so the list on screen and its files stay one: its exit status and
    // message. Nothing when no program runs there: this process then holds the folder and does
    // the work itself, and no program can start on it meanwhile.
    // Once the request has reached the running program it is never sent again: without an
    // answer in time, what comes back says that the result is unknown.
    std::optional<std::pair<int, QString>> handCommandOver(ListVerb verb, const QString &path);
    // How long a command's result is waited for (tests shorten it).
    void setCommandAnswerTimeoutMs(int ms);
    // How the running program does what a command line hands over.
    using CommandHandler = std::function<std::pair<int, QString>(ListVerb verb, const QString &path)>;
    void setCommandHandler(CommandHandler handler);

    QString lockPath() const { return m_base + QStringLiteral(".lock"); }
    QString socketPath() const { return m_base + QStringLiteral(".socket"); }

signals:
    // Another start on the same data directory asks for the window.
    void activationRequested();

private:
    struct Exchange
    {
        bool delivered = false;            // the request reached the other side
        std::optional<QByteArray> answer;  // its whole answer line, when one came
    };
    bool askRunningToShow();
    Exchange exchange(const QByteArray &request, int answerTimeoutMs);
    void listen();
    void serveConnection();
    QByteArray answer(const QByteArray &request);

    QString m_dataDir;
    QString m_base;
    QLockFile m_lock;
    std::unique_ptr<QLocalServer> m_server;
    CommandHandler m_commandHandler;
    int m_commandAnswerTimeoutMs = 120000;
};

} // namespace velmora
