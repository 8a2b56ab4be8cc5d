#include "platform/Paths.h"

#include <QDir>

QString lastPathComponent(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const QString trimmed = path.left(end);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1);
}

QString abbreviateWithTilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (home != QLatin1String("/") && path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}
