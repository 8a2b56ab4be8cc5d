// The progress sheet as the user sees it: the texts it makes of what the encoder says, its states
// on real windows, its Stop and Skip buttons, and real processes, the real encoder among them.
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/widgets/CommandLogSink.h"
#include "support/AudioFiles.h"

#include <QApplication>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {
// Stands in for the command log: records what reaches it.
class RecordingApplication : public CommandLogSink
{
  public:
    QStringList commands;
    QString output;
    void logCommand(const QProcess *task) override { commands << task->program(); }
    void logOutput(const QString &text) override { output += text; }
};

using Stream = EncoderOutputParser::Stream;

void setScript(QProcess &process, const char *script)
{
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({"-c", script});
}

QStringList sheetTexts(const LameProgress &p)
{
    return {p.taskText(),     p.positionText(), p.encoderVersionText(), p.modelVersionText(),
            p.highPassText(), p.lowPassText(),  p.remainingTimeText()};
}

// What the encoder says of every detail, the last record without a time left.
const QByteArray everyDetail =
    "LAME 3.100\nGPSYCHO: model version 0.93. \npolyphase lowpass filter disabled\n"
    "Using polyphase highpass filter, transition band: 4294967297 Hz - 2 Hz\n"
    "   150/600    (25%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 \r"
    "   300/600\r";
} // namespace

class LameProgressTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void sheetStates_data()
    {
        // Steps: A/B attach to that window, - attach to none, s suspend, r resume, h hide, x reset,
        // d delete window A. Every text is filled before the steps.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<char>("window");
        QTest::addColumn<char>("state"); // u up, s suspended, d down
        QTest::addColumn<bool>("cleared");
        QTest::newRow("suspend twice") << "Ass" << 'A' << 's' << false;
        QTest::newRow("suspend, resume while detached") << "sr" << '-' << 'd' << false;
        QTest::newRow("resume while shown") << "Ar" << 'A' << 'u' << false;
        QTest::newRow("suspend, resume") << "Asr" << 'A' << 'u' << false;
        QTest::newRow("suspended, same window") << "AsA" << 'A' << 'u' << false;
        QTest::newRow("other window") << "AB" << 'B' << 'u' << false;
        QTest::newRow("suspended, other window") << "AsB" << 'B' << 'u' << false;
        QTest::newRow("window closed while down") << "AsdB" << 'B' << 'u' << false;
        QTest::newRow("hide") << "Ah" << '-' << 'd' << true;
        QTest::newRow("hide while suspended") << "Ash" << '-' << 'd' << true;
        QTest::newRow("hide while detached keeps texts") << "h" << '-' << 'd' << false;
        QTest::newRow("attach none") << "A-" << '-' << 'd' << true;
        QTest::newRow("reset keeps the sheet up") << "Ax" << 'A' << 'u' << true;
        QTest::newRow("hidden, then another window") << "AshB" << 'B' << 'u' << true;
    }

    void sheetStates()
    {
        QFETCH(QString, steps);
        QFETCH(char, window);
        QFETCH(char, state);
        QFETCH(bool, cleared);
        auto a = std::make_unique<QWidget>();
        QWidget b;
        a->show();
        b.show();
        LameProgress progress;
        QDialog *sheet = progress.progressSheet();
        const QVariantMap task{{kInputFileKey, "/Volumes/CD/"}, {kOutputFileKey, "/out/a.mp3"}};
        progress.setTask(&task);
        progress.setFile(3, 10);
        QProcess tool;
        progress.attachToTool(&tool);
        progress.processOutput(Stream::Error, everyDetail);
        const QStringList filled{"Encoding \"CD\" as \"a.mp3\"",
                                 "File 3 of 10",
                                 "LAME version 3.100",
                                 "GPSYCHO version 0.93",
                                 "Lower transition band: 1 Hz - 2 Hz",
                                 "Warning: Low pass filter disabled",
                                 "ETA: 0:03 (25%)"};
        const QHash<QChar, std::function<void()>> actions{{'A', [&] { progress.attachToWindow(a.get()); }},
                                                          {'B', [&] { progress.attachToWindow(&b); }},
                                                          {'-', [&] { progress.attachToWindow(nullptr); }},
                                                          {'s', [&] { progress.suspend(); }},
                                                          {'r', [&] { progress.resume(); }},
                                                          {'h', [&] { progress.hide(); }},
                                                          {'x', [&] { progress.reset(); }},
                                                          {'d', [&] { a.reset(); }}};
        for (QChar step : steps)
            actions[step]();

        QWidget *expected = window == 'A' ? a.get() : window == 'B' ? &b : nullptr;
        QCOMPARE(progress.docWindow(), expected);
        QCOMPARE(progress.isSuspended(), state == 's');
        QCOMPARE(sheet->isVisible(), state == 'u');
        QCOMPARE(QApplication::activeModalWidget(), state == 'u' ? sheet : nullptr);
        QCOMPARE(sheetTexts(progress), cleared ? QStringList(7) : filled);
        QCOMPARE(progress.progress(), cleared ? 0.0 : 0.5);
        for (const QLabel *label : sheet->findChildren<QLabel *>())
            QVERIFY2(label->text().isEmpty() || label->isVisibleTo(sheet), qPrintable(label->text()));
        QCOMPARE(progress.tool(), cleared ? nullptr : &tool);
    }

    void stopAndSkip()
    {
        QWidget window;
        window.show();
        LameProgress progress;
        progress.attachToWindow(&window);
        QSignalSpy stopped(&progress, &LameProgress::stopRequested);
        QSignalSpy skipped(&progress, &LameProgress::skipRequested);
        QDialog *sheet = progress.progressSheet();
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTest::ignoreMessage(QtWarningMsg, "Error: corrupt nib file");
        QPushButton other;
        progress.interruptProcess(&other);
        QCOMPARE(stopped.count() + skipped.count(), 0);
        QTest::mouseClick(sheet->findChild<QPushButton *>("stopButton"), Qt::LeftButton);
        QCOMPARE(stopped, QList<QVariantList>{{QVariant::fromValue(&progress)}});
        QTest::mouseClick(sheet->findChild<QPushButton *>("skipButton"), Qt::LeftButton);
        QCOMPARE(skipped, QList<QVariantList>{{QVariant::fromValue(&progress)}});
        // The document controller takes the sheet down when it asks its question; nothing else does.
        QVERIFY(sheet->isVisible());
    }

    void watchesProcesses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("shown"); // the version, the high pass, the low pass, the time left
        QTest::newRow("both channels")
            << "script" << QStringList{"LAME version 3.100", "Warning: High pass filter disabled", "", ""};
        QTest::newRow("let go before the start") << "let go" << QStringList(4);
        QTest::newRow("program cannot start") << "cannot start" << QStringList(4);
        QTest::newRow("the real encoder")
            << "lame"
            << QStringList{"LAME version 3.100", "", "Upper transition band: 16538 Hz - 17071 Hz",
                           "ETA: 0:00 (100%)"};
    }

    void watchesProcesses()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, shown);
        RecordingApplication application;
        QTemporaryDir folder;
        // One line on standard output, then one on standard error.
        QProcess tool;
        setScript(tool,
                  "printf 'LAME 3.100\\n'; sleep 0.2; printf 'Warning: highpass filter disabled.\\n' >&2");
        if (how == u"cannot start")
            tool.setProgram(QStringLiteral("/nonexistent/lame"));
        if (how == u"lame") {
            tool.setProgram(Resources::pathForResource(QStringLiteral("lame")));
            tool.setArguments({"-b", "128", folder.filePath("tone.wav"), folder.filePath("tone.mp3")});
            QVERIFY2(!tool.program().isEmpty(), "the encoder launcher is not in the build tree");
            QVERIFY(AudioFiles::makeSine(folder.filePath("tone.wav"), 3));
        }
        LameProgress progress;
        progress.attachToTool(&tool);
        if (how == u"let go")
            progress.attachToTool(nullptr);
        QSignalSpy ended(&tool, how == u"cannot start" ? SIGNAL(errorOccurred(QProcess::ProcessError))
                                                       : SIGNAL(finished(int, QProcess::ExitStatus)));
        tool.start();
        QVERIFY(ended.count() == 1 || ended.wait(60000));
        QCOMPARE(application.commands, QStringList{tool.program()});
        QCOMPARE(application.output.count(QLatin1String("LAME 3.100")), shown.constFirst().isEmpty() ? 0 : 1);
        QCOMPARE(QStringList({progress.encoderVersionText(), progress.highPassText(), progress.lowPassText(),
                              progress.remainingTimeText()}),
                 shown);
        QCOMPARE(progress.tool(), nullptr);
    }

    void twoObserversOfOneEnd_data()
    {
        QTest::addColumn<bool>("controllerFirst");
        QTest::newRow("controller observes first") << true;
        QTest::newRow("progress observes first") << false;
    }

    void twoObserversOfOneEnd()
    {
        // The document controller resets the progress controller when a process ends and attaches
        // the next one at once; whichever handler of that end runs first, the next one is watched.
        QFETCH(bool, controllerFirst);
        RecordingApplication application;
        LameProgress progress;
        QProcess first, second;
        setScript(first, "printf 'LAME 1.0 first\\n' >&2");
        setScript(second, "sleep 0.2; printf 'LAME 2.0 second\\n' >&2");
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
        QCOMPARE(application.output, QStringLiteral("LAME 1.0 first\nLAME 2.0 second\n"));
        QCOMPARE(progress.tool(), nullptr);
    }
};

QTEST_MAIN(LameProgressTest)
#include "tst_LameProgress.moc"
