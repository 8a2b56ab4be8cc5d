// What the loudness tags cost a batch: the same files encoded by the shared run at the factory
// settings (as many encoders at once as the factory number gives), once with the loudness tags
// on and once with them off, in turns, several rounds. The measuring reads each input beside its
// encoder on a thread of its own, so the goal is a wall time with the tags on of at most 1.05
// times the time with them off. Orvik's own CPU time (the measuring is most of it) is shown
// against the encoders'.
//
// The inputs are music-like: two tones a fifth apart with pink noise mixed in, swelling and
// fading (sox), a different pitch per file; a plain sine would flatter the encoder.
//
// Usage: bench_loudness [FILES [SECONDS [ROUNDS]]]   (defaults: 20 30 10)
#include "BenchSupport.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sys/resource.h>

namespace {
using namespace Bench;

QStringList makeMusic(const QString &folder, int count, int seconds)
{
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/track%1.wav").arg(i + 1, 2, 10, QLatin1Char('0'));
        const QString length = QString::number(seconds);
        const double root = 110.0 + 13.0 * i;
        if (!run(QStringLiteral("sox"), {"-n",        "-r",
                                         "44100",     "-c",
                                         "2",         "-b",
                                         "16",        path,
                                         "synth",     length,
                                         "sine",      QString::number(root),
                                         "sine",      QString::number(root * 1.5),
                                         "synth",     length,
                                         "pinknoise", "mix",
                                         "tremolo",   "0.3",
                                         "60",        "vol",
                                         "-6dB"})) {
            std::fprintf(stderr, "sox could not make %s\n", qPrintable(path));
            return {};
        }
        files << path;
    }
    return files;
}

struct Figures
{
    double wall = 0, self = 0, children = 0;
};

bool encode(LamePrefs &preferences, const QStringList &inputs, const QString &music, Figures &figures)
{
    QDir(music).removeRecursively();
    QDir().mkpath(music);
    QList<QVariantMap> tasks;
    for (const QString &input : inputs)
        tasks << QVariantMap{{kInputFileKey, input},
                             {kOutputFileKey, music + u'/' + QFileInfo(input).completeBaseName() + ".mp3"}};
    EncoderRun run;
    QEventLoop loop;
    QObject::connect(&run, &EncoderRun::completed, &loop, &QEventLoop::quit);
    QTimer::singleShot(60 * 60 * 1000, &loop, &QEventLoop::quit);
    const double self = cpuTime(RUSAGE_SELF), children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    run.start({.tasks = &tasks,
               .preferences = &preferences,
               .options = {{kSampleRateKey, "44.1"}},
               .outputFolder = music,
               .maxEncoders = preferences.encodersAtOnce()});
    if (!run.isCompleted())
        loop.exec();
    figures.wall = double(clock.nsecsElapsed()) / 1e9;
    figures.self = cpuTime(RUSAGE_SELF) - self;
    figures.children = cpuTime(RUSAGE_CHILDREN) - children;
    if (!run.isCompleted() || run.failedCount() > 0 || run.tagLossCount() > 0) {
        std::fprintf(stderr, "The run did not end whole (%u failed, %u without all tags).\n",
                     run.failedCount(), run.tagLossCount());
        return false;
    }
    return true;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int count = arguments.size() > 1 ? arguments.at(1).toInt() : 20;
    const int seconds = arguments.size() > 2 ? arguments.at(2).toInt() : 30;
    const int rounds = arguments.size() > 3 ? arguments.at(3).toInt() : 10;
    QTemporaryDir scratch;
    const QStringList inputs = makeMusic(scratch.filePath("wav"), count, seconds);
    if (inputs.isEmpty())
        return 1;
    // The factory settings, in a settings file of the benchmark's own.
    SettingsStore store(scratch.filePath("settings.ini"));
    store.registerDefaults(LamePrefs::factoryValues());
    LamePrefs preferences(store);
    std::printf("%d files of %d s, %u encoders at once, %d rounds; load before: %s\n", count, seconds,
                preferences.encodersAtOnce(), rounds, qPrintable(loadAverage()));

    // Each round runs both, in turns that alternate (off-on, then on-off), and gives the ratio of
    // its two wall times: a machine whose speed drifts during the benchmark (a shared host's
    // does) then shifts both sides of a ratio alike instead of favouring one. On a shared host the
    // second turn of a round can be slower as such; the figure balanced for order (the geometric
    // mean of the two orders' geometric means) cancels that.
    QList<double> walls[2], selves[2], children[2], ratios, logRatios[2];
    for (int round = 0; round < rounds; ++round) {
        const bool firstOn = round % 2 == 1;
        for (const bool on : {firstOn, !firstOn}) {
            store.setBool(on, PrefKey::WriteReplayGainTags);
            Figures figures;
            if (!encode(preferences, inputs, scratch.filePath("mp3"), figures))
                return 1;
            walls[on] << figures.wall;
            selves[on] << figures.self;
            children[on] << figures.children;
            std::printf("round %d, tags %-3s: %7.2f s wall, Orvik %6.2f s CPU, encoders %7.2f s CPU\n",
                        round + 1, on ? "on" : "off", figures.wall, figures.self, figures.children);
            std::fflush(stdout);
        }
        ratios << walls[1].last() / walls[0].last();
        logRatios[firstOn] << std::log(ratios.last());
    }
    const auto mean = [](const QList<double> &values) {
        return values.isEmpty()
                   ? 0.0
                   : std::accumulate(values.cbegin(), values.cend(), 0.0) / double(values.size());
    };
    std::printf("median wall: off %.2f s, on %.2f s; median of the rounds' on/off: %.3f\n", median(walls[0]),
                median(walls[1]), median(ratios));
    if (rounds >= 2)
        std::printf("on/off balanced for order: %.3f (tags off first %.3f, on first %.3f; goal <= 1.05)\n",
                    std::exp((mean(logRatios[0]) + mean(logRatios[1])) / 2), std::exp(mean(logRatios[0])),
                    std::exp(mean(logRatios[1])));
    std::printf("median Orvik CPU: off %.2f s, on %.2f s (%.1f %% of the encoders' %.2f s)\n",
                median(selves[0]), median(selves[1]), 100.0 * median(selves[1]) / median(children[1]),
                median(children[1]));
    // The meters a run keeps (each holds libebur128's buffer) show in the largest resident size.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Orvik's largest resident size: %.1f MB\n", double(usage.ru_maxrss) / 1024.0);
    std::printf("load after: %s\n", qPrintable(loadAverage()));
    return 0;
}
