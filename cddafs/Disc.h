#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;

// One audio CD, from a drive or a disc image, as libcdio reads it: the table of contents, the
// CD-TEXT titles and the names its files get on the volume. Opening checks everything a mount
// relies on, so that a bad source is refused with one sentence before anything is mounted.
class Disc
{
  public:
    struct Track
    {
        int number = 0;
        bool data = false;
        int32_t start = 0;  // first sector (LSN; track 1 of an image starts at 0)
        int32_t length = 0; // sectors that belong to the track's audio
        std::string title;  // CD-TEXT, UTF-8; empty when the disc gives none
        std::string performer;
        std::string fileName; // "N Title.aiff"; empty for a data track
    };

    // Answers the disc, or null with `error` set to one sentence saying what is wrong.
    static std::unique_ptr<Disc> open(const std::string &source, std::string &error);
    ~Disc();
    Disc(const Disc &) = delete;
    Disc &operator=(const Disc &) = delete;

    // The ".TOC.plist" the volume presents, as XML.
    std::string tableOfContents() const;
    // The name the volume's folder gets: the CD-TEXT album title made safe, else "Audio CD".
    std::string volumeName() const;

    const std::vector<Track> &tracks() const { return trackList; }
    int32_t leadOut() const { return leadOutSector; }
    // Paranoia's handle on the source, for the reader; images need no verification passes.
    cdrom_drive_t *drive() const { return paranoiaDrive; }
    bool isImage() const { return image; }
    CdIo_t *source() const { return cdio; }
    // The sectors a cue/bin image's data file holds now (it may shrink under a mount), or -1 for
    // any other source.
    int32_t imageSectors() const;

  private:
    Disc() = default;

    CdIo_t *cdio = nullptr;
    cdrom_drive_t *paranoiaDrive = nullptr;
    bool image = false;
    std::string dataFile; // the .bin of a cue/bin image
    std::string album;
    std::string albumPerformer;
    std::vector<Track> trackList;
    int32_t leadOutSector = 0;
};

// Turns a CD-TEXT title into something that can stand in a file name: UTF-8 (CD-TEXT that is
// not valid UTF-8 is taken as Latin-1), "/" replaced, no control characters, no surrounding
// blanks, at most `maxBytes` bytes cut on a character boundary. Empty when nothing is left.
std::string safeName(const std::string &title, std::size_t maxBytes);
