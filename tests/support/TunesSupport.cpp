#include "support/TunesSupport.h"

#include "support/AudioFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QString copyOfMade(bool mp3, const QString &folder, const QString &name)
{
    static QTemporaryDir made;
    static const QString wav = made.filePath(QStringLiteral("tone.wav"));
    static const bool ok =
        AudioFiles::makeSine(wav, 0.5) &&
        AudioFiles::run(QStringLiteral("lame"), {"--quiet", wav, made.filePath("tone.mp3")}) == 0;
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    const QString source = made.filePath(mp3 ? QStringLiteral("tone.mp3") : QStringLiteral("tone.wav"));
    return ok && QDir().mkpath(folder) && QFile::copy(source, target) ? target : QString();
}
} // namespace

QString makeTestMp3(const QString &folder, const QString &name)
{
    return copyOfMade(true, folder, name);
}

QString makeTestWav(const QString &folder, const QString &name)
{
    return copyOfMade(false, folder, name);
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
