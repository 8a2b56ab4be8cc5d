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
        // The table writes a space in a path as \040.
        const QString point = QString::fromUtf8(QByteArray(fields[1]).replace("\\040", " "));
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

DiscWatcher::DiscWatcher(QObject *parent) : QObject(parent) {}

DiscWatcher::~DiscWatcher()
{
    for (const QString &point : std::as_const(mounted))
        if (!point.isEmpty())
            unmount(point);
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
    program = QCoreApplication::applicationDirPath() + QStringLiteral("/orvik-cddafs");
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

    // Mounts left by an Orvik that did not end cleanly would keep their names taken.
    QDir().mkpath(discsFolder());
    for (const QString &point : cddaMountsIn(discsFolder()))
        unmount(point);
    for (const QString &stale : QDir(discsFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(discsFolder()).rmdir(stale);

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
    const char *node = udev_device_get_devnode(device);
    if (!node)
        return;
    const DiscState state = removed ? DiscState::NoAudio : discState(propertiesOf(device));
    const QString path = QString::fromUtf8(node);
    if (state == DiscState::Audio && !mounted.contains(path))
        mountDisc(path);
    else if (state != DiscState::Audio && mounted.contains(path))
        unmountDisc(path);
}

void DiscWatcher::mountDisc(const QString &node)
{
    mounted.insert(node, QString());
    auto *process = new QProcess(this);
    connect(process, &QProcess::finished, this, [this, process, node](int status, QProcess::ExitStatus how) {
        process->deleteLater();
        const QString point = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
        if (how != QProcess::NormalExit || status != 0 || point.isEmpty()) {
            const QString reason = QString::fromUtf8(process->readAllStandardError()).trimmed();
            emit message(QStringLiteral("The audio CD in %1 cannot be shown: %2\n")
                             .arg(node, reason.isEmpty() ? QStringLiteral("orvik-cddafs failed") : reason));
            mounted.remove(node);
            return;
        }
        if (!mounted.contains(node)) {
            // The disc went out while it was being mounted.
            unmount(point);
            return;
        }
        mounted.insert(node, point);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, node](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        mounted.remove(node);
        emit message(
            QStringLiteral("The audio CD in %1 cannot be shown: orvik-cddafs does not start\n").arg(node));
    });
    process->start(program, {QStringLiteral("--name-in"), discsFolder(), node});
}

void DiscWatcher::unmountDisc(const QString &node)
{
    const QString point = mounted.take(node);
    if (!point.isEmpty())
        unmount(point);
}
