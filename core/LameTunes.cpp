#include "core/LameTunes.h"

#include "core/SettingsStore.h"
#include "platform/LocalizedStrings.h"
#include "platform/MusicLibrary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr AESendMode kWaitNeverInteract = kAEWaitReply | kAENeverInteract;

OSErr makeTunesAddress(AEAddressDesc *address)
{
    const QByteArray signature = AEFourCharCodeData(MusicLibrary::kSignature);
    return AECreateDesc(typeApplSignature, signature.constData(), signature.size(), address);
}

qint32 clampToInt32(qint64 value)
{
    return qint32(
        std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

// The reply's direct object, stored in `result` only when it could be taken.
OSErr takeDirectObject(const AppleEvent *reply, AEDesc *result)
{
    AEDesc object;
    AEInitializeDesc(&object);
    const OSErr status = AEGetParamDesc(reply, keyDirectObject, typeWildCard, &object);
    if (status == noErr)
        *result = object;
    return status;
}

} // namespace

qint32 TunesIntValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QChar:
        return SettingsStore::textToInteger(value.toString());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isnan(number))
            return 0;
        return clampToInt32(qint64(qBound(-9.0e18, std::trunc(number), 9.0e18)));
    }
    case QMetaType::ULongLong:
        return clampToInt32(
            qint64(qMin<quint64>(value.toULongLong(), quint64(std::numeric_limits<qint64>::max()))));
    default:
        if (value.canConvert<qlonglong>()) {
            bool ok = false;
            const qlonglong number = value.toLongLong(&ok);
            if (ok)
                return clampToInt32(number);
        }
        return SettingsStore::textToInteger(value.toString());
    }
}

void OpenTunes()
{
    if (!AEHasReceiver(MusicLibrary::kSignature))
        MusicLibrary::instance().registerReceiver();
}

OSErr CreatePlaylist(const QString &title, AEDesc *result)
{
    ScopedDesc address;
    ScopedDesc event;
    ScopedDesc properties;
    ScopedDesc reply;
    OSErr status = makeTunesAddress(&address.desc);
    if (!status)
        status = AECreateAppleEvent(kAECoreSuite, kAECreateElement, &address.desc, kAutoGenerateReturnID,
                                    kAnyTransactionID, &event.desc);
    if (!status)
        status = AECreateList(nullptr, 0, true, &properties.desc);
    if (!status && !title.isNull()) {
        const QByteArray text = AEUnicodeTextData(title);
        status = AEPutKeyPtr(&properties.desc, MusicLibrary::kTitle, typeUnicodeText, text.constData(),
                             text.size());
    }
    if (!status) {
        const QByteArray objectClass = AEFourCharCodeData(MusicLibrary::kUserPlaylistClass);
        status = AEPutParamPtr(&event.desc, keyAEObjectClass, typeType, objectClass.constData(),
                               objectClass.size());
    }
    if (!status)
        status = AEPutParamDesc(&event.desc, keyAEPropData, &properties.desc);
    if (!status)
        status = AESend(&event.desc, &reply.desc, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);
    // A playlist whose descriptor cannot be handed back is of no use to the caller, so a reply
    // without one counts as a failure rather than a success with nothing in `result`.
    if (!status && result)
        status = takeDirectObject(&reply.desc, result);
    return status;
}

OSErr AddFileToPlaylist(const QString &path, const AEDesc *playlist, AEDesc *result)
{
    // A NUL inside the path would cut the zero-terminated form short and name another file.
    if (path.contains(QChar(u'\0')))
        return paramErr;
    QByteArray utf8 = path.toUtf8();
    utf8.append('\0');
    FSRef fileRef;
    OSErr status = FSPathMakeRef(reinterpret_cast<const quint8 *>(utf8.constData()), &fileRef, nullptr);
    if (status)
        return status;

    ScopedDesc address;
    ScopedDesc event;
    ScopedDesc reply;
    status = makeTunesAddress(&address.desc);
    if (!status)
        status = AECreateAppleEvent(MusicLibrary::kEventClass, MusicLibrary::kAddEvent, &address.desc,
                                    kAutoGenerateReturnID, kAnyTransactionID, &event.desc);
    if (!status)
        status = AEPutParamPtr(&event.desc, keyDirectObject, typeFSRef, &fileRef, sizeof fileRef);
    if (!status && playlist)
        status = AEPutParamDesc(&event.desc, keyAEInsertHere, playlist);
    if (!status)
        status = AESend(&event.desc, &reply.desc, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);
    if (!status && result)
        status = takeDirectObject(&reply.desc, result);
    return status;
}

OSErr DeletePlaylist(const AEDesc *playlist)
{
    if (!playlist || playlist->descriptorType == typeNull)
        return errAENoSuchObject;
    ScopedDesc address;
    ScopedDesc event;
    ScopedDesc reply;
    OSErr status = makeTunesAddress(&address.desc);
    if (!status)
        status = AECreateAppleEvent(kAECoreSuite, kAEDelete, &address.desc, kAutoGenerateReturnID,
                                    kAnyTransactionID, &event.desc);
    if (!status)
        status = AEPutParamDesc(&event.desc, keyDirectObject, playlist);
    if (!status)
        status = AESend(&event.desc, &reply.desc, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);
    return status;
}

QString TunesErrorText(OSErr status)
{
    const auto reason = [status](const char *key, const char *defaultText) {
        return localizedFormat(localizedString(key, defaultText, "Global"), {status});
    };
    switch (status) {
    case ioErr:
        return reason("TunesIOError", "the file or playlist could not be read or written (error %d)");
    case fnfErr:
        return reason("TunesFileNotFound", "the file does not exist (error %d)");
    case dupFNErr:
        return reason("TunesNoPlaylistName", "every playlist name is taken (error %d)");
    case paramErr:
        return reason("TunesBadPath", "the file name cannot be passed on (error %d)");
    case procNotFound:
        return reason("TunesNotAnswering", "the music library does not answer (error %d)");
    case errAENoSuchObject:
        return reason("TunesNoSuchObject", "the music library has no such track or playlist (error %d)");
    default:
        return reason("TunesError", "error %d");
    }
}

OSErr SetProperty(const AEDesc *target, const AEDesc *object, FourCharCode property, const QVariant &data,
                  bool numeric)
{
    if (!data.isValid())
        return noErr;
    if (!target || !object)
        return paramErr;

    ScopedDesc key;
    ScopedDesc specifier;
    ScopedDesc event;
    ScopedDesc reply;
    const QByteArray propertyCode = AEFourCharCodeData(property);
    OSErr status = AECreateDesc(typeType, propertyCode.constData(), propertyCode.size(), &key.desc);
    // CreateObjSpecifier copies its inputs and, asked not to, leaves them alone.
    if (!status)
        status = CreateObjSpecifier(typeWildCard, const_cast<AEDesc *>(object), formPropertyID, &key.desc,
                                    false, &specifier.desc);
    if (!status)
        status = AECreateAppleEvent(kAECoreSuite, kAESetData, target, kAutoGenerateReturnID,
                                    kAnyTransactionID, &event.desc);
    if (!status)
        status = AEPutParamDesc(&event.desc, keyDirectObject, &specifier.desc);
    if (!status) {
        if (numeric) {
            const qint32 number = TunesIntValue(data);
            status = AEPutParamPtr(&event.desc, keyAEData, typeSInt32, &number, sizeof number);
        } else if (data.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = data.toByteArray();
            status = AEPutParamPtr(&event.desc, keyAEData, typeData, bytes.constData(), bytes.size());
        } else {
            const QByteArray text = AEUnicodeTextData(data.toString());
            status = AEPutParamPtr(&event.desc, keyAEData, typeUnicodeText, text.constData(), text.size());
        }
    }
    if (!status)
        status = AESend(&event.desc, &reply.desc, kAENoReply, kAENormalPriority, kAEDefaultTimeout);
    return status;
}

OSErr SetTags(const AEDesc *track, const QVariant &title, const QVariant &artist, const QVariant &album,
              const QVariant &year, const QVariant &trackNumber, const QVariant &trackCount,
              const QVariant &comment, const QVariant &genre)
{
    // A null track would name the library itself and set its properties instead of a song's.
    if (!track || track->descriptorType == typeNull)
        return errAENoSuchObject;

    ScopedDesc address;
    OSErr status = makeTunesAddress(&address.desc);
    if (status)
        return status;

    struct Tag
    {
        FourCharCode property;
        const QVariant &value;
        bool numeric;
    };
    const Tag tags[] = {
        {MusicLibrary::kTitle, title, false},
        {MusicLibrary::kArtist, artist, false},
        {MusicLibrary::kAlbum, album, false},
        {MusicLibrary::kYear, year, true},
        {MusicLibrary::kTrackNumber, trackNumber, true},
        {MusicLibrary::kTrackCount, trackCount, true},
        {MusicLibrary::kComment, comment, false},
        {MusicLibrary::kGenre, genre, false},
    };
    for (const Tag &tag : tags) {
        status = SetProperty(&address.desc, track, tag.property, tag.value, tag.numeric);
        if (status)
            break;
    }
    return status;
}

OSErr SetArtwork(const AEDesc *track, const QByteArray &picture)
{
    if (!track || track->descriptorType == typeNull)
        return errAENoSuchObject;
    ScopedDesc address;
    OSErr status = makeTunesAddress(&address.desc);
    if (!status)
        status = SetProperty(&address.desc, track, MusicLibrary::kArtwork, picture, false);
    return status;
}
