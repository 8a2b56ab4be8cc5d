// The encoder launchers and the real lame: every argument list the builder makes, for every bit
// rate mode and every switch it knows, must be accepted by lame 3.100 through the launcher and give
// an MP3 that decodes back to the length of its input; arguments reach lame one string each.
#include "app/CommandLog.h"
#include "platform/Resources.h"
#include "settings/LamePrefs.h"
#include "support/ArgumentSettings.h"
#include "support/AudioFiles.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

using Settings = QVariantMap;

namespace {
const double inputSeconds = 1.0;

// The tags of an MP3 as TagLib reads them.
QVariantMap readTags(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    QVariantMap tags;
    const TagLib::Tag *tag = file.isValid() ? file.tag() : nullptr;
    if (!tag)
        return tags;
    auto text = [](const TagLib::String &s) { return QString::fromStdString(s.to8Bit(true)); };
    tags.insert(kSongTitleKey, text(tag->title()));
    tags.insert(kSongArtistKey, text(tag->artist()));
    tags.insert(kSongAlbumKey, text(tag->album()));
    tags.insert(kSongCommentKey, text(tag->comment()));
    tags.insert(kSongGenreKey, text(tag->genre()));
    tags.insert(kSongYearKey, QString::number(tag->year()));
    tags.insert(kSongTrackNoKey, QString::number(tag->track()));
    return tags;
}
} // namespace

class TestEncoderLauncher : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase() { ArgumentSettings::setUpWithFactoryValues({}); }
    void launchersAreFound_data();
    void launchersAreFound();
    void encodes_data();
    void encodes();
    void everySwitchWasRun();
    void argumentsReachLameIntact();
    void outputIsLamesOwn();
    void withoutLame_data();
    void withoutLame();

  private:
    // Runs the launcher `name` with `arguments`; answers the exit code, standard error in `errors`.
    int launch(const QString &name, const QStringList &arguments, QString *errors);

    LamePrefs prefs;
    QTemporaryDir dir;
    QString wav, raw;
    QSet<QString> switchesRun;
};

void TestEncoderLauncher::initTestCase()
{
    QVERIFY2(AudioFiles::haveProgram("lame"), "the lame encoder must be installed (Debian package lame)");
    QVERIFY2(AudioFiles::haveProgram("sox"), "sox must be installed (Debian package sox)");
    QVERIFY(dir.isValid());
    wav = dir.filePath("sine.wav");
    raw = dir.filePath("sine.raw");
    QVERIFY(AudioFiles::makeSine(wav, inputSeconds));
    QVERIFY(AudioFiles::makeSine(raw, inputSeconds, true));
}

int TestEncoderLauncher::launch(const QString &name, const QStringList &arguments, QString *errors)
{
    return AudioFiles::run(Resources::pathForResource(name), arguments, errors);
}

void TestEncoderLauncher::launchersAreFound_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("lame") << "lame";
    QTest::newRow("lame_raw") << "lame_raw";
}

void TestEncoderLauncher::launchersAreFound()
{
    QFETCH(QString, name);
    const QString path = Resources::pathForResource(name);
    QVERIFY2(!path.isEmpty(), qPrintable(Resources::searchFolders().join(", ")));
    QVERIFY(QFileInfo(path).isExecutable());
    QCOMPARE(QFileInfo(path).fileName(), name);
}

void TestEncoderLauncher::encodes_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QVariantMap>("options");
    QTest::addColumn<bool>("useTags");
    QTest::addColumn<QVariantMap>("fileTags");
    QTest::addColumn<QStringList>("switches");

    const QVariantMap rawOptions = {{kRawPCMInputKey, true}, {kSampleRateKey, "44.1"}, {kBitDepthKey, "16"}};

    QTest::newRow("CBR at factory values")
        << Settings() << QVariantMap() << false << QVariantMap()
        << QStringList{"-k", "--short", "--cwlimit", "-q", "-b", "--athtype", "-e"};
    QTest::newRow("CBR with every flag")
        << Settings{{PrefKey::CBRReservoir, false},   {PrefKey::CBRQuality, 0},
                    {PrefKey::CBRBitRate, 320},       {PrefKey::CBRATHType, 4},
                    {PrefKey::Masking, "--noath"},    {PrefKey::ShortBlocks, "--noshort"},
                    {PrefKey::DifferentBlocks, true}, {PrefKey::ChannelMode, "s"},
                    {PrefKey::Deemphasis, "5"},       {PrefKey::Checksum, true},
                    {PrefKey::MarkAsCopyright, true}, {PrefKey::MarkAsOriginal, false},
                    {PrefKey::StrictISO, true},       {PrefKey::ReduceATHBy, 2},
                    {PrefKey::TemporalMasking, false}}
        << QVariantMap() << false << QVariantMap()
        << QStringList{
               "--nores",    "--noath", "--noshort", "-d", "-m", "-p", "-c", "-o", "--strictly-enforce-ISO",
               "--athlower", "--notemp"};
    QTest::newRow("ABR with every filter and resampling")
        << Settings{{PrefKey::BitRateMode, 2},
                    {PrefKey::ABREnforceMinimum, true},
                    {PrefKey::ABRXingTag, false},
                    {PrefKey::ChannelMode, "f"},
                    {PrefKey::Masking, "--athonly"},
                    {PrefKey::ShortBlocks, "--allshort"},
                    {PrefKey::Deemphasis, "c"},
                    {PrefKey::EnableFiltering, true},
                    {PrefKey::EnableLowpass, true},
                    {PrefKey::UpperCutoff, 15.5f},
                    {PrefKey::ManualLowpassWidth, true},
                    {PrefKey::LowpassWidth, 1.0f},
                    {PrefKey::EnableHighpass, true},
                    {PrefKey::LowerCutoff, 0.1f},
                    {PrefKey::ManualHighpassWidth, true},
                    {PrefKey::HighpassWidth, 0.05f},
                    {PrefKey::OutputSampleRate, 32.0f}}
        << QVariantMap() << false << QVariantMap() << QStringList{"--abr",      "-B",
                                                                  "-F",         "-t",
                                                                  "--lowpass",  "--lowpass-width",
                                                                  "--highpass", "--highpass-width",
                                                                  "--resample", "--athonly",
                                                                  "--allshort"};
    QTest::newRow("new VBR") << Settings{{PrefKey::BitRateMode, 3},         {PrefKey::VBRQuality, 2},
                                         {PrefKey::MinimumVBRBitRate, 64},  {PrefKey::MaximumVBRBitRate, 256},
                                         {PrefKey::ChannelMode, "d"},       {PrefKey::Masking, "--athshort"},
                                         {PrefKey::OutputSampleRate, 48.0f}}
                             << QVariantMap() << false << QVariantMap()
                             << QStringList{"--vbr-new", "-V", "--athshort"};
    QTest::newRow("old VBR") << Settings{{PrefKey::BitRateMode, 4},
                                         {PrefKey::VBREnforceMinimum, true},
                                         {PrefKey::VBRXingTag, false},
                                         {PrefKey::ChannelMode, "m"}}
                             << QVariantMap() << false << QVariantMap()
                             << QStringList{"--vbr-old", "-F", "-t"};
    QTest::newRow("no bit rate mode") << Settings{{PrefKey::BitRateMode, 0}} << QVariantMap() << false
                                      << QVariantMap() << QStringList{"-e"};
    QTest::newRow("raw input mixed down")
        << Settings{{PrefKey::Mixdown, true}, {PrefKey::ChannelMode, "j"}} << rawOptions << false
        << QVariantMap() << QStringList{"-r", "-s", "--bitwidth", "-a"};
    QVariantMap swapped = rawOptions;
    swapped.insert(kSwapEndianKey, true);
    QTest::newRow("raw input byte-swapped")
        << Settings() << swapped << false << QVariantMap() << QStringList{"-x", "-r", "-s", "--bitwidth"};
    QTest::newRow("tags of the run and of the file")
        << Settings()
        << QVariantMap{{kSongArtistKey, "Run Artist"},
                       {kSongAlbumKey, "Run Album"},
                       {kSongYearKey, "2001"},
                       {kSongGenreKey, "Rock"},
                       {kSongCommentKey, "run comment"}}
        << true
        << QVariantMap{{kSongTitleKey, "File Title"},
                       {kSongArtistKey, "File Artist"},
                       {kSongTrackNoKey, "03"}}
        << QStringList{"--tt", "--ta", "--tl", "--ty", "--tc", "--tn", "--tg"};
}

void TestEncoderLauncher::encodes()
{
    QFETCH(Settings, settings);
    QFETCH(QVariantMap, options);
    QFETCH(bool, useTags);
    QFETCH(QVariantMap, fileTags);
    QFETCH(QStringList, switches);

    ArgumentSettings::setUpWithFactoryValues(settings);
    const auto globals = prefs.makeGlobalSwitches(options, useTags);
    QVERIFY(globals.has_value());
    const bool isRaw = options.value(kRawPCMInputKey).toBool();
    QVariantMap task = fileTags;
    task.insert(kInputFileKey, isRaw ? raw : wav);
    const QString mp3 = dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".mp3");
    task.insert(kOutputFileKey, mp3);
    const auto arguments = prefs.makeArgumentList(&task, &*globals, useTags);
    QVERIFY(arguments.has_value());
    for (const QString &name : switches)
        QVERIFY2(arguments->contains(name), qPrintable(name + " missing from " + arguments->join(' ')));
    switchesRun += QSet<QString>(arguments->begin(), arguments->end());

    QString errors;
    const int status = launch(isRaw ? "lame_raw" : "lame", *arguments, &errors);
    QVERIFY2(status == 0,
             qPrintable(QString("exit %1: %2\n%3").arg(status).arg(arguments->join(' '), errors)));
    QVERIFY2(!errors.contains("unrecognized option"), qPrintable(errors));
    int notes = 0;
    for (const QString &line : errors.split('\n'))
        notes += line.contains("--cwlimit") ? 1 : 0;
    QCOMPARE(notes, arguments->contains("--cwlimit") ? 1 : 0);

    const double seconds = AudioFiles::decodedSeconds(mp3);
    QVERIFY2(qAbs(seconds - inputSeconds) < 0.1, qPrintable(QString::number(seconds)));

    if (useTags) {
        const QVariantMap tags = readTags(mp3);
        QVariantMap expected = options;
        expected.insert(fileTags);
        for (const QString &key :
             {kSongTitleKey, kSongArtistKey, kSongAlbumKey, kSongYearKey, kSongCommentKey, kSongGenreKey}) {
            if (expected.contains(key))
                QCOMPARE(tags.value(key).toString(), expected.value(key).toString());
        }
        QCOMPARE(tags.value(kSongTrackNoKey).toString(), QStringLiteral("3"));
    }
}

void TestEncoderLauncher::everySwitchWasRun()
{
    const QStringList vocabulary = {"-x",
                                    "-r",
                                    "-s",
                                    "--bitwidth",
                                    "-k",
                                    "--lowpass",
                                    "--lowpass-width",
                                    "--highpass",
                                    "--highpass-width",
                                    "--resample",
                                    "-m",
                                    "-a",
                                    "-d",
                                    "--noath",
                                    "--athonly",
                                    "--athshort",
                                    "--short",
                                    "--noshort",
                                    "--allshort",
                                    "--notemp",
                                    "--athlower",
                                    "--cwlimit",
                                    "-q",
                                    "-b",
                                    "-B",
                                    "--athtype",
                                    "--nores",
                                    "--abr",
                                    "-F",
                                    "-t",
                                    "--vbr-new",
                                    "--vbr-old",
                                    "-V",
                                    "-e",
                                    "--strictly-enforce-ISO",
                                    "-p",
                                    "-c",
                                    "-o",
                                    "--tt",
                                    "--ta",
                                    "--tl",
                                    "--ty",
                                    "--tc",
                                    "--tn",
                                    "--tg"};
    for (const QString &name : vocabulary)
        QVERIFY2(switchesRun.contains(name), qPrintable(name));
    for (const char *mode : {"s", "j", "f", "d", "m"})
        QVERIFY2(switchesRun.contains(mode), mode);
    for (const char *emphasis : {"n", "5", "c"})
        QVERIFY2(switchesRun.contains(emphasis), emphasis);
}

void TestEncoderLauncher::argumentsReachLameIntact()
{
    // Names and tags a shell would take apart; lame must get each one as it is.
    const QString input = dir.filePath("-it's a \"$HOME\" `id`; (x)\nline.wav");
    const QString output = dir.filePath("-out $(echo no) 'q' ;|*.mp3");
    QVERIFY(QFile::copy(wav, input));
    const QVariantMap tags = {{kSongTitleKey, "-V 0; rm -rf ~ `id` $(id) \"q\" 'a'"},
                              {kSongArtistKey, "--cwlimit"},
                              {kSongAlbumKey, "-o"},
                              {kSongCommentKey, "first line\nsecond $line"}};

    ArgumentSettings::setUpWithFactoryValues({});
    const auto globals = prefs.makeGlobalSwitches({}, true);
    QVERIFY(globals.has_value());
    QVariantMap task = tags;
    task.insert(kInputFileKey, input);
    task.insert(kOutputFileKey, output);
    const auto arguments = prefs.makeArgumentList(&task, &*globals, true);
    QVERIFY(arguments.has_value());

    QProcess process;
    process.setProgram(Resources::pathForResource("lame"));
    process.setArguments(*arguments);
    CommandLog log;
    log.logCommand(&process);
    const QString line = log.text();
    QVERIFY2(line.startsWith("\nlame -k --short --cwlimit 8.8717 "), qPrintable(line));
    QVERIFY2(line.contains(" --tt \"-V 0; rm -rf ~ `id` $(id) \"q\" 'a'\" --ta --cwlimit --tl -o "
                           "--tc 'first line\nsecond $line' "),
             qPrintable(line));
    QVERIFY2(line.endsWith(" \"" + input + "\" \"" + output + "\"\n"), qPrintable(line));

    process.start();
    QVERIFY(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, qPrintable(errors));
    QVERIFY2(QFileInfo::exists(output), qPrintable(errors));
    QVERIFY(qAbs(AudioFiles::decodedSeconds(output) - inputSeconds) < 0.1);

    const QVariantMap read = readTags(output);
    for (auto it = tags.begin(); it != tags.end(); ++it)
        QCOMPARE(read.value(it.key()).toString(), it.value().toString());
}

void TestEncoderLauncher::outputIsLamesOwn()
{
    QProcess launcher, direct;
    launcher.start(Resources::pathForResource("lame"), {"--version"});
    direct.start("lame", {"--version"});
    QVERIFY(launcher.waitForFinished(60000));
    QVERIFY(direct.waitForFinished(60000));
    QCOMPARE(launcher.exitCode(), direct.exitCode());
    QCOMPARE(launcher.readAllStandardOutput(), direct.readAllStandardOutput());
    QCOMPARE(launcher.readAllStandardError(), direct.readAllStandardError());
}

void TestEncoderLauncher::withoutLame_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty search path") << dir.filePath("nothing-here");
    // A launcher named lame must not take itself for the encoder.
    QTest::newRow("only the launchers") << QFileInfo(Resources::pathForResource("lame")).absolutePath();
}

void TestEncoderLauncher::withoutLame()
{
    QFETCH(QString, path);
    QString errors;
    const int status = AudioFiles::run(Resources::pathForResource("lame"), {wav, dir.filePath("never.mp3")},
                                       &errors, {"PATH=" + path});
    QCOMPARE(status, 127);
    QCOMPARE(errors.count('\n'), 1);
    QVERIFY2(errors.contains("Debian package \"lame\""), qPrintable(errors));
    QVERIFY(!QFileInfo::exists(dir.filePath("never.mp3")));
}

QTEST_MAIN(TestEncoderLauncher)
#include "tst_encoderlauncher.moc"
