#pragma once

class QObject;
class QWidget;
class SettingsStore;

// The settings window's controls of the rip check: the AccurateRip database's address and the
// drive's read offset, in the audio CD group. Each change is stored at once, as every setting is.
namespace AccurateRipSettings {
// Shows the stored values in the controls of `window` and stores what the user changes. Does
// nothing when a control is missing.
void bind(QWidget *window, SettingsStore &store);
// When `sender` is the audio CD group's restore button: puts the factory values of these settings
// back into `store` and the controls (the group's other settings are restored by their own code).
void restore(const QObject *sender, QWidget *window, SettingsStore &store);
} // namespace AccurateRipSettings
