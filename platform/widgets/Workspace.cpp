#include "platform/widgets/Workspace.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QUrl>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {
const char cddaFileSystem[] = "orvik-cddafs";

// Whether the block device behind `source` (a partition or a whole disk) is removable, as the
// kernel tells it in /sys/dev/block/<major>:<minor>/removable (a partition's own folder has no
// such file; its parent disk's has).
bool isRemovableDevice(const QString &source)
{
    struct stat info
    {
    };
    if (!source.startsWith(u'/') || stat(QFile::encodeName(source).constData(), &info) != 0 ||
        !S_ISBLK(info.st_mode))
        return false;
    const QString device =
        QStringLiteral("/sys/dev/block/%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev));
    const QString folder = QFileInfo(device).canonicalFilePath();
    for (const QString &candidate :
         {folder + QStringLiteral("/removable"), QFileInfo(folder).path() + QStringLiteral("/removable")}) {
        QFile flag(candidate);
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(1) == "1";
    }
    return false;
}

template <typename Visit> void forEachMount(Visit visit)
{
    libmnt_table *table = mnt_new_table();
    if (!table)
        return;
    if (mnt_table_parse_mtab(table, nullptr) == 0) {
        libmnt_iter *it = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs *fs = nullptr;
        while (it && mnt_table_next_fs(table, it, &fs) == 0) {
            const char *target = mnt_fs_get_target(fs);
            const char *source = mnt_fs_get_source(fs);
            const char *type = mnt_fs_get_fstype(fs);
            visit(QString::fromUtf8(target ? target : ""), QString::fromUtf8(source ? source : ""),
                  QString::fromUtf8(type ? type : ""));
        }
        mnt_free_iter(it);
    }
    mnt_unref_table(table);
}
} // namespace

Workspace &Workspace::shared()
{
    static Workspace *workspace = new Workspace;
    return *workspace;
}

Workspace::Workspace()
{
    mounted = currentMountPoints();
    monitor = mnt_new_monitor();
    if (!monitor || mnt_monitor_enable_kernel(monitor, 1) != 0) {
        qWarning("Volume notifications are unavailable: the mount table cannot be watched");
        return;
    }
    const int fd = mnt_monitor_get_fd(monitor);
    if (fd < 0) {
        qWarning("Volume notifications are unavailable: the mount table cannot be watched");
        return;
    }
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &Workspace::mountTableChanged);
}

Workspace::~Workspace()
{
    if (monitor)
        mnt_unref_monitor(monitor);
}

QSet<QString> Workspace::currentMountPoints()
{
    QSet<QString> points;
    forEachMount([&](const QString &target, const QString &, const QString &) { points.insert(target); });
    return points;
}

void Workspace::mountTableChanged()
{
    // Drain every pending change, then compare the table with the last one seen: one event may
    // stand for several mounts, and a change may be a remount that adds nothing.
    const char *file = nullptr;
    int type = 0;
    while (mnt_monitor_next_change(monitor, &file, &type) == 0) {
    }
    const QSet<QString> now = currentMountPoints();
    const QSet<QString> before = mounted;
    mounted = now;
    for (const QString &point : before)
        if (!now.contains(point))
            emit didUnmount(point);
    for (const QString &point : now)
        if (!before.contains(point))
            emit didMount(point);
}

QStringList Workspace::mountedRemovableVolumes() const
{
    QStringList volumes;
    forEachMount([&](const QString &target, const QString &source, const QString &type) {
        if (type.contains(QLatin1String(cddaFileSystem)) || source == QLatin1String(cddaFileSystem) ||
            isRemovableDevice(source))
            volumes << target;
    });
    return volumes;
}

void Workspace::selectFile(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    emit fileShown(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    // Asked without waiting: a file manager that is slow to start must not freeze the window.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, folder] {
        if (watcher->isError())
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        watcher->deleteLater();
    });
}

bool Workspace::openFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Workspace::beep()
{
    QApplication::beep();
}
