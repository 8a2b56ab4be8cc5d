#include "platform/M3UPlaylist.h"
#include "platform/MusicLibrary.h"
#include "support/TunesSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/commentsframe.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace {

QString frameText(const QString &path, const char *frameID)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    if (!file.hasID3v2Tag())
        return QString();
    const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameList(frameID);
    return frames.isEmpty() ? QString() : QString::fromUtf8(frames.front()->toString().toCString(true));
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
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

  private slots:
    void init();

    void playlistBaseName_data();
    void playlistBaseName();
    void createPlaylistStaysInItsFolder_data();
    void createPlaylistStaysInItsFolder();
    void untitledPlaylistsAreNumbered();
    void existingPlaylistIsNeverReplaced();

    void entryLocation_data();
    void entryLocation();
    void fileIsListedOnce();
    void unknownLinesOfAPlaylistSurvive();
    void fileThatIsNoMp3IsRefused_data();
    void fileThatIsNoMp3IsRefused();
    void unknownPlaylistIsRefused_data();
    void unknownPlaylistIsRefused();

    void tagsAreId3v24InUtf8();
    void trackNumberAndCount();
    void zeroAndEmptyValuesClearTags();
    void titleWithLineBreakKeepsThePlaylistIntact();
    void fileNoLongerAnMp3IsLeftUntouched();
    void unknownTrackIsRefused();

  private:
    MusicLibrary &library = MusicLibrary::instance();
    QTemporaryDir scratch;
};

void TestMusicLibrary::init()
{
    QDir(MusicLibrary::playlistsFolder()).removeRecursively();
    QVERIFY(scratch.isValid());
}

void TestMusicLibrary::playlistBaseName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("Artist - Album") << QStringLiteral("Artist - Album");
    QTest::newRow("slash") << QStringLiteral("AC/DC - Back") << QStringLiteral("AC-DC - Back");
    QTest::newRow("parent") << QStringLiteral("..") << QString();
    QTest::newRow("path") << QStringLiteral("../../etc/passwd") << QStringLiteral("-..-etc-passwd");
    QTest::newRow("hidden") << QStringLiteral(" .hidden ") << QStringLiteral("hidden");
    QTest::newRow("line break") << QStringLiteral("one\r\ntwo") << QStringLiteral("one two");
    QTest::newRow("controls only") << QStringLiteral("\t\x01\n") << QString();
    QTest::newRow("spaces only") << QStringLiteral("   ") << QString();
    QTest::newRow("empty") << QStringLiteral("") << QString();
    QTest::newRow("NUL") << (QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"))
                         << QStringLiteral("a b");
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QStringLiteral("a b");
    QTest::newRow("unicode") << QStringLiteral("Bj\u00f6rk \U0001F3B5")
                             << QStringLiteral("Bj\u00f6rk \U0001F3B5");
}

void TestMusicLibrary::playlistBaseName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(MusicLibrary::playlistBaseName(title), name);
}

void TestMusicLibrary::createPlaylistStaysInItsFolder_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << QString() << QStringLiteral("Untitled Playlist");
    QTest::newRow("named") << QStringLiteral("Mix") << QStringLiteral("Mix");
    QTest::newRow("escape") << QStringLiteral("../../../evil") << QStringLiteral("-..-..-evil");
    QTest::newRow("dots") << QStringLiteral("...") << QStringLiteral("Untitled Playlist");
    QTest::newRow("unprintable") << QStringLiteral("\x7f\n") << QStringLiteral("Untitled Playlist");
    QTest::newRow("very long") << QString(300, QChar(0x00e9)) << QString(100, QChar(0x00e9));
    // A four-byte character must not be cut in half at the length limit.
    QTest::newRow("long emoji") << QString(QStringLiteral("\U0001F3B5")).repeated(60)
                                << QString(QStringLiteral("\U0001F3B5")).repeated(50);
}

void TestMusicLibrary::createPlaylistStaysInItsFolder()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QString made;
    QCOMPARE(library.createPlaylist(title, &made), noErr);
    QCOMPARE(made, name);
    const QString path = MusicLibrary::playlistPath(name);
    QCOMPARE(filesBelow(MusicLibrary::musicFolder()), QStringList{path});
    QCOMPARE(readWholeFile(path), QByteArray("#EXTM3U\n"));
}

void TestMusicLibrary::untitledPlaylistsAreNumbered()
{
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        QString name;
        QCOMPARE(library.createPlaylist(QString(), &name), noErr);
        names << name;
    }
    QCOMPARE(names, (QStringList{QStringLiteral("Untitled Playlist"), QStringLiteral("Untitled Playlist 2"),
                                 QStringLiteral("Untitled Playlist 3")}));
}

void TestMusicLibrary::existingPlaylistIsNeverReplaced()
{
    QVERIFY(QDir().mkpath(MusicLibrary::playlistsFolder()));
    QVERIFY(writeFile(MusicLibrary::playlistPath(QStringLiteral("Mix")), "#EXTM3U\nkept.mp3\n"));
    // A dangling link in the playlist folder is not followed to create its target.
    const QString target = scratch.filePath(QStringLiteral("target.m3u8"));
    QVERIFY(QFile::link(target, MusicLibrary::playlistPath(QStringLiteral("Mix 2"))));

    QString name;
    QCOMPARE(library.createPlaylist(QStringLiteral("Mix"), &name), noErr);
    QCOMPARE(name, QStringLiteral("Mix 3"));
    QCOMPARE(readWholeFile(MusicLibrary::playlistPath(QStringLiteral("Mix"))),
             QByteArray("#EXTM3U\nkept.mp3\n"));
    QVERIFY(!QFile::exists(target));
}

void TestMusicLibrary::entryLocation_data()
{
    QTest::addColumn<bool>("inPlaylists");
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("location"); // <dir> = the folder of the file, for absolute entries
    QTest::newRow("below the playlists")
        << true << QStringLiteral("sub/a.mp3") << QStringLiteral("sub/a.mp3");
    QTest::newRow("elsewhere") << false << QStringLiteral("b.mp3") << QStringLiteral("<dir>/b.mp3");
    QTest::newRow("hash") << true << QStringLiteral("#1.mp3") << QStringLiteral("./#1.mp3");
    QTest::newRow("colon") << true << QStringLiteral("a:b.mp3") << QStringLiteral("./a:b.mp3");
    QTest::newRow("spaces") << false << QStringLiteral(" c .mp3") << QStringLiteral("<dir>/ c .mp3");
    QTest::newRow("line break") << false << QStringLiteral("new\nline.mp3")
                                << QStringLiteral("file://<dir>/new%0Aline.mp3");
}

void TestMusicLibrary::entryLocation()
{
    QFETCH(bool, inPlaylists);
    QFETCH(QString, relativePath);
    QFETCH(QString, location);
    QString playlist;
    QCOMPARE(library.createPlaylist(QStringLiteral("Entries"), &playlist), noErr);
    const QString base = inPlaylists ? MusicLibrary::playlistsFolder() : scratch.path();
    const QString path = QDir(base).filePath(relativePath);
    QVERIFY(!makeTestMp3(QFileInfo(path).path(), QFileInfo(path).fileName()).isEmpty());
    location.replace(QStringLiteral("<dir>"), scratch.path());

    qint32 trackID = 0;
    QCOMPARE(library.addFile(path, playlist, &trackID), noErr);
    QCOMPARE(library.trackPath(trackID), path);

    M3UPlaylist list;
    QVERIFY(list.read(MusicLibrary::playlistPath(playlist)));
    QCOMPARE(list.entries.size(), 1);
    QCOMPARE(list.entries.at(0).location, location);
    QCOMPARE(M3UPlaylist::resolve(list.entries.at(0).location, MusicLibrary::playlistsFolder()), path);
    QCOMPARE(list.entries.at(0).title, QFileInfo(path).completeBaseName().replace(u'\n', u' '));
}

void TestMusicLibrary::fileIsListedOnce()
{
    QString playlist;
    QCOMPARE(library.createPlaylist(QStringLiteral("Once"), &playlist), noErr);
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("once.mp3"));
    qint32 first = 0;
    qint32 second = 0;
    QCOMPARE(library.addFile(path, playlist, &first), noErr);
    QCOMPARE(library.addFile(path, playlist, &second), noErr);
    QCOMPARE(second, first);
    M3UPlaylist list;
    QVERIFY(list.read(MusicLibrary::playlistPath(playlist)));
    QCOMPARE(list.entries.size(), 1);
}

void TestMusicLibrary::unknownLinesOfAPlaylistSurvive()
{
    QVERIFY(QDir().mkpath(MusicLibrary::playlistsFolder()));
    const QString playlistFile = MusicLibrary::playlistPath(QStringLiteral("Edited"));
    QVERIFY(writeFile(playlistFile,
                      "#EXTM3U\r\n#EXTVLCOPT:start-time=3\r\n#EXTINF:12,Old\r\nold.mp3\r\n# end\r\n"));
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("new.mp3"));
    QCOMPARE(library.addFile(path, QStringLiteral("Edited"), nullptr), noErr);
    QCOMPARE(readWholeFile(playlistFile),
             QByteArray("#EXTM3U\n#EXTVLCOPT:start-time=3\n#EXTINF:12,Old\nold.mp3\n"
                        "#EXTINF:0,new\n") +
                 QFile::encodeName(path) + "\n# end\n");
}

void TestMusicLibrary::fileThatIsNoMp3IsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("wav named mp3") << QStringLiteral("wav");
    QTest::newRow("text") << QStringLiteral("text");
    QTest::newRow("empty") << QStringLiteral("empty");
    QTest::newRow("folder") << QStringLiteral("folder");
}

void TestMusicLibrary::fileThatIsNoMp3IsRefused()
{
    QFETCH(QString, kind);
    QString playlist;
    QCOMPARE(library.createPlaylist(QStringLiteral("Refusals"), &playlist), noErr);
    const QString path = scratch.filePath(kind + QStringLiteral(".mp3"));
    if (kind == QLatin1String("wav"))
        QCOMPARE(makeTestWav(scratch.path(), kind + QStringLiteral(".mp3")), path);
    else if (kind == QLatin1String("text"))
        QVERIFY(writeFile(path, "not music at all\n"));
    else if (kind == QLatin1String("empty"))
        QVERIFY(writeFile(path, QByteArray()));
    else
        QVERIFY(QDir().mkpath(path));
    const QByteArray before = readWholeFile(path);

    qint32 trackID = -1;
    QCOMPARE(library.addFile(path, playlist, &trackID), ioErr);
    QCOMPARE(trackID, -1);
    QCOMPARE(readWholeFile(path), before);
    QCOMPARE(readWholeFile(MusicLibrary::playlistPath(playlist)), QByteArray("#EXTM3U\n"));
}

void TestMusicLibrary::unknownPlaylistIsRefused_data()
{
    QTest::addColumn<QString>("playlist");
    QTest::newRow("missing") << QStringLiteral("Never Made");
    QTest::newRow("outside") << QStringLiteral("../Outside");
    QTest::newRow("hidden") << QStringLiteral(".Hidden");
    QTest::newRow("empty") << QStringLiteral("");
}

void TestMusicLibrary::unknownPlaylistIsRefused()
{
    QFETCH(QString, playlist);
    QVERIFY(QDir().mkpath(MusicLibrary::playlistsFolder()));
    const QByteArray outside = "#EXTM3U\n";
    QVERIFY(writeFile(QDir(MusicLibrary::musicFolder()).filePath(QStringLiteral("Outside.m3u8")), outside));
    QVERIFY(writeFile(MusicLibrary::playlistPath(QStringLiteral(".Hidden")), outside));
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("a.mp3"));

    QCOMPARE(library.addFile(path, playlist, nullptr), errAENoSuchObject);
    QCOMPARE(readWholeFile(QDir(MusicLibrary::musicFolder()).filePath(QStringLiteral("Outside.m3u8"))),
             outside);
    QCOMPARE(readWholeFile(MusicLibrary::playlistPath(QStringLiteral(".Hidden"))), outside);
    QFile::remove(QDir(MusicLibrary::musicFolder()).filePath(QStringLiteral("Outside.m3u8")));
}

void TestMusicLibrary::tagsAreId3v24InUtf8()
{
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("tags.mp3"));
    qint32 track = 0;
    QCOMPARE(library.addFile(path, QString(), &track), noErr);
    const QString title = QStringLiteral("\u041f\u0435\u0441\u043d\u044f \U0001F3B5");
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pnam"), title), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pArt"), QStringLiteral("Bj\u00f6rk")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pAlb"), QStringLiteral("Album")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pYr "), 1999), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pCmt"), QStringLiteral("Note")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pGen"), QStringLiteral("Jazz")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pXyz"), 1), errAEEventNotHandled);

    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    QVERIFY(file.isValid());
    QVERIFY(!file.hasID3v1Tag());
    QVERIFY(!file.hasAPETag());
    QCOMPARE(file.ID3v2Tag()->header()->majorVersion(), 4u);
    auto *titleFrame =
        dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(file.ID3v2Tag()->frameList("TIT2").front());
    QVERIFY(titleFrame);
    QCOMPARE(titleFrame->textEncoding(), TagLib::String::UTF8);
    QCOMPARE(frameText(path, "TIT2"), title);
    QCOMPARE(frameText(path, "TPE1"), QStringLiteral("Bj\u00f6rk"));
    QCOMPARE(frameText(path, "TALB"), QStringLiteral("Album"));
    QCOMPARE(frameText(path, "TDRC"), QStringLiteral("1999"));
    QCOMPARE(frameText(path, "COMM"), QStringLiteral("Note"));
    QCOMPARE(frameText(path, "TCON"), QStringLiteral("Jazz"));
}

void TestMusicLibrary::trackNumberAndCount()
{
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("numbers.mp3"));
    qint32 track = 0;
    QCOMPARE(library.addFile(path, QString(), &track), noErr);
    // A count alone has no place in the frame.
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pTrC"), 12), noErr);
    QCOMPARE(frameText(path, "TRCK"), QString());
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pTrN"), 3), noErr);
    QCOMPARE(frameText(path, "TRCK"), QStringLiteral("3"));
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pTrC"), 12), noErr);
    QCOMPARE(frameText(path, "TRCK"), QStringLiteral("3/12"));
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pTrN"), 4), noErr);
    QCOMPARE(frameText(path, "TRCK"), QStringLiteral("4/12"));
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pTrC"), 0), noErr);
    QCOMPARE(frameText(path, "TRCK"), QStringLiteral("4"));
}

void TestMusicLibrary::zeroAndEmptyValuesClearTags()
{
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("clear.mp3"));
    qint32 track = 0;
    QCOMPARE(library.addFile(path, QString(), &track), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pYr "), 2001), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pnam"), QStringLiteral("T")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pYr "), 0), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pnam"), QString()), noErr);
    QCOMPARE(frameText(path, "TDRC"), QString());
    QCOMPARE(frameText(path, "TIT2"), QString());
}

void TestMusicLibrary::titleWithLineBreakKeepsThePlaylistIntact()
{
    QString playlist;
    QCOMPARE(library.createPlaylist(QStringLiteral("Lines"), &playlist), noErr);
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("lines.mp3"));
    qint32 track = 0;
    QCOMPARE(library.addFile(path, playlist, &track), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pArt"), QStringLiteral("A\rB")), noErr);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pnam"), QStringLiteral("one\ntwo.mp3\n#x")),
             noErr);

    QCOMPARE(frameText(path, "TIT2"), QStringLiteral("one\ntwo.mp3\n#x"));
    QCOMPARE(readWholeFile(MusicLibrary::playlistPath(playlist)),
             QByteArray("#EXTM3U\n#EXTINF:0,A B - one two.mp3 #x\n") + QFile::encodeName(path) + '\n');
}

void TestMusicLibrary::fileNoLongerAnMp3IsLeftUntouched()
{
    const QString path = makeTestMp3(scratch.path(), QStringLiteral("changed.mp3"));
    qint32 track = 0;
    QCOMPARE(library.addFile(path, QString(), &track), noErr);
    // Overwritten in place, so the file is still the track that was added.
    QVERIFY(writeFile(path, readWholeFile(makeTestWav(scratch.path(), QStringLiteral("x.wav")))));
    const QByteArray before = readWholeFile(path);
    QCOMPARE(library.setTrackProperty(track, fourCharCode("pnam"), QStringLiteral("T")), ioErr);
    QCOMPARE(readWholeFile(path), before);
}

void TestMusicLibrary::unknownTrackIsRefused()
{
    QCOMPARE(library.setTrackProperty(987654, fourCharCode("pnam"), QStringLiteral("T")), errAENoSuchObject);
    QCOMPARE(library.trackPath(987654), QString());
}

QTEST_GUILESS_MAIN(TestMusicLibrary)
#include "tst_musiclibrary.moc"
