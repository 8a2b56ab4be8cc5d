#pragma once

#include <QDBusAbstractAdaptor>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

// Keeps Orvik to one running instance per session: the first launch owns the session-bus name
// and receives, through org.freedesktop.Application, the files of every later launch, which
// hands them over and exits. Without a session bus every launch runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

  public:
    static const QString serviceName;
    static const QString objectPath;

    enum class Role {
        Primary,   // this process owns the name and receives later launches' files
        Forwarded, // another instance runs and has been given the files
        Alone,     // no session bus (or the hand-over failed): this process runs on its own
    };

    explicit SingleInstance(QObject *parent = nullptr);

    // Claims the name or hands the files (absolute paths) to the instance that has it.
    Role claim(const QStringList &files);

    // Called with the files of a later launch (empty for a plain launch).
    std::function<void(const QStringList &files)> filesOpened;
};

// The org.freedesktop.Application interface of the running instance.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

  public:
    explicit ApplicationAdaptor(SingleInstance *owner);

  public slots:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(const QString &name, const QVariantList &parameters, const QVariantMap &platformData);

  private:
    SingleInstance *owner;
};
