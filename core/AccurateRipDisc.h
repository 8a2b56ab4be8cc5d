#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

// An audio CD as the AccurateRip database knows it: the disc's two AccurateRip IDs and its FreeDB
// ID from the table of contents the audio-CD file system presents, the path of the disc's entry
// in the database, and what an entry says about each track. The database counts only the audio
// tracks in its IDs but ends the disc where its last track, data or not, ends; the FreeDB ID counts
// every track.
class AccurateRipDisc
{
  public:
    // One pressing's checksums as the database holds them, with how many rips agreed on each.
    struct Pressing
    {
        struct Track
        {
            int confidence = 0;
            quint32 checksum = 0;
        };
        QList<Track> tracks;
    };
    // What the database says about one track.
    struct Verdict
    {
        enum Kind { Accurate, NotAccurate, NotInDatabase } kind = NotInDatabase;
        int confidence = 0; // of the pressing that agrees, the highest when several do
    };

    // The disc of the table of contents, or an invalid one when it holds no audio track.
    static AccurateRipDisc fromTableOfContents(const QVariantMap &contents);

    bool isValid() const { return audioTracks > 0; }
    int audioTrackCount() const { return audioTracks; }
    quint32 id1() const { return discId1; }
    quint32 id2() const { return discId2; }
    quint32 freedbId() const { return freedb; }
    // "nnn-xxxxxxxx-xxxxxxxx-xxxxxxxx": the audio tracks, the two IDs and the FreeDB ID.
    QString idText() const;
    // An ID or a checksum as the database's entries and rip logs show it: eight hex digits.
    static QString hexText(quint32 value);
    // The entry's path on the database's server: /accuraterip/a/b/c/dBAR-<idText>.bin.
    QString entryPath() const;

    // The pressings of an entry; empty with `problem` set to one sentence when the entry is
    // empty, cut short or too long, or holds a block of another disc.
    QList<Pressing> parse(const QByteArray &entry, QString *problem) const;
    // What the pressings say about the track numbered `trackNumber` with the checksums a rip got.
    Verdict verdict(const QList<Pressing> &pressings, int trackNumber, quint32 v1, quint32 v2) const;

  private:
    int audioTracks = 0;
    int firstTrack = 0; // the number of the table's first track, data or audio
    quint32 discId1 = 0, discId2 = 0, freedb = 0;
};
