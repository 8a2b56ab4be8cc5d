#include "app/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <cstdio>

const QString SingleInstance::serviceName = QStringLiteral("org.orvik.Orvik");
const QString SingleInstance::objectPath = QStringLiteral("/org/orvik/Orvik");

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::Role SingleInstance::claim(const QStringList &files)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Role::Alone;

    new ApplicationAdaptor(this);
    if (bus.registerObject(objectPath, this) &&
        bus.interface()
                ->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                  QDBusConnectionInterface::DontAllowReplacement)
                .value() == QDBusConnectionInterface::ServiceRegistered)
        return Role::Primary;
    bus.unregisterObject(objectPath);

    QDBusMessage call;
    if (files.isEmpty()) {
        call = QDBusMessage::createMethodCall(serviceName, objectPath,
                                              QStringLiteral("org.freedesktop.Application"),
                                              QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        QStringList uris;
        for (const QString &file : files)
            uris << QUrl::fromLocalFile(file).toString();
        call = QDBusMessage::createMethodCall(
            serviceName, objectPath, QStringLiteral("org.freedesktop.Application"), QStringLiteral("Open"));
        call << uris << QVariantMap();
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "orvik: the running Orvik did not take the files (%s); starting another\n",
                     qPrintable(reply.errorMessage()));
        return Role::Alone;
    }
    return Role::Forwarded;
}

ApplicationAdaptor::ApplicationAdaptor(SingleInstance *owner) : QDBusAbstractAdaptor(owner), owner(owner) {}

void ApplicationAdaptor::Activate(const QVariantMap &)
{
    if (owner->filesOpened)
        owner->filesOpened({});
}

void ApplicationAdaptor::Open(const QStringList &uris, const QVariantMap &)
{
    QStringList files;
    for (const QString &uri : uris) {
        const QUrl url(uri);
        files << (url.isLocalFile() ? url.toLocalFile() : uri);
    }
    if (owner->filesOpened)
        owner->filesOpened(files);
}

void ApplicationAdaptor::ActivateAction(const QString &, const QVariantList &, const QVariantMap &) {}
