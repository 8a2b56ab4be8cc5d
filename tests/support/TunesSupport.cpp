#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

TunesRecorder::TunesRecorder()
{
    previous = AESetReceiver(fourCharCode("hook"), [this](const AppleEvent *event, AppleEvent *reply,
                                                          AESendMode sendMode, long timeout) {
        Sent record;
        record.printed = AEPrintDesc(event);
        record.sendMode = sendMode;
        record.timeout = timeout;
        record.hadReply = reply != nullptr;
        AEDesc attribute;
        AEInitializeDesc(&attribute);
        AEGetAttributeDesc(event, keyEventClassAttr, typeType, &attribute);
        record.eventClass = AEFourCharCodeFromData(AEDescBytes(&attribute));
        AEDisposeDesc(&attribute);
        AEGetAttributeDesc(event, keyEventIDAttr, typeType, &attribute);
        record.eventID = AEFourCharCodeFromData(AEDescBytes(&attribute));
        AEDisposeDesc(&attribute);
        AEGetAttributeDesc(event, keyReturnIDAttr, typeSInt16, &attribute);
        std::memcpy(&record.returnID, AEDescBytes(&attribute).constData(), sizeof record.returnID);
        AEDisposeDesc(&attribute);
        AEGetAttributeDesc(event, keyTransactionIDAttr, typeSInt32, &attribute);
        std::memcpy(&record.transactionID, AEDescBytes(&attribute).constData(), sizeof record.transactionID);
        AEDisposeDesc(&attribute);
        AEGetAttributeDesc(event, keyAddressAttr, typeWildCard, &attribute);
        record.address = AEPrintDesc(&attribute);
        AEDisposeDesc(&attribute);
        AEDuplicateDesc(event, &record.event);

        const int index = int(sent.size());
        sent << record;
        if (reply && !answerWithoutObject) {
            const qint32 answer = index + 1;
            AEPutParamPtr(reply, keyDirectObject, typeSInt32, &answer, sizeof answer);
        }
        return failures.value(index, noErr);
    });
}

TunesRecorder::~TunesRecorder()
{
    for (Sent &record : sent)
        AEDisposeDesc(&record.event);
    AESetReceiver(fourCharCode("hook"), previous);
}

QStringList TunesRecorder::printed() const
{
    QStringList events;
    for (const Sent &record : sent)
        events << record.printed;
    return events;
}

QString TunesRecorder::answerFor(int index)
{
    return QStringLiteral("'long'(%1)").arg(index + 1);
}

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString cachedFile(const QString &suffix)
{
    static QTemporaryDir folder;
    static QString wav;
    static QString mp3;
    if (wav.isEmpty()) {
        const QString path = folder.filePath(QStringLiteral("tone.wav"));
        if (run(QStringLiteral("sox"),
                {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                 QStringLiteral("2"), path, QStringLiteral("synth"), QStringLiteral("0.5"),
                 QStringLiteral("sine"), QStringLiteral("440")}))
            wav = path;
    }
    if (mp3.isEmpty() && !wav.isEmpty()) {
        const QString path = folder.filePath(QStringLiteral("tone.mp3"));
        if (run(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, path}))
            mp3 = path;
    }
    return suffix == QLatin1String("mp3") ? mp3 : wav;
}

QString copyTo(const QString &source, const QString &folder, const QString &name)
{
    if (source.isEmpty())
        return QString();
    QDir().mkpath(folder);
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    return QFile::copy(source, target) ? target : QString();
}

} // namespace

QString makeTestMp3(const QString &folder, const QString &name)
{
    return copyTo(cachedFile(QStringLiteral("mp3")), folder, name);
}

QString makeTestWav(const QString &folder, const QString &name)
{
    return copyTo(cachedFile(QStringLiteral("wav")), folder, name);
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
