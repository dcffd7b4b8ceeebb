#pragma once

#include "model/knowledgeinfo.h"

#include <QList>

#include <memory>
#include <vector>

class QJsonArray;

// A node of the knowledge tree; it owns its children.
class KnowledgeNode
{
public:
    KnowledgeNode() = default;
    explicit KnowledgeNode(const KnowledgeInfo &info);
    Q_DISABLE_COPY(KnowledgeNode)

    KnowledgeInfo info;

    int childCount() const { return int(m_children.size()); }
    KnowledgeNode *child(int i) const { return m_children.at(size_t(i)).get(); }
    KnowledgeNode *appendChild(const KnowledgeInfo &info);
    void clear();

    // Replaces the children with the tree of a knowledge reply, depth first.
    void setChildren(const QJsonArray &nodes);

private:
    std::vector<std::unique_ptr<KnowledgeNode>> m_children;
};
