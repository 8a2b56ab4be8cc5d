#pragma once

#include <QByteArray>
#include <QString>

// The song tags and the cover picture an audio file carries itself: Vorbis comments in FLAC, Ogg
// Vorbis and Opus files, ID3v2 or RIFF INFO tags in WAV files, ID3v2 tags in AIFF files. The kind
// is told by the file's first bytes, never by its name. Only a regular file is opened, and without
// blocking, so a pipe put in an audio file's place cannot hang the window that adds it.
class SourceTags
{
  public:
    struct Picture
    {
        QByteArray data;
        QString mimeType; // "image/jpeg", "image/png" or "image/gif"
    };

    // The tags of the file at `path`; all empty when it has none or cannot be read.
    static SourceTags read(const QString &path);
    // The file's front cover, else its first picture. Only JPEG, PNG and GIF pictures count: the
    // encoder takes no other kind. Empty data when there is none.
    static Picture cover(const QString &path);
    // The kind of picture `data` holds, told by its first bytes; empty for any other kind.
    static QString pictureMimeType(const QByteArray &data);

    // Text as it stands in the file; the year as its number, the track number with its count
    // when the file gives one ("3/12").
    QString title;
    QString artist;
    QString album;
    QString year;
    QString trackNumber;
    QString genre;
    QString comment;
};
