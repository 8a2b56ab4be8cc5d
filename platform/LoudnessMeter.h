#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

// The loudness of one audio file as ReplayGain 2.0 states it: the integrated loudness of EBU R 128
// (libebur128, K-weighted and gated) and the largest sample magnitude, read through libsndfile
// from the decoded input. The peak is the sample peak, not the true (oversampled) peak: it is
// what ReplayGain players compare the gain against, and finding the true peak would cost several
// times the reading itself, beside an encoder that needs the same processor.
//
// A measured file keeps what gating needs, so that several files can be taken as one album.
class LoudnessMeter
{
  public:
    enum class Problem {
        None,
        Unreadable, // libsndfile cannot open or read it as audio
        Failed,     // libebur128 refused the format or failed
        Cancelled,
    };

    // The loudness ReplayGain 2.0 brings every file to, in LUFS.
    static constexpr double kReferenceLoudness = -18.0;

    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(LoudnessMeter &&) noexcept;
    LoudnessMeter &operator=(LoudnessMeter &&) noexcept;

    // Reads the audio file at `path` through and measures it. Gives up within one block of
    // samples once `cancelled` is set.
    Problem measure(const QString &path, const std::atomic<bool> &cancelled);

    bool isMeasured() const { return state != nullptr; }
    // Integrated loudness in LUFS; nothing for a file that holds only silence (every block gated).
    std::optional<double> loudness() const;
    // The largest sample magnitude, 1 being full scale (a floating-point input may exceed it).
    double peak() const { return samplePeak; }

    // The loudness and the peak of measured files taken as one whole, as an album.
    static std::optional<double> albumLoudness(const QList<const LoudnessMeter *> &meters);
    static double albumPeak(const QList<const LoudnessMeter *> &meters);

    // The tag texts: the gain that brings `loudness` to the reference ("-6.52 dB") and the peak
    // as a linear ratio ("0.988312"), with a point for a decimal separator whatever the locale.
    static QString gainText(double loudness);
    static QString peakText(double peak);

  private:
    // libebur128's state, which keeps the gating blocks.
    struct State;
    std::unique_ptr<State> state;
    double samplePeak = 0.0;
};
