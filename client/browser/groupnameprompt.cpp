#include "browser/groupnameprompt.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

bool GroupNamePrompt::ask(QWidget *parent, const QString &initial, QString *name)
{
    QInputDialog dialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(QStringLiteral("名称"));
    dialog.setLabelText(QStringLiteral("编辑名称"));
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *name = stripTags(dialog.textValue());
    return true;
}

QString GroupNamePrompt::stripTags(const QString &text)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]+>"));
    return QString(text).remove(tag);
}

bool GroupNamePrompt::contains(const GroupInfoList &groups, const QString &name)
{
    return std::any_of(groups.cbegin(), groups.cend(),
        [&name](const GroupInfo &group) { return group.groupName == name; });
}

void GroupNamePrompt::warnDuplicate(QWidget *parent, const QString &name)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"),
        name + QStringLiteral("的组已存在。"), QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

QString GroupNamePrompt::askNewName(QWidget *parent, const GroupInfoList &groups)
{
    QString name;
    if (!ask(parent, QString(), &name) || name.isEmpty())
        return QString();
    if (contains(groups, name)) {
        warnDuplicate(parent, name);
        return QString();
    }
    return name;
}
