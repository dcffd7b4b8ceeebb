#pragma once

#include <QWidget>

namespace Ui {
class TextEditWidget;
}
class TextEdit;

// A rich-text field: a toolbar row of icon buttons over one TextEdit, growing with its content.
class TextEditWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TextEditWidget(QWidget *parent = nullptr);
    ~TextEditWidget() override;

    QString toCodeText() const;
    void setCodeText(const QString &text);
    void setMinimumEditorHeight(int height);
    void addToolbarWidget(QWidget *widget);
    TextEdit *textEdit() const;

    static constexpr int maxImageWidth = 850;
    // The size proposed for an image: its own, narrowed to 850 pixels keeping the proportion.
    static QSize defaultImageSize(const QSize &size);
    // Asks for the size of image and inserts it; the size prompt, the width limit, the upload.
    void insertImageWithPrompt(const QImage &image);

    // The palette's characters, row by row.
    static const QStringList &specialCharacterRows();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_undoPushButton_clicked();
    void on_redoPushButton_clicked();
    void on_boldPushButton_clicked();
    void on_italicPushButton_clicked();
    void on_underlinePushButton_clicked();
    void on_rectanglePushButton_clicked();
    void on_strikeOutPushButton_clicked();
    void on_superscriptPushButton_clicked();
    void on_subscriptPushButton_clicked();
    void on_superSubscriptPushButton_clicked();
    void on_waveUnderlinePushButton_clicked();
    void on_underPointPushButton_clicked();
    void on_leftPushButton_clicked();
    void on_centerPushButton_clicked();
    void on_rightPushButton_clicked();
    void on_imagePushButton_clicked();
    void on_specCharPushButton_clicked();
    void on_texPushButton_clicked();
    void on_indentPushButton_clicked();
    void on_tablePushButton_clicked();
    void on_numberPushButton_clicked();
    void on_textEdit_textChanged();
    void slotSpecCharButtonClicked();

private:
    void adjustHeight();

    Ui::TextEditWidget *ui;
    int m_minimumEditorHeight = 30;
};
