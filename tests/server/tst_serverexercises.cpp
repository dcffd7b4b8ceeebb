#include "localserver.h"
#include "serverclient.h"

#include <QJsonDocument>
#include <QtTest>

#include <sqlite3.h>

#include <memory>

// Exercises: add, modify and fetch round trips, validation, paging, filters, moving, removing.
class TestServerExercises : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTripKeepsEveryMember();
    void modifyReplacesTheExercise();
    void aCompositeTakesUpToTwentySubQuestions();
    void modifyReshapesQuestionsAndAnswers_data();
    void modifyReshapesQuestionsAndAnswers();
    void everyDifficultyTheComposerSendsIsStored_data();
    void everyDifficultyTheComposerSendsIsStored();
    void badBodiesStoreNothing_data();
    void badBodiesStoreNothing();
    void listItemsCarryEveryMember();
    void nestedEmphasisOverManyParagraphsStaysSmall();
    void pagingCoversEveryExerciseOnce();
    void pageNumberIsClamped_data();
    void pageNumberIsClamped();
    void filtersSelectMatchingExercises_data();
    void filtersSelectMatchingExercises();
    void emptyGroupHasNoPagesAndNoTypes();
    void singleMoveAndRemove();
    void batchMoveAndRemove();
    void batchWithAForeignIdChangesNothing();
    void removingAGroupRemovesItsExercises();
    void statisticsCountTodayAndTotal();
    void anotherTeacherCannotReachTheExercises();
    void anotherTeacherCannotModifyTheExercise();
    void transferXmlConvertsEachText();
    void exerciseRoutesNameTheMemberTheyRefuse_data();
    void exerciseRoutesNameTheMemberTheyRefuse();
    void restartKeepsAllData();
    void logStaysBoundedThroughAnUnbrokenBurst();
    void theSchoolsEditedCatalogueIsFollowed();

private:
    struct Types {
        int single = 0, singleQuestion = 0;
        int fillIn = 0, fillInQuestion = 0;
        int composite = 0, compositeOpen = 0, compositeChoice = 0;
    };
    int addGroup(const QString &name);
    QJsonObject singleChoiceBody(int groupId, int difficulty, const QString &text) const;
    QJsonObject fillInBody(int groupId, int difficulty, const QString &text) const;
    QJsonObject compositeBody(int groupId) const;
    int add(const QJsonObject &body);
    void compareStored(int id, const QJsonObject &body);
    ServerClient::Reply list(int groupId, int typeId, int difficulty, int page);
    int total();

    LocalServer m_server;
    std::unique_ptr<ServerClient> m_client;
    int m_userId = 0;
    Types m_types;
    int m_knowledgeId = 0;
};

namespace {
QString options(int n, bool withAnswer)
{
    QJsonArray array;
    for (int i = 0; i < n; ++i) {
        QJsonObject o {{QStringLiteral("option_index"), i},
            {QStringLiteral("option_content"),
                QStringLiteral("<doc>选项%1</doc>").arg(QChar('A' + i))}};
        if (withAnswer)
            o[QStringLiteral("isAnswer")] = i == 1;
        array.append(o);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QJsonArray answers(std::initializer_list<QString> texts)
{
    QJsonArray array;
    int i = 0;
    for (const QString &t : texts)
        array.append(QJsonObject {{QStringLiteral("answer"),
            QJsonObject {{QStringLiteral("answerIdx"), i++}, {QStringLiteral("content"), t}}}});
    return array;
}

QJsonObject question(int index, int typeId, const QString &knowledge, double score,
    const QString &content, const QString &explain)
{
    return {{QStringLiteral("questionIndex"), index}, {QStringLiteral("questiontypeId"), typeId},
        {QStringLiteral("knowledgeIds"), knowledge}, {QStringLiteral("score"), score},
        {QStringLiteral("questionContent"), content}, {QStringLiteral("questionExplain"), explain}};
}

QJsonObject exerciseBody(int typeId, int groupId, int difficulty, int userId,
    const QString &content, const QJsonArray &wraps)
{
    return {
        {QStringLiteral("exercise"),
            QJsonObject {{QStringLiteral("exerciseTypeId"), typeId},
                {QStringLiteral("subjectId"), 2}, {QStringLiteral("difficultyDegree"), difficulty},
                {QStringLiteral("folderId"), groupId}, {QStringLiteral("modifierId"), userId},
                {QStringLiteral("content"), content}}},
        {QStringLiteral("subjectId"), 2}, {QStringLiteral("questionWraps"), wraps}};
}

QJsonObject wrap(const QJsonObject &q, const QJsonArray &a)
{
    return {{QStringLiteral("question"), q}, {QStringLiteral("answers"), a}};
}

QList<int> idsOf(const ServerClient::Reply &reply)
{
    QList<int> ids;
    for (const QJsonValue &v : reply.dataObject()[QStringLiteral("result")].toArray())
        ids << v.toObject()[QStringLiteral("exerciseId")].toInt();
    return ids;
}

// Sets obj[path] (dotted, with [i] for array elements) to value, or removes it for undefined.
QJsonValue edited(QJsonValue node, const QStringList &path, const QJsonValue &value)
{
    if (path.isEmpty())
        return value;
    const QString head = path.first();
    const QStringList rest = path.mid(1);
    bool isIndex = false;
    const int index = head.toInt(&isIndex);
    if (isIndex) {
        QJsonArray array = node.toArray();
        array[index] = edited(array.at(index), rest, value);
        return array;
    }
    QJsonObject object = node.toObject();
    if (rest.isEmpty() && value.isUndefined())
        object.remove(head);
    else
        object[head] = edited(object.value(head), rest, value);
    return object;
}
// The first exercise type the teacher's subject offers with one sub-question and no options,
// and that sub-question's type.
std::pair<int, int> firstFillIn(ServerClient &client)
{
    for (const auto &detail : client.typeDetails()) {
        const QJsonObject q0
            = detail.second[QStringLiteral("exerciseQuestiontypeList")].toArray().at(0).toObject();
        if (!detail.second[QStringLiteral("hasMoreQuestionCode")].toBool()
            && q0[QStringLiteral("optionNum")].toInt() == 0)
            return {detail.first, q0[QStringLiteral("questionTypeId")].toInt()};
    }
    return {0, 0};
}
} // namespace

void TestServerExercises::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_client = std::make_unique<ServerClient>(m_server.baseUrl());
    const ServerClient::Reply login = m_client->login(QStringLiteral("13800000002"));
    QCOMPARE(login.status(), 0);
    m_userId
        = login.dataObject()[QStringLiteral("user")].toObject()[QStringLiteral("userId")].toInt();

    for (const auto &type : m_client->typeDetails()) {
        const int id = type.first;
        const QJsonObject &d = type.second;
        const QJsonArray list = d[QStringLiteral("exerciseQuestiontypeList")].toArray();
        const QJsonObject q0 = list.at(0).toObject();
        const bool more = d[QStringLiteral("hasMoreQuestionCode")].toBool();
        if (!more && q0[QStringLiteral("typeCode")].toInt() == 1
            && q0[QStringLiteral("optionNum")].toInt() == 4 && !m_types.single) {
            m_types.single = id;
            m_types.singleQuestion = q0[QStringLiteral("questionTypeId")].toInt();
        }
        if (!more && q0[QStringLiteral("optionNum")].toInt() == 0 && !m_types.fillIn) {
            m_types.fillIn = id;
            m_types.fillInQuestion = q0[QStringLiteral("questionTypeId")].toInt();
        }
        if (d[QStringLiteral("hasExerciseContentCode")].toBool() && more && list.size() >= 2) {
            m_types.composite = id;
            for (const QJsonValue &q : list) {
                const QJsonObject qt = q.toObject();
                if (qt[QStringLiteral("optionNum")].toInt() == 0 && !m_types.compositeOpen)
                    m_types.compositeOpen = qt[QStringLiteral("questionTypeId")].toInt();
                if (qt[QStringLiteral("optionNum")].toInt() == 4 && !m_types.compositeChoice)
                    m_types.compositeChoice = qt[QStringLiteral("questionTypeId")].toInt();
            }
        }
    }
    QVERIFY(m_types.single && m_types.fillIn && m_types.composite && m_types.compositeOpen
        && m_types.compositeChoice);
    const QJsonArray tree
        = m_client->post(QStringLiteral("/library/fetch/exerciseKnowledge"), {}).dataArray();
    m_knowledgeId = tree.at(0)
                        .toObject()[QStringLiteral("children")]
                        .toArray()
                        .at(0)
                        .toObject()[QStringLiteral("children")]
                        .toArray()
                        .at(0)
                        .toObject()[QStringLiteral("knowledgeId")]
                        .toInt();
    QVERIFY(m_knowledgeId > 0);
}

int TestServerExercises::addGroup(const QString &name)
{
    return m_client
        ->post(QStringLiteral("/library/add/group"),
            {{QStringLiteral("userId"), m_userId}, {QStringLiteral("groupName"), name}})
        .dataObject()[QStringLiteral("groupId")]
        .toInt();
}

QJsonObject TestServerExercises::singleChoiceBody(
    int groupId, int difficulty, const QString &text) const
{
    QJsonObject q = question(1, m_types.singleQuestion, QString::number(m_knowledgeId), 3,
        QStringLiteral("<doc>%1</doc>").arg(text), QStringLiteral("<doc>因为</doc>"));
    q[QStringLiteral("optionContent")] = options(4, false);
    return exerciseBody(m_types.single, groupId, difficulty, m_userId, QString(),
        {wrap(q, answers({QStringLiteral("B")}))});
}

QJsonObject TestServerExercises::fillInBody(int groupId, int difficulty, const QString &text) const
{
    const QJsonObject q = question(1, m_types.fillInQuestion, QString(), 2,
        QStringLiteral("<doc>%1<s2><c></c></s2></doc>").arg(text), QString());
    return exerciseBody(m_types.fillIn, groupId, difficulty, m_userId, QString(),
        {wrap(q, answers({QStringLiteral("<doc>一</doc>"), QStringLiteral("<doc>二</doc>")}))});
}

QJsonObject TestServerExercises::compositeBody(int groupId) const
{
    QJsonObject choice = question(2, m_types.compositeChoice,
        QString::number(m_knowledgeId) + QStringLiteral(", ") + QString::number(m_knowledgeId + 1),
        3, QStringLiteral("<doc>选<b>择</b></doc>"), QStringLiteral("<doc>解析二</doc>"));
    choice[QStringLiteral("optionContent")] = options(4, false);
    const QJsonObject open = question(1, m_types.compositeOpen, QString(), 5.5,
        QStringLiteral("<doc>简答</doc>"), QStringLiteral("<doc>解析一</doc>"));
    return exerciseBody(m_types.composite, groupId, 4, m_userId,
        QStringLiteral("<doc><c>阅读</c><n/>正文<tex>x^2</tex></doc>"),
        {wrap(open, answers({QStringLiteral("<doc>答</doc>")})),
            wrap(choice, answers({QStringLiteral("AC")}))});
}

int TestServerExercises::add(const QJsonObject &body)
{
    const ServerClient::Reply reply = m_client->post(QStringLiteral("/library/add/exercise"), body);
    if (reply.status() != 0)
        qWarning() << reply.body;
    return reply.status() == 0 ? reply.dataObject()[QStringLiteral("exerciseId")].toInt() : -1;
}

ServerClient::Reply TestServerExercises::list(int groupId, int typeId, int difficulty, int page)
{
    return m_client->post(QStringLiteral("/library/fetch/exercise"),
        {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), typeId},
            {QStringLiteral("difficuty"), difficulty}, {QStringLiteral("pageNum"), page}});
}

int TestServerExercises::total()
{
    return m_client
        ->post(QStringLiteral("/library/statistics/count"),
            {{QStringLiteral("userId"), m_userId},
                {QStringLiteral("createDate"),
                    QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))}})
        .dataObject()[QStringLiteral("totalCount")]
        .toInt();
}

void TestServerExercises::roundTripKeepsEveryMember()
{
    const int groupId = addGroup(QStringLiteral("往返"));
    const QJsonObject body = compositeBody(groupId);
    const int id = add(body);
    QVERIFY(id > 0);
    compareStored(id, body);
}

// Fetches the exercise by id and compares every stored member with the body that was sent.
void TestServerExercises::compareStored(int id, const QJsonObject &body)
{
    const ServerClient::Reply reply = m_client->post(
        QStringLiteral("/library/fetch/exercise/id"), {{QStringLiteral("exerciseId"), id}});
    QCOMPARE(reply.status(), 0);
    const QJsonObject data = reply.dataObject();
    QCOMPARE(data[QStringLiteral("difficutyLevel")],
        body[QStringLiteral("exercise")].toObject()[QStringLiteral("difficultyDegree")]);
    const QJsonObject exercise = data[QStringLiteral("exercise")].toObject();
    const QJsonObject sent = body[QStringLiteral("exercise")].toObject();
    QCOMPARE(exercise[QStringLiteral("id")].toInt(), id);
    QCOMPARE(exercise[QStringLiteral("exerciseTypeId")], sent[QStringLiteral("exerciseTypeId")]);
    QCOMPARE(exercise[QStringLiteral("subjectId")], sent[QStringLiteral("subjectId")]);
    QCOMPARE(exercise[QStringLiteral("folderId")], sent[QStringLiteral("folderId")]);
    QCOMPARE(exercise[QStringLiteral("content")], sent[QStringLiteral("content")]);
    const QJsonArray wraps = data[QStringLiteral("questionWraps")].toArray();
    const QJsonArray sentWraps = body[QStringLiteral("questionWraps")].toArray();
    QCOMPARE(wraps.size(), sentWraps.size());
    for (int i = 0; i < wraps.size(); ++i) {
        const QJsonObject q = wraps[i].toObject()[QStringLiteral("question")].toObject();
        const QJsonObject s = sentWraps[i].toObject()[QStringLiteral("question")].toObject();
        for (const QString &key : s.keys())
            QCOMPARE(q[key], s[key]);
        QCOMPARE(q.contains(QStringLiteral("optionContent")),
            s.contains(QStringLiteral("optionContent")));
        QCOMPARE(wraps[i].toObject()[QStringLiteral("answers")],
            sentWraps[i].toObject()[QStringLiteral("answers")]);
    }
}

void TestServerExercises::aCompositeTakesUpToTwentySubQuestions()
{
    // The composer offers at most 20 sub-question tabs: 20 are stored, a 21st is refused.
    const int groupId = addGroup(QStringLiteral("二十小问"));
    QJsonObject body = compositeBody(groupId);
    QJsonArray wraps;
    for (int i = 1; i <= 21; ++i)
        wraps.append(wrap(question(i, m_types.compositeOpen, QString(), 1,
                              QStringLiteral("<doc>第%1问</doc>").arg(i), QString()),
            answers({QStringLiteral("<doc>答%1</doc>").arg(i)})));
    body[QStringLiteral("questionWraps")] = wraps;
    const int before = total();
    const ServerClient::Reply refused
        = m_client->post(QStringLiteral("/library/add/exercise"), body);
    QVERIFY2(refused.status() != 0 && refused.status() != -1, refused.body.constData());
    QCOMPARE(refused.msg(), QStringLiteral("questionWraps 最多20个小问"));
    QCOMPARE(total(), before);
    wraps.removeLast();
    body[QStringLiteral("questionWraps")] = wraps;
    const int id = add(body);
    QVERIFY(id > 0);
    compareStored(id, body);
}

void TestServerExercises::modifyReplacesTheExercise()
{
    const int groupId = addGroup(QStringLiteral("修改"));
    const int otherGroup = addGroup(QStringLiteral("修改后"));
    const int id = add(singleChoiceBody(groupId, 2, QStringLiteral("原题")));
    QVERIFY(id > 0);
    QJsonObject body = singleChoiceBody(otherGroup, 5, QStringLiteral("新题"));
    QJsonObject exercise = body[QStringLiteral("exercise")].toObject();
    exercise[QStringLiteral("id")] = id;
    body[QStringLiteral("exercise")] = exercise;
    const QJsonValue withAnswers = edited(body,
        {QStringLiteral("questionWraps"), QStringLiteral("0"), QStringLiteral("question"),
            QStringLiteral("optionContent")},
        options(4, true));
    body = withAnswers.toObject();
    const ServerClient::Reply reply
        = m_client->post(QStringLiteral("/library/modify/exercise"), body);
    QCOMPARE(reply.status(), 0);

    const QJsonObject data = m_client
                                 ->post(QStringLiteral("/library/fetch/exercise/id"),
                                     {{QStringLiteral("exerciseId"), id}})
                                 .dataObject();
    QCOMPARE(data[QStringLiteral("difficutyLevel")].toInt(), 5);
    QCOMPARE(data[QStringLiteral("exercise")].toObject()[QStringLiteral("folderId")].toInt(),
        otherGroup);
    const QJsonObject q = data[QStringLiteral("questionWraps")]
                              .toArray()
                              .at(0)
                              .toObject()[QStringLiteral("question")]
                              .toObject();
    QCOMPARE(q[QStringLiteral("questionContent")].toString(), QStringLiteral("<doc>新题</doc>"));
    QCOMPARE(q[QStringLiteral("optionContent")].toString(), options(4, true));
    QCOMPARE(idsOf(list(groupId, -1, -1, 0)), QList<int>());
    QCOMPARE(idsOf(list(otherGroup, -1, -1, 0)), QList<int> {id});
}

void TestServerExercises::modifyReshapesQuestionsAndAnswers_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("a third question and more answers") << "grow";
    QTest::newRow("one question left, now a choice") << "shrink";
    QTest::newRow("the choice becomes open, its answers dropped") << "open";
    QTest::newRow("one answer's text alone") << "answer";
    QTest::newRow("nothing changed") << "same";
    // One member of the choice question alone.
    QTest::newRow("its index") << "questionIndex";
    QTest::newRow("its knowledge points") << "knowledgeIds";
    QTest::newRow("its score") << "score";
    QTest::newRow("its text") << "questionContent";
    QTest::newRow("its analysis") << "questionExplain";
    QTest::newRow("its options") << "optionContent";
    QTest::newRow("its answer's index") << "answerIdx";
}

void TestServerExercises::modifyReshapesQuestionsAndAnswers()
{
    // A composite exercise (an open question with one answer, a choice with four options and one
    // answer) modified into another shape, then back: every member reads back as sent each time,
    // and the list shows the new shape.
    QFETCH(QString, shape);
    const int groupId = addGroup(QStringLiteral("改形") + shape);
    const QJsonObject original = compositeBody(groupId);
    const int id = add(original);
    QVERIFY(id > 0);
    QJsonObject exercise = original[QStringLiteral("exercise")].toObject();
    exercise[QStringLiteral("id")] = id;
    QJsonObject body = original;
    body[QStringLiteral("exercise")] = exercise;
    const QJsonArray was = original[QStringLiteral("questionWraps")].toArray();
    const QJsonObject open = was[0].toObject()[QStringLiteral("question")].toObject();
    const QJsonObject choice = was[1].toObject()[QStringLiteral("question")].toObject();
    QJsonArray wraps;
    if (shape == "grow") {
        const QJsonObject third = question(3, m_types.compositeOpen, QString::number(m_knowledgeId),
            1, QStringLiteral("<doc>第三问</doc>"), QStringLiteral("<doc>解析三</doc>"));
        wraps = {wrap(open,
                     answers({QStringLiteral("<doc>甲</doc>"), QStringLiteral("<doc>乙</doc>"),
                         QStringLiteral("<doc>丙</doc>")})),
            was[1], wrap(third, answers({QStringLiteral("<doc>丁</doc>")}))};
    } else if (shape == "shrink") {
        QJsonObject only = question(
            1, m_types.compositeChoice, QString(), 4, QStringLiteral("<doc>唯一</doc>"), QString());
        only[QStringLiteral("optionContent")] = options(3, true);
        wraps = {wrap(only, answers({QStringLiteral("B")}))};
    } else if (shape == "open") {
        const QJsonObject opened = question(2, m_types.compositeOpen, QString(), 3,
            QStringLiteral("<doc>改为简答</doc>"), QString());
        wraps = {was[0], wrap(opened, answers({}))};
    } else if (shape == "answer") {
        wraps = {was[0], wrap(choice, answers({QStringLiteral("BD")}))};
    } else if (shape == "answerIdx") {
        wraps = {was[0],
            wrap(choice,
                {QJsonObject {{QStringLiteral("answer"),
                    QJsonObject {{QStringLiteral("answerIdx"), 3},
                        {QStringLiteral("content"), QStringLiteral("AC")}}}}})};
    } else if (shape != "same") {
        const QHash<QString, QJsonValue> changed {{QStringLiteral("questionIndex"), 7},
            {QStringLiteral("knowledgeIds"), QString::number(m_knowledgeId)},
            {QStringLiteral("score"), 4.5},
            {QStringLiteral("questionContent"), QStringLiteral("<doc>改过的选择</doc>")},
            {QStringLiteral("questionExplain"), QStringLiteral("<doc>新解析</doc>")},
            {QStringLiteral("optionContent"), options(4, true)}};
        QJsonObject edited = choice;
        QVERIFY(edited.value(shape) != changed.value(shape));
        edited[shape] = changed.value(shape);
        wraps = {was[0], wrap(edited, was[1].toObject()[QStringLiteral("answers")].toArray())};
    } else {
        wraps = was;
    }
    body[QStringLiteral("questionWraps")] = wraps;
    QCOMPARE(m_client->post(QStringLiteral("/library/modify/exercise"), body).status(), 0);
    compareStored(id, body);
    QVERIFY(!QTest::currentTestFailed());

    const QJsonObject item = list(groupId, -1, -1, 0)
                                 .dataObject()[QStringLiteral("result")]
                                 .toArray()
                                 .at(0)
                                 .toObject();
    QCOMPARE(item[QStringLiteral("exerciseId")].toInt(), id);
    const QJsonArray listed = item[QStringLiteral("exerciseQuestionList")].toArray();
    QCOMPARE(listed.size(), wraps.size());
    for (int i = 0; i < wraps.size(); ++i) {
        const QJsonObject sent = wraps[i].toObject()[QStringLiteral("question")].toObject();
        const int optionCount
            = QJsonDocument::fromJson(sent[QStringLiteral("optionContent")].toString().toUtf8())
                  .array()
                  .size();
        QCOMPARE(listed[i].toObject()[QStringLiteral("option")].toArray().size(), optionCount);
    }
    QCOMPARE(item[QStringLiteral("answers")].toArray().size(), wraps.size());

    body[QStringLiteral("questionWraps")] = was;
    QCOMPARE(m_client->post(QStringLiteral("/library/modify/exercise"), body).status(), 0);
    compareStored(id, body);
}

void TestServerExercises::everyDifficultyTheComposerSendsIsStored_data()
{
    QTest::addColumn<int>("difficulty");
    QTest::newRow("no star clicked") << 0;
    QTest::newRow("one star") << 1;
    QTest::newRow("five stars") << 5;
}

void TestServerExercises::everyDifficultyTheComposerSendsIsStored()
{
    QFETCH(int, difficulty);
    static const int groupId = addGroup(QStringLiteral("难度"));
    const int id = add(fillInBody(groupId, difficulty, QStringLiteral("星")));
    QVERIFY(id > 0);
    const ServerClient::Reply reply = m_client->post(
        QStringLiteral("/library/fetch/exercise/id"), {{QStringLiteral("exerciseId"), id}});
    QCOMPARE(reply.dataObject()[QStringLiteral("difficutyLevel")].toInt(), difficulty);
    QCOMPARE(list(groupId, -1, difficulty, 0).dataObject()[QStringLiteral("total")].toInt(), 1);
}

void TestServerExercises::badBodiesStoreNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("named"); // a word the msg must contain
    const QJsonValue removed(QJsonValue::Undefined);
    QTest::newRow("no exercise") << QStringLiteral("exercise") << removed
                                 << QStringLiteral("exercise");
    QTest::newRow("type id a string")
        << QStringLiteral("exercise.exerciseTypeId") << QJsonValue(QStringLiteral("7"))
        << QStringLiteral("exerciseTypeId");
    QTest::newRow("unknown type") << QStringLiteral("exercise.exerciseTypeId") << QJsonValue(9999)
                                  << QStringLiteral("exerciseTypeId");
    QTest::newRow("another subject's type") << QStringLiteral("exercise.exerciseTypeId")
                                            << QJsonValue(1) << QStringLiteral("exerciseTypeId");
    QTest::newRow("subjects disagree")
        << QStringLiteral("subjectId") << QJsonValue(3) << QStringLiteral("subjectId");
    QTest::newRow("difficulty 9") << QStringLiteral("exercise.difficultyDegree") << QJsonValue(9)
                                  << QStringLiteral("difficultyDegree");
    QTest::newRow("difficulty 6, one star past five") << QStringLiteral(
        "exercise.difficultyDegree") << QJsonValue(6) << QStringLiteral("difficultyDegree");
    QTest::newRow("difficulty 2.5") << QStringLiteral("exercise.difficultyDegree")
                                    << QJsonValue(2.5) << QStringLiteral("difficultyDegree");
    QTest::newRow("no content") << QStringLiteral("exercise.content") << removed
                                << QStringLiteral("content");
    QTest::newRow("unknown group")
        << QStringLiteral("exercise.folderId") << QJsonValue(99999) << QStringLiteral("分组");
    QTest::newRow("other modifier")
        << QStringLiteral("exercise.modifierId") << QJsonValue(99) << QStringLiteral("modifierId");
    QTest::newRow("no sub-questions") << QStringLiteral("questionWraps") << QJsonValue(QJsonArray())
                                      << QStringLiteral("questionWraps");
    QTest::newRow("sub-questions not an array")
        << QStringLiteral("questionWraps") << QJsonValue(QStringLiteral("x"))
        << QStringLiteral("questionWraps");
    QTest::newRow("no question") << QStringLiteral("questionWraps.0.question") << removed
                                 << QStringLiteral("question");
    QTest::newRow("question type of another exercise type")
        << QStringLiteral("questionWraps.0.question.questiontypeId") << QJsonValue(1)
        << QStringLiteral("questiontypeId");
    QTest::newRow("score a string") << QStringLiteral("questionWraps.0.question.score")
                                    << QJsonValue(QStringLiteral("3")) << QStringLiteral("score");
    QTest::newRow("knowledge ids not numbers")
        << QStringLiteral("questionWraps.0.question.knowledgeIds")
        << QJsonValue(QStringLiteral("a, b")) << QStringLiteral("knowledgeIds");
    QTest::newRow("unknown knowledge id")
        << QStringLiteral("questionWraps.0.question.knowledgeIds")
        << QJsonValue(QStringLiteral("99999")) << QStringLiteral("knowledgeIds");
    QTest::newRow("option content not json")
        << QStringLiteral("questionWraps.0.question.optionContent")
        << QJsonValue(QStringLiteral("[{")) << QStringLiteral("optionContent");
    QTest::newRow("option content an array not a string")
        << QStringLiteral("questionWraps.0.question.optionContent") << QJsonValue(QJsonArray())
        << QStringLiteral("optionContent");
    QTest::newRow("option without index")
        << QStringLiteral("questionWraps.0.question.optionContent")
        << QJsonValue(QStringLiteral(R"([{"option_content":"a"}])"))
        << QStringLiteral("option_index");
    QTest::newRow("an option not an object")
        << QStringLiteral("questionWraps.0.question.optionContent")
        << QJsonValue(QStringLiteral(R"([{"option_index":0,"option_content":"a"},5])"))
        << QStringLiteral("optionContent[1]. 必须是对象");
    QTest::newRow("choice without options")
        << QStringLiteral("questionWraps.0.question.optionContent") << removed
        << QStringLiteral("optionContent");
    QTest::newRow("choice with an empty option list")
        << QStringLiteral("questionWraps.0.question.optionContent")
        << QJsonValue(QStringLiteral("[]")) << QStringLiteral("1 到 26 个选项");
    QTest::newRow("answers missing")
        << QStringLiteral("questionWraps.0.answers") << removed << QStringLiteral("answers");
    QTest::newRow("answer without content")
        << QStringLiteral("questionWraps.0.answers.0.answer.content") << removed
        << QStringLiteral("content");
}

void TestServerExercises::badBodiesStoreNothing()
{
    QFETCH(QString, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, named);
    static const int groupId = addGroup(QStringLiteral("坏请求"));
    const int before = total();
    const QJsonObject body = edited(
        singleChoiceBody(groupId, 3, QStringLiteral("题")), path.split(QLatin1Char('.')), value)
                                 .toObject();
    for (const QString &route :
        {QStringLiteral("/library/add/exercise"), QStringLiteral("/library/modify/exercise")}) {
        QJsonObject sent = body;
        if (route.contains(QLatin1String("modify")) && sent.contains(QStringLiteral("exercise"))) {
            QJsonObject e = sent[QStringLiteral("exercise")].toObject();
            e[QStringLiteral("id")] = 1;
            sent[QStringLiteral("exercise")] = e;
        }
        const ServerClient::Reply reply = m_client->post(route, sent);
        QCOMPARE(reply.httpStatus, 200);
        QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
        QVERIFY2(reply.msg().contains(named), qPrintable(reply.msg()));
    }
    QCOMPARE(total(), before);
    QCOMPARE(idsOf(list(groupId, -1, -1, 0)), QList<int>());
}

void TestServerExercises::listItemsCarryEveryMember()
{
    const int groupId = addGroup(QStringLiteral("成员"));
    const int id = add(compositeBody(groupId));
    const ServerClient::Reply reply = list(groupId, -1, -1, 0);
    QCOMPARE(reply.status(), 0);
    const QJsonObject item
        = reply.dataObject()[QStringLiteral("result")].toArray().at(0).toObject();
    QCOMPARE(item[QStringLiteral("groupId")].toInt(), groupId);
    QCOMPARE(item[QStringLiteral("exerciseId")].toInt(), id);
    // Entered just now, in the server's local time.
    const QDateTime recorded = QDateTime::fromString(
        item[QStringLiteral("recordTime")].toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY2(recorded.isValid(), qPrintable(item[QStringLiteral("recordTime")].toString()));
    QVERIFY(qAbs(recorded.secsTo(QDateTime::currentDateTime())) < 600);
    QCOMPARE(item[QStringLiteral("recorder")].toString(), QStringLiteral("李数学"));
    const QString stem = item[QStringLiteral("exerciseContent")].toString();
    QVERIFY2(stem.contains(QStringLiteral("text-align:center")), qPrintable(stem));
    QVERIFY(stem.contains(
        m_server.baseUrl() + QStringLiteral("/api/generate/formula?formulaStr=x%5E2")));
    QCOMPARE(item[QStringLiteral("exerciseTypeId")].toInt(), m_types.composite);
    QCOMPARE(item[QStringLiteral("difficultyDegree")].toInt(), 4);
    QVERIFY(!item[QStringLiteral("knowledge")].toString().isEmpty());
    QCOMPARE(item[QStringLiteral("answers")].toArray().size(), 2);
    QCOMPARE(item[QStringLiteral("answers")].toArray().at(1).toString(), QStringLiteral("AC"));
    QCOMPARE(item[QStringLiteral("analysis")].toArray().at(0).toString(), QStringLiteral("解析一"));
    const QJsonArray questions = item[QStringLiteral("exerciseQuestionList")].toArray();
    QCOMPARE(questions.size(), 2);
    QCOMPARE(questions.at(0).toObject()[QStringLiteral("questionContent")].toString(),
        QStringLiteral("简答"));
    QVERIFY(questions.at(0).toObject()[QStringLiteral("option")].toArray().isEmpty());
    const QJsonArray opts = questions.at(1).toObject()[QStringLiteral("option")].toArray();
    QCOMPARE(opts.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(
            opts.at(i).toObject()[QStringLiteral("option")].toString(), QString(QChar('A' + i)));
        QCOMPARE(opts.at(i).toObject()[QStringLiteral("content")].toString(),
            QStringLiteral("选项") + QChar('A' + i));
    }
}

void TestServerExercises::nestedEmphasisOverManyParagraphsStaysSmall()
{
    // 19 KB a teacher can store: emphasis dots nested 64 deep around 4,000 one-character
    // paragraphs, the first indented.
    QString text = QStringLiteral("<indent/>");
    for (int i = 0; i < 64; ++i)
        text += QStringLiteral("<p>");
    for (int i = 0; i < 4000; ++i)
        text += i ? QStringLiteral("<n/>x") : QStringLiteral("x");
    for (int i = 0; i < 64; ++i)
        text += QStringLiteral("</p>");
    const int groupId = addGroup(QStringLiteral("着重号"));
    add(singleChoiceBody(groupId, 2, text));
    const ServerClient::Reply reply = list(groupId, -1, -1, 0);
    QCOMPARE(reply.status(), 0);
    // Every paragraph opens the dots once, however deep they were nested.
    const QString dots = QStringLiteral(
        "<span style=\"font-emphasize:dot;-webkit-text-emphasis:dot;"
        "-webkit-text-emphasis-position:under;text-emphasis:dot;text-emphasis-position:under\">");
    QString expected = QStringLiteral("<p style=\"margin:0;text-indent:2em\">") + dots
        + QStringLiteral("x</span></p>");
    for (int i = 1; i < 4000; ++i)
        expected
            += QStringLiteral("<p style=\"margin:0\">") + dots + QStringLiteral("x</span></p>");
    const QJsonObject item
        = reply.dataObject()[QStringLiteral("result")].toArray().at(0).toObject();
    const QString html = item[QStringLiteral("exerciseQuestionList")]
                             .toArray()
                             .at(0)
                             .toObject()[QStringLiteral("questionContent")]
                             .toString();
    QCOMPARE(html.size(), expected.size());
    QVERIFY(html == expected);
    QVERIFY2(reply.body.size() < 1024 * 1024, qPrintable(QString::number(reply.body.size())));
}

void TestServerExercises::pagingCoversEveryExerciseOnce()
{
    const int groupId = addGroup(QStringLiteral("分页"));
    QList<int> added;
    for (int i = 0; i < 25; ++i)
        added.prepend(add(singleChoiceBody(groupId, 1 + i % 5, QString::number(i))));
    QList<int> seen;
    for (int page = 1; page <= 3; ++page) {
        const ServerClient::Reply reply = list(groupId, -1, -1, page);
        QCOMPARE(reply.dataObject()[QStringLiteral("pageNum")].toInt(), page);
        QCOMPARE(reply.dataObject()[QStringLiteral("pages")].toInt(), 3);
        const QList<int> ids = idsOf(reply);
        QCOMPARE(ids.size(), page < 3 ? 10 : 5);
        seen += ids;
    }
    QCOMPARE(seen, added); // newest first, each exactly once
}

void TestServerExercises::pageNumberIsClamped_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("answered");
    QTest::newRow("0 is the first page") << 0 << 1;
    QTest::newRow("negative") << -4 << 1;
    QTest::newRow("middle") << 2 << 2;
    QTest::newRow("past the last") << 99 << 3;
}

void TestServerExercises::pageNumberIsClamped()
{
    QFETCH(int, asked);
    QFETCH(int, answered);
    static int groupId = 0;
    if (!groupId) {
        groupId = addGroup(QStringLiteral("页码"));
        for (int i = 0; i < 21; ++i)
            add(fillInBody(groupId, 3, QString::number(i)));
    }
    const ServerClient::Reply reply = list(groupId, -1, -1, asked);
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataObject()[QStringLiteral("pageNum")].toInt(), answered);
    QCOMPARE(reply.dataObject()[QStringLiteral("pages")].toInt(), 3);
    QCOMPARE(reply.dataObject()[QStringLiteral("total")].toInt(), 21);
    QCOMPARE(idsOf(reply).size(), answered == 3 ? 1 : 10);
}

void TestServerExercises::filtersSelectMatchingExercises_data()
{
    QTest::addColumn<int>("type"); // 0 all, 1 single choice, 2 fill-in
    QTest::addColumn<int>("difficulty");
    QTest::addColumn<int>("expected");
    QTest::newRow("all") << 0 << -1 << 12;
    QTest::newRow("single choice") << 1 << -1 << 8;
    QTest::newRow("fill-in") << 2 << -1 << 4;
    QTest::newRow("difficulty 2") << 0 << 2 << 6;
    QTest::newRow("single choice, difficulty 5") << 1 << 5 << 2;
    QTest::newRow("fill-in, difficulty 5") << 2 << 5 << 0;
}

void TestServerExercises::filtersSelectMatchingExercises()
{
    QFETCH(int, type);
    QFETCH(int, difficulty);
    QFETCH(int, expected);
    static int groupId = 0;
    if (!groupId) {
        groupId = addGroup(QStringLiteral("筛选"));
        for (int i = 0; i < 8; ++i)
            add(singleChoiceBody(groupId, i % 2 ? 2 : (i < 4 ? 5 : 1), QString::number(i)));
        for (int i = 0; i < 4; ++i)
            add(fillInBody(groupId, i % 2 ? 2 : 3, QString::number(i)));
    }
    const int typeId = type == 0 ? -1 : (type == 1 ? m_types.single : m_types.fillIn);
    const ServerClient::Reply reply = list(groupId, typeId, difficulty, 0);
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataObject()[QStringLiteral("total")].toInt(), expected);
    QCOMPARE(reply.dataObject()[QStringLiteral("pages")].toInt(), (expected + 9) / 10);
    const QJsonArray items = reply.dataObject()[QStringLiteral("result")].toArray();
    QCOMPARE(items.size(), qMin(expected, 10));
    for (const QJsonValue &v : items) {
        if (typeId != -1)
            QCOMPARE(v.toObject()[QStringLiteral("exerciseTypeId")].toInt(), typeId);
        if (difficulty != -1)
            QCOMPARE(v.toObject()[QStringLiteral("difficultyDegree")].toInt(), difficulty);
    }
    const ServerClient::Reply types = m_client->post(
        QStringLiteral("/library/fetch/type"), {{QStringLiteral("groupId"), groupId}});
    QCOMPARE(types.status(), 0);
    QCOMPARE(types.dataArray().size(), 2);
}

void TestServerExercises::emptyGroupHasNoPagesAndNoTypes()
{
    const int groupId = addGroup(QStringLiteral("空组"));
    const ServerClient::Reply reply = list(groupId, -1, -1, 0);
    QCOMPARE(reply.status(), 0);
    QCOMPARE(reply.dataObject()[QStringLiteral("pages")].toInt(), 0);
    QVERIFY(reply.dataObject()[QStringLiteral("result")].toArray().isEmpty());
    const ServerClient::Reply types = m_client->post(
        QStringLiteral("/library/fetch/type"), {{QStringLiteral("groupId"), groupId}});
    QCOMPARE(types.status(), 100900000);
    QVERIFY(types.dataArray().isEmpty());
}

void TestServerExercises::singleMoveAndRemove()
{
    const int from = addGroup(QStringLiteral("移出"));
    const int to = addGroup(QStringLiteral("移入"));
    const int id = add(fillInBody(from, 1, QStringLiteral("移动")));
    const QString move = QStringLiteral("/library/move/exercise");
    ServerClient::Reply reply = m_client->post(move,
        {{QStringLiteral("exerciseId"), id}, {QStringLiteral("oldGroupId"), to},
            {QStringLiteral("newGroupId"), from}});
    QVERIFY(reply.status() != 0); // not in that group
    reply = m_client->post(move,
        {{QStringLiteral("exerciseId"), id}, {QStringLiteral("oldGroupId"), from},
            {QStringLiteral("newGroupId"), to}});
    QCOMPARE(reply.status(), 0);
    QCOMPARE(idsOf(list(to, -1, -1, 0)), QList<int> {id});
    QCOMPARE(idsOf(list(from, -1, -1, 0)), QList<int>());

    const QJsonObject remove {
        {QStringLiteral("userId"), m_userId}, {QStringLiteral("exerciseId"), id}};
    QCOMPARE(m_client->post(QStringLiteral("/library/remove/exercise"), remove).status(), 0);
    QVERIFY(m_client->post(QStringLiteral("/library/remove/exercise"), remove).status() != 0);
    QVERIFY(m_client
                ->post(QStringLiteral("/library/fetch/exercise/id"),
                    {{QStringLiteral("exerciseId"), id}})
                .status()
        != 0);
}

void TestServerExercises::batchMoveAndRemove()
{
    const int from = addGroup(QStringLiteral("批量出"));
    const int to = addGroup(QStringLiteral("批量入"));
    QJsonArray ids;
    for (int i = 0; i < 3; ++i)
        ids.append(add(fillInBody(from, 1, QString::number(i))));
    const int stays = add(fillInBody(from, 1, QStringLiteral("留下")));
    QCOMPARE(m_client
                 ->post(QStringLiteral("/library/batch/move/exercise"),
                     {{QStringLiteral("exerciseIds"), ids}, {QStringLiteral("groupId"), to}})
                 .status(),
        0);
    QCOMPARE(idsOf(list(to, -1, -1, 0)).size(), 3);
    QCOMPARE(idsOf(list(from, -1, -1, 0)), QList<int> {stays});
    QVERIFY(
        m_client
            ->post(QStringLiteral("/library/batch/move/exercise"),
                {{QStringLiteral("exerciseIds"), QJsonArray()}, {QStringLiteral("groupId"), to}})
            .status()
        != 0);

    const int before = total();
    QCOMPARE(m_client
                 ->post(QStringLiteral("/library/batch/remove/exercise"),
                     {{QStringLiteral("userId"), m_userId}, {QStringLiteral("exerciseIds"), ids}})
                 .status(),
        0);
    QCOMPARE(total(), before - 3);
    QCOMPARE(idsOf(list(to, -1, -1, 0)), QList<int>());
}

void TestServerExercises::batchWithAForeignIdChangesNothing()
{
    ServerClient other(m_server.baseUrl());
    other.login(QStringLiteral("13800000001"));
    const int theirGroup = other
                               .post(QStringLiteral("/library/add/group"),
                                   {{QStringLiteral("groupName"), QStringLiteral("语文组")}})
                               .dataObject()[QStringLiteral("groupId")]
                               .toInt();
    const int from = addGroup(QStringLiteral("混合"));
    const int to = addGroup(QStringLiteral("混合目标"));
    const int mine = add(fillInBody(from, 1, QStringLiteral("我的")));
    const QJsonArray ids {mine, 999999};
    QVERIFY(m_client
                ->post(QStringLiteral("/library/batch/move/exercise"),
                    {{QStringLiteral("exerciseIds"), ids}, {QStringLiteral("groupId"), to}})
                .status()
        != 0);
    QVERIFY(m_client
                ->post(QStringLiteral("/library/batch/remove/exercise"),
                    {{QStringLiteral("exerciseIds"), ids}})
                .status()
        != 0);
    QCOMPARE(idsOf(list(from, -1, -1, 0)), QList<int> {mine});
    // Moving into another teacher's group is refused too.
    QVERIFY(m_client
                ->post(QStringLiteral("/library/batch/move/exercise"),
                    {{QStringLiteral("exerciseIds"), QJsonArray {mine}},
                        {QStringLiteral("groupId"), theirGroup}})
                .status()
        != 0);
    QCOMPARE(idsOf(list(from, -1, -1, 0)), QList<int> {mine});
}

void TestServerExercises::removingAGroupRemovesItsExercises()
{
    const int groupId = addGroup(QStringLiteral("将删除"));
    QList<int> ids;
    for (int i = 0; i < 3; ++i)
        ids << add(compositeBody(groupId));
    const int before = total();
    QCOMPARE(m_client
                 ->post(QStringLiteral("/library/remove/group"),
                     {{QStringLiteral("userId"), m_userId}, {QStringLiteral("groupId"), groupId}})
                 .status(),
        0);
    QCOMPARE(total(), before - 3);
    for (int id : ids)
        QVERIFY(m_client
                    ->post(QStringLiteral("/library/fetch/exercise/id"),
                        {{QStringLiteral("exerciseId"), id}})
                    .status()
            != 0);
    QVERIFY(list(groupId, -1, -1, 0).status() != 0);
}

void TestServerExercises::statisticsCountTodayAndTotal()
{
    const QJsonObject today {{QStringLiteral("userId"), m_userId},
        {QStringLiteral("createDate"),
            QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))}};
    const ServerClient::Reply before
        = m_client->post(QStringLiteral("/library/statistics/count"), today);
    QCOMPARE(before.status(), 0);
    add(fillInBody(addGroup(QStringLiteral("统计")), 1, QStringLiteral("x")));
    const ServerClient::Reply after
        = m_client->post(QStringLiteral("/library/statistics/count"), today);
    QCOMPARE(after.dataObject()[QStringLiteral("count")].toInt(),
        before.dataObject()[QStringLiteral("count")].toInt() + 1);
    QCOMPARE(after.dataObject()[QStringLiteral("totalCount")].toInt(),
        before.dataObject()[QStringLiteral("totalCount")].toInt() + 1);
    QJsonObject otherDay = today;
    otherDay[QStringLiteral("createDate")] = QStringLiteral("2001-01-01");
    QCOMPARE(m_client->post(QStringLiteral("/library/statistics/count"), otherDay)
                 .dataObject()[QStringLiteral("count")]
                 .toInt(),
        0);
    otherDay[QStringLiteral("createDate")] = QStringLiteral("yesterday");
    QVERIFY(m_client->post(QStringLiteral("/library/statistics/count"), otherDay).status() != 0);
}

void TestServerExercises::anotherTeacherCannotReachTheExercises()
{
    const int groupId = addGroup(QStringLiteral("私有"));
    const int id = add(fillInBody(groupId, 1, QStringLiteral("私有题")));
    ServerClient other(m_server.baseUrl());
    other.login(QStringLiteral("13800000001"));
    const int theirGroup = other
                               .post(QStringLiteral("/library/add/group"),
                                   {{QStringLiteral("groupName"), QStringLiteral("别人的")}})
                               .dataObject()[QStringLiteral("groupId")]
                               .toInt();
    QVERIFY(other
                .post(QStringLiteral("/library/fetch/exercise/id"),
                    {{QStringLiteral("exerciseId"), id}})
                .status()
        != 0);
    QVERIFY(
        other.post(QStringLiteral("/library/remove/exercise"), {{QStringLiteral("exerciseId"), id}})
            .status()
        != 0);
    QVERIFY(other
                .post(QStringLiteral("/library/move/exercise"),
                    {{QStringLiteral("exerciseId"), id}, {QStringLiteral("oldGroupId"), groupId},
                        {QStringLiteral("newGroupId"), theirGroup}})
                .status()
        != 0);
    QJsonObject body
        = fillInBody(groupId, 1, QStringLiteral("改")); // subject 2 body from subject 1
    QVERIFY(other.post(QStringLiteral("/library/add/exercise"), body).status() != 0);
    QCOMPARE(idsOf(list(groupId, -1, -1, 0)), QList<int> {id});
    QCOMPARE(m_client
                 ->post(QStringLiteral("/library/fetch/exercise/id"),
                     {{QStringLiteral("exerciseId"), id}})
                 .status(),
        0);
}

// The other teacher sends a body that is valid for their own subject and group, so only the
// ownership of the exercise can stop it.
void TestServerExercises::anotherTeacherCannotModifyTheExercise()
{
    const int groupId = addGroup(QStringLiteral("不许改"));
    const int id = add(fillInBody(groupId, 2, QStringLiteral("原题")));
    QVERIFY(id > 0);
    const auto stored = [&] {
        return m_client
            ->post(
                QStringLiteral("/library/fetch/exercise/id"), {{QStringLiteral("exerciseId"), id}})
            .dataObject();
    };
    const QJsonObject before = stored();

    ServerClient other(m_server.baseUrl());
    const int otherId = other.login(QStringLiteral("13800000001"))
                            .dataObject()[QStringLiteral("user")]
                            .toObject()[QStringLiteral("userId")]
                            .toInt();
    const int theirGroup = other
                               .post(QStringLiteral("/library/add/group"),
                                   {{QStringLiteral("groupName"), QStringLiteral("别人的组")}})
                               .dataObject()[QStringLiteral("groupId")]
                               .toInt();
    const auto [type, questionType] = firstFillIn(other);
    QVERIFY(theirGroup > 0);
    QVERIFY(type > 0);
    const QJsonObject q
        = question(1, questionType, QString(), 2, QStringLiteral("<doc>改成我的</doc>"), QString());
    QJsonObject body = exerciseBody(type, theirGroup, 1, otherId, QString(),
        {wrap(q, answers({QStringLiteral("<doc>答</doc>")}))});
    body = edited(body, {QStringLiteral("subjectId")}, 1).toObject();
    body = edited(body, {QStringLiteral("exercise"), QStringLiteral("subjectId")}, 1).toObject();
    // the same body is a valid addition for them
    const ServerClient::Reply added = other.post(QStringLiteral("/library/add/exercise"), body);
    QCOMPARE(added.status(), 0);
    const int theirs = added.dataObject()[QStringLiteral("exerciseId")].toInt();

    body = edited(body, {QStringLiteral("exercise"), QStringLiteral("id")}, id).toObject();
    const ServerClient::Reply modified
        = other.post(QStringLiteral("/library/modify/exercise"), body);
    QVERIFY2(modified.status() != 0, modified.body.constData());
    QCOMPARE(stored(), before);
    QCOMPARE(idsOf(list(groupId, -1, -1, 0)), QList<int> {id});
    const QJsonArray theirList
        = other
              .post(QStringLiteral("/library/fetch/exercise"),
                  {{QStringLiteral("groupId"), theirGroup}, {QStringLiteral("exerciseTypeId"), -1},
                      {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 0}})
              .dataObject()[QStringLiteral("result")]
              .toArray();
    QCOMPARE(theirList.size(), 1);
    QCOMPARE(theirList.at(0).toObject()[QStringLiteral("exerciseId")].toInt(), theirs);
}

void TestServerExercises::transferXmlConvertsEachText()
{
    const QJsonArray xmls {QStringLiteral("<doc><b>粗</b></doc>"), QStringLiteral("a<b"), QString(),
        QStringLiteral("<doc><v key=\"k\"/></doc>")};
    const ServerClient::Reply reply
        = m_client->post(QStringLiteral("/library/transfer/xml"), {{QStringLiteral("xmls"), xmls}});
    QCOMPARE(reply.status(), 0);
    const QJsonArray html = reply.dataArray();
    QCOMPARE(html.size(), 4);
    QCOMPARE(html.at(0).toString(), QStringLiteral("<span style=\"font-weight:bold\">粗</span>"));
    QCOMPARE(html.at(1).toString(), QStringLiteral("a&lt;b"));
    QCOMPARE(html.at(2).toString(), QString());
    QVERIFY(html.at(3).toString().contains(
        m_server.baseUrl() + QStringLiteral("/api/show/image?fileKey=k")));
    const ServerClient::Reply refused = m_client->post(
        QStringLiteral("/library/transfer/xml"), {{QStringLiteral("xmls"), QJsonArray {1}}});
    QVERIFY(refused.status() != 0 && refused.status() != -1);
    QCOMPARE(refused.msg(), QStringLiteral("xmls[0] 必须是字符串"));

    // The largest exercise the bank stores: a stem and 20 sub-questions of 26 options and 100
    // answers. Its preview sends all 2,561 texts in one request; one more is refused whole.
    QJsonArray wraps;
    QJsonArray many {QStringLiteral("<doc>阅读</doc>")};
    for (int q = 0; q < 20; ++q) {
        QJsonObject choice = question(q + 1, m_types.compositeChoice, QString(), 1,
            QStringLiteral("<doc>第%1问</doc>").arg(q + 1), QStringLiteral("<doc>解析</doc>"));
        choice[QStringLiteral("optionContent")] = options(26, false);
        QJsonArray answerList;
        for (int a = 0; a < 100; ++a)
            answerList.append(QJsonObject {{QStringLiteral("answer"),
                QJsonObject {{QStringLiteral("answerIdx"), a},
                    {QStringLiteral("content"), QStringLiteral("<doc>%1</doc>").arg(a)}}}});
        wraps.append(wrap(choice, answerList));
        many.append(choice[QStringLiteral("questionContent")]);
        for (int o = 0; o < 26; ++o)
            many.append(QStringLiteral("<doc>选项%1</doc>").arg(QChar('A' + o)));
        for (int a = 0; a < 100; ++a)
            many.append(QStringLiteral("<doc><i>%1</i></doc>").arg(q * 100 + a));
        many.append(choice[QStringLiteral("questionExplain")]);
    }
    QVERIFY(add(exerciseBody(m_types.composite, addGroup(QStringLiteral("最大")), 3, m_userId,
                QStringLiteral("<doc>阅读</doc>"), wraps))
        > 0);
    QCOMPARE(many.size(), 2561);
    const ServerClient::Reply all
        = m_client->post(QStringLiteral("/library/transfer/xml"), {{QStringLiteral("xmls"), many}});
    QCOMPARE(all.status(), 0);
    QCOMPARE(all.dataArray().size(), 2561);
    QCOMPARE(all.dataArray().at(2559).toString(), QStringLiteral("<i>1999</i>"));
    QCOMPARE(all.dataArray().at(2560).toString(), QStringLiteral("解析"));
    many.append(QStringLiteral("<doc>x</doc>"));
    const ServerClient::Reply tooMany
        = m_client->post(QStringLiteral("/library/transfer/xml"), {{QStringLiteral("xmls"), many}});
    QVERIFY(tooMany.status() != 0 && tooMany.status() != -1);
    QCOMPARE(tooMany.msg(), QStringLiteral("xmls 一次最多2561项"));
    QVERIFY(tooMany.dataArray().isEmpty());
}

void TestServerExercises::exerciseRoutesNameTheMemberTheyRefuse_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body"); // @G the group, @E an exercise in it, @H another group
    QTest::addColumn<QString>("msg");
    const auto row
        = [](const char *name, const char *path, const QByteArray &body, const char *msg) {
              QTest::newRow(name) << QString::fromLatin1(path) << body << QString::fromUtf8(msg);
          };
    QByteArray tooMany = "[";
    for (int i = 1; i <= 1001; ++i)
        tooMany += QByteArray::number(i) + (i < 1001 ? "," : "]");
    const char *list = "/library/fetch/exercise";
    row("list without a group", list, "{}", "缺少成员 groupId");
    row("list of a type below -1", list, R"({"groupId":@G,"exerciseTypeId":-2})",
        "exerciseTypeId 无效");
    row("list of difficulty 6", list, R"({"groupId":@G,"difficuty":6})",
        "difficuty 必须是 -1 或 0 到 5");
    row("list of difficulty -2", list, R"({"groupId":@G,"difficuty":-2})",
        "difficuty 必须是 -1 或 0 到 5");
    row("list of a text page", list, R"({"groupId":@G,"pageNum":"2"})", "pageNum 必须是整数");
    row("list of another's group", list, R"({"groupId":99999})", "分组不存在或不属于当前用户");
    const char *move = "/library/move/exercise";
    row("move without the exercise", move, R"({"oldGroupId":@G,"newGroupId":@H})",
        "缺少成员 exerciseId");
    row("move without the old group", move, R"({"exerciseId":@E,"newGroupId":@H})",
        "缺少成员 oldGroupId");
    row("move without the new group", move, R"({"exerciseId":@E,"oldGroupId":@G})",
        "缺少成员 newGroupId");
    row("move from a group it is not in", move,
        R"({"exerciseId":@E,"oldGroupId":@H,"newGroupId":@H})", "题目已不在原分组中，请刷新后重试");
    row("move into no group", move, R"({"exerciseId":@E,"oldGroupId":@G,"newGroupId":99999})",
        "分组不存在或不属于当前用户");
    row("move of no exercise", move, R"({"exerciseId":99999,"oldGroupId":@G,"newGroupId":@H})",
        "题目不存在或不属于当前用户");
    const char *batchMove = "/library/batch/move/exercise";
    row("batch move without ids", batchMove, R"({"groupId":@H})", "缺少成员 exerciseIds");
    row("batch move of one id", batchMove, R"({"exerciseIds":@E,"groupId":@H})",
        "exerciseIds 必须是数组");
    row("batch move of none", batchMove, R"({"exerciseIds":[],"groupId":@H})", "没有选中题目");
    row("batch move of a text id", batchMove, R"({"exerciseIds":[@E,"x"],"groupId":@H})",
        "exerciseIds[1] 必须是整数");
    row("batch move of 1001", batchMove, "{\"exerciseIds\":" + tooMany + ",\"groupId\":@H}",
        "exerciseIds 一次最多1000个");
    row("batch move without a group", batchMove, R"({"exerciseIds":[@E]})", "缺少成员 groupId");
    row("remove without the exercise", "/library/remove/exercise", "{}", "缺少成员 exerciseId");
    row("remove of no exercise", "/library/remove/exercise", R"({"exerciseId":99999})",
        "题目不存在或不属于当前用户");
    const char *batchRemove = "/library/batch/remove/exercise";
    row("batch remove of none", batchRemove, R"({"exerciseIds":[]})", "没有选中题目");
    row("batch remove of a fraction", batchRemove, R"({"exerciseIds":[2.5]})",
        "exerciseIds[0] 必须是整数");
    row("batch remove of 1001", batchRemove, "{\"exerciseIds\":" + tooMany + "}",
        "exerciseIds 一次最多1000个");
    row("fetch without the exercise", "/library/fetch/exercise/id", "{}", "缺少成员 exerciseId");
}

// Each refusal names what was wrong, and nothing is moved or removed.
void TestServerExercises::exerciseRoutesNameTheMemberTheyRefuse()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(QString, msg);
    static const int group = addGroup(QStringLiteral("拒绝"));
    static const int other = addGroup(QStringLiteral("拒绝二"));
    static const int exercise = add(fillInBody(group, 2, QStringLiteral("留着")));
    QVERIFY(group > 0 && other > 0 && exercise > 0);
    body.replace("@G", QByteArray::number(group))
        .replace("@H", QByteArray::number(other))
        .replace("@E", QByteArray::number(exercise));
    const int before = total();
    const ServerClient::Reply reply = m_client->postRaw(path, body);
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY2(reply.status() != 0 && reply.status() != -1, reply.body.constData());
    QCOMPARE(reply.msg(), msg);
    QCOMPARE(total(), before);
    QCOMPARE(idsOf(list(group, -1, -1, 0)), QList<int> {exercise});
}

void TestServerExercises::restartKeepsAllData()
{
    const int groupId = addGroup(QStringLiteral("重启"));
    const int id = add(compositeBody(groupId));
    const QByteArray groups = m_client->post(QStringLiteral("/library/fetch/groups"), {}).body;
    const QByteArray exercise = m_client
                                    ->post(QStringLiteral("/library/fetch/exercise/id"),
                                        {{QStringLiteral("exerciseId"), id}})
                                    .body;
    QVERIFY(m_server.restart());
    ServerClient again(m_server.baseUrl());
    again.setToken(m_client->token()); // sessions survive too
    QCOMPARE(again.post(QStringLiteral("/library/fetch/groups"), {}).body, groups);
    const QByteArray reread = again
                                  .post(QStringLiteral("/library/fetch/exercise/id"),
                                      {{QStringLiteral("exerciseId"), id}})
                                  .body;
    QCOMPARE(reread, exercise);
}

void TestServerExercises::logStaysBoundedThroughAnUnbrokenBurst()
{
    // 110 exercises of four 240 KB texts each, back to back: 105 MB through the log with no
    // quiet spell for the idle checkpoint. Checkpoints under load must keep the log near their
    // own size (64 MB).
    const int groupId = addGroup(QStringLiteral("长题"));
    const QString text(80000, QChar(0x6570));
    for (int i = 0; i < 110; ++i) {
        const QString doc = QStringLiteral("<doc>%1%2</doc>").arg(i).arg(text);
        const QJsonObject q = question(1, m_types.fillInQuestion, QString(), 2,
            QStringLiteral("<doc>%1%2<s2><c></c></s2></doc>").arg(i).arg(text), doc);
        QVERIFY(add(exerciseBody(m_types.fillIn, groupId, 1 + i % 5, m_userId, doc,
                    {wrap(q, answers({doc, QStringLiteral("<doc>二</doc>")}))}))
            > 0);
    }
    const QFileInfo log(m_server.dataDir() + QStringLiteral("/quenmo.db-wal"));
    QVERIFY2(log.size() < 80 * 1024 * 1024, qPrintable(QString::number(log.size())));
    const QJsonObject data = list(groupId, -1, -1, 11).dataObject();
    QCOMPARE(data[QStringLiteral("pages")].toInt(), 11);
}

// A school edits its bank's catalogue and moves a teacher to another subject between two runs:
// a question type with a single option still needs its option, and the teacher's old exercise,
// modified into a type of her new subject, is filed under that subject.
void TestServerExercises::theSchoolsEditedCatalogueIsFollowed()
{
    LocalServer school;
    QVERIFY2(school.start(), qPrintable(school.errorString()));
    const auto logIn = [](ServerClient &client) {
        return client.login(QStringLiteral("13800000001"))
            .dataObject()[QStringLiteral("user")]
            .toObject()[QStringLiteral("userId")]
            .toInt();
    };
    ServerClient before(school.baseUrl());
    const int userId = logIn(before);
    const int groupId = before
                            .post(QStringLiteral("/library/add/group"),
                                {{QStringLiteral("groupName"), QStringLiteral("旧学科")}})
                            .dataObject()[QStringLiteral("groupId")]
                            .toInt();
    QVERIFY(userId > 0 && groupId > 0);
    const auto [fillIn, fillInQuestion] = firstFillIn(before);
    QVERIFY(fillIn > 0);
    QJsonObject old = exerciseBody(fillIn, groupId, 2, userId, QString(),
        {wrap(question(
                  1, fillInQuestion, QString(), 2, QStringLiteral("<doc>语文题</doc>"), QString()),
            answers({QStringLiteral("<doc>答</doc>")}))});
    old = edited(old, {QStringLiteral("subjectId")}, 1).toObject();
    old = edited(old, {QStringLiteral("exercise"), QStringLiteral("subjectId")}, 1).toObject();
    const ServerClient::Reply added = before.post(QStringLiteral("/library/add/exercise"), old);
    QCOMPARE(added.status(), 0);
    const int oldId = added.dataObject()[QStringLiteral("exerciseId")].toInt();

    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open((school.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(), &db),
        SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    const char *edit
        = "UPDATE users SET subject_code = 2 WHERE phone = '13800000001';"
          "INSERT INTO exercise_types(subject_code, province_id, name, has_stem, "
          "has_more_questions, sort) SELECT 2, province_id, '一选题', 0, 0, 99 FROM exercise_types "
          "WHERE subject_code = 2 LIMIT 1;"
          "INSERT INTO question_types(exercise_type_id, type_code, type_desc, score, has_content, "
          "option_num, sort, position) VALUES (last_insert_rowid(), 1, '一选题', 1, 1, 1, 0, 0);";
    const int written = sqlite3_exec(db, edit, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(written, SQLITE_OK);
    QVERIFY2(school.restart(), qPrintable(school.errorString()));
    ServerClient teacher(school.baseUrl());
    QCOMPARE(logIn(teacher), userId);

    int single = 0, singleQuestion = 0;
    for (const auto &detail : teacher.typeDetails()) {
        const QJsonObject q0
            = detail.second[QStringLiteral("exerciseQuestiontypeList")].toArray().at(0).toObject();
        if (q0[QStringLiteral("optionNum")].toInt() == 1) {
            single = detail.first;
            singleQuestion = q0[QStringLiteral("questionTypeId")].toInt();
        }
    }
    QVERIFY(single > 0);
    const QJsonObject q = question(
        1, singleQuestion, QString(), 1, QStringLiteral("<doc>只有一项</doc>"), QString());
    QJsonObject body = exerciseBody(
        single, groupId, 2, userId, QString(), {wrap(q, answers({QStringLiteral("A")}))});
    body = edited(body, {QStringLiteral("exercise"), QStringLiteral("id")}, oldId).toObject();
    for (const QString &route :
        {QStringLiteral("/library/add/exercise"), QStringLiteral("/library/modify/exercise")}) {
        const ServerClient::Reply refused = teacher.post(route, body);
        QVERIFY2(refused.status() != 0 && refused.status() != -1, refused.body.constData());
        QVERIFY2(
            refused.msg().contains(QStringLiteral("optionContent")), qPrintable(refused.msg()));
    }
    const auto stored = [&] {
        return teacher
            .post(QStringLiteral("/library/fetch/exercise/id"),
                {{QStringLiteral("exerciseId"), oldId}})
            .dataObject()[QStringLiteral("exercise")]
            .toObject();
    };
    QCOMPARE(stored()[QStringLiteral("subjectId")].toInt(), 1);
    QCOMPARE(stored()[QStringLiteral("exerciseTypeId")].toInt(), fillIn);

    body = edited(body,
        {QStringLiteral("questionWraps"), QStringLiteral("0"), QStringLiteral("question"),
            QStringLiteral("optionContent")},
        options(1, true))
               .toObject();
    const ServerClient::Reply modified
        = teacher.post(QStringLiteral("/library/modify/exercise"), body);
    QCOMPARE(modified.status(), 0);
    QCOMPARE(stored()[QStringLiteral("exerciseTypeId")].toInt(), single);
    QCOMPARE(stored()[QStringLiteral("subjectId")].toInt(), 2);
}

QTEST_GUILESS_MAIN(TestServerExercises)
#include "tst_serverexercises.moc"
