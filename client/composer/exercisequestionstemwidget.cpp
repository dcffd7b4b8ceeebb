#include "composer/exercisequestionstemwidget.h"
#include "ui_exercisequestionstemwidget.h"

ExerciseQuestionStemWidget::ExerciseQuestionStemWidget(QWidget *parent)
    : ExerciseQuestionPanel(parent)
    , ui(new Ui::ExerciseQuestionStemWidget)
{
    ui->setupUi(this);
    setParts(ui->groupBox, ui->widget);
}

ExerciseQuestionStemWidget::~ExerciseQuestionStemWidget()
{
    delete ui;
}
