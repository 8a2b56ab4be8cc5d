#include "settings/PreferencesWindow.h"

#include "settings/LamePrefs.h"

PreferencesWindow::PreferencesWindow(LamePrefs *owner) : QObject(owner) {}

void LamePrefs::showWindow() {}
