#include "core/WebRequest.h"

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
constexpr char kTimedOut[] = "orvikTimedOut";
constexpr char kTooLarge[] = "orvikTooLarge";
} // namespace

QUrl WebRequest::address(const QString &server, const QString &path)
{
    QUrl url(server);
    QString base = url.path();
    while (base.endsWith(u'/'))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

QNetworkReply *WebRequest::get(QNetworkAccessManager &network, QNetworkRequest request, qint64 maxBytes)
{
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Orvik/" ORVIK_VERSION " ( https://github.com/orvik/orvik )"));
    QNetworkReply *reply = network.get(request);
    // The timer belongs to the reply, so that it ends with it.
    auto *timeout = new QTimer(reply);
    timeout->setSingleShot(true);
    QObject::connect(timeout, &QTimer::timeout, reply, [reply] {
        reply->setProperty(kTimedOut, true);
        reply->abort();
    });
    timeout->start(kTimeoutMs);
    // A server may announce a size or not: both the announced and the received one are held to the cap.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, maxBytes](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes) {
                             reply->setProperty(kTooLarge, true);
                             reply->abort();
                         }
                     });
    return reply;
}

bool WebRequest::timedOut(const QNetworkReply *reply)
{
    return reply->property(kTimedOut).toBool();
}

bool WebRequest::tooLarge(const QNetworkReply *reply)
{
    return reply->property(kTooLarge).toBool();
}
