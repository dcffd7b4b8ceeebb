#pragma once

#include <QList>
#include <QString>

// One exercise type of the catalogue the teacher may enter.
struct ExerciseTypeInfo {
    int id = 0;
    int provinceId = 0;
    QString name;
};

using ExerciseTypeInfoList = QList<ExerciseTypeInfo>;
