#pragma once

#include "core/EncoderOutputParser.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>

#include <map>
#include <memory>

// The progress sheet of a document window: shows what the run's encoders do, as the run tells it
// file by file, and passes the sheet's Stop and Skip buttons on as requests. It goes up on the
// document window and makes way while the window shows sheets of its own. It starts, reads and
// ends no process and writes no log: the run does that.
//
// While one file is encoded at a time the sheet shows that file: its names, its place in the run,
// what the encoder says of itself, its bar and the time the encoder says is left. When several run
// at once it shows the whole run instead: how many files are done, running and left, a bar and a
// time left for the whole run, the encoder's details as the first running file gives them, and a
// line per running file with its name, its own bar and its own Skip button. That sheet is redrawn
// four times a second, however many encoders speak.
//
// A question asked on the document window (an alert or a panel) stays on top and answerable: the
// sheet never goes up over one. Asked to show while a question is up, it waits until the question
// has gone and then shows, unless it was taken down meanwhile.
class LameProgress : public QObject
{
    Q_OBJECT
  public:
    // Where a run of several files at once stands.
    struct RunState
    {
        quint32 done = 0;
        quint32 running = 0;
        quint32 left = 0;
        double fraction = 0; // of the whole run, 0 to 1
    };

    // Loads the "Progress" window description; without it the controller works without a sheet.
    explicit LameProgress(QObject *parent = nullptr);
    ~LameProgress() override;

    // Shows the sheet on `window` (nullptr: as hide()).
    void attachToWindow(QWidget *window);
    // Takes the sheet down and clears it.
    void hide();
    // Empties every display.
    void reset();
    // Takes the sheet down for a while (the controller's own sheet goes up), and puts it back.
    void suspend();
    void resume();

    // A run of `files`, up to `encoders` of them at once: shown file by file when no two of them
    // can run together, else as a whole.
    void showRun(quint32 files, quint32 encoders);
    // File `index` of `total` (its record `task`) starts.
    void fileStarted(quint32 index, const QVariantMap &task, quint32 total);
    // What the encoder of file `index` said.
    void fileUpdated(quint32 index, const EncoderOutputParser::Update &update);
    // File `index` has ended: its texts or its line go.
    void fileEnded(quint32 index);
    void setRunState(const RunState &state);
    // The names of the running files shown, in list order.
    QStringList runningFileNames() const;

    QWidget *docWindow() const { return docWindow_; }
    bool isSuspended() const { return suspended; }
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
    // The user asked to stop the run or to skip the file shown; the document controller decides
    // what comes of it.
    void stopRequested();
    void skipRequested();
    // The Skip button of the line of file `index` was clicked.
    void skipFileRequested(quint32 index);

  private:
    // A running file of a run of several at once: its line on the sheet and what it last said of
    // the encoder.
    struct FileLine
    {
        double fraction = 0;
        std::map<EncoderOutputParser::Field, EncoderOutputParser::Update> details;
        QPointer<QWidget> line;
        QPointer<QProgressBar> bar;
    };

    void addFileLine(quint32 index, const QVariantMap &task);
    void dropFileLine(quint32 index);
    void showDetailsOf(const FileLine *file);
    void redrawRun();
    QString runTimeLeft();
    void beginSheet(QWidget *window);
    void endSheet();
    void stopWaiting();
    void showAfterQuestion();
    void apply(const EncoderOutputParser::Update &update);
    bool eventFilter(QObject *watched, QEvent *event) override;

    QPointer<QWidget> docWindow_;
    bool suspended = false;
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

    bool severalAtOnce = false;
    RunState runState;
    std::map<quint32, std::unique_ptr<FileLine>> fileLines;
    QPointer<QWidget> runningFiles; // holds the lines of the running files
    QTimer runTimer;
    QElapsedTimer runClock;
    double secondsLeft = -1; // the time left last shown; below 0: none yet
};
