#include "model/exercisetypedetail.h"

#include "model/jsonfields.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMultiMap>
#include <QVariant>

ExerciseTypeDetail ExerciseTypeDetail::fromJson(const QJsonObject &data)
{
    ExerciseTypeDetail detail;
    detail.exerciseId = JsonFields::toInt(data, QStringLiteral("exerciseId"));
    detail.hasExerciseContentCode
        = data.value(QStringLiteral("hasExerciseContentCode")).toVariant().toBool();
    detail.hasMoreQuestionCode
        = data.value(QStringLiteral("hasMoreQuestionCode")).toVariant().toBool();
    detail.name = data.value(QStringLiteral("name")).toString();
    detail.provinceId = JsonFields::toInt(data, QStringLiteral("provinceId"));
    detail.subjectCode = JsonFields::toInt(data, QStringLiteral("subjectCode"));

    QuestionTypeInfoList unsorted;
    QMultiMap<int, QuestionTypeInfo> sorted;
    const QJsonArray list = data.value(QStringLiteral("exerciseQuestiontypeList")).toArray();
    for (const QJsonValue &value : list) {
        const QJsonObject object = value.toObject();
        QuestionTypeInfo type;
        type.questionTypeId = JsonFields::toInt(object, QStringLiteral("questionTypeId"));
        type.exercisetypeId = JsonFields::toInt(object, QStringLiteral("exercisetypeId"));
        type.typeCode = JsonFields::toInt(object, QStringLiteral("typeCode"));
        type.typeDesc = object.value(QStringLiteral("typeDesc")).toString();
        type.score = object.value(QStringLiteral("score")).toVariant().toDouble();
        type.hasQuestionContentCode
            = object.value(QStringLiteral("hasQuestionContentCode")).toVariant().toBool();
        type.optionNum = JsonFields::toInt(object, QStringLiteral("optionNum"));
        type.questionTypeSort = JsonFields::toInt(object, QStringLiteral("questionTypeSort"));
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
