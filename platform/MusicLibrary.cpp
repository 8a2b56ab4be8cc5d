#include "platform/MusicLibrary.h"

#include "platform/M3UPlaylist.h"
#include "platform/SourceTags.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

constexpr qsizetype kMaxNameBytes = 200;
constexpr qint64 kMaxJunkBeforeAudio = 4096;
constexpr int kMaxNumberedNames = 9999;
const QString kUntitledPlaylist = QStringLiteral("Untitled Playlist");
const QString kPlaylistExtension = QStringLiteral(".m3u8");

TagLib::String tagString(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

QString qtString(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true));
}

std::unique_ptr<TagLib::MPEG::File> openMp3(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return nullptr;
    auto file = std::make_unique<TagLib::MPEG::File>(QFile::encodeName(path).constData());
    if (!file->isValid() || !file->audioProperties())
        return nullptr;
    // TagLib takes any file in which it finds two frame headers in a row, which the samples of a
    // WAV or AIFF file can imitate. An MP3 starts with its first frame, right after its tag.
    const qint64 audioStart = file->hasID3v2Tag() ? qint64(file->ID3v2Tag()->header()->completeTagSize()) : 0;
    const qint64 firstFrame = file->firstFrameOffset();
    if (firstFrame < audioStart || firstFrame - audioStart > kMaxJunkBeforeAudio)
        return nullptr;
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly) || !raw.seek(audioStart))
        return nullptr;
    const QByteArray magic = raw.read(4);
    for (const char *container : {"RIFF", "RF64", "FORM", "OggS", "fLaC", "caff"}) {
        if (magic == container)
            return nullptr;
    }
    return file;
}

QString displayTitle(TagLib::MPEG::File &file, const QString &path)
{
    QString title;
    QString artist;
    if (TagLib::ID3v2::Tag *tag = file.ID3v2Tag(false)) {
        title = qtString(tag->title());
        artist = qtString(tag->artist());
    }
    if (title.isEmpty())
        title = QFileInfo(path).completeBaseName();
    return artist.isEmpty() ? title : artist + QStringLiteral(" - ") + title;
}

int lengthInSeconds(TagLib::MPEG::File &file)
{
    return file.audioProperties() ? file.audioProperties()->lengthInSeconds() : -1;
}

void setTextFrame(TagLib::ID3v2::Tag *tag, const char *frameID, const QString &text)
{
    tag->removeFrames(frameID);
    if (text.isEmpty())
        return;
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(frameID, TagLib::String::UTF8);
    frame->setText(tagString(text));
    tag->addFrame(frame);
}

void setComment(TagLib::ID3v2::Tag *tag, const QString &text)
{
    // Only the plain comment: comments with a description belong to other programs.
    const TagLib::ID3v2::FrameList comments = tag->frameList("COMM");
    for (TagLib::ID3v2::Frame *frame : comments) {
        auto *comment = dynamic_cast<TagLib::ID3v2::CommentsFrame *>(frame);
        if (comment && comment->description().isEmpty())
            tag->removeFrame(comment);
    }
    if (text.isEmpty())
        return;
    auto *frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
    frame->setLanguage("eng");
    frame->setText(tagString(text));
    tag->addFrame(frame);
}

// Other programs write the same descriptions in lower case; a file keeps one frame of each.
void setUserText(TagLib::ID3v2::Tag *tag, const QString &description, const QString &text)
{
    const TagLib::ID3v2::FrameList frames = tag->frameList("TXXX");
    for (TagLib::ID3v2::Frame *frame : frames) {
        auto *user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
        if (user && qtString(user->description()).compare(description, Qt::CaseInsensitive) == 0)
            tag->removeFrame(user);
    }
    tag->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(tagString(description),
                                                                 TagLib::StringList(tagString(text))));
}

// The track number and count of a TRCK frame ("N" or "N/M"), 0 for a part that is missing.
// The picture replaces every picture the file had: a track shows one cover.
void setFrontCover(TagLib::ID3v2::Tag *tag, const QByteArray &picture)
{
    tag->removeFrames("APIC");
    auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setTextEncoding(TagLib::String::UTF8);
    frame->setMimeType(tagString(SourceTags::pictureMimeType(picture)));
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setPicture(TagLib::ByteVector(picture.constData(), uint(picture.size())));
    tag->addFrame(frame);
}

std::pair<int, int> trackParts(TagLib::ID3v2::Tag *tag)
{
    const TagLib::ID3v2::FrameList frames = tag->frameList("TRCK");
    if (frames.isEmpty())
        return {0, 0};
    const QString text = qtString(frames.front()->toString());
    return {text.section(u'/', 0, 0).trimmed().toInt(), text.section(u'/', 1, 1).trimmed().toInt()};
}

// A track count cannot stand in TRCK without a number, so it is written once a number is known.
void setTrackParts(TagLib::ID3v2::Tag *tag, int number, int count)
{
    QString text;
    if (number > 0)
        text = count > 0 ? QStringLiteral("%1/%2").arg(number).arg(count) : QString::number(number);
    setTextFrame(tag, "TRCK", text);
}

int numberOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed().toInt();
    return value.toInt();
}

bool isSafePlaylistName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(u'/'))
        return false;
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

bool saveInPlace(TagLib::MPEG::File &file)
{
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
}

// The bytes of a file's audio frames, without the tags before and after them (the ID3v1 and APE
// tags that saving strips): what tagging must never change.
qint64 audioBytes(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return -1;
    qint64 end = QFileInfo(path).size();
    if (file.hasID3v1Tag())
        end -= 128;
    if (file.hasAPETag())
        end -= file.APETag()->footer()->completeTagSize();
    return end - file.firstFrameOffset();
}

bool copyWhole(const QString &from, QFile &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QByteArray block;
    while (!(block = source.read(1 << 20)).isEmpty())
        if (to.write(block) != block.size())
            return false;
    return source.error() == QFileDevice::NoError && to.flush();
}

using TagEdit = std::function<void(TagLib::ID3v2::Tag *)>;

// Applies `edit` to the tag of the MP3 file at `path` and saves it. A tag that keeps its size is
// written over the old one and cannot shorten the file. A tag that grows moves the audio, so it
// is written into a copy beside the file that replaces the file only once it holds all of the
// audio: TagLib reports success even when the disk fills during the write, which would leave a
// truncated MP3 in place of the finished one.
bool writeTags(const QString &path, const TagEdit &edit)
{
    {
        std::unique_ptr<TagLib::MPEG::File> file = openMp3(path);
        if (!file)
            return false;
        const bool tagged = file->hasID3v2Tag() && !file->ID3v1Tag() && !file->APETag();
        TagLib::ID3v2::Tag *tag = file->ID3v2Tag(true);
        edit(tag);
        if (tagged && tag->render(TagLib::ID3v2::v4).size() == tag->header()->completeTagSize())
            return saveInPlace(*file);
    }

    const QFileInfo info(path);
    // A name of its own rather than one made from the file's: that would not fit beside an MP3
    // whose name is near the longest a folder takes.
    QTemporaryFile copy(info.dir().filePath(QStringLiteral(".orvik-tags-XXXXXX")));
    if (!copy.open() || !copyWhole(path, copy))
        return false;
    copy.close();
    {
        TagLib::MPEG::File edited(QFile::encodeName(copy.fileName()).constData(), false);
        if (!edited.isValid())
            return false;
        edit(edited.ID3v2Tag(true));
        if (!saveInPlace(edited))
            return false;
    }
    const qint64 audio = audioBytes(path);
    if (audio < 0 || audioBytes(copy.fileName()) != audio)
        return false;
    copy.setPermissions(info.permissions());
    if (::rename(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    copy.setAutoRemove(false);
    return true;
}

OSErr putSpecifier(AppleEvent *reply, DescType objectClass, DescType keyForm, DescType keyType,
                   const QByteArray &keyData)
{
    ScopedDesc application;
    ScopedDesc key;
    ScopedDesc specifier;
    OSErr status = AECreateDesc(keyType, keyData.constData(), keyData.size(), &key.desc);
    if (!status)
        status =
            CreateObjSpecifier(objectClass, &application.desc, keyForm, &key.desc, false, &specifier.desc);
    if (!status && reply)
        status = AEPutParamDesc(reply, keyDirectObject, &specifier.desc);
    return status;
}

// The key of an object specifier of the given class and key form.
OSErr specifierKey(const AEDesc *specifier, DescType objectClass, DescType keyForm, DescType keyType,
                   QByteArray *keyData)
{
    if (specifier->descriptorType != typeObjectSpecifier)
        return errAENoSuchObject;
    ScopedDesc wanted;
    ScopedDesc form;
    ScopedDesc key;
    if (AEGetKeyDesc(specifier, keyAEDesiredClass, typeType, &wanted.desc) ||
        AEGetKeyDesc(specifier, keyAEKeyForm, typeEnumerated, &form.desc) ||
        AEGetKeyDesc(specifier, keyAEKeyData, keyType, &key.desc))
        return errAENoSuchObject;
    if (AEFourCharCodeFromData(AEDescBytes(&wanted.desc)) != objectClass ||
        AEFourCharCodeFromData(AEDescBytes(&form.desc)) != keyForm)
        return errAENoSuchObject;
    *keyData = AEDescBytes(&key.desc);
    return noErr;
}

} // namespace

MusicLibrary &MusicLibrary::instance()
{
    static MusicLibrary library;
    return library;
}

void MusicLibrary::registerReceiver()
{
    AESetReceiver(kSignature, [this](const AppleEvent *event, AppleEvent *reply, AESendMode, long) {
        return handleEvent(event, reply);
    });
}

QString MusicLibrary::musicFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral("Music"));
    return folder;
}

QString MusicLibrary::playlistsFolder()
{
    return QDir(musicFolder()).filePath(QStringLiteral("Playlists"));
}

QString MusicLibrary::playlistPath(const QString &name)
{
    return QDir(playlistsFolder()).filePath(name + kPlaylistExtension);
}

QString MusicLibrary::playlistBaseName(const QString &title)
{
    QString name;
    for (char32_t c : title.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (c == U'/')
            name += u'-';
        else if (category == QChar::Other_Control || category == QChar::Separator_Line ||
                 category == QChar::Separator_Paragraph || category == QChar::Other_Surrogate)
            name += u' ';
        else
            name += QString::fromUcs4(&c, 1);
    }
    name = name.simplified();
    while (!name.isEmpty() && (name.front() == u'.' || name.front().isSpace()))
        name.remove(0, 1);
    while (name.toUtf8().size() > kMaxNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    name = name.trimmed();
    bool printable = false;
    for (char32_t c : name.toUcs4())
        printable = printable || (QChar::isPrint(c) && !QChar::isSpace(c));
    return printable ? name : QString();
}

OSErr MusicLibrary::createPlaylist(const QString &title, QString *name)
{
    if (!QDir().mkpath(playlistsFolder()))
        return ioErr;
    QString base = playlistBaseName(title);
    if (base.isEmpty())
        base = kUntitledPlaylist;
    for (int number = 1; number <= kMaxNumberedNames; ++number) {
        const QString candidate = number == 1 ? base : base + u' ' + QString::number(number);
        const QString path = playlistPath(candidate);
        // Creating the file exclusively claims the name, even against another program making a
        // playlist at the same moment; the content then replaces it whole.
        QFile claim(path);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            claim.close();
            if (!M3UPlaylist().write(path)) {
                QFile::remove(path);
                return ioErr;
            }
            if (name)
                *name = candidate;
            return noErr;
        }
        const QFileInfo existing(path);
        if (!existing.exists() && !existing.isSymLink())
            return ioErr;
    }
    return dupFNErr;
}

OSErr MusicLibrary::addFile(const QString &path, const QString &playlist, qint32 *trackID)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString playlistFile;
    if (!playlist.isNull()) {
        playlistFile = playlistPath(playlist);
        if (!isSafePlaylistName(playlist) || !QFileInfo(playlistFile).isFile())
            return errAENoSuchObject;
    }
    std::unique_ptr<TagLib::MPEG::File> file = openMp3(absolute);
    if (!file)
        return ioErr;

    if (!playlist.isNull()) {
        M3UPlaylist list;
        if (!list.read(playlistFile))
            return ioErr;
        const QString folder = playlistsFolder();
        bool listed = false;
        for (const M3UPlaylist::Entry &entry : list.entries)
            listed = listed || M3UPlaylist::resolve(entry.location, folder) == absolute;
        if (!listed) {
            M3UPlaylist::Entry entry;
            entry.location = M3UPlaylist::locationFor(absolute, folder);
            entry.seconds = lengthInSeconds(*file);
            entry.title = displayTitle(*file, absolute);
            list.entries << entry;
            if (!list.write(playlistFile))
                return ioErr;
        }
    }

    qint32 id = trackIDs.value(absolute);
    if (id == 0) {
        id = ++lastTrackID;
        trackIDs.insert(absolute, id);
        tracks.insert(id, Track{absolute, {}});
    }
    Track &track = tracks[id];
    if (!playlist.isNull() && !track.playlists.contains(playlist))
        track.playlists << playlist;
    if (trackID)
        *trackID = id;
    return noErr;
}

OSErr MusicLibrary::setTrackProperty(qint32 trackID, FourCharCode property, const QVariant &value)
{
    const auto found = tracks.constFind(trackID);
    if (found == tracks.constEnd())
        return errAENoSuchObject;
    const Track track = *found;
    if (const OSErr status = writeFileProperty(track.path, property, value))
        return status;
    if ((property == kTitle || property == kArtist) && !track.playlists.isEmpty()) {
        if (std::unique_ptr<TagLib::MPEG::File> file = openMp3(track.path))
            retitleEntries(track, lengthInSeconds(*file), displayTitle(*file, track.path));
    }
    return noErr;
}

OSErr MusicLibrary::writeFileProperty(const QString &path, FourCharCode property, const QVariant &value)
{
    const QString text = value.toString();
    const int number = numberOf(value);
    TagEdit edit;
    switch (property) {
    case kTitle:
    case kArtist:
    case kAlbum:
    case kGenre: {
        const char *frameID = property == kTitle    ? "TIT2"
                              : property == kArtist ? "TPE1"
                              : property == kAlbum  ? "TALB"
                                                    : "TCON";
        edit = [frameID, text](TagLib::ID3v2::Tag *tag) { setTextFrame(tag, frameID, text); };
        break;
    }
    case kComment:
        edit = [text](TagLib::ID3v2::Tag *tag) { setComment(tag, text); };
        break;
    case kYear:
        edit = [number](TagLib::ID3v2::Tag *tag) {
            setTextFrame(tag, "TDRC", number > 0 ? QString::number(number) : QString());
        };
        break;
    case kTrackNumber:
        edit = [number](TagLib::ID3v2::Tag *tag) { setTrackParts(tag, number, trackParts(tag).second); };
        break;
    case kTrackCount:
        edit = [number](TagLib::ID3v2::Tag *tag) { setTrackParts(tag, trackParts(tag).first, number); };
        break;
    case kArtwork:
        if (value.typeId() != QMetaType::QByteArray ||
            SourceTags::pictureMimeType(value.toByteArray()).isEmpty())
            return errAEWrongDataType;
        edit = [picture = value.toByteArray()](TagLib::ID3v2::Tag *tag) { setFrontCover(tag, picture); };
        break;
    default:
        return errAEEventNotHandled;
    }
    return writeTags(path, edit) ? noErr : ioErr;
}

OSErr MusicLibrary::writeUserTexts(const QString &path, const QList<std::pair<QString, QString>> &texts)
{
    const TagEdit edit = [&texts](TagLib::ID3v2::Tag *tag) {
        for (const auto &[description, text] : texts)
            setUserText(tag, description, text);
    };
    return writeTags(path, edit) ? noErr : ioErr;
}

OSErr MusicLibrary::deleteEmptyPlaylist(const QString &playlist)
{
    const QString path = playlistPath(playlist);
    M3UPlaylist list;
    if (!isSafePlaylistName(playlist) || !QFileInfo(path).isFile())
        return errAENoSuchObject;
    if (!list.read(path))
        return ioErr;
    if (!list.entries.isEmpty())
        return errAEEventFailed;
    return QFile::remove(path) ? noErr : ioErr;
}

QString MusicLibrary::trackPath(qint32 trackID) const
{
    return tracks.value(trackID).path;
}

// Playlists show a track by its artist and title, which arrive after the track was listed.
void MusicLibrary::retitleEntries(const Track &track, int seconds, const QString &title)
{
    const QString folder = playlistsFolder();
    for (const QString &name : track.playlists) {
        M3UPlaylist list;
        if (!list.read(playlistPath(name)))
            continue;
        bool changed = false;
        for (M3UPlaylist::Entry &entry : list.entries) {
            if (M3UPlaylist::resolve(entry.location, folder) == track.path) {
                entry.seconds = seconds;
                entry.title = title;
                changed = true;
            }
        }
        if (changed)
            list.write(playlistPath(name));
    }
}

OSErr MusicLibrary::handleEvent(const AppleEvent *event, AppleEvent *reply)
{
    ScopedDesc eventClass;
    ScopedDesc eventID;
    if (AEGetAttributeDesc(event, keyEventClassAttr, typeType, &eventClass.desc) ||
        AEGetAttributeDesc(event, keyEventIDAttr, typeType, &eventID.desc))
        return errAEWrongDataType;
    const FourCharCode theClass = AEFourCharCodeFromData(AEDescBytes(&eventClass.desc));
    const FourCharCode theID = AEFourCharCodeFromData(AEDescBytes(&eventID.desc));
    if (theClass == kAECoreSuite && theID == kAECreateElement)
        return handleCreate(event, reply);
    if (theClass == kEventClass && theID == kAddEvent)
        return handleAdd(event, reply);
    if (theClass == kAECoreSuite && theID == kAESetData)
        return handleSetData(event);
    if (theClass == kAECoreSuite && theID == kAEDelete)
        return handleDelete(event);
    return errAEEventNotHandled;
}

OSErr MusicLibrary::handleCreate(const AppleEvent *event, AppleEvent *reply)
{
    ScopedDesc objectClass;
    if (AEGetParamDesc(event, keyAEObjectClass, typeType, &objectClass.desc) ||
        AEFourCharCodeFromData(AEDescBytes(&objectClass.desc)) != kUserPlaylistClass)
        return errAEWrongDataType;
    QString title;
    ScopedDesc properties;
    if (AEGetParamDesc(event, keyAEPropData, typeAERecord, &properties.desc) == noErr) {
        ScopedDesc name;
        const OSErr status = AEGetKeyDesc(&properties.desc, kTitle, typeWildCard, &name.desc);
        if (status == noErr && name.desc.descriptorType != typeUnicodeText)
            return errAEWrongDataType;
        if (status == noErr)
            title = AEUnicodeTextString(AEDescBytes(&name.desc));
    }
    QString name;
    if (OSErr status = createPlaylist(title, &name))
        return status;
    return putSpecifier(reply, kUserPlaylistClass, formName, typeUnicodeText, AEUnicodeTextData(name));
}

OSErr MusicLibrary::handleAdd(const AppleEvent *event, AppleEvent *reply)
{
    FSRef fileRef;
    DescType type = typeNull;
    Size size = 0;
    if (AEGetParamPtr(event, keyDirectObject, typeFSRef, &type, &fileRef, sizeof fileRef, &size) ||
        size != Size(sizeof fileRef))
        return errAEWrongDataType;
    OSErr status = noErr;
    const QString path = FSRefPath(&fileRef, &status);
    if (status)
        return status;

    QString playlist;
    ScopedDesc target;
    if (AEGetParamDesc(event, keyAEInsertHere, typeWildCard, &target.desc) == noErr &&
        target.desc.descriptorType != typeNull) {
        QByteArray name;
        if (OSErr keyStatus =
                specifierKey(&target.desc, kUserPlaylistClass, formName, typeUnicodeText, &name))
            return keyStatus;
        playlist = AEUnicodeTextString(name);
        if (playlist.isNull())
            return errAENoSuchObject;
    }
    qint32 trackID = 0;
    status = addFile(path, playlist, &trackID);
    if (status)
        return status;
    QByteArray key(sizeof trackID, Qt::Uninitialized);
    std::memcpy(key.data(), &trackID, sizeof trackID);
    return putSpecifier(reply, kFileTrackClass, formUniqueID, typeSInt32, key);
}

OSErr MusicLibrary::handleSetData(const AppleEvent *event)
{
    ScopedDesc specifier;
    if (AEGetParamDesc(event, keyDirectObject, typeObjectSpecifier, &specifier.desc))
        return errAEWrongDataType;
    QByteArray propertyCode;
    if (OSErr status = specifierKey(&specifier.desc, typeWildCard, formPropertyID, typeType, &propertyCode))
        return status;
    ScopedDesc container;
    if (AEGetKeyDesc(&specifier.desc, keyAEContainer, typeWildCard, &container.desc))
        return errAENoSuchObject;
    QByteArray trackKey;
    if (OSErr status = specifierKey(&container.desc, kFileTrackClass, formUniqueID, typeSInt32, &trackKey))
        return status;
    if (trackKey.size() != sizeof(qint32))
        return errAENoSuchObject;
    qint32 trackID = 0;
    std::memcpy(&trackID, trackKey.constData(), sizeof trackID);

    ScopedDesc data;
    if (AEGetParamDesc(event, keyAEData, typeWildCard, &data.desc))
        return errAEWrongDataType;
    const QByteArray bytes = AEDescBytes(&data.desc);
    QVariant value;
    if (data.desc.descriptorType == typeUnicodeText && bytes.size() % 2 == 0) {
        value = AEUnicodeTextString(bytes);
    } else if (data.desc.descriptorType == typeData) {
        value = bytes;
    } else if (data.desc.descriptorType == typeSInt32 && bytes.size() == sizeof(qint32)) {
        qint32 number = 0;
        std::memcpy(&number, bytes.constData(), sizeof number);
        value = number;
    } else {
        return errAEWrongDataType;
    }
    return setTrackProperty(trackID, AEFourCharCodeFromData(propertyCode), value);
}

OSErr MusicLibrary::handleDelete(const AppleEvent *event)
{
    ScopedDesc specifier;
    if (AEGetParamDesc(event, keyDirectObject, typeObjectSpecifier, &specifier.desc))
        return errAEWrongDataType;
    QByteArray name;
    if (OSErr status = specifierKey(&specifier.desc, kUserPlaylistClass, formName, typeUnicodeText, &name))
        return status;
    const QString playlist = AEUnicodeTextString(name);
    if (playlist.isNull())
        return errAENoSuchObject;
    return deleteEmptyPlaylist(playlist);
}
