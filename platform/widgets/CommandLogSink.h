#pragma once

#include <QString>
#include <QStringList>

// Where every encoder command line and everything the encoder writes go: the command log. The
// windows write here without knowing the log's window; without a log (a window tested on its
// own) nothing is written.
class CommandLogSink
{
  public:
    // The command log, or nullptr when there is none.
    static CommandLogSink *instance();
    // One line, set apart by line breaks.
    static void logLine(const QString &text);

    // The command line of a process about to run.
    virtual void logCommand(const QString &program, const QStringList &arguments) = 0;
    // A chunk of output, exactly as it arrived.
    virtual void logOutput(const QString &text) = 0;

  protected:
    CommandLogSink();
    virtual ~CommandLogSink();
    CommandLogSink(const CommandLogSink &) = delete;
    CommandLogSink &operator=(const CommandLogSink &) = delete;
};
