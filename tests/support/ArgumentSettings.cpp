#include "support/ArgumentSettings.h"

#include "core/LamePrefs.h"
#include "platform/PropertyList.h"

#include <QSet>

namespace ArgumentSettings {
QVariantMap factoryValues()
{
    return PropertyList::fromFile(QStringLiteral(":/DefaultPrefs.plist")).toMap();
}

void setUp(const QVariantMap &registered, const QVariantMap &user)
{
    // Each test starts with an empty user layer, so only the keys written here, and the factory
    // ones a test may have changed directly, can be left over.
    static QSet<QString> written;
    SettingsStore &store = LamePrefs::preferences();
    QVariantMap layer = registered;
    for (auto it = user.begin(); it != user.end(); ++it) {
        if (!it.value().isValid())
            layer.remove(it.key());
    }
    store.resetRegisteredDefaults();
    store.registerDefaults(layer);
    const QStringList factoryKeys = factoryValues().keys();
    for (const QString &key : written + QSet<QString>(factoryKeys.begin(), factoryKeys.end()))
        store.removeObjectForKey(key);
    for (auto it = user.begin(); it != user.end(); ++it) {
        const QVariant &value = it.value();
        written.insert(it.key());
        if (value.typeId() == QMetaType::Bool)
            store.setBool(value.toBool(), it.key());
        else if (value.typeId() == QMetaType::Int)
            store.setInteger(value.toInt(), it.key());
        else if (value.typeId() == QMetaType::Float || value.typeId() == QMetaType::Double)
            store.setFloat(value.toFloat(), it.key());
        else if (value.isValid())
            store.setObject(value.toString(), it.key());
    }
}

void setUpWithFactoryValues(const QVariantMap &user)
{
    setUp(factoryValues(), user);
}
} // namespace ArgumentSettings
