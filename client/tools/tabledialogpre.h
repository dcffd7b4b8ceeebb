#pragma once

#include <QDialog>

namespace Ui {
class TableDialogPre;
}

// Asks for the numbers of rows and columns, then opens the table grid; accepted once the grid
// has written its picture to fileName.
class TableDialogPre : public QDialog
{
    Q_OBJECT

public:
    TableDialogPre(const QString &fileName, int rows, int cols, QWidget *parent = nullptr);
    ~TableDialogPre() override;

    QString fileName() const { return m_fileName; }

    // A fresh picture path in the system's temporary directory: a braced UUID with ".jpg".
    static QString newImageFileName();

    static constexpr int maximumCount = 100;
    static const QString countWarningText;

private slots:
    void on_pushButtonOK_clicked();

private:
    Ui::TableDialogPre *ui;
    QString m_fileName;
};
