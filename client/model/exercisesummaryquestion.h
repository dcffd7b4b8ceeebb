#pragma once

#include "model/exercisesummaryoption.h"

#include <QList>

// One sub-question of a listed exercise.
struct ExerciseSummaryQuestion {
    QString questionContent; // HTML
    QList<ExerciseSummaryOption> options;
};
