#pragma once

#include <QString>

// The names of the MP3 files a batch or a rip writes.
namespace OutputNames {
// `name` followed by ".mp3". A file name holds at most 255 bytes: a longer name keeps its start,
// cut between two characters, so that the file is still written.
QString mp3FileName(const QString &name);
// The MP3 in `folder` for the input file at `inputPath`: the input's name without its extension.
QString forInput(const QString &inputPath, const QString &folder);
} // namespace OutputNames
