#include "support/AudioFiles.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "platform/Resources.h"

#include <QtTest>
#include <sndfile.h>

// The run's transitions without any window: the test plays the window side; the stand-in
// encoder's inputs say how long each file takes and how it ends.
class tst_EncoderRun : public QObject
{
    Q_OBJECT

    QTemporaryDir encoders;
    QTemporaryDir inputs;
    LamePrefs preferences;

  private slots:
    void initTestCase()
    {
        QVERIFY(
            QFile::link(qEnvironmentVariable("ORVIK_HELPERS_DIR") + "/fake_lame", encoders.filePath("lame")));
        // Headerless input is encoded by a launcher that cannot be started.
        QFile broken(encoders.filePath("lame_raw"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a program") > 0);
        Resources::prependSearchFolder(encoders.path());
    }

    void transitions_data()
    {
        // name:seconds[:exit status[:seconds it takes to end when told to]]; a name alone is missing
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("question"); // asked while the first file runs, answered at once
        QTest::addColumn<bool>("raw");         // headerless input: its launcher cannot start
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
        QTest::newRow("stop confirmed: partial removed")
            << longTwo << "stop confirmed" << false << QStringList{} << 0u << true << "";
        // Until it has ended, an encoder may still write its output, even create it anew.
        QTest::newRow("stop confirmed: partial removed once the encoder has ended")
            << QStringList{"a:5:0:0.5", "b:0.1"} << "stop confirmed" << false << QStringList{} << 0u << true
            << "";
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
        for (const QString &file : files) {
            const QStringList parts = file.split(':');
            const QString input = inputs.filePath(parts[0] + ".wav");
            if (parts.size() > 1)
                AudioFiles::writeFakeInput(input, parts[1].toDouble(), parts.value(2).toInt(),
                                           parts.value(3).toDouble());
            tasks.append({{kInputFileKey, input}, {kOutputFileKey, music.filePath(parts[0] + ".mp3")}});
        }
        EncoderRun run;
        QSignalSpy launched(&run, &EncoderRun::encoderLaunched);
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
        QPointer<QProcess> encoder = run.process();
        if (!question.isEmpty()) {
            QVERIFY(QTest::qWaitFor(
                [&] { return encoder && QFileInfo(tasks[0][kOutputFileKey].toString()).size() > 0; }));
            run.questionStarted();
            if (question.endsWith("after the end")) {
                // The encoder goes on under the question and ends meanwhile; what comes next waits.
                QVERIFY(QTest::qWaitFor(
                    [&] { return run.currentIndex() == 1 && (tasks.size() == 1 || run.process()); }, 10000));
                QCOMPARE(launched.size(), 1);
                QCOMPARE(completions.size(), 0);
            }
            const bool confirmed = question.contains("confirmed");
            question.startsWith("stop") ? run.stopAnswered(confirmed) : run.skipAnswered(0, confirmed);
        }
        QVERIFY(QTest::qWaitFor([&] { return completions.size() + stops.size() > 0; }, 15000));
        QTRY_VERIFY(!encoder || encoder->state() == QProcess::NotRunning);
        QCOMPARE(completions.size(), stopped ? 0 : 1);
        QCOMPARE(stops.size(), stopped ? 1 : 0);
        QCOMPARE(run.failedCount(), failed);
        for (const QVariantMap &task : tasks)
            QCOMPARE(QFileInfo::exists(task[kOutputFileKey].toString()),
                     written.contains(QFileInfo(task[kInputFileKey].toString()).baseName()));
        QVERIFY(logged.isEmpty() || std::any_of(log.cbegin(), log.cend(), [&](const auto &line) {
                    return line[0].toString().contains(logged);
                }));
    }

    // An input of floating-point samples is read through before its encoder starts, which is
    // told the peak, so that it can take back the scaling to full scale its reading applies.
    void floatInputIsScaledBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("scale"); // the encoder's --scale; empty: none
        QTest::newRow("float") << int(SF_FORMAT_FLOAT) << "0.5";
        QTest::newRow("double") << int(SF_FORMAT_DOUBLE) << "0.5";
        QTest::newRow("16-bit") << int(SF_FORMAT_PCM_16) << "";
    }
    void floatInputIsScaledBack()
    {
        QFETCH(int, format);
        QFETCH(QString, scale);
        QTemporaryDir music;
        const QString input = inputs.filePath("samples.wav");
        SF_INFO info{0, 8000, 2, SF_FORMAT_WAV | format, 0, 0};
        SNDFILE *file = sf_open(QFile::encodeName(input).constData(), SFM_WRITE, &info);
        const double samples[] = {0.25, -0.125, 0.0625, -0.5, 0.375, 0.0};
        QVERIFY(file && sf_write_double(file, samples, 6) == 6);
        QCOMPARE(sf_close(file), 0);
        QList<QVariantMap> tasks{{{kInputFileKey, input}, {kOutputFileKey, music.filePath("samples.mp3")}}};
        EncoderRun run;
        QStringList arguments;
        connect(&run, &EncoderRun::encoderPrepared, this,
                [&](QProcess *process) { arguments = process->arguments(); });
        QSignalSpy completions(&run, &EncoderRun::completed);
        run.start(
            {.tasks = &tasks, .preferences = &preferences, .options = {}, .outputFolder = music.path()});
        QVERIFY(completions.wait(15000));
        const qsizetype at = arguments.indexOf("--scale");
        QCOMPARE(at < 0 ? QString() : arguments.value(at + 1), scale);
        QCOMPARE(run.failedCount(), 0u);
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
            const QStringList parts = file.remove('!').split(':');
            const QString output = music.filePath(parts[0].left(1) + ".mp3");
            if (files[names.size()].startsWith('!'))
                AudioFiles::writeFakeInput(output, 0);
            names << parts[0];
            tasks.append(
                {{kInputFileKey, AudioFiles::writeFakeInput(inputs.filePath(parts[0] + ".wav"),
                                                            parts[1].toDouble(), parts.value(2).toInt())},
                 {kOutputFileKey, output}});
        }
        // The real library lists the hand-overs in a playlist file of its own.
        const QDir playlists(QDir::home().filePath("Music/Playlists"));
        QDir(playlists).removeRecursively();
        EncoderRun run;
        QStringList endings;
        QList<QPointer<QProcess>> processes;
        connect(&run, &EncoderRun::fileEnded, this, [&](quint32 index) { endings << names[index]; });
        connect(&run, &EncoderRun::encoderPrepared, this, [&](QProcess *process) { processes << process; });
        connect(&run, &EncoderRun::nameConflict, this, [&](quint32 index) {
            if (action != "replace")
                QMetaObject::invokeMethod(
                    &run, [&run, index] { run.skipExisting(index); }, Qt::QueuedConnection);
        });
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
            QVERIFY(QTest::qWaitFor([&] { return run.process(2); }, 10000));
            QCOMPARE(endings, QStringList{"b"});
            QCOMPARE(run.fileState(2), EncoderRun::FileState::Waiting);
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
        QStringList left;
        for (const QFileInfo &file : QDir(music.path()).entryInfoList({"*.mp3"}, QDir::Files, QDir::Name))
            left << file.baseName();
        QCOMPARE(left, library);
        QTRY_VERIFY(std::none_of(processes.cbegin(), processes.cend(), [](const QPointer<QProcess> &process) {
            return process && process->state() != QProcess::NotRunning;
        }));
    }
};

QTEST_GUILESS_MAIN(tst_EncoderRun)
#include "tst_encoderrun.moc"
