#include "login/teacherlogindialog.h"
#include "ui_teacherlogindialog.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "widgets/messagedialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>

namespace {

QSettings rememberedLogin()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TeacherUser"),
        QStringLiteral("Application"));
}

} // namespace

TeacherLoginDialog::TeacherLoginDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::TeacherLoginDialog)
    , m_updateLauncher(&TeacherLoginDialog::launchUpdater)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    ui->pushButton->setEnabled(false);

    m_loginManager = new QNetworkAccessManager(this);
    connect(
        m_loginManager, &QNetworkAccessManager::finished, this, &TeacherLoginDialog::replyFinished);
    m_checkUpdateManager = new QNetworkAccessManager(this);
    connect(m_checkUpdateManager, &QNetworkAccessManager::finished, this,
        &TeacherLoginDialog::replyCheckUpdateFinished);

    const QSettings settings = rememberedLogin();
    const bool remember = settings.value(QStringLiteral("remember"), false).toBool();
    ui->rememberCheckBox->setChecked(remember);
    ui->lineEditPhone->setText(settings.value(QStringLiteral("phone")).toString());
    if (remember)
        ui->lineEditPassword->setText(settings.value(QStringLiteral("password")).toString());

    setWindowTitle(windowTitle() + QLatin1Char(' ') + appName + QLatin1Char(' ') + appVersion);
    sendVersionCheck();
}

TeacherLoginDialog::~TeacherLoginDialog()
{
    delete ui;
}

void TeacherLoginDialog::sendVersionCheck()
{
    Api::postJson(m_checkUpdateManager, LIBRARY_SERVER, QStringLiteral("/library/version/check"),
        {{QStringLiteral("version"), appVersion}}, Api::WithoutToken);
}

void TeacherLoginDialog::on_pushButton_clicked()
{
    const QString phone = ui->lineEditPhone->text().trimmed();
    const QString password = ui->lineEditPassword->text().trimmed();
    const bool remember = ui->rememberCheckBox->isChecked();

    QSettings settings = rememberedLogin();
    settings.setValue(QStringLiteral("remember"), remember);
    settings.setValue(QStringLiteral("phone"), phone);
    if (remember)
        settings.setValue(QStringLiteral("password"), password);
    else
        settings.remove(QStringLiteral("password")); // no plain-text password left behind

    Api::postJson(m_loginManager, LIBRARY_SERVER, QStringLiteral("/user/login"),
        {{QStringLiteral("phoneNumber"), phone}, {QStringLiteral("password"), password}},
        Api::WithoutToken);
    ui->progressIndicator->startAnimation();
    ui->pushButton->setEnabled(false);
}

void TeacherLoginDialog::replyFinished(QNetworkReply *reply)
{
    ui->pushButton->setEnabled(true);
    ui->progressIndicator->stopAnimation();

    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope, Api::LoginMessages))
        return;

    const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
    const QJsonObject user = data.value(QStringLiteral("user")).toObject();
    UserSession &session = UserSession::instance();
    session.loginToken = data.value(QStringLiteral("loginToken")).toString();
    session.userId = user.value(QStringLiteral("userId")).toInt();
    session.phoneNumber = user.value(QStringLiteral("phoneNumber")).toString();
    session.roleid = user.value(QStringLiteral("roleid")).toInt();
    session.rolename = user.value(QStringLiteral("rolename")).toString();
    session.username = user.value(QStringLiteral("username")).toString();
    session.subjectCode = user.value(QStringLiteral("subjectCode")).toInt();
    session.realName = user.value(QStringLiteral("realName")).toString();
    session.provinceId = user.value(QStringLiteral("provinceId")).toInt();

    if (session.subjectCode >= 1 && session.subjectCode <= 3) {
        accept();
        return;
    }
    showMessage(this, Api::warningTitle,
        QStringLiteral("对不起，目前仅开放语文、数学、英语三科录题，其他科目暂缓开放"), false);
}

void TeacherLoginDialog::replyCheckUpdateFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    // every outcome lets the teacher log in with this version, unless the update takes over
    ui->pushButton->setEnabled(true);
    if (reply->error() != QNetworkReply::NoError)
        return;
    QJsonObject envelope;
    if (!Api::parseEnvelope(reply->readAll(), &envelope))
        return;
    if (Api::status(envelope) != 0)
        return;

    const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
    const QString version = data.value(QStringLiteral("version")).toString();
    const int strategy = data.value(QStringLiteral("updatetrategy")).toVariant().toInt();
    const QString appUrl = data.value(QStringLiteral("appURL")).toString();
    if (version == appVersion)
        return;

    if (strategy == 1) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("是否升级？"),
            QStringLiteral("检测到新版本，是否升级？"), QMessageBox::Yes | QMessageBox::No, nullptr,
            Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("确定"));
        box.button(QMessageBox::No)->setText(QStringLiteral("取消"));
        if (box.exec() == QMessageBox::Yes)
            startUpdate(appUrl);
    } else if (strategy == 2) {
        startUpdate(appUrl);
    }
}

void TeacherLoginDialog::startUpdate(const QString &appUrl)
{
    m_updateLauncher(appUrl);
    reject();
}

void TeacherLoginDialog::launchUpdater(const QString &appUrl)
{
    // The address goes as one argument of its own, so a quote in it cannot add arguments.
#ifdef Q_OS_WIN
    QProcess::startDetached(QStringLiteral("Tarvel.exe"), {appUrl});
#else
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    for (const QString &name : {QStringLiteral("Tarvel"), QStringLiteral("Tarvel.exe")}) {
        const QFileInfo updater(dir + name);
        if (updater.isFile() && updater.isExecutable()) {
            QProcess::startDetached(updater.filePath(), {appUrl});
            return;
        }
    }
    QDesktopServices::openUrl(QUrl(appUrl, QUrl::TolerantMode));
#endif
}

void TeacherLoginDialog::on_resetPasswordLabel_linkActivated(QString link)
{
    Q_UNUSED(link)
    QDesktopServices::openUrl(Api::url(ACCOUNT_SERVER, QStringLiteral("/page/resetPassword")));
}
