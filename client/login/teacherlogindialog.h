#pragma once

#include <QDialog>

#include <functional>

namespace Ui {
class TeacherLoginDialog;
}
class QNetworkAccessManager;
class QNetworkReply;

// The first window: phone number and password, the remembered login, the version check.
class TeacherLoginDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TeacherLoginDialog(QWidget *parent = nullptr);
    ~TeacherLoginDialog() override;

    // Starts the updater for appURL; replaceable so tests can watch the hand-over.
    using UpdateLauncher = std::function<void(const QString &appUrl)>;
    void setUpdateLauncher(const UpdateLauncher &launcher) { m_updateLauncher = launcher; }
    static void launchUpdater(const QString &appUrl);

private slots:
    void on_pushButton_clicked();
    void replyFinished(QNetworkReply *reply);
    void replyCheckUpdateFinished(QNetworkReply *reply);
    void on_resetPasswordLabel_linkActivated(QString link);

private:
    void sendVersionCheck();
    void startUpdate(const QString &appUrl);

    Ui::TeacherLoginDialog *ui;
    QNetworkAccessManager *m_loginManager;
    QNetworkAccessManager *m_checkUpdateManager;
    UpdateLauncher m_updateLauncher;
};
