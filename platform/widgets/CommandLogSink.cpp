#include "platform/widgets/CommandLogSink.h"

namespace {
CommandLogSink *theLog = nullptr;
}

CommandLogSink *CommandLogSink::instance()
{
    return theLog;
}

void CommandLogSink::logLine(const QString &text)
{
    if (theLog)
        theLog->logOutput(QStringLiteral("\n") + text + QStringLiteral("\n"));
}

CommandLogSink::CommandLogSink()
{
    theLog = this;
}

CommandLogSink::~CommandLogSink()
{
    if (theLog == this)
        theLog = nullptr;
}
