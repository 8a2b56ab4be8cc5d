#include "platform/AppleEvents.h"
#include "platform/M3UPlaylist.h"
#include "platform/MusicLibrary.h"
#include "support/SmallVolume.h"
#include "support/TunesSupport.h"

#include <QtTest>

using ML = MusicLibrary;

static bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Orvik's music library on real MP3 files, beyond the plain additions the hand-over's tests cover,
// and what the event layer under the hand-over does beyond them: failed sends and file references.
class TestMusicLibrary : public QObject
{
    Q_OBJECT

    ML &library = ML::instance();
    QTemporaryDir scratch;
    static constexpr FourCharCode kTestSignature = fourCharCode("tEst");

  private slots:
    void init() { QDir(ML::musicFolder()).removeRecursively(); }
    void cleanup() { AESetReceiver(kTestSignature, AEReceiver()); }

    // The name a title gets, where "|" separates names taken before (a "~" one is a dangling link,
    // not followed to create its target).
    void playlistName_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        const auto row = [](const char *tag, const QString &title, const QString &name) {
            QTest::newRow(tag) << title << name;
        };
        row("none", QString(), "Untitled Playlist");
        row("escape", "../../../evil", "-..-..-evil");
        row("parent", "..", "Untitled Playlist");
        row("hidden", " .hidden ", "hidden");
        row("line break", "one\r\ntwo", "one two");
        row("unprintable", "\x7f\u2028\n", "Untitled Playlist");
        // A four-byte character must not be cut in half at the length limit.
        row("long", QString("\U0001F3B5").repeated(60), QString("\U0001F3B5").repeated(50));
        row("taken", QString(), "Untitled Playlist|Untitled Playlist 2");
        row("taken, dangling link", "Mix", "Mix|~Mix 2|Mix 3");
    }
    void playlistName()
    {
        QFETCH(QString, title);
        QFETCH(QString, name);
        QStringList taken = name.split('|');
        const QString made = taken.takeLast(), target = ML::musicFolder() + "/target";
        QVERIFY(QDir().mkpath(ML::playlistsFolder()));
        for (const QString &other : taken)
            QVERIFY(other.startsWith('~') ? QFile::link(target, ML::playlistPath(other.mid(1)))
                                          : writeFile(ML::playlistPath(other), "kept\n"));
        QString answer;
        QCOMPARE(library.createPlaylist(title, &answer), noErr);
        QCOMPARE(answer, made);
        QCOMPARE(readWholeFile(ML::playlistPath(made)), "#EXTM3U\n");
        QVERIFY(!QFile::exists(target));
        for (const QString &other : taken)
            QVERIFY(other.startsWith('~') || readWholeFile(ML::playlistPath(other)) == "kept\n");
    }

    // Where an added file is listed, once; a playlist that Orvik did not make in its folder is
    // refused and nothing is written.
    void entries_data()
    {
        QTest::addColumn<QString>("file");     // in the playlists folder, or in <dir>, another one
        QTest::addColumn<QString>("playlist"); // added to
        QTest::addColumn<QString>("location"); // as the playlist lists it; empty: refused
        const auto row = [](const char *tag, QString file, QString location, QString list = "Made") {
            QTest::newRow(tag) << file << list << location;
        };
        row("below the playlists", "sub/a.mp3", "sub/a.mp3");
        row("elsewhere", "<dir>/b.mp3", "<dir>/b.mp3");
        row("hash", "#1.mp3", "./#1.mp3");
        row("colon", "a:b.mp3", "./a:b.mp3");
        row("line break", "<dir>/new\nline.mp3", "file://<dir>/new%0Aline.mp3");
        row("playlist never made", "<dir>/c.mp3", "", "Never Made");
        row("playlist outside", "<dir>/c.mp3", "", "../Outside");
        row("hidden playlist", "<dir>/c.mp3", "", ".Hidden");
    }
    void entries()
    {
        QFETCH(QString, file);
        QFETCH(QString, playlist);
        QFETCH(QString, location);
        const QByteArray old = "#EXTM3U\r\n#EXTVLCOPT:start-time=3\r\n#EXTINF:12,Old\r\nold.mp3\r\n# end\r\n";
        QVERIFY(QDir().mkpath(ML::playlistsFolder()));
        QFile made(ML::playlistPath("Made"));
        const QString outside = ML::musicFolder() + "/Outside.m3u8", hidden = ML::playlistPath(".Hidden");
        QVERIFY(writeFile(made.fileName(), old) && made.open(QIODevice::ReadOnly));
        QVERIFY(writeFile(outside, "#EXTM3U\n") && writeFile(hidden, "#EXTM3U\n"));
        const QFileInfo mp3(QDir(ML::playlistsFolder()), file.replace("<dir>", scratch.path()));
        QVERIFY(!makeTestMp3(mp3.path(), mp3.fileName()).isEmpty());
        qint32 first = 0, second = 0;
        QCOMPARE(int(library.addFile(mp3.filePath(), playlist, &first)),
                 location.isEmpty() ? errAENoSuchObject : 0);
        QVERIFY(location.isEmpty() || library.addFile(mp3.filePath(), playlist, &second) == noErr);
        QVERIFY(location.isEmpty() || library.trackPath(second) == mp3.filePath());
        // Lines Orvik does not know survive, and the new content replaces the file whole: a reader
        // holding the old file keeps reading the old content.
        QCOMPARE(made.readAll() + readWholeFile(outside) + readWholeFile(hidden), old + "#EXTM3U\n#EXTM3U\n");
        const QByteArray text = readWholeFile(made.fileName());
        QVERIFY(location.isEmpty()
                    ? text == old
                    : text.startsWith("#EXTM3U\n#EXTVLCOPT:start-time=3\n#EXTINF:12,Old\nold.mp3\n") &&
                          text.endsWith("\n# end\n"));
        M3UPlaylist list;
        QVERIFY(list.read(made.fileName()));
        QCOMPARE(list.entries.size(), location.isEmpty() ? 1 : 2); // listed once
        if (location.isEmpty())
            return;
        QCOMPARE(list.entries.at(1).location, location.replace("<dir>", scratch.path()));
        QCOMPARE(M3UPlaylist::resolve(location, ML::playlistsFolder()), mp3.filePath());
        QCOMPARE(list.entries.at(1).title, mp3.completeBaseName().replace('\n', ' '));
    }

    // A disk that fills while the tags are written leaves the MP3 as it was, says so, and leaves no
    // copy behind; once there is room, the tags are written as they are asked for, also into a file
    // whose name is as long as a folder takes (the copy they go into has a short name of its own).
    // A file that is no longer an MP3 is refused and left as it is.
    void tagsAndAFullDisk()
    {
        const QString small = scratch.filePath("small");
        const SmallVolume volume(small, 256);
        // Two-byte characters, so that a name counted in characters would fit where bytes do not.
        const QString name = QString(125, u'\u00e9') + "x.mp3", path = makeTestMp3(small, name);
        QCOMPARE(name.toUtf8().size(), 255);
        qint32 track = 0;
        QCOMPARE(library.addFile(path, QString(), &track), noErr);
        if (volume.isMounted()) {
            const QByteArray encoded = readWholeFile(path);
            QFile filler(small + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
            }
            QCOMPARE(library.setTrackProperty(track, ML::kTitle, "A title"), ioErr);
            QCOMPARE(readWholeFile(path), encoded);
            QCOMPARE(QDir(small).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     (QStringList{"filler", name}));
            QVERIFY(QFile::remove(filler.fileName()));
        }
        const QString title = "\u041f\u0435\u0441\u043d\u044f \U0001F3B5";
        // Zero and empty clear a tag, and a count without a number has no place in the frame.
        const QList<std::pair<FourCharCode, QVariant>> tags = {
            {ML::kTitle, title},   {ML::kArtist, "Bj\u00f6rk"}, {ML::kAlbum, "Album"},
            {ML::kYear, 1999},     {ML::kComment, "Note"},      {ML::kGenre, "Jazz"},
            {ML::kTrackNumber, 3}, {ML::kTrackCount, 12},       {ML::kTrackNumber, 0},
            {ML::kYear, 0},        {ML::kComment, QString()}};
        for (const auto &[property, value] : tags)
            QCOMPARE(library.setTrackProperty(track, property, value), noErr);
        QCOMPARE(library.setTrackProperty(track, fourCharCode("pXyz"), 1), errAEEventNotHandled);
        QStringList texts;
        for (const char *id : {"TIT2", "TPE1", "TALB", "TDRC", "COMM", "TCON", "TRCK"})
            texts << id3Frame(path, id);
        QCOMPARE(texts.join('|'), title + "|Bj\u00f6rk|Album|||Jazz|");
        QCOMPARE(QDir(small).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{name});
        // An ID3v2.4 tag, the title frame's text in UTF-8 (encoding 3), and no ID3v1 or APE tag.
        const QByteArray bytes = readWholeFile(path);
        QVERIFY(bytes.startsWith("ID3\x04") && bytes.at(bytes.indexOf("TIT2") + 10) == 3);
        QVERIFY(!bytes.right(128).startsWith("TAG") && !bytes.contains("APETAGEX"));
        QVERIFY(QFile::remove(path) && QFile::copy(makeTestWav(scratch.path(), "x.wav"), path));
        QCOMPARE(library.setTrackProperty(track, ML::kTitle, "T"), ioErr);
        QCOMPARE(readWholeFile(path), readWholeFile(scratch.filePath("x.wav")));
        if (!volume.isMounted())
            QSKIP(qPrintable("the full disk is not tried: " + volume.reason()));
    }

    void failedSend_data()
    {
        QTest::addColumn<QString>("receiver"); // how it answers
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status"); // errAENoSuchObject: also the 'errn' of the reply
        const auto row = [](const char *name, const char *receiver, int mode, int status) {
            QTest::newRow(name) << QString(receiver) << mode << status;
        };
        row("no receiver", "", 0x13, procNotFound);
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
            QCOMPARE(AECreateDesc(typeApplSignature, "tEst", 4, &address.desc), noErr);
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
        const QString path = scratch.filePath("f\u00fcr.mp3"), other = scratch.filePath("other.mp3");
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

QTEST_GUILESS_MAIN(TestMusicLibrary)
#include "tst_musiclibrary.moc"
