#pragma once

#include <QString>

// One choice option of a sub-question.
struct OptionInfo {
    int index = 0; // 0 for option A
    QString content; // code text
    bool isAnswer = false;
};
