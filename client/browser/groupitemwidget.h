#pragma once

#include <QWidget>

namespace Ui {
class GroupItemWidget;
}

// One row of the group panel: the group's name and count, with rename and remove buttons that
// show only while the row is selected.
class GroupItemWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GroupItemWidget(QWidget *parent = nullptr);
    ~GroupItemWidget() override;

    void setGroup(int groupId, const QString &groupName, int count);
    int groupId() const { return m_groupId; }
    QString groupName() const { return m_groupName; }
    int count() const { return m_count; }

    void setSelected(bool on);
    bool isSelected() const { return m_selected; }
    void setClickable(bool on) { m_clickable = on; }
    QString text() const;

    // "Physics （5道）"; names over 15 characters shortened to 12 and "...".
    static QString rowText(const QString &groupName, int count);
    static constexpr int maxNameLength = 30;

signals:
    void modifyGroup(int id, QString name);
    void removeGroup(int id);
    void Clicked(GroupItemWidget *clicked);

private slots:
    void on_editPushButton_clicked();
    void on_removePushButton_clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_clickable = true;
    bool m_selected = false;
    Ui::GroupItemWidget *ui;
    int m_groupId = 0;
    QString m_groupName;
    int m_count = 0;
};
