#include "cddafs/AudioReader.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cerrno>
#include <cstring>
#include <endian.h>

namespace {
constexpr int32_t sectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr int32_t framesPerSector = sectorBytes / 4;
// AccurateRip leaves out the first five sectors but one sample of a disc's first track and the
// last five sectors of its last: drives differ in how they read near the lead-in and lead-out.
constexpr uint64_t edgeFrames = 5 * framesPerSector;
// Sectors read at a time: a little more than one 128 KiB read of the file system, so that a
// reader going forward costs one paranoia run per block and no seek between blocks.
constexpr int32_t blockSectors = 75;
// About 10 MB: enough for two readers far apart on the disc to each keep their blocks.
constexpr std::size_t maxBlocks = 56;

// Paranoia's callback has no argument of the caller's; reads run one at a time under the
// device lock, so the current read's verdict can live here.
thread_local bool sectorFailed = false;
thread_local int32_t currentSector = 0;

// Paranoia reads ahead and reports a read error where its read began, which may be sectors
// beyond the one it is about to return; a skip is its verdict on the sector it returns.
void paranoiaEvent(long position, paranoia_cb_mode_t event)
{
    const long sector = position / (CDIO_CD_FRAMESIZE_RAW / 2); // positions count 16-bit words
    if (event == PARANOIA_CB_SKIP || (event == PARANOIA_CB_READERR && sector == currentSector))
        sectorFailed = true;
}

// Paranoia hands out samples in the machine's order; the cache keeps them as an image holds them.
void keepLittleEndian(char *out, const int16_t *samples)
{
    uint16_t words[sectorBytes / 2];
    std::memcpy(words, samples, sectorBytes);
    for (uint16_t &word : words)
        word = htole16(word);
    std::memcpy(out, words, sectorBytes);
}

// Copies samples kept in little-endian order out in AIFF's big-endian order: byte k of the
// output is byte k ^ 1 of the samples, whatever the offset.
void copySwapped(char *out, const char *samples, std::size_t from, std::size_t n)
{
    std::size_t k = 0;
    if (from % 2 == 0) {
        for (; k + 2 <= n; k += 2) {
            out[k] = samples[from + k + 1];
            out[k + 1] = samples[from + k];
        }
    }
    for (; k < n; ++k)
        out[k] = samples[(from + k) ^ 1];
}
} // namespace

AudioReader::AudioReader(const Disc &disc, int readOffset, bool imageAsDrive)
    : disc(disc), readOffset(disc.isImage() && !imageAsDrive ? 0 : readOffset)
{
    bool audio = false;
    for (std::size_t i = 0; i < disc.tracks().size(); ++i)
        if (!disc.tracks()[i].data) {
            firstAudio = audio ? firstAudio : i;
            lastAudio = i;
            audio = true;
        }
    paranoia = cdio_paranoia_init(disc.drive());
    // An image reads back exactly what it holds: verification would only read every sector twice.
    if (disc.isImage()) {
        cdio_paranoia_modeset(paranoia, PARANOIA_MODE_DISABLE);
        retries = 1;
    } else {
        cdio_paranoia_modeset(paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        retries = 20;
    }
}

AudioReader::~AudioReader()
{
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> guard(lock);
            stopping = true;
        }
        wake.notify_one();
        worker.join();
    }
    if (paranoia)
        cdio_paranoia_free(paranoia);
}

void AudioReader::loadSectors(int32_t first, int32_t count, char *bytes, std::vector<bool> &bad,
                              std::size_t badFrom)
{
    // Before the first sector and from the lead-out on there is nothing to read.
    const int32_t begin = std::min(std::max(first, 0), first + count);
    const int32_t end = std::max(std::min(first + count, disc.leadOut()), begin);
    std::fill(bytes, bytes + std::size_t(begin - first) * sectorBytes, 0);
    std::fill(bytes + std::size_t(end - first) * sectorBytes, bytes + std::size_t(count) * sectorBytes, 0);
    if (end <= begin)
        return;
    char *out = bytes + std::size_t(begin - first) * sectorBytes;
    const std::size_t badBegin = badFrom + std::size_t(begin - first);
    if (disc.imageSectors() >= 0) {
        // A cue/bin image is read as it is: paranoia's verification has nothing to repair in a
        // file, it reports the failures of its read-ahead against sectors it has not reached,
        // and it retries forever once the data file ends. libcdio does not check a read
        // against the file's end either, so the file's size says which sectors are there.
        const int32_t present = std::clamp(disc.imageSectors() - begin, 0, end - begin);
        if (present > 0 && cdio_read_audio_sectors(disc.source(), out, begin, present) != 0)
            std::fill(bad.begin() + long(badBegin), bad.begin() + long(badBegin) + (end - begin), true);
        const int32_t stillPresent = std::clamp(disc.imageSectors() - begin, 0, present);
        for (int32_t i = stillPresent; i < end - begin; ++i)
            bad[badBegin + i] = true;
        return;
    }
    if (nextSector != begin)
        cdio_paranoia_seek(paranoia, begin, SEEK_SET);
    nextSector = end;
    for (int32_t i = 0; i < end - begin; ++i) {
        sectorFailed = false;
        currentSector = begin + i;
        const int16_t *samples = cdio_paranoia_read_limited(paranoia, paranoiaEvent, retries);
        if (!samples || sectorFailed)
            bad[badBegin + i] = true;
        else
            keepLittleEndian(out + std::size_t(i) * sectorBytes, samples);
    }
}

void AudioReader::load(Block &block)
{
    if (readOffset == 0) {
        loadSectors(block.first, block.count, block.bytes.data(), block.bad, 0);
        return;
    }
    // The drive's sample p is the disc's sample p - offset: the block starts `shift` samples into
    // the sector `from`, and takes one sector more when it does not start on a sector.
    const int64_t firstSample = int64_t(block.first) * framesPerSector + readOffset;
    const auto from = int32_t(firstSample >= 0 ? firstSample / framesPerSector
                                               : -((-firstSample + framesPerSector - 1) / framesPerSector));
    const auto shift = std::size_t(firstSample - int64_t(from) * framesPerSector) * 4;
    const int32_t count = block.count + (shift > 0);
    std::vector<char> raw(std::size_t(count) * sectorBytes);
    std::vector<bool> rawBad(std::size_t(count), false);
    loadSectors(from, count, raw.data(), rawBad, 0);
    std::memcpy(block.bytes.data(), raw.data() + shift, std::size_t(block.count) * sectorBytes);
    for (int32_t i = 0; i < block.count; ++i)
        block.bad[i] = rawBad[i] || (shift > 0 && rawBad[i + 1]);
}

AudioReader::Block *AudioReader::cached(uint64_t key)
{
    auto found = index.find(key);
    if (found == index.end())
        return nullptr;
    blocks.splice(blocks.begin(), blocks, found->second);
    return &blocks.front();
}

AudioReader::Block AudioReader::fetch(std::size_t trackIndex, int32_t number)
{
    const uint64_t key = (uint64_t(trackIndex) << 32) | uint32_t(number);
    std::lock_guard<std::mutex> device(deviceLock);
    Block fresh;
    {
        std::lock_guard<std::mutex> guard(lock);
        // The other thread may have read it while this one waited for the device.
        if (index.count(key))
            return fresh;
        // Memory of dropped blocks is used again: fresh memory costs a page fault every 4 KiB.
        if (!spares.empty()) {
            fresh = std::move(spares.back());
            spares.pop_back();
        }
        fresh.pass = passes[trackIndex];
    }
    const Disc::Track &track = disc.tracks()[trackIndex];
    fresh.key = key;
    fresh.first = track.start + number * blockSectors;
    fresh.count = std::min(blockSectors, track.start + track.length - fresh.first);
    fresh.bytes.resize(std::size_t(blockSectors) * sectorBytes);
    fresh.bad.assign(fresh.count, false);
    load(fresh);
    return fresh;
}

AudioReader::Block *AudioReader::insert(std::size_t trackIndex, Block &&fresh)
{
    if (Block *present = cached(fresh.key)) {
        spares.push_back(std::move(fresh));
        return present;
    }
    // A read of the track began while this block was fetched: its failures belong to the read
    // before, and this read must try those sectors itself.
    if (fresh.pass != passes[trackIndex] &&
        std::find(fresh.bad.begin(), fresh.bad.end(), true) != fresh.bad.end()) {
        spares.push_back(std::move(fresh));
        return nullptr;
    }
    if (blocks.size() >= maxBlocks) {
        index.erase(blocks.back().key);
        spares.push_back(std::move(blocks.back()));
        blocks.pop_back();
    }
    for (int32_t i = 0; i < fresh.count; ++i)
        if (fresh.bad[i])
            unreadable[trackIndex].insert(fresh.first + i);
    blocks.push_front(std::move(fresh));
    index[blocks.front().key] = blocks.begin();
    return &blocks.front();
}

void AudioReader::readAhead()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [this] { return stopping || wanted.second >= 0; });
        if (stopping)
            return;
        const auto [trackIndex, number] = wanted;
        wanted.second = -1;
        if (index.count((uint64_t(trackIndex) << 32) | uint32_t(number)))
            continue;
        guard.unlock();
        Block fresh = fetch(trackIndex, number);
        guard.lock();
        if (fresh.count > 0)
            insert(trackIndex, std::move(fresh));
    }
}

long AudioReader::read(std::size_t trackIndex, uint64_t offset, std::size_t size, char *out)
{
    const Disc::Track &track = disc.tracks()[trackIndex];
    const uint64_t total = uint64_t(track.length) * sectorBytes;
    if (offset >= total)
        return 0;
    size = std::size_t(std::min<uint64_t>(size, total - offset));
    std::unique_lock<std::mutex> guard(lock);
    // Started here, not earlier: the program forks into the background after opening the disc,
    // and a thread does not survive a fork.
    if (!worker.joinable())
        worker = std::thread(&AudioReader::readAhead, this);
    std::size_t copied = 0;
    int32_t number = 0;
    while (copied < size) {
        const uint64_t position = offset + copied;
        const auto sector = int32_t(position / sectorBytes);
        number = sector / blockSectors;
        Block *current = nullptr;
        while (!(current = cached((uint64_t(trackIndex) << 32) | uint32_t(number)))) {
            guard.unlock();
            Block fresh = fetch(trackIndex, number);
            guard.lock();
            if (fresh.count > 0)
                current = insert(trackIndex, std::move(fresh));
            if (current)
                break;
        }
        const int32_t inBlock = sector - (current->first - track.start);
        if (current->bad[inBlock])
            return -EIO;
        sum(trackIndex, *current);
        const std::size_t from = std::size_t(inBlock) * sectorBytes + position % sectorBytes;
        const std::size_t n = std::min(size - copied, sectorBytes - std::size_t(position % sectorBytes));
        copySwapped(out + copied, current->bytes.data(), from, n);
        copied += n;
    }
    // Readers go forward: the next block is read while this one is handed out.
    if (int64_t(number + 1) * blockSectors < track.length) {
        wanted = {trackIndex, number + 1};
        wake.notify_one();
    }
    return long(copied);
}

void AudioReader::restart(std::size_t trackIndex)
{
    std::lock_guard<std::mutex> guard(lock);
    ++passes[trackIndex];
    unreadable.erase(trackIndex);
    checksums.erase(trackIndex);
    for (auto block = blocks.begin(); block != blocks.end();) {
        const bool failed = std::find(block->bad.begin(), block->bad.end(), true) != block->bad.end();
        if (block->key >> 32 == trackIndex && failed) {
            index.erase(block->key);
            spares.push_back(std::move(*block));
            block = blocks.erase(block);
        } else {
            ++block;
        }
    }
}

unsigned AudioReader::unreadableSectors(std::size_t trackIndex)
{
    std::lock_guard<std::mutex> guard(lock);
    auto found = unreadable.find(trackIndex);
    return found == unreadable.end() ? 0 : unsigned(found->second.size());
}

void AudioReader::sum(std::size_t trackIndex, const Block &block)
{
    if (!summing)
        return;
    const Disc::Track &track = disc.tracks()[trackIndex];
    Checksums &sums = checksums[trackIndex];
    const auto blockCount = std::size_t((track.length + blockSectors - 1) / blockSectors);
    if (sums.summed.empty()) {
        sums.summed.assign(blockCount, false);
        sums.left = blockCount;
    }
    const auto number = std::size_t((block.first - track.start) / blockSectors);
    if (sums.summed[number] || std::find(block.bad.begin(), block.bad.end(), true) != block.bad.end())
        return;
    sums.summed[number] = true;
    --sums.left;
    // The multiplier is the sample's place in the track, counted from 1.
    const uint64_t total = uint64_t(track.length) * framesPerSector;
    const uint64_t low = trackIndex == firstAudio ? edgeFrames : 1;
    const uint64_t high = trackIndex == lastAudio ? total - std::min(total, edgeFrames) : total;
    uint64_t multiplier = uint64_t(block.first - track.start) * framesPerSector + 1;
    const uint64_t frames = uint64_t(block.count) * framesPerSector;
    uint32_t v1 = 0, high32 = 0;
    const char *bytes = block.bytes.data();
    for (uint64_t k = 0; k < frames; ++k, ++multiplier) {
        if (multiplier < low || multiplier > high)
            continue;
        uint32_t sample = 0;
        std::memcpy(&sample, bytes + k * 4, 4);
        const uint64_t product = uint64_t(le32toh(sample)) * multiplier;
        v1 += uint32_t(product);
        high32 += uint32_t(product >> 32);
    }
    sums.v1 += v1;
    sums.v2 += v1 + high32;
}

bool AudioReader::accurateRipChecksums(std::size_t trackIndex, uint32_t &v1, uint32_t &v2)
{
    const Disc::Track &track = disc.tracks()[trackIndex];
    std::vector<char> scratch(sectorBytes);
    // A read begun meanwhile starts the sums again; each round reads what is still missing.
    for (int round = 0; round < 3; ++round) {
        std::vector<std::size_t> missing;
        {
            std::lock_guard<std::mutex> guard(lock);
            const Checksums &sums = checksums[trackIndex];
            if (!sums.summed.empty() && sums.left == 0) {
                v1 = sums.v1;
                v2 = sums.v2;
                return true;
            }
            const auto blockCount = std::size_t((track.length + blockSectors - 1) / blockSectors);
            for (std::size_t number = 0; number < blockCount; ++number)
                if (sums.summed.empty() || !sums.summed[number])
                    missing.push_back(number);
        }
        for (std::size_t number : missing)
            if (read(trackIndex, uint64_t(number) * blockSectors * sectorBytes, sectorBytes, scratch.data()) <
                0)
                return false;
    }
    return false;
}
