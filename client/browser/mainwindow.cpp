#include "browser/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "composer/exercisepreviewdialog.h"
#include "model/exercisecodec.h"
#include "widgets/safewebsettings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QJsonArray>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QVBoxLayout>
#include <QWebView>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    QPalette palette = ui->centralWidget->palette();
    palette.setColor(QPalette::Window, QColor(237, 239, 240));
    ui->centralWidget->setPalette(palette);
    ui->centralWidget->setAutoFillBackground(true);
    setWindowState(Qt::WindowMaximized);
    ui->mainToolBar->hide();
    ui->statusBar->hide();

    pageButtons = new QButtonGroup(this);
    pageButtons->setExclusive(true);
    pageButtons->addButton(ui->inputPushButton);
    pageButtons->addButton(ui->repertoryPushButton);
    ui->inputPushButton->setChecked(true);
    ui->stackedWidget->setCurrentIndex(0);
    ui->refreshPushButton->hide();

    using Slot = void (MainWindow::*)(QNetworkReply *);
    static const Slot replySlots[RequestCount] = {
        &MainWindow::replyGroupsFinished,
        &MainWindow::replyAddGroupFinished,
        &MainWindow::replyModifyGroupFinished,
        &MainWindow::replyRemoveGroupFinished,
        &MainWindow::replyExerciseTypesFinished,
        &MainWindow::replyExerciseTypeFinished,
        &MainWindow::replyExerciseKnowledgeFinished,
        &MainWindow::replyAddExerciseFinished,
        &MainWindow::replyExerciseFinished,
        &MainWindow::replyModifyExerciseFinished,
        &MainWindow::replyMoveExerciseFinished,
        &MainWindow::replyMoveExercisesFinished,
        &MainWindow::replyRemoveExerciseFinished,
        &MainWindow::replyRemoveExercisesFinished,
        &MainWindow::replyExercisesFinished,
        &MainWindow::replyGroupExerciseTypesFinished,
        &MainWindow::replyGetExercisesCountFinished,
        &MainWindow::replyTransferExerciseFinished,
    };
    for (int i = 0; i < RequestCount; ++i) {
        managers[i] = new QNetworkAccessManager(this);
        connect(managers[i], &QNetworkAccessManager::finished, this, replySlots[i]);
    }

    connect(ui->exerciseHeaderWidget, &ExerciseHeaderWidget::addGroup, this, &MainWindow::addGroup);
    connect(ui->exerciseHeaderWidget, &ExerciseHeaderWidget::selectExerciseType, this,
        &MainWindow::selectExerciseType);
    connect(ui->groupWidget, &GroupWidget::addGroup, this, &MainWindow::addGroup);
    connect(ui->groupWidget, &GroupWidget::modifyGroup, this, &MainWindow::modifyGroup);
    connect(ui->groupWidget, &GroupWidget::removeGroup, this, &MainWindow::removeGroup);
    connect(ui->groupWidget, &GroupWidget::selectGroup, this, &MainWindow::selectGroup);
    connect(ui->exerciseTypeWidget, &RadioButtonWidget::selected, this,
        &MainWindow::selectExerciseTypeView);
    connect(ui->exerciseDifficultyLevelWidget, &RadioButtonWidget::selected, this,
        &MainWindow::selectExerciseDifficultyLevelView);
    connect(ui->pageSelectwidget, &PageSelectWidget::selectPage, this, &MainWindow::selectPage);

    ui->exerciseDifficultyLevelWidget->setItems({QStringLiteral("全部"), QStringLiteral("1"),
        QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")});
    ui->exerciseDifficultyLevelWidget->rebuildButtons();
    ui->exerciseDifficultyLevelWidget->setSelectedIndex(0);

    knowledge = std::make_unique<KnowledgeNode>();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::post(
    Request request, const QString &base, const QString &path, const QVariantMap &body)
{
    Api::postJson(managers[request], base, path, body);
}

QString MainWindow::statisticsTitle(const QString &realName, int count, int totalCount)
{
    return appName + QLatin1Char(' ') + appVersion + QStringLiteral(" －用户名：") + realName
        + QStringLiteral(" 今日录入题数：") + QString::number(count) + QStringLiteral(" 总题数：")
        + QString::number(totalCount);
}

// ---- navigation, about, closing

void MainWindow::showComposerPage()
{
    ui->inputPushButton->setChecked(true);
    ui->stackedWidget->setCurrentIndex(0);
    ui->refreshPushButton->hide();
}

void MainWindow::showBankPage()
{
    ui->repertoryPushButton->setChecked(true);
    ui->stackedWidget->setCurrentIndex(1);
    ui->refreshPushButton->show();
}

void MainWindow::on_inputPushButton_clicked(bool)
{
    showComposerPage();
}

void MainWindow::on_repertoryPushButton_clicked(bool)
{
    showBankPage();
}

void MainWindow::on_refreshPushButton_clicked()
{
    fetchGroups();
}

void MainWindow::on_aboutPushButton_clicked()
{
    QDialog dialog(this, Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(QStringLiteral("关于 Quenmo"));
    auto layout = new QVBoxLayout(&dialog);
    auto view = new QWebView(&dialog);
    SafeWebSettings::apply(view);
    layout->addWidget(view);
    view->load(QUrl(QStringLiteral("qrc:/about.html")));
    dialog.setWindowState(Qt::WindowMaximized);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // closing this window ends the program even while a preview is still open
    QApplication::quit();
    QMainWindow::closeEvent(event);
}

// ---- statistics

void MainWindow::fetchExercisesCount()
{
    post(GetExercisesCountRequest, LIBRARY_SERVER, QStringLiteral("/library/statistics/count"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("createDate"),
                QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))}});
}

void MainWindow::replyGetExercisesCountFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope, Api::AcceptNoData))
        return;
    const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
    setWindowTitle(statisticsTitle(UserSession::instance().realName,
        data.value(QStringLiteral("count")).toVariant().toInt(),
        data.value(QStringLiteral("totalCount")).toVariant().toInt()));
}

// ---- groups

void MainWindow::fetchGroups()
{
    post(GroupsRequest, LIBRARY_SERVER, QStringLiteral("/library/fetch/groups"),
        {{QStringLiteral("userId"), UserSession::instance().userId}});
}

void MainWindow::replyGroupsFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope, Api::AcceptNoData))
        return;
    if (Api::status(envelope) == Api::NoDataStatus) {
        // a teacher without groups gets one to file exercises in
        addGroup(QStringLiteral("我的题库"));
        return;
    }
    groups.clear();
    const QJsonArray data = envelope.value(QStringLiteral("data")).toArray();
    for (const QJsonValue &value : data) {
        const QJsonObject object = value.toObject();
        GroupInfo group;
        group.groupId = object.value(QStringLiteral("groupId")).toVariant().toInt();
        group.groupName = object.value(QStringLiteral("groupName")).toString();
        group.count = object.value(QStringLiteral("count")).toVariant().toInt();
        groups << group;
    }
    ui->exerciseHeaderWidget->setGroups(groups);
    ui->groupWidget->setGroups(groups);
    ui->groupWidget->rebuildRows();
    fetchGroupExerciseTypes();
}

void MainWindow::addGroup(QString name)
{
    post(AddGroupRequest, LIBRARY_SERVER, QStringLiteral("/library/add/group"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("groupName"), name}});
}

void MainWindow::modifyGroup(int id, QString name)
{
    post(ModifyGroupRequest, LIBRARY_SERVER, QStringLiteral("/library/modify/group"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("groupId"), id}, {QStringLiteral("groupName"), name}});
}

void MainWindow::removeGroup(int id)
{
    post(RemoveGroupRequest, LIBRARY_SERVER, QStringLiteral("/library/remove/group"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("groupId"), id}});
}

void MainWindow::replyAddGroupFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (Api::checkReply(reply, this, &envelope))
        fetchGroups();
}

void MainWindow::replyModifyGroupFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (Api::checkReply(reply, this, &envelope))
        fetchGroups();
}

void MainWindow::replyRemoveGroupFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    fetchGroups();
    QMessageBox box(QMessageBox::Information, QStringLiteral("成功"),
        QStringLiteral("删除分组成功"), QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void MainWindow::selectGroup(int)
{
    fetchGroupExerciseTypes();
}

// ---- exercise listing (filled in with the bank page)

void MainWindow::fetchGroupExerciseTypes()
{
    const int row = ui->groupWidget->currentIndex();
    if (row < 0 || row >= groups.size())
        return;
    post(GroupExerciseTypesRequest, LIBRARY_SERVER, QStringLiteral("/library/fetch/type"),
        {{QStringLiteral("groupId"), groups.at(row).groupId}});
}

void MainWindow::replyGroupExerciseTypesFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    Api::checkReply(reply, this, &envelope, Api::AcceptNoData);
}

void MainWindow::replyExercisesFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    Api::checkReply(reply, this, &envelope);
}

void MainWindow::selectPage(int) { }
void MainWindow::selectExerciseTypeView(int) { }
void MainWindow::selectExerciseDifficultyLevelView(int) { }

// ---- moving and removing exercises

void MainWindow::moveExercise(int, int) { }
void MainWindow::removeExercise(int) { }
void MainWindow::on_checkBoxSelectAllExercises_clicked() { }
void MainWindow::on_btnMoveSomeExercises_clicked() { }
void MainWindow::on_btnRemoveSomeExercises_clicked() { }

void MainWindow::replyMoveExerciseFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (Api::checkReply(reply, this, &envelope))
        fetchGroups();
}

void MainWindow::replyMoveExercisesFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (Api::checkReply(reply, this, &envelope))
        fetchGroups();
}

void MainWindow::replyRemoveExerciseFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    fetchExercisesCount();
    fetchGroups();
}

void MainWindow::replyRemoveExercisesFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    fetchExercisesCount();
    fetchGroups();
}

// ---- catalogues

void MainWindow::fetchExerciseTypes()
{
    post(ExerciseTypesRequest, LIBRARY_SERVER, QStringLiteral("/library/fetch/exerciseTypes"),
        {{QStringLiteral("userId"), UserSession::instance().userId}});
}

void MainWindow::fetchExerciseKnowledge()
{
    post(ExerciseKnowledgeRequest, LIBRARY_SERVER,
        QStringLiteral("/library/fetch/exerciseKnowledge"),
        {{QStringLiteral("userId"), UserSession::instance().userId}});
}

void MainWindow::replyExerciseTypesFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    exerciseTypes.clear();
    const QJsonArray data = envelope.value(QStringLiteral("data")).toArray();
    for (const QJsonValue &value : data) {
        const QJsonObject object = value.toObject();
        ExerciseTypeInfo type;
        type.id = object.value(QStringLiteral("id")).toVariant().toInt();
        type.provinceId = object.value(QStringLiteral("provinceId")).toVariant().toInt();
        type.name = object.value(QStringLiteral("name")).toString();
        exerciseTypes << type;
    }
    ui->exerciseHeaderWidget->setExerciseTypes(exerciseTypes);
}

void MainWindow::fetchExerciseType(int exerciseTypeId)
{
    post(ExerciseTypeRequest, BENCH_SERVER,
        QStringLiteral("/api/exercise_and_question/type/detail"),
        {{QStringLiteral("exerciseTypeId"), exerciseTypeId},
            {QStringLiteral("provinceId"), UserSession::instance().provinceId}});
}

void MainWindow::replyExerciseTypeFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    typeDetail = ExerciseTypeDetail::fromJson(envelope.value(QStringLiteral("data")).toObject());
    showComposerPage();
}

void MainWindow::replyExerciseKnowledgeFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    knowledge->setChildren(envelope.value(QStringLiteral("data")).toArray());
}

// ---- exercise record

void MainWindow::setSavedExercise(const ExerciseInfo &exercise)
{
    savedExercise = std::make_unique<ExerciseInfo>(exercise);
}

void MainWindow::modifyExercise(int id)
{
    savedExercise.reset();
    post(ExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/fetch/exercise/id"),
        {{QStringLiteral("exerciseId"), id}});
}

void MainWindow::replyExerciseFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    const ExerciseInfo exercise
        = ExerciseCodec::fromFetchReply(envelope.value(QStringLiteral("data")).toObject());
    loadExercise(exercise);
}

void MainWindow::loadExercise(const ExerciseInfo &exercise)
{
    setSavedExercise(exercise);
    modifyingExerciseId = exercise.id;
    for (int i = 0; i < groups.size(); ++i) {
        if (groups.at(i).groupId == exercise.folderId) {
            ui->exerciseHeaderWidget->setGroupIndex(i);
            break;
        }
    }
    for (int i = 0; i < exerciseTypes.size(); ++i) {
        if (exerciseTypes.at(i).id == exercise.exerciseTypeId) {
            ui->exerciseHeaderWidget->setExerciseTypeIndex(i);
            break;
        }
    }
    ui->exerciseHeaderWidget->setRate(exercise.difficultyDegree);
    fetchExerciseType(exercise.exerciseTypeId);
}

void MainWindow::sendAddExercise(const ExerciseInfo &exercise)
{
    post(AddExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/add/exercise"),
        ExerciseCodec::addBody(exercise, UserSession::instance().userId));
}

void MainWindow::sendModifyExercise(const ExerciseInfo &exercise)
{
    post(ModifyExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/modify/exercise"),
        ExerciseCodec::modifyBody(exercise, UserSession::instance().userId));
}

void MainWindow::sendTransferExercise()
{
    if (!savedExercise)
        return;
    const QStringList texts = ExerciseCodec::transferTexts(*savedExercise);
    if (texts.isEmpty())
        return;
    post(TransferExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/transfer/xml"),
        {{QStringLiteral("xmls"), texts}});
}

// ---- composer (filled in with the composer)

void MainWindow::selectExerciseType(int index)
{
    if (index >= 0 && index < exerciseTypes.size())
        fetchExerciseType(exerciseTypes.at(index).id);
}
void MainWindow::resetTabWidgetText() { }
void MainWindow::addExerciseQuestionWidget() { }
void MainWindow::removeExerciseQuestionWidget(int) { }
void MainWindow::movedExerciseQuestionWidget(int, int) { }
void MainWindow::previewExercise() { }
void MainWindow::submitExercise() { }
void MainWindow::cancelExercise() { }

void MainWindow::replyAddExerciseFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    Api::checkReply(reply, this, &envelope);
}

void MainWindow::replyModifyExerciseFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    Api::checkReply(reply, this, &envelope);
}

void MainWindow::replyTransferExerciseFinished(QNetworkReply *reply)
{
    // a network error is reported even when there is nothing left to preview
    if (!savedExercise && reply->error() == QNetworkReply::NoError) {
        reply->deleteLater();
        return;
    }
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope) || !savedExercise)
        return;
    QStringList texts;
    const QJsonArray data = envelope.value(QStringLiteral("data")).toArray();
    for (const QJsonValue &value : data)
        texts << value.toVariant().toString();
    ExerciseInfo converted = *savedExercise;
    ExerciseCodec::applyTransferredTexts(converted, texts);

    ExercisePreviewDialog dialog;
    dialog.setExerciseInfo(converted);
    dialog.showPreview();
    dialog.exec();
}
