#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

// What orvik-encode shows of a run on standard error. On a terminal: one line per running file
// and one for the whole batch, redrawn in place below the lines that stay (files done, what went
// wrong). Elsewhere (a pipe, a log file): plain lines only, one when a file begins and one when it
// ends, so that a log reads from top to bottom. Quiet: only what went wrong.
class TerminalProgress : public QObject
{
    Q_OBJECT

  public:
    enum class Mode { Terminal, Lines, Quiet };

    TerminalProgress(Mode mode, quint32 fileCount, std::FILE *stream = stderr, QObject *parent = nullptr);
    ~TerminalProgress() override;

    // Terminal when `stream` is one, else Lines; Quiet when asked to be.
    static Mode modeFor(std::FILE *stream, bool quiet);

    void fileStarted(quint32 index, const QString &name);
    void fileProgress(quint32 index, double fraction, const QString &timeLeft);
    void fileEnded(quint32 index);
    void batchProgress(double fraction, quint32 ended);
    // A line that stays; `problem` lines are shown even when quiet.
    void line(const QString &text, bool problem = false);
    // Takes the running lines away for good.
    void finish();

  private:
    struct Running
    {
        QString name;
        double fraction = 0;
        QString timeLeft;
    };

    void scheduleDraw();
    void draw();
    void clearBlock();
    QString bar(double fraction, int width) const;
    int width() const;
    void write(const QString &text);

    Mode mode;
    quint32 fileCount;
    std::FILE *stream;
    QMap<quint32, Running> running;
    double batchFraction = 0;
    quint32 endedCount = 0;
    int blockLines = 0;
    bool finished = false;
    QElapsedTimer clock;
    QTimer redraw;
};
