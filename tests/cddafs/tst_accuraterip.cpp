// AccurateRip: the checksums and read-offset correction of orvik-cddafs, on cue/bin images of random
// samples mounted with the real FUSE, against the published algorithm as the tests write it; the disc
// IDs of tables of contents; entries served by a local server as the database holds them; and rips
// checked against such entries: the completion sheet's line and the rip log.
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/LocalHttpServer.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "core/AccurateRipLookup.h"
#include "core/LamePrefs.h"
#include "platform/PropertyList.h"
#include "platform/widgets/WindowDescription.h"
#include "rip/Ripper.h"

#include <QtTest>
#include <QtWidgets>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

using Answer = LocalHttpServer::Answer;
using Pressing = AccurateRipDisc::Pressing;

namespace {
// The AccurateRip checksums of a track's samples (16-bit little-endian stereo) as the algorithm is
// published, written apart from the program's: "v1 v2", each as 8 hexadecimal digits.
QByteArray accurateRipSums(const QByteArray &samples, bool firstTrack, bool lastTrack)
{
    // Sample i (from 1) weighs i; the disc's first track leaves out its first 5 * 588 - 1 samples,
    // its last track its last 5 * 588. v2 adds the high half of each product as well.
    constexpr qint64 edge = 5 * 588;
    const qint64 count = samples.size() / 4;
    quint32 v1 = 0, v2 = 0;
    for (qint64 i = 1; i <= count; ++i) {
        if ((firstTrack && i < edge) || (lastTrack && i > count - edge))
            continue;
        const quint64 product =
            quint64(qFromLittleEndian<quint32>(samples.constData() + 4 * (i - 1))) * quint64(i);
        v1 += quint32(product);
        v2 += quint32(product) + quint32(product >> 32);
    }
    return QByteArray::number(v1, 16).rightJustified(8, '0') + ' ' +
           QByteArray::number(v2, 16).rightJustified(8, '0');
}

// A block of an entry as the database writes it, little-endian: the track count and the disc's three
// IDs (the first moved by `id1Change`), then each track's confidence, checksum and a sector's checksum.
QByteArray accurateRipBlock(const AccurateRipDisc &disc, const QList<Pressing::Track> &tracks,
                            quint32 id1Change = 0)
{
    QByteArray bytes(1, char(tracks.size()));
    for (quint32 value : {disc.id1() + id1Change, disc.id2(), disc.freedbId()})
        bytes += QByteArray(reinterpret_cast<const char *>(&value), 4);
    for (const Pressing::Track &track : tracks)
        bytes += char(track.confidence) + QByteArray(reinterpret_cast<const char *>(&track.checksum), 4) +
                 QByteArray(4, '\x5a');
    return bytes;
}

QByteArray attribute(const QString &path, const char *name)
{
    char value[64] = {};
    const auto n = getxattr(QFile::encodeName(path).constData(), name, value, sizeof value - 1);
    return n < 0 ? QByteArray("error") : QByteArray(value, int(n));
}

// Reads with O_DIRECT, so that every read reaches the file system and none is read ahead.
QByteArray readDirect(const QString &path, qint64 offset, qint64 size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT);
    QByteArray bytes(size, '\0');
    const ssize_t n = fd < 0 ? -1 : pread(fd, bytes.data(), size_t(size), offset);
    if (fd >= 0)
        ::close(fd);
    return n < 0 ? QByteArray() : bytes.left(n);
}

// A table of contents as orvik-cddafs presents it: each track "start" or "start:data" (sectors).
QVariantMap contents(const QList<QString> &tracks, qint64 leadOut)
{
    QVariantList array;
    for (int i = 0; i < tracks.size(); ++i)
        array << QVariantMap{{"Point", i + 1},
                             {"Start Block", tracks[i].section(':', 0, 0).toLongLong()},
                             {"Data", tracks[i].endsWith(":data")}};
    return {{"Sessions", QVariantList{QVariantMap{{"Track Array", array}, {"Leadout Block", leadOut}}}}};
}
} // namespace

class tst_AccurateRip : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // A disc of three audio tracks, whose entries the lookup is served.
    const AccurateRipDisc threeTracks =
        AccurateRipDisc::fromTableOfContents(contents({"0", "1000", "2500"}, 4000));

    // The disc the rips read, and each track's checksums by the published algorithm.
    QList<CueDisc::Track> tracks{{"Eins", 75}, {"Zwei", 40}, {"Drei", 50}};
    QList<QByteArray> sums;

  private slots:
    void initTestCase()
    {
        QVERIFY(!CueDisc::write(dir.path(), "disc", "Live", tracks).isEmpty());
        for (int i = 0; i < tracks.size(); ++i)
            sums << accurateRipSums(tracks[i].samples, i == 0, i == tracks.size() - 1);
    }

    void checksumsOfEveryTrack_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("offset"); // the correction the volume must apply
        // Without options the tracks are read out of order, one block only or backwards (whole
        // tracks read in order are summed by the rips below); with them, whole and compared.
        QTest::newRow("read out of order") << QStringList() << 0;
        QTest::newRow("image keeps its samples") << QStringList{"--read-offset", "30"} << 0;
        QTest::newRow("drive reads late") << QStringList{"--image-as-drive", "--read-offset", "30"} << 30;
        QTest::newRow("drive reads early")
            << QStringList{"--image-as-drive", "--read-offset", "-700"} << -700;
    }

    void checksumsOfEveryTrack()
    {
        QFETCH(QStringList, options);
        QFETCH(int, offset);
        if (!QFile::exists("/dev/fuse"))
            QSKIP("FUSE mounts need /dev/fuse");
        // A disc of three tracks (its first, a middle and its last) and a disc of one.
        for (const QList<int> &lengths : {QList<int>{160, 90, 100}, QList<int>{80}}) {
            QRandomGenerator random(quint32(lengths.size()));
            QList<CueDisc::Track> tracks;
            QByteArray disc;
            for (int sectors : lengths) {
                QByteArray samples(sectors * 2352, '\0');
                random.fillRange(reinterpret_cast<quint32 *>(samples.data()), samples.size() / 4);
                tracks.append({QByteArray(), sectors, false, samples});
                disc += samples;
            }
            const QString cue =
                CueDisc::write(dir.path(), QString("disc%1").arg(lengths.size()), "AR", tracks);
            QProcess mounter;
            QDir().mkpath(dir.filePath("discs"));
            mounter.start(ORVIK_BUILD_DIR "/orvik-cddafs",
                          options + QStringList{"--name-in", dir.filePath("discs"), cue});
            QVERIFY(mounter.waitForFinished(10000) && mounter.exitCode() == 0);
            const QString point = QString::fromUtf8(mounter.readAllStandardOutput()).trimmed();
            const auto unmount = qScopeGuard([&] { CueDisc::unmount(point); });
            QCOMPARE(attribute(point, "user.orvik.read-offset"), QByteArray::number(offset));
            qint64 start = 0;
            for (int i = 0; i < lengths.size(); ++i) {
                const QString file = QString("%1/%2 Audio Track.aiff").arg(point).arg(i + 1);
                const qint64 bytes = lengths[i] * 2352;
                // What a drive with this offset reads: silence beyond the disc's ends.
                QByteArray expected(bytes, '\0');
                const qint64 from = start + offset * 4;
                const qint64 begin = qMax<qint64>(from, 0), end = qMin<qint64>(from + bytes, disc.size());
                expected.replace(begin - from, end - begin, disc.mid(begin, end - begin));
                start += bytes;
                if (!options.isEmpty()) {
                    QByteArray read = readWholeFile(file).mid(54);
                    qFromBigEndian<qint16>(read.constData(), read.size() / 2, read.data());
                    QVERIFY2(read == expected, qPrintable(file));
                } else if (i % 2 == 0) {
                    QVERIFY(!readDirect(file, 54 + 2352 * 75 + 4096, 4096).isEmpty());
                } else {
                    for (qint64 at = bytes - 4096; at > -4096; at -= 4096)
                        QVERIFY(!readDirect(file, 54 + qMax<qint64>(at, 0), 4096).isEmpty());
                }
                QCOMPARE(attribute(file, "user.orvik.accuraterip"),
                         accurateRipSums(expected, i == 0, i == lengths.size() - 1));
            }
        }
    }

    // Discs whose IDs the database's own ripper gives, as published with their tables of contents.
    void discIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<QString>("path");
        QTest::newRow("audio, then data (Enhanced CD)")
            << contents({"0", "12617", "40337", "63075", "93260", "117965", "151715", "184190", "215110",
                         "247305", "281585:data"},
                        333651)
            << "010-00164419-00b9f6e2-9e11600b"
            << "/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin";
        QList<QString> mixed{"0:data"};
        for (int lba : {66728,  76502,  85963,  93760,  104048, 116066, 124743, 134206, 142916, 151852,
                        160720, 169425, 178731, 188459, 196711, 206354, 214845, 223686, 225746, 226384,
                        232668, 239447, 239931, 244989, 254264, 260066, 261222, 261674})
            mixed << QString::number(lba - 150);
        QTest::newRow("data, then audio (mixed mode)")
            << contents(mixed, 261976 - 150) << "028-00517a54-05a845d2-af0da31d"
            << "/accuraterip/4/5/a/dBAR-028-00517a54-05a845d2-af0da31d.bin";
    }

    void discIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, ids);
        QFETCH(QString, path);
        const AccurateRipDisc disc = AccurateRipDisc::fromTableOfContents(toc);
        QCOMPARE(disc.idText(), ids);
        QCOMPARE(disc.entryPath(), path);
    }

    // Entries the database refuses; those that match, do not match or are missing are answered to
    // the rips below.
    void lookup_data()
    {
        const QList<Pressing::Track> all{{7, 0x1111}, {9, 0x2222}, {4, 0x3333}};
        const QByteArray whole = accurateRipBlock(threeTracks, all);
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("empty") << QList<Answer>{{200, ""}} << "failed: the database's answer is empty";
        QTest::newRow("cut short") << QList<Answer>{{200, whole + whole.chopped(3)}}
                                   << "failed: the database's answer is cut short";
        QTest::newRow("other track count") << QList<Answer>{{200, accurateRipBlock(threeTracks, all.mid(1))}}
                                           << "failed: the database's answer does not fit the disc's tracks";
        QTest::newRow("other disc") << QList<Answer>{{200, whole + accurateRipBlock(threeTracks, all, 1)}}
                                    << "failed: the database answered for another disc";
        QTest::newRow("server error")
            << QList<Answer>{{500, "oops"}} << "failed: the AccurateRip database answered 500";
        QTest::newRow("slow") << QList<Answer>{{200, whole, {}, true}}
                              << "failed: the AccurateRip database did not answer in time";
        QTest::newRow("down") << QList<Answer>() << "failed: the AccurateRip database cannot be reached";
    }

    void lookup()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, outcome);
        LocalHttpServer server;
        server.answer(threeTracks.entryPath(), answers);
        AccurateRipLookup lookup(threeTracks, answers.isEmpty() ? "http://127.0.0.1:9" : server.address());
        QString ended;
        connect(&lookup, &AccurateRipLookup::found, [&] { ended = "found"; });
        connect(&lookup, &AccurateRipLookup::notFound, [&] { ended = "not found"; });
        connect(&lookup, &AccurateRipLookup::failed, [&](const QString &why) { ended = "failed: " + why; });
        lookup.start();
        QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 20000);
        QVERIFY2(ended.startsWith(outcome), qPrintable(ended));
    }

    void rip_data()
    {
        QTest::addColumn<int>("altered"); // the track whose checksum the entry gets wrong; -1: none
        QTest::addColumn<int>("cut");     // sectors the image loses at its end
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::newRow("accurate") << -1 << 0 << 200
                                  << "AccurateRip: all 3 tracks accurately ripped (lowest confidence 3).";
        QTest::newRow("one does not match")
            << 1 << 0 << 200
            << "AccurateRip: 2 of 3 tracks accurate; track 02 does not match. Rip again, or clean the disc.";
        QTest::newRow("not in the database")
            << -1 << 0 << 404 << "AccurateRip: the disc is not in the database.";
        // The last track fails, its unreadable sectors logged; it is not checked.
        QTest::newRow("last track cut short") << -1 << 30 << 200
                                              << "AccurateRip: 2 of 3 tracks accurately ripped (lowest "
                                                 "confidence 3); the others could not be checked.";
    }

    void rip()
    {
        QFETCH(int, altered);
        QFETCH(int, cut);
        QFETCH(int, status);
        QFETCH(QString, line);
        if (!AudioFiles::haveProgram("lame"))
            QSKIP("lame is needed to encode the disc");
        BatchFixture fixture(false);
        LocalHttpServer server;
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        for (const QString &key :
             {PrefKey::MusicBrainzServer, PrefKey::CoverArtServer, PrefKey::AccurateRipServer})
            LamePrefs::preferences().setObject(server.address(), key);
        const QString point = CueDisc::mount(dir.filePath("disc.cue"), dir.filePath("discs"));
        if (point.isEmpty())
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        QFile bin(dir.filePath("disc.bin"));
        const QByteArray whole = BatchFixture::contents(bin.fileName());
        QVERIFY(bin.resize(whole.size() - cut * 2352));
        const auto unmount = qScopeGuard([&] {
            CueDisc::unmount(point);
            BatchFixture::writeFile(bin.fileName(), whole);
        });
        const AccurateRipDisc disc =
            AccurateRipDisc::fromTableOfContents(PropertyList::fromFile(point + "/.TOC.plist").toMap());
        // Two pressings, one with the tracks' v1 sums, one with their v2 sums; a track takes the best
        // confidence of those it matches.
        QByteArray entry;
        for (const auto &[from, confidence] : {std::pair(0, QList<int>{12, 3, 7}), {9, {20, 1, 1}}}) {
            QList<Pressing::Track> pressing;
            for (int i = 0; i < tracks.size(); ++i)
                pressing.append(
                    {confidence[i], sums[i].mid(from, 8).toUInt(nullptr, 16) ^ (i == altered ? 1 : 0)});
            entry += accurateRipBlock(disc, pressing);
        }
        server.answer(disc.entryPath(), {{status, status == 200 ? entry : QByteArray("Not Found")}});

        QTRY_VERIFY_WITH_TIMEOUT(Ripper::mountPoints().contains(point), 15000);
        Ripper *ripper = *std::find_if(Ripper::allControllers().cbegin(), Ripper::allControllers().cend(),
                                       [&](Ripper *rip) { return rip->mountPoint() == point; });
        WindowDescription::outlet<QPushButton>(ripper->window(), "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), fixture.cleanMusicFolder());
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        const QString folder = ripper->ripFolder();
        QVERIFY(notice);
        QCOMPARE(notice->informativeText().section("\n\n", 1), line);
        QVERIFY(TestSheets::click(notice, "OK") && BatchFixture::waitUntilEnded(ripper));
        // Every track is kept, matching or not; the log says what each got.
        const QString log = QString::fromUtf8(BatchFixture::contents(folder + "/rip.log"));
        QVERIFY2(log.contains("AccurateRip ID:  " + disc.idText()), qPrintable(log));
        const QStringList names{"01. Eins.mp3", "02. Zwei.mp3", "03. Drei.mp3"};
        QCOMPARE(QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name), names.mid(0, cut ? 2 : 3));
        for (int i = 0; i < tracks.size(); ++i) {
            const bool lost = cut && i == 2;
            const QString result = lost            ? "not checked"
                                   : status == 404 ? "not in database"
                                   : i == altered
                                       ? "not accurate"
                                       : QString("accurate (confidence %1)").arg(QList{20, 3, 7}[i]);
            const QString expected =
                QString("%1\n  unreadable sectors: %2  AccurateRip v1: %3  v2: %4  %5\n")
                    .arg(names[i], QString::number(lost ? cut : 0), lost ? "-" : sums[i].left(8),
                         lost ? "-" : sums[i].mid(9), result);
            QVERIFY2(log.contains(expected), qPrintable(log));
        }
    }
};

QTEST_MAIN(tst_AccurateRip)
#include "tst_accuraterip.moc"
