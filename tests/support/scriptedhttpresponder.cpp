#include "scriptedhttpresponder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>

ScriptedHttpResponder::ScriptedHttpResponder(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedHttpResponder::onNewConnection);
}

ScriptedHttpResponder::~ScriptedHttpResponder()
{
    // the sockets die with the server object, after this object's own members
    const auto sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
    }
}

bool ScriptedHttpResponder::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 ScriptedHttpResponder::port() const
{
    return m_server.serverPort();
}

QString ScriptedHttpResponder::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port());
}

void ScriptedHttpResponder::respond(const QString &path, const Response &response)
{
    m_scripts[path] << response;
}

void ScriptedHttpResponder::respondRaw(
    const QString &path, const QByteArray &body, int httpStatus, const QByteArray &contentType)
{
    Response response;
    response.body = body;
    response.httpStatus = httpStatus;
    response.contentType = contentType;
    respond(path, response);
}

QByteArray ScriptedHttpResponder::envelope(int status, const QJsonValue &data, const QString &msg)
{
    QJsonObject object;
    object.insert(QStringLiteral("status"), status);
    object.insert(QStringLiteral("msg"), msg);
    if (!data.isUndefined())
        object.insert(QStringLiteral("data"), data);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void ScriptedHttpResponder::respondEnvelope(
    const QString &path, int status, const QJsonValue &data, const QString &msg)
{
    respondRaw(path, envelope(status, data, msg));
}

void ScriptedHttpResponder::hang(const QString &path)
{
    Response response;
    response.action = Action::Hang;
    respond(path, response);
}

void ScriptedHttpResponder::closeConnection(const QString &path)
{
    Response response;
    response.action = Action::Close;
    respond(path, response);
}

void ScriptedHttpResponder::reset(const QString &path)
{
    m_scripts.remove(path);
}

void ScriptedHttpResponder::clear()
{
    m_scripts.clear();
    // a request the previous test's client sent just before it died can still be on its way;
    // let it land now and forget it, so that it is not counted as the next test's
    QTest::qWait(25);
    const auto sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_buffers.clear();
    m_hanging.clear();
    m_requests.clear();
}

QList<ScriptedHttpResponder::Request> ScriptedHttpResponder::requestsTo(const QString &path) const
{
    QList<Request> found;
    for (const Request &request : m_requests) {
        if (request.path == path)
            found << request;
    }
    return found;
}

bool ScriptedHttpResponder::waitForRequests(const QString &path, int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(path) >= n; }, timeoutMs);
}

void ScriptedHttpResponder::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            m_hanging.removeAll(socket);
            socket->deleteLater();
        });
    }
}

void ScriptedHttpResponder::onReadyRead(QTcpSocket *socket)
{
    m_buffers[socket] += socket->readAll();
    // answering may close the socket, which forgets its buffer: look it up each round
    while (m_buffers.contains(socket)) {
        QByteArray &buffer = m_buffers[socket];
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        Request request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(
                    lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const int length = request.headers.value("content-length").toInt();
        if (buffer.size() < headerEnd + 4 + length)
            return;
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);

        const QUrl url(QString::fromLatin1(request.target));
        request.path = url.path();
        request.query = QUrlQuery(url);
        m_requests << request;
        emit requestReceived(request);
        answer(socket, request);
    }
}

void ScriptedHttpResponder::answer(QTcpSocket *socket, const Request &request)
{
    Response response;
    auto script = m_scripts.find(request.path);
    if (script == m_scripts.end() || script->isEmpty()) {
        response.httpStatus = 404;
        response.body = "not scripted";
        response.contentType = "text/plain";
    } else {
        response = script->size() > 1 ? script->takeFirst() : script->first();
    }

    if (response.action == Action::Hang) {
        m_hanging << socket;
        return;
    }
    if (response.action == Action::Close) {
        socket->abort();
        return;
    }
    QByteArray text = "HTTP/1.1 " + QByteArray::number(response.httpStatus) + " Scripted\r\n";
    text += "Content-Type: " + response.contentType + "\r\n";
    text += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    text += "Connection: close\r\n\r\n";
    text += response.body;
    QPointer<QTcpSocket> guard(socket);
    auto send = [guard, text] {
        if (!guard)
            return;
        guard->write(text);
        guard->disconnectFromHost();
    };
    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, socket, send);
    else
        send();
}
