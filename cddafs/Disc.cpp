#include "cddafs/Disc.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <plist/plist.h>
#include <set>
#include <strings.h>
#include <sys/stat.h>

namespace {
// A disc with a second session (an Enhanced CD) has the first session's lead-out and the
// second's lead-in between its last audio track and its data track; none of it is audio.
constexpr int32_t sessionGap = 11400;

// libcdio reports its own troubles on standard error in lines of its own; the program says what
// went wrong in one sentence instead.
void quietLog(cdio_log_level_t, const char *) {}

bool endsWith(const std::string &text, const char *suffix)
{
    const std::size_t length = std::char_traits<char>::length(suffix);
    return text.size() >= length && strcasecmp(text.c_str() + text.size() - length, suffix) == 0;
}

// The length of the well-formed UTF-8 sequence starting at `i`, or 0 when the bytes there are not
// one. Overlong forms, surrogates and code points past U+10FFFF are not UTF-8: a name holding them
// is one that Qt and other readers of file names drop or mangle.
std::size_t utf8Sequence(const std::string &text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    // The lead byte gives the length and the range the second byte must lie in.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : low;   // below: overlong
        high = lead == 0xed ? 0x9f : high; // above: surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : low;   // below: overlong
        high = lead == 0xf4 ? 0x8f : high; // above: past U+10FFFF
    }
    if (length == 0 || i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xc0) != 0x80)
            return 0;
    return length;
}

std::string toUtf8(const std::string &text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Sequence(text, i);
        if (length == 0) {
            std::string converted;
            for (unsigned char c : text) {
                if (c < 0x80) {
                    converted += char(c);
                } else {
                    converted += char(0xc0 | (c >> 6));
                    converted += char(0x80 | (c & 0x3f));
                }
            }
            return converted;
        }
        i += length;
    }
    return text;
}

// libcdio takes CD-TEXT (and a cue sheet's text) to be Latin-1 and converts it; text that was
// UTF-8 already comes out encoded twice ("CafÃ©"). Text whose characters all fit in one byte and
// whose bytes then read as UTF-8 with at least one multi-byte character is taken back.
std::string undoDoubleEncoding(const std::string &text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            bytes += char(c);
        } else if ((c == 0xc2 || c == 0xc3) && i + 1 < text.size()) {
            bytes += char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3f));
        } else {
            return text;
        }
    }
    bool multiByte = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8Sequence(bytes, i);
        if (length == 0)
            return text;
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte ? bytes : text;
}

std::string text(cdtext_t *cdtext, cdtext_field_t field, track_t track)
{
    const char *value = cdtext ? cdtext_get_const(cdtext, field, track) : nullptr;
    return value ? undoDoubleEncoding(toUtf8(value)) : std::string();
}

// UTF-8 text with what XML 1.0 does not allow (C0 controls but tab, line feed and carriage return;
// U+FFFE, U+FFFF) made a blank: libplist writes strings as they are, and other readers refuse the
// whole file for one such character.
std::string xmlText(const std::string &utf8)
{
    std::string result;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t sequence = utf8Sequence(utf8, i), length = std::max<std::size_t>(sequence, 1);
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool allowed = sequence > 0 && (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') &&
                             utf8.compare(i, length, "\xef\xbf\xbe") != 0 &&
                             utf8.compare(i, length, "\xef\xbf\xbf") != 0;
        result += allowed ? utf8.substr(i, length) : std::string(" ");
        i += length;
    }
    return result;
}
} // namespace

std::string safeName(const std::string &title, std::size_t maxBytes)
{
    const std::string utf8 = toUtf8(title);
    std::string name;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = utf8Sequence(utf8, i);
        const auto c = static_cast<unsigned char>(utf8[i]);
        // C0 controls, DEL and the C1 controls (U+0080..U+009F, encoded C2 80..C2 9F).
        const bool control =
            c < 0x20 || c == 0x7f || (c == 0xc2 && static_cast<unsigned char>(utf8[i + 1]) < 0xa0);
        const std::string piece = c == '/' ? "-" : control ? " " : utf8.substr(i, length);
        if (name.size() + piece.size() > maxBytes)
            break;
        name += piece;
        i += length;
    }
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

std::unique_ptr<Disc> Disc::open(const std::string &source, std::string &error)
{
    cdio_log_set_handler(quietLog);
    struct stat info
    {
    };
    if (stat(source.c_str(), &info) != 0) {
        error = "no such drive or disc image";
        return nullptr;
    }
    std::unique_ptr<Disc> disc(new Disc);
    if (S_ISBLK(info.st_mode)) {
        disc->cdio = cdio_open(source.c_str(), DRIVER_DEVICE);
        if (!disc->cdio) {
            error = "the drive cannot be opened";
            return nullptr;
        }
    } else if (S_ISREG(info.st_mode)) {
        disc->image = true;
        if (endsWith(source, ".cue")) {
            // libcdio takes the data from the file named like the cue sheet, whatever its FILE
            // line says.
            const std::string data = source.substr(0, source.size() - 4) + ".bin";
            struct stat dataInfo
            {
            };
            if (stat(data.c_str(), &dataInfo) != 0) {
                error = "the image's data file " + data.substr(data.rfind('/') + 1) + " is missing";
                return nullptr;
            }
            disc->dataFile = data;
        } else if (endsWith(source, ".bin")) {
            disc->dataFile = source;
        }
        disc->cdio = cdio_open(source.c_str(), DRIVER_UNKNOWN);
        if (!disc->cdio) {
            error = "not a disc image that can be read";
            return nullptr;
        }
    } else {
        error = "neither a CD drive nor a disc image";
        return nullptr;
    }

    CdIo_t *cdio = disc->cdio;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        error = disc->image ? "the image holds no tracks" : "there is no disc in the drive";
        return nullptr;
    }
    if (first < 1 || first + count - 1 > CDIO_CD_MAX_TRACKS) {
        error = "the disc's track list is not valid";
        return nullptr;
    }
    disc->leadOutSector = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    lsn_t sessionStart = 0;
    const bool multisession =
        !disc->image && cdio_get_last_session(cdio, &sessionStart) == DRIVER_OP_SUCCESS && sessionStart > 0;
    cdtext_t *cdtext = cdio_get_cdtext(cdio);
    disc->album = text(cdtext, CDTEXT_FIELD_TITLE, 0);
    disc->albumPerformer = text(cdtext, CDTEXT_FIELD_PERFORMER, 0);
    for (track_t number = first + 1; number < first + count; ++number) {
        const lsn_t start = cdio_get_track_lsn(cdio, number);
        if (cdio_get_track_lsn(cdio, number - 1) == CDIO_INVALID_LSN || start == CDIO_INVALID_LSN ||
            start <= cdio_get_track_lsn(cdio, number - 1)) {
            error = "the disc's track list is not valid";
            return nullptr;
        }
    }
    bool anyAudio = false;
    for (track_t number = first; number < first + count; ++number) {
        Track track;
        track.number = number;
        track.data = cdio_get_track_format(cdio, number) != TRACK_FORMAT_AUDIO;
        track.start = cdio_get_track_lsn(cdio, number);
        const bool last = number + 1 == first + count;
        const int32_t end = last ? disc->leadOutSector : cdio_get_track_lsn(cdio, number + 1);
        if (track.start < 0) {
            error = "the disc's track list is not valid";
            return nullptr;
        }
        if (end == CDIO_INVALID_LSN || end <= track.start) {
            // A cue sheet's tracks all lie in its data file: one that ends before a track
            // starts has been cut short.
            error = disc->image ? "the image's data is shorter than its cue sheet says"
                                : "the disc's track list is not valid";
            return nullptr;
        }
        track.length = end - track.start;
        if (!track.data && !last && multisession &&
            cdio_get_track_format(cdio, number + 1) != TRACK_FORMAT_AUDIO && track.length > sessionGap)
            track.length -= sessionGap;
        track.title = text(cdtext, CDTEXT_FIELD_TITLE, number);
        track.performer = text(cdtext, CDTEXT_FIELD_PERFORMER, number);
        anyAudio = anyAudio || !track.data;
        disc->trackList.push_back(track);
    }
    if (!anyAudio) {
        error = "the disc has no audio tracks";
        return nullptr;
    }

    // "N Title.aiff": N unpadded, at most 255 bytes in all. Track numbers differ, so the names
    // do; the set only guards that promise.
    std::set<std::string> used;
    for (Track &track : disc->trackList) {
        if (track.data)
            continue;
        const std::string prefix = std::to_string(track.number) + ' ';
        std::string title = safeName(track.title, 255 - prefix.size() - 5);
        if (title.empty())
            title = "Audio Track";
        std::string name = prefix + title + ".aiff";
        for (int n = 2; used.count(name); ++n)
            name = prefix + std::to_string(n) + ".aiff";
        used.insert(name);
        track.fileName = name;
    }

    disc->paranoiaDrive = cdio_cddap_identify_cdio(cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!disc->paranoiaDrive) {
        error = "the disc's audio cannot be read";
        return nullptr;
    }
    if (cdio_get_driver_id(cdio) != DRIVER_BINCUE)
        disc->dataFile.clear();
    // A cue/bin image holds its samples little-endian; paranoia would otherwise guess the byte
    // order from the sound, and a quiet or synthetic track can fool the guess.
    if (cdio_get_driver_id(cdio) == DRIVER_BINCUE)
        disc->paranoiaDrive->bigendianp = 0;
    if (cdio_cddap_open(disc->paranoiaDrive) != 0) {
        error = "the disc's audio cannot be read";
        return nullptr;
    }
    return disc;
}

Disc::~Disc()
{
    if (paranoiaDrive)
        cdio_cddap_close_no_free_cdio(paranoiaDrive);
    if (cdio)
        cdio_destroy(cdio);
}

int32_t Disc::imageSectors() const
{
    struct stat info
    {
    };
    if (dataFile.empty())
        return -1;
    return stat(dataFile.c_str(), &info) == 0 ? int32_t(info.st_size / CDIO_CD_FRAMESIZE_RAW) : 0;
}

std::string Disc::volumeName() const
{
    const std::string name = safeName(album, 255);
    return name.empty() || name == "." || name == ".." ? std::string("Audio CD") : name;
}

std::string Disc::tableOfContents() const
{
    plist_t root = plist_new_dict();
    plist_t sessions = plist_new_array();
    plist_t session = plist_new_dict();
    plist_t array = plist_new_array();
    for (const Track &track : trackList) {
        plist_t entry = plist_new_dict();
        plist_dict_set_item(entry, "Point", plist_new_uint(track.number));
        plist_dict_set_item(entry, "Data", plist_new_bool(track.data));
        plist_dict_set_item(entry, "Start Block", plist_new_uint(track.start));
        plist_dict_set_item(entry, "Block Count", plist_new_uint(track.length));
        plist_dict_set_item(entry, "Session Number", plist_new_uint(1));
        if (!track.title.empty())
            plist_dict_set_item(entry, "Title", plist_new_string(xmlText(track.title).c_str()));
        if (!track.performer.empty())
            plist_dict_set_item(entry, "Performer", plist_new_string(xmlText(track.performer).c_str()));
        plist_array_append_item(array, entry);
    }
    plist_dict_set_item(session, "Session Number", plist_new_uint(1));
    plist_dict_set_item(session, "First Track", plist_new_uint(trackList.front().number));
    plist_dict_set_item(session, "Last Track", plist_new_uint(trackList.back().number));
    plist_dict_set_item(session, "Leadout Block", plist_new_uint(leadOutSector));
    plist_dict_set_item(session, "Track Array", array);
    plist_array_append_item(sessions, session);
    plist_dict_set_item(root, "Sessions", sessions);
    if (!album.empty())
        plist_dict_set_item(root, "Title", plist_new_string(xmlText(album).c_str()));
    if (!albumPerformer.empty())
        plist_dict_set_item(root, "Performer", plist_new_string(xmlText(albumPerformer).c_str()));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    std::string result(xml ? xml : "", length);
    plist_to_xml_free(xml);
    plist_free(root);
    return result;
}
