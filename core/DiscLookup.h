#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QUrl;

// One release of the MusicBrainz database that holds a disc: what names the disc and its tracks.
struct DiscRelease
{
    QString id; // the release's MBID, which also finds its cover
    QString title;
    QString artist;
    QString year;
    QString country;
    QString format; // of the medium that holds the disc ("CD")
    struct Track
    {
        QString title;
        QString artist; // empty when it is the release's artist
    };
    QList<Track> tracks; // of the disc's medium, in order
};

// Looks an audio CD up by its MusicBrainz disc ID: in the cache under the user's cache folder
// first, then, when allowed, in the MusicBrainz web service (version 2, JSON), and fetches a
// release's front cover from the Cover Art Archive. It never blocks: every answer comes as a
// signal. The service's rules are kept: a User-Agent naming Orvik and its version, at most one
// request a second from the whole program, a 503 answered by waiting as its Retry-After asks. An
// answer is read up to a limit, and an answer that does not come within five seconds counts as
// failed. A good answer is cached by disc ID, a cover by release.
class DiscLookup : public QObject
{
    Q_OBJECT

  public:
    struct Setup
    {
        QString discId;
        int trackCount = 0; // the disc's audio tracks: a release with another number does not fit
        bool online = true;
        QString musicBrainzServer; // "https://musicbrainz.org"
        QString coverServer;       // "https://coverartarchive.org"
    };

    explicit DiscLookup(const Setup &setup, QObject *parent = nullptr);
    ~DiscLookup() override;

    // Looks the disc up: one of found, notFound or failed follows. False, and nothing follows,
    // when the disc is not cached and the lookup may not go online.
    bool start();
    // Fetches the front cover of `releaseId`: coverFound or coverFailed follows. False, and
    // nothing follows, when it is not cached and the lookup may not go online.
    bool fetchCover(const QString &releaseId);

    // The folder the answers are cached in.
    static QString cacheFolder();
    // The releases of a ws/2 disc-ID answer that fit a disc of `trackCount` tracks; empty with
    // `problem` set to one sentence when the answer is not one (not JSON, another shape, no
    // release that fits).
    static QList<DiscRelease> parse(const QByteArray &answer, const QString &discId, int trackCount,
                                    QString *problem);
    // Whether the bytes are a JPEG or PNG picture.
    static bool isPicture(const QByteArray &data);

  signals:
    void found(const QList<DiscRelease> &releases, bool fromCache);
    void notFound();
    void failed(const QString &reason);
    void coverFound(const QByteArray &picture);
    void coverFailed(const QString &reason);

  private:
    enum class Kind { Disc, Cover };
    void request(Kind kind, const QUrl &url, int attempt);
    void send(Kind kind, const QUrl &url, int attempt);
    void answered(QNetworkReply *reply, Kind kind, const QUrl &url, int attempt);
    void fail(Kind kind, const QString &reason);
    QString discCachePath() const;
    QString coverCachePath() const;

    Setup setup;
    QString coverRelease;
    QNetworkAccessManager *network = nullptr;
    QList<QPointer<QNetworkReply>> replies;
};
