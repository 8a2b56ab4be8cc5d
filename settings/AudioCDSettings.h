#pragma once

class QObject;
class QWidget;
class SettingsStore;

// The settings window's controls for audio CDs, kept apart from the encoder's own settings:
// whether discs are looked up online, the addresses of the services asked (MusicBrainz, the
// Cover Art Archive, AccurateRip) and the drive's read offset. Each change is stored at once, as
// every setting is.
namespace AudioCDSettings {
// Shows the stored values in the controls of `window` and stores what the user changes. Logs
// "Error: corrupt nib file" and does nothing when a control is missing.
void bind(QWidget *window, SettingsStore &store);
// When `sender` is the group's restore button: puts the factory values back into `store` and the
// controls, and answers true.
bool restore(const QObject *sender, QWidget *window, SettingsStore &store);
} // namespace AudioCDSettings
