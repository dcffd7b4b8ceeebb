#include "model/exercisecodec.h"

#include "editor/codetextformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int intOf(const QJsonObject &object, const QString &key)
{
    return object.value(key).toVariant().toInt();
}

QString textOf(const QJsonObject &object, const QString &key)
{
    return object.value(key).toVariant().toString();
}

// Every rich-text field of the exercise in transfer order.
QList<QString *> richTextFields(ExerciseInfo &exercise)
{
    QList<QString *> fields = {&exercise.content};
    for (QuestionInfo &question : exercise.questions) {
        fields << &question.questionContent;
        for (OptionInfo &option : question.options)
            fields << &option.content;
        for (AnswerInfo &answer : question.answers)
            fields << &answer.content;
        fields << &question.questionExplain;
    }
    return fields;
}

} // namespace

QVariantMap ExerciseCodec::addBody(const ExerciseInfo &exercise, int modifierId)
{
    return body(exercise, modifierId, false);
}

QVariantMap ExerciseCodec::modifyBody(const ExerciseInfo &exercise, int modifierId)
{
    return body(exercise, modifierId, true);
}

QVariantMap ExerciseCodec::body(const ExerciseInfo &exercise, int modifierId, bool modify)
{
    QVariantMap exerciseObject;
    exerciseObject.insert(QStringLiteral("exerciseTypeId"), exercise.exerciseTypeId);
    exerciseObject.insert(QStringLiteral("subjectId"), exercise.subjectId);
    exerciseObject.insert(QStringLiteral("difficultyDegree"), exercise.difficultyDegree);
    exerciseObject.insert(QStringLiteral("folderId"), exercise.folderId);
    exerciseObject.insert(QStringLiteral("modifierId"), modifierId);
    exerciseObject.insert(QStringLiteral("content"), exercise.content);
    if (modify)
        exerciseObject.insert(QStringLiteral("id"), exercise.id);

    QVariantList wraps;
    for (const QuestionInfo &question : exercise.questions) {
        QVariantMap questionObject;
        questionObject.insert(QStringLiteral("questionIndex"), question.questionIndex);
        questionObject.insert(QStringLiteral("questiontypeId"), question.questiontypeId);
        questionObject.insert(QStringLiteral("knowledgeIds"), question.knowledgeIds);
        questionObject.insert(QStringLiteral("score"), question.score);
        questionObject.insert(QStringLiteral("questionContent"), question.questionContent);
        questionObject.insert(QStringLiteral("questionExplain"), question.questionExplain);
        if (!question.options.isEmpty()) {
            QJsonArray options;
            for (const OptionInfo &option : question.options) {
                QJsonObject optionObject {{QStringLiteral("option_index"), option.index},
                    {QStringLiteral("option_content"), option.content}};
                if (modify)
                    optionObject.insert(QStringLiteral("isAnswer"), option.isAnswer);
                options << optionObject;
            }
            // sent as a string nested in the body, not as an array
            questionObject.insert(QStringLiteral("optionContent"),
                QString::fromUtf8(QJsonDocument(options).toJson(QJsonDocument::Compact)));
        }
        QVariantList answers;
        for (const AnswerInfo &answer : question.answers) {
            const QVariantMap answerObject = {{QStringLiteral("answerIdx"), answer.answerIdx},
                {QStringLiteral("content"), answer.content}};
            answers << QVariantMap {{QStringLiteral("answer"), answerObject}};
        }
        wraps << QVariantMap {
            {QStringLiteral("question"), questionObject}, {QStringLiteral("answers"), answers}};
    }

    return {{QStringLiteral("exercise"), exerciseObject},
        {QStringLiteral("subjectId"), exercise.subjectId},
        {QStringLiteral("questionWraps"), wraps}};
}

ExerciseInfo ExerciseCodec::fromFetchReply(const QJsonObject &data)
{
    ExerciseInfo exercise;
    exercise.difficultyDegree = intOf(data, QStringLiteral("difficutyLevel"));
    const QJsonObject exerciseObject = data.value(QStringLiteral("exercise")).toObject();
    exercise.id = intOf(exerciseObject, QStringLiteral("id"));
    exercise.exerciseTypeId = intOf(exerciseObject, QStringLiteral("exerciseTypeId"));
    exercise.subjectId = intOf(exerciseObject, QStringLiteral("subjectId"));
    exercise.folderId = intOf(exerciseObject, QStringLiteral("folderId"));
    exercise.content = textOf(exerciseObject, QStringLiteral("content"));

    const QJsonArray wraps = data.value(QStringLiteral("questionWraps")).toArray();
    for (const QJsonValue &wrapValue : wraps) {
        const QJsonObject wrap = wrapValue.toObject();
        const QJsonObject q = wrap.value(QStringLiteral("question")).toObject();
        QuestionInfo question;
        question.questionContent = textOf(q, QStringLiteral("questionContent"));
        const QString optionContent = textOf(q, QStringLiteral("optionContent"));
        if (!optionContent.isEmpty()) {
            QJsonParseError error;
            const QJsonDocument options = QJsonDocument::fromJson(optionContent.toUtf8(), &error);
            if (error.error == QJsonParseError::NoError) {
                const QJsonArray array = options.array();
                for (const QJsonValue &optionValue : array) {
                    const QJsonObject o = optionValue.toObject();
                    OptionInfo option;
                    option.content = textOf(o, QStringLiteral("option_content"));
                    option.index = intOf(o, QStringLiteral("option_index"));
                    question.options << option;
                }
            }
        }
        question.questionExplain = textOf(q, QStringLiteral("questionExplain"));
        question.questiontypeId = intOf(q, QStringLiteral("questiontypeId"));
        question.knowledgeIds = textOf(q, QStringLiteral("knowledgeIds"));
        question.score = q.value(QStringLiteral("score")).toVariant().toDouble();
        question.questionIndex = intOf(q, QStringLiteral("questionIndex"));
        const QJsonArray answers = wrap.value(QStringLiteral("answers")).toArray();
        for (const QJsonValue &answerValue : answers) {
            const QJsonObject a = answerValue.toObject().value(QStringLiteral("answer")).toObject();
            AnswerInfo answer;
            answer.answerIdx = intOf(a, QStringLiteral("answerIdx"));
            answer.content = textOf(a, QStringLiteral("content"));
            question.answers << answer;
        }
        exercise.questions << question;
    }
    return exercise;
}

QStringList ExerciseCodec::transferTexts(const ExerciseInfo &exercise)
{
    ExerciseInfo copy = exercise;
    QStringList texts;
    const QList<QString *> fields = richTextFields(copy);
    for (const QString *field : fields) {
        if (CodeTextFormat::isCodeText(*field))
            texts << *field;
    }
    return texts;
}

void ExerciseCodec::applyTransferredTexts(ExerciseInfo &exercise, QStringList texts)
{
    const QList<QString *> fields = richTextFields(exercise);
    for (QString *field : fields) {
        if (texts.isEmpty())
            break;
        if (CodeTextFormat::isCodeText(*field))
            *field = texts.takeFirst();
    }
}
