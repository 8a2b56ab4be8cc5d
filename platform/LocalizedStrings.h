#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <QVariantList>

// Every text the user sees is looked up by key in one of five tables ("Global", "Progress",
// "Batch", "Rip", and "CommandLine" for orvik-encode): a Qt translation whose context is the
// table and whose source text is the key. Without a translation the default text is used.
QString localizedString(const char *key, const char *defaultText, const char *table);

// A text holding a count, %n, looked up like localizedString but in the form the language uses for
// that count (the numerus forms of the translation: "1 läuft", "2 laufen"). The default text,
// used for every count, should read right for any count.
QString localizedCount(const char *key, const char *defaultText, const char *table, int count);

// Installs Orvik's translation for the first of the locale's languages that has one (and Qt's own,
// for the standard dialogs), replacing one installed before. Returns false, leaving the default
// texts, when none of the languages has a translation.
bool installTranslation(const QLocale &locale = QLocale::system());

// Expands %@ (any value as text), %u and %d (whole numbers) and %% in a format, in the user's
// locale, the arguments taken in order. A missing argument expands to nothing.
QString localizedFormat(const QString &format, const QVariantList &arguments);
