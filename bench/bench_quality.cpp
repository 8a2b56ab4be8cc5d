// The average bit rate of each quality entry of the settings window, measured with the real
// encoder on music-like material, so that the numbers the entries show are what they give.
// Each clip is made with sox: a melody and chords of plucked strings, a sawtooth bass, drums of
// noise bursts and a falling sine, mixed to stereo with reverb and a slow swell of the level; the
// clips differ in key, tempo and seed. Each entry's settings go through the argument builder as a
// run's would, and the bit rate is the MP3's size against the clip's length.
//
// Usage: bench_quality [CLIPS [SECONDS]]   (defaults: 3 30)
#include "BenchSupport.h"

#include "core/LamePrefs.h"
#include "core/QualityPresets.h"
#include "core/SettingsStore.h"
#include "platform/Resources.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {
using namespace Bench;

// sox arguments for `count` effect chains of `length` seconds each, one note or chord per chain.
QStringList notes(QRandomGenerator &random, int count, double length, const QStringList &scale, int voices,
                  const QString &sound, const QStringList &after = {})
{
    QStringList arguments;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            arguments << ":";
        arguments << "synth" << QString::number(length);
        for (int v = 0; v < voices; ++v)
            arguments << sound << scale.at(random.bounded(int(scale.size())));
        arguments << after;
    }
    return arguments;
}

bool makeClip(const QString &folder, int seed, int seconds, const QString &path)
{
    QRandomGenerator random{quint32(seed)};
    const QStringList keys[] = {
        {"C", "D", "E", "G", "A"}, {"F", "G", "A", "C", "D"}, {"D", "E", "F#", "A", "B"}};
    const QStringList &key = keys[seed % 3];
    auto octave = [&](int number) {
        QStringList scale;
        for (const QString &note : key)
            scale << note + QString::number(number);
        return scale;
    };
    const double beat = 0.25 + 0.05 * (seed % 3);
    const int beats = int(seconds / beat);
    const QString sox = QStringLiteral("sox");
    const QStringList mono = {"-n", "-r", "44100", "-b", "16"};
    const QString melody = folder + "/melody.wav", chords = folder + "/chords.wav",
                  bass = folder + "/bass.wav", drums = folder + "/drums.wav";
    // A falling sine for the bass drum, noise bursts for the hi-hat and the snare.
    const QString drumKit =
        QStringLiteral(
            "synth %1 sine 150-40 fade 0 %1 %2 : synth %1 whitenoise highpass 6000 fade 0 0.05 0.05 pad 0 %3 "
            ": synth %1 pinknoise fade 0 0.15 0.12 pad 0 %4 : synth %1 whitenoise highpass 6000 fade 0 "
            "0.05 0.05 pad 0 %3 repeat %5")
            .arg(QString::number(beat), QString::number(beat * 0.8), QString::number(beat - 0.05),
                 QString::number(beat - 0.15), QString::number(beats / 4));
    const QStringList fade = {"fade", "0", QString::number(2 * beat), QString::number(beat)};
    return run(sox, mono + QStringList{"-c", "1", melody} +
                        notes(random, beats / 2, 2 * beat, octave(5) + octave(6), 1, "pluck")) &&
           run(sox, mono + QStringList{"-c", "3", chords} +
                        notes(random, beats / 8, 8 * beat, octave(4), 3, "pluck")) &&
           run(sox, mono + QStringList{"-c", "1", bass} +
                        notes(random, beats / 2, 2 * beat, octave(2), 1, "sawtooth",
                              QStringList{"lowpass", "500"} + fade)) &&
           run(sox, mono + QStringList{"-c", "1", drums} + drumKit.split(u' ')) &&
           run(sox, QStringList{"-M", melody, chords, bass, drums, "-c", "2", path} +
                        QStringLiteral("remix 1v0.25,2v0.2,4v0.3,5v0.25 1v0.15,3v0.2,4v0.3,5v0.25 reverb 40 "
                                       "tremolo 0.07 70 trim 0 %1 gain -n -1")
                            .arg(seconds)
                            .split(u' '));
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int clips = arguments.size() > 1 ? arguments.at(1).toInt() : 3;
    const int seconds = arguments.size() > 2 ? arguments.at(2).toInt() : 30;
    QTemporaryDir folder;
    const QString lame = Resources::pathForResource(QStringLiteral("lame"));
    if (!folder.isValid() || lame.isEmpty() || clips < 1 || seconds < 4) {
        std::fprintf(stderr, "usage: bench_quality [CLIPS [SECONDS]]; needs sox and the encoder launcher\n");
        return 2;
    }
    QStringList inputs;
    for (int clip = 0; clip < clips; ++clip) {
        const QString path = folder.filePath(QStringLiteral("clip%1.wav").arg(clip + 1));
        if (!makeClip(folder.path(), clip, seconds, path)) {
            std::fprintf(stderr, "sox could not make the material\n");
            return 1;
        }
        inputs << path;
    }
    SettingsStore store(folder.filePath(QStringLiteral("settings.ini")));
    store.registerDefaults(LamePrefs::factoryValues());
    std::printf("%d clips of %d s; average bit rate in kbit/s per clip and overall\n", clips, seconds);
    for (const QualityPresets::Preset &preset : QualityPresets::all()) {
        QualityPresets::apply(store, preset.tag);
        const std::optional<QStringList> switches = LamePrefs::makeGlobalSwitches(store, {}, false);
        if (!switches)
            return 1;
        double bits = 0, length = 0;
        QStringList each;
        for (const QString &input : inputs) {
            const QString output = folder.filePath(QStringLiteral("out.mp3"));
            if (!run(lame, QStringList{"--quiet"} + *switches + QStringList{input, output}))
                return 1;
            // sox writes 16-bit stereo at 44.1 kHz after a 44-byte header; a clip may end a
            // little before its nominal length, where its last note ends.
            const double clipSeconds = double(QFileInfo(input).size() - 44) / (44100 * 4);
            const double size = double(QFileInfo(output).size()) * 8;
            bits += size;
            length += clipSeconds;
            each << QString::number(size / clipSeconds / 1000, 'f', 1);
        }
        std::printf("entry %d  %-45s  %s  -> %.1f\n", preset.tag, qPrintable(switches->join(u' ')),
                    qPrintable(each.join(u' ')), bits / length / 1000);
    }
    return 0;
}
