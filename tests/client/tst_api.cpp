#include "app/api.h"
#include "app/usersession.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

// Drives a request through the standard reply check the way a reply slot does.
class ReplySink : public QObject
{
    Q_OBJECT
public:
    explicit ReplySink(Api::CheckOptions options = Api::NoCheckOption)
        : m_options(options)
    {
        connect(&manager, &QNetworkAccessManager::finished, this, &ReplySink::replyFinished);
    }
    QNetworkAccessManager manager;
    int replies = 0;
    bool proceeded = false;
    QJsonObject envelope;

private slots:
    void replyFinished(QNetworkReply *reply)
    {
        proceeded = Api::checkReply(reply, nullptr, &envelope, m_options);
        ++replies;
    }

private:
    Api::CheckOptions m_options;
};

class tst_Api : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void requestHeadersAndSortedIndentedBody();
    void loginAndVersionGoWithoutToken();
    void replyCheck_data();
    void replyCheck();
    void noDataStatusOnlyWhereAccepted();
    void loginMessages_data();
    void loginMessages();
    void networkErrorText_data();
    void networkErrorText();
    void refusedConnectionShowsNetworkError();

private:
    ScriptedHttpResponder m_responder;
};

void tst_Api::initTestCase()
{
    QVERIFY(m_responder.listen());
}

void tst_Api::init()
{
    m_responder.clear();
    UserSession::instance().loginToken = QStringLiteral("token-ü-1");
}

void tst_Api::requestHeadersAndSortedIndentedBody()
{
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/groups"), 0, QJsonArray());
    ReplySink sink;
    QVariantMap body;
    body.insert(QStringLiteral("userId"), 7);
    body.insert(QStringLiteral("groupName"), QStringLiteral("默认分组"));
    body.insert(QStringLiteral("difficuty"), -1);
    Api::postJson(
        &sink.manager, m_responder.baseUrl(), QStringLiteral("/library/fetch/groups"), body);
    QTRY_COMPARE(sink.replies, 1);
    QVERIFY(sink.proceeded);

    const auto request = m_responder.requestsTo(QStringLiteral("/library/fetch/groups")).value(0);
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.header("content-type"), QByteArray("application/json;charset=UTF-8"));
    QCOMPARE(request.header("loginToken"), QStringLiteral("token-ü-1").toUtf8());
    QCOMPARE(request.body,
        QStringLiteral("{\n    \"difficuty\": -1,\n    \"groupName\": "
                       "\"默认分组\",\n    \"userId\": 7\n}\n")
            .toUtf8());
}

void tst_Api::loginAndVersionGoWithoutToken()
{
    m_responder.respondEnvelope(QStringLiteral("/user/login"), 0, QJsonObject());
    ReplySink sink;
    Api::postJson(&sink.manager, m_responder.baseUrl(), QStringLiteral("/user/login"),
        {{QStringLiteral("phoneNumber"), QStringLiteral("1")}}, Api::WithoutToken);
    QTRY_COMPARE(sink.replies, 1);
    const auto request = m_responder.requestsTo(QStringLiteral("/user/login")).value(0);
    QVERIFY(!request.headers.contains("logintoken"));
}

void tst_Api::replyCheck_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("proceeds");
    QTest::addColumn<QString>("shown"); // empty: no dialog
    QTest::newRow("success") << QByteArray(R"({"status":0,"data":{}})") << true << "";
    QTest::newRow("no status is success") << QByteArray(R"({"data":[]})") << true << "";
    QTest::newRow("-1 shows the apology") << QByteArray(R"({"status":-1,"msg":"x"})") << false
                                          << "抱歉，Lumo录题开了个小差，请尝试刷新页面或者重新登录";
    QTest::newRow("other status shows msg")
        << QByteArray(R"({"status":5,"msg":"x"})") << false << "x";
    QTest::newRow("not JSON shows nothing") << QByteArray("<html>oops</html>") << false << "";
    QTest::newRow("empty body shows nothing") << QByteArray() << false << "";
}

void tst_Api::replyCheck()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, proceeds);
    QFETCH(QString, shown);

    m_responder.respondRaw(QStringLiteral("/x"), body);
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    ReplySink sink;
    Api::postJson(&sink.manager, m_responder.baseUrl(), QStringLiteral("/x"), {});
    QTRY_COMPARE(sink.replies, 1);
    QCOMPARE(sink.proceeded, proceeds);
    if (shown.isEmpty()) {
        QCOMPARE(answerer.count(), 0);
    } else {
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().className, QStringLiteral("MessageDialog"));
        QCOMPARE(answerer.last().title, QStringLiteral("警告"));
        QCOMPARE(answerer.last().text, shown);
        QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
    }
}

void tst_Api::noDataStatusOnlyWhereAccepted()
{
    m_responder.respondEnvelope(
        QStringLiteral("/x"), Api::NoDataStatus, QJsonValue(), QStringLiteral("暂无数据"));
    ModalDialogAnswerer answerer;
    ReplySink accepting(Api::AcceptNoData);
    Api::postJson(&accepting.manager, m_responder.baseUrl(), QStringLiteral("/x"), {});
    QTRY_COMPARE(accepting.replies, 1);
    QVERIFY(accepting.proceeded);
    QCOMPARE(Api::status(accepting.envelope), Api::NoDataStatus);
    QCOMPARE(answerer.count(), 0);

    ReplySink plain;
    Api::postJson(&plain.manager, m_responder.baseUrl(), QStringLiteral("/x"), {});
    QTRY_COMPARE(plain.replies, 1);
    QVERIFY(!plain.proceeded);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text, QStringLiteral("暂无数据"));
}

void tst_Api::loginMessages_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("shown");
    QTest::newRow("-1 with 发生错误")
        << QStringLiteral(R"({"status":-1,"msg":"发生错误"})").toUtf8()
        << "抱歉，Lumo录题开了个小差，请尝试刷新页面或者重新登录";
    QTest::newRow("-1 with another msg") << QByteArray(R"({"status":-1,"msg":"x"})") << "x";
    QTest::newRow("other status") << QByteArray(R"({"status":3,"msg":"y"})") << "y";
}

void tst_Api::loginMessages()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, shown);
    m_responder.respondRaw(QStringLiteral("/user/login"), body);
    ModalDialogAnswerer answerer;
    ReplySink sink(Api::LoginMessages);
    Api::postJson(
        &sink.manager, m_responder.baseUrl(), QStringLiteral("/user/login"), {}, Api::WithoutToken);
    QTRY_COMPARE(sink.replies, 1);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text, shown);
}

void tst_Api::networkErrorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "服务器拒绝请求（错误代码1）";
    QTest::newRow("3") << 3 << "未找到服务器（错误代码3）";
    QTest::newRow("4") << 4 << "连接超时（错误代码4）";
    QTest::newRow("203") << 203 << "内容未找到（错误代码203）";
    QTest::newRow("204") << 204 << "验证失败（错误代码204）";
    QTest::newRow("299") << 299 << "网络连接失败（错误代码299）";
    QTest::newRow("2") << 2 << "网络连接失败（错误代码2）";
}

void tst_Api::networkErrorText()
{
    QFETCH(int, code);
    QTEST(Api::networkErrorMessage(code), "text");
}

void tst_Api::refusedConnectionShowsNetworkError()
{
    // a port nobody listens on
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QString base = QStringLiteral("http://127.0.0.1:") + QString::number(probe.serverPort());
    probe.close();

    ModalDialogAnswerer answerer;
    ReplySink sink;
    Api::postJson(&sink.manager, base, QStringLiteral("/library/fetch/groups"), {});
    QTRY_COMPARE(sink.replies, 1);
    QVERIFY(!sink.proceeded);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("服务器拒绝请求（错误代码1）"));
}

QTEST_MAIN(tst_Api)
#include "tst_api.moc"
