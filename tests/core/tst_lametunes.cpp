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

// The hand-over into Orvik's own library with real MP3 files: what reaches the files and the
// playlists, and what a step that fails leaves behind.
class TestLameTunes : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    qsizetype liveDescriptors = 0;

  private slots:
    void initTestCase() { OpenTunes(); }
    void init()
    {
        QDir(MusicLibrary::playlistsFolder()).removeRecursively();
        liveDescriptors = AELiveDescriptorCount();
    }
    // Every function disposes what it made; each test disposes the results it was handed.
    void cleanup() { QCOMPARE(AELiveDescriptorCount(), liveDescriptors); }

    // A run whose playlist could not be made still gets its tags.
    void handOver_data()
    {
        QTest::addColumn<bool>("playlistMade");
        QTest::newRow("into a playlist") << true;
        QTest::newRow("playlist not made") << false;
    }
    void handOver()
    {
        QFETCH(bool, playlistMade);
        const QString path = makeTestMp3(folder.path(), QStringLiteral("track one.mp3"));
        QVERIFY(!path.isEmpty());
        ScopedDesc playlist;
        ScopedDesc track;
        if (playlistMade)
            QCOMPARE(CreatePlaylist(QStringLiteral("Artist - Album"), &playlist.desc), noErr);
        QCOMPARE(AddFileToPlaylist(path, &playlist.desc, &track.desc), noErr);
        QCOMPARE(SetTags(&track.desc, QStringLiteral("T\u00eftle"), QStringLiteral("Artist"), QVariant(),
                         QStringLiteral("2004"), QStringLiteral(" 3"), 9.0, QVariant(), QVariant()),
                 noErr);

        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        QVERIFY(tag);
        QCOMPARE(QString::fromUtf8(tag->title().toCString(true)), QStringLiteral("T\u00eftle"));
        QCOMPARE(tag->year(), 2004u);
        QCOMPARE(tag->frameList("TRCK").front()->toString(), TagLib::String("3/9"));
        const QString list = MusicLibrary::playlistPath(QStringLiteral("Artist - Album"));
        if (!playlistMade) {
            QVERIFY(!QFileInfo::exists(MusicLibrary::playlistsFolder()));
            return;
        }
        QCOMPARE(readWholeFile(list),
                 "#EXTM3U\n#EXTINF:0,Artist - T\xc3\xaftle\n" + QFile::encodeName(path) + '\n');
        // Only a playlist that lists nothing is removed.
        QCOMPARE(DeletePlaylist(&playlist.desc), errAEEventFailed);
        QVERIFY(QFileInfo::exists(list));
    }

    void emptyPlaylistIsRemoved()
    {
        ScopedDesc playlist;
        QCOMPARE(CreatePlaylist(QString(), &playlist.desc), noErr);
        QVERIFY(QFileInfo::exists(MusicLibrary::playlistPath(QStringLiteral("Untitled Playlist"))));
        QCOMPARE(DeletePlaylist(&playlist.desc), noErr);
        QVERIFY(!QFileInfo::exists(MusicLibrary::playlistPath(QStringLiteral("Untitled Playlist"))));
    }

    // A step that fails leaves the caller's result as it was, so a null descriptor stays null.
    void failures_data()
    {
        QTest::addColumn<QString>("path"); // null: make a playlist; "<wav>": a WAV named .mp3
        QTest::addColumn<int>("status");
        QTest::newRow("playlists folder is a file") << QString() << int(ioErr);
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/a.mp3") << int(fnfErr);
        QTest::newRow("empty path") << QStringLiteral("") << int(paramErr);
        // The part before the NUL exists; the path as given does not.
        QTest::newRow("NUL in the path") << QStringLiteral("/tmp") + QChar(u'\0') + "x.mp3" << int(paramErr);
        QTest::newRow("not an MP3") << QStringLiteral("<wav>") << int(ioErr);
        QTest::newRow("tags of no track") << QStringLiteral("<tags>") << int(errAENoSuchObject);
    }
    void failures()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        AEDesc result{fourCharCode("mark"), nullptr};
        OSErr answer = noErr;
        if (path.isNull()) {
            QVERIFY(QDir().mkpath(MusicLibrary::musicFolder()));
            QVERIFY(QFile(MusicLibrary::playlistsFolder()).open(QIODevice::WriteOnly));
            answer = CreatePlaylist(QStringLiteral("Mix"), &result);
            QFile::remove(MusicLibrary::playlistsFolder());
        } else if (path == QLatin1String("<tags>")) {
            // A null track would name the library itself and set its properties instead.
            const ScopedDesc none;
            answer = SetTags(&none.desc, QStringLiteral("T"), {}, {}, {}, {}, {}, {}, {});
        } else {
            if (path == QLatin1String("<wav>"))
                path = makeTestWav(folder.path(), QStringLiteral("wave.mp3"));
            answer = AddFileToPlaylist(path, nullptr, &result);
        }
        QCOMPARE(int(answer), status);
        QCOMPARE(result.descriptorType, fourCharCode("mark"));
        QCOMPARE(result.dataHandle, nullptr);
    }

    void intValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("text: space, digits, junk") << QVariant(" \t 42abc") << 42;
        QTest::newRow("negative double") << QVariant(-12.9) << -12;
        QTest::newRow("not a number") << QVariant(std::numeric_limits<double>::quiet_NaN()) << 0;
        QTest::newRow("long long") << QVariant(qlonglong(1) << 40) << std::numeric_limits<int>::max();
        QTest::newRow("unsigned long long") << QVariant(~qulonglong(0)) << std::numeric_limits<int>::max();
    }
    void intValue()
    {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        QCOMPARE(TunesIntValue(value), expected);
    }
};

QTEST_GUILESS_MAIN(TestLameTunes)
#include "tst_lametunes.moc"
