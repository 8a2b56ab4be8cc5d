#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class EncoderRun;
class QProcess;

// Watches the encoder processes of a run: reads each one's output as the progress sheet does,
// and answers how far its file is. It keeps Ctrl+C on a terminal, which reaches every process of
// the foreground group, from the encoders: stopping is the run's business, so that it removes
// what they leave half-written. After the run was stopped it tells when every encoder has
// really ended.
//
// This is the one place of orvik-encode that touches the encoders' processes.
class EncoderWatch : public QObject
{
    Q_OBJECT

  public:
    explicit EncoderWatch(EncoderRun *run, QObject *parent = nullptr);

    // Emits allEnded() once no encoder the run started still runs (at once when none does).
    void waitForAllEnded();
    // Ends every encoder still running without waiting for it to finish its work.
    void killRemaining();

  signals:
    // The encoder of record `index` is this far (0 to 1), with the time it says is left.
    void progress(quint32 index, double fraction, const QString &timeLeft);
    void allEnded();

  private:
    void watch(QProcess *process, quint32 index);
    void checkAllEnded();

    EncoderRun *run;
    QList<QPointer<QProcess>> processes;
    bool waiting = false;
};
