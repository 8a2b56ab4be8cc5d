#pragma once

#include "platform/MusicBrainzDiscId.h"

#include <QList>
#include <QString>
#include <QVariantMap>

// Set on the record of a track of the table of contents whose file cannot be opened: why, as a
// sentence for the command log. Such a track is listed all the same and fails when it is ripped,
// so that no track of the disc goes missing without a word.
inline const QString kTrackFileProblemKey = QStringLiteral("Track File Problem");

// The audio tracks of a mounted audio CD as task records, read from what the audio-CD file
// system presents: its table of contents (".TOC.plist" at the root) and its track files. Tracks
// are found by name from the table of contents ("Track 07.cdda"); when the table of contents
// lists tracks but none is found that way, the volume is scanned for AIFF files named
// "N Title.aiff", whose names also give the titles. Each record holds the track's file and its
// number string, and its title where the scan found one; a CD-TEXT title in the table of contents
// takes the place of the file's, since a file name cannot hold a "/", and a CD-TEXT performer of
// a track that differs from the disc's goes into the record as the track's artist. Every audio track of the
// table of contents has a record, also one whose file is missing or has a name that is not valid text (which
// the folder listing leaves out): its record says why under kTrackFileProblemKey.
class DiscTrackList
{
  public:
    // True when the volume at `mountPoint` presents a table of contents that reads as a dictionary.
    static bool isAudioCD(const QString &mountPoint);
    // The tracks of the disc at `mountPoint`; `trackPrefix` begins the track files' names.
    static DiscTrackList read(const QString &mountPoint, const QString &trackPrefix);

    QList<QVariantMap> tracks;
    // The album title the volume's name suggests (scan pass only); null when there is none.
    QString albumProposal;
    // The disc's CD-TEXT performer; null when there is none.
    QString artistProposal;
    // The disc's MusicBrainz disc ID, from its table of contents.
    MusicBrainzDiscId discId;

  private:
    // Whether any track's file was found.
    bool readByName(const QVariantList &trackArray, const QString &mountPoint, const QString &trackPrefix);
    void scanForAiff(const QVariantList &trackArray, const QString &mountPoint);
    void takeCdText(const QVariantList &trackArray);
};
