// The AccurateRip checksums and read-offset correction of orvik-cddafs, on cue/bin images of
// random samples mounted with the real FUSE, checked against the published algorithm as the tests write it.
#include "support/AccurateRipSums.h"
#include "support/CueDisc.h"
#include "support/TunesSupport.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
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
} // namespace

class tst_AccurateRip : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void initTestCase()
    {
        if (!QFile::exists("/dev/fuse"))
            QSKIP("FUSE mounts need /dev/fuse");
    }

    void checksumsOfEveryTrack_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("offset"); // the correction the volume must apply
        QTest::newRow("whole, in order") << "whole" << QStringList() << 0;
        QTest::newRow("one block only") << "part" << QStringList() << 0;
        QTest::newRow("backwards") << "backwards" << QStringList() << 0;
        QTest::newRow("image keeps its samples") << "whole" << QStringList{"--read-offset", "30"} << 0;
        QTest::newRow("drive reads late")
            << "whole" << QStringList{"--image-as-drive", "--read-offset", "30"} << 30;
        QTest::newRow("drive reads early")
            << "whole" << QStringList{"--image-as-drive", "--read-offset", "-700"} << -700;
    }

    void checksumsOfEveryTrack()
    {
        QFETCH(QString, reading);
        QFETCH(QStringList, options);
        QFETCH(int, offset);
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
                if (reading == "whole") {
                    QByteArray read = readWholeFile(file).mid(54);
                    qFromBigEndian<qint16>(read.constData(), read.size() / 2, read.data());
                    QVERIFY2(read == expected, qPrintable(file));
                } else if (reading == "part") {
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
};

QTEST_GUILESS_MAIN(tst_AccurateRip)
#include "tst_accuraterip.moc"
