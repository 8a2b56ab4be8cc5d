#pragma once

#include "cddafs/Disc.h"

#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

typedef struct cdrom_paranoia_s cdrom_paranoia_t;

// Reads a disc's audio through libcdio-paranoia (verification, overlap and retries on a drive)
// into big-endian samples, and keeps what it read: the file system gets reads of 128 KiB, two
// readers may take turns, and every jump of paranoia's position costs a seek of the drive. A
// sector paranoia gives up on is never handed out as sound; it is counted for its track until a new
// read of the track begins, which tries it again.
// It also sums each track's AccurateRip checksums over the samples it hands out. Both checksums
// are sums of one term per sample that depends only on the sample and its place in the track, so
// the blocks may be handed out in any order: once every block of a track has been handed out
// since its read began, the sums are those of the whole track.
class AudioReader
{
  public:
    // `readOffset` (samples) corrects a drive that reads early or late; a disc image holds its
    // samples where they belong and is read as it is, unless `imageAsDrive` (for tests).
    explicit AudioReader(const Disc &disc, int readOffset = 0, bool imageAsDrive = false);
    ~AudioReader();
    AudioReader(const AudioReader &) = delete;
    AudioReader &operator=(const AudioReader &) = delete;

    // Copies `size` bytes of the track's audio, starting `offset` bytes into it, to `out`.
    // Answers the bytes copied (fewer only at the track's end), or -EIO when a sector in the
    // range could not be read.
    long read(std::size_t trackIndex, uint64_t offset, std::size_t size, char *out);
    // A new read of the track begins (its file was opened): its count starts again, and the
    // sectors that failed before are read again when asked for.
    void restart(std::size_t trackIndex);
    // Sectors of the track that could not be read cleanly since the read began.
    unsigned unreadableSectors(std::size_t trackIndex);
    // The track's AccurateRip v1 and v2 checksums. When the current read has not handed out the
    // whole track, the blocks it left out are read now, in order. False when a sector of the
    // track cannot be read.
    bool accurateRipChecksums(std::size_t trackIndex, uint32_t &v1, uint32_t &v2);
    // For benchmarks only: reads without summing checksums, to measure what summing costs.
    void leaveOutChecksums() { summing = false; }

  private:
    struct Block
    {
        uint64_t key = 0;
        int32_t first = 0;
        int32_t count = 0;
        unsigned pass = 0; // the track's read the block was fetched for
        std::vector<char> bytes;
        std::vector<bool> bad;
    };
    // With `lock` held: the cached block, now the most recently used, or null.
    Block *cached(uint64_t key);
    // Reads a block from the source (an empty block when it is already cached).
    Block fetch(std::size_t trackIndex, int32_t number);
    // With `lock` held: keeps the block read, or the one another thread kept first; null when the
    // block has failed sectors and was fetched for an earlier read of the track.
    Block *insert(std::size_t trackIndex, Block &&fresh);
    void load(Block &block);
    // Reads `count` sectors from `first` as the source holds them; sectors outside the disc are
    // silence, as a drive gives them when the read offset reaches past either end.
    void loadSectors(int32_t first, int32_t count, char *bytes, std::vector<bool> &bad, std::size_t badFrom);
    // With `lock` held: adds a block being handed out to its track's checksums, once a read.
    void sum(std::size_t trackIndex, const Block &block);
    void readAhead();

    const Disc &disc;
    // The source and paranoia's position: one reader at a time.
    std::mutex deviceLock;
    cdrom_paranoia_t *paranoia = nullptr;
    int retries = 0;
    int32_t nextSector = -1;
    // The cache, the counts and the read-ahead request.
    std::mutex lock;
    std::list<Block> blocks; // most recently used first
    std::unordered_map<uint64_t, std::list<Block>::iterator> index;
    std::vector<Block> spares;
    std::map<std::size_t, std::set<int32_t>> unreadable;
    std::map<std::size_t, unsigned> passes; // reads of each track begun
    struct Checksums
    {
        std::vector<bool> summed; // per block
        std::size_t left = 0;     // blocks not summed yet
        uint32_t v1 = 0, v2 = 0;
    };
    std::map<std::size_t, Checksums> checksums; // of the current read of each track
    const int readOffset;
    bool summing = true;
    std::size_t firstAudio = 0, lastAudio = 0; // the tracks whose ends the checksums leave out
    std::condition_variable wake;
    std::pair<std::size_t, int32_t> wanted{0, -1};
    bool stopping = false;
    std::thread worker;
};
