#pragma once

#include "core/EncoderRun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class LameProgress;
class QWidget;

// The window side of a run, the same for every document window: it shows the run on the progress
// sheet and its command lines and output in the command log, asks the Stop and Skip questions and
// passes the answers to the run, keeps the window from closing under a running encoder (closing
// asks to Stop), ends the run when the application quits, and shows the completion sheet. The
// document controller that makes it keeps what is its own (its list, tags, destination or disc) and
// ends when the run does.
class RunWindowController : public QObject
{
    Q_OBJECT

  public:
    // What the run's window is and what it says. The texts that differ between kinds of window
    // come from the window's own string table; the others are looked up in `stringTable`.
    struct Setup
    {
        QWidget *window = nullptr;
        const char *stringTable = "Batch";
        QString stopTitle;
        QString stopMessage;
        QString skipTitle;
        std::function<QString(quint32 index)> skipMessage; // the question about skipping file `index`
        QString completionTitle;
        QString completionMessage;
        QString folder; // where the files go, as the completion sheet names it
        // What the window itself lost before the run began (a rip's cover file), one sentence
        // each, for the completion sheet.
        QStringList losses{};
        // What the document still finds out once every file has ended (whether a disc's tracks
        // were read accurately): called when the run completes; the completion sheet waits until
        // `done` is called and then shows its line, when not empty, after the summary.
        std::function<void(std::function<void(const QString &line)> done)> beforeCompletion{};
    };

    // The run is made at once, so that its signals can be connected before it starts.
    RunWindowController(Setup setup, QObject *parent);
    ~RunWindowController() override;

    // Every controller whose run has begun, oldest first.
    static const QList<RunWindowController *> &all();

    // Starts the run, which writes its messages in this controller's string table.
    void start(EncoderRun::Setup runSetup);
    EncoderRun *run() const { return encoderRun; }
    LameProgress *progress() const { return progressSheet; }
    // Whether quitting now would cost a file: the run has begun and not completed.
    bool isEncoding() const;
    // A sheet of the window's own (a question about an existing file, a panel) goes up: the
    // progress sheet makes way until it has been answered.
    void showOwnSheet(QWidget *sheet);
    // Ends the run at once, without a question: every encoder is stopped and its partial output
    // removed.
    void abort();

    // The sheet's Stop and Skip buttons.
    void stopProcess();
    void skipFile(quint32 index);

  signals:
    // The run is over (its completion sheet answered, a Stop confirmed, or aborted): the window
    // goes.
    void ended();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QString runText(const char *key, const char *defaultText) const;
    bool sheetIsUp() const;
    void showProgress();
    void showRunState();
    void confirmStopDidEnd(int answer);
    void finish();
    // What the run did, in one line: files encoded, into which folder, failed and skipped.
    QString completionSummary() const;
    void displayCompletion();
    void completionEnded();

    Setup setup;
    QString completionNote; // the document's line for the completion sheet
    EncoderRun *encoderRun;
    LameProgress *progressSheet;
    QPointer<QWidget> sheet;    // the question, panel or notice up on the window, if any
    bool closingWindow = false; // the Stop question up was asked by closing the window
    bool started = false;
    bool ending = false;
};
