#include "tools/drawtexdialog.h"
#include "ui_drawtexdialog.h"

#include "app/serverconfig.h"

#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QScreen>

DrawTexDialog::DrawTexDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DrawTexDialog)
    , m_manager(new QNetworkAccessManager(this))
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(int(available.width() * 0.8), int(available.height() * 0.8));
    }

    connect(
        ui->widget, &PainterWidget::recognitionFinished, this, &DrawTexDialog::recognitionFinished);
    connect(
        m_manager, &QNetworkAccessManager::finished, this, &DrawTexDialog::replyDownloadFinished);

    QPushButton *ok = ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("确定"));
    ok->setStyleSheet(QStringLiteral(
        "color: rgb(255, 255, 255);background-color: rgb(27, 197, 245);border: 1px solid "
        "rgb(27, 197, 245);border-radius:5px;width:80px;height:20px;"));
    QPushButton *cancel = ui->buttonBox->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("取消"));
    cancel->setStyleSheet(QStringLiteral(
        "color: rgb(27, 197, 245);background-color: rgb(255, 255, 255);border: 1px solid "
        "rgb(27, 197, 245);border-radius:5px;width:80px;height:20px;"));

    connect(ui->MiddleTextEdit, &QTextEdit::textChanged, this,
        &DrawTexDialog::slotMiddleTextEdit_TextChanged);
}

DrawTexDialog::~DrawTexDialog()
{
    delete ui;
}

PainterWidget *DrawTexDialog::painterWidget() const
{
    return ui->widget;
}

PictureBox *DrawTexDialog::pictureBox() const
{
    return ui->pictureBox;
}

QTextEdit *DrawTexDialog::textEdit() const
{
    return ui->MiddleTextEdit;
}

QUrl DrawTexDialog::formulaUrl(const QString &tex)
{
    return QUrl(IMG_SERVER + QStringLiteral("/api/generate/formula?formulaStr=")
            + QString::fromLatin1(tex.toUtf8().toPercentEncoding()),
        QUrl::TolerantMode);
}

void DrawTexDialog::slotMiddleTextEdit_TextChanged()
{
    // Sent on every change, the empty text too; the last reply to arrive is shown.
    m_formula = ui->MiddleTextEdit->toPlainText();
    m_manager->get(QNetworkRequest(formulaUrl(m_formula)));
}

void DrawTexDialog::replyDownloadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), reply->errorString(),
            QMessageBox::NoButton, this);
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.exec();
        return;
    }
    const QImage image = QImage::fromData(reply->readAll());
    if (!image.isNull())
        ui->pictureBox->setImage(image, 1.0);
}

void DrawTexDialog::recognitionFinished(const QString &latex)
{
    m_formula = latex;
    if (!latex.isEmpty()) {
        ui->MiddleTextEdit->setPlainText(latex);
    } else {
        ui->MiddleTextEdit->clear();
        ui->pictureBox->clear();
    }
}

void DrawTexDialog::on_cleanPushButton_clicked()
{
    ui->widget->clean();
}

void DrawTexDialog::on_redoPushButton_clicked()
{
    ui->widget->redo();
}

void DrawTexDialog::on_undoPushButton_clicked()
{
    ui->widget->undo();
}
