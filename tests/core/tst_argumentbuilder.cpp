// The encoder's argument list: the order of the switches, the forms of their values, the merging
// of a file's tags into the run's, and the lists that cannot be built.
#include "core/LamePrefs.h"
#include "support/ArgumentSettings.h"

#include <QRegularExpression>
#include <QtTest>

using Settings = QVariantMap;
using Arguments = std::optional<QStringList>;
Q_DECLARE_METATYPE(Arguments)

namespace {
const QString input = QStringLiteral("/music/in put.aiff");
const QString output = QStringLiteral("/music/in put.mp3");
const QVariantMap paths = {{kInputFileKey, input}, {kOutputFileKey, output}};

// The words of `text`, split at spaces.
QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(u' ');
}
const QStringList factoryTail = words("--short --cwlimit 8.8717 -q 2 -b 128 --athtype 2 -e n");
const QStringList cbr = QStringList{"-k"} + factoryTail;

QVariantMap with(QVariantMap map, const QVariantMap &more)
{
    map.insert(more);
    return map;
}
} // namespace

class TestArgumentBuilder : public QObject
{
    Q_OBJECT

  private slots:
    // A warning the test does not expect is a fault: the only line allowed is the one announced.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanupTestCase() { ArgumentSettings::setUpWithFactoryValues({}); }

    void switches_data()
    {
        QTest::addColumn<bool>("minimalRegistration");
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<QStringList>("globals");
        QTest::addColumn<QVariantMap>("task");
        QTest::addColumn<QStringList>("arguments");
        // The run's switches alone, without tags.
        auto run = [](const char *name, const Settings &settings, const QStringList &globals,
                      const QVariantMap &options = {}) {
            QTest::newRow(name) << false << settings << options << globals << QVariantMap() << QStringList();
        };

        // The worked examples.
        QTest::newRow("CBR at factory values")
            << false << Settings() << QVariantMap() << cbr << paths << (cbr + QStringList{input, output});

        const Settings vbrWithLowpass = {{PrefKey::ManualLowpassWidth, false}, {PrefKey::UpperCutoff, 16.0f},
                                         {PrefKey::OutputSampleRate, 44.1f},   {PrefKey::ChannelMode, "j"},
                                         {PrefKey::EnableFiltering, true},     {PrefKey::BitRateMode, 3},
                                         {PrefKey::EnableHighpass, false},     {PrefKey::ReduceATHBy, 3},
                                         {PrefKey::Masking, "--athshort"},     {PrefKey::Checksum, true},
                                         {PrefKey::EnableLowpass, true}};
        const QStringList vbr =
            words("--lowpass 16 --resample 44.1 -m j --athshort --short --athlower 3 --cwlimit "
                  "8.8717 --vbr-new -V 4 -b 32 -B 320 -e n -p");
        QTest::newRow("new VBR with lowpass and resampling")
            << false << vbrWithLowpass << QVariantMap() << vbr << paths << (vbr + QStringList{input, output});

        const Settings abrRaw = {{PrefKey::TonalityLimit, QVariant()}, {PrefKey::Deemphasis, "5"},
                                 {PrefKey::TemporalMasking, false},    {PrefKey::BitRateMode, 2},
                                 {PrefKey::MarkAsOriginal, false},     {PrefKey::Mixdown, true}};
        const QVariantMap rawOptions = {{kRawPCMInputKey, true},    {kSwapEndianKey, true},
                                        {kSampleRateKey, "44.1"},   {kBitDepthKey, "16"},
                                        {kSongArtistKey, "artist"}, {kSongAlbumKey, "album"}};
        const QStringList abr =
            words("-x -r -s 44.1 --bitwidth 16 -k -a --short --notemp -q 2 --abr 128 -b 32 -B 320 "
                  "--athtype 2 -e 5 -o --ta artist --tl album");
        QStringList merged = abr;
        merged[merged.indexOf("artist")] = "other artist";
        merged += words("--tt title --tn 01") + QStringList{input, output};
        QTest::newRow("raw ABR with tags")
            << false << abrRaw << rawOptions << abr
            << with(paths,
                    {{kSongTitleKey, "title"}, {kSongArtistKey, "other artist"}, {kSongTrackNoKey, "01"}})
            << merged;

        QTest::newRow("registration layer of mode 0 and deemphasis only")
            << true << Settings() << QVariantMap() << words("-k --notemp -e n -o") << QVariantMap()
            << QStringList();
        run("byte swap without raw input", {}, QStringList{"-x"} + cbr,
            {{kSwapEndianKey, true}, {kRawPCMInputKey, false}});
        run("mixdown without raw input", {{PrefKey::Mixdown, true}}, cbr);

        const Settings filters = {{PrefKey::ManualHighpassWidth, true}, {PrefKey::EnableLowpass, true},
                                  {PrefKey::ManualLowpassWidth, true},  {PrefKey::LowpassWidth, 0.75f},
                                  {PrefKey::EnableFiltering, true},     {PrefKey::UpperCutoff, 17.5f},
                                  {PrefKey::EnableHighpass, true},      {PrefKey::LowerCutoff, 0.1f},
                                  {PrefKey::HighpassWidth, 0.05f}};
        run("every filter", filters,
            words("--lowpass 17.5 --lowpass-width 0.75 --highpass 0.1 --highpass-width 0.05") + factoryTail);
        run("filtering off suppresses every filter", with(filters, {{PrefKey::EnableFiltering, false}}), cbr);
        run("lowpass at the threshold adds neither switch",
            with(filters, {{PrefKey::UpperCutoff, 0.0001f}, {PrefKey::EnableHighpass, false}}), factoryTail);

        run("ATH lowered by -2", {{PrefKey::ReduceATHBy, -2}}, cbr);
        run("ATH lowered by 1", {{PrefKey::ReduceATHBy, 1}},
            words("-k --short --athlower 1 --cwlimit 8.8717 -q 2 -b 128 --athtype 2 -e n"));

        run("old VBR",
            {{PrefKey::BitRateMode, 4},
             {PrefKey::VBREnforceMinimum, true},
             {PrefKey::VBRXingTag, false},
             {PrefKey::TonalityLimit, QVariant()}},
            words("-k --short --vbr-old -V 4 -b 32 -B 320 -F -t -e n"));
        run("run tags ignored without useTags", {}, cbr, {{kSongTitleKey, "t"}, {kSongGenreKey, "Jazz"}});
    }

    void switches()
    {
        QFETCH(bool, minimalRegistration);
        QFETCH(Settings, settings);
        QFETCH(QVariantMap, options);
        QFETCH(QStringList, globals);
        QFETCH(QVariantMap, task);
        QFETCH(QStringList, arguments);

        if (minimalRegistration)
            ArgumentSettings::setUp({{PrefKey::BitRateMode, 0}, {PrefKey::Deemphasis, "n"}}, settings);
        else
            ArgumentSettings::setUpWithFactoryValues(settings);
        // Tags are used in the rows that build a task's list.
        const auto run = prefs.makeGlobalSwitches(options, !task.isEmpty());
        QCOMPARE(run, Arguments(globals));
        if (!task.isEmpty())
            QCOMPARE(prefs.makeArgumentList(&task, &*run, true), Arguments(arguments));
    }

    // A stored value that is not of its setting's kind never reaches the encoder: the factory value
    // (or none) takes its place from then on, and one line of the log says so.
    void valueOfTheWrongKind_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QStringList>("globals");
        auto row = [](const char *name, const QString &key, const QVariant &value, const QStringList &globals,
                      const Settings &more = {}) {
            QTest::newRow(name) << key << with(more, {{key, value}}) << globals;
        };
        row("10 MB bit rate", PrefKey::CBRBitRate, QString(10 * 1024 * 1024, u'9'), cbr);
        row("bit rate with a unit", PrefKey::CBRBitRate, "128k", cbr);
        row("quality as a real", PrefKey::CBRQuality, 2.5f, cbr);
        row("tonality limit as a word", PrefKey::TonalityLimit, "8.8717 kHz", cbr);
        row("deemphasis in upper case", PrefKey::Deemphasis, "N", cbr);
        row("short blocks and more", PrefKey::ShortBlocks, "--short --nores", cbr);
        row("channel mode as a word", PrefKey::ChannelMode, "joint", cbr);
        row("endless resampling", PrefKey::OutputSampleRate, std::numeric_limits<float>::infinity(), cbr);
        row("cutoff with a unit", PrefKey::UpperCutoff, "16 kHz", factoryTail,
            {{PrefKey::EnableFiltering, true}, {PrefKey::EnableLowpass, true}});
    }

    void valueOfTheWrongKind()
    {
        QFETCH(QString, key);
        QFETCH(Settings, settings);
        QFETCH(QStringList, globals);
        ArgumentSettings::setUpWithFactoryValues(settings);
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(
                QStringLiteral("^Error: corrupt preferences: \"%1\" holds [0-9]+ characters that are not ")
                    .arg(key)));
        QCOMPARE(prefs.makeGlobalSwitches({}, false), Arguments(globals));
        // Repaired: the next run is built without a word.
        QCOMPARE(prefs.makeGlobalSwitches({}, false), Arguments(globals));
    }

    void requiredSettingMissing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("missing");

        for (const QString &key : {PrefKey::CBRQuality, PrefKey::CBRBitRate, PrefKey::CBRATHType})
            QTest::addRow("CBR: %s", qPrintable(key)) << 1 << key;
        for (const QString &key : {PrefKey::ABRQuality, PrefKey::AverageBitRate, PrefKey::MinimumABRBitRate,
                                   PrefKey::MaximumABRBitRate, PrefKey::ABRATHType})
            QTest::addRow("ABR: %s", qPrintable(key)) << 2 << key;
        for (const QString &key :
             {PrefKey::VBRQuality, PrefKey::MinimumVBRBitRate, PrefKey::MaximumVBRBitRate})
            QTest::addRow("VBR: %s", qPrintable(key)) << 4 << key;
        QTest::newRow("no bit rate mode, no deemphasis") << 0 << PrefKey::Deemphasis;
    }

    void requiredSettingMissing()
    {
        QFETCH(int, mode);
        QFETCH(QString, missing);

        ArgumentSettings::setUpWithFactoryValues({{PrefKey::BitRateMode, mode}, {missing, QVariant()}});
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("Error: corrupt preferences: \"%1\" has no value").arg(missing)));
        QVERIFY(!prefs.makeGlobalSwitches({}, false).has_value());
    }

    void argumentList_data()
    {
        QTest::addColumn<bool>("haveTask");
        QTest::addColumn<QVariantMap>("task");
        QTest::addColumn<QStringList>("globals");
        QTest::addColumn<bool>("useTags");
        QTest::addColumn<Arguments>("expected");

        const QStringList run = {"-k", "-e", "n", "--ta", "run artist", "--tl", "run album"};
        QTest::newRow("no task") << false << QVariantMap() << run << false << Arguments();
        QTest::newRow("empty input") << true << QVariantMap{{kInputFileKey, ""}, {kOutputFileKey, output}}
                                     << run << false << Arguments();
        QTest::newRow("empty output")
            << true << QVariantMap{{kInputFileKey, input}, {kOutputFileKey, QString()}} << run << true
            << Arguments();

        const QVariantMap tagged = with(
            paths, {{kSongArtistKey, "file artist"}, {kSongGenreKey, "Rock"}, {kSongTitleKey, "file title"}});
        QTest::newRow("file tags replace and follow")
            << true << tagged << run << true
            << Arguments({"-k", "-e", "n", "--ta", "file artist", "--tl", "run album", "--tt", "file title",
                          "--tg", "Rock", input, output});
        QTest::newRow("file tags ignored without useTags")
            << true << tagged << run << false << Arguments(run + QStringList{input, output});

        // A value that reads like a tag switch is still a value: the file's title must not take the
        // place of whatever follows it.
        const QStringList trap = words("-k --ta --tt --tl album");
        QTest::newRow("value that reads like a switch")
            << true << with(paths, {{kSongTitleKey, "file title"}}) << trap << true
            << Arguments(trap + QStringList{"--tt", "file title", input, output});

        const QString odd = "-o; $(rm -rf /) `x` \"q\" 'a'\nnext";
        QTest::newRow("texts pass as they stand")
            << true << with(paths, {{kSongCommentKey, odd}}) << QStringList() << true
            << Arguments({"--tc", odd, input, output});
    }

    void argumentList()
    {
        QFETCH(bool, haveTask);
        QFETCH(QVariantMap, task);
        QFETCH(QStringList, globals);
        QFETCH(bool, useTags);
        QFETCH(Arguments, expected);

        const QStringList before = globals;
        QCOMPARE(prefs.makeArgumentList(haveTask ? &task : nullptr, &globals, useTags), expected);
        QCOMPARE(globals, before);
    }

  private:
    LamePrefs prefs;
};

QTEST_GUILESS_MAIN(TestArgumentBuilder)
#include "tst_argumentbuilder.moc"
