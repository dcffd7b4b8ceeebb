#pragma once

#include "model/knowledgeinfo.h"

#include <QDialog>

namespace Ui {
class KnowledgeDialog;
}
class KnowledgeNode;
class QTreeWidgetItem;

// A check-box tree of the knowledge catalogue; only leaves can be ticked.
class KnowledgeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KnowledgeDialog(QWidget *parent = nullptr);
    ~KnowledgeDialog() override;

    void setKnowledgeRoot(const KnowledgeNode *root) { m_root = root; }
    void setSelection(const QList<KnowledgeInfo> &selection) { m_selection = selection; }
    void buildTree();
    // The ticked leaves in tree order.
    QList<KnowledgeInfo> collectSelection();

private slots:
    void on_treeWidget_itemPressed(QTreeWidgetItem *item, int column);
    void on_treeWidget_itemClicked(QTreeWidgetItem *item, int column);

private:
    Ui::KnowledgeDialog *ui;
    const KnowledgeNode *m_root = nullptr;
    QList<KnowledgeInfo> m_selection;
};
