#pragma once

#include <QString>
#include <QVariantMap>

// The pattern a batch names its files by, relative to its destination: literal text and folders
// with the placeholders {artist}, {album}, {track}, {title} and {name} (the input's name without
// its extension). The factory pattern, {name}, writes each file beside the others under its
// input's name.
namespace OutputNamePattern {
inline const QString kFactoryPattern = QStringLiteral("{name}");

enum class Problem {
    None,
    LeavesFolder,       // an absolute path, or ".." among its folders
    UnknownPlaceholder, // braces around a name that is none of the placeholders
    NoFileName,         // empty, or ending in a folder
};
// Why `pattern` cannot name a batch's files; `placeholder` gets the unknown one.
Problem check(const QString &pattern, QString *placeholder = nullptr);

// The MP3 in `folder` that a pattern without problems names for `task`. A tag the record lacks
// is taken from `options`, the run's common tags; an empty one becomes the input's name. Tag
// values never add folders: "/" and the characters file systems refuse become "_".
QString outputFor(const QString &pattern, const QVariantMap &task, const QVariantMap &options,
                  const QString &folder);
} // namespace OutputNamePattern
