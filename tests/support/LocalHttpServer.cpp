#include "support/LocalHttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>

LocalHttpServer::LocalHttpServer() : server(new QTcpServer(this))
{
    server->listen(QHostAddress::LocalHost);
    clock.start();
    connect(server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server->nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

LocalHttpServer::~LocalHttpServer() = default;

QString LocalHttpServer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(server->serverPort());
}

void LocalHttpServer::answer(const QString &path, const QList<Answer> &list)
{
    answers.insert(path, list);
    served.remove(path);
}

void LocalHttpServer::release()
{
    for (const auto &[socket, answer] : std::as_const(heldBack))
        if (socket)
            send(socket, answer);
    heldBack.clear();
}

void LocalHttpServer::readRequest(QTcpSocket *socket)
{
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
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

void LocalHttpServer::send(QTcpSocket *socket, const Answer &answer)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Answer\r\nConnection: close\r\n";
    if (!answer.noLength)
        head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    for (const auto &[name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    socket->write(head + "\r\n");
    socket->write(answer.body);
    socket->disconnectFromHost();
}
