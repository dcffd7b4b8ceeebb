#include "model/exercisecodec.h"

#include "editor/codetextformat.h"
#include "model/jsonfields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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
    exercise.difficultyDegree = JsonFields::toInt(data, QStringLiteral("difficutyLevel"));
    const QJsonObject exerciseObject = data.value(QStringLiteral("exercise")).toObject();
    exercise.id = JsonFields::toInt(exerciseObject, QStringLiteral("id"));
    exercise.exerciseTypeId = JsonFields::toInt(exerciseObject, QStringLiteral("exerciseTypeId"));
    exercise.subjectId = JsonFields::toInt(exerciseObject, QStringLiteral("subjectId"));
    exercise.folderId = JsonFields::toInt(exerciseObject, QStringLiteral("folderId"));
    exercise.content = JsonFields::toText(exerciseObject, QStringLiteral("content"));

    const QJsonArray wraps = data.value(QStringLiteral("questionWraps")).toArray();
    for (const QJsonValue &wrapValue : wraps) {
        const QJsonObject wrap = wrapValue.toObject();
        const QJsonObject q = wrap.value(QStringLiteral("question")).toObject();
        QuestionInfo question;
        question.questionContent = JsonFields::toText(q, QStringLiteral("questionContent"));
        const QString optionContent = JsonFields::toText(q, QStringLiteral("optionContent"));
        if (!optionContent.isEmpty()) {
            QJsonParseError error;
            const QJsonDocument options = QJsonDocument::fromJson(optionContent.toUtf8(), &error);
            if (error.error == QJsonParseError::NoError) {
                const QJsonArray array = options.array();
                for (const QJsonValue &optionValue : array) {
                    const QJsonObject o = optionValue.toObject();
                    OptionInfo option;
                    option.content = JsonFields::toText(o, QStringLiteral("option_content"));
                    option.index = JsonFields::toInt(o, QStringLiteral("option_index"));
                    question.options << option;
                }
            }
        }
        question.questionExplain = JsonFields::toText(q, QStringLiteral("questionExplain"));
        question.questiontypeId = JsonFields::toInt(q, QStringLiteral("questiontypeId"));
        question.knowledgeIds = JsonFields::toText(q, QStringLiteral("knowledgeIds"));
        question.score = q.value(QStringLiteral("score")).toVariant().toDouble();
        question.questionIndex = JsonFields::toInt(q, QStringLiteral("questionIndex"));
        const QJsonArray answers = wrap.value(QStringLiteral("answers")).toArray();
        for (const QJsonValue &answerValue : answers) {
            const QJsonObject a = answerValue.toObject().value(QStringLiteral("answer")).toObject();
            AnswerInfo answer;
            answer.answerIdx = JsonFields::toInt(a, QStringLiteral("answerIdx"));
            answer.content = JsonFields::toText(a, QStringLiteral("content"));
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
