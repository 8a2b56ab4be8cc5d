#include "cddafs/AudioReader.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cerrno>
#include <cstring>
#include <endian.h>

namespace {
constexpr int32_t sectorBytes = CDIO_CD_FRAMESIZE_RAW;
// Sectors read at a time: a little more than one 128 KiB read of the file system, so that a
// reader going forward costs one paranoia run per block and no seek between blocks.
constexpr int32_t blockSectors = 75;
// About 10 MB: enough for two readers far apart on the disc to each keep their blocks.
constexpr std::size_t maxBlocks = 56;

// Paranoia's callback has no argument of the caller's; reads run one at a time under the
// reader's lock, so the current read's verdict can live here.
thread_local bool sectorFailed = false;

void paranoiaEvent(long, paranoia_cb_mode_t event)
{
    if (event == PARANOIA_CB_READERR || event == PARANOIA_CB_SKIP)
        sectorFailed = true;
}
} // namespace

AudioReader::AudioReader(const Disc &disc) : disc(disc)
{
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
    if (paranoia)
        cdio_paranoia_free(paranoia);
}

void AudioReader::load(Block &block)
{
    if (nextSector != block.first)
        cdio_paranoia_seek(paranoia, block.first, SEEK_SET);
    nextSector = block.first + block.count;
    for (int32_t i = 0; i < block.count; ++i) {
        sectorFailed = false;
        const int16_t *samples = cdio_paranoia_read_limited(paranoia, paranoiaEvent, retries);
        char *out = block.bytes.data() + std::size_t(i) * sectorBytes;
        if (!samples || sectorFailed) {
            block.bad[i] = true;
            std::memset(out, 0, sectorBytes);
            continue;
        }
        for (int k = 0; k < sectorBytes / 2; ++k) {
            const uint16_t big = htobe16(static_cast<uint16_t>(samples[k]));
            std::memcpy(out + 2 * k, &big, 2);
        }
    }
}

AudioReader::Block &AudioReader::block(std::size_t trackIndex, int32_t number)
{
    const uint64_t key = (uint64_t(trackIndex) << 32) | uint32_t(number);
    if (auto found = index.find(key); found != index.end()) {
        blocks.splice(blocks.begin(), blocks, found->second);
        return blocks.front();
    }
    if (blocks.size() >= maxBlocks) {
        index.erase(blocks.back().key);
        blocks.pop_back();
    }
    const Disc::Track &track = disc.tracks()[trackIndex];
    Block fresh;
    fresh.key = key;
    fresh.first = track.start + number * blockSectors;
    fresh.count = std::min(blockSectors, track.start + track.length - fresh.first);
    fresh.bytes.resize(std::size_t(fresh.count) * sectorBytes);
    fresh.bad.assign(fresh.count, false);
    load(fresh);
    for (int32_t i = 0; i < fresh.count; ++i)
        if (fresh.bad[i])
            unreadable[trackIndex].insert(fresh.first + i);
    blocks.push_front(std::move(fresh));
    index[key] = blocks.begin();
    return blocks.front();
}

long AudioReader::read(std::size_t trackIndex, uint64_t offset, std::size_t size, char *out)
{
    const Disc::Track &track = disc.tracks()[trackIndex];
    const uint64_t total = uint64_t(track.length) * sectorBytes;
    if (offset >= total)
        return 0;
    size = std::size_t(std::min<uint64_t>(size, total - offset));
    std::lock_guard<std::mutex> guard(lock);
    std::size_t copied = 0;
    while (copied < size) {
        const uint64_t position = offset + copied;
        const auto sector = int32_t(position / sectorBytes);
        Block &current = block(trackIndex, sector / blockSectors);
        const int32_t inBlock = sector - (current.first - track.start);
        if (current.bad[inBlock])
            return -EIO;
        const std::size_t from = std::size_t(inBlock) * sectorBytes + position % sectorBytes;
        const std::size_t n = std::min(size - copied, current.bytes.size() - from);
        std::memcpy(out + copied, current.bytes.data() + from, n);
        copied += n;
    }
    return long(copied);
}

unsigned AudioReader::unreadableSectors(std::size_t trackIndex)
{
    std::lock_guard<std::mutex> guard(lock);
    auto found = unreadable.find(trackIndex);
    return found == unreadable.end() ? 0 : unsigned(found->second.size());
}
