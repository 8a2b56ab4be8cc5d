#pragma once

#include <QString>

class QNetworkAccessManager;
class QUrl;
class QNetworkReply;
class QNetworkRequest;

// A GET to an online service, bounded as every request Orvik sends is: it names Orvik, its version
// and its home, as the services ask of a client; an answer that has not come within five seconds,
// or that grows past `maxBytes`, is aborted, and the reply says which once it has finished.
namespace WebRequest {
// The address of `path` ("/ws/2/discid/...") on the service at `server`, as the settings hold it:
// with or without a slash at its end, or below a path of its own.
QUrl address(const QString &server, const QString &path);
QNetworkReply *get(QNetworkAccessManager &network, QNetworkRequest request, qint64 maxBytes);
bool timedOut(const QNetworkReply *reply);
bool tooLarge(const QNetworkReply *reply);
} // namespace WebRequest
