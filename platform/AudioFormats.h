#pragma once

#include <QString>
#include <QStringList>

// The kinds of audio file Orvik takes while raw input is off: one list for every way a file comes
// in (the Add panel's filter, a drag onto a batch or rip window) and for the messages that name a
// file's kind. Every kind here is one the encoder reads itself, through libsndfile.
namespace AudioFormats {
// The accepted extensions, each in lower and in upper case. Only these spellings count, so a
// drag of "x.Wav" is refused as the platform's open panel would refuse it.
const QStringList &extensions();
bool isAccepted(const QString &path);
// The name a message gives the kind a file's extension promises ("WAV", "FLAC"), or an empty
// string for an extension that names no common kind.
QString kindName(const QString &path);
} // namespace AudioFormats
