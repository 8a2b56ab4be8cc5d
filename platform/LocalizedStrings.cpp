#include "platform/LocalizedStrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

QString localizedString(const char *key, const char *defaultText, const char *table)
{
    const QString translated = QCoreApplication::translate(table, key);
    if (translated == QLatin1String(key))
        return QString::fromUtf8(defaultText);
    return translated;
}

QString localizedCount(const char *key, const char *defaultText, const char *table, int count)
{
    QString text = QCoreApplication::translate(table, key, nullptr, count);
    if (text == QLatin1String(key))
        text = QString::fromUtf8(defaultText);
    // Qt has put the count into a translation; the default text gets it here.
    return text.replace(QLatin1String("%n"), QLocale().toString(count));
}

bool installTranslation(const QLocale &locale)
{
    static std::unique_ptr<QTranslator> orvik;
    static std::unique_ptr<QTranslator> qt;
    for (std::unique_ptr<QTranslator> *installed : {&orvik, &qt}) {
        if (*installed)
            QCoreApplication::removeTranslator(installed->get());
        installed->reset();
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("orvik"), QStringLiteral("_"),
                          QStringLiteral(":/translations")))
        return false;
    QCoreApplication::installTranslator(translator.get());
    orvik = std::move(translator);
    // Qt's texts in the same language as Orvik's, not the first language Qt happens to have.
    translator = std::make_unique<QTranslator>();
    if (translator->load(QLocale(orvik->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator.get());
        qt = std::move(translator);
    }
    return true;
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
