// What the audio-CD file system costs: every track of a 20-minute cue/bin image read through an
// orvik-cddafs mount, against the same sectors read directly through libcdio-paranoia (and,
// for reference, through plain libcdio reads, which is how the file system reads an image). The
// figures that matter: the mount's throughput over the direct paranoia read (goal: at least 0.9)
// and the time from starting orvik-cddafs to a ready mount (goal: under 100 ms for an image).
//
// Usage: bench_cddafs [MINUTES [TRACKS]]   (defaults: 20 20)
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {
using Bench::readFile;
using Bench::run;
constexpr int sectorBytes = Bench::DiscImage::kSectorBytes;

struct Direct
{
    qint64 bytes = 0;
    double seconds = 0;
};

// The same sectors straight from the image, through paranoia (verification off: there is
// nothing to verify in a file) or through libcdio's own reads.
Direct readDirect(const QString &cue, const std::vector<std::pair<int, int>> &tracks, bool paranoia)
{
    QElapsedTimer timer;
    timer.start();
    Direct result;
    CdIo_t *cdio = cdio_open(QFile::encodeName(cue).constData(), DRIVER_UNKNOWN);
    cdrom_drive_t *drive = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    drive->bigendianp = 0;
    cdio_cddap_open(drive);
    cdrom_paranoia_t *reader = cdio_paranoia_init(drive);
    cdio_paranoia_modeset(reader, PARANOIA_MODE_DISABLE);
    std::vector<char> buffer(75 * sectorBytes);
    for (const auto &[start, length] : tracks) {
        if (paranoia) {
            cdio_paranoia_seek(reader, start, SEEK_SET);
            for (int i = 0; i < length; ++i)
                if (cdio_paranoia_read_limited(reader, nullptr, 1))
                    result.bytes += sectorBytes;
        } else {
            for (int i = 0; i < length; i += 75) {
                const int n = std::min(75, length - i);
                if (cdio_read_audio_sectors(cdio, buffer.data(), start + i, n) == 0)
                    result.bytes += qint64(n) * sectorBytes;
            }
        }
    }
    cdio_paranoia_free(reader);
    cdio_cddap_close_no_free_cdio(drive);
    cdio_destroy(cdio);
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
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
    const int sectors = image.sectors;
    const std::vector<std::pair<int, int>> &tracks = image.tracks;

    QFile load("/proc/loadavg");
    load.open(QIODevice::ReadOnly);
    std::printf("image: %d min, %d tracks, %.1f MB; load %s", minutes, trackCount,
                double(sectors) * sectorBytes / 1e6, load.readAll().constData());
    std::vector<double> readyTimes, mountRates, paranoiaRates, cdioRates;
    for (int round = 0; round < 5; ++round) {
        const QString point = dir.filePath(QString("mount%1").arg(round));
        QDir().mkpath(point);
        QElapsedTimer timer;
        timer.start();
        if (!run(program, {cue, point})) {
            std::fprintf(stderr, "bench_cddafs: %s did not mount the image\n", qPrintable(program));
            return 1;
        }
        readyTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        qint64 bytes = 0;
        for (const QString &name : QDir(point).entryList({"*.aiff"}, QDir::Files))
            bytes += readFile(point + "/" + name);
        mountRates.push_back(double(bytes) / 1e6 / (double(timer.nsecsElapsed()) / 1e9));
        run("fusermount3", {"-u", point});
        const Direct paranoia = readDirect(cue, tracks, true);
        paranoiaRates.push_back(double(paranoia.bytes) / 1e6 / paranoia.seconds);
        const Direct cdio = readDirect(cue, tracks, false);
        cdioRates.push_back(double(cdio.bytes) / 1e6 / cdio.seconds);
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("ready mount: median %.1f ms (best %.1f, worst %.1f; goal < 100)\n", median(readyTimes),
                *std::min_element(readyTimes.begin(), readyTimes.end()),
                *std::max_element(readyTimes.begin(), readyTimes.end()));
    std::printf("through the mount:   %7.1f MB/s (median of 5)\n", median(mountRates));
    std::printf("direct paranoia:     %7.1f MB/s\n", median(paranoiaRates));
    std::printf("direct libcdio:      %7.1f MB/s\n", median(cdioRates));
    std::printf("ratio mount/paranoia: %.2f (goal >= 0.9); mount/libcdio: %.2f\n",
                median(mountRates) / median(paranoiaRates), median(mountRates) / median(cdioRates));
    return 0;
}
