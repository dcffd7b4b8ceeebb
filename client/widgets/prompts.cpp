#include "widgets/prompts.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

bool Prompts::askText(QWidget *parent, const QString &title, const QString &label,
    const QString &initial, QString *answer)
{
    QInputDialog dialog(parent, Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *answer = dialog.textValue();
    return true;
}

namespace {

void box(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

} // namespace

void Prompts::warning(QWidget *parent, const QString &text, const QString &title)
{
    box(parent, QMessageBox::Warning, title, text);
}

void Prompts::information(QWidget *parent, const QString &title, const QString &text)
{
    box(parent, QMessageBox::Information, title, text);
}
