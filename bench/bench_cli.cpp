// What orvik-encode gains by encoding several files at once: the same files encoded by the
// built orvik-encode with -j 2 (the run, the output parser, the progress lines in a pipe, the
// summary), and by the same encoder command lines run one after another with nothing watching
// them, before and after. Goal on two cores: orvik-encode -j 2 takes at most 0.55 of the direct
// time. Orvik's own CPU time is what orvik-encode and its encoders took beyond the encoders'
// time in the direct run.
//
// Usage: bench_cli [FILES [SECONDS [JOBS]]]   (defaults: 20 30 2)
// Both the music library off (--no-library) and on (the factory setting) are measured.
#include "BenchSupport.h"

#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "platform/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
using namespace Bench;

struct Figures
{
    double wall = 0;
    double cpu = 0; // of everything the bench waited for: orvik-encode and its encoders, or lame
};

void emptyFolder(const QString &path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

int countMp3(const QString &folder)
{
    int count = 0;
    for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.mp3")}, QDir::Files))
        count += file.size() > 0 ? 1 : 0;
    return count;
}

// The encoder command lines orvik-encode runs for `inputs`, written into `folder`, one after
// another; the progress goes where nobody reads it.
bool encodeDirectly(const QStringList &inputs, bool useTags, const QString &folder, Figures &figures)
{
    emptyFolder(folder);
    LamePrefs prefs;
    const QVariantMap options{{kSampleRateKey, QStringLiteral("44.1")}};
    const std::optional<QStringList> globals = prefs.makeGlobalSwitches(prefs.settings(), options, useTags);
    const QString launcher = Resources::pathForResource(QStringLiteral("lame"));
    if (!globals || launcher.isEmpty())
        return false;
    QList<QStringList> commands;
    for (const QString &input : inputs) {
        const QVariantMap task{{kInputFileKey, input},
                               {kOutputFileKey, OutputNames::forInput(input, folder)}};
        if (const std::optional<QStringList> arguments = prefs.makeArgumentList(&task, &*globals, useTags))
            commands << *arguments;
    }
    const double children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    for (const QStringList &arguments : std::as_const(commands)) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(launcher, arguments, QIODevice::ReadOnly);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return false;
    }
    figures.wall = double(clock.nsecsElapsed()) / 1e9;
    figures.cpu = cpuTime(RUSAGE_CHILDREN) - children;
    return countMp3(folder) == inputs.size();
}

// orvik-encode on the folder of inputs, as a script would run it: its progress lines into a pipe
// that is read, its summary at the end.
bool encodeWithCli(const QString &program, const QString &inputs, int count, const QStringList &options,
                   const QString &folder, Figures &figures)
{
    emptyFolder(folder);
    QProcess process;
    const double children = cpuTime(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    process.start(program, options + QStringList{"-o", folder, inputs});
    QByteArray errors;
    while (process.state() != QProcess::NotRunning && process.waitForReadyRead(-1))
        errors += process.readAllStandardError();
    process.waitForFinished(-1);
    figures.wall = double(clock.nsecsElapsed()) / 1e9;
    figures.cpu = cpuTime(RUSAGE_CHILDREN) - children;
    errors += process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        countMp3(folder) != count) {
        std::fprintf(stderr, "orvik-encode %s ended with %d:\n%s\n", qPrintable(options.join(u' ')),
                     process.exitCode(), errors.constData());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    // A home of its own: no user settings read or written, nothing put in the user's music folder.
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    const QString home = root.filePath(QStringLiteral("home"));
    for (const QString &folder : {home + QStringLiteral("/Music"), root.filePath(QStringLiteral("config")),
                                  root.filePath(QStringLiteral("wav"))})
        QDir().mkpath(folder);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());

    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const int fileCount = arguments.size() > 0 ? arguments.at(0).toInt() : 20;
    const int length = arguments.size() > 1 ? arguments.at(1).toInt() : 30;
    const int jobs = arguments.size() > 2 ? arguments.at(2).toInt() : 2;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../orvik-encode");
    if (fileCount < 1 || length < 1 || jobs < 1 || !QFileInfo(program).isExecutable()) {
        std::fprintf(stderr,
                     "usage: bench_cli [FILES [SECONDS [JOBS]]] (orvik-encode built beside bench/)\n");
        return 2;
    }

    const QStringList inputs = makeSines(root.filePath(QStringLiteral("wav")), fileCount, length);
    if (inputs.isEmpty())
        return 1;
    std::printf("%d files of %d s, orvik-encode -j %d; encoder %s\n", fileCount, length, jobs,
                qPrintable(Resources::pathForResource(QStringLiteral("lame"))));

    const QString wav = root.filePath(QStringLiteral("wav"));
    const QString out = root.filePath(QStringLiteral("out"));
    const QString direct = root.filePath(QStringLiteral("direct"));
    const QString loadBefore = loadAverage();
    Figures before, withoutLibrary, withLibrary, after;
    const QStringList common{"--quiet", "-j", QString::number(jobs)};
    if (!encodeDirectly(inputs, true, direct, before) ||
        !encodeWithCli(program, wav, fileCount, common + QStringList{"--no-library"}, out, withoutLibrary) ||
        !encodeWithCli(program, wav, fileCount, common, out, withLibrary) ||
        !encodeDirectly(inputs, true, direct, after))
        return 1;
    const double directWall = (before.wall + after.wall) / 2;
    const double directCpu = (before.cpu + after.cpu) / 2;
    std::printf("load average %s before, %s after\n", qPrintable(loadBefore), qPrintable(loadAverage()));
    std::printf("  direct, one after another   wall %8.3f s before, %8.3f s after; CPU %8.3f s\n",
                before.wall, after.wall, directCpu);
    for (const auto &[name, figures] :
         {std::pair{"--no-library", withoutLibrary}, std::pair{"library on", withLibrary}})
        std::printf("  orvik-encode %-13s wall %8.3f s   ratio %.4f (goal <= 0.55)   CPU %8.3f s (%+.3f s "
                    "beyond the encoders)\n",
                    name, figures.wall, figures.wall / directWall, figures.cpu, figures.cpu - directCpu);
    std::fflush(stdout);
    return withoutLibrary.wall / directWall <= 0.55 && withLibrary.wall / directWall <= 0.55 ? 0 : 3;
}
