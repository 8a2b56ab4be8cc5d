// The progress controller: the sheet's states on real windows, the task and position texts, the
// Stop and Skip buttons, and real processes (channels, ends, two observers, the real encoder).
#include "monitor/LameProgress.h"
#include "platform/ApplicationDelegate.h"
#include "platform/Resources.h"
#include "settings/LamePrefs.h"
#include "support/EncoderTranscript.h"

#include <QApplication>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Stands in for the application controller: records what reaches the command log.
class RecordingApplication : public ApplicationDelegate
{
  public:
    QStringList log; // "command:<program>" and "output:<text>", in order
    void positionWindow(QWidget *) override {}
    QString confirmButtonTitle() override { return QStringLiteral("OK"); }
    QString cancelButtonTitle() override { return QStringLiteral("Cancel"); }
    QString saveButtonTitle() override { return QStringLiteral("Save"); }
    void registerBureaucrat(BatchEncoder *) override {}
    void unregisterBureaucrat(BatchEncoder *) override {}
    void setGopher(BatchEncoder *) override {}
    void logCommand(const QProcess *task) override { log << QStringLiteral("command:") + task->program(); }
    void logOutput(const QString &text) override { log << QStringLiteral("output:") + text; }
    QString output() const
    {
        QString text;
        for (const QString &entry : log) {
            if (entry.startsWith(QLatin1String("output:")))
                text += entry.mid(7);
        }
        return text;
    }
};

// Counts how often a widget is put up and taken down.
class VisibilityCounter : public QObject
{
  public:
    int shows = 0;
    int hides = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        else if (event->type() == QEvent::Hide)
            ++hides;
        return false;
    }
};
} // namespace

// Document controllers as delegates: one with both operations, one with stop only, one without.
class FullDelegate : public QObject
{
    Q_OBJECT
  public:
    QStringList calls;
    QList<QObject *> arguments;
  public slots:
    void stopProcess(LameProgress *progress)
    {
        calls << QStringLiteral("stop");
        arguments << progress;
    }
    void skipTask(LameProgress *progress)
    {
        calls << QStringLiteral("skip");
        arguments << progress;
    }
};

class StopOnlyDelegate : public QObject
{
    Q_OBJECT
  public:
    QStringList calls;
  public slots:
    void stopProcess(LameProgress *) { calls << QStringLiteral("stop"); }
};

class LameProgressTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanup() { application.log.clear(); }

    void sheetDescription_data();
    void sheetDescription();
    void sheetStates_data();
    void sheetStates();
    void sheetSurvivesClosedWindowWhileDown();
    void escapeDoesNotTakeSheetDown();
    void setTask_data();
    void setTask();
    void setFile_data();
    void setFile();
    void interruptButtons_data();
    void interruptButtons();
    void interruptFromSignalSender();
    void interruptWithUnknownTag();
    void readsChannels_data();
    void readsChannels();
    void programThatCannotStart();
    void twoObserversOfOneEnd_data();
    void twoObserversOfOneEnd();
    void attachNothingLetsGo();
    void processDeletedWhileWatched();
    void replayFillsTheSheet();
    void realEncoderOnRealWindow();

  private:
    RecordingApplication application;
};

void LameProgressTest::initTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void LameProgressTest::sheetDescription_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("tag");
    for (const char *field : {"taskField", "positionField", "encoderVersionField", "modelVersionField",
                              "highPassField", "lowPassField", "remainingTime"})
        QTest::newRow(field) << field << "QLabel" << 0;
    QTest::newRow("progressBar") << "progressBar"
                                 << "QProgressBar" << 0;
    QTest::newRow("stopButton") << "stopButton"
                                << "QPushButton" << 1;
    QTest::newRow("skipButton") << "skipButton"
                                << "QPushButton" << 2;
}

void LameProgressTest::sheetDescription()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(int, tag);
    LameProgress progress;
    QVERIFY(progress.progressSheet());
    QVERIFY(!progress.progressSheet()->accessibleName().isEmpty());
    auto *control = progress.progressSheet()->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
    QCOMPARE(control->property("tag").toInt(), tag);
    QVERIFY(!control->accessibleName().isEmpty());
}

void LameProgressTest::sheetStates_data()
{
    // Steps: "A" / "B" attach to that window, "-" attach to none, "s" suspend, "r" resume,
    // "h" hide, "x" reset. The fields hold texts before the first step.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("suspended");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("shows");
    QTest::addColumn<int>("hides");
    QTest::addColumn<bool>("cleared");

    QTest::newRow("show") << "A"
                          << "A" << false << true << 1 << 0 << false;
    QTest::newRow("show twice on one window") << "A A"
                                              << "A" << false << true << 1 << 0 << false;
    QTest::newRow("suspend") << "A s"
                             << "A" << true << false << 1 << 1 << false;
    QTest::newRow("suspend twice") << "A s s"
                                   << "A" << true << false << 1 << 1 << false;
    QTest::newRow("resume while detached") << "r"
                                           << "-" << false << false << 0 << 0 << false;
    QTest::newRow("suspend while detached") << "s"
                                            << "-" << false << false << 0 << 0 << false;
    QTest::newRow("resume while shown") << "A r"
                                        << "A" << false << true << 1 << 0 << false;
    QTest::newRow("suspend, resume") << "A s r"
                                     << "A" << false << true << 2 << 1 << false;
    QTest::newRow("suspended, same window") << "A s A"
                                            << "A" << false << true << 2 << 1 << false;
    QTest::newRow("other window") << "A B"
                                  << "B" << false << true << 2 << 1 << false;
    QTest::newRow("suspended, other window") << "A s B"
                                             << "B" << false << true << 2 << 1 << false;
    QTest::newRow("hide") << "A h"
                          << "-" << false << false << 1 << 1 << true;
    QTest::newRow("hide while suspended") << "A s h"
                                          << "-" << false << false << 1 << 1 << true;
    QTest::newRow("hide while detached keeps texts") << "h"
                                                     << "-" << false << false << 0 << 0 << false;
    QTest::newRow("attach none") << "A -"
                                 << "-" << false << false << 1 << 1 << true;
    QTest::newRow("attach none while detached") << "-"
                                                << "-" << false << false << 0 << 0 << false;
    QTest::newRow("reset while detached") << "x"
                                          << "-" << false << false << 0 << 0 << true;
    QTest::newRow("reset keeps the sheet up") << "A x"
                                              << "A" << false << true << 1 << 0 << true;
    QTest::newRow("hidden, then another window") << "A s h B"
                                                 << "B" << false << true << 2 << 1 << true;
}

void LameProgressTest::sheetStates()
{
    QFETCH(QString, steps);
    QFETCH(QString, window);
    QFETCH(bool, suspended);
    QFETCH(bool, visible);
    QFETCH(int, shows);
    QFETCH(int, hides);
    QFETCH(bool, cleared);

    QWidget a, b;
    a.show();
    b.show();
    LameProgress progress;
    QDialog *sheet = progress.progressSheet();
    QVERIFY(sheet);
    VisibilityCounter counter;
    sheet->installEventFilter(&counter);

    const QVariantMap task{{kInputFileKey, "/in/a.wav"}, {kOutputFileKey, "/out/a.mp3"}};
    progress.setTask(&task);
    progress.setFile(1, 2);
    progress.processOutput(EncoderOutputParser::Stream::Error, "x\n"); // not watching: ignored
    for (const QString &step : steps.split(u' ')) {
        if (step == u"A")
            progress.attachToWindow(&a);
        else if (step == u"B")
            progress.attachToWindow(&b);
        else if (step == u"-")
            progress.attachToWindow(nullptr);
        else if (step == u"s")
            progress.suspend();
        else if (step == u"r")
            progress.resume();
        else if (step == u"h")
            progress.hide();
        else if (step == u"x")
            progress.reset();
    }

    QWidget *expected = window == u"A" ? &a : window == u"B" ? &b : nullptr;
    QCOMPARE(progress.docWindow(), expected);
    QCOMPARE(progress.isSuspended(), suspended);
    QCOMPARE(sheet->isVisible(), visible);
    QCOMPARE(counter.shows, shows);
    QCOMPARE(counter.hides, hides);
    if (visible) {
        QCOMPARE(sheet->parentWidget(), expected);
        QVERIFY(sheet->isWindow());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(QApplication::activeModalWidget(), sheet);
    }
    QCOMPARE(progress.taskText().isEmpty(), cleared);
    QCOMPARE(progress.positionText().isEmpty(), cleared);
}

void LameProgressTest::sheetSurvivesClosedWindowWhileDown()
{
    LameProgress progress;
    auto *first = new QWidget;
    first->show();
    progress.attachToWindow(first);
    progress.suspend();
    delete first;
    QVERIFY(progress.progressSheet());

    QWidget second;
    second.show();
    progress.attachToWindow(&second);
    QVERIFY(progress.progressSheet());
    QVERIFY(progress.progressSheet()->isVisible());
    QCOMPARE(progress.progressSheet()->parentWidget(), &second);
}

void LameProgressTest::escapeDoesNotTakeSheetDown()
{
    QWidget window;
    window.show();
    LameProgress progress;
    progress.attachToWindow(&window);
    QTest::keyClick(progress.progressSheet(), Qt::Key_Escape);
    QVERIFY(progress.progressSheet()->isVisible());
    QCOMPARE(progress.docWindow(), &window);
}

void LameProgressTest::setTask_data()
{
    QTest::addColumn<QVariantMap>("task");
    QTest::addColumn<bool>("none");
    QTest::addColumn<QString>("text");

    const QString before = QStringLiteral("Encoding \"old.wav\" as \"old.mp3\"");
    QTest::newRow("file names") << QVariantMap{{kInputFileKey, "/music/in/song.aiff"},
                                               {kOutputFileKey, "/music/out/song.mp3"}}
                                << false << "Encoding \"song.aiff\" as \"song.mp3\"";
    QTest::newRow("folder with trailing slash")
        << QVariantMap{{kInputFileKey, "/Volumes/CD/"}, {kOutputFileKey, "track.mp3"}} << false
        << "Encoding \"CD\" as \"track.mp3\"";
    QTest::newRow("no record") << QVariantMap{} << true << before;
    QTest::newRow("no output path") << QVariantMap{{kInputFileKey, "/a.wav"}} << false << before;
    QTest::newRow("no input path") << QVariantMap{{kOutputFileKey, "/a.mp3"}} << false << before;
    QTest::newRow("null input path") << QVariantMap{{kInputFileKey, QVariant()}, {kOutputFileKey, "/a.mp3"}}
                                     << false << before;
}

void LameProgressTest::setTask()
{
    QFETCH(QVariantMap, task);
    QFETCH(bool, none);
    QFETCH(QString, text);
    LameProgress progress;
    const QVariantMap old{{kInputFileKey, "/x/old.wav"}, {kOutputFileKey, "/y/old.mp3"}};
    progress.setTask(&old);
    progress.setTask(none ? nullptr : &task);
    QCOMPARE(progress.taskText(), text);
}

void LameProgressTest::setFile_data()
{
    QTest::addColumn<uint>("position");
    QTest::addColumn<uint>("total");
    QTest::addColumn<QString>("text");
    QTest::newRow("3 of 10") << 3u << 10u << "File 3 of 10";
    QTest::newRow("largest") << 4294967295u << 4294967295u << "File 4294967295 of 4294967295";
}

void LameProgressTest::setFile()
{
    QFETCH(uint, position);
    QFETCH(uint, total);
    QFETCH(QString, text);
    LameProgress progress;
    progress.setFile(position, total);
    QCOMPARE(progress.positionText(), text);
}

void LameProgressTest::interruptButtons_data()
{
    QTest::addColumn<QString>("delegate");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("call");

    QTest::newRow("stop") << "full"
                          << "stopButton"
                          << "stop";
    QTest::newRow("skip") << "full"
                          << "skipButton"
                          << "skip";
    QTest::newRow("stop, stop only") << "stopOnly"
                                     << "stopButton"
                                     << "stop";
    QTest::newRow("skip, stop only") << "stopOnly"
                                     << "skipButton"
                                     << "";
    QTest::newRow("stop, plain object") << "plain"
                                        << "stopButton"
                                        << "";
    QTest::newRow("stop, no delegate") << "none"
                                       << "stopButton"
                                       << "";
    QTest::newRow("stop, delegate gone") << "gone"
                                         << "stopButton"
                                         << "";
}

void LameProgressTest::interruptButtons()
{
    QFETCH(QString, delegate);
    QFETCH(QString, button);
    QFETCH(QString, call);

    QWidget window;
    window.show();
    LameProgress progress;
    FullDelegate full;
    StopOnlyDelegate stopOnly;
    QObject plain;
    if (delegate == u"full")
        progress.setDelegate(&full);
    else if (delegate == u"stopOnly")
        progress.setDelegate(&stopOnly);
    else if (delegate == u"plain")
        progress.setDelegate(&plain);
    else if (delegate == u"gone") {
        auto *gone = new FullDelegate;
        progress.setDelegate(gone);
        delete gone;
    }
    progress.attachToWindow(&window);

    auto *control = progress.progressSheet()->findChild<QPushButton *>(button);
    QVERIFY(control);
    QVERIFY(!control->accessibleName().isEmpty());
    QTest::mouseClick(control, Qt::LeftButton);

    const QStringList calls = full.calls + stopOnly.calls;
    QCOMPARE(calls, call.isEmpty() ? QStringList() : QStringList{call});
    if (!full.arguments.isEmpty())
        QCOMPARE(full.arguments.first(), &progress);
}

void LameProgressTest::interruptFromSignalSender()
{
    LameProgress progress;
    FullDelegate delegate;
    progress.setDelegate(&delegate);
    QPushButton skip;
    skip.setProperty("tag", 2);
    connect(&skip, SIGNAL(clicked()), &progress, SLOT(interruptProcess()));
    skip.click();
    QCOMPARE(delegate.calls, QStringList{"skip"});
    QCOMPARE(delegate.arguments.value(0), &progress);
}

void LameProgressTest::interruptWithUnknownTag()
{
    LameProgress progress;
    FullDelegate delegate;
    progress.setDelegate(&delegate);
    QPushButton other;
    other.setProperty("tag", 7);
    QTest::ignoreMessage(QtWarningMsg, "Error: corrupt nib file");
    progress.interruptProcess(&other);
    QVERIFY(delegate.calls.isEmpty());
}

void LameProgressTest::readsChannels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("toFiles");
    QTest::addColumn<QString>("output");

    const QString both = QStringLiteral("LAME 3.100 64bits\nUsing polyphase lowpass filter, transition band: "
                                        "1 Hz - 2 Hz\n");
    QTest::newRow("separate channels") << int(QProcess::SeparateChannels) << false << both;
    QTest::newRow("merged channels") << int(QProcess::MergedChannels) << false << both;
    QTest::newRow("channels sent to files") << int(QProcess::SeparateChannels) << true << "";
    QTest::newRow("channels forwarded") << int(QProcess::ForwardedChannels) << false << "";
}

void LameProgressTest::readsChannels()
{
    QFETCH(int, mode);
    QFETCH(bool, toFiles);
    QFETCH(QString, output);

    // The version goes to standard output and the band to standard error, one after the other.
    QProcess tool;
    tool.setProgram(QStringLiteral("/bin/sh"));
    tool.setArguments({"-c", "printf 'LAME 3.100 64bits\\n'; sleep 0.2; "
                             "printf 'Using polyphase lowpass filter, transition band: 1 Hz - 2 Hz\\n' >&2"});
    tool.setProcessChannelMode(QProcess::ProcessChannelMode(mode));
    QTemporaryDir folder;
    if (toFiles) {
        tool.setStandardOutputFile(folder.filePath("out"));
        tool.setStandardErrorFile(folder.filePath("err"));
    }
    LameProgress progress;
    progress.attachToTool(&tool);
    QCOMPARE(application.log, QStringList{"command:/bin/sh"});
    QSignalSpy finished(&tool, &QProcess::finished);
    tool.start();
    QVERIFY(finished.wait(10000));

    QCOMPARE(application.output(), output);
    QCOMPARE(application.log.first(), QStringLiteral("command:/bin/sh"));
    QCOMPARE(progress.encoderVersionText(),
             output.isEmpty() ? QString() : QStringLiteral("LAME version 3.100"));
    QCOMPARE(progress.lowPassText().isEmpty(), output.isEmpty());
    QCOMPARE(progress.tool(), nullptr);
}

void LameProgressTest::programThatCannotStart()
{
    QProcess tool;
    tool.setProgram(QStringLiteral("/nonexistent/lame"));
    LameProgress progress;
    progress.attachToTool(&tool);
    QCOMPARE(progress.tool(), &tool);
    QSignalSpy failed(&tool, &QProcess::errorOccurred);
    tool.start();
    QVERIFY(failed.count() == 1 || failed.wait(10000));
    QCOMPARE(progress.tool(), nullptr);
    QCOMPARE(application.log, QStringList{"command:/nonexistent/lame"});
}

void LameProgressTest::twoObserversOfOneEnd_data()
{
    QTest::addColumn<bool>("controllerFirst");
    QTest::newRow("controller observes first") << true;
    QTest::newRow("progress observes first") << false;
}

void LameProgressTest::twoObserversOfOneEnd()
{
    // The document controller resets the progress controller when a process ends and attaches
    // the next one at once; the progress controller's own handler of that end may come before
    // or after it, and must neither let go of the next process nor miss its output.
    QFETCH(bool, controllerFirst);
    LameProgress progress;
    QProcess first, second;
    first.setProgram(QStringLiteral("/bin/sh"));
    first.setArguments({"-c", "printf 'LAME 1.0 first\\n' >&2"});
    second.setProgram(QStringLiteral("/bin/sh"));
    second.setArguments({"-c", "sleep 0.2; printf 'LAME 2.0 second\\n' >&2"});

    auto next = [&] {
        progress.reset();
        progress.attachToTool(&second);
        second.start();
    };
    if (controllerFirst)
        connect(&first, &QProcess::finished, this, next);
    progress.attachToTool(&first);
    if (!controllerFirst)
        connect(&first, &QProcess::finished, this, next);

    QSignalSpy secondFinished(&second, &QProcess::finished);
    first.start();
    QVERIFY(secondFinished.wait(10000));
    QCOMPARE(progress.encoderVersionText(), QStringLiteral("LAME version 2.0"));
    QCOMPARE(application.output(), QStringLiteral("LAME 1.0 first\nLAME 2.0 second\n"));
    QCOMPARE(progress.tool(), nullptr);
}

void LameProgressTest::attachNothingLetsGo()
{
    QProcess tool;
    tool.setProgram(QStringLiteral("/bin/sh"));
    tool.setArguments({"-c", "printf 'LAME 1.0\\n' >&2"});
    LameProgress progress;
    progress.attachToTool(&tool);
    progress.attachToTool(nullptr);
    QCOMPARE(progress.tool(), nullptr);
    QSignalSpy finished(&tool, &QProcess::finished);
    tool.start();
    QVERIFY(finished.wait(10000));
    QCOMPARE(application.log, QStringList{"command:/bin/sh"});
    QCOMPARE(progress.encoderVersionText(), QString());
}

void LameProgressTest::processDeletedWhileWatched()
{
    // A document controller may delete its process when it ends, before this controller hears
    // of the end.
    LameProgress progress;
    auto *tool = new QProcess;
    progress.attachToTool(tool);
    progress.processOutput(EncoderOutputParser::Stream::Error, "LAME 3.100 \xE2\x82");
    delete tool;
    QCOMPARE(progress.tool(), nullptr);
    progress.reset();
    QCOMPARE(application.output(), QStringLiteral("LAME 3.100 \uFFFD\uFFFD"));
    QProcess next;
    progress.attachToTool(&next);
    QCOMPARE(progress.tool(), &next);
}

void LameProgressTest::replayFillsTheSheet()
{
    const auto chunks =
        EncoderTranscript::load(QStringLiteral(ORVIK_TEST_DATA "/transcripts/highpass_lowpass.txt"));
    QVERIFY(!chunks.isEmpty());
    QProcess tool;
    LameProgress progress;
    progress.attachToTool(&tool);
    for (const EncoderTranscript::Chunk &chunk : chunks)
        progress.processOutput(chunk.stream, chunk.bytes);
    QCOMPARE(progress.encoderVersionText(), QStringLiteral("LAME version 3.100"));
    QCOMPARE(progress.modelVersionText(), QString());
    QCOMPARE(progress.highPassText(), QStringLiteral("Lower transition band: 516 Hz - 903 Hz"));
    QCOMPARE(progress.lowPassText(), QStringLiteral("Upper transition band: 15097 Hz - 15484 Hz"));
    QCOMPARE(progress.remainingTimeText(), QStringLiteral("ETA: 0:00 (100%)"));
    QCOMPARE(progress.progress(), 1.0);

    progress.reset();
    for (const QString &text : {progress.taskText(), progress.positionText(), progress.encoderVersionText(),
                                progress.modelVersionText(), progress.highPassText(), progress.lowPassText(),
                                progress.remainingTimeText()})
        QCOMPARE(text, QString());
    QCOMPARE(progress.progress(), 0.0);
    QCOMPARE(progress.tool(), nullptr);
}

void LameProgressTest::realEncoderOnRealWindow()
{
    const QString lame = Resources::pathForResource(QStringLiteral("lame"));
    QVERIFY2(!lame.isEmpty(), "the encoder launcher resources/encoder/lame is not in the build tree");
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("tone.wav"));
    const QString output = folder.filePath(QStringLiteral("tone.mp3"));
    QCOMPARE(QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", input,
                                                       "synth", "20", "sine", "440"}),
             0);

    QWidget window;
    window.resize(600, 400);
    window.show();
    LameProgress progress;
    const QVariantMap task{{kInputFileKey, input}, {kOutputFileKey, output}};
    progress.setTask(&task);
    progress.setFile(1, 1);

    QProcess tool;
    tool.setProgram(lame);
    tool.setArguments({"-b", "128", input, output});
    progress.attachToTool(&tool);
    progress.attachToWindow(&window);
    QSignalSpy finished(&tool, &QProcess::finished);
    tool.start();
    QVERIFY(finished.wait(60000));

    QVERIFY(progress.progressSheet()->isVisible());
    QCOMPARE(progress.progressSheet()->parentWidget(), &window);
    QCOMPARE(progress.taskText(), QStringLiteral("Encoding \"tone.wav\" as \"tone.mp3\""));
    QCOMPARE(progress.encoderVersionText(), QStringLiteral("LAME version 3.100"));
    QCOMPARE(progress.lowPassText(), QStringLiteral("Upper transition band: 16538 Hz - 17071 Hz"));
    QCOMPARE(progress.highPassText(), QString());
    QCOMPARE(progress.progress(), 1.0);
    QVERIFY2(progress.remainingTimeText().endsWith(QLatin1String("(100%)")),
             qPrintable(progress.remainingTimeText()));
    QCOMPARE(application.log.first(), QStringLiteral("command:") + lame);
    QVERIFY(application.output().contains(QLatin1String("LAME 3.100")));
    QVERIFY(QFileInfo(output).size() > 0);
    QCOMPARE(progress.tool(), nullptr);
}

QTEST_MAIN(LameProgressTest)
#include "tst_LameProgress.moc"
