#include "model/exercisesummary.h"

#include "model/jsonfields.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QString textValue(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

} // namespace

ExerciseSummary ExerciseSummary::fromJson(const QJsonObject &item)
{
    ExerciseSummary summary;
    summary.groupId = JsonFields::toInt(item, QStringLiteral("groupId"));
    summary.exerciseId = JsonFields::toInt(item, QStringLiteral("exerciseId"));
    summary.recordTime = textValue(item, QStringLiteral("recordTime"));
    summary.recorder = textValue(item, QStringLiteral("recorder"));
    summary.exerciseContent = textValue(item, QStringLiteral("exerciseContent"));
    summary.exerciseTypeId = JsonFields::toInt(item, QStringLiteral("exerciseTypeId"));
    summary.difficultyDegree = JsonFields::toInt(item, QStringLiteral("difficultyDegree"));
    summary.knowledge = textValue(item, QStringLiteral("knowledge"));
    summary.answers = JsonFields::toTextList(item, QStringLiteral("answers"));
    summary.analysis = JsonFields::toTextList(item, QStringLiteral("analysis"));

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
