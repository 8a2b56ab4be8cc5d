// The progress sheet: its texts of what the run says of its files, one or several at once, and its
// states on real windows.
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/widgets/Sheets.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

namespace {
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
        // Steps (texts filled before): A/B/- attach to that window or none, s suspend, r resume, h hide,
        // x reset, d delete A, e Escape on the sheet, q ask a question on A, a answer it. Then: its
        // window (A, B or -), the sheet u up, s suspended, d down or w under the question, c cleared.
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
        row("suspended, other window", "AsB", "Bu");
        row("window closed while down", "AsdB", "Bu");
        row("hide", "Ah", "-dc");
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
        progress.showRun(10, 1);
        progress.fileStarted(2, {{kInputFileKey, "/Volumes/CD/"}, {kOutputFileKey, "/out/a.mp3"}}, 10);
        EncoderOutputParser parser;
        for (const EncoderOutputParser::Update &update : parser.consume(everyDetail))
            progress.fileUpdated(2, update);
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
        QCOMPARE(QStringList({progress.taskText(), progress.positionText(), progress.encoderVersionText(),
                              progress.modelVersionText(), progress.highPassText(), progress.lowPassText(),
                              progress.remainingTimeText()})
                     .join(u'|'),
                 cleared ? "||||||"
                         : "Encoding \"CD\" as \"a.mp3\"|File 3 of 10|LAME version 3.100|"
                           "GPSYCHO version 0.93|Lower transition band: 1 Hz - 2 Hz|"
                           "Warning: Low pass filter disabled|ETA: 0:03 (25%)");
        QCOMPARE(progress.progress(), cleared ? 0.0 : 0.5);
        for (const QLabel *label : sheet->findChildren<QLabel *>())
            QVERIFY2(label->text().isEmpty() || label->isVisibleTo(sheet), qPrintable(label->text()));
    }

    // The run's reports as they come: "s1" file 1 starts, "v1=3.100" its version, "l1=100" its low-pass
    // band, "p1=150/600=0:03" a record, "e1" its end, "r=1,2,0" files done, running, left. Then the
    // position, version, low-pass band, time left and the running files' lines.
    void showsTheRun_data()
    {
        QTest::addColumn<quint32>("encoders"); // at once, of 3 files
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, quint32 encoders, const char *told, const char *shown) {
            QTest::newRow(name) << encoders << QString(told) << QString(shown);
        };
        const char *details = "LAME version 3.100|Upper transition band: 100 Hz - 200 Hz";
        row("an end clears the sheet", 1, "s0 v0=3.100 p0=1/2=0:01 e0", "||||");
        row("several: the details of the first running file", 2, "s0 s1 v0=3.100 l0=100 v1=2.0",
            qPrintable(QString("0 done, 0 running, 0 left|%1||a.wav,b.wav").arg(details)));
        row("several: the next first file's details once the first ends", 2,
            "s0 s1 v0=3.100 l0=100 v1=2.0 e0 s2", "0 done, 0 running, 0 left|LAME version 2.0|||b.wav,c.wav");
        row("several: the counts", 2, "s0 s1 p0=1/2=0:09 r=1,2,0",
            "1 done, 2 running, 0 left||||a.wav,b.wav");
    }
    void showsTheRun()
    {
        QFETCH(quint32, encoders);
        QFETCH(QString, told);
        QFETCH(QString, shown);
        LameProgress progress;
        progress.showRun(3, encoders);
        for (const QString &step : told.split(' ')) {
            const QStringList parts = step.mid(1).split('='), counts = parts.value(1).split(',');
            const quint32 index = parts[0].toUInt();
            using Field = EncoderOutputParser::Field;
            const qint64 band = parts.value(1).toInt();
            EncoderOutputParser::Update update{.field = Field::Progress,
                                               .framesDone = parts.value(1).section('/', 0, 0).toInt(),
                                               .framesTotal = parts.value(1).section('/', 1).toInt(),
                                               .percent = 25,
                                               .timeLeft = parts.value(2)};
            if (step[0] == 's')
                progress.fileStarted(index,
                                     {{kInputFileKey, QString("/in/%1.wav").arg(QChar(u'a' + index))},
                                      {kOutputFileKey, "/out/x.mp3"}},
                                     3);
            else if (step[0] == 'e')
                progress.fileEnded(index);
            else if (step[0] == 'r')
                progress.setRunState({counts[0].toUInt(), counts[1].toUInt(), counts[2].toUInt(), 0.5});
            else if (step[0] == 'v')
                update = {.field = Field::EncoderVersion, .version = parts[1]};
            else if (step[0] == 'l')
                update = {.field = Field::LowPass, .bandLow = band, .bandHigh = 2 * band};
            if (QString("vlp").contains(step[0]))
                progress.fileUpdated(index, update);
        }
        const auto texts = [&] {
            return QStringList{progress.positionText(), progress.encoderVersionText(), progress.lowPassText(),
                               progress.remainingTimeText(), progress.runningFileNames().join(',')}
                .join('|');
        };
        QTRY_COMPARE(texts(), shown); // the sheet of several files is redrawn on a timer
        // One file at a time has the sheet's Skip button; several have one on each running line.
        auto *skip = progress.progressSheet()->findChild<QPushButton *>("skipButton");
        QVERIFY(skip && skip->isHidden() == (encoders > 1));
    }
};

QTEST_MAIN(LameProgressTest)
#include "tst_LameProgress.moc"
