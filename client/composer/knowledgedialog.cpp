#include "composer/knowledgedialog.h"
#include "ui_knowledgedialog.h"

#include "model/knowledgenode.h"

#include <QPushButton>
#include <QTreeWidget>

#include <functional>

KnowledgeDialog::KnowledgeDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::KnowledgeDialog)
{
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
}

KnowledgeDialog::~KnowledgeDialog()
{
    delete ui;
}

void KnowledgeDialog::buildTree()
{
    ui->treeWidget->clear();
    if (!m_root)
        return;
    std::function<void(const KnowledgeNode *, QTreeWidgetItem *)> build
        = [&](const KnowledgeNode *node, QTreeWidgetItem *parent) {
              for (int i = 0; i < node->childCount(); ++i) {
                  const KnowledgeNode *child = node->child(i);
                  auto item = new QTreeWidgetItem(QStringList(child->info.name));
                  if (child->childCount() == 0) {
                      const bool preset = std::any_of(m_selection.cbegin(), m_selection.cend(),
                          [child](const KnowledgeInfo &k) {
                              return k.knowledgeId == child->info.knowledgeId;
                          });
                      item->setCheckState(0, preset ? Qt::Checked : Qt::Unchecked);
                  }
                  if (parent)
                      parent->addChild(item);
                  else
                      ui->treeWidget->addTopLevelItem(item);
                  build(child, item);
              }
          };
    build(m_root, nullptr);
}

QList<KnowledgeInfo> KnowledgeDialog::collectSelection()
{
    m_selection.clear();
    if (!m_root)
        return m_selection;
    std::function<void(const KnowledgeNode *, QTreeWidgetItem *)> collect =
        [&](const KnowledgeNode *node, QTreeWidgetItem *parent) {
            for (int i = 0; i < node->childCount(); ++i) {
                QTreeWidgetItem *item = parent ? parent->child(i) : ui->treeWidget->topLevelItem(i);
                if (!item)
                    continue;
                if (item->checkState(0) == Qt::Checked)
                    m_selection << node->child(i)->info;
                collect(node->child(i), item);
            }
        };
    collect(m_root, nullptr);
    return m_selection;
}

void KnowledgeDialog::on_treeWidget_itemPressed(QTreeWidgetItem *item, int)
{
    if (item->childCount() == 0)
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    else
        item->setExpanded(!item->isExpanded());
}

void KnowledgeDialog::on_treeWidget_itemClicked(QTreeWidgetItem *, int) { }
