#pragma once

#include "platform/AppleEvents.h"

#include <QString>
#include <QVariant>

// Hands finished MP3 files to the music library (the application with signature "hook"): a
// playlist per run, each file added to it (or to the library alone) and its song tags set on the
// new track. Plain functions without state; the callers keep and dispose the descriptors that
// they are given. Every function returns the status of the first step that failed, or noErr.

// Makes sure the music library is there to receive the events of a run: Orvik's own library is
// registered for "hook" unless a receiver already answers for it. Idempotent; runs no command.
void OpenTunes();

// Asks for a new playlist, named `title` (a null string sends no name). On success the
// playlist's descriptor is stored in `result` when given; `result` is left untouched otherwise.
OSErr CreatePlaylist(const QString &title, AEDesc *result);

// Adds the file at `path` to the library, into `playlist` when given. On success the new track's
// descriptor is stored in `result` when given; `result` is left untouched otherwise, so a
// descriptor initialised to null beforehand stays null when the file could not be added.
OSErr AddFileToPlaylist(const QString &path, const AEDesc *playlist, AEDesc *result);

// Removes `playlist` when it lists no file, so that a run which added nothing leaves no empty
// playlist behind.
OSErr DeletePlaylist(const AEDesc *playlist);

// Sets one property of `object` at the application `target` addresses, as a 32-bit number when
// `numeric` is true, as raw data when it holds a QByteArray and as text otherwise. An invalid `data` sends
// nothing and succeeds.
OSErr SetProperty(const AEDesc *target, const AEDesc *object, FourCharCode property, const QVariant &data,
                  bool numeric);

// Sets the song tags of `track` in the order title, artist, album, year, track number, track
// count, comment, genre, stopping at the first failure. An invalid QVariant skips that tag. A
// null track (for instance one whose file could not be added) fails with errAENoSuchObject and
// sends nothing.
OSErr SetTags(const AEDesc *track, const QVariant &title, const QVariant &artist, const QVariant &album,
              const QVariant &year, const QVariant &trackNumber, const QVariant &trackCount,
              const QVariant &comment, const QVariant &genre);

// Sets the picture of `track`: the bytes of a JPEG, PNG or GIF image, the front cover its file
// shows. A null track fails with errAENoSuchObject and sends nothing.
OSErr SetArtwork(const AEDesc *track, const QByteArray &picture);

// Why a hand-over failed, in words for the command log.
QString TunesErrorText(OSErr status);

// The 32-bit integer value of a tag: a number gives its own value (clamped to 32 bits); a string
// skips leading white space and reads an optional sign and decimal digits, 0 when there are none
// and clamped when they overflow.
qint32 TunesIntValue(const QVariant &value);
