#pragma once

#include "core/LamePrefs.h"

#include <QFile>
#include <QVariantMap>
#include <memory>

namespace TestSettings {
// A settings store of the test's own in the new file `file`: `registered` is its registration
// layer and each value of `user` is written in the form of its type (bool, int, float or double
// as a real, string). An invalid user value removes the key from both layers.
inline std::unique_ptr<SettingsStore> makeStore(const QString &file, const QVariantMap &user = {},
                                                QVariantMap registered = LamePrefs::factoryValues())
{
    QFile::remove(file);
    auto store = std::make_unique<SettingsStore>(file);
    for (auto it = user.begin(); it != user.end(); ++it) {
        const QVariant &value = it.value();
        if (value.typeId() == QMetaType::Bool)
            store->setBool(value.toBool(), it.key());
        else if (value.typeId() == QMetaType::Int)
            store->setInteger(value.toInt(), it.key());
        else if (value.typeId() == QMetaType::Float || value.typeId() == QMetaType::Double)
            store->setFloat(value.toFloat(), it.key());
        else if (value.isValid())
            store->setObject(value.toString(), it.key());
        else
            registered.remove(it.key());
    }
    store->registerDefaults(registered);
    return store;
}
} // namespace TestSettings
