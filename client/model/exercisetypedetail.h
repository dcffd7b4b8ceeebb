#pragma once

#include "model/questiontypeinfo.h"

class QJsonObject;

// The detail of the composer's current exercise type.
struct ExerciseTypeDetail {
    int exerciseId = 0; // the exercise type's id, under this member name
    QString name;
    int provinceId = 0;
    int subjectCode = 0;
    bool hasExerciseContentCode = false;
    bool hasMoreQuestionCode = false;
    QuestionTypeInfoList questionTypes;

    // Question types without a sort value first in reply order, then by ascending sort value,
    // the later entry first among equals.
    static ExerciseTypeDetail fromJson(const QJsonObject &data);
};
