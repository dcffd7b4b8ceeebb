#pragma once

#include <QFlags>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QWidget;

// The conventions every conversation with the servers shares: how a JSON request is built and
// how the first steps of each reply slot check the envelope.
namespace Api {

// status values with a meaning of their own
constexpr int FailedStatus = -1;
constexpr int NoDataStatus = 100900000;

enum RequestOption {
    NoRequestOption = 0x0,
    WithoutToken = 0x1, // login and version check go out before a session exists
};
Q_DECLARE_FLAGS(RequestOptions, RequestOption)

enum CheckOption {
    NoCheckOption = 0x0,
    AcceptNoData = 0x1, // the slot handles status 100900000 itself
    LoginMessages = 0x2, // the fixed apology only for -1 with msg "发生错误"
};
Q_DECLARE_FLAGS(CheckOptions, CheckOption)

QUrl url(const QString &base, const QString &path);
QNetworkRequest jsonRequest(
    const QString &base, const QString &path, RequestOptions options = NoRequestOption);
// The indented UTF-8 text of body; members come out in ascending order of their names.
QByteArray jsonBody(const QVariantMap &body);

// Posts body to base + path through manager, the one reserved for this kind of request.
QNetworkReply *postJson(QNetworkAccessManager *manager, const QString &base, const QString &path,
    const QVariantMap &body, RequestOptions options = NoRequestOption);

// The standard reply check. Releases the reply in every case (deferred, so the caller may keep
// reading it until its slot returns). Returns true when the slot goes on with the envelope:
// status 0, or 100900000 with AcceptNoData. Failures have been shown to the user on parent.
bool checkReply(QNetworkReply *reply, QWidget *parent, QJsonObject *envelope,
    CheckOptions options = NoCheckOption);

// Parses a reply body as a JSON object; false when it is not JSON.
bool parseEnvelope(const QByteArray &body, QJsonObject *envelope);
// The status member as an integer; missing or non-numeric reads as 0.
int status(const QJsonObject &envelope);

// "网络连接失败（错误代码299）" and its siblings.
QString networkErrorMessage(int errorCode);

extern const QString apologyText;
extern const QString warningTitle;

} // namespace Api

Q_DECLARE_OPERATORS_FOR_FLAGS(Api::RequestOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(Api::CheckOptions)

// Shows the network error message under "警告" with only the OK button and waits for it.
void showNetworkError(QWidget *parent, int errorCode);
