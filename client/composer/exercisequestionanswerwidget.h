#pragma once

#include "composer/exercisequestionpanel.h"

namespace Ui {
class ExerciseQuestionAnswerWidget;
}

// One free-text answer of a sub-question.
class ExerciseQuestionAnswerWidget : public ExerciseQuestionPanel
{
    Q_OBJECT

public:
    explicit ExerciseQuestionAnswerWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionAnswerWidget() override;

private:
    Ui::ExerciseQuestionAnswerWidget *ui;
};
