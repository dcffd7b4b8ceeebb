#pragma once

#include <QWidget>

class QHBoxLayout;
class QPushButton;

// A row of checkable buttons that behaves as a single choice. A click only reports the index;
// the check mark moves when the owner calls setSelectedIndex.
class RadioButtonWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RadioButtonWidget(QWidget *parent = nullptr);

    void setItems(const QStringList &items);
    QStringList items() const { return m_items; }
    void rebuildButtons();
    void setSelectedIndex(int index);
    int selectedIndex() const { return m_selectedIndex; }
    const QList<QPushButton *> &buttons() const { return m_buttons; }

signals:
    void selected(int index);

private slots:
    void button_clicked(bool checked);

private:
    QStringList m_items;
    QList<QPushButton *> m_buttons;
    int m_selectedIndex = 0;
    QHBoxLayout *m_layout;
};
