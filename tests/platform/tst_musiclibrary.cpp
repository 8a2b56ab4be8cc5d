#include "platform/M3UPlaylist.h"
#include "platform/MusicLibrary.h"
#include "support/SmallVolume.h"
#include "support/TunesSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace {

QString frameText(const QString &path, const char *frameID)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    const TagLib::ID3v2::FrameList frames =
        file.hasID3v2Tag() ? file.ID3v2Tag()->frameList(frameID) : TagLib::ID3v2::FrameList();
    return frames.isEmpty() ? QString() : QString::fromUtf8(frames.front()->toString().toCString(true));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// Orvik's music library with real MP3 files: playlist files and their names, entries, and the
// tags written into the files.
class TestMusicLibrary : public QObject
{
    Q_OBJECT

    MusicLibrary &library = MusicLibrary::instance();
    QTemporaryDir scratch;

  private slots:
    void init() { QDir(MusicLibrary::playlistsFolder()).removeRecursively(); }

    void playlistName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        const QString untitled = QStringLiteral("Untitled Playlist");
        QTest::newRow("none") << QString() << untitled;
        QTest::newRow("escape") << QStringLiteral("../../../evil") << QStringLiteral("-..-..-evil");
        QTest::newRow("parent") << QStringLiteral("..") << untitled;
        QTest::newRow("hidden") << QStringLiteral(" .hidden ") << QStringLiteral("hidden");
        QTest::newRow("line break") << QStringLiteral("one\r\ntwo") << QStringLiteral("one two");
        QTest::newRow("unprintable") << QStringLiteral("\x7f\u2028\n") << untitled;
        QTest::newRow("unicode") << QStringLiteral("Bj\u00f6rk \U0001F3B5")
                                 << QStringLiteral("Bj\u00f6rk \U0001F3B5");
        // A four-byte character must not be cut in half at the length limit.
        QTest::newRow("long") << QStringLiteral("\U0001F3B5").repeated(60)
                              << QStringLiteral("\U0001F3B5").repeated(50);
    }
    void playlistName()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QString made;
        QCOMPARE(library.createPlaylist(title, &made), noErr);
        QCOMPARE(made, name);
        QStringList files;
        for (QDirIterator it(MusicLibrary::musicFolder(), QDir::Files | QDir::System | QDir::Hidden,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            files << it.next();
        QCOMPARE(files, QStringList{MusicLibrary::playlistPath(name)});
        QCOMPARE(readWholeFile(files.value(0)), QByteArray("#EXTM3U\n"));
    }

    void takenNamesAreNumberedNeverReplaced()
    {
        QString first;
        QString second;
        QCOMPARE(library.createPlaylist(QString(), &first), noErr);
        QCOMPARE(library.createPlaylist(QString(), &second), noErr);
        QCOMPARE(first + u'|' + second, QStringLiteral("Untitled Playlist|Untitled Playlist 2"));
        QVERIFY(writeFile(MusicLibrary::playlistPath(QStringLiteral("Mix")), "#EXTM3U\nkept.mp3\n"));
        // A dangling link in the playlist folder is not followed to create its target.
        const QString target = scratch.filePath(QStringLiteral("target.m3u8"));
        QVERIFY(QFile::link(target, MusicLibrary::playlistPath(QStringLiteral("Mix 2"))));
        QCOMPARE(library.createPlaylist(QStringLiteral("Mix"), &first), noErr);
        QCOMPARE(first, QStringLiteral("Mix 3"));
        QCOMPARE(readWholeFile(MusicLibrary::playlistPath(QStringLiteral("Mix"))), "#EXTM3U\nkept.mp3\n");
        QVERIFY(!QFile::exists(target));
    }

    void entryLocation_data()
    {
        QTest::addColumn<bool>("inPlaylists");
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("location"); // <dir>: the folder of a file outside the playlists
        QTest::newRow("below the playlists")
            << true << QStringLiteral("sub/a.mp3") << QStringLiteral("sub/a.mp3");
        QTest::newRow("elsewhere") << false << QStringLiteral("b.mp3") << QStringLiteral("<dir>/b.mp3");
        QTest::newRow("hash") << true << QStringLiteral("#1.mp3") << QStringLiteral("./#1.mp3");
        QTest::newRow("colon") << true << QStringLiteral("a:b.mp3") << QStringLiteral("./a:b.mp3");
        QTest::newRow("line break") << false << QStringLiteral("new\nline.mp3")
                                    << QStringLiteral("file://<dir>/new%0Aline.mp3");
    }
    void entryLocation()
    {
        QFETCH(bool, inPlaylists);
        QFETCH(QString, relativePath);
        QFETCH(QString, location);
        QString playlist;
        QCOMPARE(library.createPlaylist(QStringLiteral("Entries"), &playlist), noErr);
        const QFileInfo file(QDir(inPlaylists ? MusicLibrary::playlistsFolder() : scratch.path()),
                             relativePath);
        QVERIFY(!makeTestMp3(file.path(), file.fileName()).isEmpty());
        qint32 first = 0;
        qint32 second = 0;
        QCOMPARE(library.addFile(file.filePath(), playlist, &first), noErr);
        QCOMPARE(library.addFile(file.filePath(), playlist, &second), noErr);
        QCOMPARE(second, first);
        QCOMPARE(library.trackPath(first), file.filePath());

        M3UPlaylist list;
        QVERIFY(list.read(MusicLibrary::playlistPath(playlist)));
        QCOMPARE(list.entries.size(), 1); // listed once
        QCOMPARE(list.entries.at(0).location, location.replace(QStringLiteral("<dir>"), scratch.path()));
        QCOMPARE(M3UPlaylist::resolve(location, MusicLibrary::playlistsFolder()), file.filePath());
        QCOMPARE(list.entries.at(0).title, file.completeBaseName().replace(u'\n', u' '));
    }

    // Lines Orvik does not know survive, and the new content replaces the file whole: a reader
    // holding the old file keeps reading the old content.
    void playlistIsRewrittenWholeKeepingUnknownLines()
    {
        QVERIFY(QDir().mkpath(MusicLibrary::playlistsFolder()));
        const QString playlistFile = MusicLibrary::playlistPath(QStringLiteral("Edited"));
        const QByteArray old = "#EXTM3U\r\n#EXTVLCOPT:start-time=3\r\n#EXTINF:12,Old\r\nold.mp3\r\n# end\r\n";
        QVERIFY(writeFile(playlistFile, old));
        QFile reader(playlistFile);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        const QString path = makeTestMp3(scratch.path(), QStringLiteral("new.mp3"));
        QCOMPARE(library.addFile(path, QStringLiteral("Edited"), nullptr), noErr);
        QCOMPARE(readWholeFile(playlistFile), "#EXTM3U\n#EXTVLCOPT:start-time=3\n#EXTINF:12,Old\nold.mp3\n"
                                              "#EXTINF:0,new\n" +
                                                  QFile::encodeName(path) + "\n# end\n");
        QCOMPARE(reader.readAll(), old);
    }

    // A file that is no MP3 (or no longer one) is refused, and so is a playlist that Orvik did not make
    // in its folder; nothing is written.
    void refusalsLeaveEverythingUntouched_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: a folder
        QTest::addColumn<bool>("addedFirst");    // overwritten in place, so still the track that was added
        QTest::addColumn<QString>("playlist");
        QTest::addColumn<int>("status");
        QTemporaryDir folder;
        const QByteArray wav = readWholeFile(makeTestWav(folder.path(), QStringLiteral("x.wav")));
        const QByteArray mp3 = readWholeFile(makeTestMp3(folder.path(), QStringLiteral("x.mp3")));
        const QString made = QStringLiteral("Refusals");
        QTest::newRow("wav named mp3") << wav << false << made << int(ioErr);
        QTest::newRow("text") << QByteArray("not music at all\n") << false << made << int(ioErr);
        QTest::newRow("folder") << QByteArray() << false << made << int(ioErr);
        QTest::newRow("no longer an mp3 when tagged") << wav << true << made << int(ioErr);
        QTest::newRow("playlist never made")
            << mp3 << false << QStringLiteral("Never Made") << int(errAENoSuchObject);
        QTest::newRow("playlist outside")
            << mp3 << false << QStringLiteral("../Outside") << int(errAENoSuchObject);
        QTest::newRow("hidden playlist")
            << mp3 << false << QStringLiteral(".Hidden") << int(errAENoSuchObject);
    }
    void refusalsLeaveEverythingUntouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, addedFirst);
        QFETCH(QString, playlist);
        QFETCH(int, status);
        QString made;
        QCOMPARE(library.createPlaylist(QStringLiteral("Refusals"), &made), noErr);
        const QString outside = QDir(MusicLibrary::musicFolder()).filePath(QStringLiteral("Outside.m3u8"));
        const QString hidden = MusicLibrary::playlistPath(QStringLiteral(".Hidden"));
        QVERIFY(writeFile(outside, "#EXTM3U\n") && writeFile(hidden, "#EXTM3U\n"));
        const QString path = makeTestMp3(scratch.path(), QTest::currentDataTag() + QStringLiteral(".mp3"));
        qint32 trackID = -1;
        if (addedFirst)
            QCOMPARE(library.addFile(path, QString(), &trackID), noErr);
        QVERIFY(content.isNull() ? QFile::remove(path) && QDir().mkpath(path) : writeFile(path, content));

        QCOMPARE(int(addedFirst ? library.setTrackProperty(trackID, MusicLibrary::kTitle, QStringLiteral("T"))
                                : library.addFile(path, playlist, &trackID)),
                 status);
        QCOMPARE(readWholeFile(path), content);
        QCOMPARE(readWholeFile(MusicLibrary::playlistPath(made)) + readWholeFile(outside) +
                     readWholeFile(hidden),
                 "#EXTM3U\n#EXTM3U\n#EXTM3U\n");
        QFile::remove(outside);
    }

    void tagsAreId3v24InUtf8()
    {
        const QString path = makeTestMp3(scratch.path(), QStringLiteral("tags.mp3"));
        qint32 track = 0;
        QCOMPARE(library.addFile(path, QString(), &track), noErr);
        const QString title = QStringLiteral("\u041f\u0435\u0441\u043d\u044f \U0001F3B5");
        const QList<std::pair<FourCharCode, QVariant>> tags = {
            {MusicLibrary::kTitle, title},    {MusicLibrary::kArtist, "Bj\u00f6rk"},
            {MusicLibrary::kAlbum, "Album"},  {MusicLibrary::kYear, 1999},
            {MusicLibrary::kComment, "Note"}, {MusicLibrary::kGenre, "Jazz"},
            {MusicLibrary::kTrackNumber, 3},  {MusicLibrary::kTrackCount, 12}};
        for (const auto &[property, value] : tags)
            QCOMPARE(library.setTrackProperty(track, property, value), noErr);
        QCOMPARE(library.setTrackProperty(track, fourCharCode("pXyz"), 1), errAEEventNotHandled);
        QCOMPARE(library.setTrackProperty(987654, MusicLibrary::kTitle, title), errAENoSuchObject);

        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        QVERIFY(file.isValid() && !file.hasID3v1Tag() && !file.hasAPETag());
        QCOMPARE(file.ID3v2Tag()->header()->majorVersion(), 4u);
        const auto *titleFrame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(
            file.ID3v2Tag()->frameList("TIT2").front());
        QVERIFY(titleFrame && titleFrame->textEncoding() == TagLib::String::UTF8);
        const QStringList frames{frameText(path, "TIT2"), frameText(path, "TPE1"), frameText(path, "TALB"),
                                 frameText(path, "TDRC"), frameText(path, "COMM"), frameText(path, "TCON"),
                                 frameText(path, "TRCK")};
        QCOMPARE(frames, (QStringList{title, "Bj\u00f6rk", "Album", "1999", "Note", "Jazz", "3/12"}));

        // A count without a number has no place in the frame; zero and empty clear a tag.
        QCOMPARE(library.setTrackProperty(track, MusicLibrary::kTrackNumber, 0), noErr);
        QCOMPARE(library.setTrackProperty(track, MusicLibrary::kYear, 0), noErr);
        QCOMPARE(library.setTrackProperty(track, MusicLibrary::kTitle, QString()), noErr);
        QCOMPARE(frameText(path, "TRCK") + frameText(path, "TDRC") + frameText(path, "TIT2"), QString());
    }

    // A disk that fills while the tags are written leaves the MP3 as it was, says so, and leaves no
    // copy behind; the same write succeeds once there is room.
    void fullDiskLeavesTheFileWhole()
    {
        const SmallVolume volume(scratch.filePath(QStringLiteral("small")), 256);
        if (!volume.isMounted())
            QSKIP(qPrintable(volume.reason()));
        const QString path =
            makeTestMp3(scratch.filePath(QStringLiteral("small")), QStringLiteral("full.mp3"));
        const QByteArray encoded = readWholeFile(path);
        QFile filler(scratch.filePath(QStringLiteral("small/filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        qint32 track = 0;
        QCOMPARE(library.addFile(path, QString(), &track), noErr);
        QCOMPARE(library.setTrackProperty(track, MusicLibrary::kTitle, QStringLiteral("A title")), ioErr);
        QCOMPARE(readWholeFile(path), encoded);
        QCOMPARE(QDir(scratch.filePath(QStringLiteral("small")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"filler", "full.mp3"}));
        filler.close();
        QVERIFY(QFile::remove(filler.fileName()));
        QCOMPARE(library.setTrackProperty(track, MusicLibrary::kTitle, QStringLiteral("A title")), noErr);
        QCOMPARE(frameText(path, "TIT2"), QStringLiteral("A title"));
    }
};

QTEST_GUILESS_MAIN(TestMusicLibrary)
#include "tst_musiclibrary.moc"
