// The window-free core: the stored settings, the names a pattern gives, the encoder's argument lists
// (run through the launcher and the real lame 3.100), and the run: the encoder's text as it is read,
// its transitions, inputs it refuses, the loudness tags it writes, the hand-over to Orvik's library.
#include "support/AudioFiles.h"
#include "support/SmallVolume.h"
#include "support/TestSettings.h"
#include "support/TunesSupport.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/LameTunes.h"
#include "core/LoudnessTagger.h"
#include "core/OutputNamePattern.h"
#include "core/OutputNames.h"
#include "core/SettingsStore.h"
#include "platform/LoudnessMeter.h"
#include "platform/MusicLibrary.h"
#include "platform/Resources.h"

#include <QtTest>
#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

using Problem = OutputNamePattern::Problem;
using Arguments = std::optional<QStringList>;
Q_DECLARE_METATYPE(Arguments)

namespace {
using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

struct Chunk
{
    Stream stream;
    QByteArray bytes;
};

// Recorded lame output (tests/data/transcripts, by scripts/record-transcript.py): each line "out " or "err "
// and one chunk in base64, in the order the chunks reached the application through QProcess; lines starting
// with "#" are notes.
QList<Chunk> load(const QString &path)
{
    QFile file(path);
    QList<Chunk> chunks;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.startsWith("out ") || line.startsWith("err "))
                chunks << Chunk{Stream(line.startsWith("err")),
                                QByteArray::fromBase64(line.mid(4).trimmed())};
    return chunks;
}

// The same bytes in pieces of `size` bytes that cross the recorded chunks but never mix the streams.
QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size)
{
    QList<Chunk> pieces;
    for (qsizetype i = 0; i < chunks.size();) {
        Chunk run = chunks.at(i++);
        while (i < chunks.size() && chunks.at(i).stream == run.stream)
            run.bytes += chunks.at(i++).bytes;
        for (qsizetype start = 0; start < run.bytes.size(); start += size)
            pieces << Chunk{run.stream, run.bytes.mid(start, size)};
    }
    return pieces;
}

// Updates in a few characters each: the field's letter, then every value that is set.
QString describe(const QList<Update> &updates)
{
    QStringList texts;
    for (const Update &u : updates) {
        QString text = QLatin1Char("EMLHP"[int(u.field)]) + u.version + (u.filterDisabled ? "off" : "");
        if (u.bandLow || u.bandHigh)
            text += QStringLiteral("%1-%2").arg(u.bandLow).arg(u.bandHigh);
        if (u.framesDone || u.framesTotal || u.percent)
            text += QStringLiteral("%1/%2=%3%").arg(u.framesDone).arg(u.framesTotal).arg(u.percent);
        texts << text + (u.timeLeft.isEmpty() ? "" : " " + u.timeLeft);
    }
    return texts.join("; ");
}

QString progressLine(const char *counts)
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 ", counts);
}

// The parser's view of the chunks: the last update per field, every update, each stream's text.
QStringList replay(const QList<Chunk> &chunks)
{
    EncoderOutputParser parser;
    QList<Update> updates;
    QMap<EncoderOutputParser::Field, Update> last;
    QString logged[2];
    for (const auto &[stream, bytes] : chunks) {
        const QString text = parser.decode(stream, bytes);
        logged[int(stream)] += text;
        for (const Update &update : parser.consume(text))
            updates << update, last.insert(update.field, update);
    }
    return {describe(last.values()), describe(updates), logged[0] + parser.finishStream(Stream::Output),
            logged[1] + parser.finishStream(Stream::Error)};
}

// What the run tells of each encoder, in order: its start, each line's update after the line, its end.
struct Reports
{
    QMap<quint32, QStringList> told;
    QMap<quint32, QString> printed;
    QMap<quint32, QList<qint64>> frames;

    Reports(EncoderRun &run, const QList<QVariantMap> &tasks, bool raw,
            const std::function<void(quint32)> &atFirstRecord = {})
    {
        QObject::connect(
            &run, &EncoderRun::encoderStarted, &run,
            [=, this, &tasks](quint32 index, const QString &program, const QStringList &arguments) {
                told[index] << (program.endsWith(raw ? "/lame_raw" : "/lame") &&
                                        arguments.last() == tasks[index][kOutputFileKey]
                                    ? "started"
                                    : "another command");
            });
        QObject::connect(&run, &EncoderRun::outputRead, &run, [this](quint32 index, const QString &text) {
            printed[index] += text;
            if (told[index].endsWith("ended"))
                told[index] << "text after the end";
        });
        QObject::connect(
            &run, &EncoderRun::fileUpdated, &run,
            [=, this](quint32 index, const EncoderOutputParser::Update &update) {
                const QString said[] = {"version", "model", "lowpass", "highpass", "progress"};
                const bool progress = update.field == EncoderOutputParser::Field::Progress;
                if (!printed[index].contains(
                        progress ? QString("%1/%2").arg(update.framesDone, 6).arg(update.framesTotal)
                                 : update.version + (update.bandLow ? QString::number(update.bandLow) : "")))
                    told[index] << "before its text";
                if (!progress || !told[index].endsWith("progress"))
                    told[index] << said[int(update.field)];
                if (progress && (frames[index] << update.framesDone).size() == 1 && atFirstRecord)
                    atFirstRecord(index);
            });
        QObject::connect(&run, &EncoderRun::fileEnded, &run,
                         [this](quint32 index) { told[index] << "ended"; });
    }

    // Each encoder's reports in order; those not `cut` whole: version, low-pass band, 20 records.
    void verify(bool raw, const std::function<bool(quint32)> &cut) const
    {
        static const QRegularExpression order("^started( version)?( lowpass)?( progress)?( ended)?$");
        for (auto [index, reports] : told.asKeyValueRange()) {
            const QString said = reports.join(' ');
            const QList<qint64> done = frames[index];
            QVERIFY(std::is_sorted(done.cbegin(), done.cend(), std::less_equal<>()));
            QVERIFY2(cut(index) ? order.match(said).hasMatch()
                     : raw      ? said == "started ended"
                                : said == "started version lowpass progress ended" && done.size() == 20 &&
                                 done.last() == 1000,
                     qPrintable(said));
        }
    }
};
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

const auto words = [](const char *text) { return QString::fromUtf8(text).split(u' '); };
const QStringList factoryTail = words("--short --cwlimit 8.8717 -q 2 -b 128 --athtype 2 -e n");
const QStringList cbr = QStringList{"-k"} + factoryTail;

const auto with = [](QVariantMap map, const QVariantMap &more) { return map.insert(more), map; };

// A switches row: a task also uses tags and builds its list; `warning` is the one log line expected.
void row(const char *name, const QVariantMap &settings, const Arguments &globals,
         const QVariantMap &options = {}, const QString &warning = {}, const QVariantMap &task = {},
         const QStringList &arguments = {})
{
    QTest::newRow(name) << settings << options << globals << warning << task << arguments;
}
} // namespace

// The run's tests play the window side; the stand-in's inputs set each file's length and end.
class tst_EncoderRun : public QObject
{
    Q_OBJECT

    QTemporaryDir encoders;
    QTemporaryDir inputs;
    LamePrefs preferences;
    const QString realEncoder = Resources::pathForResource("lame");
    const QString realRawEncoder = Resources::pathForResource("lame_raw");
    // Names a shell would take apart.
    const QString wav = inputs.filePath("-it's a \"$HOME\" `id`; (x)\nline.wav");
    const QString raw = inputs.filePath("-raw $(id) `x`.raw");
    const QString mp3 = inputs.filePath("-out $(echo no) 'q' ;|*.mp3");
    double tone = 0;

    // The run finds the stand-in encoder first, or the real one.
    bool useRealEncoder(bool real)
    {
        QFile::remove(encoders.filePath("lame"));
        return QFile::link(real ? realEncoder : qEnvironmentVariable("ORVIK_HELPERS_DIR") + "/fake_lame",
                           encoders.filePath("lame"));
    }

  private slots:
    void initTestCase()
    {
        QVERIFY2(AudioFiles::haveProgram("lame") && AudioFiles::haveProgram("sox"), "need lame, sox");
        // 19 kHz, which lame 3.100 low-passes away at about 17 kHz unless -k keeps every frequency.
        QVERIFY(AudioFiles::makeSine(wav, 1.0, false, 19000) && AudioFiles::makeSine(raw, 1.0, true));
        QVERIFY((tone = AudioFiles::amplitudeAbove(wav, 18000)) > 0.1);
        // Headerless input is encoded by a launcher that cannot be started.
        QFile broken(encoders.filePath("lame_raw"));
        QVERIFY(useRealEncoder(false) && broken.open(QIODevice::WriteOnly) &&
                broken.write("not a program") > 0);
        Resources::prependSearchFolder(encoders.path());
        OpenTunes();
    }

    // A warning the test does not expect is a fault: the only line allowed is the one announced.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // Files as "name:seconds[:exit status[:seconds to end when told to]]" for the stand-in; a name
    // alone is missing, "!name" has an output already (its conflict skipped unless the action
    // answers it). Outputs are named by the first letter; with several encoders the library lists them.
    void transitions_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<quint32>("encoders");
        // "stop|skip confirmed|cancelled [after an end] while <files writing first>", "skip confirmed at
        // the first record", "replace" once the others have ended, "raw input" (cannot start) or nothing.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("written"); // the MP3s left, in the order the library took them
        QTest::addColumn<quint32>("failed");
        QTest::addColumn<bool>("stopped"); // else completed
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QStringList>("ended"); // fileEnded, in order; empty: not checked
        const auto row = [](const char *name, const char *files, quint32 encoders, const char *action,
                            const char *written, quint32 failed = 0, bool stopped = false,
                            const char *logged = "", const char *ended = "") {
            const auto list = [](const char *text) { return QString(text).split(u' ', Qt::SkipEmptyParts); };
            QTest::newRow(name) << list(files) << encoders << QString(action) << list(written) << failed
                                << stopped << QString(logged) << list(ended);
        };
        row("failure among successes", "missing lost bad:0.1:1 good:0.1", 1, "", "g", 3, false,
            "Cannot encode \"bad.wav\": the encoder ended with status 1.");
        // The inputs read on a thread of the run's own, as slow ones are.
        row("slow inputs: failure among successes", "missing bad:0.1:1 good:0.1", 1, "", "g", 2, false,
            "Cannot encode \"missing.wav\": it does not exist.");
        row("encoder that cannot start", "a:1 b:0.1", 1, "raw input", "", 2, false,
            "Cannot encode \"a.wav\": the encoder could not be started");
        // Until it has ended, an encoder may still write its output, even create it anew.
        row("stop confirmed: partial removed once the encoder has ended", "a:5:0:0.5 b:0.1", 1,
            "stop confirmed while 0", "", 0, true);
        // Told from the run's own report of the encoder's text: what follows in that text never comes.
        row("skip confirmed at the first record", "a:5", 1, "skip confirmed at the first record", "");
        row("skip cancelled", "a:1 b:0.1", 1, "skip cancelled while 0", "a b");
        row("skip confirmed: partial removed, the next goes on", "a:5 b:0.1", 1, "skip confirmed while 0",
            "b");
        // The first file outlasts the question's coming on a loaded machine; the next waits for the answer.
        row("ended under the question, cancelled: deferred launch", "a:1 b:0.1", 1,
            "skip cancelled after an end while 0", "a b");
        row("ended under the question, skip confirmed: nothing terminated", "a:1 b:0.1", 1,
            "skip confirmed after an end while 0", "a b");
        row("ended under the question, stop confirmed: the prepared file dropped", "a:1 b:0.1", 1,
            "stop confirmed after an end while 0", "a", 0, true);
        row("last file ended under the question, cancelled: completion", "a:1", 1,
            "stop cancelled after an end while 0", "a");
        row("last file ended under the question, stop confirmed: no completion", "a:1", 1,
            "stop confirmed after an end while 0", "a", 0, true);
        // The lengths differ by more than a loaded machine can shift the encoders' starts.
        row("several: files end in any order", "a:3 b:0.2 c:1.5", 3, "", "a b c", 0, false, "", "b c a");
        row("several: a failure among successes", "a:2 b:0.2:1 c:0.2", 2, "", "a c", 1, false, "", "b c a");
        row("several: conflict up while the others end, listed first all the same", "!a:0.2 b:0.2 c:0.2", 2,
            "replace", "a b c", 0, false, "", "b c a");
        row("several: one output name, the second waits for the first, then is asked", "a:0.6 a2:0.1", 2, "",
            "a", 0, false, "", "a");
        row("several: stop, partials removed, the finished one kept", "a:60 b:0.1 c:60", 3,
            "stop confirmed while 0 2", "b", 0, true, "", "b");
        row("several: skip one while another ends under the question", "a:60 b:1.5 c:1", 2,
            "skip confirmed after an end while 0 1", "b c", 0, false, "", "b a c");
    }

    void transitions()
    {
        QFETCH(QStringList, files);
        QFETCH(quint32, encoders);
        QFETCH(QString, action);
        QFETCH(QStringList, written);
        QFETCH(quint32, failed);
        QFETCH(bool, stopped);
        QFETCH(QString, logged);
        QFETCH(QStringList, ended);
        QTemporaryDir music;
        QList<QVariantMap> tasks;
        QStringList names;
        for (QString file : files) {
            const bool exists = file.startsWith('!');
            const QStringList parts = file.remove('!').split(':');
            const QString input = inputs.filePath((names << parts[0]).last() + ".wav");
            if (parts.size() > 1)
                AudioFiles::writeFakeInput(input, parts[1].toDouble(), parts.value(2).toInt(),
                                           parts.value(3).toDouble());
            tasks << QVariantMap{{kInputFileKey, input},
                                 {kOutputFileKey, music.filePath(file.left(1) + ".mp3")}};
            if (exists)
                AudioFiles::writeFakeInput(tasks.last()[kOutputFileKey].toString(), 0);
        }
        // The real library lists the hand-overs in a playlist file of its own.
        const QDir playlists(MusicLibrary::playlistsFolder());
        QDir(playlists).removeRecursively();
        const bool raw = action == "raw input", confirmed = action.contains("confirmed");
        EncoderRun run;
        QStringList endings;
        connect(&run, &EncoderRun::fileEnded, this, [&](quint32 index) { endings << names[index]; });
        connect(&run, &EncoderRun::nameConflict, this, [&](quint32 index) {
            if (action != "replace")
                QMetaObject::invokeMethod(
                    &run, [&run, index] { run.skipExisting(index); }, Qt::QueuedConnection);
        });
        const Reports reports(run, tasks, raw, [&](quint32 index) {
            if (action.endsWith("first record"))
                run.questionStarted(), run.skipAnswered(index, true);
        });
        QSignalSpy launched(&run, &EncoderRun::encoderStarted);
        QSignalSpy completions(&run, &EncoderRun::completed);
        QSignalSpy stops(&run, &EncoderRun::stopped);
        QSignalSpy log(&run, &EncoderRun::logged);
        run.start({.tasks = &tasks,
                   .preferences = &preferences,
                   .options = {{kRawPCMInputKey, raw}, {kSampleRateKey, "44.1"}},
                   .outputFolder = music.path(),
                   .useLibrary = encoders > 1,
                   .makePlaylist = encoders > 1,
                   .asksAboutExistingFiles = true,
                   .maxEncoders = encoders,
                   .slowInputs = QString(QTest::currentDataTag()).startsWith("slow")});
        // A file failing at once starts the next from the event loop, not inside its failure (the stack).
        QVERIFY(run.currentIndex() <= encoders);
        if (action == "replace") {
            // The others go on and end while the first file's question is up.
            QVERIFY(QTest::qWaitFor([&] { return endings.size() == 2; }, 10000));
            QCOMPARE(run.fileState(0), EncoderRun::FileState::Waiting);
            QCOMPARE(run.count(EncoderRun::FileState::Done), 2u);
            QVERIFY(qAbs(run.batchFraction() - 2.0 / 3) < 0.01); // three files of one length
            run.replaceExisting(0);
        } else if (action.contains(" while ")) {
            // The question comes once these files' encoders write and the others begun have ended.
            QList<quint32> writing;
            for (const QString &index : action.section(" while ", 1).split(' '))
                writing << index.toUInt();
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return run.runningIndexes() == writing && endings.size() == encoders - writing.size() &&
                           std::all_of(writing.cbegin(), writing.cend(), [&](quint32 i) {
                               return QFileInfo(tasks[i][kOutputFileKey].toString()).size() > 0;
                           });
                },
                10000));
            run.questionStarted();
            if (action.contains("after an end")) {
                // A file ends under the question; the next one is prepared, not launched.
                QVERIFY(
                    QTest::qWaitFor([&] { return endings.size() == encoders - writing.size() + 1; }, 10000));
                QCoreApplication::processEvents();
                QCOMPARE(launched.size(), qsizetype(encoders));
                QCOMPARE(completions.size(), 0);
                QVERIFY(run.fileState(encoders) == EncoderRun::FileState::Waiting &&
                        !run.isEncoderRunning(encoders));
            }
            action.startsWith("stop") ? run.stopAnswered(confirmed) : run.skipAnswered(0, confirmed);
        }
        QVERIFY(QTest::qWaitFor([&] { return completions.size() + stops.size() > 0; }, 15000));
        // A process the run ended may outlive it for a moment, in the application's care.
        QTRY_VERIFY(
            std::ranges::none_of(run.findChildren<QProcess *>() + qApp->findChildren<QProcess *>(),
                                 [](auto *process) { return process->state() != QProcess::NotRunning; }));
        QCOMPARE(completions.size(), stopped ? 0 : 1);
        QCOMPARE(stops.size(), stopped ? 1 : 0);
        QCOMPARE(run.failedCount(), failed);
        QCOMPARE(run.count(EncoderRun::FileState::Failed), failed);
        if (!ended.isEmpty())
            QCOMPARE(endings, ended);
        QCOMPARE(
            QDir(music.path()).entryList({"*.mp3"}, QDir::Files, QDir::Name).replaceInStrings(".mp3", ""),
            written);
        QStringList added;
        for (const QFileInfo &playlist : playlists.entryInfoList(QDir::Files))
            for (const QByteArray &line : readWholeFile(playlist.filePath()).split('\n'))
                if (!line.isEmpty() && !line.startsWith('#'))
                    added << QFileInfo(QString::fromUtf8(line)).baseName();
        QCOMPARE(added, encoders > 1 ? written : QStringList());
        QVERIFY(logged.isEmpty() || std::ranges::any_of(log, [&](const auto &line) {
                    return line[0].toString().contains(logged);
                }));
        // Those stopped or skipped while they ran are cut short.
        reports.verify(raw, [&](quint32 i) { return confirmed && !written.contains(names[i].left(1)); });
    }

    // The encoder's text: line forms, line ends, UTF-8 decoding. Each chunk starts with its stream,
    // o(utput) or e(rror); a broken sequence gives U+FFFD per byte.
    void readsLines_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("lines"); // then the incomplete line and what the streams held back
        QTest::addColumn<QString>("updates");
        const auto row = [](const char *name, const QByteArrayList &chunks, const QStringList &lines) {
            QTest::newRow(name) << chunks << lines << QString();
        };
        const auto line = [](const char *name, const QString &line, const char *updates) {
            QTest::newRow(name) << QByteArrayList{'o' + line.toUtf8() + '\n'} << QStringList{line, ""}
                                << QString(updates);
        };
        row("every terminator", {"ov\r\nw\rx\xE2\x80\xA8y\xE2\x80\xA9z\n"}, {"v", "w", "x", "y", "z", ""});
        row("CR LF split", {"oa\r", "o\nb\n"}, {"a", "", "b", ""});
        row("four-byte character split", {"e\xF0\x9F", "e\x98\x80\n"}, {QStringLiteral("\U0001F600"), ""});
        row("joined across streams", {"oa\xE2\x82", "eb\n", "o\xAC\n"}, {"ab", "€", ""});
        row("unfinished at the end", {"oa\xC3"}, {QStringLiteral("a\uFFFD")});
        line("older banner", "LAME version 3.93 MMX  (http://www.mp3dev.org/)", "E3.93");
        line("LAME version and spaces", "LAME version   ", "");
        line("model version, two periods", "GPSYCHO: psycho-acoustic model version 1.0.. ", "M1.0.");
        line("model without version", "GPSYCHO: psycho-acoustic model", "");
        line("old lowpass notice", "Must specify lowpass with --lowpass freq", "Loff");
        line("band without second number", "polyphase highpass band: 5 - Hz", "");
        line("band first", "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled.", "L1-2");
        line("29 of 100 is 29%", progressLine("    29/100"), "P29/100=29% 0:03");
        line("more done than total", progressLine("   700/600"), "P600/600=100% 0:03");
        line("counts beyond 64 bits", QString(30, u'9'), "P9223372036854775807/9223372036854775807=100%");
        line("total of zero", progressLine("     0/0"), "");
        line("shorter than column 67", "   150/600    (25%)|", "P150/600=25%");
        line("header", "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA ", "");
    }
    void readsLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, lines);
        QFETCH(QString, updates);
        EncoderOutputParser parser, classifier;
        QStringList taken;
        QList<Update> classified;
        for (const QByteArray &chunk : chunks) {
            const QString text = parser.decode(Stream(chunk.startsWith('e')), chunk.mid(1));
            taken << parser.takeLines(text);
            classified << classifier.consume(text);
        }
        taken << parser.pendingText() + parser.finishStream(Stream::Output) +
                     parser.finishStream(Stream::Error);
        QCOMPARE(taken, lines);
        QCOMPARE(describe(classified), updates);
    }

    // Recorded lame 3.100 text, replayed in every chunking.
    void replaysTranscripts_data()
    {
        QTest::addColumn<QString>("shown"); // the last update of each field, in the order of the fields
        const QString cbr = "E3.100; L16538-17071; P116/116=100% 0:00";
        for (const char *name : {"cbr_factory", "raw_input", "utf8_file_name", "latin1_file_name"})
            QTest::newRow(name) << cbr;
        for (const char *name : {"vbr", "abr"})
            QTest::newRow(name) << QString("E3.100; L17249-17782; P116/116=100% 0:00");
        QTest::newRow("highpass_lowpass") << QString("E3.100; L15097-15484; H516-903; P85/85=100% 0:00");
        QTest::newRow("highpass_disabled") << QString("E3.100; L16538-17071; Hoff; P116/116=100% 0:00");
        QTest::newRow("lowpass_disabled") << QString("E3.100; Loff; P116/116=100% 0:00");
        QTest::newRow("long_file") << QString("E3.100; L16538-17071; P10337/10337=100% 0:00");
        QTest::newRow("missing_input") << QString();
        QTest::newRow("unwritable_output") << QString();
    }
    void replaysTranscripts()
    {
        QFETCH(QString, shown);
        const auto recorded =
            load(QStringLiteral(ORVIK_TEST_DATA "/transcripts/%1.txt").arg(QTest::currentDataTag()));
        QVERIFY(!recorded.isEmpty());
        const QStringList asRecorded = replay(recorded);
        QCOMPARE(asRecorded.at(0), shown);
        // The log holds every character of both streams, whatever their encoding.
        QByteArray bytes[2];
        for (const auto &[stream, chunk] : recorded)
            bytes[int(stream)] += chunk;
        QCOMPARE(asRecorded.mid(2), (QStringList{QString::fromUtf8(bytes[0]), QString::fromUtf8(bytes[1])}));
        // However the bytes are cut, the same lines give the same updates in the same order.
        for (qsizetype size = 1; size <= bytes[0].size() + bytes[1].size(); ++size)
            QVERIFY2(replay(rechunk(recorded, size)) == asRecorded,
                     qPrintable(QStringLiteral("cut into pieces of %1 bytes").arg(size)));
    }

    // The track lands tagged in the playlist; only an empty playlist is removed; nothing is leaked.
    void handOver()
    {
        QDir(MusicLibrary::playlistsFolder()).removeRecursively();
        const auto disposed =
            qScopeGuard([live = AELiveDescriptorCount()] { QCOMPARE(AELiveDescriptorCount(), live); });
        const QString path = makeTestMp3(inputs.path(), "track one.mp3");
        ScopedDesc playlist, track;
        QCOMPARE(CreatePlaylist("Artist - Album", &playlist.desc), noErr);
        QCOMPARE(AddFileToPlaylist(path, &playlist.desc, &track.desc), noErr);
        QCOMPARE(SetTags(&track.desc, "T\u00eftle", "Artist", {}, "2004", " 3", 9.0, {}, {}), noErr);
        QCOMPARE(id3Frame(path, "TIT2") + '|' + id3Frame(path, "TDRC") + '|' + id3Frame(path, "TRCK"),
                 QString("T\u00eftle|2004|3/9"));
        const QString list = MusicLibrary::playlistPath("Artist - Album");
        QCOMPARE(readWholeFile(list),
                 "#EXTM3U\n#EXTINF:0,Artist - T\xc3\xaftle\n" + QFile::encodeName(path) + '\n');
        QCOMPARE(DeletePlaylist(&playlist.desc), errAEEventFailed);
        QVERIFY(QFileInfo::exists(list));
        // A null track would name the library itself and set its properties instead.
        const ScopedDesc none;
        QCOMPARE(SetTags(&none.desc, QStringLiteral("T"), {}, {}, {}, {}, {}, {}, {}), errAENoSuchObject);
        // A file that cannot be added leaves the caller's result as it was: a null descriptor stays null.
        const QString notMp3 = makeTestWav(inputs.path(), "wave.mp3");
        for (const auto &[file, status] : {std::pair{QString("/nonexistent/a.mp3"), fnfErr},
                                           {QString(""), paramErr},
                                           // The part before the NUL exists; the path as given does not.
                                           {QString("/tmp") + QChar(u'\0') + "x.mp3", paramErr},
                                           {notMp3, ioErr}}) {
            AEDesc result{fourCharCode("mark"), nullptr};
            QCOMPARE(int(AddFileToPlaylist(file, nullptr, &result)), int(status));
            QVERIFY(result.descriptorType == fourCharCode("mark") && !result.dataHandle);
        }
        const int most = std::numeric_limits<int>::max();
        QCOMPARE(QList<int>({TunesIntValue(-12.9), TunesIntValue(std::numeric_limits<double>::quiet_NaN()),
                             TunesIntValue(qlonglong(1) << 40), TunesIntValue(~qulonglong(0))}),
                 QList<int>({-12, 0, most, most}));
    }

    // Inputs the real encoder cannot take whole, and a full disk: each fails, is logged, leaves no MP3.
    void badInputFails_data()
    {
        QTest::addColumn<QString>("reason"); // the row's name says what stands at the input's path
        QTest::newRow("empty.wav") << "empty file";
        QTest::newRow("no samples.wav") << "empty file";
        QTest::newRow("folder.wav") << "is a folder";
        QTest::newRow("fifo.wav") << "not a regular file";
        QTest::newRow("truncated.wav") << "damaged or cut short: its header promises 3.00";
        QTest::newRow("truncated.flac") << "damaged or cut short: its header promises 3.00";
        QTest::newRow("wrong-magic.flac") << "it is not a FLAC file";
        QTest::newRow("six-channel.opus") << "it has 6 channels";
        QTest::newRow("cut-between-pages.ogg") << "damaged or cut short: its end is missing";
        QTest::newRow("cut-inside-a-page.ogg") << "damaged or cut short: its end is missing";
        // lame says nothing when the disk fills.
        QTest::newRow("full destination.wav") << "the encoder ended with status 1: the destination is full.";
    }
    void badInputFails()
    {
        QFETCH(QString, reason);
        const QString name = QTest::currentDataTag(), path = inputs.filePath(name);
        QTemporaryDir music;
        std::optional<SmallVolume> volume;
        QFile file(path);
        if (name.startsWith("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (name.startsWith("folder"))
            QVERIFY(QDir().mkdir(path));
        else if (name.startsWith("no samples")) // a header whose data chunk holds nothing
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(QByteArray::fromHex("524946462400000057415645666d74201000000001000200"
                                                   "44ac000010b10200040010006461746100000000")) == 44);
        else if (name.startsWith("empty"))
            QVERIFY(file.open(QIODevice::WriteOnly));
        else {
            QVERIFY(AudioFiles::makeSound(path, name.startsWith("full") ? 5.0 : 3.0,
                                          name.startsWith("six") ? 6 : 2));
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray data = file.readAll();
            const qsizetype cut =
                name.contains("pages") ? data.indexOf("OggS", data.size() / 2) : data.size() / 2;
            if (name.startsWith("truncated") || name.startsWith("cut"))
                QVERIFY(file.resize(cut));
            if (name.startsWith("wrong-magic"))
                QVERIFY(file.seek(0) && file.write("fLaX") == 4);
        }
        file.close();
        if (name.startsWith("full") && !volume.emplace(music.path(), 16).isMounted())
            QSKIP(qPrintable(volume->reason()));
        QVERIFY(useRealEncoder(true));
        const auto fake = qScopeGuard([this] { useRealEncoder(false); });
        QList<QVariantMap> tasks{{{kInputFileKey, path}, {kOutputFileKey, music.filePath("out.mp3")}}};
        EncoderRun run;
        QSignalSpy completions(&run, &EncoderRun::completed);
        QStringList log;
        connect(&run, &EncoderRun::logged, this, [&](const QString &line) { log << line; });
        run.start(
            {.tasks = &tasks, .preferences = &preferences, .options = {}, .outputFolder = music.path()});
        QVERIFY(QTest::qWaitFor([&] { return completions.size() == 1; }, 120000));
        QCOMPARE(run.failedCount(), 1u);
        QVERIFY2(log.join('\n').contains(reason), qPrintable(log.join('\n')));
        QCOMPARE(QDir(music.path()).entryList(QDir::Files), QStringList());
    }

    // Loudness tags of a run of the real encoder: 1 kHz sines at known levels in every channel (A dBFS
    // is A LUFS in both channels of a stereo file; a mono file sounds from both speakers), so every gain
    // is known, an album's is the power mean of its files', and the peaks are what sox finds.
    void loudness_data()
    {
        // name:level:album[:channels:rate]; "bad" is no audio; 15 Hz the encoder takes, the meter not
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
    void loudness()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, on);
        QFETCH(bool, library);
        QFETCH(bool, oneAlbum);
        QFETCH(QString, existing);
        QFETCH(QStringList, logged);
        QFETCH(quint32, lost);
        const QDir folder(inputs.filePath(QTest::currentDataTag()));
        QVERIFY(useRealEncoder(true) && folder.mkpath("."));
        // Gains are written with a point whatever the locale.
        const auto restore =
            qScopeGuard([this, old = QLocale()] { QLocale::setDefault(old), useRealEncoder(false); });
        QLocale::setDefault(QLocale(QLocale::German));
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
        // The encoder's own, older loudness analysis runs only where the tags are not written.
        QList<bool> ownAnalysis;
        connect(&run, &EncoderRun::encoderStarted, this,
                [&](quint32, const QString &, const QStringList &arguments) {
                    ownAnalysis << !arguments.contains("--noreplaygain");
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
        QVERIFY(!ownAnalysis.isEmpty());
        QCOMPARE(ownAnalysis, QList<bool>(ownAnalysis.size(), !on));

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

    // An MP3 whole before its input is measured waits: the tagger stays busy (holding back the run's
    // end) until the tags are written. A meter stopped at once gives up and keeps nothing.
    void encodedBeforeMeasured()
    {
        const QString input = inputs.filePath("long.wav"), output = inputs.filePath("short.mp3");
        QVERIFY(AudioFiles::run("sox", {"-D", "-n", "-r", "44100", "-c", "2", "-b", "16", input, "synth",
                                        "600", "sine", "1000", "vol", "-23dB"}) == 0);
        LoudnessMeter meter;
        const std::atomic<bool> stopped{true}, going{false};
        QCOMPARE(meter.measure(input, stopped), LoudnessMeter::Problem::Cancelled);
        QVERIFY(!meter.isMeasured());
        QCOMPARE(meter.measure(output, going), LoudnessMeter::Problem::Unreadable); // not there yet
        QVERIFY(AudioFiles::makeSine(inputs.filePath("short.wav"), 1) &&
                AudioFiles::run("lame", {"--quiet", inputs.filePath("short.wav"), output}) == 0);
        LoudnessTagger tagger({QString()}, "Batch");
        QSignalSpy settled(&tagger, &LoudnessTagger::settled);
        tagger.measure(0, input);
        tagger.encoded(0, output);
        QVERIFY(tagger.isBusy());
        QVERIFY(settled.wait(60000));
        QVERIFY(!tagger.isBusy());
        QVERIFY(std::abs(decibels(loudnessTags(output).value("REPLAYGAIN_TRACK_GAIN")) - 5.0) < 0.1);
    }
    void conversions_data()
    {
        QTest::addColumn<QVariant>("value"); // written in the form of its type; invalid: nothing
        QTest::addColumn<QString>("reads");  // as a bool, an integer, a float and a string
        QTest::newRow("absent") << QVariant() << "false 0 0 null";
        QTest::newRow("real 44.1") << QVariant(44.1f) << "true 44 44.1 '44.1'";
        QTest::newRow("real 32") << QVariant(32.0f) << "true 32 32 '32'";
        QTest::newRow("real -2.75") << QVariant(-2.75f) << "true -2 -2.75 '-2.75'";
        QTest::newRow("integer 0") << QVariant(0) << "false 0 0 '0'";
        QTest::newRow("boolean true") << QVariant(true) << "true 1 1 '1'";
        QTest::newRow("text number") << QVariant("  42abc") << "true 42 42 '  42abc'";
        QTest::newRow("text real") << QVariant("-0.5x") << "false 0 -0.5 '-0.5x'";
        QTest::newRow("text YES") << QVariant("YES") << "true 0 0 'YES'";
        QTest::newRow("text exponent") << QVariant("1.5e2kHz") << "true 1 150 '1.5e2kHz'";
        QTest::newRow("text too large")
            << QVariant("-99999999999") << "true -2147483648 -1e+11 '-99999999999'";
        QTest::newRow("text empty") << QVariant("") << "false 0 0 ''";
    }
    void conversions()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, reads);
        const QString file = inputs.filePath("conversions.conf");
        const auto written = TestSettings::makeStore(file, {{"Key", value}}, {});
        // A fresh store made from the file alone answers every read as before.
        SettingsStore reread(file);
        for (const SettingsStore *s : {written.get(), &reread}) {
            const QString text = s->stringForKey("Key");
            QCOMPARE(QStringList(
                         {s->boolForKey("Key") ? "true" : "false", QString::number(s->integerForKey("Key")),
                          QString::number(s->floatForKey("Key")), text.isNull() ? "null" : "'" + text + "'"})
                         .join(' '),
                     reads);
            QCOMPARE(s->objectForKey("Key"), value);
        }
        // Removing is kept across a restart too.
        written->removeObjectForKey("Key");
        QVERIFY(!SettingsStore(file).objectForKey("Key").isValid());
    }

    void corruptFileIsKeptAsideAndDefaultsServe_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("value without a form") << QByteArray("[General]\nBit%20Rate%20Mode=3\n");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[[[\x01=\x02\n", 11);
        QTest::newRow("bad number") << QByteArray("[General]\nCBR%20Bit%20Rate=i:12x\n");
    }
    void corruptFileIsKeptAsideAndDefaultsServe()
    {
        QFETCH(QByteArray, contents);
        const QString path = inputs.filePath(QTest::currentDataTag() + QString(".conf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush());
        QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        SettingsStore store(path);
        store.registerDefaults({{"Bit Rate Mode", 1}});
        QCOMPARE(store.integerForKey("Bit Rate Mode"), 1);
        QCOMPARE(readWholeFile(path + ".corrupt"), contents);
        store.setInteger(2, "Bit Rate Mode");
        QCOMPARE(SettingsStore(path).integerForKey("Bit Rate Mode"), 2);
    }

    // A refused value is repaired, logged once and stored: removed (the registered value shows) or set
    // to the first allowed one; nothing stays nothing. The switches rows pass without a word.
    void repairs_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: absent from both layers
        QTest::addColumn<QString>("shown");   // logged and stored where it differs from `stored`
        using namespace PrefKey;
        QTest::newRow("channel J") << ChannelMode << QVariant("J") << "";
        QTest::newRow("mode 7") << BitRateMode << QVariant(7) << "1";
        QTest::newRow("masking bad") << Masking << QVariant("--ath") << "";
        QTest::newRow("short blocks bad") << ShortBlocks << QVariant("--Short") << "--short";
        QTest::newRow("short blocks absent everywhere") << ShortBlocks << QVariant() << "--short";
    }
    void repairs()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        const auto store = TestSettings::makeStore(inputs.filePath("repairs.conf"), {{key, stored}});
        const LamePrefs prefs(*store);
        if (shown != stored.toString())
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        using namespace PrefKey;
        const QString answer = key == ChannelMode   ? prefs.checkedChannelMode().value_or("")
                               : key == BitRateMode ? QString::number(prefs.checkedBitRateMode({1, 2, 3, 4}))
                               : key == Masking     ? prefs.checkedMasking().value_or("")
                                                    : prefs.checkedShortBlocks();
        QCOMPARE(answer, shown);
        QCOMPARE(store->objectForKey(key).toString(), stored.isValid() ? shown : "");
    }

    // 0, the factory value, stands for the machine's cores, at most 8; no number exceeds the cores.
    void filesAtOnce()
    {
        const quint32 cores = quint32(QThread::idealThreadCount());
        QCOMPARE(LamePrefs::resolvedEncoders(0), std::min(cores, 8u));
        QCOMPARE(LamePrefs::resolvedEncoders(99), cores);
        QCOMPARE(LamePrefs::resolvedEncoders(1), 1u);
    }

    // Folders from the pattern only, never a tag; nothing outside the destination; the factory names.
    void names_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QVariantMap>("task"); // its tags; the input is /in/live.take.flac
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<QString>("expected"); // the name below /d, or the placeholder a refusal names
        const auto row = [](const char *name, const QString &pattern, const QVariantMap &task,
                            const QString &expected, Problem problem = Problem::None) {
            QTest::newRow(name) << pattern << task << problem << expected;
        };
        const QString tree = "{artist}/{album}/{track} {title}";
        row("factory", "{name}", {{kSongTitleKey, "x"}}, "live.take.mp3");
        row("unsafe characters", tree,
            {{kSongArtistKey, "AC/DC"},
             {kSongAlbumKey, " Best "},
             {kSongTrackNoKey, "3/12"},
             {kSongTitleKey, "Q: \"Why?\"*<>|\\"}},
            "AC_DC/Best/03 Q_ _Why_______.mp3");
        row("empty tags", tree, {{kSongArtistKey, ""}, {kSongTrackNoKey, "B2"}},
            "live.take/Common/B2 live.take.mp3");
        row("dots", "{artist}/{title}/x", {{kSongArtistKey, ".."}, {kSongTitleKey, "."}}, "_./_/x.mp3");
        row("long tag", "{title}/{name}", {{kSongTitleKey, QString(300, u'é')}},
            QString(127, u'é') + "/live.take.mp3");
        row("absolute", "/tmp/{name}", {}, "", Problem::LeavesFolder);
        row("home", "~/{name}", {}, "", Problem::LeavesFolder);
        row("parent", "{artist}/../../{name}", {}, "", Problem::LeavesFolder);
        row("unknown", "{artist}/{year} {title}", {}, "{year}", Problem::UnknownPlaceholder);
        row("folder only", "{artist}/", {}, "", Problem::NoFileName);
        row("empty", "", {}, "", Problem::NoFileName);
    }
    void names()
    {
        QFETCH(QString, pattern);
        QFETCH(QVariantMap, task);
        QFETCH(Problem, problem);
        QFETCH(QString, expected);
        QString named;
        QCOMPARE(OutputNamePattern::check(pattern, &named), problem);
        QCOMPARE(named, problem == Problem::None ? "" : expected);
        if (problem != Problem::None)
            return;
        task.insert(kInputFileKey, "/in/live.take.flac");
        // A tag the file lacks comes from the run's common tags.
        QCOMPARE(OutputNamePattern::outputFor(pattern, task, {{kSongAlbumKey, "Common"}}, "/d"),
                 "/d/" + expected);
        if (pattern != OutputNamePattern::kFactoryPattern)
            return;
        QCOMPARE("/d/" + expected, OutputNames::forInput(task.value(kInputFileKey).toString(), "/d"));
        QCOMPARE(OutputNames::numberedFile("/d/Song.MP3", 12), "/d/Song 12.mp3");
        QCOMPARE(OutputNames::numberedFile("/d/" + QString(251, u'x') + ".mp3", 2),
                 "/d/" + QString(249, u'x') + " 2.mp3");
    }

    void switches_data()
    {
        QTest::addColumn<QVariantMap>("settings");
        QTest::addColumn<QVariantMap>("options");
        QTest::addColumn<Arguments>("globals");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QVariantMap>("task");
        QTest::addColumn<QStringList>("arguments");

        using namespace PrefKey;
        const QString input = "/music/in put.aiff", output = "/music/in put.mp3";
        row("CBR at factory values", {}, cbr);
        const QVariantMap vbrWithLowpass = {
            {BitRateMode, 3},   {EnableFiltering, true},     {EnableLowpass, true},   {UpperCutoff, 16.0f},
            {ChannelMode, "j"}, {ManualLowpassWidth, false}, {EnableHighpass, false}, {ReduceATHBy, 3},
            {Checksum, true},   {OutputSampleRate, 44.1f},   {Masking, "--athshort"}};
        row("new VBR with lowpass and resampling", vbrWithLowpass,
            words("--lowpass 16 --resample 44.1 -m j --athshort --short --athlower 3 --cwlimit 8.8717 "
                  "--vbr-new -V 4 -b 32 -B 320 -e n -p"));
        const QVariantMap abrRaw = {{TonalityLimit, QVariant()}, {Deemphasis, "5"},
                                    {TemporalMasking, false},    {BitRateMode, 2},
                                    {MarkAsOriginal, false},     {Mixdown, true}};
        const QVariantMap rawOptions = {{kRawPCMInputKey, true},  {kSwapEndianKey, true},
                                        {kSampleRateKey, "44.1"}, {kBitDepthKey, "16"},
                                        {kSongArtistKey, "--tt"}, {kSongAlbumKey, "-o"},
                                        {kSongYearKey, "2001"},   {kSongGenreKey, "Rock"}};
        const QStringList abrList =
            words("-x -r -s 44.1 --bitwidth 16 -k -a --short --notemp -q 2 --abr 128 -b 32 "
                  "-B 320 --athtype 2 -e 5 -o --ta --tt --tl -o --ty 2001 --tg Rock");
        // The run's artist reads like the title's switch: the file's title must not take the place of
        // whatever follows it. The file's artist is a switch that the launcher leaves out.
        const QString title = "-V 0; rm -rf ~ `id` $(id) \"q\" 'a'", comment = "first line\nsecond $line";
        const QStringList merged = abrList.join(' ').replace("--ta --tt", "--ta --cwlimit").split(' ') +
                                   QStringList{"--tt", title, "--tc", comment, "--tn", "03", input, output};
        const QVariantMap fileTags = {{kInputFileKey, input},     {kOutputFileKey, output},
                                      {kSongTitleKey, title},     {kSongTrackNoKey, "03"},
                                      {kSongCommentKey, comment}, {kSongArtistKey, "--cwlimit"}};
        row("raw ABR with tags", abrRaw, abrList, rawOptions, {}, fileTags, merged);
        const QVariantMap everyFlag = {
            {ShortBlocks, "--noshort"}, {Masking, "--noath"}, {TemporalMasking, false}, {ChannelMode, "s"},
            {DifferentBlocks, true},    {Deemphasis, "5"},    {MarkAsCopyright, true},  {StrictISO, true},
            {MarkAsOriginal, false},    {Checksum, true},     {CBRReservoir, false},    {ReduceATHBy, 1}};
        row("CBR with every flag", everyFlag,
            words("-k -m s -d --noath --noshort --notemp --athlower 1 --cwlimit 8.8717 -q 2 -b 128 "
                  "--athtype 2 --nores -e 5 --strictly-enforce-ISO -p -c -o"));

        row("mode 0", {{BitRateMode, 0}, {ChannelMode, "m"}}, words("-k -m m --short --cwlimit 8.8717 -e n"));
        row("swap, not raw", {}, QStringList{"-x"} + cbr, {{kSwapEndianKey, true}, {kRawPCMInputKey, false}});
        row("mixdown without raw input", {{Mixdown, true}}, cbr);
        const QVariantMap filters = {
            {ManualHighpassWidth, true}, {EnableLowpass, true},   {ManualLowpassWidth, true},
            {LowpassWidth, 0.75f},       {EnableFiltering, true}, {UpperCutoff, 17.5f},
            {EnableHighpass, true},      {LowerCutoff, 0.1f},     {HighpassWidth, 0.05f}};
        // ABR, and a value of every choice the other rows do not make.
        const QVariantMap abr = {{BitRateMode, 2},          {ChannelMode, "f"},
                                 {Deemphasis, "c"},         {ABRXingTag, false},
                                 {Masking, "--athonly"},    {ShortBlocks, "--allshort"},
                                 {ABREnforceMinimum, true}, {OutputSampleRate, 48.0f}};
        row("ABR with every filter", with(filters, abr),
            words(
                "--lowpass 17.5 --lowpass-width 0.75 --highpass 0.1 --highpass-width 0.05 --resample 48 -m f "
                "--athonly --allshort --cwlimit 8.8717 -q 2 --abr 128 -b 32 -B 320 --athtype 2 -F -t -e c"));
        row("filtering off suppresses every filter", with(filters, {{EnableFiltering, false}}), cbr);
        row("lowpass at the threshold", with(filters, {{UpperCutoff, 0.0001f}, {EnableHighpass, false}}),
            factoryTail);
        row("ATH lowered by -2", {{ReduceATHBy, -2}}, cbr);
        row("old VBR", {{BitRateMode, 4}, {VBREnforceMinimum, true}, {VBRXingTag, false}, {ChannelMode, "d"}},
            words("-k -m d --short --cwlimit 8.8717 --vbr-old -V 4 -b 32 -B 320 -F -t -e n"));
        row("run tags ignored without useTags", {}, cbr, {{kSongTitleKey, "t"}, {kSongGenreKey, "Jazz"}});

        // A value not of its setting's kind never reaches the encoder: the factory value (or none) is
        // stored in its place, and one log line says so.
        const auto wrong = [](const char *name, const QString &key, const QVariant &value,
                              const QVariantMap &more = {}) {
            row(name, with(more, {{key, value}}), more.isEmpty() ? cbr : factoryTail, {},
                "^Error: corrupt preferences: \"" + key + "\" holds [0-9]+ characters that are not ");
        };
        wrong("10 MB bit rate", CBRBitRate, QString(10 * 1024 * 1024, u'9'));
        wrong("quality as a real", CBRQuality, 2.5f);
        wrong("deemphasis in upper case", Deemphasis, "N");
        wrong("short blocks and more", ShortBlocks, "--short --nores");
        wrong("channel mode as a word", ChannelMode, "joint");
        wrong("endless resampling", OutputSampleRate, std::numeric_limits<float>::infinity());
        wrong("cutoff with a unit", UpperCutoff, "16 kHz", {{EnableFiltering, true}, {EnableLowpass, true}});

        // A setting the encoder must be given, missing from both layers: no list; the log names it.
        const QList<std::pair<int, QStringList>> needed = {
            {1, {CBRQuality, CBRBitRate, CBRATHType}},
            {2, {ABRQuality, AverageBitRate, MinimumABRBitRate, MaximumABRBitRate, ABRATHType}},
            {4, {VBRQuality, MinimumVBRBitRate, MaximumVBRBitRate}},
            {0, {Deemphasis}}};
        for (const auto &[mode, keys] : needed)
            for (const QString &key : keys)
                row(qPrintable(QStringLiteral("mode %1 without %2").arg(mode).arg(key)),
                    {{BitRateMode, mode}, {key, QVariant()}}, std::nullopt, {},
                    QRegularExpression::escape("Error: corrupt preferences: \"" + key + "\" has no value"));
    }
    void switches()
    {
        QFETCH(QVariantMap, settings);
        QFETCH(QVariantMap, options);
        QFETCH(Arguments, globals);
        QFETCH(QString, warning);
        QFETCH(QVariantMap, task);
        QFETCH(QStringList, arguments);
        const auto store = TestSettings::makeStore(inputs.filePath("settings.conf"), settings);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        const auto run = LamePrefs::makeGlobalSwitches(*store, options, !task.isEmpty());
        QCOMPARE(run, globals);
        if (!run)
            return;
        // A repaired setting builds the next run the same, without a word.
        QCOMPARE(LamePrefs::makeGlobalSwitches(*store, options, !task.isEmpty()), globals);
        if (!task.isEmpty())
            QCOMPARE(LamePrefs::makeArgumentList(&task, &*run, true), Arguments(arguments));
        for (const QString &key : {kInputFileKey, kOutputFileKey}) { // without both paths, no list
            const QVariantMap half = with(task, {{key, ""}});
            QCOMPARE(LamePrefs::makeArgumentList(&half, &*run, !task.isEmpty()), Arguments());
        }

        const bool isRaw = options.value(kRawPCMInputKey).toBool();
        const QVariantMap files = with(task, {{kInputFileKey, isRaw ? raw : wav}, {kOutputFileKey, mp3}});
        const QStringList list = *LamePrefs::makeArgumentList(&files, &*run, !task.isEmpty());
        static QSet<QStringList> encoded; // the same list gives the same file
        if (encoded.contains(list))
            return;
        encoded << list;
        QFile::remove(mp3);
        QString errors;
        QVERIFY2(AudioFiles::run(isRaw ? realRawEncoder : realEncoder, list, &errors) == 0,
                 qPrintable(errors));
        // lame 3.100 refuses --cwlimit and ignores the developer-only switches: the launcher
        // leaves them out. -d is obsolete too, but is passed on: lame still accepts it.
        QVERIFY2(!errors.contains("developer-only"), qPrintable(errors));
        QCOMPARE(errors.contains("obsolete"), list.contains("-d"));
        QVERIFY(qAbs(AudioFiles::decodedSeconds(mp3) - 1.0) < 0.1);
        // The new VBR algorithm spends few bits above 16 kHz whatever the filters; a swapped WAV is noise.
        if (!isRaw && !list.contains("--vbr-new") && !list.contains("-x")) {
            const double kept = AudioFiles::amplitudeAbove(mp3, 18000);
            QCOMPARE(kept < 0 ? -1 : int(kept > tone / 2), int(list.contains("-k")));
        }
        if (task.isEmpty())
            return;
        const QStringList keys = {kSongTitleKey, kSongArtistKey, kSongAlbumKey,  kSongCommentKey,
                                  kSongGenreKey, kSongYearKey,   kSongTrackNoKey};
        const char *frames[] = {"TIT2", "TPE1", "TALB", "COMM", "TCON", "TDRC", "TRCK"};
        for (int k = 0; k < 7; ++k)
            QCOMPARE(id3Frame(mp3, frames[k]), files.value(keys[k], options.value(keys[k])).toString());
    }

    // Without lame on the search path the launcher names the package to install and makes no
    // file; a launcher named lame does not take itself for the encoder.
    void withoutLame()
    {
        const QString never = inputs.filePath("never.mp3"), lame = realEncoder;
        for (const QString &path : {inputs.filePath("nothing-here"), QFileInfo(lame).path()}) {
            QString errors;
            QCOMPARE(AudioFiles::run(lame, {wav, never}, &errors, {"PATH=" + path}), 127);
            QVERIFY2(errors.contains("Debian package \"lame\""), qPrintable(errors));
            QVERIFY(!QFileInfo::exists(never));
        }
    }
};

QTEST_GUILESS_MAIN(tst_EncoderRun)
#include "tst_encoderrun.moc"
