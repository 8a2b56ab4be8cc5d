#include "support/AudioFiles.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "platform/AudioFileInfo.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

// Batches encoded by the real encoder from start to finish: MP3 files that decode to the inputs'
// length and level, with the tags and cover of the inputs and of the tags panel, written by the
// encoder or by the music library; files named by a pattern; conflicts answered for a whole batch.
class tst_BatchEncode : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir inputs;
    QString music;

    QString log() const { return fixture->master().commandLog()->text(); }
    static TagLib::String utf8(const QString &text) { return {text.toStdString(), TagLib::String::UTF8}; }

    // Encodes and answers the completion sheet, which must say `message`; every file marked done.
    void encodeAndAnswer(BatchEncoder *batch, const QString &message)
    {
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QCOMPARE(alert ? alert->informativeText() : "no completion sheet", message);
        const QAbstractItemModel *list = batch->window()->findChild<QTableView *>("fileList")->model();
        for (int row = 0; row < list->rowCount(); ++row)
            QCOMPARE(list->index(row, list->columnCount() - 1).data().toString(), QString("Done"));
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
    }

    // The files below the music folder, relative to it, sorted.
    QStringList written() const
    {
        QStringList files;
        for (QDirIterator it(music, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(music).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    // A short sine at `name`, of the type its extension names, carrying `tags`.
    QString input(const QString &name, const QStringList &tags = {})
    {
        const QString path = inputs.filePath(name);
        QStringList arguments{"-n"};
        for (const QString &tag : tags)
            arguments << "--add-comment" << tag;
        arguments += {path, "synth", "0.3", "sine", "440"};
        return QFileInfo::exists(path) || AudioFiles::run("sox", arguments) == 0 ? path : QString();
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
        fixture = std::make_unique<BatchFixture>(false);
    }

    void init()
    {
        music = fixture->cleanMusicFolder();
        fixture->master().clearLog();
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(false, PrefKey::BatchPlaylists);
    }

    void cleanup()
    {
        for (const QString &key : {PrefKey::NamePattern, PrefKey::EncodersAtOnce, PrefKey::CBRBitRate})
            LamePrefs::preferences().removeObjectForKey(key);
        QVERIFY(BatchFixture::closeEverything());
    }

    void cleanupTestCase() { fixture.reset(); }

    // A FLAC album with a cover and WAVs a, b, c, two at once: b ends first, yet the playlist keeps
    // list order. Panel tags reach a and b; a FLAC comment cleared there stays cleared, also when
    // re-added. c's own tags are too long for a command line (200 KB title, 6000-byte album): they
    // reach the MP3 whole.
    void tagsAndCover_data()
    {
        QTest::addColumn<QString>("library"); // off, on, or the factory settings
        QTest::addColumn<bool>("coverLost");  // no temporary file can hold a cover for the encoder
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("listed"); // the playlist's entries
        QTest::addColumn<QString>("logged");
        const QString encoded = "5 files encoded into ~/Music.";
        QTest::newRow("the encoder writes the tags")
            << "off" << false << encoded << QStringList() << "--tt 'Alpha \"quoted\" $HOME'";
        QTest::newRow("the cover cannot be handed over")
            << "off" << true
            << encoded + "\n\n2 files were encoded without their cover picture. The command log shows why."
            << QStringList() << "could not be handed to the encoder";
        QTest::newRow("the library writes them and lists the files")
            << "on" << false << encoded
            << QStringList{"1 Opening.mp3", "2 Closing.mp3", "a.mp3", "b.mp3", "c.mp3"} << "a.mp3";
        // A playlist that cannot be made costs the files their entry, never their tags.
        QTest::newRow("factory settings, the playlist cannot be made")
            << "factory" << false
            << encoded + "\n\nThe music library could not take 5 files whole (playlist entry or tags). "
                         "The command log shows why."
            << QStringList() << "The music library could not make a playlist: ";
    }

    void tagsAndCover()
    {
        QFETCH(QString, library);
        QFETCH(bool, coverLost);
        QFETCH(QString, message);
        QFETCH(QStringList, listed);
        QFETCH(QString, logged);
        SettingsStore &settings = LamePrefs::preferences();
        settings.setInteger(2, PrefKey::EncodersAtOnce);
        const QByteArray temp = qgetenv("TMPDIR");
        const auto restore =
            qScopeGuard([&] { temp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temp); });
        if (library == "factory") {
            for (const QString &key : {PrefKey::ITunesIntegration, PrefKey::BatchPlaylists})
                settings.removeObjectForKey(key);
            QVERIFY(BatchFixture::writeFile(music + "/Playlists", "a file where the folder belongs"));
        } else {
            settings.setBool(library == "on", PrefKey::ITunesIntegration);
            settings.setBool(true, PrefKey::BatchPlaylists);
        }
        const QByteArray cover = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(3000, 'c'); // PNG by its magic
        const QStringList titles = {"Opening", "Closing"};
        QStringList files;
        for (const QString &title : titles) {
            files << inputs.filePath(QString("%1 %2.flac").arg(files.size() + 1).arg(title));
            QVERIFY(AudioFiles::makeSound(files.last(), 1.0));
            TagLib::FLAC::File flac(QFile::encodeName(files.last()).constData());
            const QString fields = "TITLE=%1|ARTIST=Ærtist|ALBUM=Albüm|DATE=2019-05-01|TRACKNUMBER=%2|"
                                   "TRACKTOTAL=2|GENRE=Rock|COMMENT=Liner notes";
            for (const QString &field : fields.arg(title).arg(files.size()).split('|'))
                flac.xiphComment(true)->addField(utf8(field.section('=', 0, 0)), utf8(field.section('=', 1)));
            auto *picture = new TagLib::FLAC::Picture;
            picture->setType(TagLib::FLAC::Picture::FrontCover);
            picture->setMimeType("image/png");
            picture->setData(TagLib::ByteVector(cover.constData(), uint(cover.size())));
            flac.addPicture(picture);
            QVERIFY(flac.save());
        }
        const QString longTitle = "Ti\u00f6tle " + QString(200000, u'x'), album = QString(3000, u'\u00e9');
        for (const auto &[name, seconds] : {std::pair{"b", 1.0}, {"c", 1.0}, {"a", 3.0}}) {
            files << inputs.filePath(QString(name) + ".wav");
            QVERIFY(AudioFiles::makeSine(files.last(), seconds));
        }
        TagLib::FileRef c(QFile::encodeName(inputs.filePath("c.wav")).constData());
        QVERIFY(c.tag());
        c.tag()->setTitle(utf8(longTitle));
        c.tag()->setAlbum(utf8(album));
        c.tag()->setArtist("Artist");
        QVERIFY(c.save());
        BatchEncoder *batch = fixture->batchWith(files);
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        list->selectRow(0);
        BatchFixture::button(batch, "tagsButton")->click();
        const auto field = [&](const char *name) {
            return batch->tagsWindow()->findChild<QLineEdit *>(name);
        };
        QCOMPARE(field("titleField")->text(), QString("Opening"));
        field("commentField")->clear();
        list->selectRow(2);
        QTest::keyClicks(field("titleField"), "Alpha \"quoted\" $HOME");
        field("artistField")->setText("Ünïcode Artist");
        list->selectRow(3);
        QTest::keyClicks(field("titleField"), "Zeta");
        batch->addFile(files.first(), false);
        if (coverLost) { // a file where the temporary folder belongs
            QVERIFY(BatchFixture::writeFile(inputs.filePath("no-folder"), "x"));
            qputenv("TMPDIR", QFile::encodeName(inputs.filePath("no-folder")));
        }
        encodeAndAnswer(batch, message);

        for (const auto &[name, seconds] :
             {std::pair{"1 Opening", 1.0}, {"2 Closing", 1.0}, {"a", 3.0}, {"b", 1.0}, {"c", 1.0}})
            QVERIFY2(qAbs(AudioFiles::decodedSeconds(music + '/' + name + ".mp3") - seconds) < 0.03, name);
        QStringList frames, expected;
        const auto expect = [&](const QString &name, const QString &id, const QString &value) {
            frames << name + ' ' + id + ' ' + id3Frame(music + '/' + name + ".mp3", qPrintable(id));
            expected << name + ' ' + id + ' ' + value;
        };
        for (int i = 0; i < 2; ++i) {
            const QString name = QString("%1 %2").arg(i + 1).arg(titles[i]);
            const QString wanted =
                QString("TIT2 %1|TPE1 Ærtist|TALB Albüm|TDRC 2019|TRCK %2/2|TCON Rock|COMM %3|APIC %4")
                    .arg(titles[i], QString::number(i + 1), i ? "Liner notes" : "",
                         coverLost ? "" : "[image/png]");
            for (const QString &frame : wanted.split('|'))
                expect(name, frame.section(' ', 0, 0), frame.section(' ', 1));
            TagLib::MPEG::File file(QFile::encodeName(music + '/' + name + ".mp3").constData());
            const TagLib::ID3v2::FrameList pictures = file.ID3v2Tag(true)->frameList("APIC");
            QCOMPARE(pictures.size(), coverLost ? 0u : 1u);
            for (const auto *frame : pictures) {
                const auto data = static_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame)->picture();
                QCOMPARE(QByteArray(data.data(), data.size()), cover);
            }
        }
        expect("a", "TIT2", "Alpha \"quoted\" $HOME");
        expect("a", "TPE1", "Ünïcode Artist");
        expect("b", "TIT2", "Zeta");
        expect("c", "TIT2", longTitle);
        expect("c", "TALB", album);
        expect("c", "TPE1", "Artist");
        QCOMPARE(frames, expected);
        QStringList entries;
        for (const QByteArray &line :
             BatchFixture::contents(music + "/Playlists/Untitled Playlist.m3u8").split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                entries << QFileInfo(QString::fromUtf8(line).trimmed()).fileName();
        QCOMPARE(entries, listed);
        QVERIFY(log().contains(logged) && !log().contains(album));
        // With the library on, the encoder is given no tags.
        QCOMPARE(log().contains("--tt"), library == "off");
        QCOMPARE(log().contains("--ta Artist"), library == "off");
    }

    // Integer, floating-point and lossy inputs come out at the level they have: a tone 30 dB below
    // full scale stays there, and silence stays silent. Each kind's own tags (the 16-bit WAV's
    // RIFF INFO, ID3 in the other WAV and AIFF files) fill its record, so the tags panel shows them.
    void levelIsKept()
    {
        // At the highest rate the encoder keeps a quiet tone's level to a hundredth of a decibel.
        LamePrefs::preferences().setInteger(320, PrefKey::CBRBitRate);
        const QStringList floats{"-e", "floating-point", "-b", "32"};
        const QList<std::tuple<QString, QStringList, double>> kinds{
            // sox's encoding; below -90 dB: silence
            {"int.wav", {"-b", "16"}, -30.0},
            {"float.wav", floats, -30.0},
            {"double.aifc", {"-e", "floating-point", "-b", "64"}, -30.0},
            {"vorbis.ogg", {}, -30.0},
            {"silent.wav", floats, -100.0},
            {"opus.opus", {}, -100.0}};
        QStringList paths;
        for (const auto &[name, encoding, decibels] : kinds) {
            const QString path = paths.emplace_back(inputs.filePath(name));
            const QString amplitude =
                QString::number(decibels < -90 ? 0.0 : std::pow(10.0, decibels / 20), 'g', 9);
            QVERIFY(name.endsWith(".opus") // silence, written by libsndfile: sox writes no Opus
                        ? AudioFiles::makeSound(path, 1.0)
                        : AudioFiles::run("sox", QStringList{"-n", "-r", "44100", "-c", "2"} + encoding +
                                                     QStringList{path, "synth", "1", "sine", "440", "vol",
                                                                 amplitude}) == 0);
            TagLib::FileRef file(QFile::encodeName(path).constData());
            auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file.file());
            TagLib::Tag *tag = name == "int.wav" ? wav->InfoTag() : file.tag();
            QVERIFY(tag);
            tag->setTitle(utf8("Tïtle " + name));
            tag->setTrack(7);
            QVERIFY(name == "int.wav" ? wav->save(TagLib::RIFF::WAV::File::Info) : file.save());
        }
        BatchEncoder *batch = fixture->batchWith(paths);
        QStringList shown;
        for (const QVariantMap &record : batch->taskRecords())
            shown << record[kSongTitleKey].toString() + '/' + record[kSongTrackNoKey].toString();
        QCOMPARE(shown, (QStringList{"Tïtle double.aifc/7", "Tïtle float.wav/7", "Tïtle int.wav/7",
                                     "Tïtle opus.opus/7", "Tïtle silent.wav/7", "Tïtle vorbis.ogg/7"}));
        encodeAndAnswer(batch, "6 files encoded into ~/Music.");
        for (const auto &[name, encoding, decibels] : kinds) {
            const AudioFiles::Levels encoded =
                AudioFiles::levels(music + '/' + QFileInfo(name).completeBaseName() + ".mp3");
            QVERIFY2(encoded.peak >= 0 && encoded.rms >= 0, qPrintable(name));
            if (decibels < -90) {
                QCOMPARE_LT(encoded.peak, 0.001);
                continue;
            }
            // A lossy input's peak is its decoder's: what the encoder is handed.
            const double peakError =
                20 * std::log10(encoded.peak / AudioFileInfo::peak(inputs.filePath(name), false));
            const double rmsError =
                20 * std::log10(encoded.rms * std::sqrt(2.0) / std::pow(10.0, decibels / 20));
            QVERIFY2(qAbs(peakError) < 0.5 && qAbs(rmsError) < 0.5, qPrintable(name));
        }
    }

    // Names by a pattern: two inputs the pattern gives one name meet the conflict question like any
    // existing file; a pattern that leaves the destination starts nothing.
    void namingPattern()
    {
        LamePrefs::preferences().setObject("{artist}/{album}/{track} {title}", PrefKey::NamePattern);
        const QStringList one{"ARTIST=AC/DC", "ALBUM=Live", "TRACKNUMBER=1/9", "TITLE=One"};
        const QStringList files{
            input("a.flac", one),
            input("b.flac", {"ARTIST=AC/DC", "ALBUM=Live", "TRACKNUMBER=2", "TITLE=Two?"}),
            input("c.flac", {"COMMENT=no names"}), input("d.flac", one)};
        QVERIFY(!files.contains(QString()));
        BatchEncoder *batch = fixture->batchWith(files);
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::answer("Duplicate Filename \"01 One.mp3\"", "Skip", 120000));
        QVERIFY(BatchFixture::answer("Batch complete.", "OK", 120000) && BatchFixture::waitUntilEnded(batch));
        QCOMPARE(written(), QStringList({"AC_DC/Live/01 One.mp3", "AC_DC/Live/02 Two_.mp3", "c/c/c c.mp3"}));
        QVERIFY(AudioFiles::decodedSeconds(music + "/c/c/c c.mp3") > 0.2);

        for (const QString pattern : {"../{name}", "{name} {year}"}) {
            LamePrefs::preferences().setObject(pattern, PrefKey::NamePattern);
            BatchEncoder *refused = fixture->batchWith({input("song.wav")});
            BatchFixture::encode(refused);
            QMessageBox *alert = TestSheets::waitForAlert();
            QVERIFY(alert && alert->text() == "Cannot Name the Files");
            QVERIFY2(alert->informativeText().contains('"' + pattern + '"'),
                     qPrintable(alert->informativeText()));
            QVERIFY(TestSheets::click(alert, "OK"));
            QVERIFY(!refused->runWindowController() &&
                    BatchFixture::button(refused, "encodeButton")->isEnabled());
            QCOMPARE(written().size(), 3);
            refused->window()->close();
        }
    }

    void answerForAll_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("forAll");
        QTest::addColumn<QStringList>("expected"); // the files written, beside those kept
        QTest::newRow("skip all") << "Skip" << true << QStringList();
        QTest::newRow("skip each") << "Skip" << false << QStringList();
        QTest::newRow("replace all") << "Replace" << true << QStringList{"a.mp3", "b.mp3", "c.mp3"};
        QTest::newRow("keep both") << "Rename" << true << QStringList{"a 2.mp3", "b 2.mp3", "c 3.mp3"};
    }

    void answerForAll()
    {
        QFETCH(QString, answer);
        QFETCH(bool, forAll);
        QFETCH(QStringList, expected);
        QStringList all = expected + QStringList{"a.mp3", "b.mp3", "c.mp3", "c 2.mp3"};
        for (const QString &name : all.mid(expected.size()))
            QVERIFY(BatchFixture::writeFile(music + '/' + name, "old"));
        BatchEncoder *batch = fixture->batchWith({input("a.wav"), input("b.wav"), input("c.wav")});
        BatchFixture::encode(batch);
        int questions = 0;
        QMessageBox *alert = nullptr;
        while ((alert = TestSheets::waitForAlert(120000)) && alert->text().startsWith("Duplicate Filename")) {
            QCheckBox *box = alert->checkBox();
            QVERIFY(box && box->accessibleName() == "Apply to all files of this batch");
            box->setChecked(forAll);
            // Escape chooses nothing, however the box is set.
            QTest::keyClick(alert, Qt::Key_Escape);
            QVERIFY(alert->isVisible() && TestSheets::click(alert, answer));
            ++questions;
            if (answer == "Rename") {
                QFileDialog *panel = TestSheets::waitForPanel();
                QVERIFY(panel && QFileInfo(panel->selectedFiles().value(0)).fileName() == "a 2.mp3");
                TestSheets::choose(panel, panel->selectedFiles().value(0));
            }
        }
        QCOMPARE(questions, forAll ? 1 : 3);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        all.removeDuplicates();
        all.sort();
        QCOMPARE(written(), all);
        for (const QString &name : all)
            QCOMPARE(BatchFixture::contents(music + '/' + name) == "old", !expected.contains(name));
    }
};

QTEST_MAIN(tst_BatchEncode)
#include "tst_batchencode.moc"
