#include "support/CueDisc.h"

#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

QString CueDisc::write(const QString &folder, const QString &name, const QByteArray &album,
                       QList<Track> &tracks)
{
    QByteArray cue =
        "TITLE \"" + album + "\"\nPERFORMER \"The Band\"\nFILE \"" + name.toUtf8() + ".bin\" BINARY\n";
    QByteArray bin;
    for (int i = 0; i < tracks.size(); ++i) {
        Track &track = tracks[i];
        if (track.data)
            track.samples = QByteArray(track.sectors * 2352, 'D');
        if (track.samples.isEmpty()) { // tones apart per track and per channel
            QList<qint16> values(track.sectors * 1176);
            for (qsizetype k = 0; k < values.size(); ++k)
                values[k] =
                    qToLittleEndian(qint16(9000 * std::sin(k / 2 * (0.03 + 0.02 * i + k % 2 * 0.01))));
            track.samples = QByteArray(reinterpret_cast<const char *>(values.constData()), values.size() * 2);
        }
        const int at = int(bin.size() / 2352);
        cue += QString::asprintf("  TRACK %02d %s\n", i + 1, track.data ? "MODE1/2352" : "AUDIO").toUtf8();
        if (!track.title.isNull())
            cue += "    TITLE \"" + track.title + "\"\n";
        cue += QString::asprintf("    INDEX 01 %02d:%02d:%02d\n", at / 4500, at / 75 % 60, at % 75).toUtf8();
        bin += track.samples;
    }
    QFile cueFile(QDir(folder).filePath(name + ".cue")), binFile(QDir(folder).filePath(name + ".bin"));
    if (!cueFile.open(QIODevice::WriteOnly) || !binFile.open(QIODevice::WriteOnly))
        return QString();
    cueFile.write(cue);
    binFile.write(bin);
    return cueFile.fileName();
}

QString CueDisc::mount(const QString &cue, const QString &folder, QString *errors, const QStringList &options)
{
    QProcess process;
    QDir().mkpath(folder);
    process.start(ORVIK_BUILD_DIR "/orvik-cddafs", options + QStringList{"--name-in", folder, cue});
    if (!process.waitForFinished(10000))
        return QString();
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()).trimmed() : QString();
}

QByteArrayList CueDisc::mounts(const QString &folder)
{
    QByteArrayList points;
    for (const QByteArray &line : readWholeFile("/proc/self/mounts").split('\n')) {
        QByteArray point = line.split(' ').value(1); // with some bytes as octal escapes
        for (qsizetype i = 0; (i = point.indexOf('\\', i)) >= 0; ++i)
            point.replace(i, 4, QByteArray(1, char(point.mid(i + 1, 3).toInt(nullptr, 8))));
        if (line.contains(" fuse.orvik-cddafs ") && point.startsWith(QFile::encodeName(folder)))
            points << point;
    }
    return points;
}

bool CueDisc::unmount(const QString &point)
{
    return QTest::qWaitFor([&] { return QProcess::execute("fusermount3", {"-u", point}) == 0; }, 5000);
}

QByteArray CueDisc::tableOfContents(const QStringList &tracks)
{
    QByteArray entries;
    for (const QString &track : tracks)
        entries += "<dict><key>Point</key><integer>" + track.section(':', 0, 0).toUtf8() + "</integer>" +
                   (track.contains(':') ? "<key>Data</key><true/>" : "") + "</dict>";
    return "<plist version=\"1.0\"><dict><key>Sessions</key><array><dict><key>Track Array</key><array>" +
           entries + "</array></dict></array></dict></plist>";
}

QVariantMap CueDisc::toc(const QStringList &tracks, int leadOut)
{
    QVariantList array;
    for (int i = 0; i < tracks.size(); ++i)
        array << QVariantMap{{"Point", i + 1},
                             {"Start Block", tracks[i].section(':', 0, 0).toInt()},
                             {"Data", tracks[i].endsWith(":data")}};
    return {{"Sessions", QVariantList{QVariantMap{{"Leadout Block", leadOut}, {"Track Array", array}}}}};
}

QByteArray CueDisc::readDirect(const QString &path, qint64 offset, qint64 size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT);
    QByteArray bytes(size, '\0');
    const ssize_t n = fd < 0 ? -1 : pread(fd, bytes.data(), size_t(size), offset);
    if (fd >= 0)
        ::close(fd);
    return n < 0 ? QByteArray("error") : bytes.left(n);
}

QByteArray CueDisc::attribute(const QString &path, const char *name)
{
    char value[64] = {};
    const auto n = getxattr(QFile::encodeName(path).constData(), name, value, sizeof value - 1);
    return n < 0 ? QByteArray("none") : QByteArray(value, int(n));
}
