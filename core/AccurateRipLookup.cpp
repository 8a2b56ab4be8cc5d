#include "core/AccurateRipLookup.h"

#include "platform/LocalizedStrings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#ifndef ORVIK_VERSION
#define ORVIK_VERSION "0"
#endif

namespace {
constexpr int kTimeoutMs = 5000;
// An entry holds a block of a few hundred bytes per pressing; a disc has at most a few hundred.
constexpr qint64 kMaxAnswer = 1024 * 1024;

QString ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}
} // namespace

AccurateRipLookup::AccurateRipLookup(const AccurateRipDisc &disc, const QString &server, QObject *parent)
    : QObject(parent), disc(disc), server(server)
{
}

AccurateRipLookup::~AccurateRipLookup()
{
    if (reply)
        reply->abort();
}

void AccurateRipLookup::start()
{
    network = new QNetworkAccessManager(this);
    QUrl url(server);
    url.setPath(url.path().chopped(url.path().endsWith(u'/') ? 1 : 0) + disc.entryPath());
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Orvik/" ORVIK_VERSION));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    reply = network->get(request);
    auto *timeout = new QTimer(reply);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, this, [this] {
        timedOut = true;
        reply->abort();
    });
    timeout->start(kTimeoutMs);
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (received > kMaxAnswer || total > kMaxAnswer)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &AccurateRipLookup::answered);
}

void AccurateRipLookup::answered()
{
    QNetworkReply *done = reply;
    done->deleteLater();
    const int status = done->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timedOut)
        return emit failed(ripText("AccurateRipSlow", "the AccurateRip database did not answer in time"));
    if (status == 404)
        return emit notFound();
    if (status >= 400)
        return emit failed(localizedFormat(
            ripText("AccurateRipHttpError", "the AccurateRip database answered %d"), {status}));
    if (done->error() != QNetworkReply::NoError)
        return emit failed(localizedFormat(
            ripText("AccurateRipUnreachable", "the AccurateRip database cannot be reached (%@)"),
            {done->errorString()}));
    QString problem;
    const QList<AccurateRipDisc::Pressing> pressings = disc.parse(done->readAll(), &problem);
    if (pressings.isEmpty())
        return emit failed(problem);
    emit found(pressings);
}
