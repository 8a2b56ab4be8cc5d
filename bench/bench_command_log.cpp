// How long one append to the command log takes as the log grows: lame's progress records, one
// chunk each, into logs of 1 000, 100 000 and 500 000 chunks, with the window hidden and shown.
// The figure that matters is the time per append near the end of the big logs: it must stay what
// it is near the start, whatever the size of the log. Then one line of 10 MB, which must not stall
// the log either.
#include "app/CommandLog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {
QString progressRecord(int frame, int total)
{
    // The record lame writes about ten times a second, each after a carriage return.
    return QStringLiteral("\r%1/%2   (%3%)|    0:01/    0:04|    0:01/    0:04|   25.821x|    0:03 ")
        .arg(frame, 6)
        .arg(total, -8)
        .arg(frame * 100 / total, 2);
}

void measure(int chunks, bool shown)
{
    CommandLog log;
    if (shown) {
        log.showWindow();
        QApplication::processEvents();
    }
    log.logCommand(
        QStringLiteral("/usr/share/orvik/encoder/lame"),
        {"-k", "--short", "-q", "2", "-b", "128", "-e", "n", "/music/a file.wav", "/music/a file.mp3"});

    // Time the first and the last thousand appends apart from the whole: a cost that grows with
    // the log shows as a last thousand slower than the first.
    const int window = qMin(1000, chunks);
    qint64 first = 0, last = 0;
    QElapsedTimer total, slice;
    total.start();
    for (int i = 0; i < chunks; ++i) {
        if (i == 0 || i == chunks - window)
            slice.start();
        log.logOutput(progressRecord(i + 1, chunks));
        // The application returns to its event loop between chunks; a shown window repaints then.
        if (shown && i % 10 == 9)
            QApplication::processEvents();
        if (i == window - 1)
            first = slice.nsecsElapsed();
        if (i == chunks - 1)
            last = slice.nsecsElapsed();
    }
    QApplication::processEvents();
    const double all = double(total.nsecsElapsed());
    std::printf("%-6s %7d chunks: %6.2f us/append overall, first 1000 %6.2f us, last 1000 %6.2f us\n",
                shown ? "shown" : "hidden", chunks, all / chunks / 1000.0, double(first) / window / 1000.0,
                double(last) / window / 1000.0);
    std::fflush(stdout);

    if (!shown) {
        // Opening the window lays out what it shows, not the whole log.
        QElapsedTimer opening;
        opening.start();
        log.showWindow();
        QApplication::processEvents();
        std::printf("       opening the window on it: %.1f ms\n", double(opening.nsecsElapsed()) / 1e6);
    }

    QElapsedTimer clearing;
    clearing.start();
    log.clearLog();
    std::printf("       clearing it: %.1f ms\n", double(clearing.nsecsElapsed()) / 1e6);
}

// One line of `kilobytes` (10 MB: a runaway setting sent as an argument, an encoder gone wrong),
// as a command and as output, then a progress record after it: the log must take them and stay
// responsive.
void measureLongLine(bool shown, int kilobytes = 10 * 1024)
{
    CommandLog log;
    if (shown) {
        log.showWindow();
        QApplication::processEvents();
    }
    const QString huge(qsizetype(kilobytes) * 1024, u'9');
    QElapsedTimer timer;
    timer.start();
    log.logCommand(QStringLiteral("/usr/share/orvik/encoder/lame"),
                   {"-b", huge, "/music/a file.wav", "/music/a file.mp3"});
    QApplication::processEvents();
    const double command = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    log.logOutput(huge);
    log.logOutput(QStringLiteral("\n"));
    QApplication::processEvents();
    const double output = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    log.logOutput(progressRecord(1, 100));
    QApplication::processEvents();
    const double next = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%-6s %d KB line: as a command %.1f ms, as output %.1f ms, the next record %.2f ms\n",
                shown ? "shown" : "hidden", kilobytes, command, output, next);
    if (!shown) {
        timer.restart();
        log.showWindow();
        QApplication::processEvents();
        std::printf("       opening the window on it: %.1f ms\n", double(timer.nsecsElapsed()) / 1e6);
    }
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The log reads the font size from the settings store; keep the user's own out of it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QDir(config.path()).absolutePath().toLocal8Bit());
    QApplication application(argc, argv);

    // Arguments: "hidden" or "shown" and chunk counts, to measure one case alone; "long" and a
    // size in kilobytes (10 MB when not given) for the long line alone.
    QList<bool> modes = {false, true};
    QList<int> counts = {1000, 100000, 500000};
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("long")) {
        const int kilobytes = arguments.size() > 1 ? arguments.at(1).toInt() : 10 * 1024;
        for (bool shown : modes)
            measureLongLine(shown, kilobytes);
        return 0;
    }
    if (!arguments.isEmpty()) {
        modes = {arguments.first() == QLatin1String("shown")};
        counts.clear();
        for (const QString &count : arguments.mid(1))
            counts << count.toInt();
    }
    for (bool shown : modes) {
        for (int chunks : counts)
            measure(chunks, shown);
        if (arguments.isEmpty())
            measureLongLine(shown);
    }
    return 0;
}
