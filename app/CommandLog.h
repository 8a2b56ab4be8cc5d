#pragma once

#include "platform/widgets/CommandLogSink.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <memory>

class QPlainTextEdit;
class QTextDocument;
class QPushButton;
class QWidget;

// The command log: a window of its own, titled "Command Log", that shows every encoder command
// line in a shell-like form (bold, small system font) followed by everything the encoder writes
// (the user's fixed-pitch font). It only grows until the user clears it, so appending costs the
// size of the new text, never the size of the log, whether the window is showing or not. A line
// longer than a few pages is shown cut, with a note of how much of it was left out.
class CommandLog : public QObject, public CommandLogSink
{
    Q_OBJECT

  public:
    explicit CommandLog(QObject *parent = nullptr);
    ~CommandLog() override;

    // Writes the command line of `task` (its program and arguments; it need not have been
    // started) on a line of its own. A null task writes nothing.
    void logCommand(const QString &program, const QStringList &arguments) override;
    // Appends a chunk of encoder output exactly as it arrived.
    void logOutput(const QString &text) override;
    void clearLog();
    void showWindow();
    QWidget *window() const;

    // The log itself, and the view that shows it while the window is open.
    QTextDocument *document() const { return log; }
    QPlainTextEdit *textView() const { return view; }
    // The log's text; line breaks (including the encoder's carriage returns) read as "\n".
    QString text() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void attachView(bool attach);
    void append(QString text, const QTextCharFormat &format);
    QString cutLongLines(const QString &text);
    const QTextCharFormat &outputFormat();

    // Declared before the window so that it outlives the view that may show it.
    QTextDocument *log = nullptr;
    // What the view shows while the window is closed: laying out text nobody sees is most of the
    // cost of an append.
    QTextDocument *placeholder = nullptr;
    std::unique_ptr<QWidget> logWindow;
    QPlainTextEdit *view = nullptr;
    QPushButton *clearButton = nullptr;
    QTextCharFormat commandFormat;
    QTextCharFormat cachedOutputFormat;
    double cachedOutputSize = -1.0;
    // The last text appended ended with a carriage return: a line feed that starts the next one
    // belongs to the same line break.
    bool endsWithReturn = false;
    // The characters of the log's last line so far, and those of it left out: a line of megabytes
    // (a runaway argument, an encoder gone wrong) would take the text layout minutes.
    qsizetype lineLength = 0;
    qsizetype leftOut = 0;
    // Following the end is done once per turn of the event loop, however many chunks came.
    bool scrollQueued = false;
};
