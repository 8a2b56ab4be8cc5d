#include "core/DiscLookup.h"

#include "core/WebRequest.h"

#include "platform/LocalizedStrings.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {
// A ws/2 answer for one disc is a few hundred kilobytes at most; a 500-pixel cover well under one
// megabyte. Anything far larger is not what was asked for.
constexpr qint64 kMaxAnswer = 4 * 1024 * 1024;
constexpr qint64 kMaxCover = 8 * 1024 * 1024;
constexpr int kMaxRetries = 3;
constexpr qint64 kMaxRetryWaitMs = 30000;
constexpr qint64 kRequestSpacingMs = 1000;

QString ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}

// The program's last request to the MusicBrainz service, so that all rip windows together keep
// to one request a second.
QElapsedTimer &lastRequest()
{
    static QElapsedTimer timer;
    return timer;
}

// A name from the database as it may stand in a tag: control characters become blanks, and runs
// of blanks one. A "/" stays: the file names replace it on their own.
QString cleaned(const QJsonValue &value)
{
    QString name = value.toString();
    for (QChar &c : name)
        if (c.category() == QChar::Other_Control)
            c = u' ';
    return name.simplified();
}

// An artist credit: each credited name followed by its join phrase ("A feat. B").
QString creditName(const QJsonValue &credit)
{
    QString name;
    for (const QJsonValue &part : credit.toArray())
        name += part.toObject().value(QStringLiteral("name")).toString() +
                part.toObject().value(QStringLiteral("joinphrase")).toString();
    return cleaned(name);
}

// The medium of a release that holds the disc: the one listing the disc ID, else the only one.
QJsonObject discMedium(const QJsonArray &media, const QString &discId)
{
    for (const QJsonValue &medium : media)
        for (const QJsonValue &disc : medium.toObject().value(QStringLiteral("discs")).toArray())
            if (disc.toObject().value(QStringLiteral("id")).toString() == discId)
                return medium.toObject();
    return media.size() == 1 ? media.first().toObject() : QJsonObject();
}

// Seconds or an HTTP date, as Retry-After gives them; one second when it gives neither.
qint64 retryWaitMs(const QNetworkReply *reply)
{
    const QByteArray value = reply->rawHeader("Retry-After").trimmed();
    bool number = false;
    const qint64 seconds = value.toLongLong(&number);
    qint64 wait = 1000;
    if (number && seconds >= 0) {
        wait = seconds * 1000;
    } else if (const QDateTime when = QDateTime::fromString(QString::fromLatin1(value), Qt::RFC2822Date);
               when.isValid()) {
        wait = QDateTime::currentDateTimeUtc().msecsTo(when);
    }
    return std::clamp<qint64>(wait, kRequestSpacingMs, kMaxRetryWaitMs);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

QByteArray readFile(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > limit)
        return {};
    return file.readAll();
}
} // namespace

DiscLookup::DiscLookup(const Setup &lookup, QObject *parent) : QObject(parent), setup(lookup) {}

DiscLookup::~DiscLookup()
{
    // An answer cut short now reaches no one.
    for (const QPointer<QNetworkReply> &reply : std::as_const(replies))
        if (reply) {
            reply->disconnect(this);
            reply->abort();
        }
}

QString DiscLookup::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/orvik");
}

QString DiscLookup::discCachePath() const
{
    return cacheFolder() + QStringLiteral("/discs/") + setup.discId + QStringLiteral(".json");
}

QString DiscLookup::coverCachePath() const
{
    return cacheFolder() + QStringLiteral("/covers/") + coverRelease + QStringLiteral(".jpg");
}

bool DiscLookup::isPicture(const QByteArray &data)
{
    return data.startsWith("\xff\xd8\xff") || data.startsWith("\x89PNG\r\n\x1a\n");
}

QList<DiscRelease> DiscLookup::parse(const QByteArray &answer, const QString &discId, int trackCount,
                                     QString *problem)
{
    QList<DiscRelease> releases;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(answer, &error);
    if (error.error != QJsonParseError::NoError) {
        *problem = ripText("LookupNotJson", "the answer is not JSON");
        return releases;
    }
    const QJsonValue list = document.object().value(QStringLiteral("releases"));
    if (!document.isObject() || !list.isArray()) {
        *problem = ripText("LookupWrongShape", "the answer lists no releases");
        return releases;
    }
    QList<int> otherCounts;
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject release = entry.toObject();
        const QJsonObject medium = discMedium(release.value(QStringLiteral("media")).toArray(), discId);
        const QJsonArray tracks = medium.value(QStringLiteral("tracks")).toArray();
        if (!release.value(QStringLiteral("id")).isString() ||
            !release.value(QStringLiteral("title")).isString())
            continue;
        if (tracks.size() != trackCount) {
            otherCounts << int(tracks.size());
            continue;
        }
        DiscRelease found;
        found.id = cleaned(release.value(QStringLiteral("id")));
        found.title = cleaned(release.value(QStringLiteral("title")));
        found.artist = creditName(release.value(QStringLiteral("artist-credit")));
        const QString date = release.value(QStringLiteral("date")).toString();
        if (date.size() >= 4 && date.left(4).toInt() > 0)
            found.year = date.left(4);
        found.country = cleaned(release.value(QStringLiteral("country")));
        found.format = cleaned(medium.value(QStringLiteral("format")));
        for (const QJsonValue &track : tracks) {
            const QJsonObject object = track.toObject();
            QString title = cleaned(object.value(QStringLiteral("title")));
            if (title.isEmpty())
                title = cleaned(
                    object.value(QStringLiteral("recording")).toObject().value(QStringLiteral("title")));
            QString artist = creditName(object.value(QStringLiteral("artist-credit")));
            if (artist == found.artist)
                artist.clear();
            found.tracks.append({title, artist});
        }
        releases.append(found);
    }
    if (releases.isEmpty())
        *problem =
            otherCounts.isEmpty()
                ? ripText("LookupWrongShape", "the answer lists no releases")
                : localizedFormat(ripText("LookupTrackCount", "the release found has %d tracks, the disc %d"),
                                  {otherCounts.first(), trackCount});
    return releases;
}

bool DiscLookup::start()
{
    if (setup.discId.isEmpty())
        return false;
    if (QFile::exists(discCachePath())) {
        QString problem;
        const QList<DiscRelease> cached =
            parse(readFile(discCachePath(), kMaxAnswer), setup.discId, setup.trackCount, &problem);
        if (!cached.isEmpty()) {
            QTimer::singleShot(0, this, [this, cached] { emit found(cached, true); });
            return true;
        }
        // A cache file that no longer reads is only a missed chance: the service answers again.
        QFile::remove(discCachePath());
    }
    if (!setup.online)
        return false;
    QUrl url = WebRequest::address(setup.musicBrainzServer, QStringLiteral("/ws/2/discid/") + setup.discId);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits&fmt=json"));
    request(Kind::Disc, url, 0);
    return true;
}

bool DiscLookup::fetchCover(const QString &releaseId)
{
    coverRelease = releaseId;
    if (const QByteArray cached = readFile(coverCachePath(), kMaxCover); isPicture(cached)) {
        QTimer::singleShot(0, this, [this, cached] { emit coverFound(cached); });
        return true;
    }
    if (!setup.online)
        return false;
    request(Kind::Cover,
            WebRequest::address(setup.coverServer,
                                QStringLiteral("/release/") + releaseId + QStringLiteral("/front-500")),
            0);
    return true;
}

void DiscLookup::request(Kind kind, const QUrl &url, int attempt)
{
    qint64 wait = 0;
    if (kind == Kind::Disc && lastRequest().isValid())
        wait = std::max<qint64>(0, kRequestSpacingMs - lastRequest().elapsed());
    if (wait == 0)
        send(kind, url, attempt);
    else
        QTimer::singleShot(int(wait), this, [this, kind, url, attempt] { request(kind, url, attempt); });
}

void DiscLookup::send(Kind kind, const QUrl &url, int attempt)
{
    if (kind == Kind::Disc)
        lastRequest().start();
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request{url};
    request.setRawHeader("Accept", kind == Kind::Disc ? "application/json" : "image/*");
    // The Cover Art Archive answers with a redirect to where the picture is stored; a few are
    // followed, never from https to http. The web service answers where it is asked: a redirect
    // there would be a request more than the rate allows.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         kind == Kind::Disc ? QNetworkRequest::ManualRedirectPolicy
                                            : QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(4);
    QNetworkReply *reply = WebRequest::get(*network, request, kind == Kind::Disc ? kMaxAnswer : kMaxCover);
    replies.append(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, kind, url, attempt] { answered(reply, kind, url, attempt); });
}

void DiscLookup::answered(QNetworkReply *reply, Kind kind, const QUrl &url, int attempt)
{
    reply->deleteLater();
    replies.removeAll(reply);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (WebRequest::timedOut(reply))
        return fail(kind, ripText("LookupSlow", "the server did not answer in time"));
    if (WebRequest::tooLarge(reply))
        return fail(kind, ripText("LookupTooLarge", "the answer is far too large"));
    if (status == 503 && attempt < kMaxRetries) {
        const qint64 wait = retryWaitMs(reply);
        QTimer::singleShot(int(wait), this, [this, kind, url, attempt] { request(kind, url, attempt + 1); });
        return;
    }
    if (status == 404)
        return kind == Kind::Disc ? emit notFound()
                                  : fail(kind, ripText("CoverNone", "the release has no front cover"));
    if (reply->error() == QNetworkReply::TooManyRedirectsError || (status >= 300 && status < 400))
        return fail(kind, ripText("LookupRedirect", "the server sent the request elsewhere"));
    if (status >= 400)
        return fail(kind, localizedFormat(ripText("LookupHttpError", "the server answered %d"), {status}));
    if (reply->error() != QNetworkReply::NoError)
        return fail(kind, reply->errorString());
    const QByteArray body = reply->readAll();
    if (kind == Kind::Cover) {
        if (!isPicture(body))
            return fail(kind, ripText("CoverNotPicture", "the cover is not a picture"));
        writeFile(coverCachePath(), body);
        emit coverFound(body);
        return;
    }
    QString problem;
    const QList<DiscRelease> releases = parse(body, setup.discId, setup.trackCount, &problem);
    if (releases.isEmpty()) {
        // The service names a disc ID it has no release for in an empty list as well.
        const QJsonValue list = QJsonDocument::fromJson(body).object().value(QStringLiteral("releases"));
        if (list.isArray() && list.toArray().isEmpty())
            return emit notFound();
        return fail(kind, problem);
    }
    writeFile(discCachePath(), body);
    emit found(releases, false);
}

void DiscLookup::fail(Kind kind, const QString &reason)
{
    if (kind == Kind::Disc)
        emit failed(reason);
    else
        emit coverFailed(reason);
}
