#pragma once

#include <QString>

// The last component of a path, as the file viewer names it: "a.wav" of "/music/a.wav", "album"
// of "/music/album/" (trailing slashes do not count), and "/" of the root.
QString lastPathComponent(const QString &path);
// The path with the user's home folder written as "~": "~/Music" for the music folder.
QString abbreviateWithTilde(const QString &path);
