#pragma once

#include <QString>
#include <QStringList>

namespace CommandLine {
// A command line as the command log shows it: the program's file name, then each argument after
// one space, bare when it holds no character special to a shell, else in single quotes, else (it
// holds a single quote) in double quotes. The argument itself is never altered.
QString quoted(const QString &program, const QStringList &arguments);
} // namespace CommandLine
