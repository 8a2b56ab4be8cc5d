#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A small HTTP/1.1 server on 127.0.0.1 for the tests of what speaks to online services: it answers each path
// with the answers it was given, one after the other (the last one repeats), and keeps every request it
// received.
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
    struct Request // the path and query asked for, by whom, when (ms since the server started)
    {
        QString target;
        QByteArray userAgent;
        qint64 at;
    };

    LocalHttpServer()
    {
        server.listen(QHostAddress::LocalHost);
        clock.start();
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()); }
    void answer(const QString &path, const QList<Answer> &list)
    {
        answers.insert(path, list);
        served.remove(path);
    }
    QList<Request> requests() const { return received; }
    // Sends the answers held back so far.
    void release()
    {
        for (const auto &[socket, answer] : std::exchange(heldBack, {}))
            if (socket)
                send(socket, answer);
    }

  private:
    void readRequest(QTcpSocket *socket)
    {
        if (socket->property("answered").toBool() || !socket->peek(1 << 16).contains("\r\n\r\n"))
            return;
        socket->setProperty("answered", true);
        const QList<QByteArray> lines = socket->readAll().split('\n');
        Request request{QString::fromUtf8(lines.value(0).split(' ').value(1)), {}, clock.elapsed()};
        for (const QByteArray &line : lines)
            if (line.toLower().startsWith("user-agent:"))
                request.userAgent = line.mid(11).trimmed();
        received.append(request);
        const QString path = request.target.section(u'?', 0, 0);
        const QList<Answer> list = answers.value(path, {Answer{404, "{\"error\": \"Not Found\"}"}});
        const Answer answer = list.value(std::min<int>(served[path]++, int(list.size()) - 1));
        if (answer.held)
            heldBack.append({socket, answer});
        else
            send(socket, answer);
    }

    static void send(QTcpSocket *socket, const Answer &answer)
    {
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\nConnection: close\r\n";
        if (!answer.noLength)
            head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        for (const auto &[name, value] : answer.headers)
            head += name + ": " + value + "\r\n";
        socket->write(head + "\r\n" + answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QElapsedTimer clock;
    QMap<QString, QList<Answer>> answers;
    QMap<QString, int> served;
    QList<Request> received;
    QList<std::pair<QPointer<QTcpSocket>, Answer>> heldBack;
};
