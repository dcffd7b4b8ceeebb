#include "model/exercisetypedetail.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMultiMap>
#include <QVariant>

namespace {

int intOf(const QJsonObject &object, const QString &key)
{
    return object.value(key).toVariant().toInt();
}

} // namespace

ExerciseTypeDetail ExerciseTypeDetail::fromJson(const QJsonObject &data)
{
    ExerciseTypeDetail detail;
    detail.exerciseId = intOf(data, QStringLiteral("exerciseId"));
    detail.hasExerciseContentCode
        = data.value(QStringLiteral("hasExerciseContentCode")).toVariant().toBool();
    detail.hasMoreQuestionCode
        = data.value(QStringLiteral("hasMoreQuestionCode")).toVariant().toBool();
    detail.name = data.value(QStringLiteral("name")).toString();
    detail.provinceId = intOf(data, QStringLiteral("provinceId"));
    detail.subjectCode = intOf(data, QStringLiteral("subjectCode"));

    QuestionTypeInfoList unsorted;
    QMultiMap<int, QuestionTypeInfo> sorted;
    const QJsonArray list = data.value(QStringLiteral("exerciseQuestiontypeList")).toArray();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        QuestionTypeInfo type;
        type.questionTypeId = intOf(object, QStringLiteral("questionTypeId"));
        type.exercisetypeId = intOf(object, QStringLiteral("exercisetypeId"));
        type.typeCode = intOf(object, QStringLiteral("typeCode"));
        type.typeDesc = object.value(QStringLiteral("typeDesc")).toString();
        type.score = object.value(QStringLiteral("score")).toVariant().toDouble();
        type.hasQuestionContentCode
            = object.value(QStringLiteral("hasQuestionContentCode")).toVariant().toBool();
        type.optionNum = intOf(object, QStringLiteral("optionNum"));
        type.questionTypeSort = intOf(object, QStringLiteral("questionTypeSort"));
        if (type.questionTypeSort == 0)
            unsorted << type;
        else
            sorted.insert(type.questionTypeSort, type); // goes before earlier equal keys
    }
    detail.questionTypes = unsorted;
    for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
        detail.questionTypes << it.value();
    return detail;
}
