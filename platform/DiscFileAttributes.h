#pragma once

#include <QString>

// What the audio-CD file system tells about its files beyond their bytes, as extended attributes:
// a track's unreadable-sector count and checksums, the volume's source and read offset.
namespace DiscFileAttributes {
// The attribute `name` of the file at `path`, trimmed; null when the file has none (another
// file system, or a file the disc no longer holds).
QString read(const QString &path, const char *name);
} // namespace DiscFileAttributes
