#include "composer/exercisequestionanalysiswidget.h"
#include "ui_exercisequestionanalysiswidget.h"

ExerciseQuestionAnalysisWidget::ExerciseQuestionAnalysisWidget(QWidget *parent)
    : ExerciseQuestionPanel(parent)
    , ui(new Ui::ExerciseQuestionAnalysisWidget)
{
    ui->setupUi(this);
    setParts(ui->groupBox, ui->widget);
}

ExerciseQuestionAnalysisWidget::~ExerciseQuestionAnalysisWidget()
{
    delete ui;
}
