// The progress controller: the sheet's states on real windows, the Stop and Skip buttons, and real
// processes (channels, ends, two observers, the real encoder).
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/widgets/CommandLogSink.h"
#include "support/AudioFiles.h"

#include <QApplication>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
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

class VisibilityCounter : public QObject
{
  public:
    int shows = 0, hides = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        shows += event->type() == QEvent::Show;
        hides += event->type() == QEvent::Hide;
        return false;
    }
};

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
} // namespace

class Delegate : public QObject
{
    Q_OBJECT
  public:
    QList<LameProgress *> stops, skips;
  public slots:
    void stopProcess(LameProgress *progress) { stops << progress; }
    void skipTask(LameProgress *progress) { skips << progress; }
};

class LameProgressTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void sheetStates_data()
    {
        // Steps: A/B attach to that window, - attach to none, s suspend, r resume, h hide, x reset,
        // d delete window A, e press Escape on the sheet. Every field is filled before the steps.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<char>("window");
        QTest::addColumn<char>("state"); // u up, s suspended, d down
        QTest::addColumn<int>("shows");
        QTest::addColumn<int>("hides");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("show") << "A" << 'A' << 'u' << 1 << 0 << false;
        QTest::newRow("show twice on one window") << "AA" << 'A' << 'u' << 1 << 0 << false;
        QTest::newRow("suspend twice") << "Ass" << 'A' << 's' << 1 << 1 << false;
        QTest::newRow("suspend, resume while detached") << "sr" << '-' << 'd' << 0 << 0 << false;
        QTest::newRow("resume while shown") << "Ar" << 'A' << 'u' << 1 << 0 << false;
        QTest::newRow("suspend, resume") << "Asr" << 'A' << 'u' << 2 << 1 << false;
        QTest::newRow("suspended, same window") << "AsA" << 'A' << 'u' << 2 << 1 << false;
        QTest::newRow("other window") << "AB" << 'B' << 'u' << 2 << 1 << false;
        QTest::newRow("suspended, other window") << "AsB" << 'B' << 'u' << 2 << 1 << false;
        QTest::newRow("window closed while down") << "AsdB" << 'B' << 'u' << 2 << 1 << false;
        QTest::newRow("Escape keeps the sheet up") << "Ae" << 'A' << 'u' << 1 << 0 << false;
        QTest::newRow("hide") << "Ah" << '-' << 'd' << 1 << 1 << true;
        QTest::newRow("hide while suspended") << "Ash" << '-' << 'd' << 1 << 1 << true;
        QTest::newRow("hide while detached keeps texts") << "h" << '-' << 'd' << 0 << 0 << false;
        QTest::newRow("attach none") << "A-" << '-' << 'd' << 1 << 1 << true;
        QTest::newRow("reset while detached") << "x" << '-' << 'd' << 0 << 0 << true;
        QTest::newRow("reset keeps the sheet up") << "Ax" << 'A' << 'u' << 1 << 0 << true;
        QTest::newRow("hidden, then another window") << "AshB" << 'B' << 'u' << 2 << 1 << true;
    }

    void sheetStates()
    {
        QFETCH(QString, steps);
        QFETCH(char, window);
        QFETCH(char, state);
        QFETCH(int, shows);
        QFETCH(int, hides);
        QFETCH(bool, cleared);

        auto a = std::make_unique<QWidget>();
        QWidget b;
        a->show();
        b.show();
        LameProgress progress;
        QDialog *sheet = progress.progressSheet();
        QVERIFY(sheet);
        VisibilityCounter counter;
        sheet->installEventFilter(&counter);
        const QVariantMap task{{kInputFileKey, "/Volumes/CD/"}, {kOutputFileKey, "/out/a.mp3"}};
        progress.setTask(&task);
        QCOMPARE(progress.taskText(), QStringLiteral("Encoding \"CD\" as \"a.mp3\""));
        progress.setFile(1, 2);
        QProcess tool;
        progress.attachToTool(&tool);
        progress.processOutput(
            EncoderOutputParser::Stream::Error,
            "LAME 3.100\nGPSYCHO: model version 0.93. \n"
            "Using polyphase highpass filter, transition band: 1 Hz - 2 Hz\n"
            "Using polyphase lowpass filter, transition band: 3 Hz - 4 Hz\n"
            "   150/600    (25%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 \r");
        QVERIFY(!sheetTexts(progress).contains(QString()));
        QCOMPARE(progress.progress(), 0.25);

        const QHash<QChar, std::function<void()>> actions{
            {'A', [&] { progress.attachToWindow(a.get()); }},
            {'B', [&] { progress.attachToWindow(&b); }},
            {'-', [&] { progress.attachToWindow(nullptr); }},
            {'s', [&] { progress.suspend(); }},
            {'r', [&] { progress.resume(); }},
            {'h', [&] { progress.hide(); }},
            {'x', [&] { progress.reset(); }},
            {'d', [&] { a.reset(); }},
            {'e', [&] { QTest::keyClick(sheet, Qt::Key_Escape); }}};
        for (QChar step : steps)
            actions[step]();

        QWidget *expected = window == 'A' ? a.get() : window == 'B' ? &b : nullptr;
        QCOMPARE(progress.docWindow(), expected);
        QCOMPARE(progress.isSuspended(), state == 's');
        QCOMPARE(progress.progressSheet(), sheet);
        QCOMPARE(sheet->isVisible(), state == 'u');
        QCOMPARE(counter.shows, shows);
        QCOMPARE(counter.hides, hides);
        if (state == 'u') {
            QCOMPARE(sheet->parentWidget(), expected);
            QCOMPARE(QApplication::activeModalWidget(), sheet);
        }
        QCOMPARE(sheetTexts(progress).count(QString()), cleared ? 7 : 0);
        QCOMPARE(progress.progress(), cleared ? 0.0 : 0.25);
        QCOMPARE(progress.tool(), cleared ? nullptr : &tool);
    }

    void interruptButtons_data()
    {
        QTest::addColumn<QString>("delegate");
        QTest::addColumn<int>("tag"); // 1 the Stop button, 2 the Skip button, else another control
        QTest::addColumn<QString>("call");
        QTest::newRow("stop") << "full" << 1 << "stop";
        QTest::newRow("skip") << "full" << 2 << "skip";
        QTest::newRow("stop, delegate lacks the slot") << "plain" << 1 << "";
        QTest::newRow("stop, no delegate") << "none" << 1 << "";
        QTest::newRow("stop, delegate gone") << "gone" << 1 << "";
        QTest::newRow("unknown tag") << "full" << 7 << "";
    }

    void interruptButtons()
    {
        QFETCH(QString, delegate);
        QFETCH(int, tag);
        QFETCH(QString, call);
        QWidget window;
        window.show();
        LameProgress progress;
        Delegate full;
        QObject plain;
        if (delegate == u"full")
            progress.setDelegate(&full);
        else if (delegate == u"plain")
            progress.setDelegate(&plain);
        else if (delegate == u"gone")
            progress.setDelegate(std::make_unique<Delegate>().get());
        progress.attachToWindow(&window);

        QTest::failOnWarning(QRegularExpression(".")); // such as one of calling a slot the delegate lacks
        QPushButton other;
        other.setProperty("tag", tag);
        if (tag == 1 || tag == 2) {
            QTest::mouseClick(
                progress.progressSheet()->findChild<QPushButton *>(tag == 1 ? "stopButton" : "skipButton"),
                Qt::LeftButton);
        } else {
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt nib file");
            progress.interruptProcess(&other);
        }
        const QList<LameProgress *> once{&progress}, never;
        QCOMPARE(full.stops, call == u"stop" ? once : never);
        QCOMPARE(full.skips, call == u"skip" ? once : never);
    }

    void readsChannels_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("output");
        const QString both =
            QStringLiteral("LAME 3.100\nUsing polyphase lowpass filter, transition band: 1 Hz - 2 Hz\n");
        QTest::newRow("separate channels") << "separate" << both;
        QTest::newRow("merged channels") << "merged" << both;
        QTest::newRow("channels sent to files") << "files" << QString();
        QTest::newRow("let go before the start") << "let go" << QString();
        QTest::newRow("program cannot start") << "cannot start" << QString();
    }

    void readsChannels()
    {
        QFETCH(QString, how);
        QFETCH(QString, output);
        RecordingApplication application;
        // The version goes to standard output and the band to standard error, one after the other.
        QProcess tool;
        setScript(tool, "printf 'LAME 3.100\\n'; sleep 0.2; "
                        "printf 'Using polyphase lowpass filter, transition band: 1 Hz - 2 Hz\\n' >&2");
        if (how == u"merged")
            tool.setProcessChannelMode(QProcess::MergedChannels);
        else if (how == u"cannot start")
            tool.setProgram(QStringLiteral("/nonexistent/lame"));
        QTemporaryDir folder;
        if (how == u"files") {
            tool.setStandardOutputFile(folder.filePath("out"));
            tool.setStandardErrorFile(folder.filePath("err"));
        }
        LameProgress progress;
        progress.attachToTool(&tool);
        if (how == u"let go")
            progress.attachToTool(nullptr);
        QSignalSpy ended(&tool, how == u"cannot start" ? SIGNAL(errorOccurred(QProcess::ProcessError))
                                                       : SIGNAL(finished(int, QProcess::ExitStatus)));
        tool.start();
        QVERIFY(ended.count() == 1 || ended.wait(10000));
        QCOMPARE(application.commands, QStringList{tool.program()});
        QCOMPARE(application.output, output);
        QCOMPARE(progress.encoderVersionText(),
                 output.isEmpty() ? QString() : QStringLiteral("LAME version 3.100"));
        QCOMPARE(progress.lowPassText().isEmpty(), output.isEmpty());
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
        RecordingApplication application;
        // The document controller resets the progress controller when a process ends and attaches
        // the next one at once; whichever handler of that end runs first, the next one is watched.
        QFETCH(bool, controllerFirst);
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

    void realEncoder()
    {
        RecordingApplication application;
        const QString lame = Resources::pathForResource(QStringLiteral("lame"));
        QVERIFY2(!lame.isEmpty(), "the encoder launcher resources/encoder/lame is not in the build tree");
        QTemporaryDir folder;
        const QString input = folder.filePath("tone.wav"), output = folder.filePath("tone.mp3");
        QVERIFY(AudioFiles::makeSine(input, 3));
        LameProgress progress;
        QProcess tool;
        tool.setProgram(lame);
        tool.setArguments({"-b", "128", input, output});
        progress.attachToTool(&tool);
        QSignalSpy finished(&tool, &QProcess::finished);
        tool.start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(progress.encoderVersionText(), QStringLiteral("LAME version 3.100"));
        QCOMPARE(progress.lowPassText(), QStringLiteral("Upper transition band: 16538 Hz - 17071 Hz"));
        QCOMPARE(progress.progress(), 1.0);
        QVERIFY2(progress.remainingTimeText().endsWith(QLatin1String("(100%)")),
                 qPrintable(progress.remainingTimeText()));
        QCOMPARE(application.commands, QStringList{lame});
        QVERIFY(QFileInfo(output).size() > 0);
        QCOMPARE(progress.tool(), nullptr);
    }
};

QTEST_MAIN(LameProgressTest)
#include "tst_LameProgress.moc"
