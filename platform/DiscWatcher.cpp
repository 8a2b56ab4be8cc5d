#include "platform/DiscWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <libudev.h>

namespace {
QMap<QByteArray, QByteArray> propertiesOf(udev_device *device)
{
    QMap<QByteArray, QByteArray> properties;
    for (udev_list_entry *entry = udev_device_get_properties_list_entry(device); entry;
         entry = udev_list_entry_get_next(entry))
        properties.insert(udev_list_entry_get_name(entry), udev_list_entry_get_value(entry));
    return properties;
}

// A path as the kernel's mount table writes it: space, tab, newline and backslash (and any other
// byte it chooses to) as a backslash and three octal digits.
QByteArray mountTablePath(const QByteArray &field)
{
    QByteArray path;
    path.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            path += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

// The orvik-cddafs mounts under `folder`, from the kernel's mount table.
QStringList cddaMountsIn(const QString &folder)
{
    QStringList points;
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly))
        return points;
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields[2] != "fuse.orvik-cddafs")
            continue;
        const QString point = QFile::decodeName(mountTablePath(fields[1]));
        if (point.startsWith(folder + u'/'))
            points << point;
    }
    return points;
}

void unmount(const QString &point)
{
    // Lazily: a reader still holding a file must not keep a disc that has left the drive.
    QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-u"), QStringLiteral("-z"), point});
    QDir().rmdir(point);
}
} // namespace

DiscWatcher::DiscState DiscWatcher::discState(const QMap<QByteArray, QByteArray> &properties)
{
    if (properties.value("ID_CDROM") != "1" || properties.value("DEVTYPE", "disk") != "disk")
        return DiscState::NotADrive;
    // The eject button: the disc is on its way out (udev is about to open the tray).
    if (!properties.value("DISK_EJECT_REQUEST").isEmpty() || properties.value("ID_CDROM_MEDIA") != "1")
        return DiscState::NoAudio;
    return properties.value("ID_CDROM_MEDIA_TRACK_COUNT_AUDIO").toInt() > 0 ? DiscState::Audio
                                                                            : DiscState::NoAudio;
}

DiscWatcher::DiscWatcher(const QString &mounter, QObject *parent)
    : QObject(parent),
      program(mounter.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/orvik-cddafs")
                                : mounter)
{
}

DiscWatcher::~DiscWatcher()
{
    for (const Mount &mount : std::as_const(mounted))
        if (!mount.point.isEmpty())
            unmount(mount.point);
    if (monitor)
        udev_monitor_unref(monitor);
    if (context)
        udev_unref(context);
}

QString DiscWatcher::discsFolder()
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime + QStringLiteral("/orvik/discs");
}

void DiscWatcher::start()
{
    QString missing;
    if (!QFile::exists(QStringLiteral("/dev/fuse")))
        missing = QStringLiteral("FUSE is not available (/dev/fuse is missing)");
    else if (!QFileInfo(program).isExecutable())
        missing = QStringLiteral("orvik-cddafs is not installed next to Orvik");
    else if (QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
        missing = QStringLiteral("FUSE is not available (fusermount3 is missing)");
    if (!missing.isEmpty()) {
        emit message(QStringLiteral("Audio CDs will not appear: %1.\n").arg(missing));
        return;
    }
    // Mounts left by an Orvik that did not end cleanly would keep their names taken.
    QDir().mkpath(discsFolder());
    for (const QString &point : cddaMountsIn(discsFolder()))
        unmount(point);
    for (const QString &stale : QDir(discsFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(discsFolder()).rmdir(stale);

    context = udev_new();
    if (context)
        monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        emit message(QStringLiteral("Audio CDs will not appear: the drives cannot be watched.\n"));
        return;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &DiscWatcher::deviceEvent);

    udev_enumerate *enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "block");
    udev_enumerate_add_match_property(enumerate, "ID_CDROM", "1");
    udev_enumerate_scan_devices(enumerate);
    for (udev_list_entry *entry = udev_enumerate_get_list_entry(enumerate); entry;
         entry = udev_list_entry_get_next(entry)) {
        if (udev_device *device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry))) {
            consider(device, false);
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumerate);
}

void DiscWatcher::deviceEvent()
{
    while (udev_device *device = udev_monitor_receive_device(monitor)) {
        const char *action = udev_device_get_action(device);
        consider(device, action && qstrcmp(action, "remove") == 0);
        udev_device_unref(device);
    }
}

void DiscWatcher::consider(udev_device *device, bool removed)
{
    if (const char *node = udev_device_get_devnode(device))
        driveChanged(QString::fromUtf8(node), removed ? DiscState::NoAudio : discState(propertiesOf(device)));
}

void DiscWatcher::driveChanged(const QString &node, DiscState state)
{
    if (state == DiscState::Audio && !mounted.contains(node))
        mountDisc(node);
    else if (state != DiscState::Audio && mounted.contains(node))
        unmountDisc(node);
}

void DiscWatcher::mountDisc(const QString &node)
{
    const quint64 attempt = ++attempts;
    mounted.insert(node, Mount{attempt, QString()});
    ++mountsUnderWay;
    QDir().mkpath(discsFolder());
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this,
            [this, process, node, attempt](int status, QProcess::ExitStatus how) {
                process->deleteLater();
                QString point = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
                if (how != QProcess::NormalExit || status != 0 || point.isEmpty()) {
                    point.clear();
                    const QString reason = QString::fromUtf8(process->readAllStandardError()).trimmed();
                    emit message(
                        QStringLiteral("The audio CD in %1 cannot be shown: %2\n")
                            .arg(node, reason.isEmpty() ? QStringLiteral("orvik-cddafs failed") : reason));
                }
                mountEnded(node, attempt, point);
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, node, attempt](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart)
                    return;
                process->deleteLater();
                emit message(
                    QStringLiteral("The audio CD in %1 cannot be shown: orvik-cddafs does not start\n")
                        .arg(node));
                mountEnded(node, attempt, QString());
            });
    process->start(program, (mountOptions ? mountOptions() : QStringList())
                                << QStringLiteral("--name-in") << discsFolder() << node);
}

void DiscWatcher::mountEnded(const QString &node, quint64 attempt, const QString &point)
{
    const auto current = mounted.find(node);
    if (current != mounted.end() && current->attempt == attempt) {
        if (point.isEmpty())
            mounted.erase(current);
        else
            current->point = point;
    } else if (!point.isEmpty()) {
        // The disc went out while it was being mounted (and may be in again, mounted anew).
        unmount(point);
    }
    if (--mountsUnderWay == 0)
        emit mountsSettled();
}

void DiscWatcher::unmountDisc(const QString &node)
{
    const QString point = mounted.take(node).point;
    if (!point.isEmpty())
        unmount(point);
}
