#include "support/AudioFiles.h"
#include "support/TestSettings.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/LoudnessTagger.h"

#include <QtTest>
#include <cmath>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace {
// The loudness tags of an MP3, by description.
QMap<QString, QString> loudnessTags(const QString &mp3)
{
    QMap<QString, QString> tags;
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    if (TagLib::ID3v2::Tag *tag = file.ID3v2Tag())
        for (TagLib::ID3v2::Frame *frame : tag->frameList("TXXX"))
            if (auto *user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(frame))
                tags.insert(QString::fromStdString(user->description().to8Bit(true)),
                            QString::fromStdString(user->fieldList().back().to8Bit(true)));
    return tags;
}

// A gain tag's decibels: "-6.52 dB" with a point whatever the locale, two decimals.
double decibels(const QString &text)
{
    static const QRegularExpression form("^(-?[0-9]+\\.[0-9]{2}) dB$");
    const QRegularExpressionMatch match = form.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : qInf();
}
} // namespace

// Loudness tags written by a run of the real encoder: the inputs are 1 kHz sines at known levels
// in both channels, whose loudness the standard fixes (A dBFS is A LUFS), so every gain is known
// beforehand, and their peaks are what sox finds.
class tst_LoudnessTags : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void run_data()
    {
        QTest::addColumn<QStringList>("files"); // name:level:album; level "bad" is no audio, "low" a rate
                                                // the meter cannot take
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("library");
        QTest::addColumn<bool>("oneAlbum");
        QTest::addColumn<QString>("existing"); // its output exists: the conflict is answered Skip
        QTest::addColumn<QString>("logged");
        QTest::addColumn<quint32>("lost");
        const QStringList albumAndSingle{"a:-23:X", "b:-13:X", "c:-20:"};
        QTest::newRow("an album and a single") << albumAndSingle << true << false << false << ""
                                               << "" << 0u;
        QTest::newRow("through the music library") << albumAndSingle << true << true << false << ""
                                                   << "" << 0u;
        QTest::newRow("off") << albumAndSingle << false << false << false << ""
                             << "" << 0u;
        QTest::newRow("a disc is one album") << QStringList{"a:-23:", "b:-13:"} << true << false << true << ""
                                             << "" << 0u;
        QTest::newRow("a failed file: track tags only")
            << QStringList{"a:-23:X", "b:bad:X"} << true << false << false << ""
            << "The files of the album \"X\" have track loudness tags only" << 0u;
        QTest::newRow("a skipped file: track tags only")
            << QStringList{"a:-23:X", "b:-13:X"} << true << false << false << "b"
            << "The files of the album \"X\" have track loudness tags only" << 0u;
        QTest::newRow("measuring fails: encoded, untagged")
            << QStringList{"a:low:X", "b:-13:X"} << true << false << false << ""
            << "The loudness of \"a.wav\" could not be measured" << 1u;
    }
    void run()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, on);
        QFETCH(bool, library);
        QFETCH(bool, oneAlbum);
        QFETCH(QString, existing);
        QFETCH(QString, logged);
        QFETCH(quint32, lost);
        const QDir folder(scratch.filePath(QTest::currentDataTag()));
        QVERIFY(folder.mkpath("."));
        QList<QVariantMap> tasks;
        QMap<QString, double> levels; // of the files measurable and encoded, by name
        QMap<QString, QStringList> albums;
        QStringList broken; // albums with a file that gets no tags
        for (const QString &file : files) {
            const auto [name, level, album] = std::tuple(file.section(':', 0, 0), file.section(':', 1, 1),
                                                         oneAlbum ? "disc" : file.section(':', 2, 2));
            const QString input = folder.filePath(name + ".wav"), output = folder.filePath(name + ".mp3");
            QFile text(input);
            QVERIFY(level == "bad"
                        ? text.open(QIODevice::WriteOnly) && text.write("no audio") > 0
                        : AudioFiles::run("sox", {"-D", "-n", "-r", level == "low" ? "15" : "44100", "-c",
                                                  "2", "-b", "16", input, "synth", "4", "sine", "1000", "vol",
                                                  (level == "low" ? "-20" : level) + "dB"}) == 0);
            if (name == existing)
                QVERIFY(QFile(output).open(QIODevice::WriteOnly));
            if (level == "bad" || level == "low" || name == existing)
                broken << album;
            else
                levels.insert(name, level.toDouble());
            albums[album] << name;
            tasks << QVariantMap{{kInputFileKey, input}, {kOutputFileKey, output}};
            if (!album.isEmpty() && !oneAlbum)
                tasks.last().insert(kSongAlbumKey, album);
        }
        const auto store =
            TestSettings::makeStore(folder.filePath("settings.ini"), {{PrefKey::WriteReplayGainTags, on}});
        LamePrefs preferences(*store);
        EncoderRun run;
        QStringList log;
        connect(&run, &EncoderRun::logged, this, [&](const QString &line) { log << line; });
        connect(&run, &EncoderRun::nameConflict, this, [&](quint32 index) {
            QMetaObject::invokeMethod(
                &run, [&run, index] { run.skipExisting(index); }, Qt::QueuedConnection);
        });
        QSignalSpy completions(&run, &EncoderRun::completed);
        run.start({.tasks = &tasks,
                   .preferences = &preferences,
                   .options = {},
                   .outputFolder = folder.path(),
                   .useLibrary = library,
                   .asksAboutExistingFiles = true,
                   .maxEncoders = 2,
                   .oneAlbum = oneAlbum});
        QVERIFY(completions.wait(60000));
        // Nothing costs a file: only the file that is no audio fails.
        QCOMPARE(run.failedCount(), quint32(files.filter(":bad:").size()));
        QVERIFY2(logged.isEmpty() ? !log.join('\n').contains("loudness") : log.join('\n').contains(logged),
                 qPrintable(log.join('\n')));
        QCOMPARE(run.tagLossCount(), lost);

        for (auto [album, names] : albums.asKeyValueRange()) {
            double power = 0, albumPeak = 0;
            for (const QString &name : names)
                if (levels.contains(name)) {
                    power += std::pow(10.0, levels[name] / 10) / double(names.size());
                    albumPeak = std::max(albumPeak, AudioFiles::levels(folder.filePath(name + ".wav")).peak);
                }
            for (const QString &name : names) {
                if (name == existing)
                    continue;
                const QMap<QString, QString> tags = loudnessTags(folder.filePath(name + ".mp3"));
                QStringList wanted;
                if (on && levels.contains(name))
                    wanted << "REPLAYGAIN_TRACK_GAIN"
                           << "REPLAYGAIN_TRACK_PEAK";
                if (on && !album.isEmpty() && !broken.contains(album))
                    wanted << "REPLAYGAIN_ALBUM_GAIN"
                           << "REPLAYGAIN_ALBUM_PEAK";
                wanted.sort();
                QCOMPARE(tags.keys(), wanted);
                const double peak = AudioFiles::levels(folder.filePath(name + ".wav")).peak;
                for (const auto &[key, gain, linear] :
                     {std::tuple("TRACK", -18.0 - levels.value(name), peak),
                      std::tuple("ALBUM", -18.0 - 10 * std::log10(power), albumPeak)})
                    if (tags.contains(QString("REPLAYGAIN_%1_GAIN").arg(key))) {
                        QVERIFY(std::abs(decibels(tags[QString("REPLAYGAIN_%1_GAIN").arg(key)]) - gain) <
                                0.1);
                        QVERIFY(std::abs(tags[QString("REPLAYGAIN_%1_PEAK").arg(key)].toDouble() - linear) <
                                1e-4);
                    }
            }
        }
    }

    // An MP3 made whole before its input's measurement has ended waits for it: the tagger stays
    // busy, which holds back the end of the run, until the tags are written.
    void encodedBeforeMeasured()
    {
        const QString input = scratch.filePath("long.wav"), output = scratch.filePath("short.mp3");
        QVERIFY(AudioFiles::run("sox", {"-D", "-n", "-r", "44100", "-c", "2", "-b", "16", input, "synth",
                                        "600", "sine", "1000", "vol", "-23dB"}) == 0);
        QVERIFY(AudioFiles::makeSine(scratch.filePath("short.wav"), 1) &&
                AudioFiles::run("lame", {"--quiet", scratch.filePath("short.wav"), output}) == 0);
        LoudnessTagger tagger({QString()}, "Batch");
        QSignalSpy settled(&tagger, &LoudnessTagger::settled);
        tagger.measure(0, input);
        tagger.encoded(0, output);
        QVERIFY(tagger.isBusy());
        QVERIFY(settled.wait(60000));
        QVERIFY(!tagger.isBusy());
        QVERIFY(std::abs(decibels(loudnessTags(output).value("REPLAYGAIN_TRACK_GAIN")) - 5.0) < 0.1);
    }
};

QTEST_GUILESS_MAIN(tst_LoudnessTags)
#include "tst_loudnesstags.moc"
