#include "support/TunesSupport.h"

#include "support/AudioFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

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

QString id3Frame(const QString &path, const char *id)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    const auto frames = file.hasID3v2Tag() ? file.ID3v2Tag()->frameList(id) : TagLib::ID3v2::FrameList();
    return frames.isEmpty() ? QString() : QString::fromUtf8(frames.front()->toString().toCString(true));
}
