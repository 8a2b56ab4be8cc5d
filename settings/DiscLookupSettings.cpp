#include "settings/DiscLookupSettings.h"

#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"

#include <QCheckBox>
#include <QLineEdit>

void DiscLookupSettings::bind(QWidget *window, SettingsStore &store)
{
    QCheckBox *online = nullptr;
    QLineEdit *musicBrainz = nullptr, *coverArt = nullptr;
    using WindowDescription::Outlet;
    if (!WindowDescription::findOutlets(window, Outlet{&online, "lookUpDiscs"},
                                        Outlet{&musicBrainz, "musicBrainzServer"},
                                        Outlet{&coverArt, "coverArtServer"}))
        return;
    online->setChecked(store.boolForKey(PrefKey::LookUpDiscsOnline));
    QObject::connect(online, &QCheckBox::toggled, window,
                     [&store](bool checked) { store.setBool(checked, PrefKey::LookUpDiscsOnline); });
    for (const auto &[field, key] : {std::pair{musicBrainz, &PrefKey::MusicBrainzServer},
                                     std::pair{coverArt, &PrefKey::CoverArtServer}}) {
        field->setText(store.stringForKey(*key));
        // An emptied field puts the service's own address back.
        QObject::connect(field, &QLineEdit::editingFinished, window, [&store, field = field, key = key] {
            const QString address = field->text().trimmed();
            if (address.isEmpty()) {
                store.removeObjectForKey(*key);
                field->setText(store.stringForKey(*key));
            } else {
                store.setObject(address, *key);
            }
        });
    }
}
