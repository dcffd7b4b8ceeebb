#include "browser/groupitemwidget.h"
#include "ui_groupitemwidget.h"

#include "browser/groupnameprompt.h"
#include "widgets/messagedialog.h"
#include "widgets/prompts.h"

#include <QMouseEvent>

GroupItemWidget::GroupItemWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GroupItemWidget)
{
    ui->setupUi(this);
    setAutoFillBackground(true);
    ui->label->setAutoFillBackground(true);
    setSelected(false);
}

GroupItemWidget::~GroupItemWidget()
{
    delete ui;
}

QString GroupItemWidget::rowText(const QString &groupName, int count)
{
    const QString name
        = groupName.size() > 15 ? groupName.left(12) + QStringLiteral("...") : groupName;
    return name + QStringLiteral(" （") + QString::number(count) + QStringLiteral("道）");
}

void GroupItemWidget::setGroup(int groupId, const QString &groupName, int count)
{
    m_groupId = groupId;
    m_groupName = groupName;
    m_count = count;
    setToolTip(groupName);
    ui->label->setText(rowText(groupName, count));
}

QString GroupItemWidget::text() const
{
    return ui->label->text();
}

void GroupItemWidget::setSelected(bool on)
{
    m_selected = on;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, on ? QColor(27, 197, 245) : QColor(Qt::white));
    palette.setColor(QPalette::WindowText, on ? QColor(Qt::white) : QColor(Qt::black));
    setPalette(palette);
    ui->label->setPalette(palette);
    // the window's style sheet greys every label; the selected row needs its white text
    ui->label->setStyleSheet(
        on ? QStringLiteral("color: rgb(255, 255, 255);") : QStringLiteral("color: rgb(0, 0, 0);"));
    ui->editPushButton->setVisible(on);
    ui->removePushButton->setVisible(on);
}

void GroupItemWidget::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (!m_clickable)
        return;
    setSelected(!m_selected);
    emit Clicked(this);
}

void GroupItemWidget::on_editPushButton_clicked()
{
    QString name;
    if (!GroupNamePrompt::ask(this, m_groupName, &name))
        return;
    if (name.isEmpty() || name == m_groupName)
        return;
    if (name.size() > maxNameLength) {
        Prompts::warning(this,
            QStringLiteral("名称不能大于") + QString::number(maxNameLength)
                + QStringLiteral("个字"));
        return;
    }
    emit modifyGroup(m_groupId, name);
}

void GroupItemWidget::on_removePushButton_clicked()
{
    MessageDialog dialog(this);
    dialog.setTitle(QStringLiteral("删除分组"));
    dialog.setText(m_count <= 0
            ? QStringLiteral("是否确定要删除？")
            : QStringLiteral("若删除，该分组下的题目也会删除，是否确定要删除？"));
    if (dialog.exec() == 1)
        emit removeGroup(m_groupId);
}
