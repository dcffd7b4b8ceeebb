#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QNetworkAccessManager>
#include <QString>

// Synchronous requests to a running quenmo-server, for the server suites.
class ServerClient {
public:
    struct Reply {
        int httpStatus = 0;
        int networkError = 0;
        QByteArray body;
        QByteArray contentType;
        QJsonObject json; // the parsed envelope, empty when the body is not a JSON object
        int status() const { return json.value(QStringLiteral("status")).toInt(); }
        QString msg() const { return json.value(QStringLiteral("msg")).toString(); }
        QJsonObject dataObject() const { return json.value(QStringLiteral("data")).toObject(); }
        QJsonArray dataArray() const { return json.value(QStringLiteral("data")).toArray(); }
    };

    explicit ServerClient(const QString &baseUrl);

    QString baseUrl() const { return m_baseUrl; }
    void setToken(const QByteArray &token) { m_token = token; }
    QByteArray token() const { return m_token; }

    Reply post(const QString &path, const QJsonObject &body);
    Reply postRaw(const QString &path, const QByteArray &body, bool withToken = true);
    Reply get(const QString &pathAndQuery);
    Reply upload(const QByteArray &bytes, const QByteArray &usageType = "2");

    // Logs in and keeps the token; returns the login reply.
    Reply login(const QString &phone, const QString &password = QStringLiteral("quenmo123"));

    // The detail (reply data) of every exercise type of the logged-in teacher's subject, by id.
    QList<QPair<int, QJsonObject>> typeDetails();

private:
    Reply wait(class QNetworkReply *reply);

    QString m_baseUrl;
    QByteArray m_token;
    QNetworkAccessManager m_manager;
};
