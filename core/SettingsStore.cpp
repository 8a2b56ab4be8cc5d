#include "core/SettingsStore.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>
#include <limits>

namespace {
QString encode(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("b:true") : QStringLiteral("b:false");
    case QMetaType::Int:
        return QStringLiteral("i:") + QString::number(value.toInt());
    case QMetaType::Float:
        // Nine significant digits bring back the very same single-precision value.
        return QStringLiteral("f:") + QString::number(double(value.toFloat()), 'g', 9);
    default:
        return QStringLiteral("s:") + value.toString();
    }
}

bool decode(const QString &text, QVariant *value)
{
    const QString body = text.mid(2);
    if (text.startsWith(QLatin1String("s:"))) {
        *value = body;
        return true;
    }
    if (text == QLatin1String("b:true") || text == QLatin1String("b:false")) {
        *value = text == QLatin1String("b:true");
        return true;
    }
    bool ok = false;
    if (text.startsWith(QLatin1String("i:"))) {
        const int number = body.toInt(&ok);
        *value = number;
        return ok;
    }
    if (text.startsWith(QLatin1String("f:"))) {
        const float number = body.toFloat(&ok);
        *value = number;
        return ok;
    }
    return false;
}

qsizetype skipWhiteSpace(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isReal(const QVariant &value)
{
    return value.typeId() == QMetaType::Float || value.typeId() == QMetaType::Double;
}

qint32 truncateToInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (value <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(std::trunc(value));
}
} // namespace

SettingsStore &SettingsStore::standard()
{
    static SettingsStore store(standardFilePath());
    return store;
}

QString SettingsStore::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Orvik/Orvik.conf");
}

SettingsStore::SettingsStore(const QString &userFile)
{
    file = std::make_unique<QSettings>(userFile, QSettings::IniFormat);
    load();
}

SettingsStore::~SettingsStore() = default;

void SettingsStore::load()
{
    const QString path = file->fileName();
    bool corrupt = file->status() != QSettings::NoError;
    if (!corrupt && QFileInfo::exists(path) && !QFileInfo(path).isReadable())
        corrupt = true;
    QVariantMap values;
    if (!corrupt) {
        const QStringList keys = file->allKeys();
        for (const QString &key : keys) {
            QVariant value;
            if (!decode(file->value(key).toString(), &value)) {
                corrupt = true;
                break;
            }
            values.insert(key, value);
        }
    }
    if (!corrupt) {
        user = values;
        return;
    }
    qWarning("Error: corrupt preferences");
    // Keep what the user had: the unreadable file moves aside and a new one starts.
    file.reset();
    QString aside = path + QStringLiteral(".corrupt");
    if (QFileInfo::exists(aside))
        aside = path + QStringLiteral(".corrupt-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    QFile::rename(path, aside);
    file = std::make_unique<QSettings>(path, QSettings::IniFormat);
    user.clear();
}

void SettingsStore::registerDefaults(const QVariantMap &defaults)
{
    // Property lists hold 64-bit integers and double reals; the store's forms are 32-bit
    // integers and single-precision reals.
    for (auto it = defaults.begin(); it != defaults.end(); ++it) {
        QVariant value = it.value();
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::ULongLong)
            value = int(value.toLongLong());
        else if (value.typeId() == QMetaType::Double)
            value = value.toFloat();
        registered.insert(it.key(), value);
    }
}

QVariant SettingsStore::lookup(const QString &key) const
{
    const auto mine = user.constFind(key);
    if (mine != user.constEnd())
        return *mine;
    return registered.value(key);
}

bool SettingsStore::boolForKey(const QString &key) const
{
    const QVariant value = lookup(key);
    if (!value.isValid())
        return false;
    if (value.typeId() == QMetaType::QString)
        return textToBool(value.toString());
    if (isReal(value))
        return value.toDouble() != 0.0;
    return value.toLongLong() != 0;
}

qint32 SettingsStore::integerForKey(const QString &key) const
{
    const QVariant value = lookup(key);
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::QString)
        return textToInteger(value.toString());
    if (isReal(value))
        return truncateToInteger(value.toDouble());
    return qint32(value.toLongLong());
}

float SettingsStore::floatForKey(const QString &key) const
{
    const QVariant value = lookup(key);
    if (!value.isValid())
        return 0.0f;
    if (value.typeId() == QMetaType::QString)
        return textToFloat(value.toString());
    return value.toFloat();
}

QString SettingsStore::stringForKey(const QString &key) const
{
    const QVariant value = lookup(key);
    if (!value.isValid())
        return QString();
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return numberToText(value);
}

QVariant SettingsStore::objectForKey(const QString &key) const
{
    return lookup(key);
}

void SettingsStore::write(const QString &key, const QVariant &value)
{
    user.insert(key, value);
    file->setValue(key, encode(value));
    save();
}

void SettingsStore::save()
{
    file->sync();
    // QSettings keeps its first error, so a store that failed once is reported once.
    if (!saving || file->status() == QSettings::NoError)
        return;
    saving = false;
    qWarning().noquote() << QStringLiteral(
                                "Error: cannot save preferences to %1; changes last until Orvik quits")
                                .arg(QDir::toNativeSeparators(file->fileName()));
}

QString SettingsStore::fileName() const
{
    return file->fileName();
}

void SettingsStore::setBool(bool value, const QString &key)
{
    write(key, value);
}

void SettingsStore::setInteger(qint32 value, const QString &key)
{
    write(key, int(value));
}

void SettingsStore::setFloat(float value, const QString &key)
{
    write(key, value);
}

void SettingsStore::setObject(const QString &value, const QString &key)
{
    write(key, value.isNull() ? QStringLiteral("") : value);
}

void SettingsStore::removeObjectForKey(const QString &key)
{
    user.remove(key);
    file->remove(key);
    save();
}

bool SettingsStore::textToBool(const QString &text)
{
    qsizetype i = skipWhiteSpace(text);
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i >= text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

qint32 SettingsStore::textToInteger(const QString &text)
{
    qsizetype i = skipWhiteSpace(text);
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    qint64 value = 0;
    for (; i < text.size() && isDigit(text.at(i)); ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            break;
    }
    value = negative ? -value : value;
    return qint32(qBound(qint64(std::numeric_limits<qint32>::min()), value,
                         qint64(std::numeric_limits<qint32>::max())));
}

float SettingsStore::textToFloat(const QString &text)
{
    // The leading decimal number: sign, digits, a fraction and an exponent, as far as they go.
    const qsizetype start = skipWhiteSpace(text);
    qsizetype i = start;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text.at(i)))
        ++i, ++digits;
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        while (i < text.size() && isDigit(text.at(i)))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0f;
    qsizetype end = i;
    if (i < text.size() && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        if (j < text.size() && isDigit(text.at(j))) {
            while (j < text.size() && isDigit(text.at(j)))
                ++j;
            end = j;
        }
    }
    return text.mid(start, end - start).toFloat();
}

QString SettingsStore::numberToText(const QVariant &number)
{
    if (number.typeId() == QMetaType::Bool)
        return number.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isReal(number))
        return QString::number(double(number.toFloat()), 'g', 7);
    return QString::number(number.toLongLong());
}
