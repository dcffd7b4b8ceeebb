#pragma once

#include "composer/exercisequestionpanel.h"

namespace Ui {
class ExerciseQuestionContentWidget;
}

// The content of a sub-question (小问内容).
class ExerciseQuestionContentWidget : public ExerciseQuestionPanel
{
    Q_OBJECT

public:
    explicit ExerciseQuestionContentWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionContentWidget() override;

private:
    Ui::ExerciseQuestionContentWidget *ui;
};
