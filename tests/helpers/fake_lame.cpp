// A stand-in for the encoder, for tests that need a timing the real one cannot promise. It
// takes lame's command line, reads its instructions from the input file ("seconds=<s>",
// "exit=<status>", one per line), prints lame-like output on standard error while it writes
// the output file bit by bit, and ends with the status it was told. SIGTERM ends it at once,
// as it ends lame.
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "fake lame: no input or output\n");
        return 1;
    }
    const QString input = arguments.at(arguments.size() - 2);
    const QString output = arguments.last();
    QFile instructions(input);
    if (!instructions.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Could not find \"%s\".\nCan't init infile '%s'\n", qPrintable(input),
                     qPrintable(input));
        return 255;
    }
    double seconds = 0.2;
    int status = 0;
    for (const QByteArray &line : instructions.readAll().split('\n')) {
        if (line.startsWith("seconds="))
            seconds = line.mid(8).toDouble();
        else if (line.startsWith("exit="))
            status = line.mid(5).toInt();
    }
    QFile mp3(output);
    if (!mp3.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "Can't init outfile '%s'\n", qPrintable(output));
        return 255;
    }
    std::fprintf(stderr, "LAME 3.100 64bits (http://lame.sf.net)\n");
    std::fprintf(stderr, "Using polyphase lowpass filter, transition band: 16538 Hz - 17071 Hz\n");
    std::fprintf(stderr, "Encoding %s to %s\n", qPrintable(input), qPrintable(output));
    const int steps = 20;
    const int total = 1000;
    for (int step = 1; step <= steps; ++step) {
        QThread::usleep(static_cast<unsigned long>(seconds * 1e6 / steps));
        // One real, silent MPEG-1 layer III frame (128 kbit/s, 44.1 kHz) per step, so that the
        // output is an MP3 the music library takes.
        QByteArray frame(417, '\0');
        frame.replace(0, 4, QByteArray::fromHex("fffb9064"));
        mp3.write(frame);
        mp3.flush();
        const int done = total * step / steps;
        std::fprintf(stderr, "\r%6d/%-6d(%3d%%)|    0:00/    0:01|    0:00/    0:01|   0.0x|    0:01 ", done,
                     total, 100 * done / total);
        std::fflush(stderr);
    }
    std::fprintf(stderr, "\n");
    return status;
}
