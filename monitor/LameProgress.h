#pragma once

#include "core/EncoderOutputParser.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>

#include <map>
#include <memory>

class EncoderRun;
class QPushButton;

// Watches the running encoders on behalf of a document controller: shows the progress sheet on
// the document window (and takes it down while the controller shows sheets of its own), shows
// the task and its position in the run, reports the command line to the command log, reads the
// encoder's output into the log and the sheet, where it puts what the encoder said into words, and
// passes the sheet's Stop and Skip buttons on as requests. It never starts, signals or ends the
// process: that belongs to the controller.
//
// A run of one encoder at a time shows its current file: its name, its place in the run, its bar
// and the time the encoder says is left. A run of several encoders at once shows the whole run
// instead: how many files are done, running and left, a bar and a time left for the whole run, and
// a line per running file with its name, its own bar and its own Skip button. That sheet is
// redrawn four times a second from what the encoders said meanwhile, however many there are.
//
// A question asked on the document window (an alert or a panel) stays on top and answerable: the
// sheet never goes up over one. Asked to show while a question is up, it waits until the question
// has gone and then shows, unless it was taken down meanwhile.
class LameProgress : public QObject
{
    Q_OBJECT
  public:
    // Loads the "Progress" window description; without it the controller works without a sheet.
    explicit LameProgress(QObject *parent = nullptr);
    ~LameProgress() override;

    // Shows the sheet on `window` (nullptr: as hide()).
    void attachToWindow(QWidget *window);
    // Takes the sheet down and clears it.
    void hide();
    // Lets go of the process and empties every display.
    void reset();
    // Takes the sheet down for a while (the controller's own sheet goes up), and puts it back.
    void suspend();
    void resume();

    // Shows the input and output file names of a task record; a record without both paths, or
    // none, leaves the text as it was.
    void setTask(const QVariantMap *task);
    // Shows "File position of total".
    void setFile(quint32 position, quint32 total);

    // Starts watching a process that is set up but not yet started: the command line goes to the
    // log first, then everything the process writes as it arrives. nullptr only lets go.
    void attachToTool(QProcess *tool);
    void detachFromTool();

    // Shows `run`, which keeps up to `encoders` encoders running; with one it is shown as above.
    void watchRun(EncoderRun *run, quint32 encoders);
    // Watches the encoder of file `index` of the watched run (its record `task`), prepared and
    // not yet started.
    void attachToTool(QProcess *tool, quint32 index, const QVariantMap &task);
    // File `index` of the watched run has ended: its line goes.
    void fileEnded(quint32 index);
    // The names of the running files shown, in list order.
    QStringList runningFileNames() const;

    // One chunk read from the watched process's `stream`: logged unchanged and parsed into the
    // sheet. An empty chunk is the end of that stream.
    void processOutput(EncoderOutputParser::Stream stream, const QByteArray &data);

    QWidget *docWindow() const { return docWindow_; }
    bool isSuspended() const { return suspended; }
    QProcess *tool() const { return tool_; }
    QDialog *progressSheet() const { return progressSheet_; }

    QString taskText() const;
    QString positionText() const;
    QString encoderVersionText() const;
    QString modelVersionText() const;
    QString highPassText() const;
    QString lowPassText() const;
    QString remainingTimeText() const;
    // The fraction of the current file done, 0 to 1.
    double progress() const;

    // The Stop (tag 1) and Skip (tag 2) buttons: `control` is the one clicked.
    void interruptProcess(QObject *control);

  signals:
    // The user asked to stop the run or to skip the current file; the document controller
    // decides what comes of it.
    void stopRequested(LameProgress *progress);
    void skipRequested(LameProgress *progress);
    // The Skip button of the line of file `index` was clicked.
    void skipFileRequested(quint32 index);

  private:
    // A running file of a run of several encoders: its output and its line on the sheet.
    struct FileLine
    {
        QPointer<QProcess> tool;
        QList<QMetaObject::Connection> connections;
        EncoderOutputParser output;
        double fraction = 0;
        QPointer<QWidget> line;
        QPointer<QProgressBar> bar;
    };

    void toolDidExit(QProcess *process);
    void fileOutput(quint32 index, EncoderOutputParser::Stream stream, const QByteArray &data);
    void dropFileLine(quint32 index);
    void showRun();
    QString runTimeLeft();
    void beginSheet(QWidget *window);
    void endSheet();
    void stopWaiting();
    void showAfterQuestion();
    void apply(const EncoderOutputParser::Update &update);
    bool eventFilter(QObject *watched, QEvent *event) override;

    QPointer<QWidget> docWindow_;
    bool suspended = false;
    QPointer<QProcess> tool_;
    QList<QMetaObject::Connection> toolConnections;
    EncoderOutputParser toolOutput;
    QPointer<QDialog> progressSheet_;
    // The question the sheet waits for before it shows; null when it waits for none.
    QPointer<QWidget> awaitedQuestion;
    QMetaObject::Connection awaitedGone;
    QPointer<QLabel> taskField;
    QPointer<QLabel> positionField;
    QPointer<QLabel> encoderVersionField;
    QPointer<QLabel> modelVersionField;
    QPointer<QLabel> highPassField;
    QPointer<QLabel> lowPassField;
    QPointer<QLabel> remainingTime;
    QPointer<QProgressBar> progressBar;
    int barValue = 0; // the bar's latest value, shown when the bar timer fires
    QTimer barTimer;

    QPointer<EncoderRun> run;
    bool severalAtOnce = false;
    std::map<quint32, std::unique_ptr<FileLine>> fileLines;
    QPointer<QWidget> runningFiles; // holds the lines of the running files
    QTimer runTimer;
    QElapsedTimer runClock;
    double secondsLeft = -1; // the time left last shown; below 0: none yet
};
