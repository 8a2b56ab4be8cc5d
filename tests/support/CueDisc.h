#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Audio-CD images (a cue sheet and its raw .bin) written by the tests, and real mounts of them by
// orvik-cddafs.
namespace CueDisc {
struct Track
{
    QByteArray title; // no TITLE line when null
    int sectors;
    bool data = false;
    QByteArray samples = {}; // 16-bit little-endian stereo; a tone of the track's own when empty
};
// Writes `folder`/`name`.cue and .bin; the cue sheet's path, or empty when that failed.
QString write(const QString &folder, const QString &name, const QByteArray &album, QList<Track> &tracks);
// Mounts `cue` with `options` in a folder named after the disc inside `folder`: the mount point,
// or empty.
QString mount(const QString &cue, const QString &folder, QString *errors = nullptr,
              const QStringList &options = {});
// The orvik-cddafs mount points inside `folder`, as the kernel's bytes (a name need not be UTF-8).
QByteArrayList mounts(const QString &folder);
// A table of contents as the file system presents it, of one session with tracks "Point" or
// "Point:data".
QByteArray tableOfContents(const QStringList &tracks);
// A table of contents as read from the volume: tracks "start" or "start:data", and the lead-out.
QVariantMap toc(const QStringList &tracks, int leadOut);
// Reads with O_DIRECT, so that every read reaches the file system; "error" when the read fails.
QByteArray readDirect(const QString &path, qint64 offset, qint64 size);
// The extended attribute `name` of `path`; "none" when it has none.
QByteArray attribute(const QString &path, const char *name);
// A loaded machine may still be letting go of the last read: a busy mount is tried again.
bool unmount(const QString &point);
} // namespace CueDisc
