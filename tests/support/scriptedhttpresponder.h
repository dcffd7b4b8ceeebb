#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrlQuery>

class QTcpSocket;

// An HTTP/1.1 server on a free loopback port that answers each path with canned replies and
// records every request, for the failure cases a real server will not produce on demand.
class ScriptedHttpResponder : public QObject
{
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QString path;
        QUrlQuery query;
        QByteArray target; // path and query as sent
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };

    enum class Action { Reply, Hang, Close };
    struct Response {
        Action action = Action::Reply;
        int httpStatus = 200;
        QByteArray contentType = "application/json;charset=UTF-8";
        QByteArray body;
        int delayMs = 0;
    };

    explicit ScriptedHttpResponder(QObject *parent = nullptr);
    ~ScriptedHttpResponder() override;

    bool listen();
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT", no trailing slash

    // Each path answers with its queued responses in turn; the last one repeats.
    void respond(const QString &path, const Response &response);
    void respondRaw(const QString &path, const QByteArray &body, int httpStatus = 200,
        const QByteArray &contentType = "application/json;charset=UTF-8");
    void respondEnvelope(const QString &path, int status, const QJsonValue &data = QJsonValue(),
        const QString &msg = QString());
    void hang(const QString &path);
    void closeConnection(const QString &path);
    void reset(const QString &path); // forget what path answers
    void clear(); // forget every script and every request

    const QList<Request> &requests() const { return m_requests; }
    QList<Request> requestsTo(const QString &path) const;
    int count(const QString &path) const { return requestsTo(path).size(); }
    bool waitForRequests(const QString &path, int n, int timeoutMs = 10000) const;

    static QByteArray envelope(int status, const QJsonValue &data, const QString &msg);

signals:
    void requestReceived(const ScriptedHttpResponder::Request &request);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer m_server;
    QHash<QString, QList<Response>> m_scripts;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    QList<QTcpSocket *> m_hanging;
};
