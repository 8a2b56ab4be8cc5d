#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

// The names of the files and folders a batch or a rip writes. A file name holds at most 255
// bytes: a longer name keeps its start, cut between two characters, so that the file is still
// written.
namespace OutputNames {
// `name` cut between two characters to at most `bytes` bytes (of its UTF-8 form).
QString fitted(const QString &name, qsizetype bytes);
// `name` followed by ".mp3", cut to fit.
QString mp3FileName(const QString &name);
// The MP3 in `folder` for the input file at `inputPath`: the input's name without its extension.
QString forInput(const QString &inputPath, const QString &folder);
// Candidate `number` (1, 2, ...) for a folder called `name` while the earlier ones are taken:
// the name, then the name followed by " 2", " 3" and so on. The name is cut with room for " 2",
// so that the first candidates differ in their number only; a longer number cuts it further.
QString numberedName(const QString &name, int number);
// Candidate `number` for another MP3 beside the one at `path`: for "Song.mp3" the path itself,
// then "Song 2.mp3", "Song 3.mp3" and so on; a long name is cut so that its number stays.
QString numberedFile(const QString &path, int number);
// The first of those candidates from "Song 2.mp3" on that is not on disk and that none of `tasks`
// (run records) writes: where a file the user chose to keep both of is written.
QString freeFile(const QString &path, const QList<QVariantMap> &tasks);
} // namespace OutputNames
