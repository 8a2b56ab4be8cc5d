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
#include <sndfile.h>
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
        QVERIFY(BatchFixture::answer(completion, "OK", 120000) && BatchFixture::waitUntilEnded(batch));
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
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
            for (const auto *frame : pictures) {
                const auto data = static_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame)->picture();
                QCOMPARE(QByteArray(data.data(), data.size()), cover);
            }
        }
    }

    // Integer, floating-point and lossy inputs come out at the level they have: a tone 30 dB below
    // full scale stays there, and silence stays silent. Each kind's own tags (the 16-bit WAV's
    // RIFF INFO, ID3 in the other WAV and AIFF files) fill its record, so the tags panel shows them.
    void levelIsKept_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("encoding"); // sox's, for the kinds that have a choice
        QTest::addColumn<double>("decibels");      // the tone's peak; below -90: silence
        const QStringList floats{"-e", "floating-point", "-b", "32"},
            doubles{"-e", "floating-point", "-b", "64"};
        QTest::newRow("16-bit WAV") << "int.wav" << QStringList{"-b", "16"} << -30.0;
        QTest::newRow("float WAV") << "float.wav" << floats << -30.0;
        QTest::newRow("double AIFF-C") << "double.aifc" << doubles << -30.0;
        QTest::newRow("Ogg Vorbis") << "tone.ogg" << QStringList() << -30.0;
        QTest::newRow("Opus") << "tone.opus" << QStringList() << -30.0;
        QTest::newRow("silent float WAV") << "silent.wav" << floats << -100.0;
    }
    void levelIsKept()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, encoding);
        QFETCH(double, decibels);
        const QString music = fixture.cleanMusicFolder();
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        // At the highest rate the encoder keeps a quiet tone's level to a hundredth of a decibel.
        LamePrefs::preferences().setInteger(320, PrefKey::CBRBitRate);
        const auto restore =
            qScopeGuard([] { LamePrefs::preferences().removeObjectForKey(PrefKey::CBRBitRate); });
        const double amplitude = decibels < -90 ? 0.0 : std::pow(10.0, decibels / 20);
        const QString path = inputs.filePath(name);
        if (name.endsWith(".opus")) { // sox writes no Opus; libsndfile does
            SF_INFO format{0, 48000, 1, SF_FORMAT_OGG | SF_FORMAT_OPUS, 0, 0};
            std::vector<float> samples(48000);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = float(amplitude * std::sin(2 * M_PI * 440 * double(i) / 48000));
            SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &format);
            QVERIFY(file && sf_writef_float(file, samples.data(), 48000) == 48000);
            QCOMPARE(sf_close(file), 0);
        } else {
            QCOMPARE(AudioFiles::run("sox", QStringList{"-n", "-r", "44100", "-c", "2"} + encoding +
                                                QStringList{path, "synth", "1", "sine", "440", "vol",
                                                            QString::number(amplitude, 'g', 9)}),
                     0);
        }
        {
            TagLib::FileRef file(QFile::encodeName(path).constData());
            auto *wav = dynamic_cast<TagLib::RIFF::WAV::File *>(file.file());
            TagLib::Tag *tag = name == "int.wav" ? wav->InfoTag() : file.tag();
            QVERIFY(tag);
            tag->setTitle(utf8("Tïtle"));
            tag->setTrack(7);
            QVERIFY(name == "int.wav" ? wav->save(TagLib::RIFF::WAV::File::Info) : file.save());
        }
        BatchEncoder *batch = fixture.batchWith({path});
        const QVariantMap record = batch->taskRecords().value(0);
        QCOMPARE(record[kSongTitleKey].toString() + '/' + record[kSongTrackNoKey].toString(), "Tïtle/7");
        encodeAndAnswer(batch, "1 file encoded into ~/Music.");
        const AudioFiles::Levels encoded =
            AudioFiles::levels(music + '/' + QFileInfo(name).completeBaseName() + ".mp3");
        QVERIFY(encoded.peak >= 0 && encoded.rms >= 0);
        if (amplitude == 0) {
            QVERIFY2(encoded.peak < 0.001, qPrintable(QString::number(encoded.peak)));
            return;
        }
        // A lossy input's peak is its decoder's: what the encoder is handed.
        const double peakError = 20 * std::log10(encoded.peak / AudioFileInfo::peak(path, false));
        const double rmsError = 20 * std::log10(encoded.rms * std::sqrt(2.0) / amplitude);
        QVERIFY2(qAbs(peakError) < 0.5 && qAbs(rmsError) < 0.5,
                 qPrintable(QString("peak %1 dB, RMS %2 dB off").arg(peakError).arg(rmsError)));
    }
};

QTEST_MAIN(tst_BatchFormats)
#include "tst_batchformats.moc"
