#include "platform/widgets/DesktopNotification.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

bool DesktopNotification::applicationInBackground()
{
    return QApplication::activeWindow() == nullptr ||
           QGuiApplication::applicationState() != Qt::ApplicationActive;
}

void DesktopNotification::show(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Where no service runs (or can be started by the bus), the bus answers with an error that
    // nobody waits for.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("orvik")}};
    call << QStringLiteral("Orvik") << quint32(0) << QStringLiteral("orvik") << summary << body
         << QStringList() << hints << qint32(-1);
    bus.asyncCall(call);
}
