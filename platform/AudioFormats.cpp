#include "platform/AudioFormats.h"

#include <QFileInfo>

namespace {
struct Kind
{
    const char *extension;
    const char *name;
};
// clang-format off
const Kind kinds[] = {
    {"aiff", "AIFF"}, {"aif", "AIFF"}, {"aifc", "AIFF"}, {"aic", "AIFF"}, {"wav", "WAV"},
    {"al", nullptr}, {"ul", nullptr}, {"au", nullptr}, {"snd", nullptr}, {"iff", nullptr},
    {"cdda", "AIFF"}, {"flac", "FLAC"}, {"ogg", "Ogg"}, {"oga", "Ogg"}, {"opus", "Opus"},
};
// clang-format on
} // namespace

namespace AudioFormats {
const QStringList &extensions()
{
    static const QStringList list = [] {
        QStringList all;
        for (const Kind &kind : kinds)
            all << QString::fromLatin1(kind.extension) << QString::fromLatin1(kind.extension).toUpper();
        return all;
    }();
    return list;
}

bool isAccepted(const QString &path)
{
    return extensions().contains(QFileInfo(path).suffix());
}

QString kindName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const Kind &kind : kinds)
        if (suffix == QLatin1String(kind.extension))
            return QString::fromLatin1(kind.name);
    return QString();
}
} // namespace AudioFormats
