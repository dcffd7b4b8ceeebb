#pragma once

#include "composer/exercisequestionpanel.h"

namespace Ui {
class ExerciseQuestionStemWidget;
}

// The exercise stem (题干).
class ExerciseQuestionStemWidget : public ExerciseQuestionPanel
{
    Q_OBJECT

public:
    explicit ExerciseQuestionStemWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionStemWidget() override;

private:
    Ui::ExerciseQuestionStemWidget *ui;
};
