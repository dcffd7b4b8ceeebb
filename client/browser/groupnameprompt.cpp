#include "browser/groupnameprompt.h"

#include "widgets/prompts.h"

#include <QRegularExpression>

bool GroupNamePrompt::ask(QWidget *parent, const QString &initial, QString *name)
{
    QString text;
    if (!Prompts::askText(
            parent, QStringLiteral("名称"), QStringLiteral("编辑名称"), initial, &text))
        return false;
    *name = stripTags(text);
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
    Prompts::warning(parent, name + QStringLiteral("的组已存在。"));
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
