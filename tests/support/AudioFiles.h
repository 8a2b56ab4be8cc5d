#pragma once

#include <QString>
#include <QStringList>

// Audio made and measured with the real tools (sox, lame) for the tests that encode. An MP3 is
// measured as `lame --decode` gets it back; a measure is negative when it cannot be taken.
namespace AudioFiles {
// True when `program` is on the PATH.
bool haveProgram(const QString &program);
// A stereo 44.1 kHz 16-bit sine of `seconds` and `hertz` at `path`: a WAV file, or headerless
// little-endian signed samples when `raw`. False when sox failed.
bool makeSine(const QString &path, double seconds, bool raw = false, int hertz = 440);
// As makeSine, and Opus files too (silence, by libsndfile: sox writes no Opus).
bool makeSound(const QString &path, double seconds, int channels = 2);
// The RMS amplitude (0 to 1) of what lies above `hertz`.
double amplitudeAbove(const QString &audio, int hertz);
// The largest sample magnitude and the RMS amplitude (0 to 1) of an audio file sox reads.
struct Levels
{
    double peak = -1.0;
    double rms = -1.0;
};
Levels levels(const QString &audio);
// The length in seconds of the audio in an MP3.
double decodedSeconds(const QString &mp3);
// An input file for the test's stand-in encoder: a real, tiny WAV file (the run checks its
// inputs) whose samples say how long the stand-in runs, how it exits, and how long it takes to
// end when told to.
QString writeFakeInput(const QString &path, double seconds, int exitStatus = 0, double ending = 0);
// Runs `program` with `arguments` (no shell), waits for it and answers its exit code, or -1 when
// it could not start or crashed. Standard error goes to `errors` when given.
int run(const QString &program, const QStringList &arguments, QString *errors = nullptr,
        const QStringList &environment = QStringList());
} // namespace AudioFiles
