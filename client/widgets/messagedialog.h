#pragma once

#include <QDialog>

namespace Ui {
class MessageDialog;
}

// The modal message and confirmation dialog of the reply failures and the composer checks.
class MessageDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MessageDialog(QWidget *parent = nullptr);
    ~MessageDialog() override;

    void setTitle(const QString &text);
    void setText(const QString &text);
    void setCancelVisible(bool visible);

private slots:
    void on_okPushButton_clicked();
    void on_buttonBox_accepted();
    void on_cancelPushButton_clicked();
    void on_buttonBox_rejected();

private:
    Ui::MessageDialog *ui;
};

// Runs a MessageDialog on parent; 1 when OK was pressed, 0 for Cancel or closing the window.
int showMessage(QWidget *parent, const QString &title, const QString &text, bool showCancel);
