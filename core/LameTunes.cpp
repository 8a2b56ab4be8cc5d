#include "core/LameTunes.h"

#include "platform/LocalizedStrings.h"
#include "platform/MusicLibrary.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr FourCharCode kTunesSignature = fourCharCode("hook");
constexpr AEEventClass kTunesEventClass = fourCharCode("hook");
constexpr AEEventID kTunesAddEvent = fourCharCode("Add ");
constexpr DescType kUserPlaylistClass = fourCharCode("cUsP");
constexpr AESendMode kWaitNeverInteract = kAEWaitReply | kAENeverInteract;

OSErr makeTunesAddress(AEAddressDesc *address)
{
    const QByteArray signature = AEFourCharCodeData(kTunesSignature);
    return AECreateDesc(typeApplSignature, signature.constData(), signature.size(), address);
}

qint32 clampToInt32(qint64 value)
{
    return qint32(
        std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint32 intValueOfText(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            break;
    }
    return clampToInt32(negative ? -value : value);
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
        return intValueOfText(value.toString());
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
        return intValueOfText(value.toString());
    }
}

void OpenTunes()
{
    if (!AEHasReceiver(kTunesSignature))
        MusicLibrary::instance().registerReceiver();
}

OSErr CreatePlaylist(const QString &title, AEDesc *result)
{
    AEAddressDesc address;
    AppleEvent event;
    AERecord properties;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&properties);
    AEInitializeDesc(&reply);

    OSErr status = makeTunesAddress(&address);
    if (status)
        return status;
    status = AECreateAppleEvent(kAECoreSuite, kAECreateElement, &address, kAutoGenerateReturnID,
                                kAnyTransactionID, &event);
    if (!status)
        status = AECreateList(nullptr, 0, true, &properties);
    if (!status && !title.isNull()) {
        const QByteArray text = AEUnicodeTextData(title);
        status =
            AEPutKeyPtr(&properties, fourCharCode("pnam"), typeUnicodeText, text.constData(), text.size());
    }
    if (!status) {
        const QByteArray objectClass = AEFourCharCodeData(kUserPlaylistClass);
        status =
            AEPutParamPtr(&event, keyAEObjectClass, typeType, objectClass.constData(), objectClass.size());
    }
    if (!status)
        status = AEPutParamDesc(&event, keyAEPropData, &properties);
    if (!status)
        status = AESend(&event, &reply, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);
    // A playlist whose descriptor cannot be handed back is of no use to the caller, so a reply
    // without one counts as a failure rather than a success with nothing in `result`.
    if (!status && result)
        status = takeDirectObject(&reply, result);

    AEDisposeDesc(&address);
    AEDisposeDesc(&event);
    AEDisposeDesc(&properties);
    AEDisposeDesc(&reply);
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

    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);

    status = makeTunesAddress(&address);
    if (status)
        return status;
    status = AECreateAppleEvent(kTunesEventClass, kTunesAddEvent, &address, kAutoGenerateReturnID,
                                kAnyTransactionID, &event);
    if (!status)
        status = AEPutParamPtr(&event, keyDirectObject, typeFSRef, &fileRef, sizeof fileRef);
    if (!status && playlist)
        status = AEPutParamDesc(&event, keyAEInsertHere, playlist);
    if (!status)
        status = AESend(&event, &reply, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);
    if (!status && result)
        status = takeDirectObject(&reply, result);

    AEDisposeDesc(&address);
    AEDisposeDesc(&event);
    AEDisposeDesc(&reply);
    return status;
}

OSErr DeletePlaylist(const AEDesc *playlist)
{
    if (!playlist || playlist->descriptorType == typeNull)
        return errAENoSuchObject;
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);

    OSErr status = makeTunesAddress(&address);
    if (!status)
        status = AECreateAppleEvent(kAECoreSuite, kAEDelete, &address, kAutoGenerateReturnID,
                                    kAnyTransactionID, &event);
    if (!status)
        status = AEPutParamDesc(&event, keyDirectObject, playlist);
    if (!status)
        status = AESend(&event, &reply, kWaitNeverInteract, kAENormalPriority, kAEDefaultTimeout);

    AEDisposeDesc(&address);
    AEDisposeDesc(&event);
    AEDisposeDesc(&reply);
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

    AEDesc key;
    AEDesc specifier;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&key);
    AEInitializeDesc(&specifier);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);

    const QByteArray propertyCode = AEFourCharCodeData(property);
    OSErr status = AECreateDesc(typeType, propertyCode.constData(), propertyCode.size(), &key);
    if (status)
        return status;
    // CreateObjSpecifier copies its inputs and, asked not to, leaves them alone.
    status = CreateObjSpecifier(typeWildCard, const_cast<AEDesc *>(object), formPropertyID, &key, false,
                                &specifier);
    if (!status)
        status = AECreateAppleEvent(kAECoreSuite, kAESetData, target, kAutoGenerateReturnID,
                                    kAnyTransactionID, &event);
    if (!status)
        status = AEPutParamDesc(&event, keyDirectObject, &specifier);
    if (!status) {
        if (numeric) {
            const qint32 number = TunesIntValue(data);
            status = AEPutParamPtr(&event, keyAEData, typeSInt32, &number, sizeof number);
        } else if (data.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = data.toByteArray();
            status = AEPutParamPtr(&event, keyAEData, typeData, bytes.constData(), bytes.size());
        } else {
            const QByteArray text = AEUnicodeTextData(data.toString());
            status = AEPutParamPtr(&event, keyAEData, typeUnicodeText, text.constData(), text.size());
        }
    }
    if (!status)
        status = AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout);

    AEDisposeDesc(&key);
    AEDisposeDesc(&specifier);
    AEDisposeDesc(&event);
    AEDisposeDesc(&reply);
    return status;
}

OSErr SetTags(const AEDesc *track, const QVariant &title, const QVariant &artist, const QVariant &album,
              const QVariant &year, const QVariant &trackNumber, const QVariant &trackCount,
              const QVariant &comment, const QVariant &genre)
{
    // A null track would name the library itself and set its properties instead of a song's.
    if (!track || track->descriptorType == typeNull)
        return errAENoSuchObject;

    AEAddressDesc address;
    AEInitializeDesc(&address);
    OSErr status = makeTunesAddress(&address);
    if (status)
        return status;

    struct Tag
    {
        FourCharCode property;
        const QVariant &value;
        bool numeric;
    };
    const Tag tags[] = {
        {fourCharCode("pnam"), title, false},      {fourCharCode("pArt"), artist, false},
        {fourCharCode("pAlb"), album, false},      {fourCharCode("pYr "), year, true},
        {fourCharCode("pTrN"), trackNumber, true}, {fourCharCode("pTrC"), trackCount, true},
        {fourCharCode("pCmt"), comment, false},    {fourCharCode("pGen"), genre, false},
    };
    for (const Tag &tag : tags) {
        status = SetProperty(&address, track, tag.property, tag.value, tag.numeric);
        if (status)
            break;
    }

    AEDisposeDesc(&address);
    return status;
}

OSErr SetArtwork(const AEDesc *track, const QByteArray &picture)
{
    if (!track || track->descriptorType == typeNull)
        return errAENoSuchObject;
    AEAddressDesc address;
    AEInitializeDesc(&address);
    OSErr status = makeTunesAddress(&address);
    if (!status)
        status = SetProperty(&address, track, fourCharCode("pPCT"), picture, false);
    AEDisposeDesc(&address);
    return status;
}
