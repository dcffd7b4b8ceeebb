#include "localserver.h"
#include "serverclient.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

// Login, version check, tokens, groups, ownership and the catalogues.
class TestServerBank : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void loginAnswersEveryUserMember_data();
    void loginAnswersEveryUserMember();
    void loginIssuesAFreshTokenEachTime();
    void loginRefusesWrongCredentials_data();
    void loginRefusesWrongCredentials();
    void loginNeedsBothTexts_data();
    void loginNeedsBothTexts();
    void overlongLoginTextsAreRefusedUnread_data();
    void overlongLoginTextsAreRefusedUnread();
    void versionCheckAnswersTheClientVersion();
    void versionCheckFollowsTheFlags();
    void pathsRequireAValidToken_data();
    void pathsRequireAValidToken();
    void badBodiesGetAClearFailure_data();
    void badBodiesGetAClearFailure();
    void unknownPathIsNotFound();
    void routesNameTheMemberTheyRefuse_data();
    void routesNameTheMemberTheyRefuse();
    void groupsLifecycle();
    void groupNamesAreChecked_data();
    void groupNamesAreChecked();
    void teachersCannotTouchEachOthersGroups();
    void userIdInTheBodyMustBeTheCaller_data();
    void userIdInTheBodyMustBeTheCaller();
    void exerciseTypesCoverEveryComposerPath_data();
    void exerciseTypesCoverEveryComposerPath();
    void typeDetailAnswersEveryMember();
    void typeDetailDescribesEachSubQuestion_data();
    void typeDetailDescribesEachSubQuestion();
    void knowledgeTreeHasThreeLevels();
    void resetPasswordPageExplainsTheCommand();
    void setPasswordCommandChangesLoginAndEndsSessions();

private:
    ServerClient::Reply as(const QString &phone, const QString &path, const QJsonObject &body);
    int userIdOf(const QString &phone);

    LocalServer m_server;
    std::unique_ptr<ServerClient> m_client;
    std::unique_ptr<ServerClient> m_math; // logged in once for the refusal rows
};

void TestServerBank::initTestCase() {
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_client = std::make_unique<ServerClient>(m_server.baseUrl());
}

ServerClient::Reply TestServerBank::as(const QString &phone, const QString &path,
                                       const QJsonObject &body) {
    ServerClient client(m_server.baseUrl());
    client.login(phone);
    return client.post(path, body);
}

int TestServerBank::userIdOf(const QString &phone) {
    ServerClient client(m_server.baseUrl());
    return client.login(phone)
        .dataObject()[QStringLiteral("user")]
        .toObject()[QStringLiteral("userId")]
        .toInt();
}

void TestServerBank::loginAnswersEveryUserMember_data() {
    QTest::addColumn<QString>("phone");
    QTest::addColumn<int>("subject");
    QTest::addColumn<QString>("realName");
    QTest::addColumn<QString>("username");
    QTest::newRow("chinese") << QStringLiteral("13800000001") << 1 << QStringLiteral("王语文")
                             << QStringLiteral("chinese");
    QTest::newRow("math") << QStringLiteral("13800000002") << 2 << QStringLiteral("李数学")
                          << QStringLiteral("math");
    QTest::newRow("english") << QStringLiteral("13800000003") << 3 << QStringLiteral("张英语")
                             << QStringLiteral("english");
    QTest::newRow("closed subject") << QStringLiteral("13800000004") << 4
                                    << QStringLiteral("赵物理") << QStringLiteral("physics");
}

void TestServerBank::loginAnswersEveryUserMember() {
    QFETCH(QString, phone);
    QFETCH(int, subject);
    QFETCH(QString, realName);
    QFETCH(QString, username);
    ServerClient client(m_server.baseUrl());
    const ServerClient::Reply reply = client.login(phone);
    QCOMPARE(reply.httpStatus, 200);
    QCOMPARE(reply.status(), 0);
    const QJsonObject data = reply.dataObject();
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                .match(data[QStringLiteral("loginToken")].toString())
                .hasMatch());
    const QJsonObject user = data[QStringLiteral("user")].toObject();
    QVERIFY(user[QStringLiteral("userId")].toInt() > 0);
    QCOMPARE(user[QStringLiteral("phoneNumber")].toString(), phone);
    // The demo teachers are all plain teachers of province 1.
    QCOMPARE(user[QStringLiteral("roleid")].toInt(), 2);
    QCOMPARE(user[QStringLiteral("rolename")].toString(), QStringLiteral("教师"));
    QCOMPARE(user[QStringLiteral("username")].toString(), username);
    QCOMPARE(user[QStringLiteral("subjectCode")].toInt(), subject);
    QCOMPARE(user[QStringLiteral("realName")].toString(), realName);
    QCOMPARE(user[QStringLiteral("provinceId")].toInt(), 1);
}

void TestServerBank::loginIssuesAFreshTokenEachTime() {
    ServerClient first(m_server.baseUrl());
    ServerClient second(m_server.baseUrl());
    first.login(QStringLiteral("13800000002"));
    second.login(QStringLiteral("13800000002"));
    QVERIFY(!first.token().isEmpty());
    QVERIFY(first.token() != second.token());
    const QJsonObject body{{QStringLiteral("userId"), userIdOf(QStringLiteral("13800000002"))}};
    QCOMPARE(first.post(QStringLiteral("/library/fetch/exerciseTypes"), body).status(), 0);
    QCOMPARE(second.post(QStringLiteral("/library/fetch/exerciseTypes"), body).status(), 0);
}

void TestServerBank::loginRefusesWrongCredentials_data() {
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("msg");
    const QString wrong = QStringLiteral("用户名或密码错误");
    QTest::newRow("wrong password")
        << QStringLiteral("13800000002") << QStringLiteral("nope") << wrong;
    QTest::newRow("unknown phone")
        << QStringLiteral("13900000000") << QStringLiteral("quenmo123") << wrong;
    QTest::newRow("password of another teacher's case")
        << QStringLiteral("13800000002") << QStringLiteral("QUENMO123") << wrong;
    QTest::newRow("empty fields") << QString() << QString() << QStringLiteral("请输入手机号和密码");
    QTest::newRow("empty password")
        << QStringLiteral("13800000002") << QString() << QStringLiteral("请输入手机号和密码");
    QTest::newRow("empty phone")
        << QString() << QStringLiteral("quenmo123") << QStringLiteral("请输入手机号和密码");
}

void TestServerBank::loginRefusesWrongCredentials() {
    QFETCH(QString, phone);
    QFETCH(QString, password);
    QFETCH(QString, msg);
    ServerClient client(m_server.baseUrl());
    const ServerClient::Reply reply = client.login(phone, password);
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(reply.status() != 0);
    QVERIFY(reply.status() != -1);
    QCOMPARE(reply.msg(), msg);
    QVERIFY(client.token().isEmpty());
}

void TestServerBank::loginNeedsBothTexts_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("no password") << QByteArray(R"({"phoneNumber":"13800000003"})");
    QTest::newRow("no phone") << QByteArray(R"({"password":"quenmo123"})");
    QTest::newRow("phone a number")
        << QByteArray(R"({"phoneNumber":13800000003,"password":"quenmo123"})");
    QTest::newRow("password a number")
        << QByteArray(R"({"phoneNumber":"13800000003","password":123})");
}

void TestServerBank::loginNeedsBothTexts() {
    QFETCH(QByteArray, body);
    const ServerClient::Reply reply = m_client->postRaw(QStringLiteral("/user/login"), body, false);
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
    QVERIFY(!reply.msg().isEmpty());
    QVERIFY(!reply.dataObject().contains(QStringLiteral("loginToken")));
    // The server is still there.
    ServerClient client(m_server.baseUrl());
    QCOMPARE(client.login(QStringLiteral("13800000003")).status(), 0);
}

void TestServerBank::overlongLoginTextsAreRefusedUnread_data() {
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("counted");
    // Phone numbers up to 64 bytes and passwords up to 256 are checked, so their failures
    // count towards the wait; longer ones are refused before and never make a number wait.
    QTest::newRow("phone of 64 bytes")
        << QString(64, QLatin1Char('7')) << QStringLiteral("quenmo123") << true;
    QTest::newRow("phone of 65 bytes")
        << QString(65, QLatin1Char('8')) << QStringLiteral("quenmo123") << false;
    QTest::newRow("password of 256 bytes")
        << QStringLiteral("13900000256") << QString(256, QLatin1Char('p')) << true;
    QTest::newRow("password of 257 bytes")
        << QStringLiteral("13900000257") << QString(257, QLatin1Char('p')) << false;
}

void TestServerBank::overlongLoginTextsAreRefusedUnread() {
    QFETCH(QString, phone);
    QFETCH(QString, password);
    QFETCH(bool, counted);
    ServerClient client(m_server.baseUrl());
    // Five failures are free; the waits after the sixth and seventh (2 s, 4 s) are long enough
    // for the next try to meet them even on a slow machine.
    int waits = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ServerClient::Reply reply = client.login(phone, password);
        QVERIFY(reply.status() != 0);
        if (reply.msg().startsWith(QStringLiteral("登录失败次数过多")))
            ++waits;
        else
            QCOMPARE(reply.msg(), QStringLiteral("用户名或密码错误"));
    }
    QCOMPARE(waits > 0, counted);
}

void TestServerBank::versionCheckAnswersTheClientVersion() {
    const ServerClient::Reply reply = m_client->postRaw(QStringLiteral("/library/version/check"),
                                                        R"({"version":"1.1.2"})", false);
    QCOMPARE(reply.status(), 0);
    const QJsonObject data = reply.dataObject();
    QCOMPARE(data[QStringLiteral("version")].toString(), QStringLiteral("1.1.2"));
    QVERIFY(data[QStringLiteral("updatetrategy")].isDouble());
    QVERIFY(data[QStringLiteral("appURL")].isString());
}

void TestServerBank::versionCheckFollowsTheFlags() {
    LocalServer other;
    QVERIFY2(other.start({QStringLiteral("--client-version"), QStringLiteral("1.2.0"),
                          QStringLiteral("--update-strategy"), QStringLiteral("2"),
                          QStringLiteral("--app-url"), QStringLiteral("http://127.0.0.1/q.zip")}),
             qPrintable(other.errorString()));
    ServerClient client(other.baseUrl());
    const ServerClient::Reply reply =
        client.postRaw(QStringLiteral("/library/version/check"), R"({"version":"1.1.2"})", false);
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataObject()[QStringLiteral("version")].toString(), QStringLiteral("1.2.0"));
    QCOMPARE(reply.dataObject()[QStringLiteral("updatetrategy")].toInt(), 2);
    QCOMPARE(reply.dataObject()[QStringLiteral("appURL")].toString(),
             QStringLiteral("http://127.0.0.1/q.zip"));
}

void TestServerBank::pathsRequireAValidToken_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("token");
    const char *paths[] = {"/library/statistics/count",
                           "/library/fetch/groups",
                           "/library/add/group",
                           "/library/modify/group",
                           "/library/remove/group",
                           "/library/fetch/type",
                           "/library/fetch/exercise",
                           "/library/move/exercise",
                           "/library/batch/move/exercise",
                           "/library/remove/exercise",
                           "/library/batch/remove/exercise",
                           "/library/fetch/exerciseTypes",
                           "/api/exercise_and_question/type/detail",
                           "/library/fetch/exerciseKnowledge",
                           "/library/fetch/exercise/id",
                           "/library/add/exercise",
                           "/library/modify/exercise",
                           "/library/transfer/xml"};
    for (const char *path : paths) {
        QTest::addRow("%s without token", path) << QString::fromLatin1(path) << QByteArray();
        QTest::addRow("%s with a made-up token", path)
            << QString::fromLatin1(path) << QByteArray(64, 'a');
    }
}

void TestServerBank::pathsRequireAValidToken() {
    QFETCH(QString, path);
    QFETCH(QByteArray, token);
    ServerClient client(m_server.baseUrl());
    client.setToken(token);
    const ServerClient::Reply reply =
        client.post(path, {{QStringLiteral("groupName"), QStringLiteral("x")}});
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(reply.status() != 0);
    QVERIFY(reply.status() != -1);
    QCOMPARE(reply.msg(), QStringLiteral("登录已失效，请重新登录"));
}

void TestServerBank::badBodiesGetAClearFailure_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("msg");
    const QString notJson = QStringLiteral("请求体不是有效的JSON");
    const QString notObject = QStringLiteral("请求体必须是JSON对象");
    QTest::newRow("not json") << QByteArray("{groupName: x") << notJson;
    QTest::newRow("an array") << QByteArray("[1,2]") << notObject;
    QTest::newRow("a string") << QByteArray("\"x\"") << notObject;
    QTest::newRow("too large") << QByteArray(
        QByteArray("{\"groupName\":\"") + QByteArray(3 << 20, 'x') + "\"}")
                               << QStringLiteral("请求体过大");
    QTest::newRow("deeply nested")
        << QByteArray(QByteArray(100000, '[') + QByteArray(100000, ']')) << notObject;
    QTest::newRow("groupName a number")
        << QByteArray(R"({"groupName":5})") << QStringLiteral("groupName 必须是字符串");
}

void TestServerBank::badBodiesGetAClearFailure() {
    QFETCH(QByteArray, body);
    QFETCH(QString, msg);
    ServerClient client(m_server.baseUrl());
    client.login(QStringLiteral("13800000001"));
    const ServerClient::Reply reply = client.postRaw(QStringLiteral("/library/add/group"), body);
    QCOMPARE(reply.httpStatus, 200);
    // -1 would hide the reason behind the client's fixed apology.
    QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
    QCOMPARE(reply.msg(), msg);
    // The server is still there.
    QCOMPARE(client.post(QStringLiteral("/library/fetch/exerciseTypes"), {}).status(), 0);
}

void TestServerBank::routesNameTheMemberTheyRefuse_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("msg");
    const auto row
        = [](const char *name, const char *path, const QByteArray &body, const char *msg) {
              QTest::newRow(name) << QString::fromLatin1(path) << body << QString::fromUtf8(msg);
          };
    row("userId not a number", "/library/fetch/groups", R"({"userId":"x"})", "userId 必须是整数");
    row("userId a fraction", "/library/add/group", R"({"userId":1.5,"groupName":"甲"})",
        "userId 必须是整数");
    row("add group without a name", "/library/add/group", "{}", "缺少成员 groupName");
    row("rename without a group", "/library/modify/group", R"({"groupName":"甲"})",
        "缺少成员 groupId");
    row("rename with a text id", "/library/modify/group", R"({"groupId":"7","groupName":"甲"})",
        "groupId 必须是整数");
    row("rename to nothing", "/library/modify/group", R"({"groupId":1,"groupName":" "})",
        "分组名称不能为空");
    row("name past 1024 bytes", "/library/modify/group",
        "{\"groupId\":1,\"groupName\":\"甲" + QByteArray(1022, ' ') + "\"}", "groupName 过长");
    row("remove without a group", "/library/remove/group", "{}", "缺少成员 groupId");
    row("types of no group", "/library/fetch/type", "{}", "缺少成员 groupId");
    row("type detail without a type", "/api/exercise_and_question/type/detail",
        R"({"provinceId":1})", "缺少成员 exerciseTypeId");
    row("type detail with a text province", "/api/exercise_and_question/type/detail",
        R"({"exerciseTypeId":1,"provinceId":"1"})", "provinceId 必须是整数");
    row("type detail of no type", "/api/exercise_and_question/type/detail",
        R"({"exerciseTypeId":99999})", "题型不存在");
    row("statistics of a date in another shape", "/library/statistics/count",
        R"({"createDate":"2026/01/01"})", "createDate 必须是 yyyy-MM-dd 格式的日期");
    row("statistics of a date with letters", "/library/statistics/count",
        R"({"createDate":"2026-ab-cd"})", "createDate 必须是 yyyy-MM-dd 格式的日期");
    row("statistics of a date as a number", "/library/statistics/count",
        R"({"createDate":20260101})", "createDate 必须是字符串");
    row("conversion without texts", "/library/transfer/xml", "{}", "缺少成员 xmls");
    row("conversion of one text", "/library/transfer/xml", R"({"xmls":"<doc/>"})",
        "xmls 必须是数组");
}

// Each refusal names what was wrong, and nothing of the caller's bank changes.
void TestServerBank::routesNameTheMemberTheyRefuse()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, msg);
    if (!m_math) {
        m_math = std::make_unique<ServerClient>(m_server.baseUrl());
        QCOMPARE(m_math->login(QStringLiteral("13800000002")).status(), 0);
    }
    ServerClient &client = *m_math;
    const QByteArray before = client.post(QStringLiteral("/library/fetch/groups"), {}).body;
    const ServerClient::Reply reply = client.postRaw(path, body);
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
    QCOMPARE(reply.msg(), msg);
    QCOMPARE(client.post(QStringLiteral("/library/fetch/groups"), {}).body, before);
}

void TestServerBank::unknownPathIsNotFound() {
    const ServerClient::Reply reply = m_client->post(QStringLiteral("/library/nothing"), {});
    QCOMPARE(reply.httpStatus, 404);
}

void TestServerBank::groupsLifecycle() {
    // The English teacher's bank is left untouched by the other tests until here.
    ServerClient client(m_server.baseUrl());
    const int userId = client.login(QStringLiteral("13800000003"))
                           .dataObject()[QStringLiteral("user")]
                           .toObject()[QStringLiteral("userId")]
                           .toInt();
    const QJsonObject who{{QStringLiteral("userId"), userId}};
    ServerClient::Reply reply = client.post(QStringLiteral("/library/fetch/groups"), who);
    QCOMPARE(reply.status(), 100900000);

    QJsonObject add = who;
    add[QStringLiteral("groupName")] = QStringLiteral("我的题库");
    reply = client.post(QStringLiteral("/library/add/group"), add);
    QCOMPARE(reply.status(), 0);
    const int groupId = reply.dataObject()[QStringLiteral("groupId")].toInt();
    add[QStringLiteral("groupName")] = QStringLiteral("第二组");
    QCOMPARE(client.post(QStringLiteral("/library/add/group"), add).status(), 0);
    // The same name again, blanks around it or not, is a group that exists.
    for (const QString &again : {QStringLiteral("第二组"), QStringLiteral(" 第二组\t")}) {
        add[QStringLiteral("groupName")] = again;
        reply = client.post(QStringLiteral("/library/add/group"), add);
        QVERIFY(reply.status() != 0);
        QCOMPARE(reply.msg(), QStringLiteral("第二组的组已存在。"));
    }

    reply = client.post(QStringLiteral("/library/fetch/groups"), who);
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataArray().size(), 2);
    const QJsonObject first = reply.dataArray().at(0).toObject();
    QCOMPARE(first[QStringLiteral("groupId")].toInt(), groupId);
    QCOMPARE(first[QStringLiteral("groupName")].toString(), QStringLiteral("我的题库"));
    QCOMPARE(first[QStringLiteral("count")].toInt(), 0);

    QJsonObject modify = who;
    modify[QStringLiteral("groupId")] = groupId;
    modify[QStringLiteral("groupName")] = QStringLiteral("第二组");
    reply = client.post(QStringLiteral("/library/modify/group"), modify);
    QVERIFY(reply.status() != 0);
    QCOMPARE(reply.msg(), QStringLiteral("第二组的组已存在。"));
    modify[QStringLiteral("groupName")] = QStringLiteral("阅读");
    QCOMPARE(client.post(QStringLiteral("/library/modify/group"), modify).status(), 0);
    reply = client.post(QStringLiteral("/library/fetch/groups"), who);
    QCOMPARE(reply.dataArray().size(), 2);
    QCOMPARE(reply.dataArray().at(0).toObject()[QStringLiteral("groupId")].toInt(), groupId);
    QCOMPARE(reply.dataArray().at(0).toObject()[QStringLiteral("groupName")].toString(),
             QStringLiteral("阅读"));

    QJsonObject remove = who;
    remove[QStringLiteral("groupId")] = groupId;
    QCOMPARE(client.post(QStringLiteral("/library/remove/group"), remove).status(), 0);
    reply = client.post(QStringLiteral("/library/fetch/groups"), who);
    QCOMPARE(reply.dataArray().size(), 1);
    QCOMPARE(reply.dataArray().at(0).toObject()[QStringLiteral("groupName")].toString(),
             QStringLiteral("第二组"));
    QVERIFY(client.post(QStringLiteral("/library/remove/group"), remove).status() != 0);
}

void TestServerBank::groupNamesAreChecked_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("msg"); // empty: the group is added
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << QString() << QStringLiteral("分组名称不能为空") << QString();
    QTest::newRow("blanks only")
        << QStringLiteral("   ") << QStringLiteral("分组名称不能为空") << QString();
    QTest::newRow("31 characters")
        << QString(31, QChar(0x9898)) << QStringLiteral("名称不能大于30个字") << QString();
    QTest::newRow("30 characters")
        << QString(30, QChar(0x9898)) << QString() << QString(30, QChar(0x9898));
    QTest::newRow("blanks around")
        << QStringLiteral("  古诗 \t") << QString() << QStringLiteral("古诗");
    QTest::newRow("1024 bytes with the blanks")
        << QString(QStringLiteral("长") + QString(1021, QLatin1Char(' '))) << QString()
        << QStringLiteral("长");
}

void TestServerBank::groupNamesAreChecked() {
    QFETCH(QString, name);
    QFETCH(QString, msg);
    QFETCH(QString, stored);
    ServerClient client(m_server.baseUrl());
    client.login(QStringLiteral("13800000001"));
    const ServerClient::Reply reply =
        client.post(QStringLiteral("/library/add/group"), {{QStringLiteral("groupName"), name}});
    QStringList names;
    for (const QJsonValue &g : client.post(QStringLiteral("/library/fetch/groups"), {}).dataArray())
        names << g.toObject()[QStringLiteral("groupName")].toString();
    if (!msg.isEmpty()) {
        QVERIFY(reply.status() != 0);
        QCOMPARE(reply.msg(), msg);
        QVERIFY(!names.contains(name.trimmed()));
        return;
    }
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataObject()[QStringLiteral("groupName")].toString(), stored);
    QVERIFY2(names.contains(stored), qPrintable(names.join(QLatin1Char(','))));
}

void TestServerBank::teachersCannotTouchEachOthersGroups() {
    ServerClient owner(m_server.baseUrl());
    owner.login(QStringLiteral("13800000002"));
    const int groupId = owner
                            .post(QStringLiteral("/library/add/group"),
                                  {{QStringLiteral("groupName"), QStringLiteral("李老师的组")}})
                            .dataObject()[QStringLiteral("groupId")]
                            .toInt();
    QVERIFY(groupId > 0);

    ServerClient other(m_server.baseUrl());
    other.login(QStringLiteral("13800000001"));
    const QJsonObject target{{QStringLiteral("groupId"), groupId},
                             {QStringLiteral("groupName"), QStringLiteral("抢来的")}};
    for (const char *path : {"/library/modify/group", "/library/remove/group",
                             "/library/fetch/type", "/library/fetch/exercise"}) {
        const ServerClient::Reply reply = other.post(QString::fromLatin1(path), target);
        QVERIFY2(reply.status() != 0 && reply.status() != -1, path);
        QVERIFY(!reply.msg().isEmpty());
    }
    const QJsonArray groups = owner.post(QStringLiteral("/library/fetch/groups"), {}).dataArray();
    bool found = false;
    for (const QJsonValue &g : groups)
        found = found || (g.toObject()[QStringLiteral("groupId")].toInt() == groupId &&
                          g.toObject()[QStringLiteral("groupName")].toString() ==
                              QStringLiteral("李老师的组"));
    QVERIFY(found);
    // The other teacher's own list does not show it.
    for (const QJsonValue &g : other.post(QStringLiteral("/library/fetch/groups"), {}).dataArray())
        QVERIFY(g.toObject()[QStringLiteral("groupId")].toInt() != groupId);
}

// Reads of the userId alone or with one of the caller's groups; the writes are tried in
// tst_serverownership.
void TestServerBank::userIdInTheBodyMustBeTheCaller_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("withGroup");
    for (const char *path : {"/library/fetch/groups", "/library/statistics/count",
                             "/library/fetch/exerciseTypes", "/library/fetch/exerciseKnowledge"})
        QTest::newRow(path) << QString::fromLatin1(path) << false;
    for (const char *path : {"/library/fetch/type", "/library/fetch/exercise"})
        QTest::newRow(path) << QString::fromLatin1(path) << true;
}

void TestServerBank::userIdInTheBodyMustBeTheCaller() {
    QFETCH(QString, path);
    QFETCH(bool, withGroup);
    static const int mathId = userIdOf(QStringLiteral("13800000002"));
    static const int chineseId = userIdOf(QStringLiteral("13800000001"));
    ServerClient client(m_server.baseUrl());
    client.login(QStringLiteral("13800000001"));
    QJsonObject body;
    if (withGroup)
        body[QStringLiteral("groupId")]
            = client
                  .post(QStringLiteral("/library/add/group"),
                      {{QStringLiteral("groupName"),
                          QString(QStringLiteral("读") + path.section(QLatin1Char('/'), -1))}})
                  .dataObject()[QStringLiteral("groupId")];
    body[QStringLiteral("userId")] = chineseId;
    QCOMPARE(client.post(path, body).status() % 100900000, 0);
    body[QStringLiteral("userId")] = mathId;
    const ServerClient::Reply reply = client.post(path, body);
    QVERIFY2(reply.status() != 0 && reply.status() != 100900000 && reply.status() != -1,
             reply.body.constData());
    QVERIFY(!reply.msg().isEmpty());
    QVERIFY(!reply.json.contains(QStringLiteral("data")) || reply.dataArray().isEmpty());
}

void TestServerBank::exerciseTypesCoverEveryComposerPath_data() {
    QTest::addColumn<QString>("phone");
    QTest::addColumn<int>("subject");
    QTest::newRow("chinese") << QStringLiteral("13800000001") << 1;
    QTest::newRow("math") << QStringLiteral("13800000002") << 2;
    QTest::newRow("english") << QStringLiteral("13800000003") << 3;
}

void TestServerBank::exerciseTypesCoverEveryComposerPath() {
    QFETCH(QString, phone);
    QFETCH(int, subject);
    ServerClient client(m_server.baseUrl());
    client.login(phone);
    const ServerClient::Reply types =
        client.post(QStringLiteral("/library/fetch/exerciseTypes"), {});
    QCOMPARE(types.status(), 0);
    bool single = false, multiple = false, fillIn = false, mixedSorts = false, noStem = false;
    for (const QJsonValue &value : types.dataArray()) {
        const QJsonObject type = value.toObject();
        QVERIFY(type[QStringLiteral("provinceId")].isDouble());
        QVERIFY(!type[QStringLiteral("name")].toString().isEmpty());
        const ServerClient::Reply detail =
            client.post(QStringLiteral("/api/exercise_and_question/type/detail"),
                        {{QStringLiteral("exerciseTypeId"), type[QStringLiteral("id")]},
                         {QStringLiteral("provinceId"), 1}});
        QCOMPARE(detail.status(), 0);
        const QJsonObject d = detail.dataObject();
        QCOMPARE(d[QStringLiteral("subjectCode")].toInt(), subject);
        noStem = noStem || !d[QStringLiteral("hasExerciseContentCode")].toBool();
        QSet<int> sorts;
        const QJsonArray list = d[QStringLiteral("exerciseQuestiontypeList")].toArray();
        for (const QJsonValue &q : list) {
            const QJsonObject qt = q.toObject();
            const int options = qt[QStringLiteral("optionNum")].toInt();
            single = single || (qt[QStringLiteral("typeCode")].toInt() == 1 && options == 4);
            multiple = multiple || (qt[QStringLiteral("typeCode")].toInt() != 1 && options == 4);
            fillIn = fillIn || options == 0;
            sorts.insert(qt[QStringLiteral("questionTypeSort")].toInt());
        }
        mixedSorts = mixedSorts || (d[QStringLiteral("hasExerciseContentCode")].toBool() &&
                                    d[QStringLiteral("hasMoreQuestionCode")].toBool() &&
                                    sorts.contains(0) && sorts.contains(1) && sorts.contains(2));
    }
    QVERIFY(single);
    QVERIFY(multiple);
    QVERIFY(fillIn);
    QVERIFY(mixedSorts);
    QVERIFY(noStem);
}

void TestServerBank::typeDetailAnswersEveryMember() {
    ServerClient client(m_server.baseUrl());
    client.login(QStringLiteral("13800000002"));
    const int typeId = client.post(QStringLiteral("/library/fetch/exerciseTypes"), {})
                           .dataArray()
                           .at(0)
                           .toObject()[QStringLiteral("id")]
                           .toInt();
    const QJsonObject d =
        client
            .post(QStringLiteral("/api/exercise_and_question/type/detail"),
                  {{QStringLiteral("exerciseTypeId"), typeId}, {QStringLiteral("provinceId"), 1}})
            .dataObject();
    QCOMPARE(d[QStringLiteral("exerciseId")].toInt(), typeId);
    for (const char *name : {"name", "provinceId", "subjectCode", "hasExerciseContentCode",
                             "hasMoreQuestionCode", "exerciseQuestiontypeList"})
        QVERIFY2(d.contains(QLatin1String(name)), name);
    const QJsonObject q = d[QStringLiteral("exerciseQuestiontypeList")].toArray().at(0).toObject();
    for (const char *name : {"questionTypeId", "exercisetypeId", "typeCode", "typeDesc", "score",
                             "hasQuestionContentCode", "optionNum", "questionTypeSort"})
        QVERIFY2(q.contains(QLatin1String(name)), name);
    QCOMPARE(q[QStringLiteral("exercisetypeId")].toInt(), typeId);
    QVERIFY(q[QStringLiteral("hasQuestionContentCode")].isBool());

    const ServerClient::Reply unknown =
        client.post(QStringLiteral("/api/exercise_and_question/type/detail"),
                    {{QStringLiteral("exerciseTypeId"), 99999}, {QStringLiteral("provinceId"), 1}});
    QVERIFY(unknown.status() != 0);
}

// The seeded catalogue, as the composer builds its panels from it.
void TestServerBank::typeDetailDescribesEachSubQuestion_data()
{
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("desc");
    QTest::addColumn<double>("score");
    QTest::addColumn<bool>("hasContent");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("sort");
    const QString math = QStringLiteral("13800000002");
    QTest::newRow("single choice") << math << QStringLiteral("单选题") << 0
                                   << QStringLiteral("单选题") << 3.0 << true << 4 << 0;
    QTest::newRow("fill-in") << math << QStringLiteral("填空题") << 0 << QStringLiteral("填空题")
                             << 2.0 << true << 0 << 0;
    QTest::newRow("composite, second") << math << QStringLiteral("综合题") << 1
                                       << QStringLiteral("单项选择") << 3.0 << true << 4 << 1;
    QTest::newRow("composite, last") << math << QStringLiteral("综合题") << 3
                                     << QStringLiteral("不定项选择") << 4.0 << true << 4 << 2;
    QTest::newRow("cloze options have no text of their own")
        << QStringLiteral("13800000003") << QStringLiteral("完形填空") << 0
        << QStringLiteral("完形选项") << 1.5 << false << 4 << 0;
}

void TestServerBank::typeDetailDescribesEachSubQuestion()
{
    QFETCH(QString, phone);
    QFETCH(QString, type);
    QFETCH(int, index);
    QFETCH(QString, desc);
    QFETCH(double, score);
    QFETCH(bool, hasContent);
    QFETCH(int, options);
    QFETCH(int, sort);
    ServerClient client(m_server.baseUrl());
    client.login(phone);
    int typeId = 0;
    for (const QJsonValue &t :
        client.post(QStringLiteral("/library/fetch/exerciseTypes"), {}).dataArray()) {
        QCOMPARE(t.toObject()[QStringLiteral("provinceId")].toInt(), 1);
        if (t.toObject()[QStringLiteral("name")].toString() == type)
            typeId = t.toObject()[QStringLiteral("id")].toInt();
    }
    QVERIFY(typeId > 0);
    const QJsonObject d
        = client
              .post(QStringLiteral("/api/exercise_and_question/type/detail"),
                  {{QStringLiteral("exerciseTypeId"), typeId}, {QStringLiteral("provinceId"), 1}})
              .dataObject();
    QCOMPARE(d[QStringLiteral("name")].toString(), type);
    QCOMPARE(d[QStringLiteral("provinceId")].toInt(), 1);
    const QJsonObject q
        = d[QStringLiteral("exerciseQuestiontypeList")].toArray().at(index).toObject();
    QCOMPARE(q[QStringLiteral("typeDesc")].toString(), desc);
    QCOMPARE(q[QStringLiteral("score")].toDouble(), score);
    QCOMPARE(q[QStringLiteral("hasQuestionContentCode")].toBool(), hasContent);
    QCOMPARE(q[QStringLiteral("optionNum")].toInt(), options);
    QCOMPARE(q[QStringLiteral("questionTypeSort")].toInt(), sort);
}

void TestServerBank::knowledgeTreeHasThreeLevels() {
    ServerClient client(m_server.baseUrl());
    client.login(QStringLiteral("13800000002"));
    const ServerClient::Reply reply =
        client.post(QStringLiteral("/library/fetch/exerciseKnowledge"), {});
    QCOMPARE(reply.status(), 0);
    QVERIFY(!reply.dataArray().isEmpty());
    const QJsonObject top = reply.dataArray().at(0).toObject();
    QVERIFY(top[QStringLiteral("knowledgeId")].toInt() > 0);
    QVERIFY(!top[QStringLiteral("name")].toString().isEmpty());
    const QJsonObject middle = top[QStringLiteral("children")].toArray().at(0).toObject();
    const QJsonObject leaf = middle[QStringLiteral("children")].toArray().at(0).toObject();
    QVERIFY(!leaf[QStringLiteral("name")].toString().isEmpty());
    QVERIFY(leaf[QStringLiteral("children")].toArray().isEmpty());
}

void TestServerBank::resetPasswordPageExplainsTheCommand() {
    const ServerClient::Reply reply = m_client->get(QStringLiteral("/page/resetPassword"));
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(reply.contentType.startsWith("text/html"));
    QVERIFY(reply.body.contains("--set-password"));
}

void TestServerBank::setPasswordCommandChangesLoginAndEndsSessions() {
    ServerClient before(m_server.baseUrl());
    QCOMPARE(before.login(QStringLiteral("13800000004")).status(), 0);

    QProcess admin;
    admin.start(LocalServer::serverPath(),
                {QStringLiteral("--data"), m_server.dataDir(), QStringLiteral("--set-password"),
                 QStringLiteral("13800000004"), QStringLiteral("new456")});
    QVERIFY(admin.waitForFinished(20000));
    QCOMPARE(admin.exitCode(), 0);

    ServerClient client(m_server.baseUrl());
    QVERIFY(client.login(QStringLiteral("13800000004")).status() != 0);
    QCOMPARE(client.login(QStringLiteral("13800000004"), QStringLiteral("new456")).status(), 0);

    QCOMPARE(before.post(QStringLiteral("/library/fetch/groups"), {}).msg(),
             QStringLiteral("登录已失效，请重新登录"));

    QProcess refused;
    refused.start(LocalServer::serverPath(),
                  {QStringLiteral("--data"), m_server.dataDir(), QStringLiteral("--set-password"),
                   QStringLiteral("19999999999"), QStringLiteral("newpass456")});
    QVERIFY(refused.waitForFinished(20000));
    QVERIFY(refused.exitCode() != 0);

    // A password the login would refuse unread is not set; the longest one it reads is.
    const auto setPassword = [this](const QString &password) {
        QProcess command;
        command.start(LocalServer::serverPath(),
            {QStringLiteral("--data"), m_server.dataDir(), QStringLiteral("--set-password"),
                QStringLiteral("13800000004"), password});
        return command.waitForFinished(20000) ? command.exitCode() : -1;
    };
    QVERIFY(setPassword(QString(257, QLatin1Char('p'))) != 0);
    QCOMPARE(client.login(QStringLiteral("13800000004"), QStringLiteral("new456")).status(), 0);
    QCOMPARE(setPassword(QString(256, QLatin1Char('p'))), 0);
    QCOMPARE(
        client.login(QStringLiteral("13800000004"), QString(256, QLatin1Char('p'))).status(), 0);
}

QTEST_GUILESS_MAIN(TestServerBank)
#include "tst_serverbank.moc"
