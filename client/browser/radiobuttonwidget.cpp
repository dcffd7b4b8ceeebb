#include "browser/radiobuttonwidget.h"

#include <QHBoxLayout>
#include <QPushButton>

RadioButtonWidget::RadioButtonWidget(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    resize(416, 49);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    setStyleSheet(QStringLiteral("QPushButton{\ncolor: rgb(0,0,0);\nborder: 0px;\nmin-width: "
                                 "10ex;\nheight:26px;\npadding:2px 2px;\n}\nQPushButton:checked "
                                 "{\n\tcolor: rgb(27,197,245);\nbackground-color: "
                                 "rgb(255,255,255);\nborder: 1px solid "
                                 "rgb(27,197,245);\nborder-radius:15px;\n}"));
}

void RadioButtonWidget::setItems(const QStringList &items)
{
    m_items = items;
}

void RadioButtonWidget::rebuildButtons()
{
    for (QPushButton *button : qAsConst(m_buttons)) {
        m_layout->removeWidget(button);
        button->hide();
        button->deleteLater();
    }
    m_buttons.clear();
    for (int i = 0; i < m_items.size(); ++i) {
        auto button = new QPushButton(m_items.at(i), this);
        connect(button, &QPushButton::clicked, this, &RadioButtonWidget::button_clicked);
        button->setCheckable(true);
        button->setChecked(i == m_selectedIndex);
        m_layout->insertWidget(m_layout->count() - 1, button);
        m_buttons << button;
    }
}

void RadioButtonWidget::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(i == index);
}

void RadioButtonWidget::button_clicked(bool checked)
{
    auto button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    // undo the click's own toggle: only setSelectedIndex moves the check mark
    button->setChecked(!checked);
    const int index = m_layout->indexOf(button);
    if (m_buttons.contains(button) && index != m_selectedIndex)
        emit selected(index);
}
