#include "platform/AppleEvents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr FourCharCode kTestSignature = fourCharCode("tEst");

OSErr makeAddress(FourCharCode signature, AEDesc *address)
{
    const QByteArray bytes = AEFourCharCodeData(signature);
    return AECreateDesc(typeApplSignature, bytes.constData(), bytes.size(), address);
}

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

// The descriptor, event and file-reference stand-ins that the music-library hand-over is built on.
class TestAppleEvents : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void fourCharCodesAreBigEndian();
    void keyedItemsAndTypes();
    void listsAppendAndReplace();
    void duplicateIsDeep();
    void objectSpecifierCopiesOrDisposesInputs();
    void unicodeTextByteOrder_data();
    void unicodeTextByteOrder();

    void sendWithoutReceiver();
    void sendToOtherAddressKind();
    void sendWaitingForReply();
    void receiverFailureIsTheStatus_data();
    void receiverFailureIsTheStatus();
    void sendWithoutReply();
    void unsupportedSendMode();

    void fileReferences();
    void fileReferenceOfReplacedFile();

  private:
    qsizetype liveDescriptors = 0;
};

void TestAppleEvents::init()
{
    liveDescriptors = AELiveDescriptorCount();
}

void TestAppleEvents::cleanup()
{
    AESetReceiver(kTestSignature, AEReceiver());
    QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
}

void TestAppleEvents::fourCharCodesAreBigEndian()
{
    static_assert(fourCharCode("core") == 0x636f7265);
    QCOMPARE(AEFourCharCodeData(fourCharCode("pYr ")), QByteArray("pYr "));
    QCOMPARE(AEFourCharCodeFromData("Add "), fourCharCode("Add "));
    QCOMPARE(AEFourCharCodeFromData("abc"), 0u);
    QCOMPARE(fourCharString(fourCharCode("----")), QStringLiteral("----"));
}

void TestAppleEvents::keyedItemsAndTypes()
{
    AERecord record;
    AEInitializeDesc(&record);
    QCOMPARE(AECreateList(nullptr, 0, true, &record), noErr);
    QCOMPARE(record.descriptorType, typeAERecord);
    const qint32 number = -5;
    QCOMPARE(AEPutKeyPtr(&record, fourCharCode("numb"), typeSInt32, &number, sizeof number), noErr);
    QCOMPARE(AEPutKeyPtr(&record, fourCharCode("text"), typeUnicodeText, u"ab", 4), noErr);
    const qint32 replacement = 7;
    QCOMPARE(AEPutKeyPtr(&record, fourCharCode("numb"), typeSInt32, &replacement, sizeof replacement), noErr);

    AEDesc item;
    AEInitializeDesc(&item);
    QCOMPARE(AEGetKeyDesc(&record, fourCharCode("numb"), typeUnicodeText, &item), errAECoercionFail);
    QCOMPARE(item.descriptorType, typeNull);
    QCOMPARE(AEGetKeyDesc(&record, fourCharCode("gone"), typeWildCard, &item), errAEDescNotFound);
    QCOMPARE(AEGetKeyDesc(&record, fourCharCode("numb"), typeWildCard, &item), noErr);
    QCOMPARE(AEPrintDesc(&item), QStringLiteral("'long'(7)"));
    AEDisposeDesc(&item);

    qint32 read = 0;
    DescType type = 0;
    Size size = 0;
    QCOMPARE(AEGetKeyPtr(&record, fourCharCode("numb"), typeSInt32, &type, &read, sizeof read, &size), noErr);
    QCOMPARE(read, 7);
    QCOMPARE(type, typeSInt32);
    QCOMPARE(size, Size(4));
    QCOMPARE(AEPrintDesc(&record), QStringLiteral("'reco'{'numb':'long'(7), 'text':'utxt'(\"ab\")}"));

    // A list has no keys, and a plain descriptor no items.
    AEDescList list;
    AEInitializeDesc(&list);
    QCOMPARE(AECreateList(nullptr, 0, false, &list), noErr);
    QCOMPARE(AEPutKeyPtr(&list, fourCharCode("numb"), typeSInt32, &number, sizeof number),
             errAEWrongDataType);
    QCOMPARE(AEPutKeyDesc(&item, fourCharCode("numb"), &record), errAEWrongDataType);
    AEDisposeDesc(&list);
    AEDisposeDesc(&record);
    QCOMPARE(record.descriptorType, typeNull);
    QVERIFY(record.dataHandle == nullptr);
}

void TestAppleEvents::listsAppendAndReplace()
{
    AEDescList list;
    AEInitializeDesc(&list);
    QCOMPARE(AECreateList(nullptr, 0, false, &list), noErr);
    for (qint32 value : {1, 2, 3})
        QCOMPARE(AEPutPtr(&list, 0, typeSInt32, &value, sizeof value), noErr);
    const qint32 replacement = 20;
    QCOMPARE(AEPutPtr(&list, 2, typeSInt32, &replacement, sizeof replacement), noErr);
    QCOMPARE(AEPutPtr(&list, 9, typeSInt32, &replacement, sizeof replacement), errAEBadListItem);
    long count = 0;
    QCOMPARE(AECountItems(&list, &count), noErr);
    QCOMPARE(count, 3L);
    QCOMPARE(AEPrintDesc(&list), QStringLiteral("'list'['long'(1), 'long'(20), 'long'(3)]"));
    AEDesc item;
    AEInitializeDesc(&item);
    QCOMPARE(AEGetNthDesc(&list, 0, typeWildCard, nullptr, &item), errAEBadListItem);
    QCOMPARE(AEGetNthDesc(&list, 3, typeWildCard, nullptr, &item), noErr);
    QCOMPARE(AEPrintDesc(&item), QStringLiteral("'long'(3)"));
    AEDisposeDesc(&item);
    AEDisposeDesc(&list);
}

void TestAppleEvents::duplicateIsDeep()
{
    AEAddressDesc address;
    AEInitializeDesc(&address);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    AppleEvent event;
    AEInitializeDesc(&event);
    QCOMPARE(AECreateAppleEvent(fourCharCode("clas"), fourCharCode("iden"), &address, -1, 0, &event), noErr);
    AEDisposeDesc(&address);
    AERecord record;
    AEInitializeDesc(&record);
    QCOMPARE(AECreateList(nullptr, 0, true, &record), noErr);
    QCOMPARE(AEPutKeyPtr(&record, fourCharCode("pnam"), typeUnicodeText, u"x", 2), noErr);
    QCOMPARE(AEPutParamDesc(&event, keyAEPropData, &record), noErr);
    AEDisposeDesc(&record);

    AppleEvent copy;
    AEInitializeDesc(&copy);
    QCOMPARE(AEDuplicateDesc(&event, &copy), noErr);
    const QString printed = AEPrintDesc(&event);
    AEDisposeDesc(&event);
    QCOMPARE(AEPrintDesc(&copy), printed);
    QCOMPARE(printed, QStringLiteral("'clas'\\'iden'{'prdt':'reco'{'pnam':'utxt'(\"x\")}}"));
    AEDesc attribute;
    AEInitializeDesc(&attribute);
    QCOMPARE(AEGetAttributeDesc(&copy, keyAddressAttr, typeWildCard, &attribute), noErr);
    QCOMPARE(AEPrintDesc(&attribute), QStringLiteral("'sign'('tEst')"));
    AEDisposeDesc(&attribute);
    AEDisposeDesc(&copy);
}

void TestAppleEvents::objectSpecifierCopiesOrDisposesInputs()
{
    AEDesc container;
    AEDesc key;
    AEDesc specifier;
    AEInitializeDesc(&container);
    AEInitializeDesc(&key);
    AEInitializeDesc(&specifier);
    QCOMPARE(AECreateDesc(typeType, "pnam", 4, &key), noErr);
    QCOMPARE(CreateObjSpecifier(typeWildCard, &container, formPropertyID, &key, false, &specifier), noErr);
    QCOMPARE(key.descriptorType, typeType);
    QCOMPARE(AEPrintDesc(&specifier),
             QStringLiteral("'obj '{'want':'type'('****'), 'from':'null'(), 'form':'enum'('prop'), "
                            "'seld':'type'('pnam')}"));
    AEDisposeDesc(&specifier);
    QCOMPARE(CreateObjSpecifier(typeWildCard, &container, formPropertyID, &key, true, &specifier), noErr);
    QCOMPARE(key.descriptorType, typeNull);
    AEDisposeDesc(&specifier);
}

void TestAppleEvents::unicodeTextByteOrder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString text = QStringLiteral("\u00e9\U0001F3B5");
    QByteArray little;
    QByteArray big;
    for (char16_t unit : text.toStdU16String()) {
        little += char(unit & 0xff);
        little += char(unit >> 8);
        big += char(unit >> 8);
        big += char(unit & 0xff);
    }
    const QByteArray host = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? little : big;
    QTest::newRow("host order") << host << text;
    QTest::newRow("little-endian mark") << QByteArray("\xff\xfe") + little << text;
    QTest::newRow("big-endian mark") << QByteArray("\xfe\xff") + big << text;
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestAppleEvents::unicodeTextByteOrder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(AEUnicodeTextString(bytes), text);
    if (!bytes.startsWith("\xff\xfe") && !bytes.startsWith("\xfe\xff"))
        QCOMPARE(AEUnicodeTextData(text), bytes);
}

void TestAppleEvents::sendWithoutReceiver()
{
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address, -1, 0, &event), noErr);
    QCOMPARE(AESend(&event, &reply, kAEWaitReply | kAENeverInteract, kAENormalPriority, kAEDefaultTimeout),
             procNotFound);
    QCOMPARE(reply.descriptorType, typeNull);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::sendToOtherAddressKind()
{
    bool called = false;
    AESetReceiver(kTestSignature, [&called](const AppleEvent *, AppleEvent *, AESendMode, long) {
        called = true;
        return noErr;
    });
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(AECreateDesc(typeUnicodeText, "tEst", 4, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address, -1, 0, &event), noErr);
    QCOMPARE(AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout),
             errAEUnknownAddressType);
    QVERIFY(!called);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::sendWaitingForReply()
{
    AESendMode seenMode = 0;
    long seenTimeout = 0;
    AESetReceiver(kTestSignature,
                  [&](const AppleEvent *event, AppleEvent *reply, AESendMode sendMode, long timeout) {
                      seenMode = sendMode;
                      seenTimeout = timeout;
                      AEDesc name;
                      AEInitializeDesc(&name);
                      OSErr status = AEGetParamDesc(event, keyDirectObject, typeUnicodeText, &name);
                      if (!status)
                          status = AEPutParamDesc(reply, keyDirectObject, &name);
                      AEDisposeDesc(&name);
                      return status;
                  });
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAECreateElement, &address, -1, 0, &event), noErr);
    QCOMPARE(AEPutParamPtr(&event, keyDirectObject, typeUnicodeText, u"hi", 4), noErr);
    QCOMPARE(AESend(&event, &reply, 0x13, kAENormalPriority, kAEDefaultTimeout), noErr);
    QCOMPARE(seenMode, 0x13);
    QCOMPARE(seenTimeout, -1L);
    QCOMPARE(AEPrintDesc(&reply), QStringLiteral("'aevt'\\'ansr'{'----':'utxt'(\"hi\")}"));
    AEDisposeDesc(&reply);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::receiverFailureIsTheStatus_data()
{
    QTest::addColumn<bool>("byStatus");
    QTest::newRow("returned status") << true;
    QTest::newRow("error number in the reply") << false;
}

void TestAppleEvents::receiverFailureIsTheStatus()
{
    QFETCH(bool, byStatus);
    AESetReceiver(kTestSignature, [byStatus](const AppleEvent *, AppleEvent *reply, AESendMode, long) {
        if (byStatus)
            return OSErr(errAENoSuchObject);
        const qint32 error = errAENoSuchObject;
        AEPutParamPtr(reply, keyErrorNumber, typeSInt32, &error, sizeof error);
        return OSErr(noErr);
    });
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAECreateElement, &address, -1, 0, &event), noErr);
    QCOMPARE(AESend(&event, &reply, 0x13, kAENormalPriority, kAEDefaultTimeout), errAENoSuchObject);
    qint32 error = 0;
    QCOMPARE(AEGetParamPtr(&reply, keyErrorNumber, typeSInt32, nullptr, &error, sizeof error, nullptr),
             noErr);
    QCOMPARE(error, qint32(errAENoSuchObject));
    AEDisposeDesc(&reply);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::sendWithoutReply()
{
    bool gotReply = true;
    AESetReceiver(kTestSignature, [&gotReply](const AppleEvent *, AppleEvent *reply, AESendMode, long) {
        gotReply = reply != nullptr;
        return OSErr(ioErr);
    });
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address, -1, 0, &event), noErr);
    QCOMPARE(AESend(&event, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout), ioErr);
    QVERIFY(!gotReply);
    QCOMPARE(reply.descriptorType, typeNull);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::unsupportedSendMode()
{
    AESetReceiver(kTestSignature, [](const AppleEvent *, AppleEvent *, AESendMode, long) { return noErr; });
    AEAddressDesc address;
    AppleEvent event;
    AppleEvent reply;
    AEInitializeDesc(&address);
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    QCOMPARE(makeAddress(kTestSignature, &address), noErr);
    QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address, -1, 0, &event), noErr);
    QCOMPARE(AESend(&event, &reply, kAEQueueReply, kAENormalPriority, kAEDefaultTimeout),
             errAEUnknownSendMode);
    QCOMPARE(AESend(&address, &reply, kAENoReply, kAENormalPriority, kAEDefaultTimeout), errAEWrongDataType);
    AEDisposeDesc(&event);
    AEDisposeDesc(&address);
}

void TestAppleEvents::fileReferences()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("f\u00fcr.mp3"));
    QVERIFY(touch(path));
    FSRef ref;
    bool isDirectory = true;
    QCOMPARE(FSPathMakeRef(reinterpret_cast<const quint8 *>(path.toUtf8().constData()), &ref, &isDirectory),
             noErr);
    QVERIFY(!isDirectory);
    static_assert(sizeof(FSRef) == 80);
    QCOMPARE(FSRefPath(&ref), path);
    quint8 buffer[4096];
    QCOMPARE(FSRefMakePath(&ref, buffer, sizeof buffer), noErr);
    QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(buffer)), path);
    QCOMPARE(FSRefMakePath(&ref, buffer, 4), paramErr);

    QCOMPARE(FSPathMakeRef(reinterpret_cast<const quint8 *>(folder.path().toUtf8().constData()), &ref,
                           &isDirectory),
             noErr);
    QVERIFY(isDirectory);
    const QByteArray missing = folder.filePath(QStringLiteral("missing.mp3")).toUtf8();
    QCOMPARE(FSPathMakeRef(reinterpret_cast<const quint8 *>(missing.constData()), &ref, nullptr), fnfErr);
    QCOMPARE(FSPathMakeRef(reinterpret_cast<const quint8 *>(""), &ref, nullptr), paramErr);
    FSRef garbage = {};
    OSErr status = noErr;
    QVERIFY(FSRefPath(&garbage, &status).isNull());
    QCOMPARE(status, paramErr);
}

void TestAppleEvents::fileReferenceOfReplacedFile()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.mp3"));
    const QString other = folder.filePath(QStringLiteral("b.mp3"));
    QVERIFY(touch(path));
    QVERIFY(touch(other));
    FSRef ref;
    QCOMPARE(FSPathMakeRef(reinterpret_cast<const quint8 *>(path.toUtf8().constData()), &ref, nullptr),
             noErr);
    // Another file now has the path: the reference does not follow the name to it.
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::rename(other, path));
    OSErr status = noErr;
    QVERIFY(FSRefPath(&ref, &status).isNull());
    QCOMPARE(status, fnfErr);
}

QTEST_GUILESS_MAIN(TestAppleEvents)
#include "tst_appleevents.moc"
