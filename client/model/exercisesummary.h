#pragma once

#include "model/exercisesummaryquestion.h"

#include <QList>
#include <QStringList>

class QJsonObject;

// One exercise of the list reply, as its card shows it. The texts hold the server's HTML.
struct ExerciseSummary {
    int groupId = 0;
    QString recordTime;
    QString recorder;
    QString exerciseContent;
    QStringList answers;
    QStringList analysis;
    int exerciseId = 0;
    int exerciseTypeId = 0;
    int difficultyDegree = 0;
    QString knowledge;
    QList<ExerciseSummaryQuestion> questions;

    // Missing texts read as empty, missing numbers as 0.
    static ExerciseSummary fromJson(const QJsonObject &item);
};

using ExerciseSummaryList = QList<ExerciseSummary>;
