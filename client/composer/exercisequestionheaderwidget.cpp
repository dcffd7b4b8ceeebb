#include "composer/exercisequestionheaderwidget.h"
#include "ui_exercisequestionheaderwidget.h"

#include <QDoubleValidator>

ExerciseQuestionHeaderWidget::ExerciseQuestionHeaderWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExerciseQuestionHeaderWidget)
{
    ui->setupUi(this);
    auto validator = new QDoubleValidator(0, 100, 1, ui->lineEditScore);
    validator->setNotation(QDoubleValidator::StandardNotation);
    ui->lineEditScore->setValidator(validator);
}

ExerciseQuestionHeaderWidget::~ExerciseQuestionHeaderWidget()
{
    delete ui;
}

void ExerciseQuestionHeaderWidget::setQuestionTypeNames(const QStringList &names)
{
    ui->comboBox->clear();
    ui->comboBox->addItems(names);
}

int ExerciseQuestionHeaderWidget::currentIndex() const
{
    return ui->comboBox->currentIndex();
}

void ExerciseQuestionHeaderWidget::setCurrentIndex(int index)
{
    ui->comboBox->setCurrentIndex(index);
}

void ExerciseQuestionHeaderWidget::setScore(double score)
{
    ui->lineEditScore->setText(QString::number(score, 'g', 6));
}

QString ExerciseQuestionHeaderWidget::scoreText() const
{
    return ui->lineEditScore->text();
}

KnowledgeButtonWidget *ExerciseQuestionHeaderWidget::knowledgeButtonWidget() const
{
    return ui->knowledgeButtonWidget;
}

void ExerciseQuestionHeaderWidget::on_comboBox_activated(int index)
{
    emit selectedQuestionType(index);
}
