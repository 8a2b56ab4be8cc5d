#include "platform/LoudnessMeter.h"

#include <QFile>

#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Frames read at once: small enough to give up quickly when cancelled, large enough that the
// calls cost nothing next to the filtering.
constexpr sf_count_t kBlockFrames = 8192;

// The largest magnitude among `count` samples. Eight running maxima instead of one let the
// processor compare eight samples at once (the compiler turns them into vector instructions);
// with a single one, finding the peak took a fifth of the whole measurement. A NaN never wins.
float largestMagnitude(const float *samples, size_t count)
{
    constexpr size_t kLanes = 8;
    float lanes[kLanes] = {};
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const float magnitude = std::fabs(samples[i + lane]);
            lanes[lane] = magnitude > lanes[lane] ? magnitude : lanes[lane];
        }
    float largest = 0.0f;
    for (; i < count; ++i) {
        const float magnitude = std::fabs(samples[i]);
        largest = magnitude > largest ? magnitude : largest;
    }
    for (const float lane : lanes)
        largest = lane > largest ? lane : largest;
    return largest;
}
} // namespace

struct LoudnessMeter::State
{
    ebur128_state *meter;
    explicit State(ebur128_state *meter) : meter(meter) {}
    ~State() { ebur128_destroy(&meter); }
    State(const State &) = delete;
    State &operator=(const State &) = delete;
};

LoudnessMeter::LoudnessMeter() = default;
LoudnessMeter::~LoudnessMeter() = default;
LoudnessMeter::LoudnessMeter(LoudnessMeter &&) noexcept = default;
LoudnessMeter &LoudnessMeter::operator=(LoudnessMeter &&) noexcept = default;

LoudnessMeter::Problem LoudnessMeter::measure(const QString &path, const std::atomic<bool> &cancelled)
{
    state.reset();
    samplePeak = 0.0;
    SF_INFO info{};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return Problem::Unreadable;
    // Integer samples arrive scaled to [-1, 1); floating-point ones as they are stored, so a
    // peak above full scale is kept.
    ebur128_state *meter =
        info.channels > 0 && info.samplerate > 0
            ? ebur128_init(unsigned(info.channels), unsigned(info.samplerate), EBUR128_MODE_I)
            : nullptr;
    std::unique_ptr<State> measuring(meter ? new State(meter) : nullptr);
    // A mono file sounds from both speakers: it counts twice, as libebur128's dual mono does.
    if (measuring && info.channels == 1)
        ebur128_set_channel(meter, 0, EBUR128_DUAL_MONO);
    Problem problem = measuring ? Problem::None : Problem::Failed;
    std::vector<float> samples(size_t(kBlockFrames) * size_t(std::max(info.channels, 1)));
    double largest = 0.0;
    while (problem == Problem::None) {
        if (cancelled) {
            problem = Problem::Cancelled;
            break;
        }
        const sf_count_t frames = sf_readf_float(file, samples.data(), kBlockFrames);
        if (frames <= 0)
            break;
        largest = std::max(largest, double(largestMagnitude(samples.data(), size_t(frames * info.channels))));
        if (ebur128_add_frames_float(meter, samples.data(), size_t(frames)) != EBUR128_SUCCESS)
            problem = Problem::Failed;
    }
    if (problem == Problem::None && sf_error(file) != SF_ERR_NO_ERROR)
        problem = Problem::Unreadable;
    sf_close(file);
    if (problem != Problem::None)
        return problem;
    state = std::move(measuring);
    samplePeak = largest;
    return Problem::None;
}

std::optional<double> LoudnessMeter::loudness() const
{
    double value = 0.0;
    if (!state || ebur128_loudness_global(state->meter, &value) != EBUR128_SUCCESS || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> LoudnessMeter::albumLoudness(const QList<const LoudnessMeter *> &meters)
{
    std::vector<ebur128_state *> states;
    for (const LoudnessMeter *meter : meters)
        if (meter && meter->state)
            states.push_back(meter->state->meter);
    double value = 0.0;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &value) != EBUR128_SUCCESS ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

double LoudnessMeter::albumPeak(const QList<const LoudnessMeter *> &meters)
{
    double largest = 0.0;
    for (const LoudnessMeter *meter : meters)
        if (meter)
            largest = std::max(largest, meter->peak());
    return largest;
}

QString LoudnessMeter::gainText(double loudness)
{
    // QString::asprintf ignores the locale, as the tag's readers expect.
    return QString::asprintf("%.2f dB", kReferenceLoudness - loudness);
}

QString LoudnessMeter::peakText(double peak)
{
    return QString::asprintf("%.6f", peak);
}
