#pragma once

#include <QObject>
#include <QString>

class LamePrefs;

// The controller of one rip window. Audio-CD ripping is not built yet: the factory answers none,
// so every request for a rip window behaves as when no audio CD is mounted.
class Ripper : public QObject
{
    Q_OBJECT

  public:
    // A rip window for the audio CD mounted at `mountPoint`, or for the first mounted audio CD
    // without a window when `mountPoint` is empty; nullptr when there is no such disc.
    static Ripper *initWithPreferences(LamePrefs *preferences, const QString &mountPoint);
};
