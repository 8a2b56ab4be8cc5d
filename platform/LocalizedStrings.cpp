#include "platform/LocalizedStrings.h"

#include <QCoreApplication>
#include <QLocale>

QString localizedString(const char *key, const char *defaultText, const char *table)
{
    const QString translated = QCoreApplication::translate(table, key);
    if (translated == QLatin1String(key))
        return QString::fromUtf8(defaultText);
    return translated;
}

QString localizedFormat(const QString &format, const QVariantList &arguments)
{
    const QLocale locale;
    QString result;
    result.reserve(format.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != u'%' || i + 1 >= format.size()) {
            result.append(c);
            continue;
        }
        const QChar directive = format.at(i + 1);
        if (directive == u'%') {
            result.append(u'%');
        } else if (directive == u'@' || directive == u'u' || directive == u'd') {
            const QVariant argument = next < arguments.size() ? arguments.at(next) : QVariant();
            ++next;
            if (directive == u'@')
                result.append(argument.toString());
            else if (directive == u'u')
                result.append(locale.toString(argument.toULongLong() & 0xffffffffULL));
            else
                result.append(locale.toString(qint32(argument.toLongLong())));
        } else {
            result.append(c);
            continue;
        }
        ++i;
    }
    return result;
}
