#pragma once

#include <QList>
#include <QString>

// One group (folder) of the teacher's exercises, as the groups reply lists it.
struct GroupInfo {
    int groupId = 0;
    QString groupName;
    int count = 0;
};

using GroupInfoList = QList<GroupInfo>;
