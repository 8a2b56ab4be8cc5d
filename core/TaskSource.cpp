#include "core/TaskSource.h"

#include "core/LamePrefs.h"
#include "platform/SourceTags.h"

#include <QDir>
#include <QTemporaryFile>

namespace TaskSource {
QVariantMap recordFor(const QString &path)
{
    QVariantMap record{{kInputFileKey, path}};
    const SourceTags tags = SourceTags::read(path);
    const std::pair<const QString &, const QString &> fields[] = {
        {kSongTitleKey, tags.title}, {kSongArtistKey, tags.artist},   {kSongAlbumKey, tags.album},
        {kSongYearKey, tags.year},   {kSongCommentKey, tags.comment}, {kSongTrackNoKey, tags.trackNumber},
        {kSongGenreKey, tags.genre}};
    // An empty field is no tag: the record keeps no key for it, as the tags panel would leave it.
    for (const auto &[key, value] : fields)
        if (!value.isEmpty())
            record.insert(key, value);
    return record;
}

std::unique_ptr<QTemporaryFile> coverFile(const QByteArray &picture, bool *lost)
{
    *lost = false;
    if (picture.isEmpty())
        return nullptr;
    auto file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("orvik-cover-XXXXXX")));
    if (!file->open() || file->write(picture) != picture.size() || !file->flush()) {
        *lost = true;
        return nullptr;
    }
    file->close();
    return file;
}
} // namespace TaskSource
