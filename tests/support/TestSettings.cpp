#include "support/TestSettings.h"

#include <QFile>

namespace TestSettings {
std::unique_ptr<SettingsStore> makeStore(const QString &file, const QVariantMap &user, QVariantMap registered)
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
