#pragma once

#include <QString>
#include <QStringList>

// Finds the application's resources that must be real files (the encoder launchers, the help
// page): beside the executable in a build tree, under share/orvik in an installed Orvik, or in
// the build tree the program was built in.
namespace Resources {
// The path of the resource `name` (with `type` as its extension when not empty), or an empty
// string when there is none.
QString pathForResource(const QString &name, const QString &type = QString());
// The folders searched, most specific first.
QStringList searchFolders();
// Searches `folder` before all others, for tests that put a stand-in resource there.
void prependSearchFolder(const QString &folder);
} // namespace Resources
