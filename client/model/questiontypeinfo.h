#pragma once

#include <QList>
#include <QString>

// One question type an exercise type's sub-questions may take.
struct QuestionTypeInfo {
    int questionTypeId = 0;
    int exercisetypeId = 0;
    int typeCode = 0; // 1: single-answer choice; otherwise multiple-answer when it has options
    QString typeDesc;
    double score = 0;
    bool hasQuestionContentCode = false;
    int optionNum = 0;
    int questionTypeSort = 0;
};

using QuestionTypeInfoList = QList<QuestionTypeInfo>;
