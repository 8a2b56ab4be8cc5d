#include "itunes/LameTunes.h"
#include "platform/MusicLibrary.h"
#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <limits>
#include <memory>

namespace {

const QString kHookAddress = QStringLiteral("'sign'('hook')");

QString textDesc(const QString &text)
{
    return QStringLiteral("'utxt'(\"%1\")").arg(text);
}

// The 'setd' event that sets `property` of the recorder's first answer.
QString setEvent(const QString &property, const QString &data)
{
    return QStringLiteral("'core'\\'setd'{'----':'obj '{'want':'type'('****'), 'from':'long'(1), "
                          "'form':'enum'('prop'), 'seld':'type'('%1')}, 'data':%2}")
        .arg(property, data);
}

} // namespace

// The events of the hand-over as a stand-in for the library sees them, and the hand-over into
// Orvik's own library with real MP3 files.
class TestLameTunes : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void createPlaylistSendsTheRecord_data();
    void createPlaylistSendsTheRecord();
    void titleTextIsUtf16InHostOrder();
    void createPlaylistFailureLeavesResultUntouched();
    void replyWithoutObjectIsAFailure();
    void noLibraryIsProcNotFound();

    void addFileSendsTheFileAndPlaylist();
    void addFileWithoutPlaylistSendsNoInsertionPoint();
    void addFileOfMissingPathSendsNothing_data();
    void addFileOfMissingPathSendsNothing();

    void setTagsSendsOnlyGivenTagsInOrder();
    void setTagsSendsAllEightInOrder();
    void setTagsOfNullTrackSendsNothing();
    void setTagsStopsAtFirstFailure();
    void setPropertyWithoutDataSendsNothing();
    void intValue_data();
    void intValue();

    void openTunesKeepsARunningLibrary();
    void handOverIntoTheLibrary();
    void fileTheLibraryRefusesGetsNoTags();
    void nullPlaylistAddsToTheLibraryAlone();

  private:
    std::unique_ptr<TunesRecorder> recorder;
    qsizetype liveDescriptors = 0;
};

void TestLameTunes::init()
{
    liveDescriptors = AELiveDescriptorCount();
    recorder = std::make_unique<TunesRecorder>();
}

void TestLameTunes::cleanup()
{
    recorder.reset();
    // Every function disposes what it made; only the results it handed out remain, and each test
    // disposes those.
    QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
}

void TestLameTunes::createPlaylistSendsTheRecord_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("properties");
    QTest::newRow("no title") << QString() << QStringLiteral("'reco'{}");
    QTest::newRow("title") << QStringLiteral("Mix")
                           << QStringLiteral("'reco'{'pnam':%1}").arg(textDesc("Mix"));
    QTest::newRow("empty title") << QStringLiteral("")
                                 << QStringLiteral("'reco'{'pnam':%1}").arg(textDesc(""));
}

void TestLameTunes::createPlaylistSendsTheRecord()
{
    QFETCH(QString, title);
    QFETCH(QString, properties);
    AEDesc playlist;
    AEInitializeDesc(&playlist);

    QCOMPARE(CreatePlaylist(title, &playlist), noErr);

    QCOMPARE(recorder->printed(),
             QStringList{QStringLiteral("'core'\\'crel'{'kocl':'type'('cUsP'), 'prdt':%1}").arg(properties)});
    const TunesRecorder::Sent &sent = recorder->sent.at(0);
    QCOMPARE(sent.sendMode, 0x13);
    QCOMPARE(sent.timeout, -1L);
    QCOMPARE(sent.returnID, AEReturnID(-1));
    QCOMPARE(sent.transactionID, 0);
    QCOMPARE(sent.address, kHookAddress);
    QVERIFY(sent.hadReply);
    QCOMPARE(AEPrintDesc(&playlist), TunesRecorder::answerFor(0));
    AEDisposeDesc(&playlist);
}

void TestLameTunes::titleTextIsUtf16InHostOrder()
{
    const QString title = QStringLiteral("Bj\u00f6rk \u2013 \U0001F3B5");
    QCOMPARE(CreatePlaylist(title, nullptr), noErr);
    QCOMPARE(recorder->sent.size(), 1);

    AEDesc properties;
    AEInitializeDesc(&properties);
    QCOMPARE(AEGetParamDesc(&recorder->sent[0].event, keyAEPropData, typeAERecord, &properties), noErr);
    char16_t units[16] = {};
    DescType type = 0;
    Size size = 0;
    QCOMPARE(
        AEGetKeyPtr(&properties, fourCharCode("pnam"), typeUnicodeText, &type, units, sizeof units, &size),
        noErr);
    AEDisposeDesc(&properties);
    QCOMPARE(type, typeUnicodeText);
    QCOMPARE(size, Size(title.size() * 2));
    QCOMPARE(QString::fromUtf16(units, title.size()), title);
}

void TestLameTunes::createPlaylistFailureLeavesResultUntouched()
{
    recorder->failures.insert(0, errAEEventFailed);
    AEDesc playlist;
    AEInitializeDesc(&playlist);
    playlist.descriptorType = fourCharCode("mark");

    QCOMPARE(CreatePlaylist(QStringLiteral("Mix"), &playlist), errAEEventFailed);
    QCOMPARE(playlist.descriptorType, fourCharCode("mark"));
    QVERIFY(playlist.dataHandle == nullptr);
}

void TestLameTunes::replyWithoutObjectIsAFailure()
{
    recorder->answerWithoutObject = true;
    AEDesc result;
    AEInitializeDesc(&result);
    QCOMPARE(CreatePlaylist(QString(), &result), errAEDescNotFound);
    QCOMPARE(result.descriptorType, typeNull);

    const QString path = QDir::temp().filePath(QStringLiteral("orvik-tunes-reply-test"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(AddFileToPlaylist(path, nullptr, &result), errAEDescNotFound);
    QCOMPARE(result.descriptorType, typeNull);
    // Without a result to fill, the reply's content does not matter.
    QCOMPARE(AddFileToPlaylist(path, nullptr, nullptr), noErr);
    QFile::remove(path);
}

void TestLameTunes::noLibraryIsProcNotFound()
{
    const AEReceiver recorderReceiver = AESetReceiver(fourCharCode("hook"), AEReceiver());
    AEDesc playlist;
    AEInitializeDesc(&playlist);
    const OSErr status = CreatePlaylist(QStringLiteral("Mix"), &playlist);
    AESetReceiver(fourCharCode("hook"), recorderReceiver);
    QCOMPARE(status, procNotFound);
    QCOMPARE(playlist.descriptorType, typeNull);
}

void TestLameTunes::addFileSendsTheFileAndPlaylist()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("S\u00e9ance.mp3"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    AEDesc playlist;
    AEInitializeDesc(&playlist);
    const QByteArray name = AEUnicodeTextData(QStringLiteral("Mix"));
    QCOMPARE(AECreateDesc(typeUnicodeText, name.constData(), name.size(), &playlist), noErr);
    AEDesc track;
    AEInitializeDesc(&track);

    QCOMPARE(AddFileToPlaylist(path, &playlist, &track), noErr);

    QCOMPARE(recorder->printed(),
             QStringList{
                 QStringLiteral("'hook'\\'Add '{'----':'fsrf'(80 bytes), 'insh':%1}").arg(textDesc("Mix"))});
    const TunesRecorder::Sent &sent = recorder->sent.at(0);
    QCOMPARE(sent.sendMode, 0x13);
    QCOMPARE(sent.timeout, -1L);
    QCOMPARE(sent.returnID, AEReturnID(-1));
    QCOMPARE(sent.transactionID, 0);
    QCOMPARE(sent.address, kHookAddress);
    FSRef ref;
    QCOMPARE(AEGetParamPtr(&sent.event, keyDirectObject, typeFSRef, nullptr, &ref, sizeof ref, nullptr),
             noErr);
    QCOMPARE(FSRefPath(&ref), path);
    QCOMPARE(AEPrintDesc(&track), TunesRecorder::answerFor(0));
    AEDisposeDesc(&track);
    AEDisposeDesc(&playlist);
}

void TestLameTunes::addFileWithoutPlaylistSendsNoInsertionPoint()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.mp3"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QCOMPARE(AddFileToPlaylist(path, nullptr, nullptr), noErr);
    QCOMPARE(recorder->printed(), QStringList{QStringLiteral("'hook'\\'Add '{'----':'fsrf'(80 bytes)}")});
}

void TestLameTunes::addFileOfMissingPathSendsNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/orvik/a.mp3") << int(fnfErr);
    QTest::newRow("empty") << QString() << int(paramErr);
    // The part before the NUL exists; the path as given does not.
    QTest::newRow("embedded NUL") << QStringLiteral("/tmp") + QChar(u'\0') + QStringLiteral("x.mp3")
                                  << int(paramErr);
}

void TestLameTunes::addFileOfMissingPathSendsNothing()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    AEDesc track;
    AEInitializeDesc(&track);
    QCOMPARE(int(AddFileToPlaylist(path, nullptr, &track)), status);
    QVERIFY(recorder->sent.isEmpty());
    QCOMPARE(track.descriptorType, typeNull);
}

void TestLameTunes::setTagsSendsOnlyGivenTagsInOrder()
{
    AEDesc track;
    AEInitializeDesc(&track);
    const qint32 answer = 1;
    QCOMPARE(AECreateDesc(typeSInt32, &answer, sizeof answer, &track), noErr);

    QCOMPARE(SetTags(&track, QStringLiteral("Song"), QVariant(), QVariant(), QStringLiteral("not a year"),
                     QVariant(), QVariant(), QVariant(), QVariant()),
             noErr);

    QCOMPARE(recorder->printed(), (QStringList{setEvent("pnam", textDesc("Song")),
                                               setEvent("pYr ", QStringLiteral("'long'(0)"))}));
    for (const TunesRecorder::Sent &sent : recorder->sent) {
        QCOMPARE(sent.sendMode, 0x01);
        QCOMPARE(sent.timeout, -1L);
        QCOMPARE(sent.returnID, AEReturnID(-1));
        QCOMPARE(sent.transactionID, 0);
        QCOMPARE(sent.address, kHookAddress);
        QVERIFY(!sent.hadReply);
    }
    AEDisposeDesc(&track);
}

void TestLameTunes::setTagsSendsAllEightInOrder()
{
    AEDesc track;
    AEInitializeDesc(&track);
    const qint32 answer = 1;
    QCOMPARE(AECreateDesc(typeSInt32, &answer, sizeof answer, &track), noErr);

    QCOMPARE(SetTags(&track, QStringLiteral("T"), QStringLiteral("Ar"), QStringLiteral("Al"), 1999,
                     QStringLiteral(" 7"), 12, QStringLiteral("C"), QStringLiteral("G")),
             noErr);

    QCOMPARE(recorder->printed(), (QStringList{
                                      setEvent("pnam", textDesc("T")),
                                      setEvent("pArt", textDesc("Ar")),
                                      setEvent("pAlb", textDesc("Al")),
                                      setEvent("pYr ", QStringLiteral("'long'(1999)")),
                                      setEvent("pTrN", QStringLiteral("'long'(7)")),
                                      setEvent("pTrC", QStringLiteral("'long'(12)")),
                                      setEvent("pCmt", textDesc("C")),
                                      setEvent("pGen", textDesc("G")),
                                  }));
    AEDisposeDesc(&track);
}

void TestLameTunes::setTagsOfNullTrackSendsNothing()
{
    AEDesc track;
    AEInitializeDesc(&track);
    QCOMPARE(SetTags(&track, QStringLiteral("T"), QStringLiteral("A"), QVariant(), 1999, 1, 2, QVariant(),
                     QVariant()),
             errAENoSuchObject);
    QCOMPARE(SetTags(nullptr, QStringLiteral("T"), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                     QVariant(), QVariant()),
             errAENoSuchObject);
    QVERIFY(recorder->sent.isEmpty());
}

void TestLameTunes::setTagsStopsAtFirstFailure()
{
    recorder->failures.insert(1, errAEEventFailed);
    AEDesc track;
    AEInitializeDesc(&track);
    const qint32 answer = 1;
    QCOMPARE(AECreateDesc(typeSInt32, &answer, sizeof answer, &track), noErr);

    QCOMPARE(SetTags(&track, QStringLiteral("T"), QStringLiteral("Ar"), QStringLiteral("Al"), 1999, 1, 2,
                     QStringLiteral("C"), QStringLiteral("G")),
             errAEEventFailed);
    QCOMPARE(recorder->printed(),
             (QStringList{setEvent("pnam", textDesc("T")), setEvent("pArt", textDesc("Ar"))}));
    AEDisposeDesc(&track);
}

void TestLameTunes::setPropertyWithoutDataSendsNothing()
{
    AEDesc address;
    AEInitializeDesc(&address);
    QCOMPARE(AECreateDesc(typeApplSignature, "hook", 4, &address), noErr);
    AEDesc object;
    AEInitializeDesc(&object);
    QCOMPARE(SetProperty(&address, &object, fourCharCode("pnam"), QVariant(), false), noErr);
    QVERIFY(recorder->sent.isEmpty());
    // Text given where a number is asked for follows the number rule.
    QCOMPARE(SetProperty(&address, &object, fourCharCode("pYr "), QStringLiteral("-12x"), true), noErr);
    QCOMPARE(recorder->printed(), QStringList{QStringLiteral(
                                      "'core'\\'setd'{'----':'obj '{'want':'type'('****'), 'from':'null'(), "
                                      "'form':'enum'('prop'), 'seld':'type'('pYr ')}, 'data':'long'(-12)}")});
    AEDisposeDesc(&address);
}

void TestLameTunes::intValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("digits") << QVariant(QStringLiteral("1999")) << 1999;
    QTest::newRow("leading space") << QVariant(QStringLiteral(" \t 42abc")) << 42;
    QTest::newRow("minus") << QVariant(QStringLiteral("-7")) << -7;
    QTest::newRow("plus") << QVariant(QStringLiteral("+3")) << 3;
    QTest::newRow("no digits") << QVariant(QStringLiteral("abc")) << 0;
    QTest::newRow("sign only") << QVariant(QStringLiteral("-")) << 0;
    QTest::newRow("empty") << QVariant(QString()) << 0;
    QTest::newRow("space inside") << QVariant(QStringLiteral("1 9")) << 1;
    QTest::newRow("too large") << QVariant(QStringLiteral("99999999999")) << std::numeric_limits<int>::max();
    QTest::newRow("too small") << QVariant(QStringLiteral("-99999999999")) << std::numeric_limits<int>::min();
    QTest::newRow("int") << QVariant(2001) << 2001;
    QTest::newRow("double") << QVariant(12.9) << 12;
    QTest::newRow("negative double") << QVariant(-12.9) << -12;
    QTest::newRow("long long") << QVariant(qlonglong(1) << 40) << std::numeric_limits<int>::max();
}

void TestLameTunes::intValue()
{
    QFETCH(QVariant, value);
    QFETCH(int, expected);
    QCOMPARE(TunesIntValue(value), expected);
}

void TestLameTunes::openTunesKeepsARunningLibrary()
{
    OpenTunes();
    QCOMPARE(CreatePlaylist(QString(), nullptr), noErr);
    QCOMPARE(recorder->sent.size(), 1);

    recorder.reset();
    QVERIFY(!AEHasReceiver(fourCharCode("hook")));
    OpenTunes();
    OpenTunes();
    QVERIFY(AEHasReceiver(fourCharCode("hook")));
    AESetReceiver(fourCharCode("hook"), AEReceiver());
}

void TestLameTunes::handOverIntoTheLibrary()
{
    recorder.reset();
    QTemporaryDir folder;
    const QString path = makeTestMp3(folder.path(), QStringLiteral("track one.mp3"));
    QVERIFY(!path.isEmpty());

    OpenTunes();
    AEDesc playlist;
    AEInitializeDesc(&playlist);
    QCOMPARE(CreatePlaylist(QStringLiteral("Artist - Album"), &playlist), noErr);
    AEDesc track;
    AEInitializeDesc(&track);
    QCOMPARE(AddFileToPlaylist(path, &playlist, &track), noErr);
    QCOMPARE(SetTags(&track, QStringLiteral("T\u00eftle"), QStringLiteral("Artist"), QStringLiteral("Album"),
                     QStringLiteral("2004"), QStringLiteral("3"), 9, QStringLiteral("Comment"),
                     QStringLiteral("Rock")),
             noErr);
    AEDisposeDesc(&track);
    AEDisposeDesc(&playlist);
    AESetReceiver(fourCharCode("hook"), AEReceiver());

    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QVERIFY(file.hasID3v2Tag());
    QVERIFY(!file.hasID3v1Tag());
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
    QCOMPARE(QString::fromUtf8(tag->title().toCString(true)), QStringLiteral("T\u00eftle"));
    QCOMPARE(QString::fromUtf8(tag->artist().toCString(true)), QStringLiteral("Artist"));
    QCOMPARE(QString::fromUtf8(tag->album().toCString(true)), QStringLiteral("Album"));
    QCOMPARE(tag->year(), 2004u);
    QCOMPARE(QString::fromUtf8(tag->frameList("TRCK").front()->toString().toCString(true)),
             QStringLiteral("3/9"));
    QCOMPARE(QString::fromUtf8(tag->comment().toCString(true)), QStringLiteral("Comment"));
    QCOMPARE(QString::fromUtf8(tag->genre().toCString(true)), QStringLiteral("Rock"));

    const QByteArray list = readWholeFile(MusicLibrary::playlistPath(QStringLiteral("Artist - Album")));
    QCOMPARE(list, QByteArray("#EXTM3U\n#EXTINF:0,Artist - T\xc3\xaftle\n") + QFile::encodeName(path) + '\n');
}

void TestLameTunes::fileTheLibraryRefusesGetsNoTags()
{
    recorder.reset();
    QTemporaryDir folder;
    const QString path = makeTestWav(folder.path(), QStringLiteral("not an mp3.mp3"));
    QVERIFY(!path.isEmpty());
    const QByteArray before = readWholeFile(path);

    OpenTunes();
    AEDesc track;
    AEInitializeDesc(&track);
    QVERIFY(AddFileToPlaylist(path, nullptr, &track) != noErr);
    QCOMPARE(track.descriptorType, typeNull);
    QCOMPARE(SetTags(&track, QStringLiteral("T"), QVariant(), QVariant(), 1999, QVariant(), QVariant(),
                     QVariant(), QVariant()),
             errAENoSuchObject);
    AEDisposeDesc(&track);
    AESetReceiver(fourCharCode("hook"), AEReceiver());
    QCOMPARE(readWholeFile(path), before);
}

void TestLameTunes::nullPlaylistAddsToTheLibraryAlone()
{
    recorder.reset();
    QTemporaryDir folder;
    const QString path = makeTestMp3(folder.path(), QStringLiteral("alone.mp3"));
    QVERIFY(!path.isEmpty());
    QDir(MusicLibrary::playlistsFolder()).removeRecursively();

    OpenTunes();
    // What a run holds when its playlist could not be made.
    AEDesc playlist;
    AEInitializeDesc(&playlist);
    AEDesc track;
    AEInitializeDesc(&track);
    QCOMPARE(AddFileToPlaylist(path, &playlist, &track), noErr);
    QCOMPARE(SetTags(&track, QStringLiteral("Alone"), QVariant(), QVariant(), QVariant(), QVariant(),
                     QVariant(), QVariant(), QVariant()),
             noErr);
    AEDisposeDesc(&track);
    AESetReceiver(fourCharCode("hook"), AEReceiver());

    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QCOMPARE(QString::fromUtf8(file.ID3v2Tag()->title().toCString(true)), QStringLiteral("Alone"));
    QVERIFY(!QFileInfo::exists(MusicLibrary::playlistsFolder()));
}

QTEST_GUILESS_MAIN(TestLameTunes)
#include "tst_lametunes.moc"
