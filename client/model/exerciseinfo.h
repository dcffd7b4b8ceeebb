#pragma once

#include "model/questioninfo.h"

// One exercise as the composer gathers it and the server stores it; copied whole.
struct ExerciseInfo {
    int id = -1; // -1 until the server has it
    int exerciseTypeId = 0;
    QString exerciseTypeName;
    QString content; // the stem, code text
    int subjectId = 0;
    int difficultyDegree = 0;
    QList<QuestionInfo> questions;
    int folderId = 0;
    QString knowledgeNames;
};
