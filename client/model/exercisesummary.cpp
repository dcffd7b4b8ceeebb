#include "model/exercisesummary.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

int intValue(const QJsonObject &object, const QString &key)
{
    return object.value(key).toVariant().toInt();
}

QString textValue(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

QStringList textList(const QJsonObject &object, const QString &key)
{
    QStringList texts;
    const QJsonArray array = object.value(key).toArray();
    for (const QJsonValue &value : array)
        texts << value.toVariant().toString();
    return texts;
}

} // namespace

ExerciseSummary ExerciseSummary::fromJson(const QJsonObject &item)
{
    ExerciseSummary summary;
    summary.groupId = intValue(item, QStringLiteral("groupId"));
    summary.exerciseId = intValue(item, QStringLiteral("exerciseId"));
    summary.recordTime = textValue(item, QStringLiteral("recordTime"));
    summary.recorder = textValue(item, QStringLiteral("recorder"));
    summary.exerciseContent = textValue(item, QStringLiteral("exerciseContent"));
    summary.exerciseTypeId = intValue(item, QStringLiteral("exerciseTypeId"));
    summary.difficultyDegree = intValue(item, QStringLiteral("difficultyDegree"));
    summary.knowledge = textValue(item, QStringLiteral("knowledge"));
    summary.answers = textList(item, QStringLiteral("answers"));
    summary.analysis = textList(item, QStringLiteral("analysis"));

    const QJsonArray questions = item.value(QStringLiteral("exerciseQuestionList")).toArray();
    for (const QJsonValue &questionValue : questions) {
        const QJsonObject questionObject = questionValue.toObject();
        ExerciseSummaryQuestion question;
        question.questionContent = textValue(questionObject, QStringLiteral("questionContent"));
        const QJsonArray options = questionObject.value(QStringLiteral("option")).toArray();
        for (const QJsonValue &optionValue : options) {
            const QJsonObject optionObject = optionValue.toObject();
            ExerciseSummaryOption option;
            option.content = textValue(optionObject, QStringLiteral("content"));
            option.option = textValue(optionObject, QStringLiteral("option"));
            question.options << option;
        }
        summary.questions << question;
    }
    return summary;
}
