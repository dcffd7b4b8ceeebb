#pragma once

#include <QString>

// One knowledge point (知识点).
struct KnowledgeInfo {
    int knowledgeId = 0;
    QString name;
};
