#include "core/AccurateRipDisc.h"

#include "platform/LocalizedStrings.h"

#include <QVariantList>
#include <QtEndian>

namespace {
// Sector addresses start after the two seconds before track 1.
constexpr qint64 kLeadIn = 150;
// A block: the track count, the three IDs; then per track the confidence, the checksum and the
// checksum of sector 450, which a rip does not need.
constexpr int kHeaderBytes = 13;
constexpr int kTrackBytes = 9;

QString ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}
} // namespace

AccurateRipDisc AccurateRipDisc::fromTableOfContents(const QVariantMap &contents)
{
    AccurateRipDisc disc;
    const QVariantMap session = contents.value(QStringLiteral("Sessions")).toList().value(0).toMap();
    const QVariantList entries = session.value(QStringLiteral("Track Array")).toList();
    const qint64 leadOut = session.value(QStringLiteral("Leadout Block"), -1).toLongLong();
    if (entries.isEmpty() || leadOut <= 0 || leadOut > 450000)
        return disc;
    quint32 id1 = 0, id2 = 0, digits = 0;
    int audio = 0;
    qint64 firstStart = -1;
    for (const QVariant &entry : entries) {
        const QVariantMap track = entry.toMap();
        const qint64 start = track.value(QStringLiteral("Start Block"), -1).toLongLong();
        if (start < 0 || start >= leadOut)
            return disc;
        if (firstStart < 0) {
            firstStart = start;
            disc.firstTrack = track.value(QStringLiteral("Point")).toInt();
        }
        for (qint64 seconds = (start + kLeadIn) / 75; seconds > 0; seconds /= 10)
            digits += quint32(seconds % 10);
        if (track.value(QStringLiteral("Data")).toBool())
            continue;
        ++audio;
        id1 += quint32(start);
        id2 += quint32(qMax<qint64>(start, 1)) * quint32(audio);
    }
    if (audio == 0)
        return disc;
    disc.audioTracks = audio;
    disc.discId1 = id1 + quint32(leadOut);
    disc.discId2 = id2 + quint32(leadOut) * quint32(audio + 1);
    const auto seconds = quint32((leadOut + kLeadIn) / 75 - (firstStart + kLeadIn) / 75);
    disc.freedb = ((digits % 255) << 24) | (seconds << 8) | quint32(entries.size());
    return disc;
}

QString AccurateRipDisc::idText() const
{
    return QStringLiteral("%1-%2-%3-%4")
        .arg(audioTracks, 3, 10, QChar(u'0'))
        .arg(hexText(discId1), hexText(discId2), hexText(freedb));
}

QString AccurateRipDisc::hexText(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QChar(u'0'));
}

QString AccurateRipDisc::entryPath() const
{
    return QStringLiteral("/accuraterip/%1/%2/%3/dBAR-%4.bin")
        .arg(discId1 & 0xf, 0, 16)
        .arg(discId1 >> 4 & 0xf, 0, 16)
        .arg(discId1 >> 8 & 0xf, 0, 16)
        .arg(idText());
}

QList<AccurateRipDisc::Pressing> AccurateRipDisc::parse(const QByteArray &entry, QString *problem) const
{
    QList<Pressing> pressings;
    const auto refuse = [&](const QString &why) {
        if (problem)
            *problem = why;
        return QList<Pressing>();
    };
    if (entry.isEmpty())
        return refuse(ripText("AccurateRipEmpty", "the database's answer is empty"));
    const auto *bytes = reinterpret_cast<const uchar *>(entry.constData());
    const qsizetype blockBytes = kHeaderBytes + qsizetype(audioTracks) * kTrackBytes;
    for (qsizetype at = 0; at < entry.size(); at += blockBytes) {
        if (entry.size() - at < kHeaderBytes || bytes[at] != audioTracks)
            return refuse(
                ripText("AccurateRipWrongSize", "the database's answer does not fit the disc's tracks"));
        if (entry.size() - at < blockBytes)
            return refuse(ripText("AccurateRipCutShort", "the database's answer is cut short"));
        if (qFromLittleEndian<quint32>(bytes + at + 1) != discId1 ||
            qFromLittleEndian<quint32>(bytes + at + 5) != discId2 ||
            qFromLittleEndian<quint32>(bytes + at + 9) != freedb)
            return refuse(ripText("AccurateRipOtherDisc", "the database answered for another disc"));
        Pressing pressing;
        for (int track = 0; track < audioTracks; ++track) {
            const uchar *field = bytes + at + kHeaderBytes + track * kTrackBytes;
            pressing.tracks.append({field[0], qFromLittleEndian<quint32>(field + 1)});
        }
        pressings.append(pressing);
    }
    return pressings;
}

AccurateRipDisc::Verdict AccurateRipDisc::verdict(const QList<Pressing> &pressings, int trackNumber,
                                                  quint32 v1, quint32 v2) const
{
    // The database keeps a slot per track of the table, a data track first included, and as many
    // slots as there are audio tracks: the audio track after such a data track takes the second.
    const int slot = trackNumber - firstTrack;
    Verdict result;
    bool known = false;
    for (const Pressing &pressing : pressings) {
        if (slot < 0 || slot >= pressing.tracks.size() || pressing.tracks[slot].confidence == 0)
            continue;
        known = true;
        const Pressing::Track &track = pressing.tracks[slot];
        if ((track.checksum == v1 || track.checksum == v2) && track.confidence > result.confidence)
            result = {Verdict::Accurate, track.confidence};
    }
    if (result.kind != Verdict::Accurate && known)
        result.kind = Verdict::NotAccurate;
    return result;
}
