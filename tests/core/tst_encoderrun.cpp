// The run without any window: the encoder's text as it is read, the run's transitions, inputs it
// refuses and the hand-over into Orvik's own library.
#include "support/AudioFiles.h"
#include "support/SmallVolume.h"
#include "support/TunesSupport.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "core/LameTunes.h"
#include "platform/MusicLibrary.h"
#include "platform/Resources.h"

#include <QtTest>
#include <limits>
#include <sys/stat.h>

namespace {
using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

struct Chunk
{
    Stream stream;
    QByteArray bytes;
};

// Recorded lame output (tests/data/transcripts): each line "out " or "err " and one chunk in base64,
// in the order the chunks reached the application through QProcess; lines starting with "#" are notes.
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

// What the parser makes of the chunks: the last update of each field, in the order of the
// fields, every update, and the logged text of each stream.
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
// Whether an encoder the run started still runs: a process the run ended may outlive it for a
// moment, in the application's care.
bool encoderLeft(const EncoderRun &run)
{
    const QList<QProcess *> processes = run.findChildren<QProcess *>() + qApp->findChildren<QProcess *>();
    return std::any_of(processes.cbegin(), processes.cend(),
                       [](const QProcess *process) { return process->state() != QProcess::NotRunning; });
}

// What the run tells of each encoder, in order: its command line, what each line of its text said,
// after the text that holds it, and its end, after which nothing more of it comes.
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

    // Every started encoder's reports in order; those not `cut` short whole, with every record (the
    // stand-in prints its version and low-pass band, then 20 progress records).
    void verify(bool raw, const QList<quint32> &cut) const
    {
        static const QRegularExpression order("^started( version)?( lowpass)?( progress)?( ended)?$");
        for (auto [index, reports] : told.asKeyValueRange()) {
            const QString said = reports.join(' ');
            const QList<qint64> done = frames[index];
            QVERIFY(std::is_sorted(done.cbegin(), done.cend(), std::less_equal<>()));
            QVERIFY2(cut.contains(index) ? order.match(said).hasMatch()
                     : raw               ? said == "started ended"
                           : said == "started version lowpass progress ended" && done.size() == 20 &&
                                 done.last() == 1000,
                     qPrintable(said));
        }
    }
};
} // namespace

// The test plays the window side; the stand-in encoder's inputs say how long each file takes and
// how it ends.
class tst_EncoderRun : public QObject
{
    Q_OBJECT

    QTemporaryDir encoders;
    QTemporaryDir inputs;
    LamePrefs preferences;
    QString realEncoder;

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
        realEncoder = Resources::pathForResource("lame");
        QVERIFY(!realEncoder.isEmpty() && useRealEncoder(false));
        // Headerless input is encoded by a launcher that cannot be started.
        QFile broken(encoders.filePath("lame_raw"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a program") > 0);
        Resources::prependSearchFolder(encoders.path());
        OpenTunes();
    }

    // Files as "name:seconds[:exit status[:seconds it takes to end when told to]]" for the stand-in
    // encoder; a name alone is missing, "!name" has an output already (its conflict skipped at once
    // unless the action answers it). Outputs are named by the input's first letter. With several
    // encoders at once the music library takes the files and lists them in a playlist.
    void transitions_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<quint32>("encoders");
        // "stop|skip confirmed|cancelled [after an end] while <the files that must be writing first>",
        // "skip confirmed at the first record", "replace" the conflict once the others have ended, "raw
        // input" (its launcher cannot start) or nothing.
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
        // A file that ends under a question runs long enough for the question to come first, also on
        // a loaded machine; what comes next waits for the answer.
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
        // A file that fails at once starts the next one from the event loop, never inside its
        // own failure: a long list of such files would otherwise exhaust the stack.
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
        QTRY_VERIFY(!encoderLeft(run));
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
        QVERIFY(logged.isEmpty() || std::any_of(log.cbegin(), log.cend(), [&](const auto &line) {
                    return line[0].toString().contains(logged);
                }));
        QList<quint32> cut; // stopped or skipped while they ran
        for (quint32 i = 0; i < quint32(names.size()); ++i)
            if (confirmed && !written.contains(names[i].left(1)))
                cut << i;
        reports.verify(raw, cut);
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

    // The track lands in the playlist with its tags; only a playlist that lists nothing is removed.
    // Every function disposes what it made.
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
        for (const auto &[value, expected] :
             QList<std::pair<QVariant, int>>{{-12.9, -12},
                                             {std::numeric_limits<double>::quiet_NaN(), 0},
                                             {qlonglong(1) << 40, most},
                                             {~qulonglong(0), most}})
            QCOMPARE(TunesIntValue(value), expected);
    }

    // Inputs the encoder cannot take whole, and a disk that fills, with the real encoder: each
    // fails, says why in the log and leaves no MP3.
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
        const QString name = QTest::currentDataTag();
        const QString path = inputs.filePath(name);
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
};

QTEST_GUILESS_MAIN(tst_EncoderRun)
#include "tst_encoderrun.moc"
