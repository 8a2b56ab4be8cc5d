#include "platform/AudioFileInfo.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
AudioFileInfo::Problem problemOf(const struct stat &status)
{
    if (S_ISDIR(status.st_mode))
        return AudioFileInfo::Problem::Folder;
    if (!S_ISREG(status.st_mode))
        return AudioFileInfo::Problem::NotRegularFile;
    return status.st_size == 0 ? AudioFileInfo::Problem::Empty : AudioFileInfo::Problem::None;
}

// Bytes of one sample frame in the file, for the encodings whose frames all have one size.
int bytesPerFrame(const SF_INFO &info)
{
    int bytes = 0;
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        bytes = 1;
        break;
    case SF_FORMAT_PCM_16:
        bytes = 2;
        break;
    case SF_FORMAT_PCM_24:
        bytes = 3;
        break;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        bytes = 4;
        break;
    case SF_FORMAT_DOUBLE:
        bytes = 8;
        break;
    }
    return bytes * info.channels;
}

// libsndfile cuts a sound chunk that runs past the end of the file down to what is there; the
// chunk's own size, as the header states it, says how much audio the file was meant to hold.
// Sizes of 0 and of about 4 GB are what programs writing into a pipe put there: no promise.
qint64 framesPromised(SNDFILE *file, const SF_INFO &info)
{
    const int frameBytes = bytesPerFrame(info);
    if (frameBytes <= 0)
        return info.frames;
    for (const auto &[id, overhead] : {std::pair{"data", 0u}, std::pair{"SSND", 8u}}) {
        SF_CHUNK_INFO wanted{};
        std::strcpy(wanted.id, id);
        wanted.id_size = 4;
        SF_CHUNK_ITERATOR *chunk = sf_get_chunk_iterator(file, &wanted);
        SF_CHUNK_INFO found{};
        if (!chunk || sf_get_chunk_size(chunk, &found) != SF_ERR_NO_ERROR)
            continue;
        if (found.datalen <= overhead || found.datalen >= 0x7ffff000u)
            return info.frames;
        return qMax<qint64>(info.frames, (found.datalen - overhead) / unsigned(frameBytes));
    }
    return info.frames;
}

quint32 oggChecksum(const char *page, qsizetype size)
{
    static const auto table = [] {
        std::array<quint32, 256> entries{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 value = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 0x80000000u ? value << 1 ^ 0x04c11db7u : value << 1;
            entries[i] = value;
        }
        return entries;
    }();
    quint32 crc = 0;
    for (qsizetype i = 0; i < size; ++i) {
        // The checksum field itself counts as zeros.
        const uchar byte = i >= 22 && i < 26 ? 0 : uchar(page[i]);
        crc = crc << 8 ^ table[(crc >> 24 ^ byte) & 0xff];
    }
    return crc;
}

// Whether an Ogg stream ends with its last page. libsndfile reads the length from the last whole
// page it finds, so a file cut on a page boundary seems whole and shorter, and one cut inside a
// page has no length at all; only the end-of-stream mark of the last real page tells. A page is
// at most 65,307 bytes, so the last real one starts within twice that of the end.
bool oggEndsWhole(int fd, qint64 size)
{
    constexpr qint64 kLongestPage = 27 + 255 + 255 * 255;
    const qint64 start = qMax<qint64>(0, size - 2 * kLongestPage);
    QByteArray tail(size - start, Qt::Uninitialized);
    if (::pread(fd, tail.data(), size_t(tail.size()), start) != tail.size())
        return false;
    const char *data = tail.constData();
    for (qsizetype at = tail.size() - 27; at >= 0; --at) {
        if (std::memcmp(data + at, "OggS", 4) != 0)
            continue;
        const int segments = uchar(data[at + 26]);
        qsizetype length = 27 + segments;
        for (int i = 0; at + 27 + i < tail.size() && i < segments; ++i)
            length += uchar(data[at + 27 + i]);
        // A page that runs past the end is the one that was cut; the page before it tells.
        if (at + length > tail.size())
            continue;
        quint32 stored = 0;
        std::memcpy(&stored, data + at + 22, 4);
        if (qFromLittleEndian(stored) == oggChecksum(data + at, length))
            return (data[at + 5] & 0x04) != 0;
    }
    return false;
}
} // namespace

AudioFileInfo AudioFileInfo::inspect(const QString &path, bool audio)
{
    AudioFileInfo result;
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    {
    };
    if (::stat(name.constData(), &status) != 0) {
        result.fileProblem = errno == ENOENT || errno == ENOTDIR ? Problem::Missing : Problem::Unreadable;
        return result;
    }
    if ((result.fileProblem = problemOf(status)) != Problem::None)
        return result;
    // Not blocking even if a pipe took the file's place since the look above.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.fileProblem = errno == ENOENT ? Problem::Missing : Problem::Unreadable;
        return result;
    }
    if (::fstat(fd, &status) != 0 || (result.fileProblem = problemOf(status)) != Problem::None || !audio) {
        ::close(fd);
        return result;
    }
    SF_INFO info{};
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (!file) {
        result.fileProblem = Problem::NotAudio;
    } else if (info.frames == 0) {
        // A header without a single sample would become an MP3 of nothing, counted as encoded.
        result.fileProblem = Problem::Empty;
        sf_close(file);
    } else {
        // A stream that does not say how long it is (a FLAC written into a pipe) promises nothing.
        result.promisedFrames = info.frames == SF_COUNT_MAX ? 0 : framesPromised(file, info);
        result.rate = info.samplerate;
        result.channelCount = info.channels;
        switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
            result.floatSamples = true;
            break;
        }
        if (info.channels > 2)
            result.fileProblem = Problem::TooManyChannels;
        else if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG && !oggEndsWhole(fd, status.st_size))
            result.fileProblem = Problem::EndMissing;
        sf_close(file);
    }
    ::close(fd);
    return result;
}

double AudioFileInfo::peak(const QString &path, const std::atomic<bool> &cancelled)
{
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return -1.0;
    // As libsndfile finds the peak it scales to: every sample of every channel, as a double.
    std::vector<double> samples(16384);
    double largest = 0.0;
    sf_count_t read = 0;
    while (!cancelled && (read = sf_read_double(file, samples.data(), sf_count_t(samples.size()))) > 0)
        for (sf_count_t i = 0; i < read; ++i)
            largest = std::max(largest, std::fabs(samples[size_t(i)]));
    const bool whole = !cancelled && sf_error(file) == SF_ERR_NO_ERROR;
    sf_close(file);
    return whole ? largest : -1.0;
}

AudioFileInfo::Mp3Length AudioFileInfo::mp3Length(const QString &path)
{
    Mp3Length length;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4)
        return length;
    const qint64 size = file.size();
    const uchar *data = file.map(0, size);
    if (!data)
        return length;
    qint64 position = 0;
    if (size >= 10 && std::memcmp(data, "ID3", 3) == 0)
        position = 10 +
                   (qint64(data[6] & 0x7f) << 21 | (data[7] & 0x7f) << 14 | (data[8] & 0x7f) << 7 |
                    (data[9] & 0x7f)) +
                   ((data[5] & 0x10) ? 10 : 0);

    // Layer III only: that is all the encoder writes.
    static const int bitRates[2][15] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    static const int sampleRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    quint32 first = 0; // version, layer and rate of the first frame; every frame must share them
    int samplesPerFrame = 0, rate = 0;
    qint64 delayAndPadding = 0;
    while (position + 4 <= size) {
        const uchar *frame = data + position;
        const quint32 header = quint32(frame[0]) << 24 | frame[1] << 16 | frame[2] << 8 | frame[3];
        const int version = (header >> 19) & 3, layer = (header >> 17) & 3;
        const int bitRateIndex = (header >> 12) & 15, rateIndex = (header >> 10) & 3;
        if ((header & 0xffe00000u) != 0xffe00000u || version == 1 || layer != 1 || bitRateIndex == 0 ||
            bitRateIndex == 15 || rateIndex == 3 || (first && (header & 0x001e0c00u) != first))
            break;
        const bool mpeg1 = version == 3;
        const int frameRate = sampleRates[version][rateIndex];
        const qint64 bytes =
            (mpeg1 ? 144 : 72) * qint64(bitRates[mpeg1 ? 0 : 1][bitRateIndex]) * 1000 / frameRate +
            ((header >> 9) & 1);
        if (position + bytes > size)
            break;
        if (!first) {
            first = header & 0x001e0c00u;
            samplesPerFrame = mpeg1 ? 1152 : 576;
            rate = frameRate;
            // The encoder's Info (or Xing) frame holds no audio; its LAME extension says how many
            // samples of silence the encoder put before and after the audio.
            const bool mono = ((header >> 6) & 3) == 3;
            const qint64 tag = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
            if (tag + 8 <= bytes &&
                (std::memcmp(frame + tag, "Xing", 4) == 0 || std::memcmp(frame + tag, "Info", 4) == 0)) {
                const uchar flags = frame[tag + 7];
                const qint64 lame = tag + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) +
                                    ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
                if (lame + 24 <= bytes && std::memcmp(frame + lame, "LAME", 4) == 0)
                    delayAndPadding = (frame[lame + 21] << 4 | frame[lame + 22] >> 4) +
                                      ((frame[lame + 22] & 0x0f) << 8 | frame[lame + 23]);
                position += bytes;
                continue;
            }
        }
        ++length.frames;
        position += bytes;
    }
    if (rate > 0) {
        length.frameSeconds = double(samplesPerFrame) / rate;
        length.seconds = qMax<qint64>(0, length.frames * samplesPerFrame - delayAndPadding) / double(rate);
    }
    return length;
}
