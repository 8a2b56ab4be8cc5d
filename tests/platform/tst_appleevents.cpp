#include "platform/AppleEvents.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// What the event layer under the music-library hand-over does beyond what the hand-over's own tests
// reach: descriptors' refusals, byte orders of text, failed sends and file references.
class TestAppleEvents : public QObject
{
    Q_OBJECT

    static constexpr FourCharCode kTestSignature = fourCharCode("tEst");
    qsizetype liveDescriptors = 0;

  private slots:
    void init() { liveDescriptors = AELiveDescriptorCount(); }
    void cleanup()
    {
        AESetReceiver(kTestSignature, AEReceiver());
        QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
    }

    void recordsAndLists()
    {
        AERecord record{typeNull, nullptr};
        AEDescList list{typeNull, nullptr};
        AEDesc item{typeNull, nullptr};
        QCOMPARE(AECreateList(nullptr, 0, true, &record), noErr);
        QCOMPARE(AECreateList(nullptr, 0, false, &list), noErr);
        for (qint32 value : {1, 2, 3}) {
            QCOMPARE(AEPutKeyPtr(&record, fourCharCode("numb"), typeSInt32, &value, sizeof value), noErr);
            QCOMPARE(AEPutPtr(&list, 0, typeSInt32, &value, sizeof value), noErr);
        }
        const qint32 value = 20;
        QCOMPARE(AEPutPtr(&list, 2, typeSInt32, &value, sizeof value), noErr);
        QCOMPARE(AEPutPtr(&list, 9, typeSInt32, &value, sizeof value), errAEBadListItem);
        QCOMPARE(AEPutKeyPtr(&list, fourCharCode("numb"), typeSInt32, &value, sizeof value),
                 errAEWrongDataType);
        QCOMPARE(AEPrintDesc(&record), QStringLiteral("'reco'{'numb':'long'(3)}"));
        QCOMPARE(AEPrintDesc(&list), QStringLiteral("'list'['long'(1), 'long'(20), 'long'(3)]"));
        QCOMPARE(AEGetKeyDesc(&record, fourCharCode("numb"), typeUnicodeText, &item), errAECoercionFail);
        QCOMPARE(AEGetKeyDesc(&record, fourCharCode("gone"), typeWildCard, &item), errAEDescNotFound);
        QCOMPARE(AEGetNthDesc(&list, 0, typeWildCard, nullptr, &item), errAEBadListItem);
        QCOMPARE(item.descriptorType, typeNull);
        AEDisposeDesc(&record);
        AEDisposeDesc(&list);
    }

    void unicodeTextByteOrder_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // U+00E9 and U+1F3B5, a surrogate pair.
        const QByteArray little("\xe9\x00\x3c\xd8\xb5\xdf", 6);
        const QByteArray big("\x00\xe9\xd8\x3c\xdf\xb5", 6);
        QTest::newRow("host order") << (QSysInfo::ByteOrder == QSysInfo::LittleEndian ? little : big);
        QTest::newRow("little-endian mark") << QByteArray("\xff\xfe") + little;
        QTest::newRow("big-endian mark") << QByteArray("\xfe\xff") + big;
    }
    void unicodeTextByteOrder()
    {
        QFETCH(QByteArray, bytes);
        const QString text = QStringLiteral("\u00e9\U0001F3B5");
        QCOMPARE(AEUnicodeTextString(bytes), text);
        if (!bytes.startsWith("\xff\xfe") && !bytes.startsWith("\xfe\xff"))
            QCOMPARE(AEUnicodeTextData(text), bytes);
    }

    void failedSend_data()
    {
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<quint32>("addressType");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reply");
        const QString none = QStringLiteral("'null'()");
        QTest::newRow("no receiver") << "" << typeApplSignature << 0x13 << int(procNotFound) << none;
        QTest::newRow("address is no signature")
            << "ok" << typeUnicodeText << int(kAENoReply) << int(errAEUnknownAddressType) << none;
        QTest::newRow("queued reply")
            << "ok" << typeApplSignature << int(kAEQueueReply) << int(errAEUnknownSendMode) << none;
        QTest::newRow("error number in the reply")
            << "error in reply" << typeApplSignature << 0x13 << int(errAENoSuchObject)
            << QStringLiteral("'aevt'\\'ansr'{'errn':'long'(-1728)}");
        QTest::newRow("no reply asked")
            << "fails" << typeApplSignature << int(kAENoReply) << int(ioErr) << none;
    }
    void failedSend()
    {
        QFETCH(QString, receiver);
        QFETCH(quint32, addressType);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(QString, reply);
        int calls = 0;
        if (!receiver.isEmpty())
            AESetReceiver(kTestSignature, [&](const AppleEvent *, AppleEvent *answer, AESendMode, long) {
                ++calls;
                const qint32 error = errAENoSuchObject;
                if (answer && receiver == QLatin1String("error in reply"))
                    return AEPutParamPtr(answer, keyErrorNumber, typeSInt32, &error, sizeof error);
                return OSErr(receiver == QLatin1String("fails") && !answer ? ioErr : noErr);
            });
        AEAddressDesc address{typeNull, nullptr};
        AppleEvent event{typeNull, nullptr};
        AppleEvent answer{typeNull, nullptr};
        QCOMPARE(AECreateDesc(addressType, "tEst", 4, &address), noErr);
        QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address, -1, 0, &event), noErr);
        QCOMPARE(int(AESend(&event, &answer, mode, kAENormalPriority, kAEDefaultTimeout)), status);
        QCOMPARE(AEPrintDesc(&answer), reply);
        QCOMPARE(calls, int(status == errAENoSuchObject || status == ioErr));
        AEDisposeDesc(&answer);
        AEDisposeDesc(&event);
        AEDisposeDesc(&address);
    }

    void fileReferences()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("f\u00fcr.mp3"));
        const QString other = folder.filePath(QStringLiteral("other.mp3"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly) && QFile(other).open(QIODevice::WriteOnly));
        FSRef ref;
        bool isDirectory = true;
        QCOMPARE(
            FSPathMakeRef(reinterpret_cast<const quint8 *>(path.toUtf8().constData()), &ref, &isDirectory),
            noErr);
        QVERIFY(!isDirectory);
        quint8 buffer[4096];
        QCOMPARE(FSRefMakePath(&ref, buffer, sizeof buffer), noErr);
        QCOMPARE(QString::fromUtf8(reinterpret_cast<const char *>(buffer)), path);
        QCOMPARE(FSRefMakePath(&ref, buffer, 4), paramErr);
        FSRef garbage = {};
        OSErr status = noErr;
        QVERIFY(FSRefPath(&garbage, &status).isNull());
        QCOMPARE(status, paramErr);
        // Another file now has the path: the reference does not follow the name to it.
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        QVERIFY(FSRefPath(&ref, &status).isNull());
        QCOMPARE(status, fnfErr);
    }
};

QTEST_GUILESS_MAIN(TestAppleEvents)
#include "tst_appleevents.moc"
