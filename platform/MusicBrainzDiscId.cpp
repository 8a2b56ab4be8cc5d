#include "platform/MusicBrainzDiscId.h"

#include <QUrl>
#include <QUrlQuery>
#include <QVariantList>

#include <discid/discid.h>
#include <memory>

namespace {
// The sectors between the end of an Enhanced CD's audio session and the start of its data session.
constexpr int kSessionGap = 11400;
// Sector addresses start after the two seconds before track 1.
constexpr int kLeadIn = 150;
} // namespace

MusicBrainzDiscId MusicBrainzDiscId::fromTableOfContents(const QVariantMap &contents)
{
    MusicBrainzDiscId result;
    const QVariantMap session = contents.value(QStringLiteral("Sessions")).toList().value(0).toMap();
    const QVariantList entries = session.value(QStringLiteral("Track Array")).toList();
    int offsets[100] = {};
    int first = 0, last = 0;
    qint64 leadOut = session.value(QStringLiteral("Leadout Block"), -1).toLongLong();
    for (const QVariant &entry : entries) {
        const QVariantMap track = entry.toMap();
        const qint64 point = track.value(QStringLiteral("Point")).toLongLong();
        const qint64 start = track.value(QStringLiteral("Start Block"), -1).toLongLong();
        if (point < 1 || point > 99 || start < 0 || start > 450000)
            return result;
        if (track.value(QStringLiteral("Data")).toBool()) {
            // A data track after the audio ends the audio session.
            if (last > 0) {
                leadOut = start - kSessionGap;
                break;
            }
            continue;
        }
        if (first == 0)
            first = int(point);
        last = int(point);
        offsets[point] = int(start + kLeadIn);
    }
    if (first == 0 || leadOut <= 0 || leadOut > 450000)
        return result;
    offsets[0] = int(leadOut + kLeadIn);
    const std::unique_ptr<DiscId, void (*)(DiscId *)> disc(discid_new(), discid_free);
    if (!disc || !discid_put(disc.get(), first, last, offsets))
        return result;
    result.discId = QString::fromLatin1(discid_get_id(disc.get()));
    result.tocText = QString::fromLatin1(discid_get_toc_string(disc.get()));
    result.tracks = last - first + 1;
    return result;
}

QString MusicBrainzDiscId::submissionUrl(const QString &server) const
{
    QUrl url(server);
    url.setPath(url.path().chopped(url.path().endsWith(u'/') ? 1 : 0) + QStringLiteral("/cdtoc/attach"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("id"), discId);
    query.addQueryItem(QStringLiteral("tracks"), QString::number(tracks));
    query.addQueryItem(QStringLiteral("toc"), QString(tocText).replace(u' ', u'+'));
    url.setQuery(query);
    return url.toString();
}
