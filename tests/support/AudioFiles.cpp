#include "support/AudioFiles.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

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

bool makeSine(const QString &path, double seconds, bool raw)
{
    QStringList arguments = {"-n", "-r", "44100", "-c", "2", "-b", "16"};
    if (raw)
        arguments << "-e"
                  << "signed-integer"
                  << "-t"
                  << "raw";
    arguments << path << "synth" << QString::number(seconds) << "sine"
              << "440";
    return run(QStringLiteral("sox"), arguments) == 0 && QFile::exists(path);
}

double decodedSeconds(const QString &mp3)
{
    const QString wav = mp3 + QStringLiteral(".decoded.wav");
    if (run(QStringLiteral("lame"), {"--quiet", "--decode", mp3, wav}) != 0)
        return -1.0;
    QFile file(wav);
    if (!file.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray header = file.read(4096);
    file.close();
    QFile::remove(wav);
    // Walk the RIFF chunks for the format (rate, channels, bits) and the size of the data.
    auto le = [&](qsizetype at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | quint8(header.at(at + i));
        return value;
    };
    if (header.size() < 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WAVE")
        return -1.0;
    quint32 rate = 0, channels = 0, bits = 0;
    for (qsizetype at = 12; at + 8 <= header.size();) {
        const QByteArray id = header.mid(at, 4);
        const quint32 size = le(at + 4, 4);
        if (id == "fmt " && at + 24 <= header.size()) {
            channels = le(at + 10, 2);
            rate = le(at + 12, 4);
            bits = le(at + 22, 2);
        } else if (id == "data") {
            if (!rate || !channels || !bits)
                return -1.0;
            return double(size) / (double(rate) * channels * (bits / 8));
        }
        at += 8 + size + (size & 1);
    }
    return -1.0;
}
} // namespace AudioFiles
