#include "platform/DiscWatcher.h"

#include <QSignalSpy>
#include <QtTest>

// Which drives the disc watcher mounts, decided from udev properties recorded from real drives
// and disks (udevadm info --query=property).
class tst_DiscWatcher : public QObject
{
    Q_OBJECT

  private slots:
    void discState_data()
    {
        QTest::addColumn<QByteArray>("properties");
        QTest::addColumn<int>("state");
        const QByteArray drive =
            "DEVNAME=/dev/sr0;DEVTYPE=disk;SUBSYSTEM=block;ID_CDROM=1;ID_CDROM_CD=1;"
            "ID_CDROM_CD_R=1;ID_CDROM_DVD=1;ID_BUS=ata;ID_MODEL=HL-DT-ST_DVDRAM_GH24NSD1;";
        const auto audio = int(DiscWatcher::DiscState::Audio);
        const auto none = int(DiscWatcher::DiscState::NoAudio);
        QTest::newRow("audio CD")
            << drive + "ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_CD=1;ID_CDROM_MEDIA_SESSION_COUNT=1;"
                       "ID_CDROM_MEDIA_TRACK_COUNT=12;ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=12"
            << audio;
        QTest::newRow("enhanced CD")
            << drive + "ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_CD=1;ID_CDROM_MEDIA_SESSION_COUNT=2;"
                       "ID_CDROM_MEDIA_TRACK_COUNT=11;ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=10;"
                       "ID_CDROM_MEDIA_TRACK_COUNT_DATA=1;ID_FS_TYPE=iso9660"
            << audio;
        QTest::newRow("data CD")
            << drive + "ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_CD=1;ID_CDROM_MEDIA_TRACK_COUNT=1;"
                       "ID_CDROM_MEDIA_TRACK_COUNT_DATA=1;ID_FS_TYPE=iso9660;ID_FS_LABEL=BACKUP"
            << none;
        QTest::newRow("blank CD-R") << drive +
                                           "ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_CD_R=1;ID_CDROM_MEDIA_STATE=blank"
                                    << none;
        QTest::newRow("empty drive") << drive << none;
        QTest::newRow("eject button")
            << drive + "DISK_EJECT_REQUEST=1;ID_CDROM_MEDIA=1;ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=12" << none;
        QTest::newRow("USB stick") << QByteArray("DEVNAME=/dev/sdb;DEVTYPE=disk;SUBSYSTEM=block;ID_BUS=usb;"
                                                 "ID_USB_DRIVER=usb-storage;ID_FS_TYPE=vfat")
                                   << int(DiscWatcher::DiscState::NotADrive);
        QTest::newRow("drive partition")
            << QByteArray("DEVNAME=/dev/sr0p1;DEVTYPE=partition;ID_CDROM=1;ID_CDROM_MEDIA=1;"
                          "ID_CDROM_MEDIA_TRACK_COUNT_AUDIO=3")
            << int(DiscWatcher::DiscState::NotADrive);
    }

    void discState()
    {
        QFETCH(QByteArray, properties);
        QFETCH(int, state);
        QMap<QByteArray, QByteArray> map;
        for (const QByteArray &pair : properties.split(';'))
            if (!pair.isEmpty())
                map.insert(pair.left(pair.indexOf('=')), pair.mid(pair.indexOf('=') + 1));
        QCOMPARE(int(DiscWatcher::discState(map)), state);
    }

    void missingFileSystemIsSaidOnce()
    {
        // The tests' folder holds no orvik-cddafs: the watcher says so and watches nothing.
        DiscWatcher watcher;
        QSignalSpy messages(&watcher, &DiscWatcher::message);
        watcher.start();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().first().toString().startsWith("Audio CDs will not appear: "));
    }
};

QTEST_GUILESS_MAIN(tst_DiscWatcher)
#include "tst_discwatcher.moc"
