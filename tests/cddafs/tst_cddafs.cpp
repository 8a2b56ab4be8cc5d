#include "platform/widgets/Workspace.h"
#include "support/AudioFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

// orvik-cddafs mounted with the real FUSE on cue/bin images the test writes: what the volume
// presents, that its AIFF files hold exactly the disc's samples at any offset, and how it
// refuses bad sources.
class tst_Cddafs : public QObject
{
    Q_OBJECT

    struct Track
    {
        QByteArray title; // no TITLE line when null
        int sectors;
        bool data = false;
        QByteArray samples = {}; // as the .bin holds them: 16-bit little-endian stereo
    };

    QTemporaryDir dir;
    const QString program = QStringLiteral(ORVIK_BUILD_DIR "/orvik-cddafs");

    static QString msf(int sector)
    {
        return QString::asprintf("%02d:%02d:%02d", sector / 4500, sector / 75 % 60, sector % 75);
    }

    // Writes NAME.cue and NAME.bin; audio tracks get distinct sounds from sox.
    QString makeImage(const QString &name, const QByteArray &album, QList<Track> &tracks)
    {
        QByteArray cue =
            "TITLE \"" + album + "\"\nPERFORMER \"The Band\"\nFILE \"" + name.toUtf8() + ".bin\" BINARY\n";
        QByteArray bin;
        for (int i = 0; i < tracks.size(); ++i) {
            Track &track = tracks[i];
            if (track.data) {
                track.samples = QByteArray(track.sectors * 2352, 'D');
            } else if (track.samples.isEmpty()) {
                const QString raw = dir.filePath(QStringLiteral("track.raw"));
                const int status = AudioFiles::run(
                    "sox",
                    {"-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed-integer", "-L", "-t", "raw",
                     raw, "synth", QString("%1s").arg(track.sectors * 588), i % 2 ? "whitenoise" : "sine",
                     QString::number(300 + 200 * i), "sine", QString::number(500 + 100 * i)});
                QFile file(raw);
                if (status != 0 || !file.open(QIODevice::ReadOnly))
                    return QString();
                track.samples = file.readAll();
            }
            cue +=
                QString::asprintf("  TRACK %02d %s\n", i + 1, track.data ? "MODE1/2352" : "AUDIO").toUtf8();
            if (!track.title.isNull())
                cue += "    TITLE \"" + track.title + "\"\n";
            cue += "    INDEX 01 " + msf(bin.size() / 2352).toUtf8() + "\n";
            bin += track.samples;
        }
        QFile cueFile(dir.filePath(name + ".cue")), binFile(dir.filePath(name + ".bin"));
        if (!cueFile.open(QIODevice::WriteOnly) || !binFile.open(QIODevice::WriteOnly))
            return QString();
        cueFile.write(cue);
        binFile.write(bin);
        return cueFile.fileName();
    }

    // Mounts `cue` in a folder named after the disc under the runtime folder; the path, or empty.
    QString mount(const QString &cue, QString *errors = nullptr)
    {
        QProcess process;
        const QString discs = dir.filePath("discs");
        QDir().mkpath(discs);
        process.start(program, {"--name-in", discs, cue});
        if (!process.waitForFinished(10000))
            return QString();
        if (errors)
            *errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()).trimmed()
                                       : QString();
    }

    // Unmounts `point`; a loaded machine may still be letting go of the last read, so a busy
    // mount is tried again for a few seconds.
    static bool unmount(const QString &point)
    {
        return QTest::qWaitFor([&] { return QProcess::execute("fusermount3", {"-u", point}) == 0; }, 5000);
    }

    static bool isMounted(const QString &point)
    {
        QFile mounts("/proc/self/mounts");
        mounts.open(QIODevice::ReadOnly);
        return mounts.readAll().contains(" " + point.toUtf8().replace(" ", "\\040") + " fuse.orvik-cddafs ");
    }

    static QByteArray readDirect(const QString &path, qint64 offset, qint64 size)
    {
        // O_DIRECT takes the kernel's page cache out of the way: every read reaches the file system.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT);
        QByteArray bytes(size, '\0');
        const ssize_t n = fd < 0 ? -1 : pread(fd, bytes.data(), size_t(size), offset);
        if (fd >= 0)
            ::close(fd);
        return n < 0 ? QByteArray("error") : bytes.left(n);
    }

    static QByteArray bigEndian(QByteArray samples)
    {
        for (int k = 0; k + 1 < samples.size(); k += 2)
            std::swap(samples[k], samples[k + 1]);
        return samples;
    }

    static QByteArray unreadable(const QString &file)
    {
        char value[32] = {};
        const ssize_t n =
            getxattr(QFile::encodeName(file).constData(), "user.orvik.unreadable-sectors", value, 31);
        return n < 0 ? QByteArray("none") : QByteArray(value, int(n));
    }

    static qint64 plistInteger(plist_t node, const char *key)
    {
        uint64_t value = 0;
        plist_t item = plist_dict_get_item(node, key);
        if (!item)
            return -1;
        plist_get_uint_val(item, &value);
        return qint64(value);
    }

  private slots:
    void cleanup()
    {
        // A failed check leaves its mounts behind; the next case and the folder's removal need
        // them gone.
        QFile mounts("/proc/self/mounts");
        mounts.open(QIODevice::ReadOnly);
        for (const QByteArray &line : mounts.readAll().split('\n'))
            if (line.contains(" fuse.orvik-cddafs ") && line.contains(dir.path().toUtf8()))
                unmount(QString::fromUtf8(line.split(' ')[1].replace("\\040", " ")));
    }

    void initTestCase()
    {
        if (!QFile::exists("/dev/fuse"))
            QSKIP("/dev/fuse is missing: no FUSE file system can be mounted here");
        if (!AudioFiles::haveProgram("sox"))
            QSKIP("sox is needed to make the test discs");
        QVERIFY(QFileInfo(program).isExecutable());
    }

    void volumePresentsTheDisc()
    {
        QList<Track> tracks = {{"Intro", 80}, {QByteArray(), 75}, {"AC/DC", 61}, {"Data", 30, true}};
        const QString cue = makeImage("disc", "Live / Loud", tracks);
        QVERIFY(!cue.isEmpty());
        QString errors;
        const QString point = mount(cue, &errors);
        if (point.isEmpty() && errors.contains("cannot be mounted"))
            QSKIP("FUSE refuses mounts here (no permission to mount)");
        QCOMPARE(point, dir.filePath("discs/Live - Loud"));
        QVERIFY(isMounted(point));
        QVERIFY(Workspace::shared().mountedRemovableVolumes().contains(point));
        const QStringList names = {".TOC.plist", "1 Intro.aiff", "2 Audio Track.aiff", "3 AC-DC.aiff"};
        QCOMPARE(QDir(point).entryList(QDir::Files | QDir::Hidden, QDir::Name), names);

        // Two readers at once, in chunks that fit no sector, before anything is cached.
        QByteArray concurrent[2];
        auto reader = [&](int index) {
            const QString file = point + "/" + names[index * 2 + 1];
            for (qint64 offset = 0;; offset += 5003) {
                const QByteArray chunk = readDirect(file, offset, 5003);
                concurrent[index] += chunk;
                if (chunk.size() < 5003)
                    break;
            }
        };
        std::thread first(reader, 0), second(reader, 1);
        first.join();
        second.join();

        plist_t toc = nullptr;
        QFile tocFile(point + "/.TOC.plist");
        QVERIFY(tocFile.open(QIODevice::ReadOnly));
        const QByteArray xml = tocFile.readAll();
        tocFile.close();
        plist_from_xml(xml.constData(), uint32_t(xml.size()), &toc);
        QVERIFY(toc);
        plist_t session = plist_array_get_item(plist_dict_get_item(toc, "Sessions"), 0);
        plist_t array = plist_dict_get_item(session, "Track Array");
        QCOMPARE(plist_array_get_size(array), 4u);
        QCOMPARE(plistInteger(session, "First Track"), 1);
        QCOMPARE(plistInteger(session, "Last Track"), 4);
        QCOMPARE(plistInteger(session, "Leadout Block"), 246);
        for (uint32_t i = 0; i < 4; ++i) {
            plist_t entry = plist_array_get_item(array, i);
            uint8_t data = 2;
            plist_get_bool_val(plist_dict_get_item(entry, "Data"), &data);
            QCOMPARE(plistInteger(entry, "Point"), qint64(i + 1));
            QCOMPARE(bool(data), tracks[int(i)].data);
            QCOMPARE(plistInteger(entry, "Start Block"), QList<qint64>({0, 80, 155, 216})[int(i)]);
            QCOMPARE(plistInteger(entry, "Block Count"), qint64(tracks[int(i)].sectors));
        }
        plist_free(toc);

        for (int i = 0; i < 3; ++i) {
            const QString file = point + "/" + names[i + 1];
            const QString decoded = dir.filePath("decoded.raw");
            QCOMPARE(AudioFiles::run("sox",
                                     {file, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", decoded}),
                     0);
            QFile out(decoded);
            QVERIFY(out.open(QIODevice::ReadOnly));
            QVERIFY2(out.readAll() == tracks[i].samples, qPrintable(names[i + 1]));
            QCOMPARE(QFileInfo(file).size(), 54 + tracks[i].samples.size());
            QCOMPARE(unreadable(file), QByteArray("0"));
        }
        const QByteArray whole = bigEndian(tracks[0].samples);
        QCOMPARE(concurrent[0].mid(54), whole);
        QCOMPARE(concurrent[1].mid(54), bigEndian(tracks[2].samples));
        QFile introFile(point + "/1 Intro.aiff");
        QVERIFY(introFile.open(QIODevice::ReadOnly));
        QCOMPARE(concurrent[0].left(54), introFile.read(54));
        introFile.close();

        // Odd offsets and sizes: inside the header, across its end, across sectors and the
        // cache's blocks, at and past the end of the file.
        const QString intro = point + "/1 Intro.aiff";
        const QList<QPair<qint64, qint64>> reads = {{1, 7},
                                                    {50, 9},
                                                    {54 + 2351, 2},
                                                    {54 + 74 * 2352 + 5, 2352 * 3},
                                                    {whole.size() + 54 - 3, 10},
                                                    {whole.size() + 54, 10}};
        for (const auto &[offset, size] : reads)
            QCOMPARE(readDirect(intro, offset, size), concurrent[0].mid(offset, size));

        QVERIFY(unmount(point));

        // The image cut short under a fresh mount: the lost sectors fail, are counted, and
        // nothing stands in for them; what is still there reads as before.
        const QString again = mount(cue);
        QVERIFY(QFile::resize(dir.filePath("disc.bin"), (155 + 30) * 2352 + 1000));
        const QString cut = again + "/3 AC-DC.aiff";
        QCOMPARE(readDirect(cut, 54 + 29 * 2352, 2352), bigEndian(tracks[2].samples).mid(29 * 2352, 2352));
        QCOMPARE(readDirect(cut, 54 + 30 * 2352, 1), QByteArray("error"));
        QFile cutFile(cut);
        QVERIFY(cutFile.open(QIODevice::ReadOnly));
        cutFile.readAll();
        QCOMPARE(unreadable(cut), QByteArray("31"));
        QCOMPARE(readDirect(again + "/1 Intro.aiff", 54, 100), whole.left(100));
        cutFile.close();
        QVERIFY(unmount(again));
    }

    void namesAreSafe_data()
    {
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("trackName");
        QTest::addColumn<QString>("volumeName");
        QTest::newRow("plain") << QByteArray("Abbey Road") << "1 Abbey Road.aiff"
                               << "Abbey Road";
        QTest::newRow("control characters") << QByteArray("A\x01"
                                                          "B\x7f")
                                            << "1 A B.aiff"
                                            << "A B";
        QTest::newRow("dot-dot") << QByteArray("..") << "1 ...aiff"
                                 << "Audio CD";
        QTest::newRow("Latin-1") << QByteArray("Caf\xe9") << "1 Café.aiff"
                                 << "Café";
        QTest::newRow("UTF-8") << QByteArray("Caf\xc3\xa9 \xe2\x99\xab") << "1 Café ♫.aiff"
                               << "Café ♫";
        QTest::newRow("blank") << QByteArray("   ") << "1 Audio Track.aiff"
                               << "Audio CD";
        const QString long2 = QString(200, QChar(0xe9)); // 400 bytes of UTF-8
        QTest::newRow("too long") << long2.toUtf8() << "1 " + long2.left(124) + ".aiff" << long2.left(127);
    }

    void namesAreSafe()
    {
        QFETCH(QByteArray, title);
        QFETCH(QString, trackName);
        QFETCH(QString, volumeName);
        QList<Track> tracks = {{title, 1, false, QByteArray(2352, '\1')}};
        const QString point = mount(makeImage("names", title, tracks));
        QCOMPARE(point, dir.filePath("discs/" + volumeName));
        QCOMPARE(QDir(point).entryList(QDir::Files), QStringList(trackName));
        // The same disc again gets the next free name, still within 255 bytes.
        const QString again = mount(dir.filePath("names.cue"));
        QString shortened = volumeName;
        while (shortened.toUtf8().size() > 253)
            shortened.chop(1);
        QCOMPARE(again, dir.filePath("discs/" + shortened + " 2"));
        unmount(point);
        unmount(again);
        QDir().rmdir(point);
        QDir().rmdir(again);
    }

    void badSourcesAreRefused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing device") << "/dev/orvik-no-such-drive"
                                        << "empty"
                                        << "no such drive or disc image";
        // A block device that is no CD drive answers like a drive without a disc.
        QTest::newRow("drive without disc") << "/dev/loop0"
                                            << "empty"
                                            << "there is no disc in the drive";
        QTest::newRow("folder") << "folder"
                                << "empty"
                                << "neither a CD drive nor a disc image";
        QTest::newRow("missing bin") << "nobin"
                                     << "empty"
                                     << "the image's data file nobin.bin is missing";
        QTest::newRow("short bin") << "short"
                                   << "empty"
                                   << "the image's data is shorter than its cue sheet says";
        QTest::newRow("tracks out of order") << "backwards"
                                             << "empty"
                                             << "the disc's track list is not valid";
        QTest::newRow("no audio") << "data"
                                  << "empty"
                                  << "the disc has no audio tracks";
        QTest::newRow("missing mount point") << "good"
                                             << "missing"
                                             << "the mount point is not an existing folder";
        QTest::newRow("mount point not empty") << "good"
                                               << "full"
                                               << "the mount point is not empty";
    }

    void badSourcesAreRefused()
    {
        QFETCH(QString, source);
        QFETCH(QString, mountPoint);
        QFETCH(QString, message);
        if (source.startsWith("/dev/loop") && !QFileInfo(source).exists())
            QSKIP("no loop device to stand in for an empty drive");
        const QByteArray silence(2352 * 4, '\0');
        QList<Track> good = {{"A", 2, false, silence.left(2 * 2352)},
                             {"B", 2, false, silence.left(2 * 2352)}};
        QList<Track> data = {{"D", 2, true}};
        if (source == "good" || source == "nobin" || source == "short" || source == "backwards") {
            QVERIFY(!makeImage(source, "Bad", good).isEmpty());
            if (source == "nobin")
                QVERIFY(QFile::remove(dir.filePath("nobin.bin")));
            if (source == "short")
                QVERIFY(QFile::resize(dir.filePath("short.bin"), 2352 + 100));
            QFile cue(dir.filePath("backwards.cue"));
            if (source == "backwards" && cue.open(QIODevice::WriteOnly))
                cue.write("FILE \"backwards.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:02\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
        } else if (source == "data") {
            QVERIFY(!makeImage(source, "Data", data).isEmpty());
        }
        if (source == "folder")
            QDir().mkpath(dir.filePath("folder"));
        const QString sourcePath = source.startsWith('/') ? source
                                   : source == "folder"   ? dir.filePath("folder")
                                                          : dir.filePath(source + ".cue");
        const QString point = dir.filePath("point-" + mountPoint);
        if (mountPoint != "missing")
            QDir().mkpath(point);
        if (mountPoint == "full")
            QFile(point + "/file").open(QIODevice::WriteOnly);
        QProcess process;
        process.start(program, {sourcePath, point});
        QVERIFY(process.waitForFinished(10000));
        QVERIFY(process.exitCode() != 0);
        const QStringList lines =
            QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].endsWith(": " + message), qPrintable(lines[0]));
        QVERIFY(!isMounted(point));
    }

    void mountEndsWithTheProcess()
    {
        QList<Track> tracks = {{"One", 3, false, QByteArray(3 * 2352, '\2')}};
        const QString cue = makeImage("killed", "Killed", tracks);
        const QString point = dir.filePath("killed-point");
        QDir().mkpath(point);
        QProcess process;
        process.start(program, {"-f", cue, point});
        QTRY_VERIFY(isMounted(point));
        QVERIFY(QFile::exists(point + "/1 One.aiff"));
        process.kill();
        process.waitForFinished();
        QTRY_VERIFY(!isMounted(point));
    }
};

QTEST_MAIN(tst_Cddafs)
#include "tst_cddafs.moc"
