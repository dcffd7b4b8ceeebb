#include "browser/exerciseviewwidget.h"
#include "ui_exerciseviewwidget.h"

#include "widgets/serverhtmlaccessmanager.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>

namespace {

const int heightDelayMs = 50;
const int buttonDelayMs = 200;

// "<p>1.&nbsp;text</p>" when the list has several entries, "<p>text</p>" for one
QString numbered(int index, int count, const QString &text)
{
    if (count >= 2)
        return QStringLiteral("<p>") + QString::number(index + 1) + QStringLiteral(".&nbsp;") + text
            + QStringLiteral("</p>");
    return QStringLiteral("<p>") + text + QStringLiteral("</p>");
}

} // namespace

ExerciseViewWidget::ExerciseViewWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExerciseViewWidget)
{
    ui->setupUi(this);
    // server HTML: no scripts, no plugins, no local files
    ServerHtmlAccessManager::secure(ui->webView);
    QWebFrame *frame = ui->webView->page()->mainFrame();
    frame->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    frame->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    // A frame's contents are never smaller than the view: start flat so that the first
    // measurement is the content's own height.
    ui->webView->setFixedHeight(0);
    // the view is disabled so that it takes no input; keep the card white all the same
    QPalette palette = ui->webView->palette();
    palette.setColor(QPalette::Disabled, QPalette::Base, Qt::white);
    ui->webView->setPalette(palette);
    connect(frame, &QWebFrame::contentsSizeChanged, this, &ExerciseViewWidget::slot_resizeWebView);
}

ExerciseViewWidget::~ExerciseViewWidget()
{
    delete ui;
}

QString ExerciseViewWidget::cardHtml(const ExerciseSummary &summary, bool expanded)
{
    QString html = QStringLiteral(
        "<html><head><style type=\"text/css\">body {    font-size : 14px;   color:#4a4a4a;   "
        "line-height:25px}img {\tdisplay: inline-block;    vertical-align: "
        "middle;}</style></head><body>");
    html += QStringLiteral("<p>") + summary.exerciseContent + QStringLiteral("</p>");
    const int questionCount = summary.questions.size();
    for (int i = 0; i < questionCount; ++i) {
        const ExerciseSummaryQuestion &question = summary.questions.at(i);
        html += numbered(i, questionCount, question.questionContent);
        for (const ExerciseSummaryOption &option : question.options)
            html += QStringLiteral("<p>") + option.option + QStringLiteral(".&nbsp;")
                + option.content + QStringLiteral("</p>");
    }
    if (expanded) {
        html += QStringLiteral("<p>答案:</p>");
        for (int i = 0; i < summary.answers.size(); ++i)
            html += numbered(i, summary.answers.size(), summary.answers.at(i));
        html += QStringLiteral("<p>解析:</p>");
        for (int i = 0; i < summary.analysis.size(); ++i)
            html += numbered(i, summary.analysis.size(), summary.analysis.at(i));
    }
    html += QStringLiteral("</body></html>");
    return html;
}

void ExerciseViewWidget::setExercise(const ExerciseSummary &summary)
{
    exercise = summary;
    slot_Reload();
}

bool ExerciseViewWidget::isChecked() const
{
    return ui->checkBox->isChecked();
}

void ExerciseViewWidget::setChecked(bool checked)
{
    ui->checkBox->setChecked(checked);
}

void ExerciseViewWidget::slot_Reload()
{
    loaded = false;
    renderedHtml = cardHtml(exercise, expanded);
    ui->webView->setHtml(renderedHtml, QUrl());
    ui->dateLabel->setText(QStringLiteral("录题时间:") + exercise.recordTime);
    ui->showLabel->setText(expanded
            ? QStringLiteral("<a style='color: green;' href = 'show'>收起</a>")
            : QStringLiteral("<a style='color: green;' href = 'hide'>查看详情</a>"));
}

void ExerciseViewWidget::on_showLabel_linkActivated(const QString &)
{
    expanded = !expanded;
    slot_Reload();
}

void ExerciseViewWidget::on_webView_loadFinished(bool)
{
    loaded = true;
    QTimer::singleShot(heightDelayMs, this, &ExerciseViewWidget::slot_changeWebViewHeight);
}

void ExerciseViewWidget::slot_resizeWebView(const QSize &)
{
    QTimer::singleShot(heightDelayMs, this, &ExerciseViewWidget::slot_changeWebViewHeight);
}

void ExerciseViewWidget::slot_changeWebViewHeight()
{
    int h = ui->webView->page()->mainFrame()->contentsSize().height();
    if (!shown)
        return;
    if (!expanded) {
        if (collapsedHeight != 0)
            h = collapsedHeight;
        else if (loaded)
            collapsedHeight = h; // pictures that arrive late would make a first guess short
    }
    // the view also shrinks back when the details are hidden
    ui->webView->setMinimumHeight(h);
    ui->webView->setMaximumHeight(h);
}

void ExerciseViewWidget::showEvent(QShowEvent *event)
{
    if (!shown)
        QTimer::singleShot(heightDelayMs, this, &ExerciseViewWidget::slot_changeWebViewHeight);
    shown = true;
    QWidget::showEvent(event);
}

void ExerciseViewWidget::disableForAWhile(QObject *button)
{
    if (auto pushButton = qobject_cast<QPushButton *>(button))
        pushButton->setEnabled(false);
    QTimer::singleShot(buttonDelayMs, this, &ExerciseViewWidget::slot_changeButtonEnabled);
}

void ExerciseViewWidget::slot_changeButtonEnabled()
{
    ui->modifyPushButton->setEnabled(true);
    ui->movePushButton->setEnabled(true);
    ui->removePushButton->setEnabled(true);
}

void ExerciseViewWidget::on_modifyPushButton_clicked()
{
    disableForAWhile(sender());
    emit modifyExercise(exercise.exerciseId);
}

void ExerciseViewWidget::on_movePushButton_clicked()
{
    disableForAWhile(sender());
    emit moveExercise(exercise.exerciseId, exercise.groupId);
}

void ExerciseViewWidget::on_removePushButton_clicked()
{
    QObject *button = sender();
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setWindowTitle(QStringLiteral("删除"));
    box.setText(QStringLiteral("是否删除这道题？"));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::No)->setText(QStringLiteral("取消"));
    QPointer<ExerciseViewWidget> self(this);
    const int answer = box.exec();
    // a list reply may have replaced the cards while the question was open
    if (!self || answer != QMessageBox::Yes)
        return;
    disableForAWhile(button);
    emit removeExercise(exercise.exerciseId);
}
