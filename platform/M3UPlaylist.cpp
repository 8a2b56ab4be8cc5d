#include "platform/M3UPlaylist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace {

const QString kHeader = QStringLiteral("#EXTM3U");
const QString kInfoPrefix = QStringLiteral("#EXTINF:");

bool breaksLine(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Separator_Line ||
           c.category() == QChar::Separator_Paragraph || c.unicode() == 0x85;
}

bool holdsLineBreaker(const QString &text)
{
    for (QChar c : text) {
        if (breaksLine(c))
            return true;
    }
    return false;
}

} // namespace

bool M3UPlaylist::read(const QString &path)
{
    entries.clear();
    trailingLines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    Entry pending;
    bool hasInfo = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line == kHeader)
            continue;
        if (line.startsWith(kInfoPrefix) && !hasInfo) {
            const QString info = line.mid(kInfoPrefix.size());
            const qsizetype comma = info.indexOf(u',');
            bool ok = false;
            const int seconds = info.left(comma).trimmed().toInt(&ok);
            pending.seconds = ok ? seconds : -1;
            pending.title = comma < 0 ? QString() : info.mid(comma + 1);
            hasInfo = true;
        } else if (line.startsWith(u'#')) {
            pending.otherLines << line;
        } else {
            pending.location = line;
            entries << pending;
            pending = Entry();
            hasInfo = false;
        }
    }
    trailingLines = pending.otherLines;
    return true;
}

QByteArray M3UPlaylist::toUtf8() const
{
    QString text = kHeader + u'\n';
    for (const Entry &entry : entries) {
        for (const QString &line : entry.otherLines)
            text += singleLine(line) + u'\n';
        if (entry.seconds >= 0 || !entry.title.isEmpty())
            text += kInfoPrefix + QString::number(entry.seconds) + u',' + singleLine(entry.title) + u'\n';
        text += entry.location + u'\n';
    }
    for (const QString &line : trailingLines)
        text += singleLine(line) + u'\n';
    return text.toUtf8();
}

bool M3UPlaylist::write(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(toUtf8());
    return file.commit();
}

QString M3UPlaylist::locationFor(const QString &filePath, const QString &playlistFolder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    if (holdsLineBreaker(absolute))
        return QString::fromLatin1(QUrl::fromLocalFile(absolute).toEncoded(QUrl::FullyEncoded));
    const QString folder = QDir::cleanPath(QFileInfo(playlistFolder).absoluteFilePath());
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    if (!absolute.startsWith(prefix))
        return absolute;
    const QString relative = absolute.mid(prefix.size());
    // A line starting with '#' would be read as a directive, and one whose first part holds a
    // colon as a URL.
    const bool ambiguous = relative.startsWith(u'#') || relative.section(u'/', 0, 0).contains(u':');
    return ambiguous ? QStringLiteral("./") + relative : relative;
}

QString M3UPlaylist::resolve(const QString &location, const QString &playlistFolder)
{
    if (location.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        return QDir::cleanPath(QUrl(location).toLocalFile());
    const QUrl url(location);
    if (url.isValid() && url.scheme().size() > 1)
        return QString();
    if (QDir::isAbsolutePath(location))
        return QDir::cleanPath(location);
    return QDir::cleanPath(QDir(playlistFolder).absoluteFilePath(location));
}

QString M3UPlaylist::singleLine(const QString &title)
{
    QString line = title;
    for (QChar &c : line) {
        if (breaksLine(c))
            c = u' ';
    }
    return line;
}
