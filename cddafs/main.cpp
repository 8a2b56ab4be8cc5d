// orvik-cddafs: an audio CD, from a drive or a cue/bin image, as a read-only volume.
//
//   orvik-cddafs [-f] SOURCE MOUNTPOINT
//   orvik-cddafs [-f] --name-in FOLDER SOURCE
//
// The second form mounts in a new folder inside FOLDER named after the disc's CD-TEXT album
// title, or "Audio CD" ("Audio CD 2" and so on when taken), and prints that folder's path as one
// line on standard output once the mount is ready. Without -f the program returns once the
// volume is mounted and serves it in the background; the volume goes away when the process
// ends, however it ends.
//
// The volume holds:
//   .TOC.plist    an XML property list: root "Sessions" (array) → element 0 "Track Array", one
//                 dictionary per track in disc order with "Point" (track number), "Data" (true
//                 for a data track), "Start Block" and "Block Count" (sectors); the session also
//                 has "First Track", "Last Track" and "Leadout Block". CD-TEXT, where present, is
//                 in "Title" and "Performer" of the root (the album) and of each track.
//   N Title.aiff  one AIFF file per audio track (16-bit stereo 44.1 kHz, big-endian): N is the
//                 track number, Title its CD-TEXT title or "Audio Track".
//
// A cue sheet's sound is the file its one FILE line names (raw BINARY data), found from the
// sheet's folder; every name is well-formed UTF-8 of at most 255 bytes, and the property list
// holds only characters XML allows.
//
// Reads that meet a sector that could not be read after paranoia's retries fail with EIO; no
// silence stands in for the disc. How many sectors of a track failed since its AIFF file was last
// opened (read on request or ahead of it) is the extended attribute
// "user.orvik.unreadable-sectors" of that file, a decimal number: a rip reads it after the encoder
// has ended, and anything but "0" means the track was not read cleanly (the encoder may have taken
// the EIO for the end of its input). Each open starts a new read of the track, which tries the
// failed sectors again, so a second rip of a scratched disc is a second try. An open, not a read of
// the first byte, marks the start: the kernel keeps what it read of the file between opens, and a
// second read from the start may reach the file system only where the first one failed.
//
// The extended attribute "user.orvik.accuraterip" of a track's file is the track's AccurateRip v1
// and v2 checksums, as two 8-digit hexadecimal numbers separated by a blank, summed over the
// samples the reads since the file was last opened were given. When those reads did not cover
// the whole track, asking for the attribute reads the rest first (an extra pass, in order); it
// fails with EIO when a sector cannot be read. The volume's root has "user.orvik.source" ("drive
// PATH" or "image PATH") and "user.orvik.read-offset" (the correction applied, in samples).
//
// --read-offset SAMPLES corrects the drive's reads by its read offset as AccurateRip's list of
// drives gives it: the disc's sample n is read at the drive's sample n + SAMPLES; samples from
// beyond the disc's ends are silence. A disc image holds its samples where they belong and is not corrected;
// --image-as-drive, for tests, reads an image as if it came from a drive.
#define FUSE_USE_VERSION 31

#include "cddafs/AudioReader.h"
#include "cddafs/Disc.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fuse.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr char unreadableAttribute[] = "user.orvik.unreadable-sectors";
constexpr char checksumAttribute[] = "user.orvik.accuraterip";
constexpr char sourceAttribute[] = "user.orvik.source";
constexpr char offsetAttribute[] = "user.orvik.read-offset";
constexpr std::size_t aiffHeaderBytes = 54;
// Drives read at most a few thousand samples off; more is a mistake in the setting.
constexpr int maxReadOffset = 5 * 588 * 10;

struct File
{
    std::string name;
    std::string header; // the whole file for the table of contents; the AIFF header for a track
    std::size_t track = 0;
    uint64_t size = 0;
    bool audio = false;
};

struct Volume
{
    std::unique_ptr<Disc> disc;
    std::unique_ptr<AudioReader> reader;
    std::vector<File> files;
    time_t mounted = 0;
    // For tests only: how long every read of a track's audio waits before it reads, so that a
    // test can show a drive that reads slowly. Set from ORVIK_CDDAFS_READ_DELAY_MS (milliseconds)
    // once at start; nothing else sets that variable.
    std::chrono::milliseconds readDelay{0};
    std::string source; // "drive PATH" or "image PATH"
    int readOffset = 0; // the correction applied to every read, in samples
};

Volume *volume()
{
    return static_cast<Volume *>(fuse_get_context()->private_data);
}

void putBig(std::string &out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += char((value >> (8 * i)) & 0xff);
}

std::string aiffHeader(uint32_t sectors)
{
    const uint32_t dataBytes = sectors * 2352;
    std::string header = "FORM";
    putBig(header, 46 + uint64_t(dataBytes), 4);
    header += "AIFFCOMM";
    putBig(header, 18, 4);
    putBig(header, 2, 2);                       // channels
    putBig(header, uint64_t(sectors) * 588, 4); // sample frames
    putBig(header, 16, 2);                      // bits
    // 44100 as an 80-bit extended float: exponent 16383 + 15, mantissa 44100 << 48.
    putBig(header, 0x400e, 2);
    putBig(header, 0xac44000000000000ull, 8);
    header += "SSND";
    putBig(header, 8 + uint64_t(dataBytes), 4);
    putBig(header, 0, 4); // offset
    putBig(header, 0, 4); // block size
    return header;
}

const File *lookup(const char *path)
{
    if (path[0] != '/')
        return nullptr;
    for (const File &file : volume()->files)
        if (file.name == path + 1)
            return &file;
    return nullptr;
}

int getattrOp(const char *path, struct stat *info, fuse_file_info *)
{
    std::memset(info, 0, sizeof *info);
    info->st_uid = getuid();
    info->st_gid = getgid();
    info->st_atime = info->st_mtime = info->st_ctime = volume()->mounted;
    if (std::strcmp(path, "/") == 0) {
        info->st_mode = S_IFDIR | 0555;
        info->st_nlink = 2;
        return 0;
    }
    const File *file = lookup(path);
    if (!file)
        return -ENOENT;
    info->st_mode = S_IFREG | 0444;
    info->st_nlink = 1;
    info->st_size = off_t(file->size);
    info->st_blksize = 2352 * 64;
    info->st_blocks = blkcnt_t((file->size + 511) / 512);
    return 0;
}

int readdirOp(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
              fuse_readdir_flags)
{
    if (std::strcmp(path, "/") != 0)
        return -ENOTDIR;
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags(0));
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags(0));
    for (const File &file : volume()->files)
        fill(buffer, file.name.c_str(), nullptr, 0, fuse_fill_dir_flags(0));
    return 0;
}

int openOp(const char *path, fuse_file_info *info)
{
    const File *file = lookup(path);
    if (!file)
        return -ENOENT;
    if ((info->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    // The disc never changes under a mount: what the kernel cached stays true.
    info->keep_cache = 1;
    info->fh = uint64_t(file - volume()->files.data());
    if (file->audio)
        volume()->reader->restart(file->track);
    return 0;
}

int readOp(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *info)
{
    const File &file = volume()->files[info->fh];
    if (offset < 0)
        return -EINVAL;
    if (uint64_t(offset) >= file.size)
        return 0;
    size = std::size_t(std::min<uint64_t>(size, file.size - uint64_t(offset)));
    std::size_t done = 0;
    if (uint64_t(offset) < file.header.size()) {
        done = std::min(size, file.header.size() - std::size_t(offset));
        std::memcpy(buffer, file.header.data() + offset, done);
    }
    if (done < size) {
        if (volume()->readDelay.count() > 0)
            std::this_thread::sleep_for(volume()->readDelay);
        const long n = volume()->reader->read(file.track, uint64_t(offset) + done - aiffHeaderBytes,
                                              size - done, buffer + done);
        if (n < 0)
            return int(n);
        done += std::size_t(n);
    }
    return int(done);
}

int getxattrOp(const char *path, const char *name, char *value, size_t size)
{
    const File *file = lookup(path);
    const bool root = std::strcmp(path, "/") == 0;
    if (!file && !root)
        return -ENOENT;
    std::string answer;
    if (root && std::strcmp(name, sourceAttribute) == 0) {
        answer = volume()->source;
    } else if (root && std::strcmp(name, offsetAttribute) == 0) {
        answer = std::to_string(volume()->readOffset);
    } else if (!file || !file->audio) {
        return -ENODATA;
    } else if (std::strcmp(name, unreadableAttribute) == 0) {
        answer = std::to_string(volume()->reader->unreadableSectors(file->track));
    } else if (std::strcmp(name, checksumAttribute) == 0) {
        uint32_t v1 = 0, v2 = 0;
        if (!volume()->reader->accurateRipChecksums(file->track, v1, v2))
            return -EIO;
        char text[24];
        std::snprintf(text, sizeof text, "%08x %08x", v1, v2);
        answer = text;
    } else {
        return -ENODATA;
    }
    if (size == 0)
        return int(answer.size());
    if (size < answer.size())
        return -ERANGE;
    std::memcpy(value, answer.data(), answer.size());
    return int(answer.size());
}

int listxattrOp(const char *path, char *list, size_t size)
{
    const File *file = lookup(path);
    const bool root = std::strcmp(path, "/") == 0;
    if (!root && (!file || !file->audio))
        return file ? 0 : -ENOENT;
    const std::string names = root ? std::string(sourceAttribute, sizeof sourceAttribute) +
                                         std::string(offsetAttribute, sizeof offsetAttribute)
                                   : std::string(unreadableAttribute, sizeof unreadableAttribute) +
                                         std::string(checksumAttribute, sizeof checksumAttribute);
    if (size == 0)
        return int(names.size());
    if (size < names.size())
        return -ERANGE;
    std::memcpy(list, names.data(), names.size());
    return int(names.size());
}

void *initOp(fuse_conn_info *connection, fuse_config *config)
{
    // Larger requests mean fewer round trips through the kernel; the kernel caps both.
    connection->max_readahead = 1 << 20;
    connection->max_write = 1 << 20;
    config->kernel_cache = 1;
    config->entry_timeout = config->attr_timeout = config->negative_timeout = 3600;
    return fuse_get_context()->private_data;
}

int fail(const std::string &subject, const std::string &message)
{
    std::fprintf(stderr, "orvik-cddafs: %s: %s\n", subject.c_str(), message.c_str());
    return 1;
}

std::string absolute(const std::string &path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char *here = getcwd(nullptr, 0);
    std::string result = here ? std::string(here) + "/" + path : path;
    std::free(here);
    return result;
}

bool isEmptyFolder(const std::string &path)
{
    DIR *dir = opendir(path.c_str());
    if (!dir)
        return false;
    bool empty = true;
    while (dirent *entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            empty = false;
    closedir(dir);
    return empty;
}
} // namespace

int main(int argc, char *argv[])
{
    bool foreground = false;
    bool imageAsDrive = false;
    int readOffset = 0;
    std::string nameIn;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "-f")
            foreground = true;
        else if (argument == "--name-in" && i + 1 < argc)
            nameIn = argv[++i];
        else if (argument == "--read-offset" && i + 1 < argc)
            readOffset = std::clamp(std::atoi(argv[++i]), -maxReadOffset, maxReadOffset);
        else if (argument == "--image-as-drive")
            imageAsDrive = true;
        else
            operands.push_back(argument);
    }
    if (operands.size() != (nameIn.empty() ? 2u : 1u)) {
        std::fprintf(stderr, "usage: orvik-cddafs [-f] [--read-offset SAMPLES] SOURCE MOUNTPOINT\n"
                             "       orvik-cddafs [-f] [--read-offset SAMPLES] --name-in FOLDER SOURCE\n");
        return 2;
    }
    const std::string source = absolute(operands[0]);
    std::string mountPoint = nameIn.empty() ? absolute(operands[1]) : std::string();
    if (!mountPoint.empty()) {
        struct stat info
        {
        };
        if (stat(mountPoint.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return fail(operands[1], "the mount point is not an existing folder");
        if (!isEmptyFolder(mountPoint))
            return fail(operands[1], "the mount point is not empty");
    }

    // Without the device, libfuse would say so in lines of its own after the disc was opened.
    struct stat device
    {
    };
    if (stat("/dev/fuse", &device) != 0)
        return fail("/dev/fuse", "FUSE is not available on this system");

    const auto data = std::make_unique<Volume>();
    std::string error;
    data->disc = Disc::open(source, error);
    if (!data->disc)
        return fail(operands[0], error);
    data->reader = std::make_unique<AudioReader>(*data->disc, readOffset, imageAsDrive);
    data->source = (data->disc->isImage() ? "image " : "drive ") + source;
    data->readOffset = data->disc->isImage() && !imageAsDrive ? 0 : readOffset;
    data->mounted = time(nullptr);
    // For benchmarks only: ORVIK_CDDAFS_NO_CHECKSUMS leaves the checksums out, so that a benchmark
    // can tell what summing them costs a rip; nothing else sets that variable.
    if (std::getenv("ORVIK_CDDAFS_NO_CHECKSUMS"))
        data->reader->leaveOutChecksums();
    if (const char *delay = std::getenv("ORVIK_CDDAFS_READ_DELAY_MS"))
        data->readDelay = std::chrono::milliseconds(std::strtoul(delay, nullptr, 10));
    data->files.push_back({".TOC.plist", data->disc->tableOfContents(), 0, 0, false});
    data->files.back().size = data->files.back().header.size();
    for (std::size_t i = 0; i < data->disc->tracks().size(); ++i) {
        const Disc::Track &track = data->disc->tracks()[i];
        if (track.data)
            continue;
        data->files.push_back({track.fileName, aiffHeader(uint32_t(track.length)), i,
                               aiffHeaderBytes + uint64_t(track.length) * 2352, true});
    }

    if (!nameIn.empty()) {
        // Exclusive creation decides the name, so two discs going in at once never share one.
        const std::string folder = absolute(nameIn) + "/";
        const std::string name = data->disc->volumeName();
        for (int n = 1; mountPoint.empty(); ++n) {
            const std::string suffix = n == 1 ? std::string() : " " + std::to_string(n);
            const std::string candidate = folder + safeName(name, 255 - suffix.size()) + suffix;
            if (mkdir(candidate.c_str(), 0700) == 0)
                mountPoint = candidate;
            else if (errno != EEXIST || n > 999)
                return fail(nameIn,
                            std::string("no folder can be made for the disc: ") + std::strerror(errno));
        }
    }

    const std::string options =
        "-oro,auto_unmount,default_permissions,fsname=orvik-cddafs,subtype=orvik-cddafs";
    const char *fuseArguments[] = {argv[0], options.c_str()};
    fuse_args arguments = FUSE_ARGS_INIT(2, const_cast<char **>(fuseArguments));
    static const fuse_operations operations = [] {
        fuse_operations o{};
        o.getattr = getattrOp;
        o.readdir = readdirOp;
        o.open = openOp;
        o.read = readOp;
        o.getxattr = getxattrOp;
        o.listxattr = listxattrOp;
        o.init = initOp;
        return o;
    }();
    fuse *session = fuse_new(&arguments, &operations, sizeof operations, data.get());
    fuse_opt_free_args(&arguments); // the session keeps copies of what it parsed
    // The handlers are in place before the volume appears: being asked to end as soon as it is
    // there is a normal end too. A forked daemon keeps them.
    const bool handlers = session && fuse_set_signal_handlers(fuse_get_session(session)) == 0;
    if (!handlers || fuse_mount(session, mountPoint.c_str()) != 0) {
        if (handlers)
            fuse_remove_signal_handlers(fuse_get_session(session));
        if (session)
            fuse_destroy(session);
        if (!nameIn.empty())
            rmdir(mountPoint.c_str());
        return fail(mountPoint, "the volume cannot be mounted (is FUSE available?)");
    }
    if (!nameIn.empty()) {
        std::printf("%s\n", mountPoint.c_str());
        std::fflush(stdout);
    }
    const int status = fuse_daemonize(foreground) == 0 ? fuse_loop_mt(session, 0) : -1;
    fuse_remove_signal_handlers(fuse_get_session(session));
    fuse_unmount(session);
    fuse_destroy(session);
    if (status < 0)
        return fail(mountPoint, "the file system cannot be served");
    // The loop answers the signal that ended it: SIGTERM (and SIGINT, SIGHUP from a terminal) is
    // how the volume is asked to go away.
    return status == 0 || status == SIGTERM || status == SIGINT || status == SIGHUP ? 0 : 1;
}
