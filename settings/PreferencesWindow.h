#pragma once

#include <QObject>

class LamePrefs;
class QWidget;

// The settings window (placeholder until the settings window lands).
class PreferencesWindow : public QObject
{
    Q_OBJECT
  public:
    explicit PreferencesWindow(LamePrefs *owner);
    QWidget *window() const { return prefsWindow; }

  private:
    QWidget *prefsWindow = nullptr;
};
