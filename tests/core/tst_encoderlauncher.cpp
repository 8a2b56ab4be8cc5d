// The encoder launchers and the real lame: every argument list the builder makes, for every bit
// rate mode and every switch it knows, must be accepted by lame 3.100 through the launcher and give
// an MP3 that decodes back to the length of its input; arguments reach lame one string each.
#include "core/LamePrefs.h"
#include "platform/Resources.h"
#include "support/ArgumentSettings.h"
#include "support/AudioFiles.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

using Settings = QVariantMap;

namespace {
const double inputSeconds = 1.0;

// The tags of an MP3 as TagLib reads them.
QVariantMap readTags(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    const TagLib::Tag *tag = file.isValid() ? file.tag() : nullptr;
    if (!tag)
        return {};
    auto text = [](const TagLib::String &s) { return QString::fromStdString(s.to8Bit(true)); };
    return {{kSongTitleKey, text(tag->title())},
            {kSongArtistKey, text(tag->artist())},
            {kSongAlbumKey, text(tag->album())},
            {kSongCommentKey, text(tag->comment())},
            {kSongGenreKey, text(tag->genre())},
            {kSongYearKey, QString::number(tag->year())},
            {kSongTrackNoKey, QString::number(tag->track())}};
}
} // namespace

class TestEncoderLauncher : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase()
    {
        QVERIFY2(AudioFiles::haveProgram("lame"), "the lame encoder must be installed (Debian package lame)");
        QVERIFY2(AudioFiles::haveProgram("sox"), "sox must be installed (Debian package sox)");
        QVERIFY(dir.isValid());
        wav = dir.filePath("sine.wav");
        raw = dir.filePath("sine.raw");
        QVERIFY(AudioFiles::makeSine(wav, inputSeconds));
        QVERIFY(AudioFiles::makeSine(raw, inputSeconds, true));
        oddInput = dir.filePath("-it's a \"$HOME\" `id`; (x)\nline.wav");
        oddOutput = dir.filePath("-out $(echo no) 'q' ;|*.mp3");
        QVERIFY(QFile::copy(wav, oddInput));
    }

    void cleanupTestCase() { ArgumentSettings::setUpWithFactoryValues({}); }
    void encodes_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<QVariantMap>("task");
        auto row = [](const char *name, const Settings &settings, const QVariantMap &options = {},
                      const QVariantMap &task = {}) { QTest::newRow(name) << settings << options << task; };

        row("CBR at factory values", {});
        const Settings everyFlag = {{PrefKey::ShortBlocks, "--noshort"}, {PrefKey::Masking, "--noath"},
                                    {PrefKey::TemporalMasking, false},   {PrefKey::ChannelMode, "s"},
                                    {PrefKey::DifferentBlocks, true},    {PrefKey::Deemphasis, "5"},
                                    {PrefKey::MarkAsCopyright, true},    {PrefKey::StrictISO, true},
                                    {PrefKey::MarkAsOriginal, false},    {PrefKey::Checksum, true},
                                    {PrefKey::CBRReservoir, false},      {PrefKey::ReduceATHBy, 2}};
        row("CBR with every flag", everyFlag);
        const Settings abrFiltered = {{PrefKey::ShortBlocks, "--allshort"}, {PrefKey::EnableLowpass, true},
                                      {PrefKey::ManualHighpassWidth, true}, {PrefKey::UpperCutoff, 15.5f},
                                      {PrefKey::ManualLowpassWidth, true},  {PrefKey::LowpassWidth, 1.0f},
                                      {PrefKey::ABREnforceMinimum, true},   {PrefKey::ABRXingTag, false},
                                      {PrefKey::OutputSampleRate, 32.0f},   {PrefKey::LowerCutoff, 0.1f},
                                      {PrefKey::EnableFiltering, true},     {PrefKey::ChannelMode, "f"},
                                      {PrefKey::Masking, "--athonly"},      {PrefKey::Deemphasis, "c"},
                                      {PrefKey::EnableHighpass, true},      {PrefKey::BitRateMode, 2},
                                      {PrefKey::HighpassWidth, 0.05f}};
        row("ABR with every filter and resampling", abrFiltered);
        row("new VBR",
            {{PrefKey::BitRateMode, 3}, {PrefKey::ChannelMode, "d"}, {PrefKey::Masking, "--athshort"}});
        row("old VBR",
            {{PrefKey::BitRateMode, 4}, {PrefKey::VBREnforceMinimum, true}, {PrefKey::VBRXingTag, false}});
        row("no bit rate mode", {{PrefKey::BitRateMode, 0}, {PrefKey::ChannelMode, "m"}});
        const QVariantMap rawOptions = {
            {kRawPCMInputKey, true}, {kSampleRateKey, "44.1"}, {kBitDepthKey, "16"}};
        row("raw input mixed down", {{PrefKey::Mixdown, true}, {PrefKey::ChannelMode, "j"}}, rawOptions);
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

        ArgumentSettings::setUpWithFactoryValues(settings);
        const bool useTags = !task.isEmpty();
        const auto globals = prefs.makeGlobalSwitches(options, useTags);
        QVERIFY(globals.has_value());
        const bool isRaw = options.value(kRawPCMInputKey).toBool();
        const QString mp3 =
            useTags ? oddOutput : dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".mp3");
        task.insert(kInputFileKey, useTags ? oddInput : isRaw ? raw : wav);
        task.insert(kOutputFileKey, mp3);
        const auto arguments = prefs.makeArgumentList(&task, &*globals, useTags);
        QVERIFY(arguments.has_value());
        switchesRun += QSet<QString>(arguments->begin(), arguments->end());

        QString errors;
        const int status =
            AudioFiles::run(Resources::pathForResource(isRaw ? "lame_raw" : "lame"), *arguments, &errors);
        QVERIFY2(status == 0,
                 qPrintable(QString("exit %1: %2\n%3").arg(status).arg(arguments->join(' '), errors)));
        // lame 3.100 refuses --cwlimit, ignores the developer-only switches and calls -k obsolete:
        // the launcher leaves them out (-k goes in its working form) and names them on one line.
        const QStringList changed = {"-k",         "--cwlimit", "--short",    "--noshort",
                                     "--allshort", "--athtype", "--athshort", "--athonly",
                                     "--noath",    "--notemp",  "--athlower"};
        const QStringList notes = errors.split(u'\n').filter("Note:");
        QStringList named;
        for (const QString &name : changed)
            if (arguments->contains(name))
                named << name;
        QCOMPARE(notes.size(), named.isEmpty() ? 0 : 1);
        for (const QString &name : named)
            QVERIFY2(notes.first().contains(u' ' + name + u' ') || notes.first().endsWith(u' ' + name),
                     qPrintable(name + ": " + notes.first()));
        QVERIFY2(!errors.contains("developer-only"), qPrintable(errors));
        // -d is obsolete too, but is passed on: lame still accepts it.
        QCOMPARE(errors.contains("obsolete"), arguments->contains("-d"));
        const double seconds = AudioFiles::decodedSeconds(mp3);
        QVERIFY2(qAbs(seconds - inputSeconds) < 0.1, qPrintable(QString::number(seconds)));

        if (useTags) {
            const QVariantMap read = readTags(mp3);
            task.insert(options);
            task.insert(kSongTrackNoKey, "3");
            for (auto it = read.begin(); it != read.end(); ++it)
                QCOMPARE(it.value().toString(), task.value(it.key()).toString());
        }
    }

    void everySwitchWasRun()
    {
        const QStringList vocabulary =
            QStringLiteral(
                "-x -r -s --bitwidth -k --lowpass --lowpass-width --highpass --highpass-width --resample "
                "-m -a -d --noath --athonly --athshort --short --noshort --allshort --notemp --athlower "
                "--cwlimit -q -b -B --athtype --nores --abr -F -t --vbr-new --vbr-old -V -e "
                "--strictly-enforce-ISO -p -c -o --tt --ta --tl --ty --tc --tn --tg "
                "s j f d m n 5 c")
                .split(u' ');
        for (const QString &name : vocabulary)
            QVERIFY2(switchesRun.contains(name), qPrintable(name));
    }

    // "Enable Filtering" off promises every frequency kept: a 19 kHz tone must come back, which
    // lame 3.100 low-passes away at about 17 kHz when it is given -k as it stands.
    void keepsFrequencies_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<bool>("kept");
        QTest::newRow("filtering off") << Settings{{PrefKey::EnableFiltering, false}} << true;
        QTest::newRow("lowpass at 16 kHz") << Settings{{PrefKey::EnableFiltering, true},
                                                       {PrefKey::EnableLowpass, true},
                                                       {PrefKey::UpperCutoff, 16.0f}}
                                           << false;
    }

    void keepsFrequencies()
    {
        QFETCH(Settings, settings);
        QFETCH(bool, kept);
        const QString tone = dir.filePath("tone.wav");
        if (!QFileInfo::exists(tone))
            QVERIFY(AudioFiles::makeSine(tone, inputSeconds, false, 19000));
        ArgumentSettings::setUpWithFactoryValues(settings);
        const auto globals = prefs.makeGlobalSwitches({}, false);
        QVERIFY(globals.has_value());
        const QString mp3 = dir.filePath("tone.mp3");
        const QVariantMap task = {{kInputFileKey, tone}, {kOutputFileKey, mp3}};
        const auto arguments = prefs.makeArgumentList(&task, &*globals, false);
        QVERIFY(arguments.has_value());
        QCOMPARE(AudioFiles::run(Resources::pathForResource("lame"), *arguments), 0);

        const double before = AudioFiles::amplitudeAbove(tone, 18000);
        const double after = AudioFiles::amplitudeAbove(mp3, 18000);
        QVERIFY2(before > 0.1 && after >= 0, qPrintable(QString("%1 %2").arg(before).arg(after)));
        QVERIFY2((after > before / 2) == kept, qPrintable(QString("%1 of %2").arg(after).arg(before)));
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

  private:
    LamePrefs prefs;
    QTemporaryDir dir;
    QString wav, raw, oddInput, oddOutput;
    QSet<QString> switchesRun;
};

QTEST_GUILESS_MAIN(TestEncoderLauncher)
#include "tst_encoderlauncher.moc"
