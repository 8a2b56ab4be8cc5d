// The encoder launchers and the real lame: every argument list the builder makes, for every bit
// rate mode and every switch it knows, must be accepted by lame 3.100 through the launcher and give
// an MP3 that decodes back to the length of its input; arguments reach lame one string each.
#include "core/LamePrefs.h"
#include "platform/Resources.h"
#include "support/AudioFiles.h"
#include "support/TestSettings.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/fileref.h>
#include <taglib/tag.h>

using Settings = QVariantMap;

namespace {
const double inputSeconds = 1.0;
} // namespace

class TestEncoderLauncher : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString wav, raw, oddInput, oddOutput;

  private slots:
    void initTestCase()
    {
        QVERIFY2(AudioFiles::haveProgram("lame"), "the lame encoder must be installed (Debian package lame)");
        QVERIFY2(AudioFiles::haveProgram("sox"), "sox must be installed (Debian package sox)");
        wav = dir.filePath("tone.wav");
        raw = dir.filePath("sine.raw");
        // A 19 kHz tone, which lame 3.100 low-passes away at about 17 kHz when it is given -k as it
        // stands: "Enable Filtering" off promises every frequency kept.
        QVERIFY(AudioFiles::makeSine(wav, inputSeconds, false, 19000));
        QVERIFY(AudioFiles::makeSine(raw, inputSeconds, true));
        oddInput = dir.filePath("-it's a \"$HOME\" `id`; (x)\nline.wav");
        oddOutput = dir.filePath("-out $(echo no) 'q' ;|*.mp3");
        QVERIFY(QFile::copy(wav, oddInput));
    }

    void encodes_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<QVariantMap>("task");
        auto row = [](const char *name, const Settings &settings, const QVariantMap &options = {},
                      const QVariantMap &task = {}) { QTest::newRow(name) << settings << options << task; };

        using namespace PrefKey;
        row("CBR at factory values", {});
        const Settings everyFlag = {
            {ShortBlocks, "--noshort"}, {Masking, "--noath"}, {TemporalMasking, false}, {ChannelMode, "s"},
            {DifferentBlocks, true},    {Deemphasis, "5"},    {MarkAsCopyright, true},  {StrictISO, true},
            {MarkAsOriginal, false},    {Checksum, true},     {CBRReservoir, false},    {ReduceATHBy, 2}};
        row("CBR with every flag", everyFlag);
        const Settings abrFiltered = {{ShortBlocks, "--allshort"}, {EnableLowpass, true},
                                      {ManualHighpassWidth, true}, {UpperCutoff, 15.5f},
                                      {ManualLowpassWidth, true},  {LowpassWidth, 1.0f},
                                      {ABREnforceMinimum, true},   {ABRXingTag, false},
                                      {OutputSampleRate, 48.0f},   {LowerCutoff, 0.1f},
                                      {EnableFiltering, true},     {ChannelMode, "f"},
                                      {Masking, "--athonly"},      {Deemphasis, "c"},
                                      {EnableHighpass, true},      {BitRateMode, 2},
                                      {HighpassWidth, 0.05f}};
        row("ABR with every filter and resampling", abrFiltered);
        row("new VBR", {{BitRateMode, 3}, {ChannelMode, "d"}, {Masking, "--athshort"}});
        row("old VBR", {{BitRateMode, 4}, {VBREnforceMinimum, true}, {VBRXingTag, false}});
        row("no bit rate mode", {{BitRateMode, 0}, {ChannelMode, "m"}});
        const QVariantMap rawOptions = {
            {kRawPCMInputKey, true}, {kSampleRateKey, "44.1"}, {kBitDepthKey, "16"}};
        row("raw input mixed down", {{Mixdown, true}, {ChannelMode, "j"}}, rawOptions);
        QVariantMap swapped = rawOptions;
        swapped.insert(kSwapEndianKey, true);
        row("raw input byte-swapped", {}, swapped);
        // Tags a shell would take apart; this row's files have such names too.
        row("tags of the run and of the file, odd names", {},
            {{kSongAlbumKey, "-o"}, {kSongYearKey, "2001"}, {kSongGenreKey, "Rock"}},
            {{kSongTitleKey, "-V 0; rm -rf ~ `id` $(id) \"q\" 'a'"},
             {kSongArtistKey, "--cwlimit"},
             {kSongCommentKey, "first line\nsecond $line"},
             {kSongTrackNoKey, "03"}});
    }

    void encodes()
    {
        QFETCH(Settings, settings);
        QFETCH(QVariantMap, options);
        QFETCH(QVariantMap, task);

        const bool useTags = !task.isEmpty();
        const auto store = TestSettings::makeStore(dir.filePath("settings.conf"), settings);
        const auto globals = LamePrefs::makeGlobalSwitches(*store, options, useTags);
        QVERIFY(globals.has_value());
        const bool isRaw = options.value(kRawPCMInputKey).toBool();
        const QString mp3 =
            useTags ? oddOutput : dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".mp3");
        task.insert(kInputFileKey, useTags ? oddInput : isRaw ? raw : wav);
        task.insert(kOutputFileKey, mp3);
        const auto arguments = LamePrefs::makeArgumentList(&task, &*globals, useTags);
        QVERIFY(arguments.has_value());

        QString errors;
        const int status =
            AudioFiles::run(Resources::pathForResource(isRaw ? "lame_raw" : "lame"), *arguments, &errors);
        QVERIFY2(status == 0,
                 qPrintable(QString("exit %1: %2\n%3").arg(status).arg(arguments->join(' '), errors)));
        // lame 3.100 refuses --cwlimit and ignores the developer-only switches: the launcher
        // leaves them out. -d is obsolete too, but is passed on: lame still accepts it.
        QVERIFY2(!errors.contains("developer-only"), qPrintable(errors));
        QCOMPARE(errors.contains("obsolete"), arguments->contains("-d"));
        const double seconds = AudioFiles::decodedSeconds(mp3);
        QVERIFY2(qAbs(seconds - inputSeconds) < 0.1, qPrintable(QString::number(seconds)));
        // The new VBR algorithm spends few bits above 16 kHz whatever the filters.
        if (!isRaw && store->integerForKey(PrefKey::BitRateMode) != 3) {
            const double before = AudioFiles::amplitudeAbove(wav, 18000);
            const double after = AudioFiles::amplitudeAbove(mp3, 18000);
            QVERIFY2(before > 0.1 && after >= 0, qPrintable(QString("%1 %2").arg(before).arg(after)));
            QCOMPARE(after > before / 2, !settings.value(PrefKey::EnableFiltering).toBool());
        }
        if (useTags) {
            TagLib::FileRef file(QFile::encodeName(mp3).constData());
            QVERIFY(file.tag());
            const TagLib::Tag &tag = *file.tag();
            const auto text = [](const TagLib::String &s) { return QString::fromUtf8(s.toCString(true)); };
            const QStringList read = {text(tag.title()),           text(tag.artist()),
                                      text(tag.album()),           text(tag.comment()),
                                      text(tag.genre()),           QString::number(tag.year()),
                                      QString::number(tag.track())};
            QCOMPARE(read,
                     (QStringList{task.value(kSongTitleKey).toString(), task.value(kSongArtistKey).toString(),
                                  "-o", task.value(kSongCommentKey).toString(), "Rock", "2001", "3"}));
        }
    }

    void withoutLame_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty search path") << dir.filePath("nothing-here");
        // A launcher named lame must not take itself for the encoder.
        QTest::newRow("only the launchers") << QFileInfo(Resources::pathForResource("lame")).absolutePath();
    }

    void withoutLame()
    {
        QFETCH(QString, path);
        QString errors;
        const int status = AudioFiles::run(Resources::pathForResource("lame"),
                                           {wav, dir.filePath("never.mp3")}, &errors, {"PATH=" + path});
        QCOMPARE(status, 127);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("Debian package \"lame\""), qPrintable(errors));
        QVERIFY(!QFileInfo::exists(dir.filePath("never.mp3")));
    }
};

QTEST_GUILESS_MAIN(TestEncoderLauncher)
#include "tst_encoderlauncher.moc"
