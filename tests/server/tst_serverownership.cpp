#include "localserver.h"
#include "serverclient.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QtTest>

#include <sqlite3.h>

#include <memory>

// Every request that writes, sent by another teacher or with a missing or stale token, is
// refused and leaves the bank byte for byte as it was; the owner's same request goes through.
class TestServerOwnership : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWriteNeedsItsOwner_data();
    void everyWriteNeedsItsOwner();
    void aStaleTokenIsForgottenAtTheNextLogin();

private:
    struct Teacher {
        std::unique_ptr<ServerClient> client;
        int userId = 0;
        int type = 0, questionType = 0, subject = 0;
    };
    void logIn(Teacher &teacher, const QString &phone);
    int addGroup(Teacher &teacher, const QString &name);
    QJsonObject exerciseBody(
        const Teacher &teacher, int groupId, const QString &text, int id = 0) const;
    int addExercise(Teacher &teacher, int groupId, const QString &text);
    // Every stored row a teacher could change, and the stored picture files.
    QStringList bank() const;

    LocalServer m_server;
    Teacher m_owner, m_other;
    QByteArray m_staleToken;
};

namespace {
QByteArray png()
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QStringList rows(sqlite3 *db, const char *sql)
{
    QStringList out;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return {QStringLiteral("cannot read: ") + QString::fromUtf8(sqlite3_errmsg(db))};
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(statement); ++i)
            columns << QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(statement, i)));
        out << QString::fromLatin1(sql).section(QLatin1Char(' '), 3, 3) + QLatin1Char(':')
                + columns.join(QLatin1Char('|'));
    }
    sqlite3_finalize(statement);
    return out;
}
} // namespace

void TestServerOwnership::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    logIn(m_owner, QStringLiteral("13800000002"));
    logIn(m_other, QStringLiteral("13800000001"));
    QVERIFY(m_owner.type && m_other.type);

    // A token the owner really had, past its end.
    ServerClient earlier(m_server.baseUrl());
    QCOMPARE(earlier.login(QStringLiteral("13800000002")).status(), 0);
    m_staleToken = earlier.token();
    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open((m_server.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(), &db),
        SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    const QByteArray sql = "UPDATE tokens SET expires_at = "
        + QByteArray::number(QDateTime::currentSecsSinceEpoch() - 60) + " WHERE token = '"
        + m_staleToken + "'";
    QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_changes(db), 1);
    sqlite3_close(db);
}

void TestServerOwnership::logIn(Teacher &teacher, const QString &phone)
{
    teacher.client = std::make_unique<ServerClient>(m_server.baseUrl());
    const ServerClient::Reply login = teacher.client->login(phone);
    QCOMPARE(login.status(), 0);
    const QJsonObject user = login.dataObject()[QStringLiteral("user")].toObject();
    teacher.userId = user[QStringLiteral("userId")].toInt();
    teacher.subject = user[QStringLiteral("subjectCode")].toInt();
    for (const auto &detail : teacher.client->typeDetails()) {
        const QJsonObject q0
            = detail.second[QStringLiteral("exerciseQuestiontypeList")].toArray().at(0).toObject();
        if (!detail.second[QStringLiteral("hasMoreQuestionCode")].toBool()
            && q0[QStringLiteral("optionNum")].toInt() == 0) {
            teacher.type = detail.first;
            teacher.questionType = q0[QStringLiteral("questionTypeId")].toInt();
            return;
        }
    }
}

int TestServerOwnership::addGroup(Teacher &teacher, const QString &name)
{
    return teacher.client
        ->post(QStringLiteral("/library/add/group"), {{QStringLiteral("groupName"), name}})
        .dataObject()[QStringLiteral("groupId")]
        .toInt();
}

QJsonObject TestServerOwnership::exerciseBody(
    const Teacher &teacher, int groupId, const QString &text, int id) const
{
    const QJsonObject question {{QStringLiteral("questionIndex"), 1},
        {QStringLiteral("questiontypeId"), teacher.questionType},
        {QStringLiteral("knowledgeIds"), QString()}, {QStringLiteral("score"), 2},
        {QStringLiteral("questionContent"),
            QStringLiteral("<doc>%1<s2><c></c></s2></doc>").arg(text)},
        {QStringLiteral("questionExplain"), QString()}};
    const QJsonArray answers {QJsonObject {{QStringLiteral("answer"),
        QJsonObject {{QStringLiteral("answerIdx"), 0},
            {QStringLiteral("content"), QStringLiteral("<doc>答</doc>")}}}}};
    QJsonObject exercise {{QStringLiteral("exerciseTypeId"), teacher.type},
        {QStringLiteral("subjectId"), teacher.subject}, {QStringLiteral("difficultyDegree"), 3},
        {QStringLiteral("folderId"), groupId}, {QStringLiteral("modifierId"), teacher.userId},
        {QStringLiteral("content"), QString()}};
    if (id)
        exercise[QStringLiteral("id")] = id;
    return {{QStringLiteral("exercise"), exercise}, {QStringLiteral("subjectId"), teacher.subject},
        {QStringLiteral("questionWraps"),
            QJsonArray {QJsonObject {
                {QStringLiteral("question"), question}, {QStringLiteral("answers"), answers}}}}};
}

int TestServerOwnership::addExercise(Teacher &teacher, int groupId, const QString &text)
{
    return teacher.client
        ->post(QStringLiteral("/library/add/exercise"), exerciseBody(teacher, groupId, text))
        .dataObject()[QStringLiteral("exerciseId")]
        .toInt();
}

QStringList TestServerOwnership::bank() const
{
    QStringList state;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2((m_server.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(),
            &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK)
        return {QStringLiteral("cannot open the bank")};
    sqlite3_busy_timeout(db, 5000);
    for (const char *sql : {"SELECT * FROM folders ORDER BY id",
             "SELECT * FROM exercises ORDER BY id", "SELECT * FROM questions ORDER BY id",
             "SELECT * FROM answers ORDER BY id", "SELECT * FROM folder_counts ORDER BY 1, 2, 3",
             "SELECT * FROM images ORDER BY file_key"})
        state += rows(db, sql);
    sqlite3_close(db);
    QDirIterator files(
        m_server.dataDir() + QStringLiteral("/images"), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        state << QStringLiteral("file:") + files.next();
    return state;
}

void TestServerOwnership::everyWriteNeedsItsOwner_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("caller");
    // Each request as its owner sends it, and as another teacher would try it on the owner's
    // things with a body that is otherwise valid for them.
    const char *requests[] = {"add group", "modify group", "remove group", "add exercise",
        "modify exercise", "modify own exercise into the owner's group", "move exercise",
        "move own exercise into the owner's group", "batch move",
        "batch move own exercises into the owner's group", "remove exercise", "batch remove",
        "upload picture"};
    for (const char *request : requests) {
        for (const char *caller : {"owner", "other teacher", "owner naming the other teacher",
                 "no token", "stale token"}) {
            // A picture belongs to whoever uploads it: there is no one else's to touch.
            if (QByteArray(request) == "upload picture" && QByteArray(caller).contains("other"))
                continue;
            QTest::addRow("%s, %s", request, caller)
                << QString::fromLatin1(request) << QString::fromLatin1(caller);
        }
    }
}

void TestServerOwnership::everyWriteNeedsItsOwner()
{
    QFETCH(QString, request);
    QFETCH(QString, caller);
    static int round = 0;
    ++round;
    const QString n = QString::number(round);
    // The owner's two groups with two and one exercises; the other teacher's group with one.
    const int groupA = addGroup(m_owner, QStringLiteral("甲") + n);
    const int groupB = addGroup(m_owner, QStringLiteral("乙") + n);
    const int e1 = addExercise(m_owner, groupA, QStringLiteral("一"));
    const int e2 = addExercise(m_owner, groupA, QStringLiteral("二"));
    addExercise(m_owner, groupB, QStringLiteral("三"));
    const int theirGroup = addGroup(m_other, QStringLiteral("丙") + n);
    const int theirs = addExercise(m_other, theirGroup, QStringLiteral("丁"));
    QVERIFY(groupA > 0 && groupB > 0 && e1 > 0 && e2 > 0 && theirGroup > 0 && theirs > 0);

    const bool attack = caller == QLatin1String("other teacher");
    const QJsonValue ownerId = m_owner.userId;
    const QJsonValue otherId = m_other.userId;
    QString path;
    QJsonObject body;
    bool upload = false;
    if (request == QLatin1String("add group")) {
        path = QStringLiteral("/library/add/group");
        body = {{QStringLiteral("userId"), ownerId},
            {QStringLiteral("groupName"), QString(QStringLiteral("新组") + n)}};
    } else if (request == QLatin1String("modify group")) {
        path = QStringLiteral("/library/modify/group");
        body = {{QStringLiteral("userId"), attack ? otherId : ownerId},
            {QStringLiteral("groupId"), groupA},
            {QStringLiteral("groupName"), QString(QStringLiteral("改名") + n)}};
    } else if (request == QLatin1String("remove group")) {
        path = QStringLiteral("/library/remove/group");
        body = {{QStringLiteral("userId"), attack ? otherId : ownerId},
            {QStringLiteral("groupId"), groupA}};
    } else if (request == QLatin1String("add exercise")) {
        path = QStringLiteral("/library/add/exercise");
        body = exerciseBody(attack ? m_other : m_owner, groupA, QStringLiteral("新题"));
    } else if (request == QLatin1String("modify exercise")) {
        path = QStringLiteral("/library/modify/exercise");
        body = attack ? exerciseBody(m_other, theirGroup, QStringLiteral("抢来"), e1)
                      : exerciseBody(m_owner, groupB, QStringLiteral("改过"), e1);
    } else if (request == QLatin1String("modify own exercise into the owner's group")) {
        path = QStringLiteral("/library/modify/exercise");
        body = attack ? exerciseBody(m_other, groupA, QStringLiteral("塞进"), theirs)
                      : exerciseBody(m_owner, groupB, QStringLiteral("改过"), e1);
    } else if (request == QLatin1String("move exercise")) {
        path = QStringLiteral("/library/move/exercise");
        body = {{QStringLiteral("exerciseId"), e1}, {QStringLiteral("oldGroupId"), groupA},
            {QStringLiteral("newGroupId"), attack ? theirGroup : groupB}};
    } else if (request == QLatin1String("move own exercise into the owner's group")) {
        path = QStringLiteral("/library/move/exercise");
        body = {{QStringLiteral("exerciseId"), attack ? theirs : e1},
            {QStringLiteral("oldGroupId"), attack ? theirGroup : groupA},
            {QStringLiteral("newGroupId"), attack ? groupA : groupB}};
    } else if (request == QLatin1String("batch move")) {
        path = QStringLiteral("/library/batch/move/exercise");
        body = {{QStringLiteral("exerciseIds"), QJsonArray {e1, e2}},
            {QStringLiteral("groupId"), attack ? theirGroup : groupB}};
    } else if (request == QLatin1String("batch move own exercises into the owner's group")) {
        path = QStringLiteral("/library/batch/move/exercise");
        body = {{QStringLiteral("exerciseIds"), attack ? QJsonArray {theirs} : QJsonArray {e1}},
            {QStringLiteral("groupId"), groupB}};
    } else if (request == QLatin1String("remove exercise")) {
        path = QStringLiteral("/library/remove/exercise");
        body = {{QStringLiteral("exerciseId"), e1}};
    } else if (request == QLatin1String("batch remove")) {
        path = QStringLiteral("/library/batch/remove/exercise");
        // The other teacher's own exercise first: all or nothing.
        body = {{QStringLiteral("exerciseIds"),
            attack ? QJsonArray {theirs, e1} : QJsonArray {e1, e2}}};
    } else {
        upload = true;
    }

    if (caller == QLatin1String("owner naming the other teacher")) {
        if (body.contains(QStringLiteral("exercise"))) {
            QJsonObject exercise = body[QStringLiteral("exercise")].toObject();
            exercise[QStringLiteral("modifierId")] = otherId;
            body[QStringLiteral("exercise")] = exercise;
        } else {
            body[QStringLiteral("userId")] = otherId;
        }
    }

    ServerClient stale(m_server.baseUrl());
    stale.setToken(m_staleToken);
    ServerClient anonymous(m_server.baseUrl());
    ServerClient *client = attack                ? m_other.client.get()
        : caller == QLatin1String("no token")    ? &anonymous
        : caller == QLatin1String("stale token") ? &stale
                                                 : m_owner.client.get();
    const QStringList before = bank();
    const ServerClient::Reply reply = upload ? client->upload(png()) : client->post(path, body);
    const QStringList after = bank();
    QCOMPARE(reply.httpStatus, 200);

    if (caller == QLatin1String("owner")) {
        // The same request is a valid one: only the caller makes the difference.
        QVERIFY2(reply.status() == 0, reply.body.constData());
        QVERIFY(after != before);
        return;
    }
    QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
    if (!caller.endsWith(QLatin1String("token")))
        QVERIFY(!reply.msg().isEmpty());
    else
        QVERIFY2(reply.msg().startsWith(QStringLiteral("登录已失效，请重新登录")),
            qPrintable(reply.msg()));
    QCOMPARE(after, before);
}

void TestServerOwnership::aStaleTokenIsForgottenAtTheNextLogin()
{
    const auto stored = [this] {
        sqlite3 *db = nullptr;
        sqlite3_open_v2((m_server.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(),
            &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_busy_timeout(db, 5000);
        const QByteArray sql = "SELECT token FROM tokens WHERE token = '" + m_staleToken + "'";
        const QStringList found = rows(db, sql.constData());
        sqlite3_close(db);
        return found.size();
    };
    QCOMPARE(stored(), 1);
    ServerClient again(m_server.baseUrl());
    QCOMPARE(again.login(QStringLiteral("13800000002")).status(), 0);
    QCOMPARE(stored(), 0);
    // The teacher's live sessions stay.
    QCOMPARE(m_owner.client->post(QStringLiteral("/library/fetch/groups"), {}).status(), 0);
}

QTEST_GUILESS_MAIN(TestServerOwnership)
#include "tst_serverownership.moc"
