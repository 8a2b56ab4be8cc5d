#pragma once

#include "core/AccurateRipDisc.h"

#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;

// Asks the AccurateRip database for a disc's entry: one request, answered as a signal, never
// blocking the thread it runs on. An answer that has not come within five seconds, or is far
// larger than an entry can be, counts as failed.
class AccurateRipLookup : public QObject
{
    Q_OBJECT

  public:
    // `server` is the database's address ("http://www.accuraterip.com"); the entry's path is
    // appended.
    AccurateRipLookup(const AccurateRipDisc &disc, const QString &server, QObject *parent = nullptr);
    ~AccurateRipLookup() override;

    // Sends the request: one of found, notFound or failed follows.
    void start();

  signals:
    void found(const QList<AccurateRipDisc::Pressing> &pressings);
    void notFound();
    void failed(const QString &reason);

  private:
    void answered();

    AccurateRipDisc disc;
    QString server;
    QNetworkAccessManager *network = nullptr;
    QPointer<QNetworkReply> reply;
};
