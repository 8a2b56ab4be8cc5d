#pragma once

#include <QString>
#include <QVariantMap>

// The MusicBrainz disc ID of an audio CD, computed by libdiscid from the table of contents the
// audio-CD file system presents (".TOC.plist": each track's "Point", "Data" and "Start Block", the
// session's "Leadout Block"). The ID covers the audio tracks only: a data track after them (an
// Enhanced CD) does not count, and the audio ends 11400 sectors before it starts, where the
// first session's lead-out and the second's lead-in lie.
class MusicBrainzDiscId
{
  public:
    // The ID of the disc, or an invalid one when the table of contents holds no audio track or
    // offsets libdiscid refuses.
    static MusicBrainzDiscId fromTableOfContents(const QVariantMap &contents);

    bool isValid() const { return !discId.isEmpty(); }
    // The 28-character ID ("Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-").
    QString id() const { return discId; }
    // First and last audio track, sectors, then each track's offset, separated by blanks.
    QString toc() const { return tocText; }
    int trackCount() const { return tracks; }
    // The page of the MusicBrainz server at `server` that attaches this disc to a release.
    QString submissionUrl(const QString &server) const;

  private:
    QString discId;
    QString tocText;
    int tracks = 0;
};
