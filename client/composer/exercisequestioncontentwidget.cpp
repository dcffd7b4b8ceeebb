#include "composer/exercisequestioncontentwidget.h"
#include "ui_exercisequestioncontentwidget.h"

ExerciseQuestionContentWidget::ExerciseQuestionContentWidget(QWidget *parent)
    : ExerciseQuestionPanel(parent)
    , ui(new Ui::ExerciseQuestionContentWidget)
{
    ui->setupUi(this);
    setParts(ui->groupBox, ui->widget);
}

ExerciseQuestionContentWidget::~ExerciseQuestionContentWidget()
{
    delete ui;
}
