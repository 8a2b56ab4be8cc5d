#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>

// What can be known of an input file before the encoder is let at it, and of the MP3 it made.
// The encoder reads whatever it does not recognise as headerless samples and blocks on a pipe,
// so an input is looked at here first: it must be a regular file with something in it and,
// unless it is headerless by choice, audio that libsndfile can read. The length its header
// promises is kept, so that an encode that stopped at a damaged file's break can be told apart
// from a whole one.
class AudioFileInfo
{
  public:
    enum class Problem {
        None,
        Missing,
        Folder,
        NotRegularFile, // a pipe, socket or device: opening it could block the run
        Empty,
        Unreadable,
        NotAudio,
        TooManyChannels, // the encoder takes mono and stereo only
        EndMissing,      // an Ogg stream without its last page: cut short, length unknown
    };

    // Looks at the file at `path` without ever blocking. With `audio` false only the file itself
    // is checked (headerless input, which no library can recognise).
    static AudioFileInfo inspect(const QString &path, bool audio = true);

    Problem problem() const { return fileProblem; }
    // The number of sample frames the file's header promises, and their rate; 0 when unknown.
    qint64 frames() const { return promisedFrames; }
    int sampleRate() const { return rate; }
    int channels() const { return channelCount; }
    double seconds() const { return rate > 0 ? double(promisedFrames) / rate : 0.0; }
    // The samples are floating-point numbers, as stored (float and double samples) or as decoded
    // (Vorbis, Opus). Read through libsndfile as integers, the encoder gets such samples scaled
    // so that the file's peak is full scale: the peak gives the factor that undoes it.
    bool floatingPoint() const { return floatSamples; }

    // The largest magnitude of any sample of the audio file at `path` (1 is full scale), read
    // through the whole file; below 0 when it cannot be read, or `cancelled` was set meanwhile.
    static double peak(const QString &path, const std::atomic<bool> &cancelled);

    // The playing time of the MPEG audio frames in an MP3 file, found by walking its frame
    // headers (an ID3v2 tag before them is passed over, the encoder's Info frame is not counted
    // and its delay and padding are taken off), and the length of one of its frames.
    struct Mp3Length
    {
        double seconds = 0.0;
        double frameSeconds = 0.0; // 0 when the file holds no frame
        qint64 frames = 0;
    };
    static Mp3Length mp3Length(const QString &path);

  private:
    Problem fileProblem = Problem::None;
    qint64 promisedFrames = 0;
    int rate = 0;
    int channelCount = 0;
    bool floatSamples = false;
};
