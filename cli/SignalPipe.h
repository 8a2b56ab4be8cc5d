#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the signals that ask a program to stop (SIGINT from Ctrl+C, SIGTERM, SIGHUP when the
// terminal goes away) into a Qt signal on the event loop. The handler itself only writes the
// signal's number into a pipe, which is all a signal handler may safely do; the pipe's reading
// end wakes the event loop. One instance per process.
class SignalPipe : public QObject
{
    Q_OBJECT

  public:
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    bool isValid() const { return notifier != nullptr; }

  signals:
    void received(int signalNumber);

  private:
    void drain();

    QSocketNotifier *notifier = nullptr;
};
