#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <utility>
#include <vector>

// What every benchmark needs around its measurement: helper programs run to the end, CPU times
// and the machine's load, so that a figure can be read against how busy the machine was.
namespace Bench {
// Runs `program` with `arguments` to its end, its errors shown; true when it exited with 0.
bool run(const QString &program, const QStringList &arguments);
// User plus system time, in seconds, of this process (RUSAGE_SELF) or of its reaped children
// (RUSAGE_CHILDREN).
double cpuTime(int who);
// Makes `count` stereo 44.1 kHz 16-bit sines of `seconds` each in `folder` (track01.wav, ...),
// a different pitch each, so no two files encode alike; empty when sox fails.
QStringList makeSines(const QString &folder, int count, int seconds);
// The load averages of the last 1, 5 and 15 minutes, as /proc/loadavg gives them.
QString loadAverage();
// Reads a whole file in a FUSE file system's 128 KiB requests; answers the bytes read, -1 when it
// cannot be opened.
qint64 readFile(const QString &path);

// A disc image in cue/bin form, as the disc file system mounts it: `minutes` of pink noise and a
// tone in `trackCount` tracks of equal length ("Part 1", ...; the last takes the rest), read once so
// that it is in the page cache for every contender alike.
struct DiscImage
{
    static constexpr int kSectorBytes = 2352;
    QString cue, bin;
    int sectors = 0;
    std::vector<std::pair<int, int>> tracks; // each track's first sector and length
};
// Writes bench.bin and bench.cue into `folder`; an image without a cue sheet when sox fails.
DiscImage makeDiscImage(const QString &folder, int minutes, int trackCount);

// Swallows the folder a finished batch asks the desktop to show: a benchmark opens no windows
// outside itself.
class UrlSink : public QObject
{
    Q_OBJECT
  public slots:
    void open(const QUrl &) {}
};
} // namespace Bench
