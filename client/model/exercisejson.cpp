#include "model/exercisejson.h"

#include <QJsonArray>

namespace {

// Reads the members strictly: a draft that was damaged or written by something else must be
// noticed rather than half read.
class Reader
{
public:
    explicit Reader(const QJsonObject &object)
        : m_object(object)
    { }
    bool ok() const { return m_ok; }
    int integer(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        if (!value.isDouble() || value.toDouble() != double(value.toInt()))
            m_ok = false;
        return value.toInt();
    }
    double number(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        m_ok = m_ok && value.isDouble();
        return value.toDouble();
    }
    bool boolean(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        m_ok = m_ok && value.isBool();
        return value.toBool();
    }
    QString text(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        m_ok = m_ok && value.isString();
        return value.toString();
    }
    QJsonArray array(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        m_ok = m_ok && value.isArray();
        return value.toArray();
    }
    void fail() { m_ok = false; }

private:
    QJsonObject m_object;
    bool m_ok = true;
};

QJsonObject questionToJson(const QuestionInfo &question)
{
    QJsonArray options;
    for (const OptionInfo &option : question.options)
        options << QJsonObject {{QStringLiteral("index"), option.index},
            {QStringLiteral("content"), option.content},
            {QStringLiteral("isAnswer"), option.isAnswer}};
    QJsonArray answers;
    for (const AnswerInfo &answer : question.answers)
        answers << QJsonObject {{QStringLiteral("answerIdx"), answer.answerIdx},
            {QStringLiteral("content"), answer.content}};
    return {{QStringLiteral("questiontypeId"), question.questiontypeId},
        {QStringLiteral("questionTypeSort"), question.questionTypeSort},
        {QStringLiteral("questionIndex"), question.questionIndex},
        {QStringLiteral("knowledgeIds"), question.knowledgeIds},
        {QStringLiteral("knowledgeNames"), question.knowledgeNames},
        {QStringLiteral("score"), question.score},
        {QStringLiteral("questionContent"), question.questionContent},
        {QStringLiteral("questionExplain"), question.questionExplain},
        {QStringLiteral("options"), options}, {QStringLiteral("answers"), answers}};
}

bool questionFromJson(const QJsonValue &value, QuestionInfo *question)
{
    if (!value.isObject())
        return false;
    Reader reader(value.toObject());
    question->questiontypeId = reader.integer(QStringLiteral("questiontypeId"));
    question->questionTypeSort = reader.integer(QStringLiteral("questionTypeSort"));
    question->questionIndex = reader.integer(QStringLiteral("questionIndex"));
    question->knowledgeIds = reader.text(QStringLiteral("knowledgeIds"));
    question->knowledgeNames = reader.text(QStringLiteral("knowledgeNames"));
    question->score = reader.number(QStringLiteral("score"));
    question->questionContent = reader.text(QStringLiteral("questionContent"));
    question->questionExplain = reader.text(QStringLiteral("questionExplain"));
    for (const QJsonValue &item : reader.array(QStringLiteral("options"))) {
        Reader member(item.toObject());
        if (!item.isObject())
            reader.fail();
        OptionInfo option;
        option.index = member.integer(QStringLiteral("index"));
        option.content = member.text(QStringLiteral("content"));
        option.isAnswer = member.boolean(QStringLiteral("isAnswer"));
        if (!member.ok())
            reader.fail();
        question->options << option;
    }
    for (const QJsonValue &item : reader.array(QStringLiteral("answers"))) {
        Reader member(item.toObject());
        if (!item.isObject())
            reader.fail();
        AnswerInfo answer;
        answer.answerIdx = member.integer(QStringLiteral("answerIdx"));
        answer.content = member.text(QStringLiteral("content"));
        if (!member.ok())
            reader.fail();
        question->answers << answer;
    }
    return reader.ok();
}

} // namespace

QJsonObject ExerciseJson::toJson(const ExerciseInfo &exercise)
{
    QJsonArray questions;
    for (const QuestionInfo &question : exercise.questions)
        questions << questionToJson(question);
    return {{QStringLiteral("id"), exercise.id},
        {QStringLiteral("exerciseTypeId"), exercise.exerciseTypeId},
        {QStringLiteral("exerciseTypeName"), exercise.exerciseTypeName},
        {QStringLiteral("content"), exercise.content},
        {QStringLiteral("subjectId"), exercise.subjectId},
        {QStringLiteral("difficultyDegree"), exercise.difficultyDegree},
        {QStringLiteral("questions"), questions}, {QStringLiteral("folderId"), exercise.folderId},
        {QStringLiteral("knowledgeNames"), exercise.knowledgeNames}};
}

bool ExerciseJson::fromJson(const QJsonObject &object, ExerciseInfo *exercise)
{
    Reader reader(object);
    ExerciseInfo read;
    read.id = reader.integer(QStringLiteral("id"));
    read.exerciseTypeId = reader.integer(QStringLiteral("exerciseTypeId"));
    read.exerciseTypeName = reader.text(QStringLiteral("exerciseTypeName"));
    read.content = reader.text(QStringLiteral("content"));
    read.subjectId = reader.integer(QStringLiteral("subjectId"));
    read.difficultyDegree = reader.integer(QStringLiteral("difficultyDegree"));
    for (const QJsonValue &value : reader.array(QStringLiteral("questions"))) {
        QuestionInfo question;
        if (!questionFromJson(value, &question))
            return false;
        read.questions << question;
    }
    read.folderId = reader.integer(QStringLiteral("folderId"));
    read.knowledgeNames = reader.text(QStringLiteral("knowledgeNames"));
    if (!reader.ok())
        return false;
    *exercise = read;
    return true;
}
