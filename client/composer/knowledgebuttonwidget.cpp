#include "composer/knowledgebuttonwidget.h"

#include "composer/knowledgedialog.h"
#include "model/knowledgenode.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

#include <functional>

KnowledgeButtonWidget::KnowledgeButtonWidget(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QFormLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    rebuildButtons();
}

QString KnowledgeButtonWidget::ids() const
{
    QStringList ids;
    for (const KnowledgeInfo &k : m_selection)
        ids << QString::number(k.knowledgeId);
    return ids.join(QStringLiteral(", "));
}

QString KnowledgeButtonWidget::names() const
{
    QStringList names;
    for (const KnowledgeInfo &k : m_selection)
        names << k.name;
    return names.join(QStringLiteral(", "));
}

void KnowledgeButtonWidget::setIds(const QString &text)
{
    m_selection.clear();
    if (!text.isEmpty() && m_root) {
        QStringList entries = text.split(QLatin1Char(','));
        for (QString &entry : entries)
            entry = entry.trimmed();
        std::function<void(const KnowledgeNode *)> visit = [&](const KnowledgeNode *node) {
            for (int i = 0; i < node->childCount(); ++i) {
                const KnowledgeNode *child = node->child(i);
                if (entries.contains(QString::number(child->info.knowledgeId)))
                    m_selection << child->info;
                visit(child);
            }
        };
        visit(m_root);
    }
    rebuildButtons();
}

void KnowledgeButtonWidget::addKnowledge()
{
    KnowledgeDialog dialog(this);
    dialog.setKnowledgeRoot(m_root);
    dialog.setSelection(m_selection);
    dialog.buildTree();
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_selection = dialog.collectSelection();
    rebuildButtons();
}

void KnowledgeButtonWidget::removeKnowledge()
{
    auto button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    const QString name = button->text();
    for (int i = 0; i < m_selection.size(); ++i) {
        if (m_selection.at(i).name == name) {
            m_selection.removeAt(i);
            break;
        }
    }
    rebuildButtons();
}

void KnowledgeButtonWidget::rebuildButtons()
{
    for (int row = m_layout->rowCount() - 1; row >= 0; --row) {
        const QFormLayout::TakeRowResult taken = m_layout->takeRow(row);
        for (QLayoutItem *item : {taken.labelItem, taken.fieldItem}) {
            if (!item)
                continue;
            if (QLayout *line = item->layout()) {
                while (QLayoutItem *child = line->takeAt(0)) {
                    if (QWidget *widget = child->widget()) {
                        widget->hide();
                        widget->deleteLater(); // the pressed button is still in its signal
                    }
                    delete child;
                }
            }
            delete item;
        }
    }

    QList<QPushButton *> buttons;
    auto add = new QPushButton(QStringLiteral("添加知识点"), this);
    add->setStyleSheet(QStringLiteral("color: rgb(27, 197, 245);background-color: rgb(255, 255, "
                                      "255);border: 1px solid rgb(27, 197, 245);border-radius:5px;"
                                      "width:80px;height:20px;"));
    connect(add, &QPushButton::clicked, this, &KnowledgeButtonWidget::addKnowledge);
    buttons << add;
    for (const KnowledgeInfo &k : qAsConst(m_selection)) {
        auto button = new QPushButton(k.name, this);
        button->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);background-color: rgb(27, "
                                             "197, 245);border: 1px solid rgb(27, 197, "
                                             "245);border-radius:5px;min-width: 8ex;height:20px;"));
        connect(button, &QPushButton::clicked, this, &KnowledgeButtonWidget::removeKnowledge);
        buttons << button;
    }

    QHBoxLayout *line = nullptr;
    for (int i = 0; i < buttons.size(); ++i) {
        if (i % buttonsPerLine == 0) {
            line = new QHBoxLayout;
            line->setContentsMargins(0, 0, 0, 0);
            line->setAlignment(Qt::AlignLeft);
            m_layout->addRow(line);
        }
        line->addWidget(buttons.at(i));
    }
}
