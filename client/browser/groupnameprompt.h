#pragma once

#include "model/groupinfo.h"

class QWidget;

// The name prompt and the local checks shared by adding a group (bank page and composer
// header) and renaming one.
class GroupNamePrompt
{
public:
    // Runs the "名称" input dialog on parent; false when it was not accepted. The text comes
    // back with markup tags removed, untrimmed.
    static bool ask(QWidget *parent, const QString &initial, QString *name);
    static QString stripTags(const QString &text);
    static bool contains(const GroupInfoList &groups, const QString &name);
    // "NAME的组已存在。" under "警告".
    static void warnDuplicate(QWidget *parent, const QString &name);
    // The add-group flow: ask, strip, refuse empty and duplicate; the name to add or empty.
    static QString askNewName(QWidget *parent, const GroupInfoList &groups);
};
