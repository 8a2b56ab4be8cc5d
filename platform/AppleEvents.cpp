#include "platform/AppleEvents.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>
#include <QtEndian>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

// What a descriptor owns: plain bytes, or items (keyed for records, object specifiers and events,
// unkeyed for lists), and for an event its attributes. Items are owned descriptors.
struct OpaqueAEDataStorageType
{
    struct Item
    {
        AEKeyword keyword;
        AEDesc desc;
    };

    QByteArray bytes;
    bool composite = false;
    bool keyed = false;
    std::vector<Item> items;

    AEEventClass eventClass = 0;
    AEEventID eventID = 0;
    AEDesc address{typeNull, nullptr};
    AEReturnID returnID = 0;
    AETransactionID transactionID = 0;

    OpaqueAEDataStorageType() { ++liveCount; }
    ~OpaqueAEDataStorageType()
    {
        for (Item &item : items)
            AEDisposeDesc(&item.desc);
        AEDisposeDesc(&address);
        --liveCount;
    }
    OpaqueAEDataStorageType(const OpaqueAEDataStorageType &) = delete;
    OpaqueAEDataStorageType &operator=(const OpaqueAEDataStorageType &) = delete;

    static std::atomic<qsizetype> liveCount;
};

std::atomic<qsizetype> OpaqueAEDataStorageType::liveCount{0};

namespace {

using Storage = OpaqueAEDataStorageType;

// A deep copy that the caller owns: what putting a descriptor into a list, record or event makes.
OSErr duplicateDesc(const AEDesc *desc, AEDesc *result);

bool isComposite(const AEDesc *desc)
{
    return desc && desc->dataHandle && desc->dataHandle->composite;
}

bool isKeyed(const AEDesc *desc)
{
    return isComposite(desc) && desc->dataHandle->keyed;
}

bool isEvent(const AEDesc *desc)
{
    return isKeyed(desc) && desc->descriptorType == typeAppleEvent;
}

Storage *makeComposite(DescType type, bool keyed, AEDesc *result)
{
    auto *storage = new Storage;
    storage->composite = true;
    storage->keyed = keyed;
    result->descriptorType = type;
    result->dataHandle = storage;
    return storage;
}

OSErr copyInto(const AEDesc *desc, DescType desiredType, AEDesc *result)
{
    if (desiredType != typeWildCard && desiredType != desc->descriptorType)
        return errAECoercionFail;
    return duplicateDesc(desc, result);
}

Storage::Item *findKey(const AEDesc *record, AEKeyword keyword)
{
    for (Storage::Item &item : record->dataHandle->items) {
        if (item.keyword == keyword)
            return &item;
    }
    return nullptr;
}

OSErr putKey(AEDesc *record, AEKeyword keyword, const AEDesc *desc)
{
    if (!isKeyed(record) || !desc)
        return errAEWrongDataType;
    AEDesc copy;
    AEInitializeDesc(&copy);
    if (OSErr status = duplicateDesc(desc, &copy))
        return status;
    if (Storage::Item *item = findKey(record, keyword)) {
        AEDisposeDesc(&item->desc);
        item->desc = copy;
    } else {
        record->dataHandle->items.push_back({keyword, copy});
    }
    return noErr;
}

OSErr getKey(const AEDesc *record, AEKeyword keyword, DescType desiredType, AEDesc *result)
{
    if (!result)
        return paramErr;
    if (!isKeyed(record))
        return errAEWrongDataType;
    const Storage::Item *item = findKey(record, keyword);
    if (!item)
        return errAEDescNotFound;
    return copyInto(&item->desc, desiredType, result);
}

OSErr putKeyPtr(AEDesc *record, AEKeyword keyword, DescType type, const void *data, Size size)
{
    AEDesc desc;
    AEInitializeDesc(&desc);
    if (OSErr status = AECreateDesc(type, data, size, &desc))
        return status;
    OSErr status = putKey(record, keyword, &desc);
    AEDisposeDesc(&desc);
    return status;
}

OSErr getKeyPtr(const AEDesc *record, AEKeyword keyword, DescType desiredType, DescType *typeCode,
                void *dataPtr, Size maximumSize, Size *actualSize)
{
    if (!isKeyed(record))
        return errAEWrongDataType;
    const Storage::Item *item = findKey(record, keyword);
    if (!item)
        return errAEDescNotFound;
    if (desiredType != typeWildCard && desiredType != item->desc.descriptorType)
        return errAECoercionFail;
    if (isComposite(&item->desc))
        return errAEWrongDataType;
    const QByteArray bytes = AEDescBytes(&item->desc);
    if (typeCode)
        *typeCode = item->desc.descriptorType;
    if (actualSize)
        *actualSize = bytes.size();
    if (dataPtr && maximumSize > 0)
        std::memcpy(dataPtr, bytes.constData(), size_t(qMin<Size>(maximumSize, bytes.size())));
    return noErr;
}

QMutex receiversMutex;
std::map<FourCharCode, AEReceiver> &receivers()
{
    static std::map<FourCharCode, AEReceiver> table;
    return table;
}

std::atomic<qint16> lastReturnID{0};

AEReturnID nextReturnID()
{
    qint16 id = ++lastReturnID;
    if (id <= 0) {
        lastReturnID = 1;
        id = 1;
    }
    return id;
}

// The paths that file-system references were made for; a reference holds an index into it.
struct FSRefTable
{
    QMutex mutex;
    QStringList paths;
    QHash<QString, quint32> indexes;
};

FSRefTable &fsRefTable()
{
    static FSRefTable table;
    return table;
}

constexpr char kFSRefMagic[4] = {'O', 'F', 'S', 'R'};

struct FSRefContents
{
    char magic[4];
    quint32 index;
    quint64 device;
    quint64 inode;
};
static_assert(sizeof(FSRefContents) <= sizeof(FSRef));

OSErr duplicateDesc(const AEDesc *desc, AEDesc *result)
{
    if (!desc || !result)
        return paramErr;
    AEDesc copy{desc->descriptorType, nullptr};
    if (const Storage *source = desc->dataHandle) {
        auto *storage = new Storage;
        copy.dataHandle = storage;
        storage->bytes = source->bytes;
        storage->composite = source->composite;
        storage->keyed = source->keyed;
        storage->eventClass = source->eventClass;
        storage->eventID = source->eventID;
        storage->returnID = source->returnID;
        storage->transactionID = source->transactionID;
        OSErr status = duplicateDesc(&source->address, &storage->address);
        for (const Storage::Item &item : source->items) {
            if (status)
                break;
            Storage::Item itemCopy{item.keyword, {typeNull, nullptr}};
            status = duplicateDesc(&item.desc, &itemCopy.desc);
            storage->items.push_back(itemCopy);
        }
        if (status) {
            AEDisposeDesc(&copy);
            return status;
        }
    }
    *result = copy;
    return noErr;
}

} // namespace

void AEInitializeDesc(AEDesc *desc)
{
    if (desc)
        *desc = {typeNull, nullptr};
}

OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result)
{
    if (!result || dataSize < 0 || (!dataPtr && dataSize > 0))
        return paramErr;
    AEInitializeDesc(result);
    if (typeCode == typeNull)
        return noErr;
    auto *storage = new Storage;
    storage->bytes = QByteArray(static_cast<const char *>(dataPtr), qsizetype(dataSize));
    result->descriptorType = typeCode;
    result->dataHandle = storage;
    return noErr;
}

OSErr AEDisposeDesc(AEDesc *desc)
{
    if (!desc)
        return paramErr;
    delete desc->dataHandle;
    AEInitializeDesc(desc);
    return noErr;
}

OSErr AECreateList(const void *factoringPtr, Size factoredSize, bool isRecord, AEDescList *result)
{
    if (!result || factoringPtr || factoredSize != 0)
        return paramErr;
    AEInitializeDesc(result);
    makeComposite(isRecord ? typeAERecord : typeAEList, isRecord, result);
    return noErr;
}

OSErr AEPutKeyPtr(AERecord *record, AEKeyword keyword, DescType typeCode, const void *dataPtr, Size dataSize)
{
    return putKeyPtr(record, keyword, typeCode, dataPtr, dataSize);
}

OSErr AEGetKeyDesc(const AERecord *record, AEKeyword keyword, DescType desiredType, AEDesc *result)
{
    return getKey(record, keyword, desiredType, result);
}

OSErr AEPutParamPtr(AppleEvent *event, AEKeyword keyword, DescType typeCode, const void *dataPtr,
                    Size dataSize)
{
    return putKeyPtr(event, keyword, typeCode, dataPtr, dataSize);
}

OSErr AEPutParamDesc(AppleEvent *event, AEKeyword keyword, const AEDesc *desc)
{
    return putKey(event, keyword, desc);
}

OSErr AEGetParamDesc(const AppleEvent *event, AEKeyword keyword, DescType desiredType, AEDesc *result)
{
    return getKey(event, keyword, desiredType, result);
}

OSErr AEGetParamPtr(const AppleEvent *event, AEKeyword keyword, DescType desiredType, DescType *typeCode,
                    void *dataPtr, Size maximumSize, Size *actualSize)
{
    return getKeyPtr(event, keyword, desiredType, typeCode, dataPtr, maximumSize, actualSize);
}

OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc *target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent *result)
{
    if (!result || !target)
        return paramErr;
    AEInitializeDesc(result);
    AEDesc address;
    AEInitializeDesc(&address);
    if (OSErr status = duplicateDesc(target, &address))
        return status;
    Storage *storage = makeComposite(typeAppleEvent, true, result);
    storage->eventClass = eventClass;
    storage->eventID = eventID;
    storage->address = address;
    storage->returnID = returnID;
    storage->transactionID = transactionID;
    return noErr;
}

OSErr AEGetAttributeDesc(const AppleEvent *event, AEKeyword keyword, DescType desiredType, AEDesc *result)
{
    if (!result)
        return paramErr;
    if (!isEvent(event))
        return errAEWrongDataType;
    const Storage *storage = event->dataHandle;
    AEDesc attribute;
    AEInitializeDesc(&attribute);
    OSErr status = noErr;
    switch (keyword) {
    case keyEventClassAttr:
    case keyEventIDAttr: {
        const QByteArray code =
            AEFourCharCodeData(keyword == keyEventClassAttr ? storage->eventClass : storage->eventID);
        status = AECreateDesc(typeType, code.constData(), 4, &attribute);
        break;
    }
    case keyReturnIDAttr:
        status = AECreateDesc(typeSInt16, &storage->returnID, sizeof storage->returnID, &attribute);
        break;
    case keyTransactionIDAttr:
        status = AECreateDesc(typeSInt32, &storage->transactionID, sizeof storage->transactionID, &attribute);
        break;
    case keyAddressAttr:
        status = duplicateDesc(&storage->address, &attribute);
        break;
    default:
        return errAEDescNotFound;
    }
    if (status)
        return status;
    status = copyInto(&attribute, desiredType, result);
    AEDisposeDesc(&attribute);
    return status;
}

OSErr CreateObjSpecifier(DescType desiredClass, AEDesc *container, DescType keyForm, AEDesc *keyData,
                         bool disposeInputs, AEDesc *objSpecifier)
{
    if (!container || !keyData || !objSpecifier)
        return paramErr;
    AEDesc specifier;
    AEInitializeDesc(&specifier);
    makeComposite(typeObjectSpecifier, true, &specifier);
    const QByteArray wanted = AEFourCharCodeData(desiredClass);
    const QByteArray form = AEFourCharCodeData(keyForm);
    OSErr status = putKeyPtr(&specifier, keyAEDesiredClass, typeType, wanted.constData(), 4);
    if (!status)
        status = putKey(&specifier, keyAEContainer, container);
    if (!status)
        status = putKeyPtr(&specifier, keyAEKeyForm, typeEnumerated, form.constData(), 4);
    if (!status)
        status = putKey(&specifier, keyAEKeyData, keyData);
    if (disposeInputs) {
        AEDisposeDesc(container);
        AEDisposeDesc(keyData);
    }
    if (status) {
        AEDisposeDesc(&specifier);
        return status;
    }
    *objSpecifier = specifier;
    return noErr;
}

AEReceiver AESetReceiver(FourCharCode signature, AEReceiver receiver)
{
    QMutexLocker locker(&receiversMutex);
    auto &table = receivers();
    AEReceiver previous;
    if (auto found = table.find(signature); found != table.end()) {
        previous = std::move(found->second);
        table.erase(found);
    }
    if (receiver)
        table.emplace(signature, std::move(receiver));
    return previous;
}

bool AEHasReceiver(FourCharCode signature)
{
    QMutexLocker locker(&receiversMutex);
    return receivers().count(signature) != 0;
}

OSErr AESend(const AppleEvent *event, AppleEvent *reply, AESendMode sendMode, AESendPriority sendPriority,
             long timeOutInTicks)
{
    Q_UNUSED(sendPriority);
    if (!reply)
        return paramErr;
    AEInitializeDesc(reply);
    if (!isEvent(event))
        return errAEWrongDataType;
    const AESendMode replyKind = sendMode & 0x3;
    if (replyKind != kAEWaitReply && replyKind != kAENoReply)
        return errAEUnknownSendMode;
    if (timeOutInTicks < 0 && timeOutInTicks != kAEDefaultTimeout && timeOutInTicks != kNoTimeOut)
        return paramErr;

    const AEDesc &address = event->dataHandle->address;
    const QByteArray signature = AEDescBytes(&address);
    if (address.descriptorType != typeApplSignature || signature.size() != 4)
        return errAEUnknownAddressType;
    AEReceiver receiver;
    {
        QMutexLocker locker(&receiversMutex);
        auto found = receivers().find(AEFourCharCodeFromData(signature));
        if (found == receivers().end())
            return procNotFound;
        // A copy, so that a receiver may replace itself while it runs.
        receiver = found->second;
    }

    if (replyKind == kAENoReply)
        return receiver(event, nullptr, sendMode, timeOutInTicks);

    AEDesc answer;
    AEInitializeDesc(&answer);
    AEDesc sender;
    AEInitializeDesc(&sender);
    OSErr status = AECreateAppleEvent(kCoreEventClass, kAEAnswer, &sender, nextReturnID(),
                                      event->dataHandle->transactionID, &answer);
    if (status)
        return status;
    status = receiver(event, &answer, sendMode, timeOutInTicks);
    qint32 errorNumber = 0;
    if (status) {
        errorNumber = status;
        putKeyPtr(&answer, keyErrorNumber, typeSInt32, &errorNumber, sizeof errorNumber);
    } else if (getKeyPtr(&answer, keyErrorNumber, typeSInt32, nullptr, &errorNumber, sizeof errorNumber,
                         nullptr) == noErr &&
               errorNumber != 0) {
        status = OSErr(qBound<qint32>(-32768, errorNumber, 32767));
    }
    *reply = answer;
    return status;
}

QByteArray AEDescBytes(const AEDesc *desc)
{
    if (!desc || !desc->dataHandle || desc->dataHandle->composite)
        return QByteArray();
    return desc->dataHandle->bytes;
}

QByteArray AEUnicodeTextData(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()),
                      text.size() * qsizetype(sizeof(char16_t)));
}

QString AEUnicodeTextString(const QByteArray &data)
{
    const qsizetype units = data.size() / 2;
    std::vector<char16_t> text(static_cast<size_t>(units));
    if (units > 0)
        std::memcpy(text.data(), data.constData(), size_t(units) * 2);
    size_t start = 0;
    if (!text.empty() && text[0] == 0xFFFE) {
        for (char16_t &unit : text)
            unit = qbswap(unit);
    }
    if (!text.empty() && text[0] == 0xFEFF)
        start = 1;
    return QString::fromUtf16(text.data() + start, qsizetype(text.size() - start));
}

QByteArray AEFourCharCodeData(FourCharCode code)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(code, bytes.data());
    return bytes;
}

FourCharCode AEFourCharCodeFromData(const QByteArray &data)
{
    return data.size() == 4 ? qFromBigEndian<quint32>(data.constData()) : 0;
}

qsizetype AELiveDescriptorCount()
{
    return OpaqueAEDataStorageType::liveCount;
}

OSErr FSPathMakeRef(const quint8 *path, FSRef *ref, bool *isDirectory)
{
    if (!path || !ref || path[0] == 0)
        return paramErr;
    const QString given = QString::fromUtf8(reinterpret_cast<const char *>(path));
    const QString absolute = QFileInfo(given).absoluteFilePath();
    struct stat info;
    if (::stat(QFile::encodeName(absolute).constData(), &info) != 0)
        return fnfErr;

    FSRefTable &table = fsRefTable();
    quint32 index;
    {
        QMutexLocker locker(&table.mutex);
        auto found = table.indexes.constFind(absolute);
        if (found != table.indexes.constEnd()) {
            index = *found;
        } else {
            index = quint32(table.paths.size());
            table.paths << absolute;
            table.indexes.insert(absolute, index);
        }
    }
    FSRefContents contents;
    std::memcpy(contents.magic, kFSRefMagic, sizeof contents.magic);
    contents.index = index;
    contents.device = quint64(info.st_dev);
    contents.inode = quint64(info.st_ino);
    std::memset(ref->hidden, 0, sizeof ref->hidden);
    std::memcpy(ref->hidden, &contents, sizeof contents);
    if (isDirectory)
        *isDirectory = S_ISDIR(info.st_mode);
    return noErr;
}

QString FSRefPath(const FSRef *ref, OSErr *status)
{
    auto fail = [status](OSErr error) {
        if (status)
            *status = error;
        return QString();
    };
    if (!ref)
        return fail(paramErr);
    FSRefContents contents;
    std::memcpy(&contents, ref->hidden, sizeof contents);
    if (std::memcmp(contents.magic, kFSRefMagic, sizeof contents.magic) != 0)
        return fail(paramErr);
    QString path;
    {
        FSRefTable &table = fsRefTable();
        QMutexLocker locker(&table.mutex);
        if (contents.index >= quint32(table.paths.size()))
            return fail(paramErr);
        path = table.paths.at(qsizetype(contents.index));
    }
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || quint64(info.st_dev) != contents.device ||
        quint64(info.st_ino) != contents.inode)
        return fail(fnfErr);
    if (status)
        *status = noErr;
    return path;
}
