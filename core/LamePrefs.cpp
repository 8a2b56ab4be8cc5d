#include "core/LamePrefs.h"

#include "platform/PropertyList.h"

#include <QThread>
#include <QVariantMap>

#include <algorithm>

namespace {
void logCorrupt()
{
    qWarning("Error: corrupt preferences");
}
} // namespace

SettingsStore &LamePrefs::preferences()
{
    static SettingsStore &store = []() -> SettingsStore & {
        SettingsStore &standard = SettingsStore::standard();
        // Missing or unreadable factory values register nothing; reads then see only what the
        // user wrote.
        standard.registerDefaults(factoryValues());
        return standard;
    }();
    return store;
}

QVariantMap LamePrefs::factoryValues()
{
    return PropertyList::fromFile(QStringLiteral(":/DefaultPrefs.plist")).toMap();
}

LamePrefs::LamePrefs(QObject *parent) : LamePrefs(preferences(), parent) {}

LamePrefs::LamePrefs(SettingsStore &store, QObject *parent) : QObject(parent), store(store) {}

LamePrefs::~LamePrefs()
{
    // The settings window writes what is still being typed into this object's store when it
    // closes: it must go while this object is whole, not among QObject's children afterwards.
    qDeleteAll(findChildren<QObject *>(Qt::FindDirectChildrenOnly));
}

bool LamePrefs::useTunes() const
{
    return store.boolForKey(PrefKey::ITunesIntegration);
}

bool LamePrefs::discPlaylists() const
{
    return store.boolForKey(PrefKey::DiscPlaylists);
}

bool LamePrefs::batchPlaylists() const
{
    return store.boolForKey(PrefKey::BatchPlaylists);
}

quint32 LamePrefs::encodersAtOnce() const
{
    return resolvedEncoders(store.integerForKey(PrefKey::EncodersAtOnce));
}

quint32 LamePrefs::resolvedEncoders(int stored)
{
    // More encoders than cores only share the same cores, and more than 8 at once would make the
    // machine sluggish for every other program while the batch runs.
    const int cores = std::max(1, QThread::idealThreadCount());
    return quint32(std::clamp(stored <= 0 ? std::min(cores, 8) : stored, 1, cores));
}

// The checks of a string setting that must be one of `allowed`: the answer is the stored text
// when it is allowed, else nothing (an absent key is nothing too, without complaint when
// `absentIsValid`).
std::optional<QString> LamePrefs::allowedString(const QString &key, const QStringList &allowed,
                                                bool absentIsValid, bool *corrupt) const
{
    const QString value = store.stringForKey(key);
    *corrupt = false;
    if (value.isNull()) {
        *corrupt = !absentIsValid;
        return std::nullopt;
    }
    if (allowed.contains(value))
        return value;
    *corrupt = true;
    return std::nullopt;
}

std::optional<QString> LamePrefs::checkedChannelMode() const
{
    bool corrupt = false;
    const auto mode = allowedString(PrefKey::ChannelMode, {"s", "j", "f", "d", "m"}, true, &corrupt);
    if (corrupt) {
        logCorrupt();
        store.removeObjectForKey(PrefKey::ChannelMode);
    }
    return mode;
}

qint32 LamePrefs::checkedBitRateMode(const QList<int> &modes) const
{
    const qint32 mode = store.integerForKey(PrefKey::BitRateMode);
    if (modes.contains(mode))
        return mode;
    logCorrupt();
    store.setInteger(1, PrefKey::BitRateMode);
    return 1;
}

QString LamePrefs::checkedDeemphasis() const
{
    bool corrupt = false;
    const auto value = allowedString(PrefKey::Deemphasis, {"n", "5", "c"}, false, &corrupt);
    if (value)
        return *value;
    logCorrupt();
    store.setObject(QStringLiteral("n"), PrefKey::Deemphasis);
    return QStringLiteral("n");
}

std::optional<QString> LamePrefs::checkedMasking() const
{
    bool corrupt = false;
    const auto value =
        allowedString(PrefKey::Masking, {"--noath", "--athonly", "--athshort"}, true, &corrupt);
    if (corrupt) {
        logCorrupt();
        store.removeObjectForKey(PrefKey::Masking);
    }
    return value;
}

QString LamePrefs::checkedShortBlocks() const
{
    bool corrupt = false;
    const auto value =
        allowedString(PrefKey::ShortBlocks, {"--short", "--noshort", "--allshort"}, false, &corrupt);
    if (value)
        return *value;
    // Removing the user's value lets the registered one show again; the window shows the first
    // block type whatever the store then holds.
    logCorrupt();
    store.removeObjectForKey(PrefKey::ShortBlocks);
    return QStringLiteral("--short");
}
