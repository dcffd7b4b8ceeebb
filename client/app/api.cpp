#include "app/api.h"

#include "app/usersession.h"
#include "widgets/messagedialog.h"

#include <QDebug>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace Api {

const QString apologyText = QStringLiteral("抱歉，Lumo录题开了个小差，请尝试刷新页面或者重新登录");
const QString warningTitle = QStringLiteral("警告");

QUrl url(const QString &base, const QString &path)
{
    return QUrl(base + path, QUrl::TolerantMode);
}

QNetworkRequest jsonRequest(const QString &base, const QString &path, RequestOptions options)
{
    QNetworkRequest request(url(base, path));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json;charset=UTF-8"));
    if (!options.testFlag(WithoutToken))
        request.setRawHeader("loginToken", UserSession::instance().loginToken.toUtf8());
    return request;
}

QByteArray jsonBody(const QVariantMap &body)
{
    return QJsonDocument::fromVariant(body).toJson(QJsonDocument::Indented);
}

QNetworkReply *postJson(QNetworkAccessManager *manager, const QString &base, const QString &path,
    const QVariantMap &body, RequestOptions options)
{
    const QByteArray text = jsonBody(body);
    qDebug().noquote() << text;
    return manager->post(jsonRequest(base, path, options), text);
}

bool parseEnvelope(const QByteArray &body, QJsonObject *envelope)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return false;
    qDebug().noquote() << document.toJson(QJsonDocument::Indented);
    *envelope = document.object();
    return true;
}

int status(const QJsonObject &envelope)
{
    return envelope.toVariantMap().value(QStringLiteral("status")).toInt();
}

bool checkReply(QNetworkReply *reply, QWidget *parent, QJsonObject *envelope, CheckOptions options)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        showNetworkError(parent, reply->error());
        return false;
    }
    if (!parseEnvelope(reply->readAll(), envelope))
        return false;

    const int code = status(*envelope);
    if (code == 0 || (code == NoDataStatus && options.testFlag(AcceptNoData)))
        return true;

    const QString msg = envelope->value(QStringLiteral("msg")).toString();
    const bool apology = options.testFlag(LoginMessages)
        ? code == FailedStatus && msg == QStringLiteral("发生错误")
        : code == FailedStatus;
    showMessage(parent, warningTitle, apology ? apologyText : msg, false);
    return false;
}

QString networkErrorMessage(int errorCode)
{
    QString text;
    switch (errorCode) {
    case QNetworkReply::ConnectionRefusedError:
        text = QStringLiteral("服务器拒绝请求");
        break;
    case QNetworkReply::HostNotFoundError:
        text = QStringLiteral("未找到服务器");
        break;
    case QNetworkReply::TimeoutError:
        text = QStringLiteral("连接超时");
        break;
    case QNetworkReply::ContentNotFoundError:
        text = QStringLiteral("内容未找到");
        break;
    case QNetworkReply::AuthenticationRequiredError:
        text = QStringLiteral("验证失败");
        break;
    default:
        text = QStringLiteral("网络连接失败");
        break;
    }
    return text + QStringLiteral("（错误代码") + QString::number(errorCode) + QStringLiteral("）");
}

} // namespace Api

void showNetworkError(QWidget *parent, int errorCode)
{
    showMessage(parent, Api::warningTitle, Api::networkErrorMessage(errorCode), false);
}
