#include "browser/pageselectwidget.h"
#include "ui_pageselectwidget.h"

#include "widgets/prompts.h"

#include <QPushButton>

PageSelectWidget::PageSelectWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::PageSelectWidget)
{
    ui->setupUi(this);
}

PageSelectWidget::~PageSelectWidget()
{
    delete ui;
}

void PageSelectWidget::setCurrentPage(int page)
{
    m_currentPage = page;
    for (QPushButton *button : qAsConst(m_pageButtons)) {
        ui->horizontalLayout->removeWidget(button);
        button->hide();
        button->deleteLater();
    }
    m_pageButtons.clear();

    const int first = page - 2 >= 1 ? page - 2 : 1;
    const int last = qMin(m_pageCount, page + 2);
    for (int i = first; i <= last; ++i) {
        auto button = new QPushButton(QString::number(i));
        button->setCheckable(true);
        button->setChecked(i == page);
        connect(button, &QPushButton::clicked, this, &PageSelectWidget::page_clicked);
        ui->horizontalLayout->insertWidget(ui->horizontalLayout->count() - 3, button);
        m_pageButtons << button;
    }
}

void PageSelectWidget::on_firstPushButton_clicked()
{
    m_currentPage = 1;
    emit selectPage(m_currentPage);
}

void PageSelectWidget::on_lastPushButton_clicked()
{
    m_currentPage = m_pageCount;
    emit selectPage(m_currentPage);
}

void PageSelectWidget::on_prePushButton_clicked()
{
    if (m_currentPage > 1)
        --m_currentPage;
    emit selectPage(m_currentPage);
}

void PageSelectWidget::on_nextPushButton_clicked()
{
    if (m_currentPage < m_pageCount)
        ++m_currentPage;
    emit selectPage(m_currentPage);
}

void PageSelectWidget::on_pushButtonJump_clicked()
{
    const int n = ui->lineEditJump->text().toInt();
    if (n < 1 || n > m_pageCount) {
        Prompts::information(this, QStringLiteral("错误"),
            QStringLiteral("页码范围为1-") + QString::number(m_pageCount));
        return;
    }
    if (n != m_currentPage) {
        m_currentPage = n;
        emit selectPage(n);
    }
}

void PageSelectWidget::page_clicked()
{
    auto button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    m_currentPage = button->text().toInt();
    emit selectPage(m_currentPage);
}
