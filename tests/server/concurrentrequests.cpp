#include "concurrentrequests.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <vector>

QByteArray ConcurrentRequests::post(
    const QByteArray &path, const QByteArray &body, const QByteArray &token)
{
    QByteArray request = "POST " + path
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
          "Content-Type: application/json;charset=UTF-8\r\nConnection: close\r\n";
    if (!token.isEmpty())
        request += "loginToken: " + token + "\r\n";
    request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return request;
}

QList<QByteArray> ConcurrentRequests::send(
    quint16 port, const QList<QByteArray> &requests, int timeoutMs)
{
    QList<QByteArray> replies;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    QEventLoop loop;
    int open = requests.size();
    for (int i = 0; i < requests.size(); ++i) {
        replies.append(QByteArray());
        sockets.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket *socket = sockets.back().get();
        const QByteArray request = requests[i];
        QObject::connect(
            socket, &QTcpSocket::connected, socket, [socket, request] { socket->write(request); });
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
            [socket, &replies, i] { replies[i] += socket->readAll(); });
        // Every request asks for "Connection: close": the reply is complete when it closes.
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [&open, &loop] {
            if (--open == 0)
                loop.quit();
        });
        socket->connectToHost(QHostAddress::LocalHost, port);
    }
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (open > 0)
        loop.exec();
    for (int i = 0; i < requests.size(); ++i) {
        if (sockets[size_t(i)]->state() != QAbstractSocket::UnconnectedState)
            replies[i].clear();
        sockets[size_t(i)]->disconnect();
        sockets[size_t(i)]->abort();
    }
    return replies;
}

QByteArray ConcurrentRequests::bodyOf(const QByteArray &reply)
{
    const int end = reply.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : reply.mid(end + 4);
}
