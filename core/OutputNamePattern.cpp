#include "core/OutputNamePattern.h"

#include "core/LamePrefs.h"
#include "core/OutputNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace OutputNamePattern {
namespace {
constexpr qsizetype kMaxNameBytes = 255;

const QRegularExpression &placeholders()
{
    static const QRegularExpression form(QStringLiteral("\\{([^{}/]*)\\}"));
    return form;
}

const QString *tagKey(const QString &placeholder)
{
    if (placeholder == QLatin1String("artist"))
        return &kSongArtistKey;
    if (placeholder == QLatin1String("album"))
        return &kSongAlbumKey;
    if (placeholder == QLatin1String("track"))
        return &kSongTrackNoKey;
    if (placeholder == QLatin1String("title"))
        return &kSongTitleKey;
    return nullptr;
}

// A tag value as part of one name: what would make a folder, or what the file systems of music
// players refuse, becomes "_"; a leading dot would hide the file.
QString safe(QString value)
{
    for (QChar &c : value)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = u'_';
    value = value.trimmed();
    if (value.startsWith(u'.'))
        value[0] = u'_';
    return value;
}

QString inputName(const QVariantMap &task)
{
    QString name = QFileInfo(task.value(kInputFileKey).toString()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return name;
}

// The track number alone ("3" of "3/12"), in two digits so that the files sort in track order.
QString trackText(const QString &tag)
{
    const QString number = tag.section(u'/', 0, 0).trimmed();
    bool numeric = false;
    const int value = number.toInt(&numeric);
    return numeric && value >= 0 ? QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')) : number;
}
} // namespace

Problem check(const QString &pattern, QString *placeholder)
{
    if (pattern.startsWith(u'/') || pattern.startsWith(u'~') ||
        pattern.split(u'/').contains(QStringLiteral("..")))
        return Problem::LeavesFolder;
    for (const QRegularExpressionMatch &match : placeholders().globalMatch(pattern)) {
        const QString name = match.captured(1);
        if (name != QLatin1String("name") && !tagKey(name)) {
            if (placeholder)
                *placeholder = match.captured(0);
            return Problem::UnknownPlaceholder;
        }
    }
    if (pattern.section(u'/', -1).trimmed().isEmpty())
        return Problem::NoFileName;
    return Problem::None;
}

QString outputFor(const QString &pattern, const QVariantMap &task, const QVariantMap &options,
                  const QString &folder)
{
    const QString fallback = inputName(task);
    QStringList parts;
    for (const QString &component : pattern.split(u'/', Qt::SkipEmptyParts)) {
        QString name;
        qsizetype at = 0;
        for (const QRegularExpressionMatch &match : placeholders().globalMatch(component)) {
            name += component.mid(at, match.capturedStart() - at);
            at = match.capturedEnd();
            const QString *key = tagKey(match.captured(1));
            QString value;
            if (key) {
                value = (task.contains(*key) ? task.value(*key) : options.value(*key)).toString();
                value = safe(*key == kSongTrackNoKey ? trackText(value) : value);
            }
            name += value.isEmpty() ? fallback : value;
        }
        parts << name + component.mid(at);
    }
    if (parts.isEmpty())
        parts << fallback;
    const QString file = OutputNames::mp3FileName(parts.takeLast());
    for (QString &part : parts) {
        // A folder of dots alone would climb out of the destination or stay where it is.
        if (part.count(u'.') == part.size())
            part.fill(u'_');
        part = OutputNames::fitted(part, kMaxNameBytes);
    }
    parts << file;
    return QDir::cleanPath(folder + u'/' + parts.join(u'/'));
}
} // namespace OutputNamePattern
