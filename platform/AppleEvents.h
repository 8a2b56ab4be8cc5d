#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

// A small in-process event layer in the shape of the Apple Event Manager: tagged descriptors,
// lists, records, events and object specifiers, sent to receivers registered under an
// application signature. It carries the music-library hand-over (core/LameTunes) to Orvik's
// own music library (platform/MusicLibrary), and lets a test stand in for the library to see
// exactly what was sent.
//
// Byte forms of descriptor data:
// - four-character codes inside data (types 'type', 'enum', 'sign') are stored as their four
//   characters in order, that is big-endian;
// - 'long' is a signed 32-bit integer and 'shor' a signed 16-bit integer, in host byte order;
// - 'utxt' is the UTF-16 of QString::utf16(), in host byte order and without a byte-order mark
//   (what the platform's own Unicode conversion gives); a receiver also accepts a leading mark
//   of either order.
//
// Descriptors are plain values owned by whoever holds them and released with AEDisposeDesc (or
// held in a ScopedDesc); putting a descriptor into a list, record or event copies it.

using OSErr = qint16;
using FourCharCode = quint32;
using DescType = FourCharCode;
using AEKeyword = FourCharCode;
using AEEventClass = FourCharCode;
using AEEventID = FourCharCode;
using AESendMode = qint32;
using AESendPriority = qint16;
using AEReturnID = qint16;
using AETransactionID = qint32;
using Size = qint64;

// The code of a four-character literal such as fourCharCode("pnam"): the first character in the
// most significant byte, as the codes are written and sent.
constexpr FourCharCode fourCharCode(const char (&code)[5])
{
    return (FourCharCode(quint8(code[0])) << 24) | (FourCharCode(quint8(code[1])) << 16) |
           (FourCharCode(quint8(code[2])) << 8) | FourCharCode(quint8(code[3]));
}

// Status codes
enum : OSErr {
    noErr = 0,
    writErr = -20,
    ioErr = -36,
    fnfErr = -43,
    dupFNErr = -48,
    paramErr = -50,
    procNotFound = -600,
    errAECoercionFail = -1700,
    errAEDescNotFound = -1701,
    errAEWrongDataType = -1703,
    errAENotAEDesc = -1704,
    errAEBadListItem = -1705,
    errAEEventNotHandled = -1708,
    errAEUnknownSendMode = -1715,
    errAEUnknownAddressType = -1716,
    errAENoSuchObject = -1728,
    errAEEventFailed = -10000,
};

// Descriptor types
constexpr DescType typeNull = fourCharCode("null");
constexpr DescType typeWildCard = fourCharCode("****");
constexpr DescType typeAEList = fourCharCode("list");
constexpr DescType typeAERecord = fourCharCode("reco");
constexpr DescType typeAppleEvent = fourCharCode("aevt");
constexpr DescType typeObjectSpecifier = fourCharCode("obj ");
constexpr DescType typeType = fourCharCode("type");
constexpr DescType typeEnumerated = fourCharCode("enum");
constexpr DescType typeUnicodeText = fourCharCode("utxt");
constexpr DescType typeSInt16 = fourCharCode("shor");
constexpr DescType typeSInt32 = fourCharCode("long");
constexpr DescType typeFSRef = fourCharCode("fsrf");
constexpr DescType typeApplSignature = fourCharCode("sign");
constexpr DescType typeData = fourCharCode("tdta");

// Keywords of parameters and of the fields of an object specifier
constexpr AEKeyword keyDirectObject = fourCharCode("----");
constexpr AEKeyword keyErrorNumber = fourCharCode("errn");
constexpr AEKeyword keyAEObjectClass = fourCharCode("kocl");
constexpr AEKeyword keyAEPropData = fourCharCode("prdt");
constexpr AEKeyword keyAEData = fourCharCode("data");
constexpr AEKeyword keyAEInsertHere = fourCharCode("insh");
constexpr AEKeyword keyAEDesiredClass = fourCharCode("want");
constexpr AEKeyword keyAEContainer = fourCharCode("from");
constexpr AEKeyword keyAEKeyForm = fourCharCode("form");
constexpr AEKeyword keyAEKeyData = fourCharCode("seld");

// Attributes of an event (AEGetAttributeDesc)
constexpr AEKeyword keyEventClassAttr = fourCharCode("evcl");
constexpr AEKeyword keyEventIDAttr = fourCharCode("evid");
constexpr AEKeyword keyAddressAttr = fourCharCode("addr");
constexpr AEKeyword keyReturnIDAttr = fourCharCode("rtid");
constexpr AEKeyword keyTransactionIDAttr = fourCharCode("tran");

// Key forms of object specifiers
constexpr DescType formPropertyID = fourCharCode("prop");
constexpr DescType formName = fourCharCode("name");
constexpr DescType formUniqueID = fourCharCode("ID  ");

// Event classes and IDs of the core suite
constexpr AEEventClass kAECoreSuite = fourCharCode("core");
constexpr AEEventID kAECreateElement = fourCharCode("crel");
constexpr AEEventID kAESetData = fourCharCode("setd");
constexpr AEEventID kAEDelete = fourCharCode("delo");
constexpr AEEventClass kCoreEventClass = fourCharCode("aevt");
constexpr AEEventID kAEAnswer = fourCharCode("ansr");

// Send modes: one reply kind combined with one interaction level.
enum : AESendMode {
    kAENoReply = 0x00000001,
    kAEQueueReply = 0x00000002,
    kAEWaitReply = 0x00000003,
    kAENeverInteract = 0x00000010,
    kAECanInteract = 0x00000020,
    kAEAlwaysInteract = 0x00000030,
};
constexpr AESendPriority kAENormalPriority = 0;
constexpr long kAEDefaultTimeout = -1;
constexpr long kNoTimeOut = -2;
constexpr AEReturnID kAutoGenerateReturnID = -1;
constexpr AETransactionID kAnyTransactionID = 0;

// The opaque data of a descriptor; only this module looks inside.
struct OpaqueAEDataStorageType;
using AEDataStorage = OpaqueAEDataStorageType *;

struct AEDesc
{
    DescType descriptorType;
    AEDataStorage dataHandle;
};
using AEDescList = AEDesc;
using AERecord = AEDesc;
using AEAddressDesc = AEDesc;
using AppleEvent = AEDesc;

// Makes `desc` the null descriptor (typeNull, no data); it owns nothing afterwards.
void AEInitializeDesc(AEDesc *desc);

OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result);
// Releases what the descriptor owns and leaves it null. Disposing a null descriptor is harmless.
OSErr AEDisposeDesc(AEDesc *desc);

// An owned descriptor, null until filled through `&holder.desc`, disposed when it goes out of
// scope: no early return can leak it.
struct ScopedDesc
{
    AEDesc desc{typeNull, nullptr};
    ScopedDesc() = default;
    ~ScopedDesc() { AEDisposeDesc(&desc); }
    ScopedDesc(const ScopedDesc &) = delete;
    ScopedDesc &operator=(const ScopedDesc &) = delete;
};

// Lists and records. No factoring is done: factoringPtr must be nullptr and factoredSize 0.
OSErr AECreateList(const void *factoringPtr, Size factoredSize, bool isRecord, AEDescList *result);

// Keyed items of records, object specifiers and events. Putting an existing key replaces it. A
// desired type of typeWildCard takes the item as it is; any other type must match the item's own
// (errAECoercionFail otherwise); a missing key is errAEDescNotFound.
OSErr AEPutKeyPtr(AERecord *record, AEKeyword keyword, DescType typeCode, const void *dataPtr, Size dataSize);
OSErr AEGetKeyDesc(const AERecord *record, AEKeyword keyword, DescType desiredType, AEDesc *result);
OSErr AEPutParamPtr(AppleEvent *event, AEKeyword keyword, DescType typeCode, const void *dataPtr,
                    Size dataSize);
OSErr AEPutParamDesc(AppleEvent *event, AEKeyword keyword, const AEDesc *desc);
OSErr AEGetParamDesc(const AppleEvent *event, AEKeyword keyword, DescType desiredType, AEDesc *result);
OSErr AEGetParamPtr(const AppleEvent *event, AEKeyword keyword, DescType desiredType, DescType *typeCode,
                    void *dataPtr, Size maximumSize, Size *actualSize);

// Events. The return ID is kept as given (kAutoGenerateReturnID stays -1 in the event; the reply
// gets a fresh one when the event is sent).
OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc *target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent *result);
// keyEventClassAttr and keyEventIDAttr as 'type', keyReturnIDAttr as 'shor', keyTransactionIDAttr
// as 'long', keyAddressAttr as the target address descriptor.
OSErr AEGetAttributeDesc(const AppleEvent *event, AEKeyword keyword, DescType desiredType, AEDesc *result);

// An object specifier ('obj ') with 'want' = desiredClass ('type'), 'from' = the container (a null
// container means the application itself), 'form' = keyForm ('enum') and 'seld' = the key data.
// The inputs are copied; they are disposed only when disposeInputs is true.
OSErr CreateObjSpecifier(DescType desiredClass, AEDesc *container, DescType keyForm, AEDesc *keyData,
                         bool disposeInputs, AEDesc *objSpecifier);

// Receives one event for the application whose signature it was registered under. `reply` is
// the reply event to fill when the sender waits for one, nullptr with kAENoReply. A non-zero
// status tells the sender the event failed.
using AEReceiver = std::function<OSErr(const AppleEvent *event, AppleEvent *reply, AESendMode sendMode,
                                       long timeOutInTicks)>;

// Installs `receiver` for the application signature and returns the one it replaces (empty when
// there was none); an empty receiver removes the registration.
AEReceiver AESetReceiver(FourCharCode signature, AEReceiver receiver);
bool AEHasReceiver(FourCharCode signature);

// Delivers the event to the receiver of its target address ('sign' descriptor), on the calling
// thread, before returning. Reply kinds kAEWaitReply and kAENoReply are supported; `reply` must
// not be nullptr and is set to the reply event with kAEWaitReply and to null otherwise. Because
// the delivery is immediate, the receiver's failure is the status of the send in both modes (and
// is also put into the reply as 'errn'). procNotFound when no receiver is registered for the
// signature, errAEUnknownAddressType for any other kind of address. The timeout is handed to the
// receiver; kAEDefaultTimeout and kNoTimeOut are accepted.
OSErr AESend(const AppleEvent *event, AppleEvent *reply, AESendMode sendMode,
             AESendPriority sendPriority = kAENormalPriority, long timeOutInTicks = kAEDefaultTimeout);

// Conveniences over the descriptor data.
QByteArray AEDescBytes(const AEDesc *desc);
QByteArray AEUnicodeTextData(const QString &text);
// Decodes 'utxt' data, honouring a leading byte-order mark of either order.
QString AEUnicodeTextString(const QByteArray &data);
// The bytes of a four-character code as descriptor data, and back (0 unless exactly four bytes).
QByteArray AEFourCharCodeData(FourCharCode code);
FourCharCode AEFourCharCodeFromData(const QByteArray &data);

// The number of descriptor data blocks alive in the process, to find descriptors that were
// never disposed.
qsizetype AELiveDescriptorCount();

// Stand-in for the File Manager's file-system reference: 80 opaque bytes that identify an existing
// file or folder (its device and inode and where it was found). It stays valid while that same
// file is at that path.
struct FSRef
{
    quint8 hidden[80];
};

// `path` is a zero-terminated UTF-8 path. fnfErr when nothing exists there, paramErr for a null
// or empty path or missing ref.
OSErr FSPathMakeRef(const quint8 *path, FSRef *ref, bool *isDirectory);
// The path of the reference, or a null string with `status` set when it does not resolve: fnfErr
// when the file the reference was made for is no longer at its path, paramErr for bytes that are
// not a reference.
QString FSRefPath(const FSRef *ref, OSErr *status = nullptr);
