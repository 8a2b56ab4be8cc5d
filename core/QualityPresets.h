#pragma once

#include <QList>
#include <QVariantMap>

class SettingsStore;

// The quality entries the settings window offers in plain words. Each stands for one of the
// encoder's documented presets and is nothing but a set of stored settings: choosing it writes
// them, and the store shows as that entry for as long as it holds them, so the command line is
// built from the settings as always and a stored choice keeps its meaning.
namespace QualityPresets {
struct Preset
{
    int tag; // the settings window's item tag; 0 stands for settings no entry describes
    // The settings the entry writes: each value in the form it is stored in; an invalid value
    // removes the key.
    QVariantMap settings;
};

const QList<Preset> &all();
// The tag of the entry whose settings `store` holds, or 0 when none does.
int matching(const SettingsStore &store);
// Writes the settings of the entry with `tag`; false, writing nothing, for a tag of no entry.
bool apply(SettingsStore &store, int tag);
} // namespace QualityPresets
