#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

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

    explicit DiscWatcher(QObject *parent = nullptr);
    // Unmounts the discs it mounted: they are Orvik's view of the drives, not the desktop's.
    ~DiscWatcher() override;

    // Mounts the discs already in their drives and starts watching.
    void start();
    // The folder the discs are mounted in.
    static QString discsFolder();

  signals:
    // A line for the command log.
    void message(const QString &text);

  private:
    void deviceEvent();
    void consider(udev_device *device, bool removed);
    void mountDisc(const QString &node);
    void unmountDisc(const QString &node);

    struct udev *context = nullptr;
    udev_monitor *monitor = nullptr;
    QSocketNotifier *notifier = nullptr;
    QString program;
    // Device node → mount point; an empty mount point while orvik-cddafs is still mounting it.
    QMap<QString, QString> mounted;
};
