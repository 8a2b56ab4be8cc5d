#include "core/AccurateRipLookup.h"

#include "core/WebRequest.h"

#include "platform/LocalizedStrings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
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
    QNetworkRequest request(WebRequest::address(server, disc.entryPath()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    reply = WebRequest::get(*network, request, kMaxAnswer);
    connect(reply, &QNetworkReply::finished, this, &AccurateRipLookup::answered);
}

void AccurateRipLookup::answered()
{
    QNetworkReply *done = reply;
    done->deleteLater();
    const int status = done->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (WebRequest::timedOut(done))
        return emit failed(ripText("AccurateRipSlow", "the AccurateRip database did not answer in time"));
    if (WebRequest::tooLarge(done))
        return emit failed(ripText("LookupTooLarge", "the answer is far too large"));
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
