#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

// Every text the user sees is looked up by key in one of four tables ("Global", "Progress",
// "Batch", "Rip"): a Qt translation whose context is the table and whose source text is the
// key. Without a translation the default text is used.
QString localizedString(const char *key, const char *defaultText, const char *table);

// Expands %@ (any value as text), %u and %d (whole numbers) and %% in a format, in the user's
// locale, the arguments taken in order. A missing argument expands to nothing.
QString localizedFormat(const QString &format, const QVariantList &arguments);
