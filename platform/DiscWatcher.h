#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

struct udev;
struct udev_device;
struct udev_monitor;
class QSocketNotifier;

// Makes audio CDs appear as volumes: watches the block devices through libudev, mounts a drive's
// audio disc with orvik-cddafs in a folder of its own under $XDG_RUNTIME_DIR/orvik/discs (named
// after the disc, which the rip window takes as the album), and unmounts it when the disc goes
// out. The workspace's mount notifications then announce the volume like any other. Without FUSE
// or orvik-cddafs it says so once and Orvik goes on without discs.
class DiscWatcher : public QObject
{
    Q_OBJECT

  public:
    enum class DiscState {
        NotADrive, // not an optical drive: none of this watcher's business
        NoAudio,   // a drive that is empty, holds a disc without audio, or is ejecting it
        Audio,     // a drive holding a disc with audio tracks
    };
    // What a block device's udev properties (ID_CDROM, ID_CDROM_MEDIA, ...) say about it.
    static DiscState discState(const QMap<QByteArray, QByteArray> &properties);

    // `mounter` is the orvik-cddafs to mount with; empty: the one installed next to Orvik.
    explicit DiscWatcher(const QString &mounter = QString(), QObject *parent = nullptr);
    // Unmounts the discs it mounted: they are Orvik's view of the drives, not the desktop's.
    ~DiscWatcher() override;

    // Mounts the discs already in their drives and starts watching.
    void start();
    // The folder the discs are mounted in.
    static QString discsFolder();

    // What a drive reports: a disc with audio went in (Audio), or its disc went out. The drive is
    // named by its device node, or by anything else orvik-cddafs reads as a disc.
    void driveChanged(const QString &node, DiscState state);
    // Whether a mount is still under way; mountsSettled() follows the last one.
    bool isMounting() const { return mountsUnderWay > 0; }
    // Where the disc in the drive is mounted; empty while it is being mounted or when it is not.
    QString mountPoint(const QString &node) const { return mounted.value(node).point; }

    // Options for orvik-cddafs, asked afresh for every mount (the drive's read offset).
    std::function<QStringList()> mountOptions;

  signals:
    // A line for the command log.
    void message(const QString &text);
    // The last mount under way has ended, mounted or not.
    void mountsSettled();

  private:
    // One mount of a disc. A disc taken out and put back while it is being mounted is mounted
    // again: the attempt tells the result of the first mount, which is stale, from the second.
    struct Mount
    {
        quint64 attempt = 0;
        QString point; // empty while orvik-cddafs is still mounting it
    };

    void deviceEvent();
    void consider(udev_device *device, bool removed);
    void mountDisc(const QString &node);
    void mountEnded(const QString &node, quint64 attempt, const QString &point);
    void unmountDisc(const QString &node);

    struct udev *context = nullptr;
    udev_monitor *monitor = nullptr;
    QSocketNotifier *notifier = nullptr;
    QString program;
    // Device node → its current mount.
    QMap<QString, Mount> mounted;
    quint64 attempts = 0;
    int mountsUnderWay = 0;
};
