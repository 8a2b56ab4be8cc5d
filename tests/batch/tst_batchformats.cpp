#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QtTest>
#include <cmath>
#include <sndfile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {
TagLib::String tagText(const char *text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

// sox writes no Opus; libsndfile does.
bool makeOpus(const QString &path, int channels)
{
    SF_INFO format{0, 48000, channels, SF_FORMAT_OGG | SF_FORMAT_OPUS, 0, 0};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &format);
    std::vector<float> samples(48000 * size_t(channels));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.3f * std::sin(float(i / size_t(channels)) * 0.06f);
    const bool written = file && sf_writef_float(file, samples.data(), 48000) == 48000;
    return sf_close(file) == 0 && written;
}

bool makeSound(const QString &path, double seconds)
{
    return path.endsWith(".opus")
               ? makeOpus(path, 2)
               : AudioFiles::run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth",
                                         QString::number(seconds), "sine", "440"}) == 0;
}

QString frameText(TagLib::ID3v2::Tag *tag, const char *id)
{
    const TagLib::ID3v2::FrameList frames = tag->frameList(id);
    return frames.isEmpty() ? QString() : QString::fromStdString(frames.front()->toString().to8Bit(true));
}
} // namespace

// FLAC, Ogg Vorbis and Opus files encoded by the real encoder, with the tags and cover they carry.
class tst_BatchFormats : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir inputs;
    QString music;

    // Encodes and answers the completion sheet, which must say `message`.
    void encodeAndAnswer(BatchEncoder *batch, const QString &message)
    {
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QVERIFY(alert);
        QCOMPARE(alert->informativeText(), message);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
        fixture = std::make_unique<BatchFixture>(false);
    }

    void init() { music = fixture->cleanMusicFolder(); }
    void cleanupTestCase() { fixture.reset(); }

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
        QVERIFY(makeSound(path, 0.5));
        if (name == "info.wav") {
            TagLib::RIFF::WAV::File wav(QFile::encodeName(path).constData());
            wav.InfoTag()->setTitle(tagText("Tïtle"));
            wav.InfoTag()->setTrack(7);
            QVERIFY(wav.save(TagLib::RIFF::WAV::File::Info));
        } else {
            TagLib::FileRef file(QFile::encodeName(path).constData());
            file.tag()->setTitle(tagText("Tïtle"));
            file.tag()->setTrack(7);
            QVERIFY(file.save());
        }
        BatchEncoder *batch = fixture->batchWith({path});
        QCOMPARE(batch->taskRecords().first().value(kSongTitleKey).toString(), QString("Tïtle"));
        QCOMPARE(batch->taskRecords().first().value(kSongTrackNoKey).toString(), QString("7"));
        QVERIFY(BatchFixture::closeEverything());
    }

    // A tagged FLAC album becomes MP3s with the same tags and front cover, written by the encoder
    // or by the music library; a tag cleared in the panel stays cleared, also when the file is
    // added again.
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
        LamePrefs::preferences().setBool(library, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(false, PrefKey::BatchPlaylists);
        // The encoder and the library know a picture's kind by its first bytes alone.
        const QByteArray cover = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(3000, 'c');
        QStringList tracks;
        for (const char *title : {"Opening", "Closing"}) {
            tracks << inputs.filePath(QString("%1 %2.flac").arg(tracks.size() + 1).arg(title));
            QVERIFY(makeSound(tracks.last(), 1.0));
            TagLib::FLAC::File flac(QFile::encodeName(tracks.last()).constData());
            TagLib::Ogg::XiphComment *comments = flac.xiphComment(true);
            const std::pair<const char *, TagLib::String> fields[] = {
                {"TITLE", tagText(title)},
                {"ARTIST", tagText("Ærtist")},
                {"ALBUM", tagText("Albüm")},
                {"DATE", "2019-05-01"},
                {"TRACKNUMBER", TagLib::String::number(int(tracks.size()))},
                {"TRACKTOTAL", "2"},
                {"GENRE", "Rock"},
                {"COMMENT", "Liner notes"}};
            for (const auto &[field, value] : fields)
                comments->addField(field, value);
            auto *picture = new TagLib::FLAC::Picture;
            picture->setType(TagLib::FLAC::Picture::FrontCover);
            picture->setMimeType("image/png");
            picture->setData(TagLib::ByteVector(cover.constData(), uint(cover.size())));
            flac.addPicture(picture);
            QVERIFY(flac.save());
        }
        BatchEncoder *batch = fixture->batchWith(tracks);
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
            TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
            TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
            QVERIFY(tag);
            QCOMPARE(frameText(tag, "TIT2"), QFileInfo(tracks.at(i)).completeBaseName().mid(2));
            QCOMPARE(frameText(tag, "TPE1"), QString("Ærtist"));
            QCOMPARE(frameText(tag, "TALB"), QString("Albüm"));
            QCOMPARE(tag->year(), 2019u);
            QCOMPARE(frameText(tag, "TRCK"), QString("%1/2").arg(i + 1));
            QCOMPARE(frameText(tag, "TCON"), QString("Rock"));
            QCOMPARE(QString::fromStdString(tag->comment().to8Bit(true)),
                     i == 0 ? "" : QString("Liner notes"));
            const TagLib::ID3v2::FrameList pictures = tag->frameList("APIC");
            QCOMPARE(pictures.size(), coverLost ? 0u : 1u);
            if (coverLost)
                continue;
            const auto *picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front());
            QCOMPARE(QByteArray(picture->picture().data(), picture->picture().size()), cover);
            QCOMPARE(QString::fromStdString(picture->mimeType().to8Bit()), QString("image/png"));
        }
    }

    // Inputs the encoder cannot take whole: each fails, says why in the log, leaves no MP3 and is
    // counted on the completion sheet.
    void badInputFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("truncated FLAC") << "cut.flac"
                                        << "damaged or cut short: its header promises 3.00";
        QTest::newRow("FLAC with a wrong magic") << "magic.flac"
                                                 << "it is not a FLAC file";
        QTest::newRow("six-channel Opus") << "six.opus"
                                          << "it has 6 channels";
        QTest::newRow("Ogg cut between pages") << "page.ogg"
                                               << "damaged or cut short: its end is missing";
        QTest::newRow("Ogg cut inside a page") << "inside.ogg"
                                               << "damaged or cut short: its end is missing";
    }

    void badInputFails()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        fixture->master().clearLog();
        const QString path = inputs.filePath(name);
        if (name == "six.opus") {
            QVERIFY(makeOpus(path, 6));
        } else {
            QVERIFY(makeSound(path, 3.0));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray data = file.readAll();
            const qsizetype cut =
                name == "page.ogg" ? data.indexOf("OggS", data.size() / 2) : data.size() / 2;
            QVERIFY(name == "magic.flac" ? file.seek(0) && file.write("fLaX") == 4 : file.resize(cut));
        }
        BatchEncoder *batch = fixture->batchWith({path});
        encodeAndAnswer(batch, "0 files encoded into ~/Music. 1 failed. The command log shows why.");
        QVERIFY2(fixture->master().commandLog()->text().contains(reason), qPrintable(reason));
        QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(tst_BatchFormats)
#include "tst_batchformats.moc"
