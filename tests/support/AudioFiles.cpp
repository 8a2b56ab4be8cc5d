#include "support/AudioFiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <sndfile.h>
#include <vector>

namespace AudioFiles {
bool haveProgram(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

int run(const QString &program, const QStringList &arguments, QString *errors, const QStringList &environment)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setEnvironment(environment);
    process.start(program, arguments);
    // Encoding a second of audio takes a fraction of that; the limit only stops a hung tool.
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (errors)
        *errors = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool makeSine(const QString &path, double seconds, bool raw, int hertz)
{
    QStringList arguments = {"-n", "-r", "44100", "-c", "2", "-b", "16"};
    if (raw)
        arguments += {"-e", "signed-integer", "-t", "raw"};
    arguments << path << "synth" << QString::number(seconds) << "sine" << QString::number(hertz);
    return run(QStringLiteral("sox"), arguments) == 0 && QFile::exists(path);
}

bool makeSound(const QString &path, double seconds, int channels)
{
    if (!path.endsWith(QStringLiteral(".opus")))
        return makeSine(path, seconds);
    SF_INFO format{0, 48000, channels, SF_FORMAT_OGG | SF_FORMAT_OPUS, 0, 0};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &format);
    const auto frames = sf_count_t(48000 * seconds);
    std::vector<float> samples(size_t(frames) * size_t(channels));
    const bool written = file && sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

namespace {
// sox's statistics of the audio after `effects` (it prints them on standard error), an MP3
// decoded first; empty when they cannot be had.
QString statistics(const QString &audio, const QStringList &effects)
{
    QString wav = audio;
    if (audio.endsWith(QLatin1String(".mp3"))) {
        wav = audio + QStringLiteral(".decoded.wav");
        if (run(QStringLiteral("lame"), {"--quiet", "--decode", audio, wav}) != 0)
            return QString();
    }
    QString text;
    const int status =
        run(QStringLiteral("sox"), QStringList{wav, "-n"} + effects + QStringList{"stat"}, &text);
    if (wav != audio)
        QFile::remove(wav);
    return status == 0 ? text : QString();
}

double statistic(const QString &text, const char *name)
{
    const QRegularExpression line(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?[0-9.]+)"));
    const QRegularExpressionMatch match = line.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}
} // namespace

double decodedSeconds(const QString &mp3)
{
    return statistic(statistics(mp3, {}), "Length\\s+\\(seconds\\)");
}

double amplitudeAbove(const QString &audio, int hertz)
{
    // sox's high-pass sinc filter, then its statistics.
    return statistic(statistics(audio, {"sinc", QString::number(hertz)}), "RMS\\s+amplitude");
}

Levels levels(const QString &audio)
{
    const QString text = statistics(audio, {});
    if (text.isEmpty())
        return {};
    return {
        qMax(qAbs(statistic(text, "Maximum\\s+amplitude")), qAbs(statistic(text, "Minimum\\s+amplitude"))),
        statistic(text, "RMS\\s+amplitude")};
}

QString writeFakeInput(const QString &path, double seconds, int exitStatus, double ending)
{
    const QByteArray text =
        QString("\nseconds=%1\nexit=%2\nending=%3\n").arg(seconds).arg(exitStatus).arg(ending).toUtf8();
    SF_INFO format{0, 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 0, 0};
    if (SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &format)) {
        sf_write_raw(file, text.constData(), text.size());
        sf_close(file);
    }
    return path;
}
} // namespace AudioFiles
