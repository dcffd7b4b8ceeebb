#include "localserver.h"
#include "serverclient.h"

#include <QJsonDocument>
#include <QtTest>

#include <sqlite3.h>

#include <map>
#include <memory>

// The paged list answers from memory once warm: every write must show in the very next list,
// on every page and under every filter.
class TestServerListCache : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyWriteShowsInTheNextList_data();
    void everyWriteShowsInTheNextList();
    void aNewGroupInARemovedGroupsPlaceStartsEmpty();
    void aWriteFromOutsideTheServerShowsToo();

private:
    struct Exercise {
        int group = 0, type = 0, difficulty = 0;
        QString text;
    };
    int addGroup(const QString &name);
    QJsonObject body(int group, int type, int difficulty, const QString &text, int id = 0) const;
    int add(int group, int type, int difficulty, const QString &text);
    // Every item of the filter, page after page, by exercise id in the order served.
    QList<QJsonObject> walk(int group, int type, int difficulty);
    // Checks every filter of the group against the model.
    void compareWithModel(int group);

    LocalServer m_server;
    std::unique_ptr<ServerClient> m_client;
    int m_userId = 0;
    int m_single = 0, m_singleQuestion = 0;
    int m_fillIn = 0, m_fillInQuestion = 0;
    std::map<int, Exercise> m_model;
};

void TestServerListCache::initTestCase() {
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_client = std::make_unique<ServerClient>(m_server.baseUrl());
    const ServerClient::Reply login = m_client->login(QStringLiteral("13800000002"));
    QCOMPARE(login.status(), 0);
    m_userId =
        login.dataObject()[QStringLiteral("user")].toObject()[QStringLiteral("userId")].toInt();
    for (const auto &type : m_client->typeDetails()) {
        const int id = type.first;
        const QJsonObject &d = type.second;
        const QJsonObject q0 =
            d[QStringLiteral("exerciseQuestiontypeList")].toArray().at(0).toObject();
        if (d[QStringLiteral("hasMoreQuestionCode")].toBool())
            continue;
        const int options = q0[QStringLiteral("optionNum")].toInt();
        if (options == 4 && q0[QStringLiteral("typeCode")].toInt() == 1 && !m_single) {
            m_single = id;
            m_singleQuestion = q0[QStringLiteral("questionTypeId")].toInt();
        } else if (options == 0 && !m_fillIn) {
            m_fillIn = id;
            m_fillInQuestion = q0[QStringLiteral("questionTypeId")].toInt();
        }
    }
    QVERIFY(m_single && m_fillIn);
}

int TestServerListCache::addGroup(const QString &name) {
    return m_client
        ->post(QStringLiteral("/library/add/group"), {{QStringLiteral("groupName"), name}})
        .dataObject()[QStringLiteral("groupId")]
        .toInt();
}

QJsonObject TestServerListCache::body(int group, int type, int difficulty, const QString &text,
                                      int id) const {
    const bool single = type == m_single;
    QJsonObject question{
        {QStringLiteral("questionIndex"), 1},
        {QStringLiteral("questiontypeId"), single ? m_singleQuestion : m_fillInQuestion},
        {QStringLiteral("knowledgeIds"), QString()},
        {QStringLiteral("score"), 2},
        {QStringLiteral("questionContent"), QStringLiteral("<doc><b>%1</b></doc>").arg(text)},
        {QStringLiteral("questionExplain"), QString()}};
    if (single) {
        QJsonArray options;
        for (int i = 0; i < 4; ++i)
            options.append(QJsonObject{{QStringLiteral("option_index"), i},
                                       {QStringLiteral("option_content"), text}});
        question[QStringLiteral("optionContent")] =
            QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact));
    }
    QJsonObject exercise{
        {QStringLiteral("exerciseTypeId"), type},         {QStringLiteral("subjectId"), 2},
        {QStringLiteral("difficultyDegree"), difficulty}, {QStringLiteral("folderId"), group},
        {QStringLiteral("modifierId"), m_userId},         {QStringLiteral("content"), QString()}};
    if (id)
        exercise[QStringLiteral("id")] = id;
    const QJsonArray answers{
        QJsonObject{{QStringLiteral("answer"), QJsonObject{{QStringLiteral("answerIdx"), 0},
                                                           {QStringLiteral("content"), text}}}}};
    return {{QStringLiteral("exercise"), exercise},
            {QStringLiteral("subjectId"), 2},
            {QStringLiteral("questionWraps"),
             QJsonArray{QJsonObject{{QStringLiteral("question"), question},
                                    {QStringLiteral("answers"), answers}}}}};
}

int TestServerListCache::add(int group, int type, int difficulty, const QString &text) {
    const ServerClient::Reply reply = m_client->post(QStringLiteral("/library/add/exercise"),
                                                     body(group, type, difficulty, text));
    const int id = reply.dataObject()[QStringLiteral("exerciseId")].toInt();
    if (reply.status() == 0)
        m_model[id] = {group, type, difficulty, text};
    return reply.status() == 0 ? id : -1;
}

QList<QJsonObject> TestServerListCache::walk(int group, int type, int difficulty) {
    QList<QJsonObject> items;
    for (int page = 1;; ++page) {
        const ServerClient::Reply reply = m_client->post(QStringLiteral("/library/fetch/exercise"),
                                                         {{QStringLiteral("groupId"), group},
                                                          {QStringLiteral("exerciseTypeId"), type},
                                                          {QStringLiteral("difficuty"), difficulty},
                                                          {QStringLiteral("pageNum"), page}});
        if (reply.status() != 0)
            return {};
        for (const QJsonValue &v : reply.dataObject()[QStringLiteral("result")].toArray())
            items << v.toObject();
        if (page >= reply.dataObject()[QStringLiteral("pages")].toInt())
            return items;
    }
}

void TestServerListCache::compareWithModel(int group) {
    for (int type : {-1, m_single, m_fillIn}) {
        for (int difficulty : {-1, 1, 2, 3}) {
            QList<int> expected;
            for (auto it = m_model.rbegin(); it != m_model.rend(); ++it)
                if (it->second.group == group && (type == -1 || it->second.type == type) &&
                    (difficulty == -1 || it->second.difficulty == difficulty))
                    expected << it->first;
            QList<int> served;
            for (const QJsonObject &item : walk(group, type, difficulty)) {
                const int id = item[QStringLiteral("exerciseId")].toInt();
                served << id;
                const Exercise &e = m_model[id];
                QCOMPARE(item[QStringLiteral("groupId")].toInt(), e.group);
                QCOMPARE(item[QStringLiteral("exerciseTypeId")].toInt(), e.type);
                QCOMPARE(item[QStringLiteral("difficultyDegree")].toInt(), e.difficulty);
                QCOMPARE(item[QStringLiteral("exerciseQuestionList")]
                             .toArray()
                             .at(0)
                             .toObject()[QStringLiteral("questionContent")]
                             .toString(),
                         QStringLiteral("<span style=\"font-weight:bold\">%1</span>").arg(e.text));
            }
            QCOMPARE(served, expected);
        }
    }
}

void TestServerListCache::everyWriteShowsInTheNextList_data() {
    QTest::addColumn<QString>("write");
    QTest::newRow("add") << "add";
    QTest::newRow("modify the text") << "text";
    QTest::newRow("modify the difficulty") << "difficulty";
    QTest::newRow("modify the type") << "type";
    QTest::newRow("modify into the other group") << "regroup";
    QTest::newRow("move") << "move";
    QTest::newRow("remove") << "remove";
    QTest::newRow("batch move") << "batch move";
    QTest::newRow("batch remove") << "batch remove";
}

void TestServerListCache::everyWriteShowsInTheNextList() {
    QFETCH(QString, write);
    const int from = addGroup(QStringLiteral("缓存出") + write);
    const int to = addGroup(QStringLiteral("缓存入") + write);
    QList<int> ids;
    for (int i = 0; i < 23; ++i)
        ids << add(i % 4 ? from : to, i % 3 ? m_single : m_fillIn, 1 + i % 3,
                   QStringLiteral("题%1").arg(i));
    compareWithModel(from); // warms every filter
    compareWithModel(to);

    const int target = ids[10]; // in "from", single choice, difficulty 2
    auto modify = [&](int group, int type, int difficulty, const QString &text) {
        QCOMPARE(m_client
                     ->post(QStringLiteral("/library/modify/exercise"),
                            body(group, type, difficulty, text, target))
                     .status(),
                 0);
        m_model[target] = {group, type, difficulty, text};
    };
    if (write == "add") {
        add(from, m_single, 2, QStringLiteral("新"));
    } else if (write == "text") {
        modify(from, m_single, 2, QStringLiteral("改过"));
    } else if (write == "difficulty") {
        modify(from, m_single, 3, QStringLiteral("题10"));
    } else if (write == "type") {
        modify(from, m_fillIn, 2, QStringLiteral("题10"));
    } else if (write == "regroup") {
        modify(to, m_single, 2, QStringLiteral("题10"));
    } else if (write == "move") {
        QCOMPARE(m_client
                     ->post(QStringLiteral("/library/move/exercise"),
                            {{QStringLiteral("exerciseId"), target},
                             {QStringLiteral("oldGroupId"), from},
                             {QStringLiteral("newGroupId"), to}})
                     .status(),
                 0);
        m_model[target].group = to;
    } else if (write == "remove") {
        QCOMPARE(m_client
                     ->post(QStringLiteral("/library/remove/exercise"),
                            {{QStringLiteral("exerciseId"), target}})
                     .status(),
                 0);
        m_model.erase(target);
    } else if (write == "batch move") {
        QCOMPARE(m_client
                     ->post(QStringLiteral("/library/batch/move/exercise"),
                            {{QStringLiteral("exerciseIds"), QJsonArray{ids[1], ids[2], ids[22]}},
                             {QStringLiteral("groupId"), to}})
                     .status(),
                 0);
        for (int id : {ids[1], ids[2], ids[22]})
            m_model[id].group = to;
    } else if (write == "batch remove") {
        QCOMPARE(m_client
                     ->post(QStringLiteral("/library/batch/remove/exercise"),
                            {{QStringLiteral("exerciseIds"), QJsonArray{ids[0], ids[5], ids[21]}}})
                     .status(),
                 0);
        for (int id : {ids[0], ids[5], ids[21]})
            m_model.erase(id);
    }
    compareWithModel(from);
    compareWithModel(to);
}

void TestServerListCache::aNewGroupInARemovedGroupsPlaceStartsEmpty() {
    // The newest group and its newest exercises: their ids are the ones given out again.
    const int group = addGroup(QStringLiteral("将删除的缓存组"));
    for (int i = 0; i < 12; ++i)
        add(group, m_single, 1, QStringLiteral("旧%1").arg(i));
    compareWithModel(group);
    QCOMPARE(
        m_client
            ->post(QStringLiteral("/library/remove/group"), {{QStringLiteral("groupId"), group}})
            .status(),
        0);
    for (auto it = m_model.begin(); it != m_model.end();)
        it = it->second.group == group ? m_model.erase(it) : std::next(it);
    const int again = addGroup(QStringLiteral("新的缓存组"));
    compareWithModel(again);
    for (int i = 0; i < 3; ++i)
        add(again, m_single, 1, QStringLiteral("新%1").arg(i));
    compareWithModel(again);
}

void TestServerListCache::aWriteFromOutsideTheServerShowsToo() {
    const int group = addGroup(QStringLiteral("外部修改"));
    const int id = add(group, m_single, 1, QStringLiteral("外"));
    add(group, m_fillIn, 1, QStringLiteral("内"));
    compareWithModel(group);
    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open((m_server.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(), &db),
        SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    const QByteArray sql =
        "UPDATE exercises SET difficulty = 3 WHERE id = " + QByteArray::number(id);
    QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    m_model[id].difficulty = 3;
    compareWithModel(group);
}

QTEST_GUILESS_MAIN(TestServerListCache)
#include "tst_serverlistcache.moc"
