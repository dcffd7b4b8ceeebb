#pragma once

#include "model/answerinfo.h"
#include "model/optioninfo.h"

#include <QList>

// One sub-question (小问) of an exercise.
struct QuestionInfo {
    int questiontypeId = 0;
    int questionTypeSort = 0;
    int questionIndex = 0; // 1-based tab position when gathered
    QString knowledgeIds; // "12, 40"
    QString knowledgeNames;
    double score = 0;
    QString questionContent; // code text
    QString questionExplain; // code text
    QList<OptionInfo> options;
    QList<AnswerInfo> answers;
};
