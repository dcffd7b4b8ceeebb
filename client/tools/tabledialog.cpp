#include "tools/tabledialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

TableDialog::TableDialog(const QString &fileName, int rows, int cols, QWidget *parent)
    : QDialog(parent)
    , m_fileName(fileName)
{
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("表格工具"));
    resize(cols * 100 + 100, rows * 50 + 100);

    auto dialogLayout = new QVBoxLayout(this);
    auto container = new QWidget(this);
    dialogLayout->addWidget(container);
    auto containerLayout = new QVBoxLayout(container);

    auto countsLayout = new QHBoxLayout;
    countsLayout->addWidget(new QLabel(QStringLiteral("列数"), container));
    columnsEdit = new QLineEdit(QString::number(cols), container);
    countsLayout->addWidget(columnsEdit);
    countsLayout->addWidget(new QLabel(QStringLiteral("行数"), container));
    rowsEdit = new QLineEdit(QString::number(rows), container);
    countsLayout->addWidget(rowsEdit);
    auto finishButton = new QPushButton(QStringLiteral("完成"), container);
    finishButton->setAutoDefault(false);
    connect(finishButton, &QPushButton::clicked, this, &TableDialog::slotFinish);
    countsLayout->addWidget(finishButton);
    containerLayout->addLayout(countsLayout);

    if (rows < 1 || cols < 1)
        return;

    table = new QTableWidget(rows, cols, container);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    table->horizontalHeader()->setVisible(false);
    table->verticalHeader()->setVisible(false);
    connect(table, &QWidget::customContextMenuRequested, this, &TableDialog::slotRightClick);
    for (int row = 0; row < rows; ++row)
        fillRow(row);
    // The teacher came to type cells, not the counts.
    table->setFocus();
    auto tableLayout = new QHBoxLayout;
    tableLayout->addWidget(table);
    containerLayout->addLayout(tableLayout);
}

void TableDialog::fillRow(int row)
{
    for (int column = 0; column < table->columnCount(); ++column)
        table->setItem(row, column, new QTableWidgetItem);
}

void TableDialog::fillColumn(int column)
{
    for (int row = 0; row < table->rowCount(); ++row)
        table->setItem(row, column, new QTableWidgetItem);
}

void TableDialog::slotOk() { }

QMenu *TableDialog::createContextMenu()
{
    if (!table)
        return nullptr;
    const QList<QTableWidgetItem *> items = table->selectedItems();
    if (items.isEmpty())
        return nullptr;
    QSet<int> rows;
    QSet<int> columns;
    int lastRow = 0;
    int lastColumn = 0;
    selRow = selCol = std::numeric_limits<int>::max();
    for (const QTableWidgetItem *item : items) {
        const int row = item->row();
        const int column = item->column();
        rows.insert(row);
        columns.insert(column);
        selRow = std::min(selRow, row);
        selCol = std::min(selCol, column);
        lastRow = std::max(lastRow, row + table->rowSpan(row, column) - 1);
        lastColumn = std::max(lastColumn, column + table->columnSpan(row, column) - 1);
    }
    // Cells covered by a merged cell never count as selected, so the rectangle to merge or
    // split runs to the far edge of the selection rather than over as many rows and columns
    // as were seen.
    selRowCount = lastRow - selRow + 1;
    selColCount = lastColumn - selCol + 1;
    const bool oneRow = rows.size() == 1;
    const bool oneColumn = columns.size() == 1;

    auto menu = new QMenu(table);
    if (oneRow) {
        menu->addAction(QStringLiteral("在此行之前插入"), this, &TableDialog::slotAddRowBefor);
        menu->addAction(QStringLiteral("在此行之后插入"), this, &TableDialog::slotAddRowAfter);
    }
    if (oneColumn) {
        menu->addAction(QStringLiteral("在此列之前插入"), this, &TableDialog::slotAddColumnBefor);
        menu->addAction(QStringLiteral("在此列之后插入"), this, &TableDialog::slotAddColumnAfter);
    }
    if (!oneRow || !oneColumn)
        menu->addAction(QStringLiteral("合并单元格"), this, &TableDialog::slotSpan);
    menu->addAction(QStringLiteral("拆分单元格"), this, &TableDialog::slotSplit);
    return menu;
}

void TableDialog::slotRightClick(const QPoint &pos)
{
    QMenu *menu = createContextMenu();
    if (!menu)
        return;
    // The table reports the position in its viewport's coordinates.
    menu->exec(table->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void TableDialog::slotAddRowBefor()
{
    table->insertRow(selRow);
    fillRow(selRow);
}

void TableDialog::slotAddRowAfter()
{
    table->insertRow(selRow + 1);
    fillRow(selRow + 1);
}

void TableDialog::slotAddColumnBefor()
{
    table->insertColumn(selCol);
    fillColumn(selCol);
}

void TableDialog::slotAddColumnAfter()
{
    table->insertColumn(selCol + 1);
    fillColumn(selCol + 1);
}

void TableDialog::slotSplit()
{
    for (int i = 0; i < selRowCount; ++i) {
        for (int j = 0; j < selColCount; ++j) {
            const int row = selRow + i;
            const int column = selCol + j;
            // Qt refuses (and warns about) a single-cell span where there is no span.
            if (table->rowSpan(row, column) > 1 || table->columnSpan(row, column) > 1)
                table->setSpan(row, column, 1, 1);
        }
    }
}

void TableDialog::slotSpan()
{
    slotSplit();
    table->setSpan(selRow, selCol, selRowCount, selColCount);
}

QSize TableDialog::pictureSize() const
{
    if (!table)
        return QSize();
    int width = 10;
    for (int column = 0; column < table->columnCount(); ++column)
        width += table->columnWidth(column);
    int height = 10;
    for (int row = 0; row < table->rowCount(); ++row)
        height += table->rowHeight(row);
    return QSize(width, height);
}

bool TableDialog::saveImage()
{
    if (!table)
        return false;
    // The picture shows the grid alone: no selection, no focus frame, scrolled to the start
    // and, for the grab, large enough to hold every column and row.
    table->clearSelection();
    table->setCurrentItem(nullptr);
    table->horizontalScrollBar()->setValue(0);
    table->verticalScrollBar()->setValue(0);
    const QSize area = pictureSize();
    const QSize shown = table->size();
    table->resize(shown.expandedTo(area));
    const QPixmap pixmap = table->grab(QRect(QPoint(0, 0), area));
    table->resize(shown);

    const QByteArray format = QFileInfo(m_fileName).suffix().toLatin1();
    return pixmap.save(m_fileName, format.isEmpty() ? nullptr : format.constData());
}

void TableDialog::slotFinish()
{
    if (!table) {
        // Nothing to draw: no picture is written, so the editor has nothing to read.
        reject();
        return;
    }
    if (!saveImage()) {
        QMessageBox::warning(
            this, QStringLiteral("File could not be saved"), QStringLiteral("ok"), QMessageBox::Ok);
        // Accepting would send the editor to read a picture that is not there.
        reject();
        return;
    }
    accept();
}
