#include "support/CueDisc.h"

#include "support/AudioFiles.h"
#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

QString CueDisc::write(const QString &folder, const QString &name, const QByteArray &album,
                       QList<Track> &tracks)
{
    QByteArray cue =
        "TITLE \"" + album + "\"\nPERFORMER \"The Band\"\nFILE \"" + name.toUtf8() + ".bin\" BINARY\n";
    QByteArray bin;
    const QString raw = QDir(folder).filePath("track.raw");
    for (int i = 0; i < tracks.size(); ++i) {
        Track &track = tracks[i];
        if (track.data)
            track.samples = QByteArray(track.sectors * 2352, 'D');
        if (track.samples.isEmpty()) {
            if (AudioFiles::run("sox",
                                {"-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed-integer", "-L",
                                 "-t", "raw", raw, "synth", QString("%1s").arg(track.sectors * 588),
                                 i % 2 ? "whitenoise" : "sine", QString::number(300 + 200 * i), "sine",
                                 QString::number(500 + 100 * i)}) != 0)
                return QString();
            track.samples = readWholeFile(raw);
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

QString CueDisc::mount(const QString &cue, const QString &folder, QString *errors)
{
    QProcess process;
    QDir().mkpath(folder);
    process.start(ORVIK_BUILD_DIR "/orvik-cddafs", {"--name-in", folder, cue});
    if (!process.waitForFinished(10000))
        return QString();
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()).trimmed() : QString();
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
