#include "browser/groupwidget.h"
#include "ui_groupwidget.h"

#include "browser/groupitemwidget.h"
#include "browser/groupnameprompt.h"

GroupWidget::GroupWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GroupWidget)
{
    ui->setupUi(this);
}

GroupWidget::~GroupWidget()
{
    delete ui;
}

void GroupWidget::setGroups(const GroupInfoList &groups)
{
    m_groups = groups;
}

void GroupWidget::rebuildRows()
{
    // deferred deletion: a row whose signal led here must outlive its own slot
    for (GroupItemWidget *row : qAsConst(m_rows)) {
        ui->verticalLayout_2->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();

    for (const GroupInfo &group : qAsConst(m_groups)) {
        auto row = new GroupItemWidget(ui->scrollAreaWidgetContents);
        row->setGroup(group.groupId, group.groupName, group.count);
        connect(row, &GroupItemWidget::Clicked, this, &GroupWidget::onSelectGroup);
        connect(row, &GroupItemWidget::modifyGroup, this, &GroupWidget::onModifyGroup);
        connect(row, &GroupItemWidget::removeGroup, this, &GroupWidget::onRemoveGroup);
        ui->verticalLayout_2->insertWidget(ui->verticalLayout_2->count() - 2, row);
        m_rows << row;
    }
    if (m_currentIndex >= 0 && m_currentIndex < m_rows.size())
        m_rows[m_currentIndex]->setSelected(true);
}

void GroupWidget::on_addPushButton_clicked()
{
    const QString name = GroupNamePrompt::askNewName(this, m_groups);
    if (!name.isEmpty())
        emit addGroup(name);
}

void GroupWidget::onModifyGroup(int id, QString name)
{
    if (GroupNamePrompt::contains(m_groups, name)) {
        GroupNamePrompt::warnDuplicate(this, name);
        return;
    }
    emit modifyGroup(id, name);
}

void GroupWidget::onRemoveGroup(int id)
{
    m_currentIndex = 0;
    emit removeGroup(id);
}

void GroupWidget::onSelectGroup(GroupItemWidget *itemWidget)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        const bool clicked = m_rows[i] == itemWidget;
        if (clicked)
            m_currentIndex = i;
        m_rows[i]->setSelected(clicked);
    }
    emit selectGroup(itemWidget->groupId());
}
