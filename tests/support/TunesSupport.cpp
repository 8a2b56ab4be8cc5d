#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

TunesRecorder::TunesRecorder()
{
    previous = AESetReceiver(
        fourCharCode("hook"), [this](const AppleEvent *event, AppleEvent *reply, AESendMode sendMode, long) {
            FSRef ref;
            const bool hasFile =
                !AEGetParamPtr(event, keyDirectObject, typeFSRef, nullptr, &ref, sizeof ref, nullptr);
            sent << Sent{AEPrintDesc(event), sendMode, hasFile ? FSRefPath(&ref) : QString()};
            const qint32 answer = qint32(sent.size());
            if (reply && !answerWithoutObject)
                AEPutParamPtr(reply, keyDirectObject, typeSInt32, &answer, sizeof answer);
            return failures.value(answer - 1, noErr);
        });
}

QStringList TunesRecorder::printed() const
{
    QStringList events;
    for (const Sent &record : sent)
        events << record.printed;
    return events;
}

namespace {

QString cachedFile(bool mp3)
{
    static QTemporaryDir folder;
    static const QString wav = folder.filePath(QStringLiteral("tone.wav"));
    static const QString made = folder.filePath(QStringLiteral("tone.mp3"));
    static const bool ok = QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", wav,
                                                                     "synth", "0.5", "sine", "440"}) == 0 &&
                           QProcess::execute(QStringLiteral("lame"), {"--quiet", wav, made}) == 0;
    return ok ? (mp3 ? made : wav) : QString();
}

QString copyTo(const QString &source, const QString &folder, const QString &name)
{
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    return !source.isEmpty() && QDir().mkpath(folder) && QFile::copy(source, target) ? target : QString();
}

} // namespace

QString makeTestMp3(const QString &folder, const QString &name)
{
    return copyTo(cachedFile(true), folder, name);
}

QString makeTestWav(const QString &folder, const QString &name)
{
    return copyTo(cachedFile(false), folder, name);
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
