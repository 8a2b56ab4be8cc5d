#include "cddafs/Disc.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <plist/plist.h>
#include <set>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A cue sheet made ready for libcdio, which takes a sheet's data from the file named like the
// sheet with ".bin" (and only for a sheet whose name ends in "cue" or "CUE"), whatever its FILE
// line says, and looks for a CDTEXTFILE beside the sheet. The files the sheet names are found here
// from the sheet's folder, and libcdio reads a copy of the sheet in a private folder beside links
// to them. libcdio has the data file open once it has read the sheet; the folder goes with this.
struct StagedCue
{
    std::string folder;
    std::string sheet; // the copy libcdio is given
    std::string data;  // the data file the sheet names, as found
    std::vector<std::string> made;

    StagedCue() = default;
    StagedCue(const StagedCue &) = delete;
    StagedCue &operator=(const StagedCue &) = delete;
    ~StagedCue()
    {
        for (const std::string &path : made)
            unlink(path.c_str());
        if (!folder.empty())
            rmdir(folder.c_str());
    }
};

// A file a cue sheet names, from the sheet's folder: the path it has, or empty when there is no
// such file. A sheet written where case does not matter may name "x.bin" for "x.BIN": a file whose
// name differs only in the case of its extension is taken too.
std::string locate(const std::string &sheetFolder, const std::string &name)
{
    std::string path = name[0] == '/' ? name : sheetFolder + name;
    const std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0 && dot != std::string::npos && dot > slash) {
        const std::string folder = path.substr(0, slash + 1);
        const std::string stem = path.substr(slash + 1, dot - slash); // with the dot
        const std::string extension = path.substr(dot + 1);
        DIR *dir = opendir(folder.c_str());
        for (dirent *entry = nullptr; dir && (entry = readdir(dir));) {
            const std::string candidate = entry->d_name;
            if (candidate.size() == stem.size() + extension.size() &&
                candidate.compare(0, stem.size(), stem) == 0 &&
                strcasecmp(candidate.c_str() + stem.size(), extension.c_str()) == 0) {
                path = folder + candidate;
                break;
            }
        }
        if (dir)
            closedir(dir);
    }
    char *real =
        stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? realpath(path.c_str(), nullptr) : nullptr;
    const std::string found = real ? real : "";
    std::free(real);
    return found;
}

// Reads the sheet at `source` and stages it; false with `error` set to one sentence when the sheet
// names no data file or several, or a file that is missing or not raw CD audio.
bool stageCue(const std::string &source, StagedCue &staged, std::string &error)
{
    std::ifstream in(source, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (!in.is_open() || in.bad()) {
        error = "the cue sheet cannot be read";
        return false;
    }
    if (!lines.empty() && lines[0].compare(0, 3, "\xef\xbb\xbf") == 0)
        lines[0].erase(0, 3); // a byte-order mark, which libcdio would take for a keyword
    // FILE "name" TYPE, CDTEXTFILE "name": a name in quotes, or up to the next blank.
    struct Named
    {
        std::size_t line;
        std::string keyword, name, type;
    };
    std::vector<Named> named;
    int files = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string &line = lines[n];
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos)
            continue;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        const std::string keyword = line.substr(start, end - start);
        if (keyword != "FILE" && keyword != "CDTEXTFILE")
            continue;
        std::size_t from = std::min(line.find_first_not_of(" \t", end), line.size());
        const bool quoted = from < line.size() && line[from] == '"';
        from += quoted;
        const std::size_t to = std::min(line.find_first_of(quoted ? "\"" : " \t", from), line.size());
        const std::string rest = line.substr(std::min(to + quoted, line.size()));
        const std::size_t type = rest.find_first_not_of(" \t");
        named.push_back(
            {n, keyword, line.substr(from, to - from),
             type == std::string::npos ? "" : rest.substr(type, rest.find_first_of(" \t", type) - type)});
        files += keyword == "FILE";
    }
    if (files != 1) {
        error =
            files == 0 ? "the cue sheet names no data file" : "the cue sheet names more than one data file";
        return false;
    }

    const std::size_t slash = source.rfind('/');
    const std::string sheetFolder = slash == std::string::npos ? "./" : source.substr(0, slash + 1);
    std::vector<std::string> targets;
    for (const Named &entry : named) {
        const bool data = entry.keyword == "FILE";
        const std::string path = entry.name.empty() ? std::string() : locate(sheetFolder, entry.name);
        if (path.empty()) {
            error = std::string(data ? "the image's data file " : "the cue sheet's CD-TEXT file ") +
                    entry.name + " is missing";
            return false;
        }
        if (data && !entry.type.empty() && strcasecmp(entry.type.c_str(), "BINARY") != 0) {
            error = "the image's data file " + entry.name + " is not raw CD audio";
            return false;
        }
        if (data)
            staged.data = path;
        targets.push_back(path);
    }

    const char *temporary = std::getenv("TMPDIR");
    std::string folder = std::string(temporary && *temporary ? temporary : "/tmp") + "/orvik-cddafs-XXXXXX";
    if (!mkdtemp(folder.data())) {
        error = std::string("the cue sheet cannot be read: ") + std::strerror(errno);
        return false;
    }
    staged.folder = folder;
    std::string copy;
    for (std::size_t n = 0, k = 0; n < lines.size(); ++n) {
        if (k < named.size() && named[k].line == n) {
            const std::string link =
                folder + (named[k].keyword == "FILE" ? "/disc.bin" : "/text" + std::to_string(k) + ".cdt");
            if (symlink(targets[k].c_str(), link.c_str()) == 0)
                staged.made.push_back(link);
            copy += named[k].keyword + " \"" + link.substr(folder.size() + 1) + "\"" +
                    (named[k].type.empty() ? "" : " " + named[k].type) + "\n";
            ++k;
        } else {
            copy += lines[n] + "\n";
        }
    }
    staged.sheet = folder + "/disc.cue";
    std::ofstream out(staged.sheet, std::ios::binary);
    staged.made.push_back(staged.sheet);
    if (!(out << copy) || !out.flush() || staged.made.size() != named.size() + 1) {
        error = std::string("the cue sheet cannot be read: ") + std::strerror(errno);
        return false;
    }
    return true;
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
    StagedCue staged;
    if (S_ISBLK(info.st_mode)) {
        disc->cdio = cdio_open(source.c_str(), DRIVER_DEVICE);
        if (!disc->cdio) {
            error = "the drive cannot be opened";
            return nullptr;
        }
    } else if (S_ISREG(info.st_mode)) {
        disc->image = true;
        if (endsWith(source, ".cue")) {
            if (!stageCue(source, staged, error))
                return nullptr;
            disc->dataFile = staged.data;
            disc->cdio = cdio_open(staged.sheet.c_str(), DRIVER_BINCUE);
        } else {
            if (endsWith(source, ".bin"))
                disc->dataFile = source;
            disc->cdio = cdio_open(source.c_str(), DRIVER_UNKNOWN);
        }
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
