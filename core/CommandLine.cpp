#include "core/CommandLine.h"

#include "platform/Paths.h"

namespace {
// The characters that make a shell read an argument as more than one plain word.
const QString shellSpecials = QStringLiteral("\"';\\[]{}()$=<>|*? ");
const QString singleQuotes = QStringLiteral("'");

bool containsAny(const QString &text, const QString &characters)
{
    for (const QChar c : text) {
        if (characters.contains(c))
            return true;
    }
    return false;
}
} // namespace

QString CommandLine::quoted(const QString &program, const QStringList &arguments)
{
    QString line = lastPathComponent(program);
    for (const QString &argument : arguments) {
        line += u' ';
        if (!containsAny(argument, shellSpecials))
            line += argument;
        else if (!containsAny(argument, singleQuotes))
            line += u'\'' + argument + u'\'';
        else
            line += u'"' + argument + u'"';
    }
    return line;
}
