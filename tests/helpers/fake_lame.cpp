// A stand-in encoder for tests that need a timing the real one cannot promise. It takes lame's
// command line, reads "seconds=", "exit=" and "ending=" lines from its input, prints lame-like text
// while it writes its output frame by frame, and ends with the status it was told. SIGTERM ends it
// at once, or with "ending" that much later after writing its output once more, opened anew.
#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {
// One real, silent MPEG-1 layer III frame (128 kbit/s, 44.1 kHz): the music library takes the output.
constexpr int kFrameSize = 417;
char frameBytes[kFrameSize] = {char(0xff), char(0xfb), char(0x90), char(0x64)};
char outputPath[4096];
timespec endingTime{};

void endSlowly(int) // only async-signal-safe calls
{
    nanosleep(&endingTime, nullptr);
    if (const int fd = open(outputPath, O_WRONLY | O_CREAT | O_APPEND, 0644); fd >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd, frameBytes, kFrameSize);
        close(fd);
    }
    signal(SIGTERM, SIG_DFL);
    raise(SIGTERM);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const QString input = arguments.value(arguments.size() - 2), output = arguments.last();
    QFile instructions(input), mp3(output);
    if (arguments.size() < 3 || !instructions.open(QIODevice::ReadOnly) || !mp3.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "Can't init infile '%s' or outfile '%s'\n", qPrintable(input),
                     qPrintable(output));
        return 255;
    }
    QMap<QByteArray, double> told{{"seconds", 0.2}, {"exit", 0}, {"ending", 0}};
    for (const QByteArray &line : instructions.readAll().split('\n'))
        if (const QList<QByteArray> pair = line.split('='); pair.size() == 2 && told.contains(pair[0]))
            told[pair[0]] = pair[1].toDouble();
    if (const double ending = told["ending"]; ending > 0) {
        qstrncpy(outputPath, QFile::encodeName(output).constData(), sizeof outputPath);
        endingTime = {time_t(ending), long((ending - double(time_t(ending))) * 1e9)};
        signal(SIGTERM, endSlowly);
    }
    std::fprintf(stderr, "LAME 3.100 64bits (http://lame.sf.net)\n"
                         "Using polyphase lowpass filter, transition band: 16538 Hz - 17071 Hz\n");
    // Each step's frame is written before its wait: the output has begun as soon as the stand-in runs.
    for (int done = 50; done <= 1000; done += 50) {
        mp3.write(frameBytes, kFrameSize);
        mp3.flush();
        std::fprintf(stderr, "\r%6d/1000  (%3d%%)|    0:00/    0:01|    0:00/    0:01|   0.0x|    0:01 ",
                     done, done / 10);
        std::fflush(stderr);
        QThread::usleep(static_cast<unsigned long>(told["seconds"] * 1e6 / 20));
    }
    std::fprintf(stderr, "\n");
    return int(told["exit"]);
}
