#pragma once

#include <QDialog>
#include <QUrl>

namespace Ui {
class DrawTexDialog;
}
class PainterWidget;
class PictureBox;
class QNetworkAccessManager;
class QNetworkReply;
class QTextEdit;

// Produces a TeX formula typed into the text box or written by hand on the canvas; every change
// of the text is rendered by the image server and shown below it.
class DrawTexDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DrawTexDialog(QWidget *parent = nullptr);
    ~DrawTexDialog() override;

    // The TeX text the dialog holds; what the editor inserts once the dialog is accepted.
    QString formula() const { return m_formula; }

    // The rendering address of tex: UTF-8, every byte outside the unreserved set as %XX.
    static QUrl formulaUrl(const QString &tex);

    PainterWidget *painterWidget() const;
    PictureBox *pictureBox() const;
    QTextEdit *textEdit() const;

public slots:
    void replyDownloadFinished(QNetworkReply *reply);
    void recognitionFinished(const QString &latex);
    void slotMiddleTextEdit_TextChanged();

private slots:
    void on_cleanPushButton_clicked();
    void on_redoPushButton_clicked();
    void on_undoPushButton_clicked();

private:
    Ui::DrawTexDialog *ui;
    QString m_formula;
    QNetworkAccessManager *m_manager;
};
