#pragma once

#include <QString>

// A message in the desktop's notification area (org.freedesktop.Notifications), for news the
// user should see while Orvik is not in front. The call is made without waiting for an answer:
// where no notification service runs, nothing is shown and nothing else happens.
namespace DesktopNotification {
// True when none of Orvik's windows is the active one, so that a sheet alone would go unseen.
bool applicationInBackground();
void show(const QString &summary, const QString &body);
} // namespace DesktopNotification
