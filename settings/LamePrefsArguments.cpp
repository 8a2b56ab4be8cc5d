// LamePrefs: the encoder argument builder.
#include "settings/LamePrefs.h"

std::optional<QStringList> LamePrefs::makeGlobalSwitches(const QVariantMap &, bool) const
{
    return std::nullopt; // placeholder until the argument builder lands
}

std::optional<QStringList> LamePrefs::makeArgumentList(const QVariantMap *, const QStringList *, bool) const
{
    return std::nullopt; // placeholder until the argument builder lands
}
