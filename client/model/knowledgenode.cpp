#include "model/knowledgenode.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QVariant>

KnowledgeNode::KnowledgeNode(const KnowledgeInfo &info)
    : info(info)
{ }

KnowledgeNode *KnowledgeNode::appendChild(const KnowledgeInfo &childInfo)
{
    m_children.push_back(std::make_unique<KnowledgeNode>(childInfo));
    return m_children.back().get();
}

void KnowledgeNode::clear()
{
    m_children.clear();
}

void KnowledgeNode::setChildren(const QJsonArray &nodes)
{
    clear();
    // Iterative, so a hostile reply nested deeply cannot exhaust the stack.
    struct Pending {
        KnowledgeNode *parent;
        QJsonArray nodes;
        int next;
    };
    std::vector<Pending> stack;
    stack.push_back({this, nodes, 0});
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next >= top.nodes.size()) {
            stack.pop_back();
            continue;
        }
        const QJsonObject object = top.nodes.at(top.next++).toObject();
        KnowledgeInfo childInfo;
        childInfo.knowledgeId = object.value(QStringLiteral("knowledgeId")).toVariant().toInt();
        childInfo.name = object.value(QStringLiteral("name")).toString();
        KnowledgeNode *child = top.parent->appendChild(childInfo);
        const QJsonArray children = object.value(QStringLiteral("children")).toArray();
        if (!children.isEmpty())
            stack.push_back({child, children, 0}); // invalidates top; not used after this
    }
}
