#include "support/AudioFiles.h"

#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "platform/Resources.h"

#include <QtTest>

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
        QTest::addColumn<QStringList>("files"); // name:seconds[:exit status]; a name alone is missing
        QTest::addColumn<QString>("question");  // asked while the first file runs, answered at once
        QTest::addColumn<bool>("raw");          // headerless input: its launcher cannot start
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<quint32>("failed");
        QTest::addColumn<bool>("stopped"); // else completed
        QTest::addColumn<QString>("logged");
        const QStringList two{"a:0.6", "b:0.1"}, longTwo{"a:5", "b:0.1"}, both{"a", "b"};
        QTest::newRow("failure among successes")
            << QStringList{"missing", "lost", "bad:0.1:1", "good:0.1"} << "" << false << QStringList{"good"}
            << 3u << false << "Cannot encode \"bad.wav\": the encoder ended with status 1.";
        QTest::newRow("encoder that cannot start")
            << two << "" << true << QStringList{} << 2u << false
            << "Cannot encode \"a.wav\": the encoder could not be started";
        QTest::newRow("stop confirmed: partial removed")
            << longTwo << "stop confirmed" << false << QStringList{} << 0u << true << "";
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
            << QStringList{"a:0.6"} << "stop cancelled after the end" << false << QStringList{"a"} << 0u
            << false << "";
        QTest::newRow("last file ended under the question, stop confirmed: no completion")
            << QStringList{"a:0.6"} << "stop confirmed after the end" << false << QStringList{"a"} << 0u
            << true << "";
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
                AudioFiles::writeFakeInput(input, parts[1].toDouble(), parts.value(2).toInt());
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
                   .outputFolder = music.path()});
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
            question.startsWith("stop") ? run.stopAnswered(confirmed) : run.skipAnswered(confirmed);
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
};

QTEST_GUILESS_MAIN(tst_EncoderRun)
#include "tst_encoderrun.moc"
