#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <memory>

class QTemporaryFile;

// What a task record takes from its input file itself: the song tags the file carries, read once
// when it is added (so that a tag the user cleared stays cleared), and its cover picture, handed
// to the encoder as a file when its turn comes.
namespace TaskSource {
// A new task record for the input at `path`: the path, and each tag the file carries under its
// record key.
QVariantMap recordFor(const QString &path);
// The input's cover picture (SourceTags::cover) in a temporary file, or null when there is none
// or the file cannot be written (then `lost` is set). The file is removed when the object goes.
std::unique_ptr<QTemporaryFile> coverFile(const QByteArray &picture, bool *lost);
} // namespace TaskSource
