#pragma once

#include "model/groupinfo.h"

#include <QWidget>

namespace Ui {
class GroupWidget;
}
class GroupItemWidget;

// The group panel of the bank page: one row per group, one of them current.
class GroupWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GroupWidget(QWidget *parent = nullptr);
    ~GroupWidget() override;

    void setGroups(const GroupInfoList &groups);
    const GroupInfoList &groups() const { return m_groups; }
    void rebuildRows();
    const QList<GroupItemWidget *> &rows() const { return m_rows; }
    int currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(int index) { m_currentIndex = index; }

signals:
    void addGroup(QString name);
    void modifyGroup(int id, QString name);
    void removeGroup(int id);
    void selectGroup(int id);

private slots:
    void on_addPushButton_clicked();
    void onModifyGroup(int id, QString name);
    void onRemoveGroup(int id);
    void onSelectGroup(GroupItemWidget *itemWidget);

private:
    Ui::GroupWidget *ui;
    GroupInfoList m_groups;
    QList<GroupItemWidget *> m_rows;
    int m_currentIndex = 0;
};
