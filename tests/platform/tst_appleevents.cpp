#include "platform/AppleEvents.h"

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
        QTest::addColumn<QString>("receiver"); // how it answers; "text": addressed by text
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status"); // errAENoSuchObject: also the 'errn' of the reply
        const auto row = [](const char *name, const char *receiver, int mode, int status) {
            QTest::newRow(name) << QString(receiver) << mode << status;
        };
        row("no receiver", "", 0x13, procNotFound);
        row("address is no signature", "text", kAENoReply, errAEUnknownAddressType);
        row("queued reply", "ok", kAEQueueReply, errAEUnknownSendMode);
        row("error number in the reply", "error in reply", 0x13, errAENoSuchObject);
        row("no reply asked", "fails", kAENoReply, ioErr);
    }
    void failedSend()
    {
        QFETCH(QString, receiver);
        QFETCH(int, mode);
        QFETCH(int, status);
        const int replyError = status == errAENoSuchObject ? status : 0;
        if (!receiver.isEmpty())
            AESetReceiver(kTestSignature, [&](const AppleEvent *, AppleEvent *answer, AESendMode, long) {
                const qint32 error = errAENoSuchObject;
                if (answer && receiver == "error in reply")
                    return AEPutParamPtr(answer, keyErrorNumber, typeSInt32, &error, sizeof error);
                return OSErr(receiver == "fails" && !answer ? ioErr : noErr);
            });
        const qsizetype liveDescriptors = AELiveDescriptorCount();
        {
            ScopedDesc address, event, answer;
            QCOMPARE(AECreateDesc(receiver == "text" ? typeUnicodeText : typeApplSignature, "tEst", 4,
                                  &address.desc),
                     noErr);
            QCOMPARE(AECreateAppleEvent(kAECoreSuite, kAESetData, &address.desc, -1, 0, &event.desc), noErr);
            QCOMPARE(int(AESend(&event.desc, &answer.desc, mode, kAENormalPriority, kAEDefaultTimeout)),
                     status);
            qint32 error = 0;
            AEGetParamPtr(&answer.desc, keyErrorNumber, typeSInt32, nullptr, &error, sizeof error, nullptr);
            QCOMPARE(error, replyError);
            QCOMPARE(answer.desc.descriptorType, replyError ? typeAppleEvent : typeNull);
        }
        QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
    }

    // A reference names the file it was made for, not whatever later has its path.
    void fileReferences()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("f\u00fcr.mp3"), other = folder.filePath("other.mp3");
        QVERIFY(QFile(path).open(QIODevice::WriteOnly) && QFile(other).open(QIODevice::WriteOnly));
        FSRef ref, garbage = {};
        bool isDirectory = true;
        QCOMPARE(
            FSPathMakeRef(reinterpret_cast<const quint8 *>(path.toUtf8().constData()), &ref, &isDirectory),
            noErr);
        QVERIFY(!isDirectory);
        OSErr status = paramErr;
        QVERIFY(FSRefPath(&ref, &status) == path && status == noErr);
        QVERIFY(FSRefPath(&garbage, &status).isNull() && status == paramErr);
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        QVERIFY(FSRefPath(&ref, &status).isNull() && status == fnfErr);
    }
};

QTEST_GUILESS_MAIN(TestAppleEvents)
#include "tst_appleevents.moc"
