#include "serverclient.h"

#include <QEventLoop>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

ServerClient::ServerClient(const QString &baseUrl)
    : m_baseUrl(baseUrl) {}

ServerClient::Reply ServerClient::wait(QNetworkReply *reply) {
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Reply result;
    result.networkError = int(reply->error());
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    result.body = reply->readAll();
    const QJsonDocument document = QJsonDocument::fromJson(result.body);
    if (document.isObject())
        result.json = document.object();
    reply->deleteLater();
    return result;
}

ServerClient::Reply ServerClient::postRaw(const QString &path, const QByteArray &body,
                                          bool withToken) {
    QNetworkRequest request(QUrl(m_baseUrl + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/json;charset=UTF-8"));
    if (withToken)
        request.setRawHeader("loginToken", m_token);
    return wait(m_manager.post(request, body));
}

ServerClient::Reply ServerClient::post(const QString &path, const QJsonObject &body) {
    return postRaw(path, QJsonDocument(body).toJson());
}

ServerClient::Reply ServerClient::get(const QString &pathAndQuery) {
    return wait(m_manager.get(QNetworkRequest(QUrl(m_baseUrl + pathAndQuery))));
}

ServerClient::Reply ServerClient::upload(const QByteArray &bytes, const QByteArray &usageType) {
    auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart usage;
    usage.setHeader(QNetworkRequest::ContentDispositionHeader,
                    QByteArrayLiteral("form-data; name=\"fileUsageType\""));
    usage.setBody(usageType);
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("image/png"));
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QByteArrayLiteral("form-data; name=\"file\"; filename=\"icon.png\""));
    file.setBody(bytes);
    multi->append(usage);
    multi->append(file);
    QNetworkRequest request(QUrl(m_baseUrl + QStringLiteral("/api/upload/file")));
    if (!m_token.isEmpty())
        request.setRawHeader("loginToken", m_token);
    QNetworkReply *reply = m_manager.post(request, multi);
    multi->setParent(reply);
    return wait(reply);
}

ServerClient::Reply ServerClient::login(const QString &phone, const QString &password) {
    QJsonObject body{{QStringLiteral("phoneNumber"), phone},
                     {QStringLiteral("password"), password}};
    const Reply reply = postRaw(QStringLiteral("/user/login"), QJsonDocument(body).toJson(), false);
    if (reply.status() == 0)
        m_token = reply.dataObject().value(QStringLiteral("loginToken")).toString().toUtf8();
    return reply;
}

QList<QPair<int, QJsonObject>> ServerClient::typeDetails() {
    QList<QPair<int, QJsonObject>> details;
    const QJsonArray types = post(QStringLiteral("/library/fetch/exerciseTypes"), {}).dataArray();
    for (const QJsonValue &v : types) {
        const int id = v.toObject()[QStringLiteral("id")].toInt();
        details.append({id, post(QStringLiteral("/api/exercise_and_question/type/detail"),
                                 {{QStringLiteral("exerciseTypeId"), id},
                                  {QStringLiteral("provinceId"), 1}})
                                .dataObject()});
    }
    return details;
}
