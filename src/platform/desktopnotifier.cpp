#include "platform/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace velmora {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kViewAction = QStringLiteral("default");

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("desktopNotifier"));
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString &summary, const QString &body, bool withSound)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!m_listening) {
        m_listening = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"),
                                  this, SLOT(actionInvoked(uint,QString)));
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
    if (withSound)
        hints.insert(QStringLiteral("sound-name"), QString::fromLatin1(kSoundName));
    // "default" is the action of a click on the notification itself; servers that draw action
    // buttons show it as "查看".
    const QStringList actions{kViewAction, QStringLiteral("查看")};

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("velmora") << summary << body
         << actions << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                // No service, or one that failed: the alert window has told the user already.
                const QDBusPendingReply<uint> reply = *finished;
                if (!reply.isError()) {
                    m_shown.append(reply.value());
                    if (m_shown.size() > 64) // long gone from the screen
                        m_shown.removeFirst();
                }
                finished->deleteLater();
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString &actionKey)
{
    if (actionKey == kViewAction && m_shown.contains(id))
        emit viewRequested();
}

} // namespace velmora
