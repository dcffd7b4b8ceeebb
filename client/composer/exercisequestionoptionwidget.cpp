#include "composer/exercisequestionoptionwidget.h"
#include "ui_exercisequestionoptionwidget.h"

#include <QCheckBox>
#include <QRadioButton>

ExerciseQuestionOptionWidget::ExerciseQuestionOptionWidget(QWidget *parent)
    : ExerciseQuestionPanel(parent)
    , ui(new Ui::ExerciseQuestionOptionWidget)
{
    ui->setupUi(this);
    setParts(ui->groupBox, ui->widget);
    m_radio = new QRadioButton(QStringLiteral("正确答案"), this);
    m_check = new QCheckBox(QStringLiteral("正确答案"), this);
    ui->widget->addToolbarWidget(m_radio);
    ui->widget->addToolbarWidget(m_check);
    setSingle(true);
}

ExerciseQuestionOptionWidget::~ExerciseQuestionOptionWidget()
{
    delete ui;
}

void ExerciseQuestionOptionWidget::setSingle(bool single)
{
    m_single = single;
    m_radio->setVisible(single);
    m_check->setVisible(!single);
}

bool ExerciseQuestionOptionWidget::isChecked() const
{
    return m_single ? m_radio->isChecked() : m_check->isChecked();
}

void ExerciseQuestionOptionWidget::setChecked(bool checked)
{
    if (m_single)
        m_radio->setChecked(checked);
    else
        m_check->setChecked(checked);
}
