#include "BenchSupport.h"

#include <QFile>
#include <QProcess>
#include <cstdio>
#include <sys/resource.h>

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
