#include "settings/AudioCDSettings.h"

#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <array>

namespace {
struct Controls
{
    QCheckBox *online = nullptr;
    QLineEdit *musicBrainz = nullptr, *coverArt = nullptr, *accurateRip = nullptr;
    QSpinBox *offset = nullptr;

    // Each address field with the key it stores.
    std::array<std::pair<QLineEdit *, const QString *>, 3> servers() const
    {
        return {{{musicBrainz, &PrefKey::MusicBrainzServer},
                 {coverArt, &PrefKey::CoverArtServer},
                 {accurateRip, &PrefKey::AccurateRipServer}}};
    }
};

bool find(QWidget *window, Controls &controls)
{
    using WindowDescription::Outlet;
    return WindowDescription::findOutlets(
        window, Outlet{&controls.online, "lookUpDiscs"}, Outlet{&controls.musicBrainz, "musicBrainzServer"},
        Outlet{&controls.coverArt, "coverArtServer"}, Outlet{&controls.accurateRip, "accurateRipServer"},
        Outlet{&controls.offset, "driveReadOffset"});
}

void show(const Controls &controls, const SettingsStore &store)
{
    controls.online->setChecked(store.boolForKey(PrefKey::LookUpDiscsOnline));
    for (const auto &[field, key] : controls.servers())
        field->setText(store.stringForKey(*key));
    const QSignalBlocker quiet(controls.offset);
    controls.offset->setValue(store.integerForKey(PrefKey::DriveReadOffset));
}
} // namespace

bool AudioCDSettings::restore(const QObject *sender, QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!sender || sender->objectName() != u"restoreDiscLookup" || !find(window, controls))
        return false;
    for (const QString *key :
         {&PrefKey::LookUpDiscsOnline, &PrefKey::MusicBrainzServer, &PrefKey::CoverArtServer,
          &PrefKey::AccurateRipServer, &PrefKey::DriveReadOffset})
        store.removeObjectForKey(*key);
    show(controls, store);
    return true;
}

void AudioCDSettings::bind(QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!find(window, controls))
        return;
    show(controls, store);
    QObject::connect(controls.online, &QCheckBox::clicked, window,
                     [&store](bool checked) { store.setBool(checked, PrefKey::LookUpDiscsOnline); });
    for (const auto &[field, key] : controls.servers()) {
        // An emptied field puts the service's own address back.
        QObject::connect(field, &QLineEdit::editingFinished, window, [&store, field = field, key = key] {
            const QString address = field->text().trimmed();
            if (address.isEmpty())
                store.removeObjectForKey(*key);
            else
                store.setObject(address, *key);
            if (field->text() != store.stringForKey(*key))
                field->setText(store.stringForKey(*key));
        });
    }
    QObject::connect(controls.offset, &QSpinBox::valueChanged, window,
                     [&store](int samples) { store.setInteger(samples, PrefKey::DriveReadOffset); });
}
