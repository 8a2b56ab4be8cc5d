#pragma once

#include "core/LamePrefs.h"

#include <QVariantMap>
#include <memory>

namespace TestSettings {
// A settings store of the test's own in the new file `file`: `registered` is its registration
// layer and each value of `user` is written in the form of its type (bool, int, float or double
// as a real, string). An invalid user value removes the key from both layers.
std::unique_ptr<SettingsStore> makeStore(const QString &file, const QVariantMap &user = {},
                                         QVariantMap registered = LamePrefs::factoryValues());
} // namespace TestSettings
