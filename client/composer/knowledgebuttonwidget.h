#pragma once

#include "model/knowledgeinfo.h"

#include <QWidget>

class KnowledgeNode;
class QFormLayout;

// The chosen knowledge points of a sub-question as a strip of buttons behind "添加知识点".
class KnowledgeButtonWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KnowledgeButtonWidget(QWidget *parent = nullptr);

    void setKnowledgeRoot(const KnowledgeNode *root) { m_root = root; }
    QString ids() const;
    QString names() const;
    void setIds(const QString &text);
    const QList<KnowledgeInfo> &selection() const { return m_selection; }

    static constexpr int buttonsPerLine = 5;

public slots:
    void addKnowledge();
    void removeKnowledge();

private:
    void rebuildButtons();

    const KnowledgeNode *m_root = nullptr;
    QList<KnowledgeInfo> m_selection;
    QFormLayout *m_layout;
};
