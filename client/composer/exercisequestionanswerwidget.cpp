#include "composer/exercisequestionanswerwidget.h"
#include "ui_exercisequestionanswerwidget.h"

ExerciseQuestionAnswerWidget::ExerciseQuestionAnswerWidget(QWidget *parent)
    : ExerciseQuestionPanel(parent)
    , ui(new Ui::ExerciseQuestionAnswerWidget)
{
    ui->setupUi(this);
    setParts(nullptr, ui->widget);
}

ExerciseQuestionAnswerWidget::~ExerciseQuestionAnswerWidget()
{
    delete ui;
}
