#include "settings/AccurateRipSettings.h"

#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"

#include <QLineEdit>
#include <QSpinBox>

namespace {
struct Controls
{
    QLineEdit *server = nullptr;
    QSpinBox *offset = nullptr;
};

bool find(QWidget *window, Controls &controls)
{
    using WindowDescription::Outlet;
    return WindowDescription::findOutlets(window, Outlet{&controls.server, "accurateRipServer"},
                                          Outlet{&controls.offset, "driveReadOffset"});
}

void show(const Controls &controls, const SettingsStore &store)
{
    controls.server->setText(store.stringForKey(PrefKey::AccurateRipServer));
    const QSignalBlocker quiet(controls.offset);
    controls.offset->setValue(store.integerForKey(PrefKey::DriveReadOffset));
}
} // namespace

void AccurateRipSettings::restore(const QObject *sender, QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!sender || sender->objectName() != u"restoreDiscLookup" || !find(window, controls))
        return;
    store.removeObjectForKey(PrefKey::AccurateRipServer);
    store.removeObjectForKey(PrefKey::DriveReadOffset);
    show(controls, store);
}

void AccurateRipSettings::bind(QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!find(window, controls))
        return;
    show(controls, store);
    QLineEdit *field = controls.server;
    // An emptied field puts the database's own address back.
    QObject::connect(field, &QLineEdit::editingFinished, window, [&store, field] {
        const QString address = field->text().trimmed();
        if (address.isEmpty())
            store.removeObjectForKey(PrefKey::AccurateRipServer);
        else
            store.setObject(address, PrefKey::AccurateRipServer);
        field->setText(store.stringForKey(PrefKey::AccurateRipServer));
    });
    QObject::connect(controls.offset, &QSpinBox::valueChanged, window,
                     [&store](int samples) { store.setInteger(samples, PrefKey::DriveReadOffset); });
}
