#pragma once

#include "core/SettingsStore.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Keys of the task record (one per file) and of the global options record (one per run).
inline const QString kRawPCMInputKey = QStringLiteral("Raw PCM Input");
inline const QString kSwapEndianKey = QStringLiteral("Swap Input Byte Order");
inline const QString kSampleRateKey = QStringLiteral("Raw Input Sample Rate");
inline const QString kBitDepthKey = QStringLiteral("Raw Input Bit Depth");
inline const QString kSongTitleKey = QStringLiteral("Song Title");
inline const QString kSongArtistKey = QStringLiteral("Performing Artist");
inline const QString kSongAlbumKey = QStringLiteral("Album");
inline const QString kSongYearKey = QStringLiteral("Year");
inline const QString kSongCommentKey = QStringLiteral("Comment");
inline const QString kSongTrackNoKey = QStringLiteral("Track Number");
inline const QString kSongGenreKey = QStringLiteral("Musical Genre");
inline const QString kInputFileKey = QStringLiteral("Input File Name");
inline const QString kOutputFileKey = QStringLiteral("Output File Name");
// A picture file the encoder embeds as the cover (a temporary file made for one encoder run).
inline const QString kCoverArtFileKey = QStringLiteral("Cover Art File");
// The factor the encoder multiplies the input's samples by (its text, as the encoder takes it).
inline const QString kInputScaleKey = QStringLiteral("Input Scale");

// Keys of the stored encoder settings, in the order of the settings window's groups.
namespace PrefKey {
inline const QString ChannelMode = QStringLiteral("Channel Mode");
inline const QString Mixdown = QStringLiteral("Mixdown");
inline const QString DifferentBlocks = QStringLiteral("Different Blocks");
inline const QString BitRateMode = QStringLiteral("Bit Rate Mode");
inline const QString OutputSampleRate = QStringLiteral("Output Sample Rate");
inline const QString CBRQuality = QStringLiteral("CBR Quality");
inline const QString CBRBitRate = QStringLiteral("CBR Bit Rate");
inline const QString CBRATHType = QStringLiteral("CBR ATH Type");
inline const QString CBRReservoir = QStringLiteral("Enable Bit Reservoir for CBR");
inline const QString ABRQuality = QStringLiteral("ABR Quality");
inline const QString AverageBitRate = QStringLiteral("Average Bit Rate");
inline const QString MinimumABRBitRate = QStringLiteral("Minimum ABR Bit Rate");
inline const QString MaximumABRBitRate = QStringLiteral("Maximum ABR Bit Rate");
inline const QString ABRATHType = QStringLiteral("ABR ATH Type");
inline const QString ABREnforceMinimum = QStringLiteral("Enforce Minimum Bit Rate for ABR");
inline const QString ABRXingTag = QStringLiteral("Add Xing Tag for ABR");
inline const QString VBRQuality = QStringLiteral("VBR Quality");
inline const QString MinimumVBRBitRate = QStringLiteral("Minimum VBR Bit Rate");
inline const QString MaximumVBRBitRate = QStringLiteral("Maximum VBR Bit Rate");
inline const QString VBREnforceMinimum = QStringLiteral("Enforce Minimum Bit Rate for VBR");
inline const QString VBRXingTag = QStringLiteral("Add Xing Tag for VBR");
inline const QString EnableFiltering = QStringLiteral("Enable Filtering");
inline const QString EnableLowpass = QStringLiteral("Enable Lowpass Filter");
inline const QString UpperCutoff = QStringLiteral("Upper Cutoff Frequency");
inline const QString ManualLowpassWidth = QStringLiteral("Manual Lowpass Width");
inline const QString LowpassWidth = QStringLiteral("Lowpass Filter Width");
inline const QString EnableHighpass = QStringLiteral("Enable Highpass Filter");
inline const QString LowerCutoff = QStringLiteral("Lower Cutoff Frequency");
inline const QString ManualHighpassWidth = QStringLiteral("Manual Highpass Width");
inline const QString HighpassWidth = QStringLiteral("Highpass Filter Width");
inline const QString Deemphasis = QStringLiteral("Deemphasis");
inline const QString StrictISO = QStringLiteral("Strict ISO Compliance");
inline const QString Checksum = QStringLiteral("Checksum");
inline const QString MarkAsOriginal = QStringLiteral("Mark as Original");
inline const QString MarkAsCopyright = QStringLiteral("Mark as Copyright");
inline const QString Masking = QStringLiteral("Masking");
inline const QString ReduceATHBy = QStringLiteral("Reduce ATH By");
inline const QString ShortBlocks = QStringLiteral("Short Blocks");
inline const QString TonalityLimit = QStringLiteral("Calculate Tonality To");
inline const QString TemporalMasking = QStringLiteral("Use Temporal Masking");
inline const QString ITunesIntegration = QStringLiteral("iTunes integration");
inline const QString DiscPlaylists = QStringLiteral("Make playlists from audio CDs");
inline const QString BatchPlaylists = QStringLiteral("Make playlists from file batches");
// Audio CDs are looked up by their disc ID; the servers are the services' addresses, to which the
// lookup appends the services' own paths.
inline const QString LookUpDiscsOnline = QStringLiteral("Look Up Discs Online");
inline const QString MusicBrainzServer = QStringLiteral("MusicBrainz Server");
inline const QString CoverArtServer = QStringLiteral("Cover Art Server");
// Rips are checked against the AccurateRip database; a drive's read offset (samples) corrects
// where it reads, so that its checksums can match.
inline const QString AccurateRipServer = QStringLiteral("AccurateRip Server");
inline const QString DriveReadOffset = QStringLiteral("Drive Read Offset");
// How many files a batch encodes at once; 0: as many as the machine has cores, at most 8.
inline const QString EncodersAtOnce = QStringLiteral("Encode Files at Once");
// ReplayGain 2.0 tags (track and album gain and peak) in every MP3 a run makes.
inline const QString WriteReplayGainTags = QStringLiteral("Write ReplayGain Tags");
inline const QString SelectedTab = QStringLiteral("Selected Preferences Tab");
inline const QString FixedPitchFontSize = QStringLiteral("NSFixedPitchFontSize");
// Where the last batch wrote its files and where files were last added from: a new batch window
// starts there.
inline const QString BatchDestination = QStringLiteral("Last Batch Destination");
inline const QString AddFilesFolder = QStringLiteral("Last Added Files Folder");
// Where in the destination a batch writes each file, as an OutputNamePattern.
inline const QString NamePattern = QStringLiteral("Output Name Pattern");
} // namespace PrefKey

// The encoder settings controller: the one way into the stored encoder settings. It answers the
// three run-time switches, turns the settings and a run's records into the encoder's argument
// list, checks and repairs the settings that must hold one of a few values, and owns the
// settings window.
class LamePrefs : public QObject
{
    Q_OBJECT

  public:
    // The process-wide store. The first use registers the factory values.
    static SettingsStore &preferences();
    // The factory values, as DefaultPrefs.plist holds them: what the store registers and what the
    // settings window's restore buttons put back. A key it lacks has no factory value.
    static QVariantMap factoryValues();

    // A controller of the process-wide store, or of `store` (which must outlive it).
    explicit LamePrefs(QObject *parent = nullptr);
    explicit LamePrefs(SettingsStore &store, QObject *parent = nullptr);
    ~LamePrefs() override;

    SettingsStore &settings() const { return store; }

    bool useTunes() const;
    bool discPlaylists() const;
    bool batchPlaylists() const;
    // How many files a batch encodes at once: the stored number, held to 1 to the machine's cores.
    quint32 encodersAtOnce() const;
    // A stored number of files at once as a batch uses it: 0 (the factory value) stands for the
    // machine's cores, at most 8; any number is held to 1 to the machine's cores.
    static quint32 resolvedEncoders(int stored);

    // The switches shared by every file of a run, from the encoder settings in `store`. Nothing
    // when a setting the encoder must be given has no value at all; the log names that setting.
    // A stored value of the wrong kind is removed from `store` so the factory value serves.
    static std::optional<QStringList> makeGlobalSwitches(SettingsStore &store, const QVariantMap &options,
                                                         bool useTags);
    // The complete argument list of one file: the run's switches (none: an empty list) with the
    // file's tags merged in, then the input and output paths. Nothing when the record is none or
    // lacks a path.
    static std::optional<QStringList> makeArgumentList(const QVariantMap *task, const QStringList *globals,
                                                       bool useTags);

    // Checks of the settings that must hold one of a few values, made when the settings window
    // fills its controls. Each answers the value to show; a stored value that fails is logged as
    // "Error: corrupt preferences" and repaired in the store.
    std::optional<QString> checkedChannelMode() const; // nothing: the encoder chooses
    qint32 checkedBitRateMode(const QList<int> &modes) const;
    QString checkedDeemphasis() const;
    std::optional<QString> checkedMasking() const; // nothing: normal masking
    QString checkedShortBlocks() const;

  private:
    std::optional<QString> allowedString(const QString &key, const QStringList &allowed, bool absentIsValid,
                                         bool *corrupt) const;

    SettingsStore &store;
};
