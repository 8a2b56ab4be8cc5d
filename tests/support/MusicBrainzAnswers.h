#pragma once

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

// Answers of the MusicBrainz web service (ws/2, JSON), written after its documented schema, for the
// tests' local server.
namespace MusicBrainzAnswers {
struct Release
{
    QString id, title, artist, date, country;
    QStringList titles;
    QStringList artists{}; // per track; a missing or empty one is the release's artist
};

inline QJsonArray credit(const QString &name)
{
    return {QJsonObject{{"name", name},
                        {"joinphrase", ""},
                        {"artist", QJsonObject{{"id", "a-" + name}, {"name", name}, {"sort-name", name}}}}};
}

// The answer to /ws/2/discid/<discId>?inc=recordings+artist-credits&fmt=json: each release on a
// CD medium that lists the disc.
inline QByteArray discAnswer(const QString &discId, const QList<Release> &releases)
{
    QJsonArray list;
    for (const Release &release : releases) {
        QJsonArray tracks;
        for (int i = 0; i < release.titles.size(); ++i)
            tracks.append(QJsonObject{
                {"id", QString("t%1").arg(i)},
                {"position", i + 1},
                {"number", QString::number(i + 1)},
                {"title", release.titles.at(i)},
                {"length", 1000},
                {"artist-credit",
                 credit(release.artists.value(i).isEmpty() ? release.artist : release.artists[i])},
                {"recording", QJsonObject{{"id", QString("r%1").arg(i)}, {"title", release.titles.at(i)}}}});
        const QJsonObject medium{{"position", 1},
                                 {"format", "CD"},
                                 {"track-count", int(tracks.size())},
                                 {"discs", QJsonArray{QJsonObject{{"id", discId}}}},
                                 {"tracks", tracks}};
        list.append(QJsonObject{{"id", release.id},
                                {"title", release.title},
                                {"status", "Official"},
                                {"date", release.date},
                                {"country", release.country},
                                {"artist-credit", credit(release.artist)},
                                {"media", QJsonArray{medium}}});
    }
    return QJsonDocument(QJsonObject{{"id", discId}, {"releases", list}}).toJson();
}

// A disc ID by the documented calculation, done here on its own: SHA-1 of the first and last
// track (2 hex digits each), the lead-out and 99 track offsets (8 hex digits each, upper case, 0
// for no track), in Base64 with "._-" for "+/=".
inline QString discId(int first, int last, int leadOut, const QList<int> &offsets)
{
    QByteArray text = QByteArray::number(first, 16).rightJustified(2, '0') +
                      QByteArray::number(last, 16).rightJustified(2, '0') +
                      QByteArray::number(leadOut, 16).rightJustified(8, '0');
    for (int i = 0; i < 99; ++i)
        text += QByteArray::number(offsets.value(i), 16).rightJustified(8, '0');
    QByteArray id = QCryptographicHash::hash(text.toUpper(), QCryptographicHash::Sha1).toBase64();
    return QString::fromLatin1(id.replace('+', '.').replace('/', '_').replace('=', '-'));
}
} // namespace MusicBrainzAnswers
