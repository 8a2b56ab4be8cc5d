#pragma once

#include "platform/AppleEvents.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

// Orvik's music library, the receiver of the events sent to the application signature "hook".
// Playlists are M3U8 files in the "Playlists" folder of the user's music folder; tracks are MP3
// files, whose song tags the library writes into the files themselves (ID3v2.4, UTF-8 text).
//
// The library itself is the set of files added to it in this session: adding a file checks that
// it is an MP3 that can be tagged, gives it a track identifier and, when a playlist is named,
// lists it there. Nothing else is written for the library alone: the tags travel with the file,
// where every music player finds them.
//
// Events understood:
// - 'core'/'crel' with 'kocl' = 'cUsP' and 'prdt' optionally holding 'pnam': a new playlist;
//   answers 'obj '{want 'cUsP', from null, form 'name', seld 'utxt' name}.
// - 'hook'/'Add ' with '----' = 'fsrf' and optionally 'insh' = a playlist: adds the file (an
//   'insh' of type null adds it to the library alone, so a run whose playlist could not be made
//   still gets its tags); answers 'obj '{want 'cFlT', from null, form 'ID  ', seld 'long' track identifier}.
// - 'core'/'setd' with '----' = property 'prop' of a track and 'data' = 'utxt' or 'long': writes
//   the tag (pnam, pArt, pAlb, pYr , pTrN, pTrC, pCmt, pGen); pPCT with 'data' = 'tdta' JPEG, PNG or
//   GIF bytes makes that picture the file's front cover.
// - 'core'/'delo' with '----' = a playlist: removes the playlist's file when it lists nothing, so a
//   run that added no file leaves no empty playlist behind; a playlist with entries is kept and
//   the event fails with errAEEventFailed.
// Failures answer ioErr for a file that cannot be read or written as an MP3, errAENoSuchObject
// for an unknown track or playlist, errAEWrongDataType for malformed parameters and
// errAEEventNotHandled for other events.
class MusicLibrary
{
  public:
    // The codes of the events above, for the library and for those who send to it.
    static constexpr FourCharCode kSignature = fourCharCode("hook");
    static constexpr AEEventClass kEventClass = kSignature;
    static constexpr AEEventID kAddEvent = fourCharCode("Add ");
    static constexpr DescType kUserPlaylistClass = fourCharCode("cUsP");
    static constexpr DescType kFileTrackClass = fourCharCode("cFlT");
    static constexpr FourCharCode kTitle = fourCharCode("pnam");
    static constexpr FourCharCode kArtist = fourCharCode("pArt");
    static constexpr FourCharCode kAlbum = fourCharCode("pAlb");
    static constexpr FourCharCode kYear = fourCharCode("pYr ");
    static constexpr FourCharCode kTrackNumber = fourCharCode("pTrN");
    static constexpr FourCharCode kTrackCount = fourCharCode("pTrC");
    static constexpr FourCharCode kComment = fourCharCode("pCmt");
    static constexpr FourCharCode kGenre = fourCharCode("pGen");
    static constexpr FourCharCode kArtwork = fourCharCode("pPCT");

    // The library of this process.
    static MusicLibrary &instance();

    // Installs this library as the receiver for "hook", replacing any other.
    void registerReceiver();
    OSErr handleEvent(const AppleEvent *event, AppleEvent *reply);

    // The user's music folder and the folder of the playlists inside it.
    static QString musicFolder();
    static QString playlistsFolder();
    static QString playlistPath(const QString &name);

    // The file name (without extension) a title gives a playlist: control characters become
    // spaces, "/" becomes "-", white space is collapsed, leading dots are dropped, and the name
    // is cut to 200 bytes of UTF-8. Empty when nothing printable is left.
    static QString playlistBaseName(const QString &title);

    // Makes a new, empty playlist named after `title` ("Untitled Playlist" without a usable
    // title), numbered " 2", " 3"... when the name is taken; never replaces a file.
    OSErr createPlaylist(const QString &title, QString *name);
    // Adds an MP3 file to the library and, unless `playlist` is null, to that playlist.
    OSErr addFile(const QString &path, const QString &playlist, qint32 *trackID);
    // Removes a playlist that lists no file.
    OSErr deleteEmptyPlaylist(const QString &playlist);
    // Writes one tag of a track into its file. `value` is text or a number.
    OSErr setTrackProperty(qint32 trackID, FourCharCode property, const QVariant &value);
    // Writes one tag (a property above) into the MP3 file at `path`, whether or not the library
    // holds it: ioErr when the file is no MP3 or cannot be written, and then it is left as it was.
    static OSErr writeFileProperty(const QString &path, FourCharCode property, const QVariant &value);
    // Writes user text frames (TXXX), one per description and text, into the MP3 file at `path`,
    // replacing any of the same description in whatever letter case: ioErr as above.
    static OSErr writeUserTexts(const QString &path, const QList<std::pair<QString, QString>> &texts);
    // The file of a track, or a null string for an unknown identifier.
    QString trackPath(qint32 trackID) const;

  private:
    struct Track
    {
        QString path;
        QStringList playlists;
    };

    OSErr handleCreate(const AppleEvent *event, AppleEvent *reply);
    OSErr handleAdd(const AppleEvent *event, AppleEvent *reply);
    OSErr handleSetData(const AppleEvent *event);
    OSErr handleDelete(const AppleEvent *event);
    void retitleEntries(const Track &track, int seconds, const QString &title);

    QHash<qint32, Track> tracks;
    QHash<QString, qint32> trackIDs;
    qint32 lastTrackID = 0;
};
