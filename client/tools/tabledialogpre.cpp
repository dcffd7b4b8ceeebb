#include "tools/tabledialogpre.h"
#include "ui_tabledialogpre.h"

#include "tools/tabledialog.h"

#include <QDir>
#include <QMessageBox>
#include <QUuid>

const QString TableDialogPre::countWarningText = QStringLiteral("行数和列数必须是1到100之间的整数");

TableDialogPre::TableDialogPre(const QString &fileName, int rows, int cols, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::TableDialogPre)
    , m_fileName(fileName)
{
    ui->setupUi(this);
    ui->lineEditRowCount->setText(QString::number(rows));
    ui->lineEditColumnCount->setText(QString::number(cols));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("设置行数列数"));
}

TableDialogPre::~TableDialogPre()
{
    delete ui;
}

QString TableDialogPre::newImageFileName()
{
    // The working directory of an installed program is often not writable.
    return QDir(QDir::tempPath()).filePath(QUuid::createUuid().toString() + QStringLiteral(".jpg"));
}

void TableDialogPre::on_pushButtonOK_clicked()
{
    const int cols = ui->lineEditColumnCount->text().toInt();
    const int rows = ui->lineEditRowCount->text().toInt();
    if (rows < 1 || cols < 1 || rows > maximumCount || cols > maximumCount) {
        // An empty grid makes no picture, and a huge one exhausts memory before it shows; let
        // the teacher correct the counts.
        QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), countWarningText,
            QMessageBox::NoButton, this);
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.exec();
        return;
    }

    TableDialog dialog(m_fileName, rows, cols);
    if (dialog.exec() == QDialog::Accepted)
        accept();
    else
        reject();
}
