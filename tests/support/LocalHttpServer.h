#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for the tests of what speaks to online services: it
// answers each path with the answers it was given, one after the other (the last one repeats),
// and keeps every request it received.
class LocalHttpServer : public QObject
{
  public:
    struct Answer
    {
        int status = 200;
        QByteArray body{};
        QList<std::pair<QByteArray, QByteArray>> headers{};
        bool held = false;     // answered only on release(); never, if not released
        bool noLength = false; // no Content-Length: the body ends when the connection closes
    };
    struct Request
    {
        QString target; // path and query
        QByteArray userAgent;
        qint64 at; // ms since the server started
    };

    LocalHttpServer();
    ~LocalHttpServer() override;
    // "http://127.0.0.1:PORT"
    QString address() const;
    void answer(const QString &path, const QList<Answer> &answers);
    QList<Request> requests() const { return received; }
    // Sends the answers held back so far.
    void release();

  private:
    void readRequest(QTcpSocket *socket);
    static void send(QTcpSocket *socket, const Answer &answer);

    QTcpServer *server;
    QElapsedTimer clock;
    QMap<QString, QList<Answer>> answers;
    QMap<QString, int> served;
    QList<Request> received;
    QList<std::pair<QPointer<QTcpSocket>, Answer>> heldBack;
};
