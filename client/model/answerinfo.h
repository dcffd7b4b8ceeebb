#pragma once

#include <QString>

// One answer of a sub-question: the letters of the correct options, or a free text.
struct AnswerInfo {
    int answerIdx = 0;
    QString content; // code text
};
