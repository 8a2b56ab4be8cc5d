#include "core/QualityPresets.h"

#include "core/LamePrefs.h"

namespace QualityPresets {
namespace {
// What every entry needs besides its bit rates: the encoder chooses the channel mode, keeps the
// input's sample rate and filters as its preset does (filtering off would keep every frequency
// and cost bits the preset spends elsewhere), or the promised bit rate would not hold.
QVariantMap common(QVariantMap settings)
{
    settings.insert(PrefKey::ChannelMode, QVariant());
    settings.insert(PrefKey::OutputSampleRate, QVariant());
    settings.insert(PrefKey::EnableFiltering, true);
    settings.insert(PrefKey::EnableLowpass, false);
    settings.insert(PrefKey::EnableHighpass, false);
    return settings;
}

// -V: the encoder's variable presets, free to use its whole range of bit rates.
Preset variable(int tag, int quality)
{
    using namespace PrefKey;
    return {tag, common({{BitRateMode, 3},
                         {VBRQuality, quality},
                         {MinimumVBRBitRate, 32},
                         {MaximumVBRBitRate, 320},
                         {VBREnforceMinimum, false},
                         {VBRXingTag, true}})};
}

Preset constant(int tag, int rate)
{
    using namespace PrefKey;
    return {tag, common({{BitRateMode, 1}, {CBRBitRate, rate}, {CBRQuality, 2}, {CBRReservoir, true}})};
}

bool holds(const SettingsStore &store, const QString &key, const QVariant &value)
{
    const QVariant stored = store.objectForKey(key);
    if (!value.isValid())
        return !stored.isValid();
    if (value.typeId() == QMetaType::Bool)
        return store.boolForKey(key) == value.toBool();
    return stored.isValid() && store.integerForKey(key) == value.toInt();
}
} // namespace

const QList<Preset> &all()
{
    static const QList<Preset> presets = {variable(1, 5), variable(2, 4), variable(3, 2), variable(4, 0),
                                          constant(5, 320)};
    return presets;
}

int matching(const SettingsStore &store)
{
    for (const Preset &preset : all()) {
        bool all = true;
        for (auto setting = preset.settings.cbegin(); all && setting != preset.settings.cend(); ++setting)
            all = holds(store, setting.key(), setting.value());
        if (all)
            return preset.tag;
    }
    return 0;
}

bool apply(SettingsStore &store, int tag)
{
    for (const Preset &preset : all()) {
        if (preset.tag != tag)
            continue;
        for (auto setting = preset.settings.cbegin(); setting != preset.settings.cend(); ++setting) {
            const QVariant &value = setting.value();
            if (!value.isValid())
                store.removeObjectForKey(setting.key());
            else if (value.typeId() == QMetaType::Bool)
                store.setBool(value.toBool(), setting.key());
            else
                store.setInteger(value.toInt(), setting.key());
        }
        return true;
    }
    return false;
}
} // namespace QualityPresets
