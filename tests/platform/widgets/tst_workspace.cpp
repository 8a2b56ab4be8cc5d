#include "platform/DiscWatcher.h"
#include "platform/FileManager.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "support/CueDisc.h"
#include "support/TunesSupport.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <unistd.h>

// What Orvik takes from the desktop: the drives udev reports, mount notifications from the kernel's
// mount table, the window descriptions and the file operations.
class tst_Workspace : public QObject
{
    Q_OBJECT

    QTemporaryDir images;
    static QByteArrayList discMounts() { return CueDisc::mounts(DiscWatcher::discsFolder()); }

  private slots:
    // A failed check may leave its mounts behind: the next case must start without them.
    void cleanup()
    {
        for (const QByteArray &point : discMounts())
            CueDisc::unmount(QFile::decodeName(point));
    }

    // Which drives the disc watcher mounts, decided from udev properties recorded from real drives
    // and disks (udevadm info --query=property), cut to the ones that matter.
    void discState_data()
    {
        using enum DiscWatcher::DiscState;
        QTest::addColumn<QByteArray>("properties");
        QTest::addColumn<int>("state");
        const auto row = [](const char *name, const QByteArray &properties, DiscWatcher::DiscState state) {
            QTest::newRow(name) << properties << int(state);
        };
        const QByteArray drive = "DEVNAME=/dev/sr0;DEVTYPE=disk;SUBSYSTEM=block;ID_CDROM=1;ID_CDROM_CD=1;";
        const QByteArray cd = drive + "ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_CD=1;ID_CDROM_MEDIA_TRACK_COUNT_";
        row("enhanced CD", cd + "AUDIO=10;ID_CDROM_MEDIA_TRACK_COUNT_DATA=1;ID_FS_TYPE=iso9660", Audio);
        row("data CD", cd + "DATA=1;ID_FS_TYPE=iso9660", NoAudio);
        row("empty drive", drive, NoAudio);
        row("eject button",
            drive + "DISK_EJECT_REQUEST=1;ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=1", NoAudio);
        row("USB stick", "DEVNAME=/dev/sdb;DEVTYPE=disk;SUBSYSTEM=block;ID_BUS=usb;ID_FS_TYPE=vfat",
            NotADrive);
        row("drive partition",
            "DEVNAME=/dev/sr0p1;DEVTYPE=partition;ID_CDROM=1;ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=3", NotADrive);
    }
    void discState()
    {
        QFETCH(QByteArray, properties);
        QFETCH(int, state);
        QMap<QByteArray, QByteArray> map;
        for (const QByteArray &pair : properties.split(';'))
            map.insert(pair.left(pair.indexOf('=')), pair.mid(pair.indexOf('=') + 1));
        QCOMPARE(int(DiscWatcher::discState(map)), state);
        // The tests' folder holds no orvik-cddafs: the watcher says so and watches nothing.
        DiscWatcher watcher;
        QSignalSpy messages(&watcher, &DiscWatcher::message);
        watcher.start();
        QVERIFY(messages.value(0).value(0).toString().startsWith("Audio CDs will not appear: "));
    }

    // Mounts that an Orvik which did not end cleanly left behind are taken down at the start, whatever
    // bytes the disc's name holds (the mount table escapes some). A disc taken out and put back while it
    // is still being mounted ends with one mount, the second: the first, stale, is taken down on arrival.
    void mountsAreTakenDown_data()
    {
        QTest::addColumn<QByteArray>("album");
        QTest::newRow("spaces") << QByteArray("Live Tapes");
        QTest::newRow("backslash") << QByteArray("Live\\Tapes 1\\2");
        QTest::newRow("hash and non-ASCII") << QByteArray("Caf\xc3\xa9 #1");
    }
    void mountsAreTakenDown()
    {
        QFETCH(QByteArray, album);
        if (!QFile::exists("/dev/fuse"))
            QSKIP("discs are mounted with FUSE");
        QList<CueDisc::Track> tracks{{"One", 20}}; // a cue/bin image standing for a disc in a drive
        const QString cue = CueDisc::write(images.path(), "drive", album, tracks),
                      point = CueDisc::mount(cue, DiscWatcher::discsFolder());
        QCOMPARE(point, DiscWatcher::discsFolder() + '/' + QString::fromUtf8(album));
        QCOMPARE(discMounts(), QByteArrayList{QFile::encodeName(point)});
        DiscWatcher watcher(ORVIK_BUILD_DIR "/orvik-cddafs");
        watcher.start();
        QVERIFY(discMounts().isEmpty() && !QFileInfo::exists(point));
        QSignalSpy settled(&watcher, &DiscWatcher::mountsSettled);
        using enum DiscWatcher::DiscState;
        for (DiscWatcher::DiscState state : {Audio, NoAudio, Audio})
            watcher.driveChanged(cue, state);
        QVERIFY(watcher.isMounting());
        QTRY_VERIFY_WITH_TIMEOUT(!watcher.isMounting(), 20000);
        QCOMPARE(settled.size(), 1);
        QCOMPARE(discMounts(), QByteArrayList{QFile::encodeName(watcher.mountPoint(cue))});
        watcher.driveChanged(cue, NoAudio);
        QVERIFY(discMounts().isEmpty());
    }

    void mountAndUnmountAreReported()
    {
        QSignalSpy mounted(&Workspace::shared(), &Workspace::didMount);
        QSignalSpy unmounted(&Workspace::shared(), &Workspace::didUnmount);
        QTemporaryDir dir;
        const QByteArray point = QFile::encodeName(dir.path());
        if (geteuid() != 0 || ::mount("orvik-test", point.constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("mounting needs root and a kernel that allows tmpfs mounts here");
        QTRY_VERIFY(mounted.contains(QVariantList{dir.path()}));
        // A tmpfs is no removable volume.
        QVERIFY(!Workspace::shared().mountedRemovableVolumes().contains(dir.path()));
        QCOMPARE(::umount(point.constData()), 0);
        QTRY_VERIFY(unmounted.contains(QVariantList{dir.path()}));
    }

    // Every control of every window can be found by a screen reader under a name of its own.
    void everyControlHasAName()
    {
        for (const char *name : {"Batch", "Tags", "Rip", "Progress", "Preferences"}) {
            std::unique_ptr<QWidget> root(WindowDescription::load(name));
            QVERIFY2(root, name);
            for (QWidget *control : root->findChildren<QWidget *>()) {
                QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(control);
                QVERIFY2(!control->focusPolicy() || control->objectName().startsWith("qt_") ||
                             (reader && !reader->text(QAccessible::Name).remove('&').isEmpty()),
                         qPrintable(control->objectName()));
            }
        }
    }

    void fileOperations()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("song.mp3"), link = dir.filePath("dangling");
        QVERIFY(!FileManager::fileExistsAtPath(file) && !FileManager::isDeletableFileAtPath(file));
        QVERIFY(QFile(file).open(QIODevice::WriteOnly) && QFile::link(dir.filePath("gone"), link));
        QVERIFY(FileManager::fileExistsAtPath(file) && FileManager::isDeletableFileAtPath(file));
        QVERIFY(FileManager::fileExistsAtPath(link) && FileManager::removeFileAtPath(link));
        QVERIFY(FileManager::removeFileAtPath(file) && !FileManager::removeFileAtPath(file));
    }
};

QTEST_MAIN(tst_Workspace)
#include "tst_workspace.moc"
