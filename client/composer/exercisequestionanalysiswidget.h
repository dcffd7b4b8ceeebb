#pragma once

#include "composer/exercisequestionpanel.h"

namespace Ui {
class ExerciseQuestionAnalysisWidget;
}

// The analysis of a sub-question (小问解析).
class ExerciseQuestionAnalysisWidget : public ExerciseQuestionPanel
{
    Q_OBJECT

public:
    explicit ExerciseQuestionAnalysisWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionAnalysisWidget() override;

private:
    Ui::ExerciseQuestionAnalysisWidget *ui;
};
