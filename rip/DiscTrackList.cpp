#include "rip/DiscTrackList.h"

#include "core/LamePrefs.h"
#include "platform/LocalizedStrings.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <dirent.h>
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

// The numbers ("Point") of the audio tracks of a track array, in its order.
QList<qint32> audioTracks(const QVariantList &trackArray)
{
    QList<qint32> points;
    for (const QVariant &entry : trackArray) {
        const QVariantMap track = entry.toMap();
        if (!track.value(QStringLiteral("Data")).toBool())
            points << qint32(track.value(QStringLiteral("Point")).toLongLong());
    }
    return points;
}

// A CD-TEXT entry of the table of contents, without the blanks around it; null when it is not text.
QString cdText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString ? value.toString().trimmed() : QString();
}

QString numberString(qint32 point)
{
    return QString::asprintf("%02d", point);
}

// The record of a track whose file cannot be opened, at `path` (which does not exist as such).
QVariantMap unopenableTrack(const QString &path, qint32 point, const QString &problem)
{
    return {{kInputFileKey, path}, {kSongTrackNoKey, numberString(point)}, {kTrackFileProblemKey, problem}};
}

QString missingFile()
{
    return localizedString("TrackFileMissing", "the disc shows no file for this track", "Rip");
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

// The AIFF files at the root of the volume whose names are not valid text in the file-name
// encoding, by the track number they begin with. The folder listing leaves such names out,
// since they cannot be read as text and opened again by it; the raw listing shows them.
QMap<qint64, QString> unlistedFiles(const QString &mountPoint)
{
    QMap<qint64, QString> files;
    DIR *folder = ::opendir(QFile::encodeName(mountPoint).constData());
    if (!folder)
        return files;
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        const qsizetype digits = leadingDigits(name);
        if (QFile::encodeName(name) != raw && digits > 0 && QFileInfo(name).suffix().toLower() == u"aiff")
            files.insert(name.left(digits).toLongLong(), name);
    }
    ::closedir(folder);
    return files;
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
    const QVariantMap contents = tableOfContents(mountPoint);
    const std::optional<QVariantList> entries = trackArray(contents);
    if (!entries)
        return list;
    if (!list.readByName(*entries, mountPoint, trackPrefix)) {
        list.tracks.clear();
        list.scanForAiff(*entries, mountPoint);
    }
    list.artistProposal = cdText(contents.value(QStringLiteral("Performer")));
    list.takeCdText(*entries);
    list.discId = MusicBrainzDiscId::fromTableOfContents(contents);
    return list;
}

void DiscTrackList::takeCdText(const QVariantList &trackArray)
{
    QMap<QString, std::pair<QString, QString>> texts; // title and performer by number string
    for (const QVariant &entry : trackArray) {
        const QVariantMap track = entry.toMap();
        texts.insert(
            numberString(qint32(track.value(QStringLiteral("Point")).toLongLong())),
            {cdText(track.value(QStringLiteral("Title"))), cdText(track.value(QStringLiteral("Performer")))});
    }
    for (QVariantMap &record : tracks) {
        const auto [title, performer] = texts.value(record.value(kSongTrackNoKey).toString());
        if (!title.isEmpty())
            record.insert(kSongTitleKey, title);
        if (!performer.isEmpty() && performer != artistProposal)
            record.insert(kSongArtistKey, performer);
    }
}

bool DiscTrackList::readByName(const QVariantList &trackArray, const QString &mountPoint,
                               const QString &trackPrefix)
{
    bool found = false;
    for (const qint32 point : audioTracks(trackArray)) {
        const QString number = numberString(point);
        const QString path = QDir(mountPoint).filePath(trackPrefix + number + QStringLiteral(".cdda"));
        if (QFileInfo::exists(path)) {
            tracks.append({{kInputFileKey, path}, {kSongTrackNoKey, number}});
            found = true;
        } else {
            tracks.append(unopenableTrack(path, point, missingFile()));
        }
    }
    return found;
}

void DiscTrackList::scanForAiff(const QVariantList &trackArray, const QString &mountPoint)
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

    QList<qint64> numbers; // of the records, in order; -1 for a name without one
    for (const QString &relative : found) {
        const QString name = relative.chopped(QStringLiteral(".aiff").size());
        const qsizetype digits = leadingDigits(name);
        numbers << (digits == 0 ? -1 : name.left(digits).toLongLong());
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
    // A track of the table of contents that the listing does not show takes its place by number.
    const QMap<qint64, QString> unlisted = unlistedFiles(mountPoint);
    for (const qint32 point : audioTracks(trackArray)) {
        if (numbers.contains(point))
            continue;
        const qsizetype at =
            std::upper_bound(numbers.cbegin(), numbers.cend(), qint64(point)) - numbers.cbegin();
        const auto file = unlisted.constFind(point);
        numbers.insert(at, point);
        tracks.insert(at, file == unlisted.cend()
                              ? unopenableTrack(root.filePath(numberString(point)), point, missingFile())
                              : unopenableTrack(root.filePath(*file), point,
                                                localizedString("TrackNameNotText",
                                                                "the name of its file on the disc is not "
                                                                "valid text, so the file cannot be opened",
                                                                "Rip")));
    }
    const QString volumeName = QFileInfo(QDir::cleanPath(mountPoint)).fileName();
    if (!namesNoAlbum(volumeName))
        albumProposal = volumeName;
}
