#pragma once

#include <QString>

// One choice option of a listed exercise, as the list reply gives it.
struct ExerciseSummaryOption {
    QString content; // HTML
    QString option; // the label shown before the content, "A"
};
