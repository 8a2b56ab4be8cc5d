#include "platform/DiscWatcher.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "support/CueDisc.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QtTest>
#include <thread>

namespace {
bool mounted(const QString &point)
{
    return CueDisc::mounts(point).contains(QFile::encodeName(point));
}

QByteArray unreadable(const QString &file)
{
    return CueDisc::attribute(file, "user.orvik.unreadable-sectors");
}
} // namespace

// orvik-cddafs on cue/bin images with the real FUSE (what it presents, exact samples at any offset, bad
// sources refused), and what Orvik takes from the desktop: udev drives, mounts, window descriptions.
class tst_Cddafs : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString program = QStringLiteral(ORVIK_BUILD_DIR "/orvik-cddafs");
    static QByteArrayList discMounts() { return CueDisc::mounts(DiscWatcher::discsFolder()); }

  private slots:
    void cleanup()
    {
        // A failed check leaves its mounts behind; the next case and the folder's removal need them gone.
        for (const QByteArray &point : CueDisc::mounts(dir.path()) + discMounts()) {
            qputenv("MOUNT_POINT", point); // any bytes, where an argument would have to be text
            const auto unmount = [] {
                return !QProcess::execute("sh", {"-c", "fusermount3 -u \"$MOUNT_POINT\""});
            };
            QVERIFY(QTest::qWaitFor(unmount, 5000));
        }
    }

    void volumePresentsTheDisc()
    {
        if (!QFile::exists("/dev/fuse"))
            QSKIP("discs are mounted with FUSE");
        QList<CueDisc::Track> tracks = {{"Intro", 80}, {QByteArray(), 75}, {"AC/DC", 61}, {"Data", 30, true}};
        const QString cue = CueDisc::write(dir.path(), "disc", "Live / Loud", tracks);
        QSignalSpy arrived(&Workspace::shared(), &Workspace::didMount);
        QSignalSpy left(&Workspace::shared(), &Workspace::didUnmount);
        QString errors;
        const QString point = CueDisc::mount(cue, dir.filePath("discs"), &errors);
        if (point.isEmpty() && errors.contains("cannot be mounted"))
            QSKIP("FUSE refuses mounts here (no permission to mount)");
        QCOMPARE(point, dir.filePath("discs/Live - Loud"));
        QVERIFY(mounted(point) && Workspace::shared().mountedRemovableVolumes().contains(point));
        QTRY_VERIFY(arrived.contains(QVariantList{point})); // as the kernel's mount table tells it
        const QStringList names = {".TOC.plist", "1 Intro.aiff", "2 Audio Track.aiff", "3 AC-DC.aiff"};
        QCOMPARE(QDir(point).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);
        // Three readers at once, in chunks that fit no sector, before anything is cached.
        QByteArray read[3];
        auto reader = [&](int i) {
            for (qint64 at = 0; read[i].size() == at; at += 5003)
                read[i] += CueDisc::readDirect(point + "/" + names[i + 1], at, 5003);
        };
        std::thread first(reader, 0), second(reader, 1), third(reader, 2);
        first.join(), second.join(), third.join();
        for (int i = 0; i < 3; ++i) {
            QByteArray samples = tracks[i].samples; // the AIFF holds them big-endian
            qToBigEndian<qint16>(samples.constData(), samples.size() / 2, samples.data());
            QVERIFY2(read[i].mid(54) == samples, qPrintable(names[i + 1]));
            QCOMPARE(unreadable(point + "/" + names[i + 1]), QByteArray("0"));
        }
        // The table of contents: first/last track, lead-out; each track's number, data flag, start, length.
        QStringList toc;
        const QRegularExpression item("<key>(Point|Data|Start Block|Block Count|First Track|Last Track|"
                                      "Leadout Block)</key>\\s*<(?:integer>(\\d+)|(true|false))");
        for (const QRegularExpressionMatch &match : item.globalMatch(readWholeFile(point + "/.TOC.plist")))
            toc << match.captured(2) + match.captured(3);
        QCOMPARE(toc.join(' '), "1 4 246 1 false 0 80 2 false 80 75 3 false 155 61 4 true 216 30");
        // Odd offsets and sizes: in/across the header, across sectors and cache blocks, at and past the end.
        const qint64 end = read[0].size();
        for (const auto &[at, size] : QList<QPair<qint64, qint64>>{
                 {1, 7}, {50, 9}, {54 + 2351, 2}, {54 + 74 * 2352 + 5, 2352 * 3}, {end - 3, 10}, {end, 10}})
            QCOMPARE(CueDisc::readDirect(point + "/1 Intro.aiff", at, size), read[0].mid(at, size));
        QVERIFY(CueDisc::unmount(point));
        QTRY_VERIFY(left.contains(QVariantList{point}));
        // The image cut short under a fresh mount: lost sectors fail and are counted; the rest reads as
        // before. Once they are back, the next read of the track (a second rip) reads and counts afresh.
        const QString again = CueDisc::mount(cue, dir.filePath("discs"));
        QFile bin(dir.filePath("disc.bin"));
        const QByteArray whole = readWholeFile(bin.fileName());
        QVERIFY(bin.resize((155 + 30) * 2352 + 1000));
        const QString cut = again + "/3 AC-DC.aiff";
        QCOMPARE(CueDisc::readDirect(cut, 54 + 29 * 2352, 2352), read[2].mid(54 + 29 * 2352, 2352));
        QCOMPARE(CueDisc::readDirect(cut, 54 + 30 * 2352, 1), QByteArray("error"));
        readWholeFile(cut);
        QCOMPARE(unreadable(cut), QByteArray("31"));
        QCOMPARE(CueDisc::readDirect(again + "/1 Intro.aiff", 54, 100), read[0].mid(54, 100));
        QVERIFY(bin.open(QIODevice::ReadWrite) && bin.write(whole) == whole.size() && bin.flush());
        QCOMPARE(readWholeFile(cut), read[2]);
        QCOMPARE(unreadable(cut), QByteArray("0"));
        QVERIFY(CueDisc::unmount(again));
    }

    void namesAreSafe_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("trackName");
        QTest::addColumn<QString>("volumeName");
        const auto row = [](const char *name, const QByteArray &title, const QString &track,
                            const QString &volume) { QTest::newRow(name) << title << track << volume; };
        row("control characters", "A\001B\x7f", "1 A B.aiff", "A B");
        row("dot-dot", "..", "1 ...aiff", "Audio CD");
        row("UTF-8", "Caf\xc3\xa9 \xe2\x99\xab", "1 Café ♫.aiff", "Café ♫");
        row("blank", "   ", "1 Audio Track.aiff", "Audio CD");
        // Not well-formed UTF-8 (a surrogate, a code point past U+10FFFF, an overlong "/"): Latin-1.
        row("surrogate", "A\xed\xa0\x80Z", "1 A\u00ed\u00a0 Z.aiff", "A\u00ed\u00a0 Z");
        row("past U+10FFFF", "B\xf4\x90\x80\x80", "1 B\u00f4.aiff", "B\u00f4");
        row("overlong", "C\xe0\x80\xaf\x44", "1 C\u00e0 \u00afD.aiff", "C\u00e0 \u00afD");
        const QString long2 = QString(200, QChar(0xe9)); // 400 bytes of UTF-8
        row("too long", long2.toUtf8(), "1 " + long2.left(124) + ".aiff", long2.left(127));
        const QString x248(248, 'x');
        row("slash at the limit", x248.toLatin1() + '/', "1 " + x248 + ".aiff", x248 + '-');
    }
    void namesAreSafe()
    {
        QFETCH(QByteArray, title);
        QFETCH(QString, trackName);
        QFETCH(QString, volumeName);
        if (!QFile::exists("/dev/fuse"))
            QSKIP("discs are mounted with FUSE");
        QList<CueDisc::Track> tracks = {{title, 1, false, QByteArray(2352, '\1')}};
        const QString cue = CueDisc::write(dir.path(), "names", title, tracks);
        const QString point = CueDisc::mount(cue, dir.filePath("discs"));
        QCOMPARE(point, dir.filePath("discs/" + volumeName));
        QCOMPARE(QDir(point).entryList(QDir::Files), QStringList(trackName));
        // The table of contents is well-formed XML to any reader, and keeps both titles.
        QXmlStreamReader toc(readWholeFile(point + "/.TOC.plist"));
        int titles = 0;
        while (!toc.atEnd())
            if (toc.readNext() == QXmlStreamReader::StartElement && toc.name() == QLatin1String("key"))
                titles += toc.readElementText() == "Title";
        QVERIFY2(!toc.hasError(), qPrintable(toc.errorString()));
        QCOMPARE(titles, 2);
        // The same disc again gets the next free name, still within 255 bytes.
        const QString again = CueDisc::mount(cue, dir.filePath("discs"));
        while (volumeName.toUtf8().size() > 253)
            volumeName.chop(1);
        QCOMPARE(again, dir.filePath("discs/" + volumeName + " 2"));
        CueDisc::unmount(point), CueDisc::unmount(again), QDir().rmdir(point), QDir().rmdir(again);
    }

    void sources_data()
    {
        // A path, or a cue sheet of that name and text beside a 2-sector data file of the name given
        // and a decoy of other sound under the sheet's name with ".bin"; mounted at "point" beside them.
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QByteArray>("cue");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("message"); // empty: mounted with the named file's sound
        const auto row = [](const char *name, const char *sheet, const QByteArray &cue, const char *data,
                            const char *message = "") {
            QTest::newRow(name) << QString(sheet) << cue << QString(data) << QString(message);
        };
        const QByteArray one = "\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", album = "FILE Album.bin BINARY";
        row("missing device", "/dev/orvik-no-such-drive", "", "", "no such drive or disc image");
        row("block device that is no CD drive", "/dev/loop0", "", "", "there is no disc in the drive");
        row("folder", "/", "", "", "neither a CD drive nor a disc image");
        row("short bin", "Album.cue", album + one + "  TRACK 02 AUDIO\n    INDEX 01 00:00:03\n", "Album.bin",
            "the image's data is shorter than its cue sheet says");
        row("tracks out of order", "Album.cue",
            album + QByteArray(one).replace(":00\n", ":01\n") +
                QByteArray(one).replace("TRACK 01", "TRACK 02"),
            "Album.bin", "the disc's track list is not valid");
        row("no audio", "Album.cue", album + "\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", "Album.bin",
            "the disc has no audio tracks");
        row("missing mount point", "Album.cue", album + one, "Album.bin",
            "the mount point is not an existing folder");
        row("mount point not empty", "Album.cue", album + one, "Album.bin", "the mount point is not empty");
        row("another name", "Album.cue", "FILE \"Album (Disc 1).bin\" BINARY" + one, "Album (Disc 1).bin");
        row("in a folder, with CD-TEXT", "Album.cue",
            "CDTEXTFILE \"text.cdt\"\nFILE \"data/Album.bin\" BINARY" + one, "data/Album.bin");
        row("upper case, unquoted, extension in another case", "UP.CUE", "FILE UP.bin BINARY\r" + one,
            "UP.BIN");
        row("missing data file", "Album.cue", "FILE \"Gone.bin\" BINARY" + one, "Other.bin",
            "the image's data file Gone.bin is missing");
        row("two files", "Album.cue", album + '\n' + album + one, "Album.bin",
            "the cue sheet names more than one data file");
        row("none", "Album.cue", one, "Album.bin", "the cue sheet names no data file");
        row("not raw", "Album.cue", "FILE \"Album.wav\" WAVE" + one, "Album.wav",
            "the image's data file Album.wav is not raw CD audio");
    }
    void sources()
    {
        QFETCH(QString, sheet);
        QFETCH(QByteArray, cue);
        QFETCH(QString, data);
        QFETCH(QString, message);
        if (!QFile::exists("/dev/fuse") || (sheet == "/dev/loop0" && !QFileInfo::exists(sheet)))
            QSKIP("no FUSE, or no loop device to stand in for an empty drive");
        const QTemporaryDir folder(dir.filePath("sheet-XXXXXX"));
        const QDir here(folder.path());
        const QString tag = QTest::currentDataTag(), point = here.filePath("point");
        const auto put = &BatchFixture::writeFile;
        const QString decoy = here.filePath(sheet.chopped(4) + ".bin");
        QVERIFY(sheet.startsWith('/') || (here.mkpath("data") && put(here.filePath(sheet), cue) &&
                                          put(here.filePath(data), QByteArray(2 * 2352, 'a')) &&
                                          put(here.filePath("text.cdt"), QByteArray(18, '\0')) &&
                                          (!decoy.compare(here.filePath(data), Qt::CaseInsensitive) ||
                                           put(decoy, QByteArray(2 * 2352, 'z')))));
        QVERIFY(tag == "missing mount point" || here.mkpath("point"));
        QVERIFY(tag != "mount point not empty" || put(point + "/file", ""));
        // Run in the foreground, a mount ends with its process: killed, or asked to end (a normal end).
        QProcess process;
        process.start(program, {"-f", here.filePath(sheet), point});
        QVERIFY(QTest::qWaitFor([&] { return mounted(point) || process.state() == QProcess::NotRunning; },
                                10000));
        const QString error = QString::fromUtf8(process.readAllStandardError()); // one line
        QVERIFY2(message.isEmpty() ? error.isEmpty() && mounted(point)
                                   : error.count('\n') == 1 && error.endsWith(": " + message + '\n'),
                 qPrintable(error));
        QCOMPARE(readWholeFile(point + "/1 Audio Track.aiff").mid(54),
                 message.isEmpty() ? QByteArray(2 * 2352, 'a') : QByteArray());
        const bool kill = tag.startsWith("upper case");
        kill ? process.kill() : process.terminate();
        QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(10000));
        QVERIFY2(kill || (process.exitStatus() == QProcess::NormalExit &&
                          (process.exitCode() == 0) == message.isEmpty()),
                 process.readAllStandardError().constData());
        QTRY_VERIFY(!mounted(point));
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
    void mountsAreTakenDown()
    {
        const QByteArray album = "Caf\xc3\xa9 #1 Live\\Tapes 1\\2"; // a space, a backslash: escaped
        if (!QFile::exists("/dev/fuse"))
            QSKIP("discs are mounted with FUSE");
        QList<CueDisc::Track> tracks{{"One", 20}}; // a cue/bin image standing for a disc in a drive
        const QString cue = CueDisc::write(dir.path(), "drive", album, tracks),
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
};

QTEST_MAIN(tst_Cddafs)
#include "tst_cddafs.moc"
