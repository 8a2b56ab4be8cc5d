#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Reads property lists (XML or binary) with libplist into Qt values: dictionaries become
// QVariantMap, arrays QVariantList, integers qint64, reals double, booleans bool, strings
// QString, data QByteArray and dates QDateTime.
namespace PropertyList {
// An invalid QVariant when the bytes are not a property list.
QVariant fromData(const QByteArray &data);
// An invalid QVariant when the file cannot be read or is not a property list.
QVariant fromFile(const QString &path);
} // namespace PropertyList
