#include "widgets/messagedialog.h"
#include "ui_messagedialog.h"

#include <QPushButton>

MessageDialog::MessageDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MessageDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);

    QPushButton *ok = ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("确定"));
    ok->setIcon(QIcon()); // the styled buttons carry no theme icon
    ok->setStyleSheet(QStringLiteral(
        "color: rgb(255, 255, 255);background-color: rgb(27, 197, 245);border: 1px solid rgb(27, "
        "197, 245);border-radius:5px;width:80px;height:20px;"));
    QPushButton *cancel = ui->buttonBox->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("取消"));
    cancel->setIcon(QIcon());
    cancel->setStyleSheet(QStringLiteral(
        "color: rgb(27, 197, 245);background-color: rgb(255, 255, 255);border: 1px solid rgb(27, "
        "197, 245);border-radius:5px;width:80px;height:20px;"));
}

MessageDialog::~MessageDialog()
{
    delete ui;
}

void MessageDialog::setTitle(const QString &text)
{
    setWindowTitle(text);
}

void MessageDialog::setText(const QString &text)
{
    ui->label->setText(text);
}

void MessageDialog::setCancelVisible(bool visible)
{
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setVisible(visible);
}

void MessageDialog::on_okPushButton_clicked()
{
    accept();
}

void MessageDialog::on_buttonBox_accepted()
{
    accept();
}

void MessageDialog::on_cancelPushButton_clicked()
{
    reject();
}

void MessageDialog::on_buttonBox_rejected()
{
    reject();
}

int showMessage(QWidget *parent, const QString &title, const QString &text, bool showCancel)
{
    MessageDialog dialog(parent);
    dialog.setTitle(title);
    dialog.setText(text);
    dialog.setCancelVisible(showCancel);
    return dialog.exec();
}
