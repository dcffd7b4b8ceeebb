#include "composer/exerciseheaderwidget.h"
#include "ui_exerciseheaderwidget.h"

#include "browser/groupnameprompt.h"

ExerciseHeaderWidget::ExerciseHeaderWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExerciseHeaderWidget)
{
    ui->setupUi(this);
}

ExerciseHeaderWidget::~ExerciseHeaderWidget()
{
    delete ui;
}

void ExerciseHeaderWidget::setGroups(const GroupInfoList &groups)
{
    m_groups = groups;
    ui->groupComboBox->clear();
    for (const GroupInfo &group : groups)
        ui->groupComboBox->addItem(group.groupName);
}

void ExerciseHeaderWidget::setExerciseTypes(const ExerciseTypeInfoList &types)
{
    ui->exerciseTypeComboBox->clear();
    for (const ExerciseTypeInfo &type : types)
        ui->exerciseTypeComboBox->addItem(type.name);
    if (ui->exerciseTypeComboBox->count() > 0)
        emit selectExerciseType(0);
}

int ExerciseHeaderWidget::groupIndex() const
{
    return ui->groupComboBox->currentIndex();
}

void ExerciseHeaderWidget::setGroupIndex(int index)
{
    ui->groupComboBox->setCurrentIndex(index);
}

int ExerciseHeaderWidget::exerciseTypeIndex() const
{
    return ui->exerciseTypeComboBox->currentIndex();
}

void ExerciseHeaderWidget::setExerciseTypeIndex(int index)
{
    ui->exerciseTypeComboBox->setCurrentIndex(index);
}

int ExerciseHeaderWidget::rate() const
{
    return ui->rateWidget->rating();
}

void ExerciseHeaderWidget::setRate(int rate)
{
    ui->rateWidget->setRating(rate);
}

void ExerciseHeaderWidget::on_exerciseTypeComboBox_activated(int index)
{
    emit selectExerciseType(index);
}

void ExerciseHeaderWidget::on_addPushButton_clicked()
{
    const QString name = GroupNamePrompt::askNewName(this, m_groups);
    if (!name.isEmpty())
        emit addGroup(name);
}
