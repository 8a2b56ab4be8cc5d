#include "platform/SourceTags.h"

#include <QFile>

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
QString qtString(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

// The pictures a file holds, in its own order, each with whether it is the front cover.
using Pictures = std::vector<std::pair<TagLib::ByteVector, bool>>;

void addPictures(Pictures &pictures, const TagLib::List<TagLib::FLAC::Picture *> &list)
{
    for (const TagLib::FLAC::Picture *picture : list)
        pictures.emplace_back(picture->data(), picture->type() == TagLib::FLAC::Picture::FrontCover);
}

void addPictures(Pictures &pictures, TagLib::ID3v2::Tag *tag)
{
    if (!tag)
        return;
    for (const TagLib::ID3v2::Frame *frame : tag->frameList("APIC"))
        if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame))
            pictures.emplace_back(picture->picture(),
                                  picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover);
}

// Hands the file at `path`, as TagLib reads it, to `use` with its pictures; its kind is told by
// its first bytes. Nothing is handed for a file that is not a regular file or of no tagged kind.
void withTaggedFile(
    const QString &path,
    const std::function<void(TagLib::Tag &, const TagLib::PropertyMap &, const Pictures &)> &use)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status
    {
    };
    char head[64] = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::pread(fd, head, sizeof head, 0) < 12) {
        ::close(fd);
        return;
    }
    // The stream owns the descriptor from here on and closes it.
    TagLib::FileStream stream(fd, true);
    if (!stream.isOpen()) {
        ::close(fd);
        return;
    }
    const auto is = [&head](int at, const char *magic) {
        return std::memcmp(head + at, magic, std::strlen(magic)) == 0;
    };
    // The first Ogg page holds the codec's identification packet right after its segment table.
    const int packet = 27 + uchar(head[26]);
    std::unique_ptr<TagLib::File> file;
    TagLib::Tag *tag = nullptr;
    Pictures pictures;
    if (is(0, "fLaC")) {
        auto *flac = new TagLib::FLAC::File(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        file.reset(flac);
        addPictures(pictures, flac->pictureList());
    } else if (is(0, "OggS") && packet + 8 <= int(sizeof head)) {
        TagLib::Ogg::XiphComment *comment = nullptr;
        if (is(packet, "OpusHead")) {
            auto *opus = new TagLib::Ogg::Opus::File(&stream, false);
            file.reset(opus);
            comment = opus->tag();
        } else if (is(packet, "\x01vorbis")) {
            auto *vorbis = new TagLib::Ogg::Vorbis::File(&stream, false);
            file.reset(vorbis);
            comment = vorbis->tag();
        } else if (is(packet, "\x7f"
                              "FLAC")) {
            auto *flac = new TagLib::Ogg::FLAC::File(&stream, false);
            file.reset(flac);
            comment = flac->tag();
        }
        if (comment)
            addPictures(pictures, comment->pictureList());
    } else if (is(0, "RIFF") && is(8, "WAVE")) {
        auto *wav = new TagLib::RIFF::WAV::File(&stream, false);
        file.reset(wav);
        // A WAV file answers for its ID3v2 tag alone; its INFO chunk is the other place for tags.
        if (wav->hasID3v2Tag())
            addPictures(pictures, wav->ID3v2Tag());
        else if (wav->hasInfoTag())
            tag = wav->InfoTag();
    } else if (is(0, "FORM") && (is(8, "AIFF") || is(8, "AIFC"))) {
        auto *aiff = new TagLib::RIFF::AIFF::File(&stream, false);
        file.reset(aiff);
        if (aiff->hasID3v2Tag())
            addPictures(pictures, aiff->tag());
    }
    if (file && file->isValid() && (tag || (tag = file->tag())))
        use(*tag, tag == file->tag() ? file->properties() : tag->properties(), pictures);
}
} // namespace

SourceTags SourceTags::read(const QString &path)
{
    SourceTags tags;
    withTaggedFile(path, [&tags](TagLib::Tag &tag, const TagLib::PropertyMap &properties, const Pictures &) {
        tags.title = qtString(tag.title());
        tags.artist = qtString(tag.artist());
        tags.album = qtString(tag.album());
        tags.genre = qtString(tag.genre());
        tags.comment = qtString(tag.comment());
        if (tag.year() > 0)
            tags.year = QString::number(tag.year());
        // Vorbis comments keep the count apart; ID3v2 writes both as "3/12".
        const auto first = [&properties](const char *key) {
            const auto found = properties.find(key);
            return found == properties.end() || found->second.isEmpty() ? QString()
                                                                        : qtString(found->second.front());
        };
        tags.trackNumber = first("TRACKNUMBER");
        if (tags.trackNumber.isEmpty() && tag.track() > 0)
            tags.trackNumber = QString::number(tag.track());
        QString count = first("TRACKTOTAL");
        if (count.isEmpty())
            count = first("TOTALTRACKS");
        if (!tags.trackNumber.isEmpty() && !tags.trackNumber.contains(u'/') && !count.isEmpty())
            tags.trackNumber += u'/' + count;
    });
    return tags;
}

QString SourceTags::pictureMimeType(const QByteArray &data)
{
    if (data.startsWith("\xff\xd8\xff"))
        return QStringLiteral("image/jpeg");
    if (data.startsWith("\x89PNG\r\n\x1a\n"))
        return QStringLiteral("image/png");
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return QStringLiteral("image/gif");
    return QString();
}

SourceTags::Picture SourceTags::cover(const QString &path)
{
    Picture chosen;
    withTaggedFile(path, [&chosen](TagLib::Tag &, const TagLib::PropertyMap &, const Pictures &pictures) {
        bool front = false;
        for (const auto &[data, isFront] : pictures) {
            const QByteArray bytes(data.data(), qsizetype(data.size()));
            const QString mimeType = pictureMimeType(bytes);
            if (mimeType.isEmpty() || front || (!chosen.data.isEmpty() && !isFront))
                continue;
            chosen = {bytes, mimeType};
            front = isFront;
        }
    });
    return chosen;
}
