// The encoder's argument list: the order of the switches, the forms of their values, the merging
// of a file's tags into the run's, and the lists that cannot be built.
#include "settings/LamePrefs.h"
#include "support/ArgumentSettings.h"

#include <QRegularExpression>
#include <QtTest>
#include <cmath>
#include <limits>

using Settings = QVariantMap;
Q_DECLARE_METATYPE(std::optional<QStringList>)

namespace {
const QString input = QStringLiteral("/music/in put.aiff");
const QString output = QStringLiteral("/music/in put.mp3");

QVariantMap paths()
{
    return {{kInputFileKey, input}, {kOutputFileKey, output}};
}

// The settings of the second worked example: new VBR, a lowpass filter, resampling.
Settings vbrWithLowpass()
{
    return {{PrefKey::BitRateMode, 3},
            {PrefKey::EnableFiltering, true},
            {PrefKey::EnableLowpass, true},
            {PrefKey::UpperCutoff, 16.0f},
            {PrefKey::ManualLowpassWidth, false},
            {PrefKey::EnableHighpass, false},
            {PrefKey::OutputSampleRate, 44.1f},
            {PrefKey::ChannelMode, QStringLiteral("j")},
            {PrefKey::Masking, QStringLiteral("--athshort")},
            {PrefKey::ReduceATHBy, 3},
            {PrefKey::Checksum, true}};
}

// The settings of the third worked example: raw input in ABR mode.
Settings abrRaw()
{
    return {{PrefKey::BitRateMode, 2},
            {PrefKey::Mixdown, true},
            {PrefKey::TemporalMasking, false},
            {PrefKey::TonalityLimit, QVariant()},
            {PrefKey::Deemphasis, QStringLiteral("5")},
            {PrefKey::MarkAsOriginal, false}};
}

QVariantMap abrRawOptions()
{
    return {{kRawPCMInputKey, true}, {kSwapEndianKey, true},     {kSampleRateKey, "44.1"},
            {kBitDepthKey, "16"},    {kSongArtistKey, "artist"}, {kSongAlbumKey, "album"}};
}

const QStringList factoryTail = {"--short", "--cwlimit", "8.8717", "-q", "2", "-b",
                                 "128",     "--athtype", "2",      "-e", "n"};
} // namespace

class TestArgumentBuilder : public QObject
{
    Q_OBJECT

  private slots:
    void init()
    {
        // A warning the test does not expect is a fault: the only line allowed is the one a
        // test announces.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    }
    void cleanupTestCase() { ArgumentSettings::setUpWithFactoryValues({}); }

    void workedExamples_data();
    void workedExamples();
    void runSwitches_data();
    void runSwitches();
    void requiredSettingMissing_data();
    void requiredSettingMissing();
    void argumentList_data();
    void argumentList();
    void settingsAreReadAfresh();
    void runListIsNotChangedByATask();

  private:
    LamePrefs prefs;
};

void TestArgumentBuilder::workedExamples_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QVariantMap>("options");
    QTest::addColumn<bool>("useTags");
    QTest::addColumn<QVariantMap>("task");
    QTest::addColumn<QStringList>("globals");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("CBR at factory values")
        << Settings() << QVariantMap() << false << paths() << (QStringList{"-k"} + factoryTail)
        << (QStringList{"-k"} + factoryTail + QStringList{input, output});

    const QStringList vbr = {"--lowpass",  "16",      "--resample", "44.1", "-m",        "j",
                             "--athshort", "--short", "--athlower", "3",    "--cwlimit", "8.8717",
                             "--vbr-new",  "-V",      "4",          "-b",   "32",        "-B",
                             "320",        "-e",      "n",          "-p"};
    QTest::newRow("new VBR with lowpass and resampling")
        << vbrWithLowpass() << QVariantMap() << false << paths() << vbr << (vbr + QStringList{input, output});

    const QStringList abr = {"-x", "-r",      "-s",       "44.1",   "--bitwidth", "16",    "-k",
                             "-a", "--short", "--notemp", "-q",     "2",          "--abr", "128",
                             "-b", "32",      "-B",       "320",    "--athtype",  "2",     "-e",
                             "5",  "-o",      "--ta",     "artist", "--tl",       "album"};
    QVariantMap task = paths();
    task.insert(kSongTitleKey, "title");
    task.insert(kSongArtistKey, "other artist");
    task.insert(kSongTrackNoKey, "01");
    QTest::newRow("raw ABR with tags")
        << abrRaw() << abrRawOptions() << true << task << abr
        << QStringList{"-x",    "-r",      "-s",       "44.1",         "--bitwidth", "16",    "-k",
                       "-a",    "--short", "--notemp", "-q",           "2",          "--abr", "128",
                       "-b",    "32",      "-B",       "320",          "--athtype",  "2",     "-e",
                       "5",     "-o",      "--ta",     "other artist", "--tl",       "album", "--tt",
                       "title", "--tn",    "01",       input,          output};
}

void TestArgumentBuilder::workedExamples()
{
    QFETCH(Settings, settings);
    QFETCH(QVariantMap, options);
    QFETCH(bool, useTags);
    QFETCH(QVariantMap, task);
    QFETCH(QStringList, globals);
    QFETCH(QStringList, arguments);

    ArgumentSettings::setUpWithFactoryValues(settings);
    const auto run = prefs.makeGlobalSwitches(options, useTags);
    QVERIFY(run.has_value());
    QCOMPARE(*run, globals);
    const auto list = prefs.makeArgumentList(&task, &*run, useTags);
    QVERIFY(list.has_value());
    QCOMPARE(*list, arguments);
}

void TestArgumentBuilder::runSwitches_data()
{
    QTest::addColumn<bool>("onlyMinimalRegistration");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QVariantMap>("options");
    QTest::addColumn<bool>("useTags");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("registration layer of mode 0 and deemphasis only")
        << true << Settings() << QVariantMap() << false << QStringList{"-k", "--notemp", "-e", "n", "-o"};

    const QStringList cbr = {"-q", "2", "-b", "128", "--athtype", "2", "-e", "n"};
    QTest::newRow("byte swap without raw input")
        << false << Settings() << QVariantMap{{kSwapEndianKey, true}, {kRawPCMInputKey, false}} << false
        << (QStringList{"-x", "-k"} + factoryTail);
    QTest::newRow("flags given as text")
        << false << Settings() << QVariantMap{{kSwapEndianKey, "YES"}, {kRawPCMInputKey, "0"}} << false
        << (QStringList{"-x", "-k"} + factoryTail);
    QTest::newRow("mixdown without raw input") << false << Settings{{PrefKey::Mixdown, true}} << QVariantMap()
                                               << false << (QStringList{"-k"} + factoryTail);
    QTest::newRow("raw input without rate or depth")
        << false << Settings{{PrefKey::Mixdown, true}} << QVariantMap{{kRawPCMInputKey, true}} << false
        << (QStringList{"-r", "-k", "-a"} + factoryTail);
    QTest::newRow("raw values used as they stand")
        << false << Settings()
        << QVariantMap{{kRawPCMInputKey, true}, {kSampleRateKey, "--tt"}, {kBitDepthKey, 24}} << false
        << (QStringList{"-r", "-s", "--tt", "--bitwidth", "24", "-k"} + factoryTail);

    const Settings allFilters = {{PrefKey::EnableLowpass, true},       {PrefKey::UpperCutoff, 17.5f},
                                 {PrefKey::ManualLowpassWidth, true},  {PrefKey::LowpassWidth, 0.75f},
                                 {PrefKey::EnableHighpass, true},      {PrefKey::LowerCutoff, 0.1f},
                                 {PrefKey::ManualHighpassWidth, true}, {PrefKey::HighpassWidth, 0.05f}};
    Settings filtering = allFilters;
    filtering.insert(PrefKey::EnableFiltering, true);
    QTest::newRow("every filter") << false << filtering << QVariantMap() << false
                                  << (QStringList{"--lowpass", "17.5", "--lowpass-width", "0.75",
                                                  "--highpass", "0.1", "--highpass-width", "0.05"} +
                                      factoryTail);
    Settings filteringOff = allFilters;
    filteringOff.insert(PrefKey::EnableFiltering, false);
    QTest::newRow("filtering off suppresses every filter")
        << false << filteringOff << QVariantMap() << false << (QStringList{"-k"} + factoryTail);

    Settings widthWithoutCutoff = filtering;
    widthWithoutCutoff.insert(PrefKey::UpperCutoff, QVariant());
    widthWithoutCutoff.insert(PrefKey::EnableHighpass, false);
    QTest::newRow("lowpass without a cutoff")
        << false << widthWithoutCutoff << QVariantMap() << false << factoryTail;
    widthWithoutCutoff.insert(PrefKey::UpperCutoff, 0.0001f);
    QTest::newRow("lowpass at the threshold")
        << false << widthWithoutCutoff << QVariantMap() << false << factoryTail;
    widthWithoutCutoff.insert(PrefKey::UpperCutoff, std::numeric_limits<float>::quiet_NaN());
    QTest::newRow("lowpass not a number")
        << false << widthWithoutCutoff << QVariantMap() << false << factoryTail;
    widthWithoutCutoff.insert(PrefKey::UpperCutoff, QStringLiteral("16.5 kHz"));
    QTest::newRow("cutoff stored as text")
        << false << widthWithoutCutoff << QVariantMap() << false
        << (QStringList{"--lowpass", "16.5 kHz", "--lowpass-width", "0.75"} + factoryTail);
    Settings lowpassOff = filtering;
    lowpassOff.insert(PrefKey::EnableLowpass, false);
    QTest::newRow("lowpass off, highpass on")
        << false << lowpassOff << QVariantMap() << false
        << (QStringList{"--highpass", "0.1", "--highpass-width", "0.05"} + factoryTail);

    QTest::newRow("ATH lowered by -2") << false << Settings{{PrefKey::ReduceATHBy, -2}} << QVariantMap()
                                       << false << (QStringList{"-k"} + factoryTail);
    QTest::newRow("ATH lowered by 1")
        << false << Settings{{PrefKey::ReduceATHBy, 1}} << QVariantMap() << false
        << QStringList{"-k", "--short", "--athlower", "1",         "--cwlimit", "8.8717", "-q",
                       "2",  "-b",      "128",        "--athtype", "2",         "-e",     "n"};
    QTest::newRow("no tonality limit") << false << Settings{{PrefKey::TonalityLimit, 0.0f}} << QVariantMap()
                                       << false << (QStringList{"-k", "--short"} + cbr);

    const Settings everyFlag = {{PrefKey::DifferentBlocks, true},
                                {PrefKey::Masking, QStringLiteral("--noath")},
                                {PrefKey::ShortBlocks, QStringLiteral("--allshort")},
                                {PrefKey::CBRReservoir, false},
                                {PrefKey::StrictISO, true},
                                {PrefKey::Checksum, true},
                                {PrefKey::MarkAsCopyright, true},
                                {PrefKey::MarkAsOriginal, false},
                                {PrefKey::ChannelMode, QStringLiteral("m")},
                                {PrefKey::TonalityLimit, QVariant()},
                                {PrefKey::Deemphasis, QStringLiteral("c")}};
    QTest::newRow("CBR with every flag")
        << false << everyFlag << QVariantMap() << false
        << QStringList{
               "-k", "-m",  "m",         "-d", "--noath", "--allshort", "-q", "2",
               "-b", "128", "--athtype", "2",  "--nores", "-e",         "c",  "--strictly-enforce-ISO",
               "-p", "-c",  "-o"};

    const Settings abr = {{PrefKey::BitRateMode, 2},
                          {PrefKey::ABREnforceMinimum, true},
                          {PrefKey::ABRXingTag, false},
                          {PrefKey::AverageBitRate, 192},
                          {PrefKey::TonalityLimit, QVariant()}};
    QTest::newRow("ABR enforcing the minimum, no Xing frame")
        << false << abr << QVariantMap() << false
        << QStringList{"-k", "--short", "-q",        "2", "--abr", "192", "-b", "32",
                       "-B", "320",     "--athtype", "2", "-F",    "-t",  "-e", "n"};

    const QStringList vbrTail = {"-V", "4", "-b", "32", "-B", "320", "-F", "-t", "-e", "n"};
    const Settings vbr = {{PrefKey::VBREnforceMinimum, true},
                          {PrefKey::VBRXingTag, false},
                          {PrefKey::TonalityLimit, QVariant()}};
    Settings vbrNew = vbr, vbrOld = vbr;
    vbrNew.insert(PrefKey::BitRateMode, 3);
    vbrOld.insert(PrefKey::BitRateMode, 4);
    QTest::newRow("new VBR") << false << vbrNew << QVariantMap() << false
                             << (QStringList{"-k", "--short", "--vbr-new"} + vbrTail);
    QTest::newRow("old VBR") << false << vbrOld << QVariantMap() << false
                             << (QStringList{"-k", "--short", "--vbr-old"} + vbrTail);
    for (int mode : {0, -1, 5}) {
        QTest::addRow("bit rate mode %d", mode)
            << false << Settings{{PrefKey::BitRateMode, mode}, {PrefKey::TonalityLimit, QVariant()}}
            << QVariantMap() << false << QStringList{"-k", "--short", "-e", "n"};
    }
    QTest::newRow("numbers in their decimal text")
        << false
        << Settings{{PrefKey::OutputSampleRate, 32.0f},
                    {PrefKey::TonalityLimit, 12.25f},
                    {PrefKey::CBRBitRate, -8}}
        << QVariantMap() << false
        << QStringList{"-k", "--resample", "32", "--short",   "--cwlimit", "12.25", "-q",
                       "2",  "-b",         "-8", "--athtype", "2",         "-e",    "n"};

    const QVariantMap tags = {{kSongTitleKey, "t"},   {kSongArtistKey, "a"},  {kSongAlbumKey, "l"},
                              {kSongYearKey, "1999"}, {kSongCommentKey, "c"}, {kSongTrackNoKey, "07"},
                              {kSongGenreKey, "Jazz"}};
    QTest::newRow("run tags in their order")
        << false << Settings() << tags << true
        << (QStringList{"-k"} + factoryTail +
            QStringList{"--tt", "t", "--ta", "a", "--tl", "l", "--ty", "1999", "--tc", "c", "--tn", "07",
                        "--tg", "Jazz"});
    QTest::newRow("run tags ignored without useTags")
        << false << Settings() << tags << false << (QStringList{"-k"} + factoryTail);
}

void TestArgumentBuilder::runSwitches()
{
    QFETCH(bool, onlyMinimalRegistration);
    QFETCH(Settings, settings);
    QFETCH(QVariantMap, options);
    QFETCH(bool, useTags);
    QFETCH(QStringList, expected);

    if (onlyMinimalRegistration)
        ArgumentSettings::setUp({{PrefKey::BitRateMode, 0}, {PrefKey::Deemphasis, "n"}}, settings);
    else
        ArgumentSettings::setUpWithFactoryValues(settings);
    const auto run = prefs.makeGlobalSwitches(options, useTags);
    QVERIFY(run.has_value());
    QCOMPARE(*run, expected);
}

void TestArgumentBuilder::requiredSettingMissing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("missing");

    for (const QString &key : {PrefKey::CBRQuality, PrefKey::CBRBitRate, PrefKey::CBRATHType})
        QTest::addRow("CBR: %s", qPrintable(key)) << 1 << key;
    for (const QString &key : {PrefKey::ABRQuality, PrefKey::AverageBitRate, PrefKey::MinimumABRBitRate,
                               PrefKey::MaximumABRBitRate, PrefKey::ABRATHType})
        QTest::addRow("ABR: %s", qPrintable(key)) << 2 << key;
    for (int mode : {3, 4}) {
        for (const QString &key :
             {PrefKey::VBRQuality, PrefKey::MinimumVBRBitRate, PrefKey::MaximumVBRBitRate})
            QTest::addRow("VBR %d: %s", mode, qPrintable(key)) << mode << key;
    }
    QTest::newRow("no bit rate mode, no deemphasis") << 0 << PrefKey::Deemphasis;
}

void TestArgumentBuilder::requiredSettingMissing()
{
    QFETCH(int, mode);
    QFETCH(QString, missing);

    ArgumentSettings::setUpWithFactoryValues({{PrefKey::BitRateMode, mode}, {missing, QVariant()}});
    QTest::ignoreMessage(
        QtWarningMsg,
        qPrintable(QStringLiteral("Error: corrupt preferences: \"%1\" has no value").arg(missing)));
    QVERIFY(!prefs.makeGlobalSwitches({}, false).has_value());

    // An empty text is a value: the switch is given it.
    ArgumentSettings::setUpWithFactoryValues({{PrefKey::BitRateMode, mode}, {missing, QString("")}});
    const auto run = prefs.makeGlobalSwitches({}, false);
    QVERIFY(run.has_value());
    QVERIFY(run->contains(QString("")));
}

void TestArgumentBuilder::argumentList_data()
{
    QTest::addColumn<bool>("haveTask");
    QTest::addColumn<QVariantMap>("task");
    QTest::addColumn<bool>("haveGlobals");
    QTest::addColumn<QStringList>("globals");
    QTest::addColumn<bool>("useTags");
    QTest::addColumn<std::optional<QStringList>>("expected");

    const std::optional<QStringList> none;
    const QStringList run = {"-k", "-e", "n", "--ta", "run artist", "--tl", "run album"};

    QTest::newRow("no task") << false << QVariantMap() << true << run << false << none;
    QTest::newRow("no input") << true << QVariantMap{{kOutputFileKey, output}} << true << run << false
                              << none;
    QTest::newRow("empty input") << true << QVariantMap{{kInputFileKey, ""}, {kOutputFileKey, output}} << true
                                 << run << false << none;
    QTest::newRow("no output") << true << QVariantMap{{kInputFileKey, input}} << true << run << false << none;
    QTest::newRow("empty output") << true << QVariantMap{{kInputFileKey, input}, {kOutputFileKey, QString()}}
                                  << true << run << true << none;
    QTest::newRow("no run list") << true << paths() << false << QStringList() << true
                                 << std::optional<QStringList>(QStringList{input, output});

    QVariantMap tagged = paths();
    tagged.insert(kSongArtistKey, "file artist");
    tagged.insert(kSongGenreKey, "Rock");
    tagged.insert(kSongTitleKey, "file title");
    QTest::newRow("file tags replace and follow")
        << true << tagged << true << run << true
        << std::optional<QStringList>(QStringList{"-k", "-e", "n", "--ta", "file artist", "--tl", "run album",
                                                  "--tt", "file title", "--tg", "Rock", input, output});
    QTest::newRow("file tags ignored without useTags")
        << true << tagged << true << run << false
        << std::optional<QStringList>(run + QStringList{input, output});

    // A value that reads like a tag switch is still a value: the file's title must not take
    // the place of whatever follows it.
    QVariantMap titled = paths();
    titled.insert(kSongTitleKey, "file title");
    const QStringList trap = {"-k", "--ta", "--tt", "--tl", "album"};
    QTest::newRow("value that reads like a switch")
        << true << titled << true << trap << true
        << std::optional<QStringList>(trap + QStringList{"--tt", "file title", input, output});
    QTest::newRow("switch without its value at the end")
        << true << titled << true << QStringList{"-k", "--tt"} << true
        << std::optional<QStringList>(QStringList{"-k", "--tt", "file title", input, output});

    QVariantMap odd = paths();
    odd.insert(kSongCommentKey, "-o; $(rm -rf /) `x` \"q\" 'a'\nnext");
    QTest::newRow("texts pass as they stand")
        << true << odd << true << QStringList() << true
        << std::optional<QStringList>(
               QStringList{"--tc", "-o; $(rm -rf /) `x` \"q\" 'a'\nnext", input, output});
}

void TestArgumentBuilder::argumentList()
{
    QFETCH(bool, haveTask);
    QFETCH(QVariantMap, task);
    QFETCH(bool, haveGlobals);
    QFETCH(QStringList, globals);
    QFETCH(bool, useTags);
    QFETCH(std::optional<QStringList>, expected);

    const auto list =
        prefs.makeArgumentList(haveTask ? &task : nullptr, haveGlobals ? &globals : nullptr, useTags);
    QCOMPARE(list.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*list, *expected);
}

void TestArgumentBuilder::settingsAreReadAfresh()
{
    ArgumentSettings::setUpWithFactoryValues({});
    QVERIFY(prefs.makeGlobalSwitches({}, false)->contains("128"));
    LamePrefs::preferences().setInteger(256, PrefKey::CBRBitRate);
    const auto run = prefs.makeGlobalSwitches({}, false);
    QVERIFY(run->contains("256"));
    QVERIFY(!run->contains("128"));
}

void TestArgumentBuilder::runListIsNotChangedByATask()
{
    ArgumentSettings::setUpWithFactoryValues(abrRaw());
    const auto run = prefs.makeGlobalSwitches(abrRawOptions(), true);
    QVERIFY(run.has_value());
    const QStringList before = *run;
    QVariantMap first = paths();
    first.insert(kSongArtistKey, "first");
    QVariantMap second = paths();
    second.insert(kSongTitleKey, "second");
    QVERIFY(prefs.makeArgumentList(&first, &*run, true)->contains("first"));
    const auto list = prefs.makeArgumentList(&second, &*run, true);
    QCOMPARE(*run, before);
    QVERIFY(list->contains("artist"));
    QVERIFY(!list->contains("first"));
}

QTEST_MAIN(TestArgumentBuilder)
#include "tst_argumentbuilder.moc"
