#include "tools/tabledialog.h"
#include "tools/tabledialogpre.h"

#include "modaldialoganswerer.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QRect)

static QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    const auto actions = menu->actions();
    for (const QAction *action : actions)
        texts << action->text();
    return texts;
}

static QAction *findAction(const QMenu *menu, const QString &text)
{
    const auto actions = menu->actions();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

static void selectCells(QTableWidget *table, const QRect &cells)
{
    table->clearSelection();
    table->setRangeSelected(
        QTableWidgetSelectionRange(cells.top(), cells.left(), cells.bottom(), cells.right()), true);
}

class tst_TableDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void defaultsGiveFiveByFiveGrid();
    void menuOffersWhatTheSelectionShapeAllows_data();
    void menuOffersWhatTheSelectionShapeAllows();
    void noSelectionNoMenu();
    void insertionPutsEmptyCells_data();
    void insertionPutsEmptyCells();
    void mergeThenSplitRestoresSingleCells();
    void splitUndoesEveryMergeShape_data();
    void splitUndoesEveryMergeShape();
    void enterInACellKeepsTheDialogOpen();
    void finishSavesEveryColumnAndRow();
    void pictureLeavesOutTheSelection();
    void unwritablePictureWarnsAndRejects();
    void finishWithoutGridWritesNothing();

    void preDialogShowsCounts();
    void preDialogRefusesCountsOutOfRange_data();
    void preDialogRefusesCountsOutOfRange();
    void preDialogOpensGridAndFollowsItsResult_data();
    void preDialogOpensGridAndFollowsItsResult();
    void newPictureNamesAreTemporaryJpegs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString picturePath() const { return m_dir->filePath(QStringLiteral("{table}.jpg")); }
};

void tst_TableDialog::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

void tst_TableDialog::defaultsGiveFiveByFiveGrid()
{
    TableDialog dialog(picturePath(), 5, 5);
    QCOMPARE(dialog.size(), QSize(600, 350));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("表格工具"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QTableWidget *table = dialog.tableWidget();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 5);
    QCOMPARE(table->columnCount(), 5);
    QVERIFY(table->horizontalHeader()->isHidden());
    QVERIFY(table->verticalHeader()->isHidden());
    QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column)
            QVERIFY(table->item(row, column));
    }
    const auto edits = dialog.findChildren<QLineEdit *>();
    QCOMPARE(edits.size(), 2);
    QCOMPARE(edits.at(0)->text(), QStringLiteral("5"));
    auto finish = dialog.findChild<QPushButton *>();
    QCOMPARE(finish->text(), QStringLiteral("完成"));
}

void tst_TableDialog::menuOffersWhatTheSelectionShapeAllows_data()
{
    QTest::addColumn<QRect>("cells"); // x = column, y = row
    QTest::addColumn<QStringList>("actions");
    const QString rowBefore = QStringLiteral("在此行之前插入");
    const QString rowAfter = QStringLiteral("在此行之后插入");
    const QString columnBefore = QStringLiteral("在此列之前插入");
    const QString columnAfter = QStringLiteral("在此列之后插入");
    const QString merge = QStringLiteral("合并单元格");
    const QString split = QStringLiteral("拆分单元格");

    QTest::newRow("one cell") << QRect(
        1, 1, 1, 1) << QStringList {rowBefore, rowAfter, columnBefore, columnAfter, split};
    QTest::newRow("two cells of a row")
        << QRect(1, 2, 2, 1) << QStringList {rowBefore, rowAfter, merge, split};
    QTest::newRow("two cells of a column")
        << QRect(3, 0, 1, 2) << QStringList {columnBefore, columnAfter, merge, split};
    QTest::newRow("two by two") << QRect(0, 0, 2, 2) << QStringList {merge, split};
}

void tst_TableDialog::menuOffersWhatTheSelectionShapeAllows()
{
    QFETCH(QRect, cells);
    QFETCH(QStringList, actions);
    TableDialog dialog(picturePath(), 5, 5);
    selectCells(dialog.tableWidget(), cells);
    std::unique_ptr<QMenu> menu(dialog.createContextMenu());
    QVERIFY(menu);
    QCOMPARE(actionTexts(menu.get()), actions);
    for (const QAction *action : menu->actions())
        QVERIFY(action->shortcut().isEmpty());
}

void tst_TableDialog::noSelectionNoMenu()
{
    TableDialog dialog(picturePath(), 3, 3);
    dialog.tableWidget()->clearSelection();
    QVERIFY(!dialog.createContextMenu());
    dialog.slotRightClick(QPoint(5, 5)); // shows nothing, does not block
}

void tst_TableDialog::insertionPutsEmptyCells_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QPoint>("cell"); // x = column, y = row
    QTest::addColumn<QSize>("grid"); // columns x rows afterwards
    QTest::addColumn<QPoint>("newCell"); // a cell of the new row or column
    QTest::addColumn<QPoint>("movedCell"); // where the selected cell's text is now

    QTest::newRow("row after the last row") << QStringLiteral("在此行之后插入") << QPoint(1, 2)
                                            << QSize(3, 4) << QPoint(1, 3) << QPoint(1, 2);
    QTest::newRow("row before the first row") << QStringLiteral("在此行之前插入") << QPoint(1, 0)
                                              << QSize(3, 4) << QPoint(1, 0) << QPoint(1, 1);
    QTest::newRow("column after the last column")
        << QStringLiteral("在此列之后插入") << QPoint(2, 1) << QSize(4, 3) << QPoint(3, 1)
        << QPoint(2, 1);
    QTest::newRow("column before a middle column")
        << QStringLiteral("在此列之前插入") << QPoint(1, 1) << QSize(4, 3) << QPoint(1, 1)
        << QPoint(2, 1);
}

void tst_TableDialog::insertionPutsEmptyCells()
{
    QFETCH(QString, action);
    QFETCH(QPoint, cell);
    QFETCH(QSize, grid);
    QFETCH(QPoint, newCell);
    QFETCH(QPoint, movedCell);
    TableDialog dialog(picturePath(), 3, 3);
    QTableWidget *table = dialog.tableWidget();
    table->item(cell.y(), cell.x())->setText(QStringLiteral("甲"));
    selectCells(table, QRect(cell, QSize(1, 1)));
    std::unique_ptr<QMenu> menu(dialog.createContextMenu());
    QAction *chosen = findAction(menu.get(), action);
    QVERIFY(chosen);
    chosen->trigger();

    QCOMPARE(table->columnCount(), grid.width());
    QCOMPARE(table->rowCount(), grid.height());
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column)
            QVERIFY2(table->item(row, column), "every cell has an item");
    }
    QCOMPARE(table->item(newCell.y(), newCell.x())->text(), QString());
    QCOMPARE(table->item(movedCell.y(), movedCell.x())->text(), QStringLiteral("甲"));
}

void tst_TableDialog::mergeThenSplitRestoresSingleCells()
{
    TableDialog dialog(picturePath(), 4, 4);
    QTableWidget *table = dialog.tableWidget();
    selectCells(table, QRect(1, 1, 2, 2));
    std::unique_ptr<QMenu> merge(dialog.createContextMenu());
    findAction(merge.get(), QStringLiteral("合并单元格"))->trigger();
    QCOMPARE(table->rowSpan(1, 1), 2);
    QCOMPARE(table->columnSpan(1, 1), 2);

    const QString shots = qEnvironmentVariable("QUENMO_SHOTS");
    if (!shots.isEmpty()) {
        table->item(0, 0)->setText(QStringLiteral("序号"));
        table->item(1, 1)->setText(QStringLiteral("合并的格子"));
        table->item(0, 3)->setText(QStringLiteral("备注"));
        table->clearSelection();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.grab().save(shots + QStringLiteral("/table.png"));
    }

    // The merged cell selects as one item, so split works on it alone.
    selectCells(table, QRect(1, 1, 1, 1));
    std::unique_ptr<QMenu> split(dialog.createContextMenu());
    QVERIFY(!findAction(split.get(), QStringLiteral("合并单元格")));
    findAction(split.get(), QStringLiteral("拆分单元格"))->trigger();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(table->rowSpan(row, column), 1);
            QCOMPARE(table->columnSpan(row, column), 1);
        }
    }

    // A selection reaching over a merged cell takes in all of it: the covered cells do not
    // count as selected, yet the new merge must not cut the old one.
    selectCells(table, QRect(0, 0, 2, 2));
    std::unique_ptr<QMenu> first(dialog.createContextMenu());
    findAction(first.get(), QStringLiteral("合并单元格"))->trigger();
    selectCells(table, QRect(0, 0, 3, 1));
    std::unique_ptr<QMenu> wider(dialog.createContextMenu());
    findAction(wider.get(), QStringLiteral("合并单元格"))->trigger();
    QCOMPARE(table->rowSpan(0, 0), 2);
    QCOMPARE(table->columnSpan(0, 0), 3);
}

void tst_TableDialog::splitUndoesEveryMergeShape_data()
{
    QTest::addColumn<QRect>("cells"); // x = column, y = row
    QTest::newRow("two cells of a row") << QRect(1, 2, 2, 1);
    QTest::newRow("three cells of a column") << QRect(0, 0, 1, 3);
    QTest::newRow("two by three") << QRect(1, 0, 3, 2);
}

void tst_TableDialog::splitUndoesEveryMergeShape()
{
    QFETCH(QRect, cells);
    TableDialog dialog(picturePath(), 4, 4);
    QTableWidget *table = dialog.tableWidget();
    selectCells(table, cells);
    std::unique_ptr<QMenu> merge(dialog.createContextMenu());
    findAction(merge.get(), QStringLiteral("合并单元格"))->trigger();
    QCOMPARE(table->rowSpan(cells.top(), cells.left()), cells.height());
    QCOMPARE(table->columnSpan(cells.top(), cells.left()), cells.width());

    selectCells(table, QRect(cells.topLeft(), QSize(1, 1)));
    std::unique_ptr<QMenu> split(dialog.createContextMenu());
    findAction(split.get(), QStringLiteral("拆分单元格"))->trigger();
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(table->rowSpan(row, column), 1);
            QCOMPARE(table->columnSpan(row, column), 1);
        }
    }
}

// Enter ends the typing in a cell or a count; it must not take the table away unfinished.
void tst_TableDialog::enterInACellKeepsTheDialogOpen()
{
    TableDialog dialog(picturePath(), 3, 3);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTableWidget *table = dialog.tableWidget();
    QVERIFY(table->isVisible());
    QVERIFY(table->width() > dialog.width() / 2);
    QVERIFY(table->height() > dialog.height() / 2);

    const QRect cell = table->visualItemRect(table->item(1, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::keyClick(table->viewport(), Qt::Key_1); // typing opens the cell's editor
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(table->item(1, 1)->text(), QStringLiteral("12"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::qWait(20);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QVERIFY(!QFileInfo::exists(picturePath()));
}

void tst_TableDialog::finishSavesEveryColumnAndRow()
{
    TableDialog dialog(picturePath(), 3, 4);
    QTableWidget *table = dialog.tableWidget();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    table->setColumnWidth(1, 380);
    table->setRowHeight(2, 90);
    table->item(2, 3)->setText(QStringLiteral("末"));
    table->item(0, 1)->setText(QStringLiteral("加宽的一列"));
    int width = 0;
    for (int column = 0; column < 4; ++column)
        width += table->columnWidth(column);
    int height = 0;
    for (int row = 0; row < 3; ++row)
        height += table->rowHeight(row);
    QCOMPARE(dialog.pictureSize(), QSize(width + 10, height + 10));
    QVERIFY(width > table->viewport()->width()); // wider than the grid shows

    const QSize shown = table->size();
    dialog.slotFinish();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(table->size(), shown);
    const QImage picture(picturePath());
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.size(), QSize(width + 10, height + 10));
    const QString shots = qEnvironmentVariable("QUENMO_SHOTS");
    if (!shots.isEmpty())
        picture.save(shots + QStringLiteral("/table-picture.png"));

    // The last cell's text made it into the picture, not only the part the grid shows.
    const int left = width - table->columnWidth(3);
    const int top = height - table->rowHeight(2);
    bool dark = false;
    for (int y = top + 2; y < height - 2 && !dark; ++y) {
        for (int x = left + 2; x < width - 2 && !dark; ++x)
            dark = qGray(picture.pixel(x, y)) < 100;
    }
    QVERIFY(dark);
}

void tst_TableDialog::pictureLeavesOutTheSelection()
{
    TableDialog dialog(picturePath(), 2, 2);
    QTableWidget *table = dialog.tableWidget();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    table->selectAll();
    QVERIFY(dialog.saveImage());
    const QImage picture(picturePath());
    const QColor middle = picture.pixelColor(table->columnWidth(0) / 2, table->rowHeight(0) / 2);
    QVERIFY2(qGray(middle.rgb()) > 240, "cells are drawn unselected");
}

void tst_TableDialog::unwritablePictureWarnsAndRejects()
{
    ModalDialogAnswerer answerer;
    TableDialog dialog(m_dir->filePath(QStringLiteral("missing/{table}.jpg")), 2, 2);
    dialog.slotFinish();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("File could not be saved"));
    QCOMPARE(answerer.last().text, QStringLiteral("ok"));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void tst_TableDialog::finishWithoutGridWritesNothing()
{
    TableDialog dialog(picturePath(), 0, 3);
    QVERIFY(!dialog.tableWidget());
    QVERIFY(!dialog.createContextMenu());
    dialog.slotFinish();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!QFileInfo::exists(picturePath()));
}

void tst_TableDialog::preDialogShowsCounts()
{
    TableDialogPre pre(picturePath(), 5, 7);
    QCOMPARE(pre.windowTitle(), QStringLiteral("设置行数列数"));
    QVERIFY(pre.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(pre.findChild<QLineEdit *>(QStringLiteral("lineEditRowCount"))->text(),
        QStringLiteral("5"));
    QCOMPARE(pre.findChild<QLineEdit *>(QStringLiteral("lineEditColumnCount"))->text(),
        QStringLiteral("7"));
    QCOMPARE(pre.fileName(), picturePath());
}

void tst_TableDialog::preDialogRefusesCountsOutOfRange_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("columns");
    QTest::newRow("no rows") << QStringLiteral("0") << QStringLiteral("5");
    QTest::newRow("negative columns") << QStringLiteral("5") << QStringLiteral("-2");
    QTest::newRow("not a number") << QStringLiteral("五") << QStringLiteral("5");
    QTest::newRow("empty") << QStringLiteral("3") << QString();
    QTest::newRow("too many rows") << QStringLiteral("101") << QStringLiteral("5");
    QTest::newRow("twice too many columns") << QStringLiteral("3") << QStringLiteral("200");
}

void tst_TableDialog::preDialogRefusesCountsOutOfRange()
{
    QFETCH(QString, rows);
    QFETCH(QString, columns);
    ModalDialogAnswerer answerer;
    TableDialogPre pre(picturePath(), 5, 5);
    pre.findChild<QLineEdit *>(QStringLiteral("lineEditRowCount"))->setText(rows);
    pre.findChild<QLineEdit *>(QStringLiteral("lineEditColumnCount"))->setText(columns);
    pre.setResult(-1);
    pre.findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("行数和列数必须是1到100之间的整数"));
    QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
    QCOMPARE(pre.result(), -1); // still open for a correction
}

void tst_TableDialog::preDialogOpensGridAndFollowsItsResult_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("finish");
    QTest::newRow("finished") << 2 << 3 << true;
    QTest::newRow("closed") << 2 << 3 << false;
    QTest::newRow("largest count") << 100 << 2 << true;
    QTest::newRow("one by one") << 1 << 1 << true;
    QTest::newRow("largest column count") << 1 << 100 << false;
}

void tst_TableDialog::preDialogOpensGridAndFollowsItsResult()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(bool, finish);
    ModalDialogAnswerer answerer;
    QSize grid;
    QSize dialogSize;
    answerer.answerWith([&](QWidget *widget) {
        auto dialog = qobject_cast<TableDialog *>(widget);
        if (!dialog) { // a refusal of good counts: close it, the checks below tell
            qobject_cast<QDialog *>(widget)->reject();
            return;
        }
        grid = QSize(dialog->tableWidget()->columnCount(), dialog->tableWidget()->rowCount());
        dialogSize = dialog->size();
        if (finish)
            dialog->slotFinish();
        else
            dialog->reject();
    });
    TableDialogPre pre(picturePath(), 5, 5);
    pre.findChild<QLineEdit *>(QStringLiteral("lineEditRowCount"))->setText(QString::number(rows));
    pre.findChild<QLineEdit *>(QStringLiteral("lineEditColumnCount"))
        ->setText(QString::number(columns));
    pre.findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();

    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().className, QStringLiteral("TableDialog"));
    QCOMPARE(grid, QSize(columns, rows));
    if (columns > 1) // a single column is narrower than the counts above it
        QCOMPARE(dialogSize, QSize(columns * 100 + 100, rows * 50 + 100));
    QCOMPARE(pre.result(), int(finish ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(QFileInfo::exists(picturePath()), finish);
    if (finish)
        QVERIFY(!QImage(picturePath()).isNull());
}

void tst_TableDialog::newPictureNamesAreTemporaryJpegs()
{
    const QString first = TableDialogPre::newImageFileName();
    const QString second = TableDialogPre::newImageFileName();
    QVERIFY(first != second);
    const QFileInfo info(first);
    QCOMPARE(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    QVERIFY(info.fileName().startsWith(QLatin1Char('{')));
    QVERIFY(info.fileName().endsWith(QStringLiteral("}.jpg")));
    QCOMPARE(info.fileName().size(), 38 + 4);
}

QTEST_MAIN(tst_TableDialog)
#include "tst_tabledialog.moc"
