#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// Answers of the MusicBrainz web service (ws/2, JSON), written after its documented schema, for the
// tests' local server.
namespace MusicBrainzAnswers {
struct Release
{
    QString id;
    QString title;
    QString artist;
    QString date;
    QString country;
    QStringList titles;
    QStringList artists{}; // per track; a missing or empty one is the release's artist
};
// A release object of the disc `discId`, on a CD medium.
QJsonObject release(const Release &release, const QString &discId);
// A disc ID by the documented calculation, done here on its own: SHA-1 of the first and last
// track (2 hex digits each), the lead-out and 99 track offsets (8 hex digits each, upper case, 0
// for no track), in Base64 with "._-" for "+/=".
QString discId(int first, int last, int leadOut, const QList<int> &offsets);
// The answer to /ws/2/discid/<discId>?inc=recordings+artist-credits&fmt=json.
QByteArray discAnswer(const QString &discId, const QList<Release> &releases);
} // namespace MusicBrainzAnswers
