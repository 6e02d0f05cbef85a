#pragma once

#include <QObject>
#include <QString>

namespace velmora {

// One desktop notification through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications), with the program's icon, its desktop entry, a sound from the
// sound theme, and one action, "查看". Nothing here waits on the bus: the call goes out and its
// answer comes back later. Without a session bus or a notification service, nothing happens.
class DesktopNotifier final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kDesktopEntry = "org.velmora.Velmora";
    static constexpr const char *kSoundName = "message-new-instant";

    explicit DesktopNotifier(QObject *parent = nullptr);
    ~DesktopNotifier() override;

    void notify(const QString &summary, const QString &body, bool withSound);

signals:
    // The user chose "查看" (or clicked the notification itself).
    void viewRequested();

private slots:
    // Old-style slot: the bus delivers its signals by name.
    void actionInvoked(uint id, const QString &actionKey);

private:
    QList<uint> m_shown; // ids of our notifications the service still may act on
    bool m_listening = false;
};

} // namespace velmora
