#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
double seconds(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}
} // namespace

bool Bench::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

double Bench::cpuTime(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QString Bench::loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

QStringList Bench::makeSines(const QString &folder, int count, int seconds)
{
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/track%1.wav").arg(i + 1, 2, 10, QLatin1Char('0'));
        if (!run(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth",
                                         QString::number(seconds), "sine", QString::number(220 + 37 * i)})) {
            std::fprintf(stderr, "sox could not make %s\n", qPrintable(path));
            return {};
        }
        files << path;
    }
    return files;
}

qint64 Bench::readFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return -1;
    std::vector<char> buffer(128 * 1024);
    qint64 total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
        total += n;
    ::close(fd);
    return total;
}

Bench::DiscImage Bench::makeDiscImage(const QString &folder, int minutes, int trackCount)
{
    DiscImage image;
    image.bin = QDir(folder).filePath("bench.bin");
    image.sectors = minutes * 60 * 75;
    if (!run("sox", {"-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed-integer", "-L", "-t", "raw",
                     image.bin, "synth", QString("%1s").arg(qint64(image.sectors) * 588), "pinknoise", "sine",
                     "440"})) {
        std::fprintf(stderr, "sox could not make the disc image\n");
        return image;
    }
    QByteArray sheet = "TITLE \"Bench\"\nFILE \"bench.bin\" BINARY\n";
    for (int i = 0; i < trackCount; ++i) {
        const int start = image.sectors / trackCount * i;
        const int end = i + 1 == trackCount ? image.sectors : image.sectors / trackCount * (i + 1);
        image.tracks.emplace_back(start, end - start);
        sheet += QString::asprintf("  TRACK %02d AUDIO\n    TITLE \"Part %d\"\n    INDEX 01 %02d:%02d:%02d\n",
                                   i + 1, i + 1, start / 4500, start / 75 % 60, start % 75)
                     .toUtf8();
    }
    QFile cue(QDir(folder).filePath("bench.cue"));
    if (!cue.open(QIODevice::WriteOnly) || cue.write(sheet) != sheet.size() || !cue.flush()) {
        std::fprintf(stderr, "the cue sheet cannot be written\n");
        return image;
    }
    image.cue = cue.fileName();
    readFile(image.bin);
    return image;
}
