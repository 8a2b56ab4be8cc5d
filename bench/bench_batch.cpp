// What a batch costs on top of the encoder: the same files encoded once through a real batch
// window (progress sheet, output parser, command log, and with the music library on, the tags
// and the playlist) and once by running the same encoder command lines one after another with
// nothing watching them. The figures that matter: the batch's wall time against the direct one
// (goal: at most 3 % more), and Orvik's own CPU time against lame's (goal: under 2 %).
//
// Then the shared run with several encoders at once (1, 2, 4 and the machine's cores by
// default), each encoder's output read as the progress sheet reads it (the output parser, the
// file's and the whole batch's fraction), against the same command lines run one after another.
// Goal with as many encoders as cores, on two cores: at most 0.55 of the direct time, and
// Orvik's CPU under 2 % of lame's.
//
// Usage: bench_batch [FILES [SECONDS [CONFIGS [ENCODERS]]]]   (defaults: 20 30 off,on 1,2,4,cores)
// CONFIGS lists the music-library settings of the window runs: "off", "on", both, or "-" for
// none. ENCODERS lists the numbers of encoders at once ("cores": the machine's), or "-". A small
// batch (e.g. "4 10 on -") is the one to run under valgrind --tool=callgrind.
#include "BenchSupport.h"

#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/EncoderOutputParser.h"
#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/SettingsStore.h"
#include "platform/Resources.h"
#include "platform/widgets/WindowDescription.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {
using namespace Bench;

void emptyFolder(const QString &path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

// Waits in the event loop, without spinning.
void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int countMp3(const QString &folder)
{
    int count = 0;
    for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.mp3")}, QDir::Files))
        count += file.size() > 0 ? 1 : 0;
    return count;
}

// Notes the moment a visible top-level message box appears, with the CPU times then, and ends
// the wait for it. Watching Show events costs less than polling the top-level widgets.
class AlertWatch : public QObject
{
  public:
    QEventLoop loop;
    QMessageBox *alert = nullptr;
    qint64 shownAt = 0;
    double selfAt = 0, childrenAt = 0;
    const QElapsedTimer *clock = nullptr;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !alert) {
            if (auto *box = qobject_cast<QMessageBox *>(watched); box && box->isWindow()) {
                shownAt = clock->nsecsElapsed();
                selfAt = cpuTime(RUSAGE_SELF);
                childrenAt = cpuTime(RUSAGE_CHILDREN);
                alert = box;
                QTimer::singleShot(0, &loop, &QEventLoop::quit);
            }
        }
        return false;
    }
};

struct Figures
{
    double batchWall = 0, directWall = 0;
    double batchLame = 0, directLame = 0;
    double orvik = 0, directSelf = 0;
};

// Encodes the files through a batch window. Answers the batch's final task records and options,
// for the direct run.
bool encodeWithBatch(LameMaster &master, const QStringList &inputs, const QString &music, Figures &figures,
                     QList<QVariantMap> &tasks, QVariantMap &options)
{
    emptyFolder(music);
    BatchEncoder *batch = BatchEncoder::initWithPreferences(master.preferences());
    for (const QString &input : inputs)
        batch->addFile(input, false);
    QPushButton *encode = WindowDescription::outlet<QPushButton>(batch->window(), "encodeButton");
    if (!encode || batch->taskRecords().size() != inputs.size()) {
        std::fprintf(stderr, "The batch window has no Encode button or did not take the files.\n");
        return false;
    }
    // Let the window settle first: its first layout and paint belong to no run.
    wait(200);

    AlertWatch watch;
    QElapsedTimer clock;
    watch.clock = &clock;
    qApp->installEventFilter(&watch);
    QTimer::singleShot(60 * 60 * 1000, &watch.loop, &QEventLoop::quit);

    const double self = cpuTime(RUSAGE_SELF);
    const double children = cpuTime(RUSAGE_CHILDREN);
    clock.start();
    encode->click();
    // Encode has filled in the output paths by now.
    tasks = batch->taskRecords();
    options = batch->options();
    if (!watch.alert)
        watch.loop.exec();
    qApp->removeEventFilter(&watch);
    if (!watch.alert) {
        std::fprintf(stderr, "No completion alert within an hour.\n");
        return false;
    }
    figures.batchWall = double(watch.shownAt) / 1e9;
    figures.orvik = watch.selfAt - self;
    figures.batchLame = watch.childrenAt - children;

    const QString title = watch.alert->text();
    const QString message = watch.alert->informativeText();
    QAbstractButton *ok = nullptr;
    for (QAbstractButton *button : watch.alert->buttons())
        if (QString(button->text()).remove(u'&') == QLatin1String("OK"))
            ok = button;
    if (!ok) {
        std::fprintf(stderr, "The alert \"%s\" has no OK button.\n", qPrintable(title));
        return false;
    }
    // The controller ends itself once the alert is answered; its deletion is deferred.
    QEventLoop ending;
    QObject::connect(batch, &QObject::destroyed, &ending, &QEventLoop::quit);
    QTimer::singleShot(10000, &ending, &QEventLoop::quit);
    ok->click();
    ending.exec();
    if (title != QLatin1String("Batch complete.") || message.contains(QLatin1String("failed"))) {
        std::fprintf(stderr, "The batch ended with \"%s\" / \"%s\".\n", qPrintable(title),
                     qPrintable(message));
        return false;
    }
    if (countMp3(music) != inputs.size()) {
        std::fprintf(stderr, "The batch wrote %d MP3 files of %lld.\n", countMp3(music),
                     qlonglong(inputs.size()));
        return false;
    }
    return true;
}

// Runs the encoder command lines of the batch's records one after another, into `folder`.
bool encodeDirectly(const QList<QVariantMap> &records, const QVariantMap &options, bool useTags,
                    const QString &folder, Figures &figures)
{
    emptyFolder(folder);
    LamePrefs prefs;
    const std::optional<QStringList> globals = prefs.makeGlobalSwitches(prefs.settings(), options, useTags);
    const QString launcher = Resources::pathForResource(QStringLiteral("lame"));
    if (!globals || launcher.isEmpty()) {
        std::fprintf(stderr, "No switches or no encoder launcher.\n");
        return false;
    }
    QList<QStringList> commands;
    for (QVariantMap task : records) {
        task.insert(kOutputFileKey,
                    folder + u'/' + QFileInfo(task.value(kOutputFileKey).toString()).fileName());
        const std::optional<QStringList> arguments = prefs.makeArgumentList(&task, &*globals, useTags);
        if (!arguments)
            return false;
        commands << *arguments;
    }

    const double self = cpuTime(RUSAGE_SELF);
    const double children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    for (const QStringList &arguments : commands) {
        QProcess process;
        // Nobody reads the progress here; the encoder writes it where it costs nothing.
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(launcher, arguments, QIODevice::ReadOnly);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            std::fprintf(stderr, "The encoder failed on %s.\n", qPrintable(arguments.join(u' ')));
            return false;
        }
    }
    figures.directWall = double(clock.nsecsElapsed()) / 1e9;
    figures.directSelf = cpuTime(RUSAGE_SELF) - self;
    figures.directLame = cpuTime(RUSAGE_CHILDREN) - children;
    return countMp3(folder) == records.size();
}

// Encodes the records (outputs in `folder`) through the shared run, up to `encoders` at once.
// The run reads and parses each encoder's output; the whole batch's fraction is taken at every
// progress record, as the sheet's bar would show it.
bool encodeWithRun(QList<QVariantMap> tasks, const QString &folder, quint32 encoders,
                   const QVariantMap &options, Figures &figures)
{
    emptyFolder(folder);
    LamePrefs prefs;
    EncoderRun run;
    double shown = 0;
    QObject::connect(&run, &EncoderRun::fileUpdated, &run,
                     [&](quint32, const EncoderOutputParser::Update &update) {
                         if (update.field == EncoderOutputParser::Field::Progress)
                             shown = run.batchFraction();
                     });
    QObject::connect(&run, &EncoderRun::logged, &run,
                     [](const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    QEventLoop loop;
    QObject::connect(&run, &EncoderRun::completed, &loop, &QEventLoop::quit);
    QTimer::singleShot(60 * 60 * 1000, &loop, &QEventLoop::quit);

    const double self = cpuTime(RUSAGE_SELF);
    const double children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    run.start({.tasks = &tasks,
               .preferences = &prefs,
               .options = options,
               .outputFolder = folder,
               .asksAboutExistingFiles = true,
               .maxEncoders = encoders});
    if (!run.isCompleted())
        loop.exec();
    figures.batchWall = double(clock.nsecsElapsed()) / 1e9;
    figures.orvik = cpuTime(RUSAGE_SELF) - self;
    figures.batchLame = cpuTime(RUSAGE_CHILDREN) - children;
    if (!run.isCompleted() || run.failedCount() > 0 || countMp3(folder) != tasks.size() || shown < 0.99) {
        std::fprintf(stderr, "The run with %u encoders did not end whole (%u failed, bar at %.2f).\n",
                     encoders, run.failedCount(), shown);
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A home of its own: no user settings read or written, nothing put in the user's music folder,
    // and no session bus (the finished batch would ask the desktop's file manager to show it).
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    const QString home = root.filePath(QStringLiteral("home"));
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    for (const QString &folder : {home + QStringLiteral("/Music"), root.filePath(QStringLiteral("config")),
                                  root.filePath(QStringLiteral("data")), runtime, root.filePath("wav")})
        QDir().mkpath(folder);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            ("unix:path=" + root.filePath(QStringLiteral("no-bus"))).toLocal8Bit());

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");

    const QStringList arguments = application.arguments().mid(1);
    int fileCount = arguments.size() > 0 ? arguments.at(0).toInt() : 20;
    const int length = arguments.size() > 1 ? arguments.at(1).toInt() : 30;
    QStringList configs = arguments.size() > 2 ? arguments.at(2).split(u',') : QStringList{"off", "on"};
    configs.removeAll(QStringLiteral("-"));
    const quint32 cores = quint32(QThread::idealThreadCount());
    QList<quint32> encoderCounts;
    for (const QString &count :
         arguments.size() > 3 ? arguments.at(3).split(u',') : QStringList{"1", "2", "4", "cores"})
        if (count != QLatin1String("-")) {
            const quint32 encoders = count == QLatin1String("cores") ? cores : count.toUInt();
            if (encoders < 1) {
                fileCount = 0;
                break;
            }
            if (!encoderCounts.contains(encoders))
                encoderCounts << encoders;
        }
    if (fileCount < 1 || length < 1) {
        std::fprintf(stderr, "usage: bench_batch [FILES [SECONDS [off,on|- [1,2,4,cores|-]]]]\n");
        return 2;
    }

    const QStringList inputs = makeSines(root.filePath(QStringLiteral("wav")), fileCount, length);
    if (inputs.isEmpty())
        return 1;
    std::printf("%d files of %d s; encoder %s\n", fileCount, length,
                qPrintable(Resources::pathForResource(QStringLiteral("lame"))));

    LameMaster master;
    const QString music = home + QStringLiteral("/Music");
    int status = 0;

    // A first batch of one short file, not measured: the first window, sheet, alert and encoder
    // start of the process pay for loading fonts, styles and caches, which no later run does.
    const QString warmUp = root.filePath(QStringLiteral("warm-up.wav"));
    {
        Figures figures;
        QList<QVariantMap> tasks;
        QVariantMap options;
        if (!run(QStringLiteral("sox"),
                 {"-n", "-r", "44100", "-c", "2", "-b", "16", warmUp, "synth", "1", "sine", "1000"}) ||
            !encodeWithBatch(master, {warmUp}, music, figures, tasks, options))
            return 1;
    }
    for (const QString &config : configs) {
        const bool tunes = config == QLatin1String("on");
        LamePrefs::preferences().setBool(tunes, PrefKey::ITunesIntegration);
        Figures figures;
        QList<QVariantMap> tasks;
        QVariantMap options;
        const QString loadBefore = loadAverage();
        if (!encodeWithBatch(master, inputs, music, figures, tasks, options) ||
            !encodeDirectly(tasks, options, !tunes, root.filePath(QStringLiteral("direct")), figures)) {
            status = 1;
            continue;
        }
        std::printf("\nmusic library %s (load average %s before, %s after)\n", tunes ? "on" : "off",
                    qPrintable(loadBefore), qPrintable(loadAverage()));
        std::printf("  wall time   batch %8.3f s   direct %8.3f s   ratio batch/direct %.4f\n",
                    figures.batchWall, figures.directWall, figures.batchWall / figures.directWall);
        std::printf("  lame CPU    batch %8.3f s   direct %8.3f s\n", figures.batchLame, figures.directLame);
        std::printf("  Orvik CPU   batch %8.3f s   (%.2f %% of lame's)   direct-run driver %.3f s\n",
                    figures.orvik, 100.0 * figures.orvik / figures.batchLame, figures.directSelf);
        std::fflush(stdout);
    }

    // The shared run with several encoders, against the same command lines one after another,
    // measured before and after the runs (other work on the machine shifts both alike).
    if (!encoderCounts.isEmpty()) {
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        const QVariantMap options{{kSampleRateKey, QStringLiteral("44.1")},
                                  {kBitDepthKey, QStringLiteral("16")}};
        const QString folder = root.filePath(QStringLiteral("run"));
        const QString direct = root.filePath(QStringLiteral("direct"));
        QList<QVariantMap> tasks;
        for (const QString &input : inputs)
            tasks.append({{kInputFileKey, input},
                          {kOutputFileKey, folder + u'/' + QFileInfo(input).completeBaseName() + ".mp3"}});
        Figures before, after;
        const QString loadBefore = loadAverage();
        if (!encodeDirectly(tasks, options, true, direct, before))
            return 1;
        QList<Figures> rows;
        for (const quint32 encoders : encoderCounts) {
            Figures figures;
            if (!encodeWithRun(tasks, folder, encoders, options, figures))
                return 1;
            rows << figures;
        }
        if (!encodeDirectly(tasks, options, true, direct, after))
            return 1;
        const double directWall = (before.directWall + after.directWall) / 2;
        std::printf("\nshared run, %u cores (load average %s before, %s after)\n", cores,
                    qPrintable(loadBefore), qPrintable(loadAverage()));
        std::printf("  direct, one after another: %8.3f s before, %8.3f s after; lame CPU %8.3f s (%.2f "
                    "cores busy)\n",
                    before.directWall, after.directWall, (before.directLame + after.directLame) / 2,
                    (before.directLame + after.directLame) / (before.directWall + after.directWall));
        for (qsizetype i = 0; i < rows.size(); ++i)
            std::printf(
                "  %2u at once   wall %8.3f s   ratio run/direct %.4f   lame CPU %8.3f s (%.2f cores busy)   "
                "Orvik CPU %7.3f s (%.2f %% of lame's)\n",
                encoderCounts[i], rows[i].batchWall, rows[i].batchWall / directWall, rows[i].batchLame,
                rows[i].batchLame / rows[i].batchWall, rows[i].orvik,
                100.0 * rows[i].orvik / rows[i].batchLame);
        std::fflush(stdout);
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    return status;
}
