#pragma once

class QObject;
class QWidget;
class SettingsStore;

// The settings window's controls of the disc lookup: whether audio CDs are looked up online and
// the addresses of the two services. Each change is stored at once, as every setting is.
namespace DiscLookupSettings {
// Shows the stored values in the controls of `window` and stores what the user changes. Logs
// "Error: corrupt nib file" and does nothing when a control is missing.
void bind(QWidget *window, SettingsStore &store);
// When `sender` is the group's restore button: puts the factory values back into `store` and the
// controls, and answers true.
bool restore(const QObject *sender, QWidget *window, SettingsStore &store);
} // namespace DiscLookupSettings
