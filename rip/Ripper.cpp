#include "rip/Ripper.h"

Ripper *Ripper::initWithPreferences(LamePrefs *, const QString &)
{
    return nullptr;
}
