#include "composer/exercisepreviewdialog.h"
#include "ui_exercisepreviewdialog.h"

#include "widgets/serverhtmlaccessmanager.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWebView>

ExercisePreviewDialog::ExercisePreviewDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ExercisePreviewDialog)
{
    ui->setupUi(this);
    ServerHtmlAccessManager::secure(ui->webView);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    resize(int(available.width() * 0.7), int(available.height() * 0.7));
}

ExercisePreviewDialog::~ExercisePreviewDialog()
{
    delete ui;
}

void ExercisePreviewDialog::setExerciseInfo(const ExerciseInfo &exercise)
{
    m_exercise = exercise;
}

void ExercisePreviewDialog::showPreview()
{
    ui->webView->setHtml(previewHtml(m_exercise), QUrl());
}

QString ExercisePreviewDialog::previewHtml(const ExerciseInfo &exercise)
{
    QString html = QStringLiteral(
        "<html><head><style type=\"text/css\">body {   font-size : 14px;   margin: 1cm 1cm 1cm "
        "1cm;}img {\tdisplay: inline-block;   vertical-align: middle;}</style></head><body>");
    html += QStringLiteral("<h5>题型：") + exercise.exerciseTypeName
        + QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;难度：")
        + QString::number(exercise.difficultyDegree) + QStringLiteral("</h5>");
    html += QStringLiteral("<h5>知识点：") + exercise.knowledgeNames + QStringLiteral("</h5>");
    if (!exercise.content.isEmpty())
        html += QStringLiteral("<h5>题干</h5><p>") + exercise.content + QStringLiteral("</p>");
    for (int i = 0; i < exercise.questions.size(); ++i) {
        const QuestionInfo &question = exercise.questions.at(i);
        const QString n = QString::number(i + 1);
        html += QStringLiteral("<h5>小问") + n + QStringLiteral("：</h5>");
        html += QStringLiteral("<p>") + question.questionContent + QStringLiteral("</p>");
        for (int j = 0; j < question.options.size(); ++j)
            html += QStringLiteral("<p>") + QChar(u'A' + j) + QStringLiteral(".&nbsp;")
                + question.options.at(j).content + QStringLiteral("</p>");
        html += QStringLiteral("<h5>小问") + n + QStringLiteral("答案：</h5>");
        for (const AnswerInfo &answer : question.answers)
            html += QStringLiteral("<p>") + answer.content + QStringLiteral("<br>");
        html += QStringLiteral("<h5>小问") + n + QStringLiteral("解析：</h5><p>")
            + question.questionExplain + QStringLiteral("</p>");
    }
    html += QStringLiteral("</body></html>");
    return html;
}
