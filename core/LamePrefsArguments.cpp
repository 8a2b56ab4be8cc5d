// LamePrefs: the encoder argument builder. The encoder gets its arguments one string each, with no
// shell in between, so nothing here is quoted or escaped.
#include "core/LamePrefs.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSet>

namespace {
// The tag switches in the order the encoder is given them, with the record keys they take.
struct TagSwitch
{
    const QString &key;
    const char *name;
};
const TagSwitch tagSwitches[] = {
    {kSongTitleKey, "--tt"},   {kSongArtistKey, "--ta"},  {kSongAlbumKey, "--tl"}, {kSongYearKey, "--ty"},
    {kSongCommentKey, "--tc"}, {kSongTrackNoKey, "--tn"}, {kSongGenreKey, "--tg"},
};

// The switches of the vocabulary whose value is the next argument.
const QSet<QString> &switchesWithValue()
{
    // clang-format off
    static const QSet<QString> switches = {
        "-s", "--bitwidth", "--lowpass", "--lowpass-width", "--highpass", "--highpass-width",
        "--resample", "-m", "--athlower", "--cwlimit", "-q", "-b", "-B", "--athtype", "--abr", "-V",
        "-e", "--tt", "--ta", "--tl", "--ty", "--tc", "--tn", "--tg"};
    // clang-format on
    return switches;
}

// The position of the switch `name` in `list`, or -1. Values are stepped over: a tag or a raw
// sample rate may read like a switch ("--tt" as an artist), and taking it for one would put the
// file's value in place of the wrong argument.
qsizetype findSwitch(const QStringList &list, const QString &name)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i) == name)
            return i;
        if (switchesWithValue().contains(list.at(i)))
            ++i;
    }
    return -1;
}

// A record's boolean: present and true, whether it holds a number or a text.
bool recordFlag(const QVariantMap &record, const QString &key)
{
    const auto found = record.constFind(key);
    if (found == record.constEnd())
        return false;
    if (found->typeId() == QMetaType::QString)
        return SettingsStore::textToBool(found->toString());
    return found->toBool();
}

// Record values go to the encoder as they stand.
void appendFromRecord(QStringList &list, const char *name, const QVariantMap &record, const QString &key)
{
    const auto found = record.constFind(key);
    if (found != record.constEnd())
        list << QString::fromLatin1(name) << found->toString();
}

// True for a real setting above the encoder's "off" threshold; not-a-number never is.
bool aboveThreshold(float value)
{
    return double(value) > 0.0001;
}

// What a setting sent as a switch's value must look like: a whole number, a decimal number, or
// one of a few fixed texts.
enum class Kind { Integer, Real, Choice };

// Far more characters than any sensible setting of these kinds has, few enough that a runaway
// value cannot reach the encoder or the command log.
constexpr qsizetype kLongestNumber = 16;

bool fitsKind(const QString &text, Kind kind, const QStringList &choices)
{
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]+$"));
    static const QRegularExpression real(QStringLiteral("^-?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    if (kind == Kind::Choice)
        return choices.contains(text);
    return text.size() <= kLongestNumber && (kind == Kind::Integer ? integer : real).match(text).hasMatch();
}

// The text of a setting that becomes a switch or a switch's value, or a null string when it has
// none. A stored value of the wrong kind (a word for a bit rate, a megabyte of text for a cutoff)
// is removed, so the factory value serves from now on, and the log says so once.
QString settingText(SettingsStore &store, const QString &key, Kind kind, const QStringList &choices = {})
{
    const QString value = store.stringForKey(key);
    if (value.isNull() || fitsKind(value, kind, choices))
        return value;
    store.removeObjectForKey(key);
    QString factory = store.stringForKey(key);
    if (!factory.isNull() && !fitsKind(factory, kind, choices))
        factory.clear();
    const QString expected = kind == Kind::Integer ? QStringLiteral("a whole number")
                             : kind == Kind::Real  ? QStringLiteral("a number")
                                                   : QStringLiteral("one of ") + choices.join(u' ');
    const QString outcome = factory.isNull() ? QStringLiteral("it is left out")
                                             : QStringLiteral("the factory value %1 is used").arg(factory);
    // The value itself is not logged: it may be megabytes long.
    qWarning().noquote() << QStringLiteral(
                                "Error: corrupt preferences: \"%1\" holds %2 characters that are not %3; %4")
                                .arg(key, QString::number(value.size()), expected, outcome);
    return factory;
}

// Appends a switch whose setting the encoder must always be given. A setting missing from both
// layers (the factory values were not registered) stops the build rather than leave the switch
// without its value; the log names the setting.
bool appendRequired(SettingsStore &store, QStringList &list, const char *name, const QString &key,
                    Kind kind = Kind::Integer, const QStringList &choices = {})
{
    const QString value = settingText(store, key, kind, choices);
    if (value.isNull()) {
        qWarning().noquote() << QStringLiteral("Error: corrupt preferences: \"%1\" has no value").arg(key);
        return false;
    }
    list << QString::fromLatin1(name) << value;
    return true;
}
} // namespace

std::optional<QStringList> LamePrefs::makeGlobalSwitches(SettingsStore &store, const QVariantMap &options,
                                                         bool useTags)
{
    QStringList list;

    if (recordFlag(options, kSwapEndianKey))
        list << "-x";

    const bool raw = recordFlag(options, kRawPCMInputKey);
    if (raw) {
        list << "-r";
        appendFromRecord(list, "-s", options, kSampleRateKey);
        appendFromRecord(list, "--bitwidth", options, kBitDepthKey);
    }

    // A real setting above the encoder's "off" threshold, sent as the switch `name`; false when
    // it is not sent.
    auto appendReal = [&](const char *name, const QString &key) {
        if (!aboveThreshold(store.floatForKey(key)))
            return false;
        const QString value = settingText(store, key, Kind::Real);
        if (value.isNull() || !aboveThreshold(store.floatForKey(key)))
            return false;
        list << QString::fromLatin1(name) << value;
        return true;
    };
    if (!store.boolForKey(PrefKey::EnableFiltering)) {
        list << "-k";
    } else {
        if (store.boolForKey(PrefKey::EnableLowpass) && appendReal("--lowpass", PrefKey::UpperCutoff) &&
            store.boolForKey(PrefKey::ManualLowpassWidth))
            appendReal("--lowpass-width", PrefKey::LowpassWidth);
        if (store.boolForKey(PrefKey::EnableHighpass) && appendReal("--highpass", PrefKey::LowerCutoff) &&
            store.boolForKey(PrefKey::ManualHighpassWidth))
            appendReal("--highpass-width", PrefKey::HighpassWidth);
    }

    const QString sampleRate = settingText(store, PrefKey::OutputSampleRate, Kind::Real);
    if (!sampleRate.isNull())
        list << "--resample" << sampleRate;
    const QString channelMode =
        settingText(store, PrefKey::ChannelMode, Kind::Choice, {"s", "j", "f", "d", "m"});
    if (!channelMode.isNull())
        list << "-m" << channelMode;
    // Mixing down is something the encoder only does to raw input.
    if (raw && store.boolForKey(PrefKey::Mixdown))
        list << "-a";
    if (store.boolForKey(PrefKey::DifferentBlocks))
        list << "-d";
    const QString masking =
        settingText(store, PrefKey::Masking, Kind::Choice, {"--noath", "--athonly", "--athshort"});
    if (!masking.isNull())
        list << masking;
    const QString shortBlocks =
        settingText(store, PrefKey::ShortBlocks, Kind::Choice, {"--short", "--noshort", "--allshort"});
    if (!shortBlocks.isNull())
        list << shortBlocks;
    if (!store.boolForKey(PrefKey::TemporalMasking))
        list << "--notemp";
    if (store.integerForKey(PrefKey::ReduceATHBy) > 0) {
        const QString lower = settingText(store, PrefKey::ReduceATHBy, Kind::Integer);
        if (!lower.isNull() && store.integerForKey(PrefKey::ReduceATHBy) > 0)
            list << "--athlower" << lower;
    }
    appendReal("--cwlimit", PrefKey::TonalityLimit);

    switch (store.integerForKey(PrefKey::BitRateMode)) {
    case 1:
        if (!appendRequired(store, list, "-q", PrefKey::CBRQuality) ||
            !appendRequired(store, list, "-b", PrefKey::CBRBitRate) ||
            !appendRequired(store, list, "--athtype", PrefKey::CBRATHType))
            return std::nullopt;
        if (!store.boolForKey(PrefKey::CBRReservoir))
            list << "--nores";
        break;
    case 2:
        if (!appendRequired(store, list, "-q", PrefKey::ABRQuality) ||
            !appendRequired(store, list, "--abr", PrefKey::AverageBitRate) ||
            !appendRequired(store, list, "-b", PrefKey::MinimumABRBitRate) ||
            !appendRequired(store, list, "-B", PrefKey::MaximumABRBitRate) ||
            !appendRequired(store, list, "--athtype", PrefKey::ABRATHType))
            return std::nullopt;
        if (store.boolForKey(PrefKey::ABREnforceMinimum))
            list << "-F";
        if (!store.boolForKey(PrefKey::ABRXingTag))
            list << "-t";
        break;
    case 3:
    case 4:
        list << (store.integerForKey(PrefKey::BitRateMode) == 3 ? "--vbr-new" : "--vbr-old");
        if (!appendRequired(store, list, "-V", PrefKey::VBRQuality) ||
            !appendRequired(store, list, "-b", PrefKey::MinimumVBRBitRate) ||
            !appendRequired(store, list, "-B", PrefKey::MaximumVBRBitRate))
            return std::nullopt;
        if (store.boolForKey(PrefKey::VBREnforceMinimum))
            list << "-F";
        if (!store.boolForKey(PrefKey::VBRXingTag))
            list << "-t";
        break;
    default:
        // No bit rate mode: the encoder's own defaults apply.
        break;
    }

    if (!appendRequired(store, list, "-e", PrefKey::Deemphasis, Kind::Choice, {"n", "5", "c"}))
        return std::nullopt;
    if (store.boolForKey(PrefKey::StrictISO))
        list << "--strictly-enforce-ISO";
    if (store.boolForKey(PrefKey::Checksum))
        list << "-p";
    if (store.boolForKey(PrefKey::MarkAsCopyright))
        list << "-c";
    if (!store.boolForKey(PrefKey::MarkAsOriginal))
        list << "-o";

    if (useTags) {
        for (const TagSwitch &tag : tagSwitches)
            appendFromRecord(list, tag.name, options, tag.key);
    }
    return list;
}

std::optional<QStringList> LamePrefs::makeArgumentList(const QVariantMap *task, const QStringList *globals,
                                                       bool useTags)
{
    if (!task)
        return std::nullopt;
    const QString input = task->value(kInputFileKey).toString();
    const QString output = task->value(kOutputFileKey).toString();
    if (input.isEmpty() || output.isEmpty())
        return std::nullopt;

    QStringList list = globals ? *globals : QStringList();
    if (useTags) {
        // A file's own tag takes the place of the run's value for the same tag, so the switch
        // keeps its position; a tag the run does not set goes after the run's switches.
        for (const TagSwitch &tag : tagSwitches) {
            const auto found = task->constFind(tag.key);
            if (found == task->constEnd())
                continue;
            const QString name = QString::fromLatin1(tag.name);
            const qsizetype at = findSwitch(list, name);
            if (at < 0)
                list << name << found->toString();
            else if (at + 1 < list.size())
                list[at + 1] = found->toString();
            else
                list << found->toString();
        }
        appendFromRecord(list, "--ti", *task, kCoverArtFileKey);
    }
    appendFromRecord(list, "--scale", *task, kInputScaleKey);
    list << input << output;
    return list;
}
