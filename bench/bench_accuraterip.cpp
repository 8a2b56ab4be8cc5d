// What summing each track's AccurateRip checksums costs a rip: the tracks of a 20-minute cue/bin
// image read through an orvik-cddafs mount and encoded by lame, with the checksums summed and with
// them left out (ORVIK_CDDAFS_NO_CHECKSUMS). The figure that matters: the file system's extra CPU
// time over the whole rip's CPU time (goal: at most 2%); the rip's wall time is shown too, and the
// plain read of the mount, where the checksums weigh most.
//
// Usage: bench_accuraterip [MINUTES [TRACKS]]   (defaults: 20 20)
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {
using Bench::readFile;
using Bench::run;

// User plus system time of a running process, in seconds.
double processCpu(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    // After the name: state is field 3, utime 14 and stime 15 (counted from 1).
    return double(fields.value(12).toLongLong() + fields.value(13).toLongLong()) /
           double(sysconf(_SC_CLK_TCK));
}

struct Pass
{
    double wall = 0;
    double fileSystemCpu = 0;
    double encoderCpu = 0;
};

// One pass over every track: read, or encoded by lame; the checksums read after each track.
Pass pass(const QString &program, const QString &cue, const QString &point, bool checksums, bool encode)
{
    QDir().mkpath(point);
    QProcess fileSystem;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!checksums)
        environment.insert("ORVIK_CDDAFS_NO_CHECKSUMS", "1");
    fileSystem.setProcessEnvironment(environment);
    fileSystem.start(program, {"-f", cue, point});
    while (!QFile::exists(point + "/.TOC.plist") && fileSystem.state() != QProcess::NotRunning)
        QThread::msleep(10);
    Pass result;
    const double encoderBefore = Bench::cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    for (const QString &name : QDir(point).entryList({"*.aiff"}, QDir::Files, QDir::Name)) {
        const QString track = point + "/" + name;
        if (encode)
            run("lame", {"--silent", "-b", "128", track, QDir::temp().filePath("bench_accuraterip.mp3")});
        else
            readFile(track);
        char sums[32];
        if (checksums &&
            getxattr(QFile::encodeName(track).constData(), "user.orvik.accuraterip", sums, 32) < 0)
            std::fprintf(stderr, "bench_accuraterip: no checksums for %s\n", qPrintable(name));
    }
    result.wall = double(timer.nsecsElapsed()) / 1e9;
    result.encoderCpu = Bench::cpuTime(RUSAGE_CHILDREN) - encoderBefore;
    result.fileSystemCpu = processCpu(fileSystem.processId());
    run("fusermount3", {"-u", point});
    fileSystem.waitForFinished(10000);
    QFile::remove(QDir::temp().filePath("bench_accuraterip.mp3"));
    return result;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int minutes = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int trackCount = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const QString program = QCoreApplication::applicationDirPath() + "/../orvik-cddafs";
    QTemporaryDir dir;
    const Bench::DiscImage image = Bench::makeDiscImage(dir.path(), minutes, trackCount);
    if (image.cue.isEmpty())
        return 1;
    const QString &cue = image.cue;
    std::printf("image: %d min, %d tracks; load %s\n", minutes, trackCount, qPrintable(Bench::loadAverage()));

    // Reads alone, alternating, five of each: the median of each.
    std::vector<double> readWith, readWithout, cpuWith, cpuWithout;
    for (int round = 0; round < 5; ++round) {
        for (const bool checksums : {false, true}) {
            const Pass read = pass(program, cue, dir.filePath(QString("r%1%2").arg(round).arg(checksums)),
                                   checksums, false);
            (checksums ? readWith : readWithout).push_back(read.wall);
            (checksums ? cpuWith : cpuWithout).push_back(read.fileSystemCpu);
        }
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("read of the mount: %.2f s without checksums, %.2f s with (median of 5)\n",
                median(readWithout), median(readWith));
    std::printf("orvik-cddafs CPU:  %.2f s without checksums, %.2f s with\n", median(cpuWithout),
                median(cpuWith));
    // The rip: every track encoded, once each way.
    const Pass ripWithout = pass(program, cue, dir.filePath("e0"), false, true);
    const Pass ripWith = pass(program, cue, dir.filePath("e1"), true, true);
    const double ripCpu = ripWithout.encoderCpu + ripWithout.fileSystemCpu;
    const double extra = median(cpuWith) - median(cpuWithout);
    std::printf("rip: %.1f s wall and %.1f s CPU without checksums; %.1f s wall and %.1f s CPU with\n",
                ripWithout.wall, ripCpu, ripWith.wall, ripWith.encoderCpu + ripWith.fileSystemCpu);
    std::printf("checksums add %.2f s CPU: %.2f%% of the rip's CPU (goal <= 2%%); wall time %+.2f%%\n", extra,
                100 * extra / ripCpu, 100 * (ripWith.wall - ripWithout.wall) / ripWithout.wall);
    return 0;
}
