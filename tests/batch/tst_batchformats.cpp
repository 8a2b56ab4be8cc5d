#include "support/AudioFiles.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QtTest>
#include <QtWidgets>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {
const auto utf8 = [](const QString &text) {
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
};
} // namespace

// FLAC, Ogg Vorbis and Opus files encoded by the real encoder, with the tags and cover they carry.
class tst_BatchFormats : public QObject
{
    Q_OBJECT

    BatchFixture fixture{false};
    QTemporaryDir inputs;

    void encodeAndAnswer(BatchEncoder *batch, const QString &completion)
    {
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QCOMPARE(alert ? alert->informativeText() : "no completion sheet", completion);
        QVERIFY(TestSheets::click(alert, "OK") && BatchFixture::waitUntilEnded(batch));
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
    }

    // Each kind's own tags fill its record, so the tags panel shows them.
    void tagsOfEveryKind_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"vorbis.ogg", "tune.opus", "info.wav", "id3.wav", "id3.aiff"})
            QTest::newRow(name) << name;
    }
    void tagsOfEveryKind()
    {
        QFETCH(QString, name);
        const QString path = inputs.filePath(name);
        QVERIFY(AudioFiles::makeSound(path, 0.5));
        TagLib::FileRef file(QFile::encodeName(path).constData());
        auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file.file());
        TagLib::Tag *tag = name == "info.wav" ? wav->InfoTag() : file.tag();
        tag->setTitle(utf8("Tïtle"));
        tag->setTrack(7);
        QVERIFY(name == "info.wav" ? wav->save(TagLib::RIFF::WAV::File::Info) : file.save());
        const QVariantMap record = fixture.batchWith({path})->taskRecords().value(0);
        QCOMPARE(record[kSongTitleKey].toString() + '/' + record[kSongTrackNoKey].toString(), "Tïtle/7");
        QVERIFY(BatchFixture::closeEverything());
    }

    // A tagged FLAC album becomes MP3s with its tags and front cover, written by the encoder or by the
    // music library; a tag cleared in the panel stays cleared, also when the file is added again.
    void albumKeepsItsTagsAndCover_data()
    {
        QTest::addColumn<bool>("library");
        QTest::addColumn<bool>("coverLost"); // no temporary file can hold the cover for the encoder
        QTest::newRow("encoder writes the tags") << false << false;
        QTest::newRow("library writes the tags") << true << false;
        QTest::newRow("the cover cannot be handed over") << false << true;
    }
    void albumKeepsItsTagsAndCover()
    {
        QFETCH(bool, library);
        QFETCH(bool, coverLost);
        const QString music = fixture.cleanMusicFolder();
        LamePrefs::preferences().setBool(library, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(false, PrefKey::BatchPlaylists);
        const QByteArray cover = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(3000, 'c'); // PNG by its magic
        const QStringList titles = {"Opening", "Closing"};
        QStringList tracks;
        for (const QString &title : titles) {
            tracks << inputs.filePath(QString("%1 %2.flac").arg(tracks.size() + 1).arg(title));
            QVERIFY(AudioFiles::makeSound(tracks.last(), 1.0));
            TagLib::FLAC::File flac(QFile::encodeName(tracks.last()).constData());
            const QString fields = "TITLE=%1|ARTIST=Ærtist|ALBUM=Albüm|DATE=2019-05-01|TRACKNUMBER=%2|"
                                   "TRACKTOTAL=2|GENRE=Rock|COMMENT=Liner notes";
            for (const QString &field : fields.arg(title).arg(tracks.size()).split('|'))
                flac.xiphComment(true)->addField(utf8(field.section('=', 0, 0)), utf8(field.section('=', 1)));
            auto *picture = new TagLib::FLAC::Picture;
            picture->setType(TagLib::FLAC::Picture::FrontCover);
            picture->setMimeType("image/png");
            picture->setData(TagLib::ByteVector(cover.constData(), uint(cover.size())));
            flac.addPicture(picture);
            QVERIFY(flac.save());
        }
        BatchEncoder *batch = fixture.batchWith(tracks);
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        list->selectRow(0);
        BatchFixture::button(batch, "tagsButton")->click();
        QCOMPARE(batch->tagsWindow()->findChild<QLineEdit *>("titleField")->text(), QString("Opening"));
        batch->tagsWindow()->findChild<QLineEdit *>("commentField")->clear();
        list->selectRow(1);
        batch->addFile(tracks.first(), false);
        const QByteArray temp = qgetenv("TMPDIR");
        const auto restore =
            qScopeGuard([&] { temp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", temp); });
        if (coverLost) { // a file where the temporary folder belongs
            QVERIFY(BatchFixture::writeFile(inputs.filePath("no-folder"), "x"));
            qputenv("TMPDIR", QFile::encodeName(inputs.filePath("no-folder")));
        }
        encodeAndAnswer(batch, coverLost
                                   ? "2 files encoded into ~/Music.\n\n2 files were encoded without their "
                                     "cover picture. The command log shows why."
                                   : "2 files encoded into ~/Music.");
        for (int i = 0; i < 2; ++i) {
            const QString mp3 = music + '/' + QFileInfo(tracks.at(i)).completeBaseName() + ".mp3";
            QVERIFY2(qAbs(AudioFiles::decodedSeconds(mp3) - 1.0) < 0.03, qPrintable(mp3));
            QStringList frames;
            for (const char *id : {"TIT2", "TPE1", "TALB", "TDRC", "TRCK", "TCON", "COMM", "APIC"})
                frames << id3Frame(mp3, id);
            QCOMPARE(frames, (QStringList{titles[i], "Ærtist", "Albüm", "2019", QString("%1/2").arg(i + 1),
                                          "Rock", i ? "Liner notes" : "", coverLost ? "" : "[image/png]"}));
            TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
            const TagLib::ID3v2::FrameList pictures = file.ID3v2Tag(true)->frameList("APIC");
            QCOMPARE(pictures.size(), coverLost ? 0u : 1u);
            if (coverLost)
                continue;
            const auto data = static_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front())->picture();
            QCOMPARE(QByteArray(data.data(), data.size()), cover);
        }
    }
};

QTEST_MAIN(tst_BatchFormats)
#include "tst_batchformats.moc"
