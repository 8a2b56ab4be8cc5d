#include "platform/AppleEvents.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// What the event layer under the music-library hand-over does beyond what the hand-over's own tests
// reach: failed sends and file references.
class TestAppleEvents : public QObject
{
    Q_OBJECT

    static constexpr FourCharCode kTestSignature = fourCharCode("tEst");

  private slots:
    void cleanup() { AESetReceiver(kTestSignature, AEReceiver()); }

    void failedSend_data()
    {
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<quint32>("addressType");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("replyError"); // the 'errn' of the reply, 0 for none
        QTest::newRow("no receiver") << "" << typeApplSignature << 0x13 << int(procNotFound) << 0;
        QTest::newRow("address is no signature")
            << "ok" << typeUnicodeText << int(kAENoReply) << int(errAEUnknownAddressType) << 0;
        QTest::newRow("queued reply")
            << "ok" << typeApplSignature << int(kAEQueueReply) << int(errAEUnknownSendMode) << 0;
        QTest::newRow("error number in the reply") << "error in reply" << typeApplSignature << 0x13
                                                   << int(errAENoSuchObject) << int(errAENoSuchObject);
        QTest::newRow("no reply asked") << "fails" << typeApplSignature << int(kAENoReply) << int(ioErr) << 0;
    }
    void failedSend()
    {
        QFETCH(QString, receiver);
        QFETCH(quint32, addressType);
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(int, replyError);
        int calls = 0;
        if (!receiver.isEmpty())
            AESetReceiver(kTestSignature, [&](const AppleEvent *, AppleEvent *answer, AESendMode, long) {
                ++calls;
                const qint32 error = errAENoSuchObject;
                if (answer && receiver == QLatin1String("error in reply"))
                    return AEPutParamPtr(answer, keyErrorNumber, typeSInt32, &error, sizeof error);
                return OSErr(receiver == QLatin1String("fails") && !answer ? ioErr : noErr);
            });
        const qsizetype liveDescriptors = AELiveDescriptorCount();
        {
            ScopedDesc address;
            ScopedDesc event;
            ScopedDesc answer;
            QCOMPARE(AECreateDesc(addressType, "tEst", 4, &address.desc), noErr);
            QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address.desc, -1, 0, &event.desc), noErr);
            QCOMPARE(int(AESend(&event.desc, &answer.desc, mode, kAENormalPriority, kAEDefaultTimeout)),
                     status);
            qint32 error = 0;
            AEGetParamPtr(&answer.desc, keyErrorNumber, typeSInt32, nullptr, &error, sizeof error, nullptr);
            QCOMPARE(error, replyError);
            QCOMPARE(answer.desc.descriptorType, replyError ? typeAppleEvent : typeNull);
            QCOMPARE(calls, int(status == errAENoSuchObject || status == ioErr));
        }
        QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
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
