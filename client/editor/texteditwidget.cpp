#include "editor/texteditwidget.h"
#include "ui_texteditwidget.h"

#include "editor/textedit.h"
#include "tools/drawtexdialog.h"
#include "tools/tabledialogpre.h"
#include "widgets/prompts.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUuid>
#include <QtMath>

TextEditWidget::TextEditWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TextEditWidget)
{
    ui->setupUi(this);
    ui->textEdit->setFontFamily(QStringLiteral("楷体"));
    ui->textEdit->setPlaceholderText(QStringLiteral("复制的文字可能会丢失部分字符，请注意检查"));
    // the layout settles after the text has changed (wrapping, late pictures)
    connect(ui->textEdit->document()->documentLayout(),
        &QAbstractTextDocumentLayout::documentSizeChanged, this, &TextEditWidget::adjustHeight);
}

TextEditWidget::~TextEditWidget()
{
    delete ui;
}

TextEdit *TextEditWidget::textEdit() const
{
    return ui->textEdit;
}

QString TextEditWidget::toCodeText() const
{
    return ui->textEdit->toCodeText();
}

void TextEditWidget::setCodeText(const QString &text)
{
    ui->textEdit->setCodeText(text);
}

void TextEditWidget::setMinimumEditorHeight(int height)
{
    m_minimumEditorHeight = height;
}

void TextEditWidget::addToolbarWidget(QWidget *widget)
{
    ui->horizontalLayout->addWidget(widget);
}

void TextEditWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    adjustHeight();
}

void TextEditWidget::on_textEdit_textChanged()
{
    adjustHeight();
}

void TextEditWidget::adjustHeight()
{
    // the document needs its own height inside the frame; without the frame a single line
    // already overflows and shows a scroll bar
    QTextEdit *edit = ui->textEdit;
    const QMargins margins = edit->contentsMargins();
    const int content = qCeil(edit->document()->documentLayout()->documentSize().height())
        + margins.top() + margins.bottom();
    edit->setMinimumHeight(qMax(content, m_minimumEditorHeight));
}

void TextEditWidget::on_undoPushButton_clicked()
{
    ui->textEdit->undo();
}

void TextEditWidget::on_redoPushButton_clicked()
{
    ui->textEdit->redo();
}

void TextEditWidget::on_boldPushButton_clicked()
{
    ui->textEdit->toggleBold();
}

void TextEditWidget::on_italicPushButton_clicked()
{
    ui->textEdit->toggleItalic();
}

void TextEditWidget::on_underlinePushButton_clicked()
{
    ui->textEdit->toggleUnderline();
}

void TextEditWidget::on_rectanglePushButton_clicked()
{
    ui->textEdit->toggleRectangle();
}

void TextEditWidget::on_strikeOutPushButton_clicked()
{
    ui->textEdit->toggleStrikeOut();
}

void TextEditWidget::on_superscriptPushButton_clicked()
{
    ui->textEdit->toggleSuperscript();
}

void TextEditWidget::on_subscriptPushButton_clicked()
{
    ui->textEdit->toggleSubscript();
}

void TextEditWidget::on_superSubscriptPushButton_clicked()
{
    QString answer;
    if (!Prompts::askText(this, QStringLiteral("上下标"),
            QStringLiteral("请输入上下标，以空格分开"), QString(), &answer)
        || answer.isEmpty())
        return;
    const QStringList parts = answer.split(QLatin1Char(' '));
    if (parts.size() >= 2)
        ui->textEdit->insertSuperSubscript(parts.at(0), parts.at(1));
}

void TextEditWidget::on_waveUnderlinePushButton_clicked()
{
    ui->textEdit->toggleWaveUnderline();
}

void TextEditWidget::on_underPointPushButton_clicked()
{
    ui->textEdit->toggleUnderPoint();
}

void TextEditWidget::on_leftPushButton_clicked()
{
    ui->textEdit->alignLeft();
}

void TextEditWidget::on_centerPushButton_clicked()
{
    ui->textEdit->alignCenter();
}

void TextEditWidget::on_rightPushButton_clicked()
{
    ui->textEdit->alignRight();
}

QSize TextEditWidget::defaultImageSize(const QSize &size)
{
    if (size.width() > maxImageWidth)
        return QSize(maxImageWidth, size.height() * maxImageWidth / size.width());
    return size;
}

void TextEditWidget::on_imagePushButton_clicked()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("选择图片"),
        QStringLiteral("."), QStringLiteral("Images (*.png *.bmp *.jpg *.tiff)"));
    if (file.isEmpty())
        return;
    insertImageWithPrompt(QImage(file));
}

void TextEditWidget::insertImageWithPrompt(const QImage &image)
{
    const QSize proposed = defaultImageSize(image.size());
    QString answer;
    if (!Prompts::askText(this, QStringLiteral("图片"),
            QStringLiteral("请输入图片宽度和高度，以空格分开"),
            QString::number(proposed.width()) + QLatin1Char(' ')
                + QString::number(proposed.height()),
            &answer)
        || answer.isEmpty())
        return;
    const QStringList parts = answer.split(QLatin1Char(' '));
    if (parts.size() < 2)
        return;
    bool wideOk = false;
    bool highOk = false;
    const int w = parts.at(0).toInt(&wideOk);
    const int h = parts.at(1).toInt(&highOk);
    if (wideOk && w > maxImageWidth) {
        Prompts::warning(
            this, QStringLiteral("图片的宽度不能大于") + QString::number(maxImageWidth));
        return;
    }
    // an empty or degenerate picture would only reach the server as garbage
    if (!wideOk || !highOk || w <= 0 || h <= 0 || image.isNull()) {
        Prompts::warning(this, QStringLiteral("图片的宽度和高度必须是正整数"));
        return;
    }
    const QImage scaled = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    ui->textEdit->insertImage(scaled, w, h);
}

const QStringList &TextEditWidget::specialCharacterRows()
{
    static const QStringList rows = {
        QStringLiteral("｛｝≈≠≒∶∵∴∷Ω∑∅∝∽∈"),
        QStringLiteral("∩∧⊙⌒∥∆∞≌∉∪∨∠∫∟…"),
        QStringLiteral("αβγδεζηθικλμνξο"),
        QStringLiteral("πρστυφχψω"),
        QStringLiteral("āáǎàōóǒòêēéěèīí"),
        QStringLiteral("ǐìūúǔùǖǘǚǜü"),
        QStringLiteral("ⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩⅪⅫ"),
        QStringLiteral("①②③④⑤⑥⑦⑧⑨⑩⑪⑫⑬⑭⑮"),
        QStringLiteral("⑯⑰⑱⑲⑳"),
        QStringLiteral("※●•→←↑↓↘↙‖【「」『』〖"),
        QStringLiteral("〗∧‰%…℃＆¥$€♀♂"),
    };
    return rows;
}

void TextEditWidget::on_specCharPushButton_clicked()
{
    QDialog palette(this, Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    palette.setWindowTitle(QStringLiteral("特殊字符"));
    auto form = new QFormLayout(&palette);
    for (const QString &row : specialCharacterRows()) {
        auto line = new QHBoxLayout;
        line->setSpacing(10);
        for (const QChar c : row) {
            if (c == QLatin1Char(' '))
                continue;
            auto button = new QPushButton(QString(c), &palette);
            button->setFixedSize(30, 30);
            button->setAutoDefault(false);
            connect(
                button, &QPushButton::clicked, this, &TextEditWidget::slotSpecCharButtonClicked);
            line->addWidget(button);
        }
        form->addRow(line);
    }
    palette.exec();
}

void TextEditWidget::slotSpecCharButtonClicked()
{
    if (auto button = qobject_cast<QPushButton *>(sender()))
        ui->textEdit->insertPlainText(button->text());
}

void TextEditWidget::on_texPushButton_clicked()
{
    DrawTexDialog dialog;
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString formula = dialog.formula();
    if (!formula.isEmpty())
        ui->textEdit->insertTex(formula);
}

void TextEditWidget::on_indentPushButton_clicked()
{
    ui->textEdit->insertIndent();
}

void TextEditWidget::on_tablePushButton_clicked()
{
    // a writable place, whatever the current directory is
    const QString file
        = QDir::temp().filePath(QUuid::createUuid().toString() + QStringLiteral(".jpg"));
    TableDialogPre dialog(file, 5, 5);
    if (dialog.exec() == QDialog::Accepted)
        insertImageWithPrompt(QImage(file));
    QFile::remove(file);
}

void TextEditWidget::on_numberPushButton_clicked()
{
    ui->textEdit->insertQuestionNum();
}
