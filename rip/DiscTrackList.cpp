#include "rip/DiscTrackList.h"

#include "core/LamePrefs.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {
const QString kTableOfContents = QStringLiteral(".TOC.plist");
const QString kUntitledTrack = QStringLiteral("Audio Track");

QVariantMap tableOfContents(const QString &mountPoint)
{
    return PropertyList::fromFile(QDir(mountPoint).filePath(kTableOfContents)).toMap();
}

// "Sessions"[0] → "Track Array", or nothing when the table of contents has no track array.
std::optional<QVariantList> trackArray(const QVariantMap &contents)
{
    const QVariantList sessions = contents.value(QStringLiteral("Sessions")).toList();
    if (sessions.isEmpty())
        return std::nullopt;
    const QVariantMap session = sessions.first().toMap();
    const auto found = session.constFind(QStringLiteral("Track Array"));
    if (found == session.constEnd() || found->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return found->toList();
}

// A volume named after no album ("Audio CD", or "Audio CD 2" when that name was taken) proposes none.
bool namesNoAlbum(const QString &volumeName)
{
    static const QRegularExpression generic(QStringLiteral("^Audio CD( [0-9]+)?$"));
    return generic.match(volumeName).hasMatch();
}
// How many of the name's first characters are the digits 0 to 9.
qsizetype leadingDigits(const QString &name)
{
    qsizetype digits = 0;
    while (digits < name.size() && name.at(digits) >= u'0' && name.at(digits) <= u'9')
        ++digits;
    return digits;
}
} // namespace

bool DiscTrackList::isAudioCD(const QString &mountPoint)
{
    return PropertyList::fromFile(QDir(mountPoint).filePath(kTableOfContents)).typeId() ==
           QMetaType::QVariantMap;
}

DiscTrackList DiscTrackList::read(const QString &mountPoint, const QString &trackPrefix)
{
    DiscTrackList list;
    const std::optional<QVariantList> entries = trackArray(tableOfContents(mountPoint));
    if (!entries)
        return list;
    list.readByName(*entries, mountPoint, trackPrefix);
    if (list.tracks.isEmpty())
        list.scanForAiff(mountPoint);
    return list;
}

void DiscTrackList::readByName(const QVariantList &trackArray, const QString &mountPoint,
                               const QString &trackPrefix)
{
    for (const QVariant &entry : trackArray) {
        const QVariantMap track = entry.toMap();
        if (track.value(QStringLiteral("Data")).toBool())
            continue;
        const QString number =
            QString::asprintf("%02d", qint32(track.value(QStringLiteral("Point")).toLongLong()));
        const QString path = QDir(mountPoint).filePath(trackPrefix + number + QStringLiteral(".cdda"));
        if (QFileInfo::exists(path))
            tracks.append({{kInputFileKey, path}, {kSongTrackNoKey, number}});
    }
}

void DiscTrackList::scanForAiff(const QString &mountPoint)
{
    QStringList found;
    QDirIterator entries(mountPoint, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir root(mountPoint);
    while (entries.hasNext()) {
        const QString relative = root.relativeFilePath(entries.next());
        if (QFileInfo(relative).suffix().toLower() == u"aiff")
            found << relative;
    }
    // A folder lists its files in no particular order; the disc's order is the numbers' order.
    std::stable_sort(found.begin(), found.end(), [](const QString &left, const QString &right) {
        const auto number = [](const QString &name) {
            const qsizetype digits = leadingDigits(name);
            return std::pair(digits == 0 ? -1 : name.left(digits).toLongLong(), name);
        };
        return number(left) < number(right);
    });

    for (const QString &relative : found) {
        const QString name = relative.chopped(QStringLiteral(".aiff").size());
        const qsizetype digits = leadingDigits(name);
        QString number = name.left(digits);
        if (number.size() == 1)
            number.prepend(u'0');
        // "12 Intro.aiff": the number, one separating character, the title. A name without a
        // leading number has no separator to drop.
        const QString title = name.mid(digits == 0 ? 0 : digits + 1);
        QVariantMap record{{kInputFileKey, root.filePath(relative)}, {kSongTrackNoKey, number}};
        if (title != kUntitledTrack && !title.isEmpty())
            record.insert(kSongTitleKey, title);
        tracks.append(record);
    }
    const QString volumeName = QFileInfo(QDir::cleanPath(mountPoint)).fileName();
    if (!namesNoAlbum(volumeName))
        albumProposal = volumeName;
}
