#include "app/api.h"
#include "model/exercisecodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

ExerciseInfo choiceExercise()
{
    ExerciseInfo exercise;
    exercise.id = 77;
    exercise.exerciseTypeId = 3;
    exercise.subjectId = 2;
    exercise.difficultyDegree = 4;
    exercise.folderId = 100;
    exercise.content = QStringLiteral("<doc>题干</doc>");
    QuestionInfo question;
    question.questionIndex = 1;
    question.questiontypeId = 11;
    question.knowledgeIds = QStringLiteral("12, 40");
    question.score = 5;
    question.questionContent = QStringLiteral("<doc>q</doc>");
    question.questionExplain = QStringLiteral("<doc>e</doc>");
    for (int i = 0; i < 3; ++i) {
        OptionInfo option;
        option.index = i;
        option.content = QStringLiteral("<doc>") + QChar(u'a' + i) + QStringLiteral("</doc>");
        option.isAnswer = i == 0;
        question.options << option;
    }
    question.answers << AnswerInfo {0, QStringLiteral("A")};
    exercise.questions << question;
    return exercise;
}

} // namespace

class tst_ExerciseCodec : public QObject
{
    Q_OBJECT

private slots:
    void addBodyIsByteExact();
    void modifyBodyCarriesIdAndIsAnswer();
    void questionWithoutOptionsHasNoOptionContent();
    void exerciseWithoutStemSendsEmptyContent();
    void fractionalScoreKeptWholeScoreWithout();
    void decodeFetchReply();
    void decodeOptionContent_data();
    void decodeOptionContent();
    void missingMembersReadAsZeroOrEmpty();
    void transferCollectsCodeTextInOrder();
    void transferWithNothingToSend();
    void transferredTextsGoBackInOrder();
};

void tst_ExerciseCodec::addBodyIsByteExact()
{
    const QByteArray expected = QStringLiteral(R"({
    "exercise": {
        "content": "<doc>题干</doc>",
        "difficultyDegree": 4,
        "exerciseTypeId": 3,
        "folderId": 100,
        "modifierId": 9,
        "subjectId": 2
    },
    "questionWraps": [
        {
            "answers": [
                {
                    "answer": {
                        "answerIdx": 0,
                        "content": "A"
                    }
                }
            ],
            "question": {
                "knowledgeIds": "12, 40",
                "optionContent": "[{\"option_content\":\"<doc>a</doc>\",\"option_index\":0},{\"option_content\":\"<doc>b</doc>\",\"option_index\":1},{\"option_content\":\"<doc>c</doc>\",\"option_index\":2}]",
                "questionContent": "<doc>q</doc>",
                "questionExplain": "<doc>e</doc>",
                "questionIndex": 1,
                "questiontypeId": 11,
                "score": 5
            }
        }
    ],
    "subjectId": 2
}
)")
                                    .toUtf8();
    QCOMPARE(Api::jsonBody(ExerciseCodec::addBody(choiceExercise(), 9)), expected);
}

void tst_ExerciseCodec::modifyBodyCarriesIdAndIsAnswer()
{
    const QJsonObject body
        = QJsonDocument::fromJson(Api::jsonBody(ExerciseCodec::modifyBody(choiceExercise(), 9)))
              .object();
    const QJsonObject exercise = body.value(QStringLiteral("exercise")).toObject();
    QCOMPARE(exercise.value(QStringLiteral("id")).toInt(), 77);
    QCOMPARE(exercise.value(QStringLiteral("subjectId")).toInt(), 2);
    QCOMPARE(body.value(QStringLiteral("subjectId")).toInt(), 2);
    const QJsonObject question = body.value(QStringLiteral("questionWraps"))
                                     .toArray()
                                     .first()
                                     .toObject()
                                     .value(QStringLiteral("question"))
                                     .toObject();
    QCOMPARE(question.value(QStringLiteral("optionContent")).toString(),
        QStringLiteral(
            "[{\"isAnswer\":true,\"option_content\":\"<doc>a</doc>\",\"option_index\":0},"
            "{\"isAnswer\":false,\"option_content\":\"<doc>b</doc>\",\"option_index\":1},"
            "{\"isAnswer\":false,\"option_content\":\"<doc>c</doc>\",\"option_index\":2}]"));
    // the add body has no id
    const QJsonObject added
        = QJsonDocument::fromJson(Api::jsonBody(ExerciseCodec::addBody(choiceExercise(), 9)))
              .object();
    QVERIFY(!added.value(QStringLiteral("exercise")).toObject().contains(QStringLiteral("id")));
}

void tst_ExerciseCodec::questionWithoutOptionsHasNoOptionContent()
{
    ExerciseInfo exercise = choiceExercise();
    exercise.questions[0].options.clear();
    exercise.questions[0].answers
        = {{0, QStringLiteral("<doc>一</doc>")}, {1, QStringLiteral("<doc>二</doc>")}};
    for (const QVariantMap &body :
        {ExerciseCodec::addBody(exercise, 9), ExerciseCodec::modifyBody(exercise, 9)}) {
        const QJsonObject wrap = QJsonDocument::fromJson(Api::jsonBody(body))
                                     .object()
                                     .value(QStringLiteral("questionWraps"))
                                     .toArray()
                                     .first()
                                     .toObject();
        QVERIFY(!wrap.value(QStringLiteral("question"))
                     .toObject()
                     .contains(QStringLiteral("optionContent")));
        const QJsonArray answers = wrap.value(QStringLiteral("answers")).toArray();
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers.at(1).toObject().value(QStringLiteral("answer")).toObject(),
            QJsonObject({{QStringLiteral("answerIdx"), 1},
                {QStringLiteral("content"), QStringLiteral("<doc>二</doc>")}}));
    }
}

void tst_ExerciseCodec::exerciseWithoutStemSendsEmptyContent()
{
    ExerciseInfo exercise = choiceExercise();
    exercise.content.clear();
    const QByteArray text = Api::jsonBody(ExerciseCodec::addBody(exercise, 9));
    QVERIFY(text.contains("        \"content\": \"\",\n"));
}

void tst_ExerciseCodec::fractionalScoreKeptWholeScoreWithout()
{
    ExerciseInfo exercise = choiceExercise();
    exercise.questions[0].score = 2.5;
    QVERIFY(Api::jsonBody(ExerciseCodec::addBody(exercise, 9)).contains("\"score\": 2.5\n"));
}

void tst_ExerciseCodec::decodeFetchReply()
{
    const QJsonObject data = QJsonDocument::fromJson(R"({
        "difficutyLevel": 3,
        "exercise": {"id": 5, "exerciseTypeId": 8, "subjectId": 2, "folderId": 40,
                     "content": "<doc>s</doc>", "difficultyDegree": 1},
        "questionWraps": [
            {"question": {"questionContent": "<doc>q1</doc>", "questionExplain": "<doc>x</doc>",
                          "questiontypeId": 21, "knowledgeIds": "12, 40", "score": 2.5,
                          "questionIndex": 2,
                          "optionContent": "[{\"option_index\":0,\"option_content\":\"A1\",\"isAnswer\":true},{\"option_index\":1,\"option_content\":\"B1\"}]"},
             "answers": [{"answer": {"answerIdx": 0, "content": "A"}}]},
            {"question": {"questionContent": "<doc>q2</doc>", "questionIndex": 1},
             "answers": [{"answer": {"answerIdx": 0, "content": "t0"}},
                         {"answer": {"answerIdx": 1, "content": "t1"}}]}
        ]})")
                                 .object();
    const ExerciseInfo exercise = ExerciseCodec::fromFetchReply(data);
    QCOMPARE(exercise.difficultyDegree, 3); // from data, not from exercise
    QCOMPARE(exercise.id, 5);
    QCOMPARE(exercise.exerciseTypeId, 8);
    QCOMPARE(exercise.subjectId, 2);
    QCOMPARE(exercise.folderId, 40);
    QCOMPARE(exercise.content, QStringLiteral("<doc>s</doc>"));
    QCOMPARE(exercise.questions.size(), 2);
    const QuestionInfo &first = exercise.questions.at(0);
    QCOMPARE(first.questionContent, QStringLiteral("<doc>q1</doc>"));
    QCOMPARE(first.questionExplain, QStringLiteral("<doc>x</doc>"));
    QCOMPARE(first.questiontypeId, 21);
    QCOMPARE(first.knowledgeIds, QStringLiteral("12, 40"));
    QCOMPARE(first.score, 2.5);
    QCOMPARE(first.questionIndex, 2);
    QCOMPARE(first.options.size(), 2);
    QCOMPARE(first.options.at(1).content, QStringLiteral("B1"));
    QCOMPARE(first.options.at(1).index, 1);
    QVERIFY(!first.options.at(0).isAnswer); // decoding never sets it
    QCOMPARE(first.answers.size(), 1);
    QCOMPARE(first.answers.at(0).content, QStringLiteral("A"));
    QCOMPARE(exercise.questions.at(1).answers.at(1).answerIdx, 1);
    QCOMPARE(exercise.questions.at(1).answers.at(1).content, QStringLiteral("t1"));
}

void tst_ExerciseCodec::decodeOptionContent_data()
{
    QTest::addColumn<QString>("optionContent");
    QTest::addColumn<int>("options");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("invalid JSON") << "[{\"option_index\":0," << 0;
    QTest::newRow("one option") << "[{\"option_index\":0,\"option_content\":\"x\"}]" << 1;
}

void tst_ExerciseCodec::decodeOptionContent()
{
    QFETCH(QString, optionContent);
    const QJsonObject question {{QStringLiteral("optionContent"), optionContent}};
    const QJsonObject wrap {{QStringLiteral("question"), question}};
    const QJsonObject data {{QStringLiteral("questionWraps"), QJsonArray {wrap}}};
    QTEST(ExerciseCodec::fromFetchReply(data).questions.first().options.size(), "options");
}

void tst_ExerciseCodec::missingMembersReadAsZeroOrEmpty()
{
    const ExerciseInfo exercise = ExerciseCodec::fromFetchReply(QJsonObject());
    QCOMPARE(exercise.id, 0);
    QCOMPARE(exercise.difficultyDegree, 0);
    QVERIFY(exercise.content.isEmpty());
    QVERIFY(exercise.questions.isEmpty());

    const QJsonObject data {{QStringLiteral("questionWraps"), QJsonArray {QJsonObject()}}};
    const QuestionInfo question = ExerciseCodec::fromFetchReply(data).questions.value(0);
    QCOMPARE(question.score, 0.0);
    QCOMPARE(question.questiontypeId, 0);
    QVERIFY(question.knowledgeIds.isEmpty());
    QVERIFY(question.answers.isEmpty());
}

void tst_ExerciseCodec::transferCollectsCodeTextInOrder()
{
    ExerciseInfo exercise = choiceExercise();
    exercise.questions[0].answers[0].content = QStringLiteral("A"); // letters: not code text
    QuestionInfo second;
    second.questionContent = QStringLiteral("plain");
    second.questionExplain = QStringLiteral("<doc>e2</doc>");
    second.answers << AnswerInfo {0, QStringLiteral("<doc>t</doc>")};
    exercise.questions << second;
    QCOMPARE(ExerciseCodec::transferTexts(exercise),
        QStringList({"<doc>题干</doc>", "<doc>q</doc>", "<doc>a</doc>", "<doc>b</doc>",
            "<doc>c</doc>", "<doc>e</doc>", "<doc>t</doc>", "<doc>e2</doc>"}));
}

void tst_ExerciseCodec::transferWithNothingToSend()
{
    ExerciseInfo exercise;
    QuestionInfo question;
    question.questionContent = QStringLiteral("<p>html</p>");
    question.answers << AnswerInfo {0, QStringLiteral("AB")};
    exercise.questions << question;
    QVERIFY(ExerciseCodec::transferTexts(exercise).isEmpty());
}

void tst_ExerciseCodec::transferredTextsGoBackInOrder()
{
    ExerciseInfo exercise = choiceExercise();
    ExerciseCodec::applyTransferredTexts(
        exercise, {"<p>stem</p>", "<p>q</p>", "<p>a</p>"}); // fewer than the fields
    QCOMPARE(exercise.content, QStringLiteral("<p>stem</p>"));
    QCOMPARE(exercise.questions[0].questionContent, QStringLiteral("<p>q</p>"));
    QCOMPARE(exercise.questions[0].options[0].content, QStringLiteral("<p>a</p>"));
    QCOMPARE(exercise.questions[0].options[1].content, QStringLiteral("<doc>b</doc>"));
    QCOMPARE(exercise.questions[0].answers[0].content, QStringLiteral("A"));
}

QTEST_GUILESS_MAIN(tst_ExerciseCodec)
#include "tst_exercisecodec.moc"
