#include "support/MusicBrainzAnswers.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
QJsonArray credit(const QString &name)
{
    return {QJsonObject{{"name", name},
                        {"joinphrase", ""},
                        {"artist", QJsonObject{{"id", "a-" + name}, {"name", name}, {"sort-name", name}}}}};
}
} // namespace

QJsonObject MusicBrainzAnswers::release(const Release &release, const QString &discId)
{
    QJsonArray tracks;
    for (int i = 0; i < release.titles.size(); ++i) {
        const QString artist = release.artists.value(i).isEmpty() ? release.artist : release.artists.value(i);
        tracks.append(QJsonObject{
            {"id", QString("t%1").arg(i)},
            {"position", i + 1},
            {"number", QString::number(i + 1)},
            {"title", release.titles.at(i)},
            {"length", 1000},
            {"artist-credit", credit(artist)},
            {"recording", QJsonObject{{"id", QString("r%1").arg(i)}, {"title", release.titles.at(i)}}}});
    }
    const QJsonObject medium{{"position", 1},
                             {"format", "CD"},
                             {"track-count", int(tracks.size())},
                             {"discs", QJsonArray{QJsonObject{{"id", discId}}}},
                             {"tracks", tracks}};
    return {{"id", release.id},           {"title", release.title},
            {"status", "Official"},       {"date", release.date},
            {"country", release.country}, {"artist-credit", credit(release.artist)},
            {"media", QJsonArray{medium}}};
}

QString MusicBrainzAnswers::discId(int first, int last, int leadOut, const QList<int> &offsets)
{
    QByteArray text = QByteArray::number(first, 16).rightJustified(2, '0') +
                      QByteArray::number(last, 16).rightJustified(2, '0') +
                      QByteArray::number(leadOut, 16).rightJustified(8, '0');
    for (int i = 0; i < 99; ++i)
        text += QByteArray::number(offsets.value(i), 16).rightJustified(8, '0');
    QByteArray id = QCryptographicHash::hash(text.toUpper(), QCryptographicHash::Sha1).toBase64();
    return QString::fromLatin1(id.replace('+', '.').replace('/', '_').replace('=', '-'));
}

QByteArray MusicBrainzAnswers::discAnswer(const QString &discId, const QList<Release> &releases)
{
    QJsonArray list;
    for (const Release &entry : releases)
        list.append(release(entry, discId));
    return QJsonDocument(QJsonObject{{"id", discId}, {"releases", list}}).toJson();
}
