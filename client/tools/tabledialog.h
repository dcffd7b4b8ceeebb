#pragma once

#include <QDialog>

class QLineEdit;
class QMenu;
class QTableWidget;

// The grid in which a table is typed, extended and merged; "完成" renders it into a picture
// file for the editor.
class TableDialog : public QDialog
{
    Q_OBJECT

public:
    TableDialog(const QString &fileName, int rows, int cols, QWidget *parent = nullptr);

    // Null when the dialog was opened with a count below 1.
    QTableWidget *tableWidget() const { return table; }
    QString fileName() const { return m_fileName; }

    // Takes the selection as the rectangle of its rows and columns and offers what fits it;
    // null without a selection. The caller owns the menu.
    QMenu *createContextMenu();
    // Every column and row in its real size, with the margin the picture always had.
    QSize pictureSize() const;
    bool saveImage();

public slots:
    void slotOk();
    void slotFinish();
    void slotRightClick(const QPoint &pos);
    void slotAddRowBefor();
    void slotAddRowAfter();
    void slotAddColumnBefor();
    void slotAddColumnAfter();
    void slotSpan();
    void slotSplit();

private:
    void fillRow(int row);
    void fillColumn(int column);

    QTableWidget *table = nullptr;
    QLineEdit *columnsEdit;
    QLineEdit *rowsEdit;
    int selRow = 0;
    int selCol = 0;
    int selRowCount = 0;
    int selColCount = 0;
    QString m_fileName;
};
