#pragma once

#include <QString>

// The file operations the document controllers rely on, with the platform's meanings.
namespace FileManager {
// True when anything (a file, a folder, a dangling link) stands at the path.
bool fileExistsAtPath(const QString &path);
// True when the user may delete the file: its folder can be written and entered, and the file
// is not marked immutable or append-only.
bool isDeletableFileAtPath(const QString &path);
// Removes a file or an empty folder; false when nothing was removed.
bool removeFileAtPath(const QString &path);
} // namespace FileManager
