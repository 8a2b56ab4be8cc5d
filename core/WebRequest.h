#pragma once

#include <QtGlobal>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// A GET to an online service, bounded as every request Orvik sends is: it names Orvik, its version
// and its home, as the services ask of a client; an answer that has not come within five seconds,
// or that grows past `maxBytes`, is aborted, and the reply says which once it has finished.
namespace WebRequest {
QNetworkReply *get(QNetworkAccessManager &network, QNetworkRequest request, qint64 maxBytes);
bool timedOut(const QNetworkReply *reply);
bool tooLarge(const QNetworkReply *reply);
} // namespace WebRequest
