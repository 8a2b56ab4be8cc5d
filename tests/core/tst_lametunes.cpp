#include "core/LameTunes.h"
#include "platform/MusicLibrary.h"
#include "support/TunesSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

    // The track lands in the playlist with its tags; only a playlist that lists nothing is removed.
    void handOver()
    {
        const QString path = makeTestMp3(folder.path(), "track one.mp3");
        ScopedDesc playlist, track;
        QCOMPARE(CreatePlaylist("Artist - Album", &playlist.desc), noErr);
        QCOMPARE(AddFileToPlaylist(path, &playlist.desc, &track.desc), noErr);
        QCOMPARE(SetTags(&track.desc, "T\u00eftle", "Artist", {}, "2004", " 3", 9.0, {}, {}), noErr);
        QCOMPARE(id3Frame(path, "TIT2") + '|' + id3Frame(path, "TDRC") + '|' + id3Frame(path, "TRCK"),
                 QString("T\u00eftle|2004|3/9"));
        const QString list = MusicLibrary::playlistPath("Artist - Album");
        QCOMPARE(readWholeFile(list),
                 "#EXTM3U\n#EXTINF:0,Artist - T\xc3\xaftle\n" + QFile::encodeName(path) + '\n');
        QCOMPARE(DeletePlaylist(&playlist.desc), errAEEventFailed);
        QVERIFY(QFileInfo::exists(list));
        // A null track would name the library itself and set its properties instead.
        const ScopedDesc none;
        QCOMPARE(SetTags(&none.desc, QStringLiteral("T"), {}, {}, {}, {}, {}, {}, {}), errAENoSuchObject);
    }

    // A file that cannot be added leaves the caller's result as it was: a null descriptor stays null.
    void failures_data()
    {
        QTest::addColumn<QString>("path"); // "<wav>": a WAV named .mp3
        QTest::addColumn<int>("status");
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/a.mp3") << int(fnfErr);
        QTest::newRow("empty path") << QStringLiteral("") << int(paramErr);
        // The part before the NUL exists; the path as given does not.
        QTest::newRow("NUL in the path") << QStringLiteral("/tmp") + QChar(u'\0') + "x.mp3" << int(paramErr);
        QTest::newRow("not an MP3") << QStringLiteral("<wav>") << int(ioErr);
    }
    void failures()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        AEDesc result{fourCharCode("mark"), nullptr};
        if (path == QLatin1String("<wav>"))
            path = makeTestWav(folder.path(), QStringLiteral("wave.mp3"));
        QCOMPARE(int(AddFileToPlaylist(path, nullptr, &result)), status);
        QCOMPARE(result.descriptorType, fourCharCode("mark"));
        QCOMPARE(result.dataHandle, nullptr);
    }

    void intValue()
    {
        const int most = std::numeric_limits<int>::max();
        const QList<std::pair<QVariant, int>> cases = {{-12.9, -12},
                                                       {std::numeric_limits<double>::quiet_NaN(), 0},
                                                       {qlonglong(1) << 40, most},
                                                       {~qulonglong(0), most}};
        for (const auto &[value, expected] : cases)
            QCOMPARE(TunesIntValue(value), expected);
    }
};

QTEST_GUILESS_MAIN(TestLameTunes)
#include "tst_lametunes.moc"
