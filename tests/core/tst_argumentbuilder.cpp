// The encoder's argument list: the order of the switches, the forms of their values, the merging
// of a file's tags into the run's, and the lists that cannot be built.
#include "core/LamePrefs.h"
#include "support/TestSettings.h"

#include <QRegularExpression>
#include <QTemporaryDir>
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

// A row of the run's switches over the factory values (or `registered`) and the user's `settings`;
// with a task, tags are used and the task's list is built too. `warning` is the one log line the
// row expects.
void row(const char *name, const Settings &settings, const Arguments &globals,
         const QVariantMap &options = {}, const QString &warning = {}, const QVariantMap &task = {},
         const QStringList &arguments = {}, const Settings &registered = LamePrefs::factoryValues())
{
    QTest::newRow(name) << registered << settings << options << globals << warning << task << arguments;
}

QString wrongKind(const QString &key)
{
    return QStringLiteral("^Error: corrupt preferences: \"%1\" holds [0-9]+ characters that are not ")
        .arg(key);
}
} // namespace

class TestArgumentBuilder : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    // A warning the test does not expect is a fault: the only line allowed is the one announced.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void switches_data()
    {
        QTest::addColumn<Settings>("registered");
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<Arguments>("globals");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QVariantMap>("task");
        QTest::addColumn<QStringList>("arguments");

        using namespace PrefKey;
        // The worked examples.
        row("CBR at factory values", {}, cbr, {}, {}, paths, cbr + QStringList{input, output});
        const Settings vbrWithLowpass = {
            {BitRateMode, 3},   {EnableFiltering, true},     {EnableLowpass, true},   {UpperCutoff, 16.0f},
            {ChannelMode, "j"}, {ManualLowpassWidth, false}, {EnableHighpass, false}, {ReduceATHBy, 3},
            {Checksum, true},   {OutputSampleRate, 44.1f},   {Masking, "--athshort"}};
        const QStringList vbr = words("--lowpass 16 --resample 44.1 -m j --athshort --short --athlower 3 "
                                      "--cwlimit 8.8717 --vbr-new -V 4 -b 32 -B 320 -e n -p");
        row("new VBR with lowpass and resampling", vbrWithLowpass, vbr, {}, {}, paths,
            vbr + QStringList{input, output});
        const Settings abrRaw = {{TonalityLimit, QVariant()}, {Deemphasis, "5"},
                                 {TemporalMasking, false},    {BitRateMode, 2},
                                 {MarkAsOriginal, false},     {Mixdown, true}};
        const QVariantMap rawOptions = {{kRawPCMInputKey, true},    {kSwapEndianKey, true},
                                        {kSampleRateKey, "44.1"},   {kBitDepthKey, "16"},
                                        {kSongArtistKey, "artist"}, {kSongAlbumKey, "album"}};
        const QStringList abr =
            words("-x -r -s 44.1 --bitwidth 16 -k -a --short --notemp -q 2 --abr 128 -b 32 "
                  "-B 320 --athtype 2 -e 5 -o --ta artist --tl album");
        QStringList merged = abr;
        merged[merged.indexOf("artist")] = "other artist";
        merged += words("--tt title --tn 01") + QStringList{input, output};
        row("raw ABR with tags", abrRaw, abr, rawOptions, {},
            with(paths,
                 {{kSongTitleKey, "title"}, {kSongArtistKey, "other artist"}, {kSongTrackNoKey, "01"}}),
            merged);

        row("registration layer of mode 0 and deemphasis only", {}, words("-k --notemp -e n -o"), {}, {}, {},
            {}, {{BitRateMode, 0}, {Deemphasis, "n"}});
        row("byte swap without raw input", {}, QStringList{"-x"} + cbr,
            {{kSwapEndianKey, true}, {kRawPCMInputKey, false}});
        row("mixdown without raw input", {{Mixdown, true}}, cbr);
        const Settings filters = {
            {ManualHighpassWidth, true}, {EnableLowpass, true},   {ManualLowpassWidth, true},
            {LowpassWidth, 0.75f},       {EnableFiltering, true}, {UpperCutoff, 17.5f},
            {EnableHighpass, true},      {LowerCutoff, 0.1f},     {HighpassWidth, 0.05f}};
        row("every filter", filters,
            words("--lowpass 17.5 --lowpass-width 0.75 --highpass 0.1 --highpass-width 0.05") + factoryTail);
        row("filtering off suppresses every filter", with(filters, {{EnableFiltering, false}}), cbr);
        row("lowpass at the threshold adds neither switch",
            with(filters, {{UpperCutoff, 0.0001f}, {EnableHighpass, false}}), factoryTail);
        row("ATH lowered by -2", {{ReduceATHBy, -2}}, cbr);
        row("ATH lowered by 1", {{ReduceATHBy, 1}},
            words("-k --short --athlower 1 --cwlimit 8.8717 -q 2 -b 128 --athtype 2 -e n"));
        row("old VBR",
            {{BitRateMode, 4}, {VBREnforceMinimum, true}, {VBRXingTag, false}, {TonalityLimit, QVariant()}},
            words("-k --short --vbr-old -V 4 -b 32 -B 320 -F -t -e n"));
        row("run tags ignored without useTags", {}, cbr, {{kSongTitleKey, "t"}, {kSongGenreKey, "Jazz"}});

        // A stored value that is not of its setting's kind never reaches the encoder: the factory
        // value (or none) takes its place from then on, and one line of the log says so.
        const auto wrong = [](const char *name, const QString &key, const QVariant &value,
                              const QStringList &globals, const Settings &more = {}) {
            row(name, with(more, {{key, value}}), globals, {}, wrongKind(key));
        };
        wrong("10 MB bit rate", CBRBitRate, QString(10 * 1024 * 1024, u'9'), cbr);
        wrong("bit rate with a unit", CBRBitRate, "128k", cbr);
        wrong("quality as a real", CBRQuality, 2.5f, cbr);
        wrong("tonality limit as a word", TonalityLimit, "8.8717 kHz", cbr);
        wrong("deemphasis in upper case", Deemphasis, "N", cbr);
        wrong("short blocks and more", ShortBlocks, "--short --nores", cbr);
        wrong("channel mode as a word", ChannelMode, "joint", cbr);
        wrong("endless resampling", OutputSampleRate, std::numeric_limits<float>::infinity(), cbr);
        wrong("cutoff with a unit", UpperCutoff, "16 kHz", factoryTail,
              {{EnableFiltering, true}, {EnableLowpass, true}});

        // A setting the encoder must be given, missing from both layers: no list, and the log
        // names the setting.
        const auto missing = [](int mode, const QString &key) {
            row(qPrintable(QStringLiteral("mode %1 without %2").arg(mode).arg(key)),
                {{BitRateMode, mode}, {key, QVariant()}}, std::nullopt, {},
                QRegularExpression::escape(
                    QStringLiteral("Error: corrupt preferences: \"%1\" has no value").arg(key)));
        };
        for (const QString &key : {CBRQuality, CBRBitRate, CBRATHType})
            missing(1, key);
        for (const QString &key :
             {ABRQuality, AverageBitRate, MinimumABRBitRate, MaximumABRBitRate, ABRATHType})
            missing(2, key);
        for (const QString &key : {VBRQuality, MinimumVBRBitRate, MaximumVBRBitRate})
            missing(4, key);
        missing(0, Deemphasis);
    }

    void switches()
    {
        QFETCH(Settings, registered);
        QFETCH(Settings, settings);
        QFETCH(QVariantMap, options);
        QFETCH(Arguments, globals);
        QFETCH(QString, warning);
        QFETCH(QVariantMap, task);
        QFETCH(QStringList, arguments);

        const auto store = TestSettings::makeStore(dir.filePath("settings.conf"), settings, registered);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        const auto run = LamePrefs::makeGlobalSwitches(*store, options, !task.isEmpty());
        QCOMPARE(run, globals);
        // A repaired setting builds the next run the same, without a word.
        if (!warning.isEmpty() && globals)
            QCOMPARE(LamePrefs::makeGlobalSwitches(*store, options, false), globals);
        if (!task.isEmpty())
            QCOMPARE(LamePrefs::makeArgumentList(&task, &*run, true), Arguments(arguments));
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
        QCOMPARE(LamePrefs::makeArgumentList(haveTask ? &task : nullptr, &globals, useTags), expected);
        QCOMPARE(globals, before);
    }
};

QTEST_GUILESS_MAIN(TestArgumentBuilder)
#include "tst_argumentbuilder.moc"
