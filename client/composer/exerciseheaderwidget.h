#pragma once

#include "model/exercisetypeinfo.h"
#include "model/groupinfo.h"

#include <QWidget>

namespace Ui {
class ExerciseHeaderWidget;
}

// The composer's header: target group, exercise type and difficulty.
class ExerciseHeaderWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ExerciseHeaderWidget(QWidget *parent = nullptr);
    ~ExerciseHeaderWidget() override;

    void setGroups(const GroupInfoList &groups);
    void setExerciseTypes(const ExerciseTypeInfoList &types);
    int groupIndex() const;
    void setGroupIndex(int index);
    int exerciseTypeIndex() const;
    void setExerciseTypeIndex(int index);
    int rate() const;
    void setRate(int rate);

signals:
    void addGroup(QString name);
    void selectExerciseType(int index);

private slots:
    void on_exerciseTypeComboBox_activated(int index);
    void on_addPushButton_clicked();

private:
    Ui::ExerciseHeaderWidget *ui;
    GroupInfoList m_groups;
};
