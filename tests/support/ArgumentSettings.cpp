#include "support/ArgumentSettings.h"

#include "platform/PropertyList.h"
#include "settings/LamePrefs.h"

#include <QStringList>

namespace ArgumentSettings {
namespace {
const QStringList &allKeys()
{
    static const QStringList keys = {PrefKey::ChannelMode,
                                     PrefKey::Mixdown,
                                     PrefKey::DifferentBlocks,
                                     PrefKey::BitRateMode,
                                     PrefKey::OutputSampleRate,
                                     PrefKey::CBRQuality,
                                     PrefKey::CBRBitRate,
                                     PrefKey::CBRATHType,
                                     PrefKey::CBRReservoir,
                                     PrefKey::ABRQuality,
                                     PrefKey::AverageBitRate,
                                     PrefKey::MinimumABRBitRate,
                                     PrefKey::MaximumABRBitRate,
                                     PrefKey::ABRATHType,
                                     PrefKey::ABREnforceMinimum,
                                     PrefKey::ABRXingTag,
                                     PrefKey::VBRQuality,
                                     PrefKey::MinimumVBRBitRate,
                                     PrefKey::MaximumVBRBitRate,
                                     PrefKey::VBREnforceMinimum,
                                     PrefKey::VBRXingTag,
                                     PrefKey::EnableFiltering,
                                     PrefKey::EnableLowpass,
                                     PrefKey::UpperCutoff,
                                     PrefKey::ManualLowpassWidth,
                                     PrefKey::LowpassWidth,
                                     PrefKey::EnableHighpass,
                                     PrefKey::LowerCutoff,
                                     PrefKey::ManualHighpassWidth,
                                     PrefKey::HighpassWidth,
                                     PrefKey::Deemphasis,
                                     PrefKey::StrictISO,
                                     PrefKey::Checksum,
                                     PrefKey::MarkAsOriginal,
                                     PrefKey::MarkAsCopyright,
                                     PrefKey::Masking,
                                     PrefKey::ReduceATHBy,
                                     PrefKey::ShortBlocks,
                                     PrefKey::TonalityLimit,
                                     PrefKey::TemporalMasking,
                                     PrefKey::ITunesIntegration,
                                     PrefKey::DiscPlaylists,
                                     PrefKey::BatchPlaylists,
                                     PrefKey::SelectedTab,
                                     PrefKey::FixedPitchFontSize};
    return keys;
}
} // namespace

QVariantMap factoryValues()
{
    return PropertyList::fromFile(QStringLiteral(":/DefaultPrefs.plist")).toMap();
}

void setUp(const QVariantMap &registered, const QVariantMap &user)
{
    SettingsStore &store = LamePrefs::preferences();
    QVariantMap layer = registered;
    for (auto it = user.begin(); it != user.end(); ++it) {
        if (!it.value().isValid())
            layer.remove(it.key());
    }
    store.resetRegisteredDefaults();
    store.registerDefaults(layer);
    for (const QString &key : allKeys())
        store.removeObjectForKey(key);
    for (auto it = user.begin(); it != user.end(); ++it) {
        const QVariant &value = it.value();
        switch (value.typeId()) {
        case QMetaType::UnknownType:
            break;
        case QMetaType::Bool:
            store.setBool(value.toBool(), it.key());
            break;
        case QMetaType::Int:
            store.setInteger(value.toInt(), it.key());
            break;
        case QMetaType::Float:
        case QMetaType::Double:
            store.setFloat(value.toFloat(), it.key());
            break;
        default:
            store.setObject(value.toString(), it.key());
            break;
        }
    }
}

void setUpWithFactoryValues(const QVariantMap &user)
{
    setUp(factoryValues(), user);
}
} // namespace ArgumentSettings
