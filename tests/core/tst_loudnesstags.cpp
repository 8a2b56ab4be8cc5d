#include "support/AudioFiles.h"
#include "support/TestSettings.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/LoudnessTagger.h"
#include "platform/LoudnessMeter.h"

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

// Loudness measured and written as tags by a run of the real encoder: the inputs are 1 kHz sines at
// known levels in every channel, whose loudness the standard fixes (A dBFS is A LUFS in both channels
// of a stereo file; a mono file sounds from both speakers), so every gain is known beforehand, an
// album's is the power mean of its files', and their peaks are what sox finds.
class tst_LoudnessTags : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German)); }

    void run_data()
    {
        // name:level:album[:channels:rate]; level "bad" is no audio; a rate of 15 Hz the encoder
        // takes and the meter cannot
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("library");
        QTest::addColumn<bool>("oneAlbum");
        QTest::addColumn<QString>("existing"); // its output exists: the conflict is answered Skip
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<quint32>("lost");
        const QStringList albumAndSingles{"a:-23:X", "b:-13:X:1:44100", "c:-9::2:48000", "s:silent:"};
        const QStringList silence{"\"s.wav\" holds only silence"};
        QTest::newRow("an album and singles")
            << albumAndSingles << true << false << false << "" << silence << 0u;
        QTest::newRow("through the music library")
            << albumAndSingles << true << true << false << "" << silence << 0u;
        QTest::newRow("off") << albumAndSingles << false << false << false << "" << QStringList() << 0u;
        QTest::newRow("a disc is one album")
            << QStringList{"a:-23:", "b:-13:"} << true << false << true << "" << QStringList() << 0u;
        // A failed, a skipped and an unmeasurable file each leave their album with track tags only;
        // only the unmeasurable one loses tags of its own.
        QTest::newRow("files that cost tags")
            << QStringList{"a:-23:X", "b:bad:X", "c:-23:Y", "d:-13:Y", "e:-20:Z:2:15", "f:-13:Z"} << true
            << false << false << "d"
            << QStringList{"The files of the album \"X\" have track loudness tags only",
                           "The files of the album \"Y\" have track loudness tags only",
                           "The loudness of \"e.wav\" could not be measured (the loudness meter failed)",
                           "The files of the album \"Z\" have track loudness tags only"}
            << 1u;
    }
    void run()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, on);
        QFETCH(bool, library);
        QFETCH(bool, oneAlbum);
        QFETCH(QString, existing);
        QFETCH(QStringList, logged);
        QFETCH(quint32, lost);
        const QDir folder(scratch.filePath(QTest::currentDataTag()));
        QVERIFY(folder.mkpath("."));
        QList<QVariantMap> tasks;
        QMap<QString, double> levels; // of the files measurable and encoded, by name
        QMap<QString, QStringList> albums;
        QStringList broken; // albums with a file that gets no tags
        for (const QString &file : files) {
            const QStringList field = (file + "::").split(':'); // the rest default to stereo at 44.1 kHz
            const QString name = field[0], level = field[1], album = oneAlbum ? "disc" : field[2];
            const QString input = folder.filePath(name + ".wav"), output = folder.filePath(name + ".mp3");
            QFile text(input);
            QVERIFY(level == "bad"
                        ? text.open(QIODevice::WriteOnly) && text.write("no audio") > 0
                        : AudioFiles::run("sox", {"-D", "-n", "-r", field[4].isEmpty() ? "44100" : field[4],
                                                  "-c", field[3].isEmpty() ? "2" : field[3], "-b", "16",
                                                  input, "synth", "4", "sine", "1000", "vol",
                                                  level == "silent" ? "0" : level + "dB"}) == 0);
            if (name == existing)
                QVERIFY(QFile(output).open(QIODevice::WriteOnly));
            if (level == "bad" || field[4] == "15" || name == existing)
                broken << album;
            else if (level != "silent")
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
        for (const QString &line : logged)
            QVERIFY2(log.join('\n').contains(line), qPrintable(log.join('\n')));
        QCOMPARE(log.filter(QRegularExpression("loudness|silence")).size(), logged.size());
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
                QMap<QString, double> wanted; // each tag and its value: a gain in dB, a peak as a ratio
                const QString input = folder.filePath(name + ".wav");
                if (on && levels.contains(name))
                    wanted.insert(
                        QMap<QString, double>{{"REPLAYGAIN_TRACK_GAIN", -18.0 - levels[name]},
                                              {"REPLAYGAIN_TRACK_PEAK", AudioFiles::levels(input).peak}});
                if (on && !album.isEmpty() && !broken.contains(album))
                    wanted.insert(
                        QMap<QString, double>{{"REPLAYGAIN_ALBUM_GAIN", -18.0 - 10 * std::log10(power)},
                                              {"REPLAYGAIN_ALBUM_PEAK", albumPeak}});
                const QMap<QString, QString> tags = loudnessTags(folder.filePath(name + ".mp3"));
                QCOMPARE(tags.keys(), wanted.keys());
                for (const auto [key, value] : wanted.asKeyValueRange()) {
                    const bool gain = key.endsWith("GAIN");
                    QVERIFY2(std::abs((gain ? decibels(tags[key]) : tags[key].toDouble()) - value) <
                                 (gain ? 0.1 : 1e-4),
                             qPrintable(name + " " + key + ": " + tags[key]));
                }
            }
        }
    }

    // An MP3 made whole before its input's measurement has ended waits for it: the tagger stays
    // busy, which holds back the end of the run, until the tags are written. A meter stopped at
    // once gives up and keeps nothing.
    void encodedBeforeMeasured()
    {
        const QString input = scratch.filePath("long.wav"), output = scratch.filePath("short.mp3");
        QVERIFY(AudioFiles::run("sox", {"-D", "-n", "-r", "44100", "-c", "2", "-b", "16", input, "synth",
                                        "600", "sine", "1000", "vol", "-23dB"}) == 0);
        LoudnessMeter meter;
        const std::atomic<bool> stopped{true}, going{false};
        QCOMPARE(meter.measure(input, stopped), LoudnessMeter::Problem::Cancelled);
        QVERIFY(!meter.isMeasured());
        QCOMPARE(meter.measure(output, going), LoudnessMeter::Problem::Unreadable); // not there yet
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
