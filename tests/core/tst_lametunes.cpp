#include "core/LameTunes.h"
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

QString text(const QString &value)
{
    return QStringLiteral("'utxt'(\"%1\")").arg(value);
}

QString setEvent(const char *property, const QString &data)
{
    return QStringLiteral("'core'\\'setd'{'----':'obj '{'want':'type'('****'), 'from':'long'(1), "
                          "'form':'enum'('prop'), 'seld':'type'('%1')}, 'data':%2}")
        .arg(QLatin1String(property), data);
}

} // namespace

// The hand-over's events as a recording stand-in for the library sees them, then into Orvik's own
// library with real MP3 files.
class TestLameTunes : public QObject
{
    Q_OBJECT

    std::unique_ptr<TunesRecorder> recorder;
    qsizetype liveDescriptors = 0;

  private slots:
    void init()
    {
        liveDescriptors = AELiveDescriptorCount();
        recorder = std::make_unique<TunesRecorder>();
    }
    void cleanup()
    {
        recorder.reset();
        // Every function disposes what it made; each test disposes the results it was handed.
        QCOMPARE(AELiveDescriptorCount(), liveDescriptors);
    }

    // CreatePlaylist (a null path) and AddFileToPlaylist wait for the answer, which is stored in the
    // result only on success. OpenTunes leaves a running library (here the recorder) in place.
    void createAndAdd_data()
    {
        QTest::addColumn<QString>("path"); // <dir>: a folder in which the file is made
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("receiver"); // a failure status, or 1: a reply without a direct object
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("event");
        const QString crel = QStringLiteral("'core'\\'crel'{'kocl':'type'('cUsP'), 'prdt':'reco'");
        const QString add = QStringLiteral("'hook'\\'Add '{'----':'fsrf'(80 bytes)");
        const QString title = QStringLiteral("Bj\u00f6rk \u2013 \U0001F3B5");
        const QString none;
        const QString mix = QStringLiteral("Mix");
        const QString empty = QStringLiteral("");
        QTest::newRow("no title") << none << none << 0 << 0 << crel + "{}}";
        QTest::newRow("empty title") << none << empty << 0 << 0 << crel + "{'pnam':" + text("") + "}}";
        QTest::newRow("title") << none << title << 0 << 0 << crel + "{'pnam':" + text(title) + "}}";
        QTest::newRow("refused") << none << none << int(errAEEventFailed) << int(errAEEventFailed)
                                 << crel + "{}}";
        QTest::newRow("no object") << none << none << 1 << int(errAEDescNotFound) << crel + "{}}";
        QTest::newRow("add to a playlist") << QStringLiteral("<dir>/S\u00e9ance.mp3") << mix << 0 << 0
                                           << add + ", 'insh':" + text(mix) + "}";
        QTest::newRow("add, no playlist") << QStringLiteral("<dir>/a.mp3") << none << 0 << 0 << add + "}";
        QTest::newRow("missing file")
            << QStringLiteral("/nonexistent/a.mp3") << mix << 0 << int(fnfErr) << none;
        QTest::newRow("empty path") << empty << mix << 0 << int(paramErr) << none;
        // The part before the NUL exists; the path as given does not.
        QTest::newRow("NUL in the path")
            << QStringLiteral("/tmp") + QChar(u'\0') + "x.mp3" << mix << 0 << int(paramErr) << none;
    }
    void createAndAdd()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QFETCH(int, receiver);
        QFETCH(int, status);
        QFETCH(QString, event);
        recorder->answerWithoutObject = receiver == 1;
        if (receiver < 0)
            recorder->failures.insert(0, OSErr(receiver));
        OpenTunes();
        QTemporaryDir folder;
        path.replace(QStringLiteral("<dir>"), folder.path());
        if (!path.isNull() && status == noErr)
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        AEDesc playlist{typeNull, nullptr};
        const QByteArray name = AEUnicodeTextData(QStringLiteral("Mix"));
        QCOMPARE(AECreateDesc(typeUnicodeText, name.constData(), name.size(), &playlist), noErr);
        AEDesc result{fourCharCode("mark"), nullptr};

        const OSErr answer = path.isNull()
                                 ? CreatePlaylist(title, &result)
                                 : AddFileToPlaylist(path, title.isNull() ? nullptr : &playlist, &result);
        AEDisposeDesc(&playlist);
        QCOMPARE(int(answer), status);
        QCOMPARE(AEPrintDesc(&result),
                 status ? QStringLiteral("'mark'(0 bytes)") : QStringLiteral("'long'(1)"));
        AEDisposeDesc(&result);
        QCOMPARE(recorder->printed(), event.isNull() ? QStringList() : QStringList{event});
        for (const TunesRecorder::Sent &sent : recorder->sent) {
            QCOMPARE(sent.sendMode, kAEWaitReply | kAENeverInteract);
            QCOMPARE(sent.file, path);
        }
    }

    // SetTags sends no reply-less 'setd' event for a tag not given, and stops at the first failure.
    void setTags_data()
    {
        QTest::addColumn<QVariantList>("tags");
        QTest::addColumn<int>("failingEvent");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("events");
        const QVariant none;
        QTest::newRow("title and a year that is no number")
            << QVariantList{"Song", none, none, "not a year", none, none, none, none} << -1 << 0
            << QStringList{setEvent("pnam", text("Song")), setEvent("pYr ", "'long'(0)")};
        QTest::newRow("all eight in order")
            << QVariantList{"T", "Ar", "Al", 1999, " 7", 12, "C", "G"} << -1 << 0
            << QStringList{setEvent("pnam", text("T")),   setEvent("pArt", text("Ar")),
                           setEvent("pAlb", text("Al")),  setEvent("pYr ", "'long'(1999)"),
                           setEvent("pTrN", "'long'(7)"), setEvent("pTrC", "'long'(12)"),
                           setEvent("pCmt", text("C")),   setEvent("pGen", text("G"))};
        QTest::newRow("artist fails")
            << QVariantList{"T", "Ar", "Al", 1999, 1, 2, "C", "G"} << 1 << int(errAEEventFailed)
            << QStringList{setEvent("pnam", text("T")), setEvent("pArt", text("Ar"))};
        QTest::newRow("null track") << QVariantList{"T", "Ar", none, 1999, 1, 2, none, none} << -1
                                    << int(errAENoSuchObject) << QStringList();
    }
    void setTags()
    {
        QFETCH(QVariantList, tags);
        QFETCH(int, failingEvent);
        QFETCH(int, status);
        QFETCH(QStringList, events);
        recorder->failures.insert(failingEvent, errAEEventFailed);
        AEDesc track{typeNull, nullptr};
        const qint32 answer = 1;
        if (status != errAENoSuchObject)
            QCOMPARE(AECreateDesc(typeSInt32, &answer, sizeof answer, &track), noErr);

        const QVariantList &t = tags;
        QCOMPARE(int(SetTags(&track, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7])), status);
        AEDisposeDesc(&track);
        QCOMPARE(recorder->printed(), events);
        for (const TunesRecorder::Sent &sent : recorder->sent)
            QCOMPARE(sent.sendMode, kAENoReply);
    }

    void intValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("space, digits, junk") << QVariant(" \t 42abc") << 42;
        QTest::newRow("too large") << QVariant("99999999999") << std::numeric_limits<int>::max();
        QTest::newRow("too small") << QVariant("-99999999999") << std::numeric_limits<int>::min();
        QTest::newRow("negative double") << QVariant(-12.9) << -12;
        QTest::newRow("long long") << QVariant(qlonglong(1) << 40) << std::numeric_limits<int>::max();
    }
    void intValue()
    {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        QCOMPARE(TunesIntValue(value), expected);
    }

    // Into Orvik's own library; a run whose playlist could not be made still gets its tags.
    void handOver_data()
    {
        QTest::addColumn<bool>("playlistMade");
        QTest::newRow("into a playlist") << true;
        QTest::newRow("playlist not made") << false;
    }
    void handOver()
    {
        QFETCH(bool, playlistMade);
        recorder.reset();
        QDir(MusicLibrary::playlistsFolder()).removeRecursively();
        QTemporaryDir folder;
        const QString path = makeTestMp3(folder.path(), QStringLiteral("track one.mp3"));
        QVERIFY(!path.isEmpty());

        OpenTunes();
        AEDesc playlist{typeNull, nullptr};
        AEDesc track{typeNull, nullptr};
        if (playlistMade)
            QCOMPARE(CreatePlaylist(QStringLiteral("Artist - Album"), &playlist), noErr);
        QCOMPARE(AddFileToPlaylist(path, &playlist, &track), noErr);
        QCOMPARE(SetTags(&track, QStringLiteral("T\u00eftle"), QStringLiteral("Artist"), QVariant(),
                         QStringLiteral("2004"), QStringLiteral("3"), 9, QVariant(), QVariant()),
                 noErr);
        AEDisposeDesc(&track);
        AEDisposeDesc(&playlist);
        AESetReceiver(fourCharCode("hook"), AEReceiver());

        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QVERIFY(tag);
        QCOMPARE(QString::fromUtf8(tag->title().toCString(true)), QStringLiteral("T\u00eftle"));
        QCOMPARE(tag->year(), 2004u);
        QCOMPARE(tag->frameList("TRCK").front()->toString(), TagLib::String("3/9"));
        const QByteArray list = readWholeFile(MusicLibrary::playlistPath(QStringLiteral("Artist - Album")));
        if (playlistMade)
            QCOMPARE(list, "#EXTM3U\n#EXTINF:0,Artist - T\xc3\xaftle\n" + QFile::encodeName(path) + '\n');
        else
            QVERIFY(!QFileInfo::exists(MusicLibrary::playlistsFolder()));
    }
};

QTEST_GUILESS_MAIN(TestLameTunes)
#include "tst_lametunes.moc"
