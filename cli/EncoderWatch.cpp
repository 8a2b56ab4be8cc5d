#include "cli/EncoderWatch.h"

#include "core/EncoderOutputParser.h"
#include "core/EncoderRun.h"

#include <QProcess>

#include <csignal>
#include <memory>

EncoderWatch::EncoderWatch(EncoderRun *run, QObject *parent) : QObject(parent), run(run)
{
    connect(run, &EncoderRun::encoderPrepared, this, &EncoderWatch::watch);
}

void EncoderWatch::watch(QProcess *process, quint32 index)
{
    processes.removeAll(nullptr);
    processes << process;
    process->setChildProcessModifier([] {
        // Runs in the child between fork and exec: only async-signal-safe calls. An ignored
        // signal stays ignored across exec (the launcher script passes it on to lame).
        struct sigaction action = {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        // orvik-encode ignores SIGPIPE for its own sake; the encoder gets the usual behaviour.
        action.sa_handler = SIG_DFL;
        sigaction(SIGPIPE, &action, nullptr);
    });
    using Stream = EncoderOutputParser::Stream;
    auto parser = std::make_shared<EncoderOutputParser>();
    const auto read = [this, process, index, parser](Stream stream) {
        const QByteArray bytes =
            stream == Stream::Error ? process->readAllStandardError() : process->readAllStandardOutput();
        for (const EncoderOutputParser::Update &update : parser->consume(parser->decode(stream, bytes)))
            if (update.field == EncoderOutputParser::Field::Progress)
                emit progress(index, update.fraction(), update.timeLeft);
    };
    connect(process, &QProcess::readyReadStandardError, this, [read] { read(Stream::Error); });
    connect(process, &QProcess::readyReadStandardOutput, this, [read] { read(Stream::Output); });
    // A process that cannot start reports no end, only that it is no longer running.
    connect(process, &QProcess::stateChanged, this, &EncoderWatch::checkAllEnded, Qt::QueuedConnection);
    connect(process, &QObject::destroyed, this, &EncoderWatch::checkAllEnded, Qt::QueuedConnection);
}

void EncoderWatch::waitForAllEnded()
{
    waiting = true;
    checkAllEnded();
}

void EncoderWatch::killRemaining()
{
    for (QProcess *process : std::as_const(processes))
        if (process && process->state() != QProcess::NotRunning)
            process->kill();
}

void EncoderWatch::checkAllEnded()
{
    if (!waiting)
        return;
    for (QProcess *process : std::as_const(processes))
        if (process && process->state() != QProcess::NotRunning)
            return;
    waiting = false;
    emit allEnded();
}
