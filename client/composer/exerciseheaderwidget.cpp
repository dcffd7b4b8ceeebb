#include "composer/exerciseheaderwidget.h"
#include "ui_exerciseheaderwidget.h"

#include "browser/groupnameprompt.h"

ExerciseHeaderWidget::ExerciseHeaderWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExerciseHeaderWidget)
{
    ui->setupUi(this);
    connect(ui->groupComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &ExerciseHeaderWidget::rememberChosenGroup);
    connect(
        ui->importPaperPushButton, &QPushButton::clicked, this, &ExerciseHeaderWidget::importPaper);
    connect(ui->previousPaperPushButton, &QPushButton::clicked, this,
        &ExerciseHeaderWidget::previousPaper);
    connect(ui->nextPaperPushButton, &QPushButton::clicked, this, &ExerciseHeaderWidget::nextPaper);
    connect(ui->skipPaperPushButton, &QPushButton::clicked, this, &ExerciseHeaderWidget::skipPaper);
    ui->paperNavigationWidget->hide();
}

ExerciseHeaderWidget::~ExerciseHeaderWidget()
{
    delete ui;
}

void ExerciseHeaderWidget::setGroups(const GroupInfoList &groups)
{
    // every reply of the groups refills the list; the teacher's next exercise must still go
    // where the teacher chose, so the choice is found again by id
    m_groups = groups;
    m_refilling = true;
    ui->groupComboBox->clear();
    int row = groups.isEmpty() ? -1 : 0;
    for (int i = 0; i < groups.size(); ++i) {
        ui->groupComboBox->addItem(groups.at(i).groupName);
        if (groups.at(i).groupId == m_chosenGroupId)
            row = i;
    }
    ui->groupComboBox->setCurrentIndex(row);
    m_refilling = false;
    if (row >= 0)
        m_chosenGroupId = groups.at(row).groupId;
}

void ExerciseHeaderWidget::rememberChosenGroup(int index)
{
    if (!m_refilling && index >= 0 && index < m_groups.size())
        m_chosenGroupId = m_groups.at(index).groupId;
}

void ExerciseHeaderWidget::setGroupId(int id)
{
    if (m_groups.isEmpty()) {
        m_chosenGroupId = id;
        return;
    }
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).groupId == id) {
            ui->groupComboBox->setCurrentIndex(i);
            return;
        }
    }
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

void ExerciseHeaderWidget::setPaperPosition(int index, int count)
{
    ui->paperNavigationWidget->setVisible(count > 0);
    ui->paperPositionLabel->setText(QStringLiteral("第 ") + QString::number(index + 1)
        + QStringLiteral(" / ") + QString::number(count) + QStringLiteral(" 题"));
    ui->previousPaperPushButton->setEnabled(index > 0);
    ui->nextPaperPushButton->setEnabled(index + 1 < count);
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
