#include "support/AudioFiles.h"
#include "support/SmallVolume.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "platform/Resources.h"

#include <QtTest>
#include <sys/stat.h>

namespace {
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

// The run's transitions without any window: the test plays the window side; the stand-in
// encoder's inputs say how long each file takes and how it ends.
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

    // A task of the stand-in's input "name:seconds[:exit status[:seconds it takes to end when told
    // to]]"; a name alone is missing.
    QVariantMap fakeTask(const QString &spec, const QString &output)
    {
        const QStringList parts = spec.split(':');
        const QString input = inputs.filePath(parts[0] + ".wav");
        if (parts.size() > 1)
            AudioFiles::writeFakeInput(input, parts[1].toDouble(), parts.value(2).toInt(),
                                       parts.value(3).toDouble());
        return {{kInputFileKey, input}, {kOutputFileKey, output}};
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
    }

    void transitions_data()
    {
        QTest::addColumn<QStringList>("files"); // fakeTask's inputs
        QTest::addColumn<QString>("question");  // asked while the first file runs, answered at once
        QTest::addColumn<bool>("raw");          // headerless input: its launcher cannot start
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<quint32>("failed");
        QTest::addColumn<bool>("stopped"); // else completed
        QTest::addColumn<QString>("logged");
        // A file that ends under a question runs long enough for the question to come first, also on
        // a loaded machine.
        const QStringList two{"a:1", "b:0.1"}, longTwo{"a:5", "b:0.1"}, both{"a", "b"};
        QTest::newRow("failure among successes")
            << QStringList{"missing", "lost", "bad:0.1:1", "good:0.1"} << "" << false << QStringList{"good"}
            << 3u << false << "Cannot encode \"bad.wav\": the encoder ended with status 1.";
        // The inputs read on a thread of the run's own, as slow ones are.
        QTest::newRow("slow inputs: failure among successes")
            << QStringList{"missing", "bad:0.1:1", "good:0.1"} << "" << false << QStringList{"good"} << 2u
            << false << "Cannot encode \"missing.wav\": it does not exist.";
        QTest::newRow("encoder that cannot start")
            << two << "" << true << QStringList{} << 2u << false
            << "Cannot encode \"a.wav\": the encoder could not be started";
        // Until it has ended, an encoder may still write its output, even create it anew.
        QTest::newRow("stop confirmed: partial removed once the encoder has ended")
            << QStringList{"a:5:0:0.5", "b:0.1"} << "stop confirmed" << false << QStringList{} << 0u << true
            << "";
        // Told from the run's own report of the encoder's text: what follows in that text never comes.
        QTest::newRow("skip confirmed at the first record")
            << QStringList{"a:5"} << "skip confirmed at the first record" << false << QStringList{} << 0u
            << false << "";
        QTest::newRow("skip cancelled") << two << "skip cancelled" << false << both << 0u << false << "";
        QTest::newRow("skip confirmed: partial removed, the next goes on")
            << longTwo << "skip confirmed" << false << QStringList{"b"} << 0u << false << "";
        QTest::newRow("ended under the question, cancelled: deferred launch")
            << two << "skip cancelled after the end" << false << both << 0u << false << "";
        QTest::newRow("ended under the question, skip confirmed: nothing terminated")
            << two << "skip confirmed after the end" << false << both << 0u << false << "";
        QTest::newRow("ended under the question, stop confirmed: the prepared file dropped")
            << two << "stop confirmed after the end" << false << QStringList{"a"} << 0u << true << "";
        QTest::newRow("last file ended under the question, cancelled: completion")
            << QStringList{"a:1"} << "stop cancelled after the end" << false << QStringList{"a"} << 0u
            << false << "";
        QTest::newRow("last file ended under the question, stop confirmed: no completion")
            << QStringList{"a:1"} << "stop confirmed after the end" << false << QStringList{"a"} << 0u << true
            << "";
    }

    void transitions()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, question);
        QFETCH(bool, raw);
        QFETCH(QStringList, written);
        QFETCH(quint32, failed);
        QFETCH(bool, stopped);
        QFETCH(QString, logged);
        QTemporaryDir music;
        QList<QVariantMap> tasks;
        for (const QString &file : files)
            tasks << fakeTask(file, music.filePath(file.section(':', 0, 0) + ".mp3"));
        EncoderRun run;
        const Reports reports(run, tasks, raw, [&](quint32 index) {
            if (question.endsWith("first record"))
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
                   .slowInputs = QString(QTest::currentDataTag()).startsWith("slow")});
        // A file that fails at once starts the next one from the event loop, never inside its
        // own failure: a long list of such files would otherwise exhaust the stack.
        QVERIFY(run.currentIndex() <= 1);
        if (!question.isEmpty() && !question.endsWith("first record")) {
            QVERIFY(QTest::qWaitFor([&] {
                return run.isEncoderRunning(0) && QFileInfo(tasks[0][kOutputFileKey].toString()).size() > 0;
            }));
            run.questionStarted();
            if (question.endsWith("after the end")) {
                // The encoder goes on under the question and ends meanwhile; what comes next waits.
                QVERIFY(QTest::qWaitFor([&] { return run.currentIndex() == 1; }, 10000));
                QCoreApplication::processEvents(); // the next file's start
                QCOMPARE(launched.size(), 1);
                QCOMPARE(completions.size(), 0);
            }
            const bool confirmed = question.contains("confirmed");
            question.startsWith("stop") ? run.stopAnswered(confirmed) : run.skipAnswered(0, confirmed);
        }
        QVERIFY(QTest::qWaitFor([&] { return completions.size() + stops.size() > 0; }, 15000));
        QTRY_VERIFY(!encoderLeft(run));
        QCOMPARE(completions.size(), stopped ? 0 : 1);
        QCOMPARE(stops.size(), stopped ? 1 : 0);
        QCOMPARE(run.failedCount(), failed);
        for (const QVariantMap &task : tasks)
            QCOMPARE(QFileInfo::exists(task[kOutputFileKey].toString()),
                     written.contains(QFileInfo(task[kInputFileKey].toString()).baseName()));
        QVERIFY(logged.isEmpty() || std::any_of(log.cbegin(), log.cend(), [&](const auto &line) {
                    return line[0].toString().contains(logged);
                }));
        reports.verify(raw, question.contains("confirmed") && !question.endsWith("the end")
                                ? QList<quint32>{0}
                                : QList<quint32>{});
    }

    // Several encoders at once, with the music library taking the files: "!name" has an output
    // already (the conflict is skipped at once unless the action answers it); an output is named
    // by the input's first letter.
    void severalAtOnce_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<quint32>("maxEncoders");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("ended");   // fileEnded, in order
        QTest::addColumn<QStringList>("library"); // in the order handed over; the MP3s left
        QTest::addColumn<quint32>("failed");
        const QStringList abc{"a", "b", "c"};
        // The lengths differ by more than a loaded machine can shift the encoders' starts.
        QTest::newRow("files end in any order")
            << QStringList{"a:3", "b:0.2", "c:1.5"} << 3u << "" << QStringList{"b", "c", "a"} << abc << 0u;
        QTest::newRow("a failure among successes")
            << QStringList{"a:2", "b:0.2:1", "c:0.2"} << 2u << "" << QStringList{"b", "c", "a"}
            << QStringList{"a", "c"} << 1u;
        QTest::newRow("conflict up while the others end: listed first all the same")
            << QStringList{"!a:0.2", "b:0.2", "c:0.2"} << 2u << "replace" << QStringList{"b", "c", "a"} << abc
            << 0u;
        QTest::newRow("one output name: the second waits for the first, then is asked")
            << QStringList{"a:0.6", "a2:0.1"} << 2u << "" << QStringList{"a"} << QStringList{"a"} << 0u;
        QTest::newRow("stop with several running: partials removed, the finished one kept")
            << QStringList{"a:60", "b:0.1", "c:60"} << 3u << "stop" << QStringList{"b"} << QStringList{"b"}
            << 0u;
        QTest::newRow("skip one while another ends under the question")
            << QStringList{"a:60", "b:1.5", "c:1"} << 2u << "skip" << QStringList{"b", "a", "c"}
            << QStringList{"b", "c"} << 0u;
    }

    void severalAtOnce()
    {
        QFETCH(QStringList, files);
        QFETCH(quint32, maxEncoders);
        QFETCH(QString, action);
        QFETCH(QStringList, ended);
        QFETCH(QStringList, library);
        QFETCH(quint32, failed);
        QTemporaryDir music;
        QList<QVariantMap> tasks;
        QStringList names;
        for (QString file : files) {
            const bool exists = file.startsWith('!');
            names << file.remove('!').section(':', 0, 0);
            tasks << fakeTask(file, music.filePath(file.left(1) + ".mp3"));
            if (exists)
                AudioFiles::writeFakeInput(tasks.last()[kOutputFileKey].toString(), 0);
        }
        // The real library lists the hand-overs in a playlist file of its own.
        const QDir playlists(QDir::home().filePath("Music/Playlists"));
        QDir(playlists).removeRecursively();
        EncoderRun run;
        QStringList endings;
        connect(&run, &EncoderRun::fileEnded, this, [&](quint32 index) { endings << names[index]; });
        connect(&run, &EncoderRun::nameConflict, this, [&](quint32 index) {
            if (action != "replace")
                QMetaObject::invokeMethod(
                    &run, [&run, index] { run.skipExisting(index); }, Qt::QueuedConnection);
        });
        const Reports reports(run, tasks, false);
        QSignalSpy completions(&run, &EncoderRun::completed);
        QSignalSpy stops(&run, &EncoderRun::stopped);
        run.start({.tasks = &tasks,
                   .preferences = &preferences,
                   .options = {{kSampleRateKey, "44.1"}},
                   .outputFolder = music.path(),
                   .useLibrary = true,
                   .makePlaylist = true,
                   .asksAboutExistingFiles = true,
                   .maxEncoders = maxEncoders});
        const auto writing = [&](QList<quint32> running) {
            return run.runningIndexes() == running &&
                   std::all_of(running.cbegin(), running.cend(), [&](quint32 i) {
                       return QFileInfo(tasks[i][kOutputFileKey].toString()).size() > 0;
                   });
        };
        if (action == "replace") {
            // The others go on and end while the first file's question is up.
            QVERIFY(QTest::qWaitFor([&] { return endings.size() == 2; }, 10000));
            QCOMPARE(run.fileState(0), EncoderRun::FileState::Waiting);
            QCOMPARE(run.count(EncoderRun::FileState::Done), 2u);
            QVERIFY(qAbs(run.batchFraction() - 2.0 / 3) < 0.01); // three files of one length
            run.replaceExisting(0);
        } else if (action == "stop") {
            QVERIFY(QTest::qWaitFor([&] { return endings.size() == 1 && writing({0, 2}); }, 10000));
            run.questionStarted();
            run.stopAnswered(true);
        } else if (action == "skip") {
            QVERIFY(QTest::qWaitFor([&] { return writing({0, 1}); }, 10000));
            run.questionStarted();
            // The file that ends under the question has its successor prepared, not launched.
            QVERIFY(QTest::qWaitFor([&] { return endings == QStringList{"b"}; }, 10000));
            QCoreApplication::processEvents();
            QCOMPARE(run.fileState(2), EncoderRun::FileState::Waiting);
            QVERIFY(!run.isEncoderRunning(2));
            run.skipAnswered(0, true);
        }
        QVERIFY(QTest::qWaitFor([&] { return completions.size() + stops.size() > 0; }, 15000));
        QCOMPARE(stops.size(), action == "stop" ? 1 : 0);
        QCOMPARE(run.failedCount(), failed);
        QCOMPARE(run.count(EncoderRun::FileState::Failed), failed);
        QCOMPARE(endings, ended);
        QStringList added;
        for (const QFileInfo &playlist : playlists.entryInfoList(QDir::Files)) {
            QFile file(playlist.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            for (const QByteArray &line : file.readAll().split('\n'))
                if (!line.isEmpty() && !line.startsWith('#'))
                    added << QFileInfo(QString::fromUtf8(line)).baseName();
        }
        QCOMPARE(added, library);
        QCOMPARE(
            QDir(music.path()).entryList({"*.mp3"}, QDir::Files, QDir::Name).replaceInStrings(".mp3", ""),
            library);
        QList<quint32> cut; // stopped or skipped while they ran
        for (quint32 i = 0; i < quint32(names.size()); ++i)
            if ((action == "stop" || action == "skip") && !library.contains(names[i]))
                cut << i;
        reports.verify(false, cut);
        QTRY_VERIFY(!encoderLeft(run));
    }

    // Inputs the encoder cannot take whole, and a disk that fills, with the real encoder: each
    // fails, says why in the log and leaves no MP3.
    void badInputFails_data()
    {
        QTest::addColumn<QString>("reason"); // the row's name says what stands at the input's path
        QTest::newRow("text.wav") << "not a WAV file";
        QTest::newRow("empty.wav") << "empty file";
        QTest::newRow("no samples.wav") << "empty file";
        QTest::newRow("folder.wav") << "is a folder";
        QTest::newRow("fifo.wav") << "not a regular file";
        QTest::newRow("deleted.wav") << "does not exist";
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
        else if (name.startsWith("text") || name.startsWith("empty"))
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(name == "text.wav" ? "not audio\n" : "") >= 0);
        else if (!name.startsWith("deleted")) {
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
