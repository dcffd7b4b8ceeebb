#pragma once

#include <QWidget>

namespace Ui {
class PageSelectWidget;
}
class QPushButton;

// The pager under the exercise cards: first, previous, next, last, up to five page numbers
// around the current page, and a jump box.
class PageSelectWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PageSelectWidget(QWidget *parent = nullptr);
    ~PageSelectWidget() override;

    void setPageCount(int count) { m_pageCount = count; }
    int pageCount() const { return m_pageCount; }
    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);
    const QList<QPushButton *> &pageButtons() const { return m_pageButtons; }

signals:
    void selectPage(int page);

private slots:
    void on_firstPushButton_clicked();
    void on_lastPushButton_clicked();
    void on_prePushButton_clicked();
    void on_nextPushButton_clicked();
    void on_pushButtonJump_clicked();
    void page_clicked();

private:
    Ui::PageSelectWidget *ui;
    QList<QPushButton *> m_pageButtons;
    int m_pageCount = 0;
    int m_currentPage = 0;
};
