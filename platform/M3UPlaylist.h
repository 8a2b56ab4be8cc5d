#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// An extended M3U playlist in UTF-8 (.m3u8): one location per line, each optionally preceded by
// an "#EXTINF:<seconds>,<title>" line. Locations below the playlist's folder are written relative
// to it and all others absolute; a path that no line could hold (one with a line break or other
// control character) is written as a percent-encoded file URL. Titles are kept on one line.
// Lines the playlist does not understand are kept as they were.
class M3UPlaylist
{
  public:
    struct Entry
    {
        QString location;
        int seconds = -1;
        QString title;
        QStringList otherLines; // unknown directives and comments before the location
    };

    QList<Entry> entries;
    QStringList trailingLines;

    // Reads the file; false when it cannot be read (the playlist is then empty).
    bool read(const QString &path);
    // Writes the whole playlist to a temporary file and renames it over `path`, so the file is
    // never left half-written. False when that failed; the old file is then unchanged.
    bool write(const QString &path) const;
    QByteArray toUtf8() const;

    // The location line for the file at `filePath` in a playlist kept in `playlistFolder`.
    static QString locationFor(const QString &filePath, const QString &playlistFolder);
    // The absolute path that a location line names, or an empty string for a remote URL.
    static QString resolve(const QString &location, const QString &playlistFolder);
    // The title as it can stand in an #EXTINF line: control characters become spaces.
    static QString singleLine(const QString &title);
};
