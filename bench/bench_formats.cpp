// What a batch of FLAC files costs against the same audio as WAV: both go through a real batch
// window (the encoder decodes the FLAC itself; the input check, the tags read when a file is added
// and the length check after each file included). The batches alternate, WAV then FLAC, for a
// number of rounds, so that the load of a shared machine falls on both alike; the figure that
// matters is the FLAC batch's wall time against the WAV batch's (goal: at most 1.10). On a shared
// machine wall times wander by tens of per cent from one batch to the next, so the benchmark also
// measures, in this process alone, the work the encoder does on top for FLAC: reading the same
// files with libsndfile, which is how the encoder reads them.
//
// Usage: bench_formats [FILES [SECONDS [ROUNDS]]]   (defaults: 20 30 3)
#include "BenchSupport.h"

#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sndfile.h>
#include <sys/resource.h>
#include <vector>

namespace {
using namespace Bench;

// The first visible message box: the completion alert, which ends the measured time.
class AlertWatch : public QObject
{
  public:
    QEventLoop loop;
    QMessageBox *alert = nullptr;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (event->type() == QEvent::Show && !alert && box && box->isWindow()) {
            alert = box;
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
        }
        return false;
    }
};

struct Figures
{
    double wall = 0, lame = 0;
};

// Encodes `inputs` through a batch window; false unless every file became an MP3.
bool encodeWithBatch(LameMaster &master, const QStringList &inputs, const QString &music, Figures &figures)
{
    QDir(music).removeRecursively();
    QDir().mkpath(music);
    BatchEncoder *batch = BatchEncoder::initWithPreferences(master.preferences());
    for (const QString &input : inputs)
        batch->addFile(input, false);
    QPushButton *encode = WindowDescription::outlet<QPushButton>(batch->window(), "encodeButton");
    if (!encode || batch->taskRecords().size() != inputs.size())
        return false;
    AlertWatch watch;
    qApp->installEventFilter(&watch);
    const double children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    encode->click();
    if (!watch.alert)
        watch.loop.exec();
    figures.wall = double(clock.nsecsElapsed()) / 1e9;
    figures.lame = cpuTime(RUSAGE_CHILDREN) - children;
    qApp->removeEventFilter(&watch);
    const QString message = watch.alert->informativeText();
    QEventLoop ending;
    QObject::connect(batch, &QObject::destroyed, &ending, &QEventLoop::quit);
    for (QAbstractButton *button : watch.alert->buttons())
        if (QString(button->text()).remove(u'&') == QLatin1String("OK"))
            button->click();
    ending.exec();
    const qsizetype written = QDir(music).entryList({QStringLiteral("*.mp3")}, QDir::Files).size();
    if (message.contains(QLatin1String("failed")) || written != inputs.size()) {
        std::fprintf(stderr, "The batch ended with \"%s\", %lld MP3 files.\n", qPrintable(message),
                     qlonglong(written));
        return false;
    }
    return true;
}

// Thread CPU seconds spent reading every sample of `files` as the encoder's reader does.
double readingTime(const QStringList &files)
{
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    std::vector<short> samples(2 * 4096);
    for (const QString &path : files) {
        SF_INFO info{};
        SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        while (file && sf_readf_short(file, samples.data(), 4096) > 0) {
        }
        sf_close(file);
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    const QString home = root.filePath(QStringLiteral("home"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    for (const QString &folder : {home + QStringLiteral("/Music"), root.filePath(QStringLiteral("config")),
                                  runtime, root.filePath(QStringLiteral("in"))})
        QDir().mkpath(folder);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            ("unix:path=" + root.filePath(QStringLiteral("no-bus"))).toLocal8Bit());

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");

    const QStringList arguments = application.arguments().mid(1);
    const int fileCount = arguments.size() > 0 ? arguments.at(0).toInt() : 20;
    const int length = arguments.size() > 1 ? arguments.at(1).toInt() : 30;
    const int rounds = arguments.size() > 2 ? arguments.at(2).toInt() : 3;
    if (fileCount < 1 || length < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_formats [FILES [SECONDS [ROUNDS]]]\n");
        return 2;
    }
    QStringList wavs, flacs;
    for (int i = 0; i < fileCount; ++i) {
        const QString base = root.filePath(QStringLiteral("in/track%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        if (!run(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", base + ".wav", "synth",
                                         QString::number(length), "sine", QString::number(220 + 37 * i)}) ||
            !run(QStringLiteral("sox"), {base + ".wav", base + ".flac"}))
            return 1;
        wavs << base + ".wav";
        flacs << base + ".flac";
    }
    LameMaster master;
    LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
    const QString music = home + QStringLiteral("/Music");
    Figures warmUp;
    if (!encodeWithBatch(master, wavs.mid(0, 1), music, warmUp))
        return 1;

    std::printf("%d files of %d s, %d rounds (WAV then FLAC each round)\n", fileCount, length, rounds);
    QList<double> wavWall, flacWall, ratios;
    for (int round = 1; round <= rounds; ++round) {
        Figures wav, flac;
        if (!encodeWithBatch(master, wavs, music, wav) || !encodeWithBatch(master, flacs, music, flac))
            return 1;
        wavWall << wav.wall;
        flacWall << flac.wall;
        ratios << flac.wall / wav.wall;
        std::printf("  round %d   WAV %7.3f s (lame CPU %7.3f s)   FLAC %7.3f s (lame CPU %7.3f s)   "
                    "ratio %.4f\n",
                    round, wav.wall, wav.lame, flac.wall, flac.lame, ratios.last());
        std::fflush(stdout);
    }
    std::printf("median wall time   WAV %.3f s   FLAC %.3f s   median ratio FLAC/WAV %.4f\n", median(wavWall),
                median(flacWall), median(ratios));
    QList<double> wavRead, flacRead;
    for (int round = 0; round < 5; ++round) {
        wavRead << readingTime(wavs);
        flacRead << readingTime(flacs);
    }
    std::printf("reading every file with libsndfile (median of 5, CPU)   WAV %.3f s   FLAC %.3f s\n"
                "  FLAC's extra reading against the WAV batch's median wall time: %.2f %%\n",
                median(wavRead), median(flacRead),
                100.0 * (median(flacRead) - median(wavRead)) / median(wavWall));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    return 0;
}
