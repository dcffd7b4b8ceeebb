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
    // Chooses the group with this id; it stays chosen across every setGroups, and before any
    // groups arrive it is chosen once they do.
    void setGroupId(int id);
    int exerciseTypeIndex() const;
    void setExerciseTypeIndex(int index);
    int rate() const;
    void setRate(int rate);
    // Where the teacher is in an imported paper: "第 index+1 / count 题" with its navigation;
    // a count of 0 hides them.
    void setPaperPosition(int index, int count);

signals:
    void addGroup(QString name);
    void selectExerciseType(int index);
    void importPaper();
    void previousPaper();
    void nextPaper();
    void skipPaper();

private slots:
    void on_exerciseTypeComboBox_activated(int index);
    void on_addPushButton_clicked();

private:
    void rememberChosenGroup(int index);

    Ui::ExerciseHeaderWidget *ui;
    GroupInfoList m_groups;
    int m_chosenGroupId = -1;
    bool m_refilling = false;
};
