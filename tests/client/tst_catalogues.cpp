#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/mainwindow.h"
#include "composer/exerciseheaderwidget.h"
#include "model/exercisetypedetail.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

namespace {

const QString typesPath = QStringLiteral("/library/fetch/exerciseTypes");
const QString detailPath = QStringLiteral("/api/exercise_and_question/type/detail");
const QString knowledgePath = QStringLiteral("/library/fetch/exerciseKnowledge");
const QString fetchPath = QStringLiteral("/library/fetch/exercise/id");
const QString transferPath = QStringLiteral("/library/transfer/xml");

QJsonObject body(const ScriptedHttpResponder::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

QJsonObject questionType(const QString &desc, int sort)
{
    return {{QStringLiteral("questionTypeId"), sort * 10 + desc.at(0).unicode()},
        {QStringLiteral("typeDesc"), desc}, {QStringLiteral("questionTypeSort"), sort},
        {QStringLiteral("score"), 2.5}, {QStringLiteral("optionNum"), 4},
        {QStringLiteral("typeCode"), 1}, {QStringLiteral("hasQuestionContentCode"), true}};
}

QJsonArray exerciseTypes()
{
    return {QJsonObject {{QStringLiteral("id"), 31}, {QStringLiteral("provinceId"), 1},
                {QStringLiteral("name"), QStringLiteral("单选题")}},
        QJsonObject {{QStringLiteral("id"), 32}, {QStringLiteral("provinceId"), 1},
            {QStringLiteral("name"), QStringLiteral("阅读理解")}}};
}

} // namespace

class tst_Catalogues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void questionTypeOrder();
    void typeDetailFields();
    void exerciseTypesFillHeaderAndSelectFirst();
    void emptyExerciseTypesRequestNothing();
    void typeDetailReplyShowsComposer();
    void knowledgeReplyReplacesTree();
    void fetchForModificationLoadsComposerState();
    void transferSendsCodeTextOnly();

private:
    QComboBox *combo(const char *name)
    {
        return m_window->findChild<QComboBox *>(QLatin1String(name));
    }

    ScriptedHttpResponder m_responder;
    std::unique_ptr<MainWindow> m_window;
};

void tst_Catalogues::initTestCase()
{
    QVERIFY(m_responder.listen());
    UserSession::instance().userId = 9;
    UserSession::instance().provinceId = 11;
}

void tst_Catalogues::init()
{
    m_responder.clear();
    LIBRARY_SERVER = BENCH_SERVER = m_responder.baseUrl();
    // a groups reply runs the bank page's chain down to the list request
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/exercise"), 0,
        QJsonObject {{QStringLiteral("result"), QJsonArray()}, {QStringLiteral("pages"), 0},
            {QStringLiteral("pageNum"), 0}});
    m_window = std::make_unique<MainWindow>();
}

void tst_Catalogues::cleanup()
{
    m_window.reset();
}

void tst_Catalogues::questionTypeOrder()
{
    const QJsonObject data {{QStringLiteral("exerciseQuestiontypeList"),
        QJsonArray {questionType("a", 0), questionType("b", 3), questionType("c", 0),
            questionType("d", 1), questionType("e", 3)}}};
    QStringList order;
    for (const QuestionTypeInfo &type : ExerciseTypeDetail::fromJson(data).questionTypes)
        order << type.typeDesc;
    QCOMPARE(order, QStringList({"a", "c", "d", "e", "b"}));
}

void tst_Catalogues::typeDetailFields()
{
    const QJsonObject data = QJsonDocument::fromJson(R"({"exerciseId": 32, "exerciseTypeId": 99,
        "name": "阅读理解", "provinceId": 5, "subjectCode": 1, "hasExerciseContentCode": true,
        "hasMoreQuestionCode": true,
        "exerciseQuestiontypeList": [{"questionTypeId": 7, "exercisetypeId": 32, "typeCode": 2,
            "typeDesc": "多选", "score": 3, "hasQuestionContentCode": true, "optionNum": 4,
            "questionTypeSort": 2}]})")
                                 .object();
    const ExerciseTypeDetail detail = ExerciseTypeDetail::fromJson(data);
    QCOMPARE(detail.exerciseId, 32); // the id comes from exerciseId
    QCOMPARE(detail.name, QStringLiteral("阅读理解"));
    QCOMPARE(detail.provinceId, 5);
    QCOMPARE(detail.subjectCode, 1);
    QVERIFY(detail.hasExerciseContentCode);
    QVERIFY(detail.hasMoreQuestionCode);
    QCOMPARE(detail.questionTypes.size(), 1);
    const QuestionTypeInfo &type = detail.questionTypes.first();
    QCOMPARE(type.questionTypeId, 7);
    QCOMPARE(type.exercisetypeId, 32);
    QCOMPARE(type.typeCode, 2);
    QCOMPARE(type.score, 3.0);
    QVERIFY(type.hasQuestionContentCode);
    QCOMPARE(type.optionNum, 4);
    QCOMPARE(type.questionTypeSort, 2);

    const ExerciseTypeDetail empty = ExerciseTypeDetail::fromJson(QJsonObject());
    QCOMPARE(empty.exerciseId, 0);
    QVERIFY(!empty.hasExerciseContentCode);
    QVERIFY(empty.questionTypes.isEmpty());
}

void tst_Catalogues::exerciseTypesFillHeaderAndSelectFirst()
{
    m_responder.respondEnvelope(typesPath, 0, exerciseTypes());
    m_responder.hang(detailPath);
    auto header
        = m_window->findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"));
    QSignalSpy selected(header, &ExerciseHeaderWidget::selectExerciseType);
    m_window->fetchExerciseTypes();
    QVERIFY(m_responder.waitForRequests(detailPath, 1));
    QCOMPARE(body(m_responder.requestsTo(typesPath).first()),
        QJsonObject({{QStringLiteral("userId"), 9}}));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().toInt(), 0);
    QCOMPARE(combo("exerciseTypeComboBox")->count(), 2);
    QCOMPARE(combo("exerciseTypeComboBox")->itemText(1), QStringLiteral("阅读理解"));
    QCOMPARE(m_window->exerciseTypeList().at(1).id, 32);
    QCOMPARE(body(m_responder.requestsTo(detailPath).first()),
        QJsonObject({{QStringLiteral("exerciseTypeId"), 31}, {QStringLiteral("provinceId"), 11}}));
    // setting the index in code does not emit
    header->setExerciseTypeIndex(1);
    QCOMPARE(selected.count(), 1);
}

void tst_Catalogues::emptyExerciseTypesRequestNothing()
{
    m_responder.respondEnvelope(typesPath, 0, QJsonArray());
    m_window->fetchExerciseTypes();
    QVERIFY(m_responder.waitForRequests(typesPath, 1));
    QTest::qWait(100);
    QCOMPARE(m_responder.count(detailPath), 0);
    QCOMPARE(combo("exerciseTypeComboBox")->count(), 0);
}

void tst_Catalogues::typeDetailReplyShowsComposer()
{
    m_responder.respondEnvelope(detailPath, 0,
        QJsonObject {{QStringLiteral("exerciseId"), 32},
            {QStringLiteral("name"), QStringLiteral("x")},
            {QStringLiteral("exerciseQuestiontypeList"), QJsonArray {questionType("a", 0)}}});
    m_window->show();
    m_window->findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    auto stack = m_window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    QCOMPARE(stack->currentIndex(), 1);
    m_window->fetchExerciseType(32);
    QTRY_COMPARE(m_window->currentTypeDetail().exerciseId, 32);
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(m_window->findChild<QPushButton *>(QStringLiteral("inputPushButton"))->isChecked());
    QVERIFY(m_window->findChild<QPushButton *>(QStringLiteral("refreshPushButton"))->isHidden());
}

void tst_Catalogues::knowledgeReplyReplacesTree()
{
    const QJsonArray first = QJsonDocument::fromJson(R"([
        {"knowledgeId": 1, "name": "代数", "children": [
            {"knowledgeId": 11, "name": "方程", "children": [{"knowledgeId": 111, "name": "一元一次"}]},
            {"knowledgeId": 12, "name": "函数"}]},
        {"knowledgeId": 2, "name": "几何"}])")
                                 .array();
    m_responder.respondEnvelope(knowledgePath, 0, first);
    m_responder.respondEnvelope(knowledgePath, 0,
        QJsonArray {QJsonObject {
            {QStringLiteral("knowledgeId"), 5}, {QStringLiteral("name"), QStringLiteral("语法")}}});
    m_window->fetchExerciseKnowledge();
    QTRY_COMPARE(m_window->knowledgeTree().childCount(), 2);
    const KnowledgeNode &tree = m_window->knowledgeTree();
    QCOMPARE(tree.child(0)->info.name, QStringLiteral("代数"));
    QCOMPARE(tree.child(0)->childCount(), 2);
    QCOMPARE(tree.child(0)->child(0)->child(0)->info.knowledgeId, 111);
    QCOMPARE(tree.child(1)->childCount(), 0);

    m_window->fetchExerciseKnowledge();
    QTRY_COMPARE(m_window->knowledgeTree().childCount(), 1);
    QCOMPARE(m_window->knowledgeTree().child(0)->info.knowledgeId, 5);
}

void tst_Catalogues::fetchForModificationLoadsComposerState()
{
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/groups"), 0,
        QJsonArray {QJsonObject {{QStringLiteral("groupId"), 40},
                        {QStringLiteral("groupName"), QStringLiteral("a")}},
            QJsonObject {{QStringLiteral("groupId"), 41},
                {QStringLiteral("groupName"), QStringLiteral("b")}}});
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/type"), 100900000);
    m_responder.respondEnvelope(typesPath, 0, exerciseTypes());
    m_responder.hang(detailPath);
    m_window->fetchGroups();
    m_window->fetchExerciseTypes();
    QTRY_COMPARE(combo("groupComboBox")->count(), 2);
    QTRY_COMPARE(combo("exerciseTypeComboBox")->count(), 2);

    m_window->setSavedExercise(ExerciseInfo());
    m_responder.respondEnvelope(fetchPath, 0,
        QJsonDocument::fromJson(R"({"difficutyLevel": 4,
        "exercise": {"id": 500, "exerciseTypeId": 32, "folderId": 41, "subjectId": 2}})")
            .object());
    m_window->modifyExercise(500);
    // kept until the new one has arrived: a failed fetch must leave the composer as it was
    QVERIFY(m_window->savedExerciseRecord());
    QCOMPARE(m_window->savedExerciseRecord()->id, -1);
    QVERIFY(m_responder.waitForRequests(detailPath, 2));
    QCOMPARE(body(m_responder.requestsTo(fetchPath).first()),
        QJsonObject({{QStringLiteral("exerciseId"), 500}}));
    QVERIFY(m_window->savedExerciseRecord());
    QCOMPARE(m_window->savedExerciseRecord()->id, 500);
    QCOMPARE(m_window->modifyingId(), 500);
    QCOMPARE(combo("groupComboBox")->currentIndex(), 1);
    QCOMPARE(combo("exerciseTypeComboBox")->currentIndex(), 1);
    auto header
        = m_window->findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"));
    QCOMPARE(header->rate(), 4);
    QCOMPARE(body(m_responder.requestsTo(detailPath).last())
                 .value(QStringLiteral("exerciseTypeId"))
                 .toInt(),
        32);
}

void tst_Catalogues::transferSendsCodeTextOnly()
{
    m_responder.respondEnvelope(transferPath, 0, QJsonArray());
    ExerciseInfo exercise;
    exercise.content = QStringLiteral("plain");
    QuestionInfo question;
    question.answers << AnswerInfo {0, QStringLiteral("AB")};
    exercise.questions << question;
    m_window->setSavedExercise(exercise);
    m_window->sendTransferExercise();
    QTest::qWait(100);
    QCOMPARE(m_responder.count(transferPath), 0);

    exercise.questions[0].questionContent = QStringLiteral("<doc>q</doc>");
    m_window->setSavedExercise(exercise);
    m_window->sendTransferExercise();
    QVERIFY(m_responder.waitForRequests(transferPath, 1));
    QCOMPARE(body(m_responder.requestsTo(transferPath).first()),
        QJsonObject({{QStringLiteral("xmls"), QJsonArray {QStringLiteral("<doc>q</doc>")}}}));
}

QTEST_MAIN(tst_Catalogues)
#include "tst_catalogues.moc"
