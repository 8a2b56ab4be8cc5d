#include "app/CommandLog.h"

CommandLog::CommandLog(QObject *parent) : QObject(parent) {}
CommandLog::~CommandLog() = default;
void CommandLog::logCommand(const QProcess *) {}
void CommandLog::logOutput(const QString &) {}
void CommandLog::clearLog() {}
void CommandLog::showWindow() {}
QWidget *CommandLog::window() const
{
    return nullptr;
}
