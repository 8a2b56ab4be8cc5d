#include "settings/DiscLookupSettings.h"

#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {
struct Controls
{
    QCheckBox *online = nullptr;
    QLineEdit *musicBrainz = nullptr, *coverArt = nullptr;
};

bool find(QWidget *window, Controls &controls)
{
    using WindowDescription::Outlet;
    return WindowDescription::findOutlets(window, Outlet{&controls.online, "lookUpDiscs"},
                                          Outlet{&controls.musicBrainz, "musicBrainzServer"},
                                          Outlet{&controls.coverArt, "coverArtServer"});
}

void show(const Controls &controls, const SettingsStore &store)
{
    controls.online->setChecked(store.boolForKey(PrefKey::LookUpDiscsOnline));
    controls.musicBrainz->setText(store.stringForKey(PrefKey::MusicBrainzServer));
    controls.coverArt->setText(store.stringForKey(PrefKey::CoverArtServer));
}
} // namespace

bool DiscLookupSettings::restore(const QObject *sender, QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!sender || sender->objectName() != u"restoreDiscLookup" || !find(window, controls))
        return false;
    for (const QString *key :
         {&PrefKey::LookUpDiscsOnline, &PrefKey::MusicBrainzServer, &PrefKey::CoverArtServer})
        store.removeObjectForKey(*key);
    show(controls, store);
    return true;
}

void DiscLookupSettings::bind(QWidget *window, SettingsStore &store)
{
    Controls controls;
    if (!find(window, controls))
        return;
    show(controls, store);
    auto *online = controls.online;
    QObject::connect(online, &QCheckBox::clicked, window,
                     [&store](bool checked) { store.setBool(checked, PrefKey::LookUpDiscsOnline); });
    for (const auto &[field, key] : {std::pair{controls.musicBrainz, &PrefKey::MusicBrainzServer},
                                     std::pair{controls.coverArt, &PrefKey::CoverArtServer}}) {
        // An emptied field puts the service's own address back.
        QObject::connect(field, &QLineEdit::editingFinished, window, [&store, field = field, key = key] {
            const QString address = field->text().trimmed();
            if (address.isEmpty()) {
                store.removeObjectForKey(*key);
                field->setText(store.stringForKey(*key));
            } else {
                store.setObject(address, *key);
                if (field->text() != address)
                    field->setText(address);
            }
        });
    }
}
