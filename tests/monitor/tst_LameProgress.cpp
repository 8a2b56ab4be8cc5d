// The progress sheet as the user sees it: the texts it makes of what the encoder says, its states
// on real windows, and real processes, the real encoder among them.
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/Sheets.h"
#include "support/AudioFiles.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
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

// Every text of the sheet, joined by "|".
QString sheetTexts(const LameProgress &p)
{
    return QStringList{p.taskText(),     p.positionText(), p.encoderVersionText(), p.modelVersionText(),
                       p.highPassText(), p.lowPassText(),  p.remainingTimeText()}
        .join(u'|');
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
        // d delete window A, e press Escape on the sheet, q ask a question on window A, a answer
        // it. Every text is filled before the steps. Then: the window it is on (A, B or -), the
        // sheet u up, s suspended, d down or w waiting under the question, c cleared.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("then");
        const auto row = [](const char *name, const char *steps, const char *then) {
            QTest::newRow(name) << QString(steps) << QString(then);
        };
        row("suspend twice", "Ass", "As");
        row("suspend, resume while detached", "sr", "-d");
        row("resume while shown", "Ar", "Au");
        row("suspend, resume", "Asr", "Au");
        row("suspended, same window", "AsA", "Au");
        row("other window", "AB", "Bu");
        row("suspended, other window", "AsB", "Bu");
        row("window closed while down", "AsdB", "Bu");
        row("hide", "Ah", "-dc");
        row("hide while suspended", "Ash", "-dc");
        row("hide while detached keeps texts", "h", "-d");
        row("attach none", "A-", "-dc");
        row("reset keeps the sheet up", "Ax", "Auc");
        row("hidden, then another window", "AshB", "Buc");
        // Escape never takes the sheet down: only the document controller does.
        row("Escape", "Ae", "Au");
        // A question stays on top and answerable, whatever asks for the sheet while it is up.
        row("question before the first sheet", "qA", "Aw");
        row("resumed under a question", "Asqr", "Aw");
        row("question answered: the sheet comes", "Asqra", "Au");
        row("first sheet after the answer", "qAa", "Au");
        row("suspended again before the answer", "Asqrsa", "As");
        row("hidden before the answer", "Asqrha", "-dc");
        row("question on another window", "Bsqr", "Bu");
    }
    void sheetStates()
    {
        QFETCH(QString, steps);
        QFETCH(QString, then);
        auto a = std::make_unique<QWidget>();
        QWidget b;
        a->show();
        b.show();
        LameProgress progress;
        QDialog *sheet = progress.progressSheet();
        QPointer<QMessageBox> question;
        const QVariantMap task{{kInputFileKey, "/Volumes/CD/"}, {kOutputFileKey, "/out/a.mp3"}};
        progress.setTask(&task);
        progress.setFile(3, 10);
        QProcess tool;
        progress.attachToTool(&tool);
        progress.processOutput(Stream::Error, everyDetail);
        const QHash<QChar, std::function<void()>> actions{
            {'A', [&] { progress.attachToWindow(a.get()); }},
            {'B', [&] { progress.attachToWindow(&b); }},
            {'-', [&] { progress.attachToWindow(nullptr); }},
            {'s', [&] { progress.suspend(); }},
            {'r', [&] { progress.resume(); }},
            {'h', [&] { progress.hide(); }},
            {'x', [&] { progress.reset(); }},
            {'d', [&] { a.reset(); }},
            {'e', [&] { QTest::keyClick(sheet, Qt::Key_Escape); }},
            {'q',
             [&] { question = Sheets::beginAlertSheet(a.get(), "Go on?", "Go On", {}, {}, "", nullptr); }},
            {'a', [&] { question->defaultButton()->click(); }}};
        for (QChar step : steps)
            actions[step]();

        const bool cleared = then.endsWith(u'c');
        QCOMPARE(progress.docWindow(), then[0] == u'A' ? a.get() : then[0] == u'B' ? &b : nullptr);
        QCOMPARE(progress.isSuspended(), then[1] == u's');
        // The sheet comes once the question has gone, from the event loop.
        QCoreApplication::processEvents();
        QCOMPARE(sheet->isVisible(), then[1] == u'u');
        QCOMPARE(QApplication::activeModalWidget(), then[1] == u'u'   ? sheet
                                                    : then[1] == u'w' ? question.data()
                                                                      : nullptr);
        QCOMPARE(sheetTexts(progress), cleared
                                           ? "||||||"
                                           : "Encoding \"CD\" as \"a.mp3\"|File 3 of 10|LAME version 3.100|"
                                             "GPSYCHO version 0.93|Lower transition band: 1 Hz - 2 Hz|"
                                             "Warning: Low pass filter disabled|ETA: 0:03 (25%)");
        QCOMPARE(progress.progress(), cleared ? 0.0 : 0.5);
        for (const QLabel *label : sheet->findChildren<QLabel *>())
            QVERIFY2(label->text().isEmpty() || label->isVisibleTo(sheet), qPrintable(label->text()));
        QCOMPARE(progress.tool(), cleared ? nullptr : &tool);
    }

    // Stop and Skip are clicked by the batch and rip tests, which answer the questions they ask.
    void watchesProcesses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("shown"); // the version, the high pass, the low pass, the time left
        const auto row = [](const char *name, const char *how, const char *shown) {
            QTest::newRow(name) << QString(how) << QString(shown);
        };
        row("both channels", "script", "LAME version 3.100|Warning: High pass filter disabled||");
        row("let go before the start", "let go", "|||");
        row("program cannot start", "cannot start", "|||");
        row("the real encoder", "lame",
            "LAME version 3.100||Upper transition band: 16538 Hz - 17071 Hz|ETA: 0:00 (100%)");
        // The document controller resets the sheet when a process ends and attaches the next one at
        // once; whichever handler of that end runs first, the next process is watched.
        row("next attached before the sheet's own handler", "next first", "LAME version 2.0|||");
        row("next attached after it", "next after", "LAME version 2.0|||");
    }
    void watchesProcesses()
    {
        QFETCH(QString, how);
        QFETCH(QString, shown);
        RecordingApplication application;
        QTemporaryDir folder;
        LameProgress progress;
        QProcess tool, next;
        // One line on standard output, then one on standard error.
        setScript(tool,
                  "printf 'LAME 3.100\\n'; sleep 0.2; printf 'Warning: highpass filter disabled.\\n' >&2");
        setScript(next, "sleep 0.2; printf 'LAME 2.0\\n' >&2");
        if (how == u"cannot start")
            tool.setProgram(QStringLiteral("/nonexistent/lame"));
        if (how == u"lame") {
            tool.setProgram(Resources::pathForResource(QStringLiteral("lame")));
            tool.setArguments({"-b", "128", folder.filePath("tone.wav"), folder.filePath("tone.mp3")});
            QVERIFY(AudioFiles::makeSine(folder.filePath("tone.wav"), 3));
        }
        const auto attachNext = [&] {
            progress.reset();
            progress.attachToTool(&next);
            next.start();
        };
        if (how == u"next first")
            connect(&tool, &QProcess::finished, this, attachNext);
        progress.attachToTool(&tool);
        if (how == u"let go")
            progress.attachToTool(nullptr);
        if (how == u"next after")
            connect(&tool, &QProcess::finished, this, attachNext);
        QSignalSpy ended(how.startsWith(u"next") ? &next : &tool,
                         how == u"cannot start" ? SIGNAL(errorOccurred(QProcess::ProcessError))
                                                : SIGNAL(finished(int, QProcess::ExitStatus)));
        tool.start();
        QVERIFY(ended.count() == 1 || ended.wait(60000));
        QCOMPARE(application.commands.value(0), tool.program());
        QCOMPARE(application.output.contains(QLatin1String("LAME 3.100")), shown.startsWith(u'L'));
        QCOMPARE(QStringList({progress.encoderVersionText(), progress.highPassText(), progress.lowPassText(),
                              progress.remainingTimeText()})
                     .join(u'|'),
                 shown);
        QCOMPARE(progress.tool(), nullptr);
    }
};

QTEST_MAIN(LameProgressTest)
#include "tst_LameProgress.moc"
