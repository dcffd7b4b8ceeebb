#include "browser/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/exerciseviewwidget.h"
#include "composer/exercisedraft.h"
#include "composer/exercisepreviewdialog.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/paperimport.h"
#include "composer/paperimportqueue.h"
#include "model/exercisecodec.h"
#include "model/exercisejson.h"
#include "widgets/messagedialog.h"
#include "widgets/prompts.h"
#include "widgets/safewebsettings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QInputDialog>
#include <QJsonArray>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebView>

#include <algorithm>

const QString MainWindow::draftQuestion = QStringLiteral("有未提交的题目，是否恢复？");

const QString MainWindow::bodyPendingText
    = QStringLiteral("要修改的题目还未载入，请重新打开这道题");

const QString MainWindow::replaceQuestion
    = QStringLiteral("正在录入的题目还未提交，打开这道题将放弃它，是否继续？");

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

    paperImporter = new PaperImport(this, ui->exerciseHeaderWidget);
    connect(this, &MainWindow::exerciseAdded, paperImporter, &PaperImport::exerciseAdded);
    connect(
        this, &MainWindow::compositionCancelled, paperImporter, &PaperImport::compositionCancelled);
}

MainWindow::~MainWindow()
{
    delete ui;
}

// ---- the draft of the exercise being composed

void MainWindow::keepDrafts()
{
    draft = std::make_unique<ExerciseDraft>(ExerciseDraft::pathFor(UserSession::instance().userId));
    draftTimer = new QTimer(this);
    draftTimer->setInterval(draftInterval);
    connect(draftTimer, &QTimer::timeout, this, &MainWindow::saveDraft);
    paperImporter->keepQueueIn(PaperImportQueue::pathFor(UserSession::instance().userId));
    offerDraftWhenReady();
}

void MainWindow::offerDraftWhenReady()
{
    // the draft names its group, type and knowledge points; they must be known to restore it
    if (!draft || draftOffered || !questionTabWidget || !groupsLoaded || !knowledgeLoaded)
        return;
    draftOffered = true;
    QTimer::singleShot(0, this, &MainWindow::offerDraft);
}

void MainWindow::offerDraft()
{
    ExerciseInfo kept;
    // an imported paper's queue comes back with the draft, or alone
    const bool paperKept = paperImporter->restoreQueue();
    auto offerPaperAlone = [this, paperKept] {
        if (!paperKept)
            return;
        if (showMessage(this, QStringLiteral("恢复"), draftQuestion, true) == 1)
            paperImporter->resumeQueue(false);
        else
            paperImporter->dropQueue();
    };
    switch (draft->read(&kept)) {
    case ExerciseDraft::ReadResult::Missing:
        offerPaperAlone();
        break;
    case ExerciseDraft::ReadResult::Unreadable: {
        const QString aside = draft->setAside();
        showMessage(this, Api::warningTitle,
            QStringLiteral("未提交的题目无法读取，已另存为：")
                + QDir::toNativeSeparators(aside.isEmpty() ? draft->path() : aside),
            false);
        offerPaperAlone();
        break;
    }
    case ExerciseDraft::ReadResult::Found:
        if (!ExerciseDraft::holdsWork(kept) && !paperKept) {
            draft->discard();
        } else if (showMessage(this, QStringLiteral("恢复"), draftQuestion, true) == 1) {
            // the queue holds its shown exercise as the draft does; a modification comes first
            paperImporter->resumeQueue(paperKept && kept.id != -1);
            if (paperKept && kept.id == -1)
                break;
            // in tab order, as the teacher left them
            std::stable_sort(kept.questions.begin(), kept.questions.end(),
                [](const QuestionInfo &a, const QuestionInfo &b) {
                    return a.questionIndex < b.questionIndex;
                });
            loadExercise(kept);
        } else {
            draft->discard();
            paperImporter->dropQueue();
        }
        break;
    }
    draftTimer->start();
}

void MainWindow::saveDraft()
{
    // nothing is written until the old draft was offered, nor while a loaded exercise still
    // waits for its body
    if (!draft || !draftTimer->isActive() || bodyPending || !questionTabWidget)
        return;
    ExerciseInfo state;
    if (!getExerciseInfo(state, false))
        return;
    paperImporter->keepState(state);
    if (!ExerciseDraft::holdsWork(state) && !draft->exists())
        return;
    draft->write(state);
}

void MainWindow::discardDraft()
{
    if (!draft)
        return;
    draft->discard();
    // the composer still shows the work until it is rebuilt: nothing may write it back
    draftTimer->stop();
}

void MainWindow::resumeDraft()
{
    if (draft && draftOffered)
        draftTimer->start();
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
    saveDraft();
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
    groupsLoaded = true;
    offerDraftWhenReady();
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

void MainWindow::reloadAfter(QNetworkReply *reply, bool counts)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    if (counts)
        fetchExercisesCount();
    fetchGroups();
}

void MainWindow::replyAddGroupFinished(QNetworkReply *reply)
{
    reloadAfter(reply, false);
}

void MainWindow::replyModifyGroupFinished(QNetworkReply *reply)
{
    reloadAfter(reply, false);
}

void MainWindow::replyRemoveGroupFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    fetchGroups();
    Prompts::information(this, QStringLiteral("成功"), QStringLiteral("删除分组成功"));
}

void MainWindow::selectGroup(int)
{
    fetchGroupExerciseTypes();
}

// ---- exercise listing

bool MainWindow::isSuperseded(QNetworkReply *reply, QNetworkReply **latest)
{
    if (reply == *latest) {
        *latest = nullptr;
        return false;
    }
    reply->deleteLater();
    return true;
}

void MainWindow::fetchGroupExerciseTypes()
{
    const int row = ui->groupWidget->currentIndex();
    if (row < 0 || row >= groups.size())
        return;
    latestGroupExerciseTypesReply = Api::postJson(managers[GroupExerciseTypesRequest],
        LIBRARY_SERVER, QStringLiteral("/library/fetch/type"),
        {{QStringLiteral("groupId"), groups.at(row).groupId}});
}

void MainWindow::replyGroupExerciseTypesFinished(QNetworkReply *reply)
{
    // an older group's types must not replace the row of the group now selected
    if (isSuperseded(reply, &latestGroupExerciseTypesReply))
        return;
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope, Api::AcceptNoData))
        return;
    groupExerciseTypes.clear();
    QStringList labels {QStringLiteral("全部")};
    const QJsonArray data = envelope.value(QStringLiteral("data")).toArray();
    for (const QJsonValue &value : data) {
        const QJsonObject object = value.toObject();
        ExerciseTypeInfo type;
        type.id = object.value(QStringLiteral("id")).toVariant().toInt();
        type.provinceId = object.value(QStringLiteral("provinceId")).toVariant().toInt();
        type.name = object.value(QStringLiteral("name")).toString();
        groupExerciseTypes << type;
        labels << type.name;
    }
    ui->exerciseTypeWidget->setItems(labels);
    ui->exerciseTypeWidget->rebuildButtons();
    ui->exerciseTypeWidget->setSelectedIndex(0);
    ui->pageSelectwidget->setCurrentPage(0);
    refreshExerciseList();
}

void MainWindow::refreshExerciseList()
{
    const int row = ui->groupWidget->currentIndex();
    if (row < 0 || row >= groups.size())
        return;
    const int typeIndex = ui->exerciseTypeWidget->selectedIndex();
    const int exerciseTypeId = typeIndex >= 1 && typeIndex <= groupExerciseTypes.size()
        ? groupExerciseTypes.at(typeIndex - 1).id
        : -1;
    const int difficulty = ui->exerciseDifficultyLevelWidget->selectedIndex();
    latestExercisesReply = Api::postJson(managers[ExercisesRequest], LIBRARY_SERVER,
        QStringLiteral("/library/fetch/exercise"),
        {{QStringLiteral("groupId"), groups.at(row).groupId},
            {QStringLiteral("exerciseTypeId"), exerciseTypeId},
            {QStringLiteral("difficuty"), difficulty >= 1 && difficulty <= 5 ? difficulty : -1},
            {QStringLiteral("pageNum"), ui->pageSelectwidget->currentPage()}});
}

void MainWindow::replyExercisesFinished(QNetworkReply *reply)
{
    // a page asked for before the last filter or page change no longer matches the screen
    if (isSuperseded(reply, &latestExercisesReply))
        return;
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
    exerciseSummaries.clear();
    const QJsonArray result = data.value(QStringLiteral("result")).toArray();
    for (const QJsonValue &value : result)
        exerciseSummaries << ExerciseSummary::fromJson(value.toObject());
    // the page buttons depend on the count
    ui->pageSelectwidget->setPageCount(data.value(QStringLiteral("pages")).toVariant().toInt());
    ui->pageSelectwidget->setCurrentPage(data.value(QStringLiteral("pageNum")).toVariant().toInt());
    rebuildExerciseCards();
}

void MainWindow::rebuildExerciseCards()
{
    ui->checkBoxSelectAllExercises->setChecked(false);
    ui->checkBoxSelectAllExercises->setText(QStringLiteral("全选"));
    for (ExerciseViewWidget *card : qAsConst(exerciseCards)) {
        ui->verticalLayout_7->removeWidget(card);
        card->hide();
        card->deleteLater();
    }
    exerciseCards.clear();
    for (const ExerciseSummary &summary : qAsConst(exerciseSummaries)) {
        auto card = new ExerciseViewWidget;
        card->setExercise(summary);
        connect(card, &ExerciseViewWidget::removeExercise, this, &MainWindow::removeExercise);
        connect(card, &ExerciseViewWidget::moveExercise, this, &MainWindow::moveExercise);
        connect(card, &ExerciseViewWidget::modifyExercise, this, &MainWindow::modifyExercise);
        ui->verticalLayout_7->insertWidget(ui->verticalLayout_7->count() - 2, card);
        exerciseCards << card;
    }
}

void MainWindow::selectPage(int)
{
    refreshExerciseList();
}

void MainWindow::selectExerciseTypeView(int index)
{
    ui->exerciseTypeWidget->setSelectedIndex(index);
    ui->pageSelectwidget->setCurrentPage(0);
    refreshExerciseList();
}

void MainWindow::selectExerciseDifficultyLevelView(int index)
{
    ui->exerciseDifficultyLevelWidget->setSelectedIndex(index);
    ui->pageSelectwidget->setCurrentPage(0);
    refreshExerciseList();
}

// ---- moving and removing exercises

namespace {

QVariantList toVariantList(const QList<int> &ids)
{
    QVariantList list;
    for (int id : ids)
        list << id;
    return list;
}

} // namespace

bool MainWindow::chooseTargetGroup(int currentGroupId, int *targetGroupId)
{
    QStringList names;
    for (const GroupInfo &group : qAsConst(groups)) {
        if (group.groupId != currentGroupId)
            names << group.groupName;
    }
    QInputDialog dialog(this, Qt::Dialog | Qt::WindowCloseButtonHint);
    dialog.setWindowTitle(QStringLiteral("分组"));
    dialog.setLabelText(QStringLiteral("选择要移动到的分组"));
    dialog.setComboBoxItems(names);
    dialog.setComboBoxEditable(false);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QString chosen = dialog.textValue();
    for (const GroupInfo &group : qAsConst(groups)) {
        if (group.groupName == chosen) {
            *targetGroupId = group.groupId;
            return true;
        }
    }
    return false;
}

QList<int> MainWindow::checkedExerciseIds(int *groupId) const
{
    QList<int> ids;
    for (const ExerciseViewWidget *card : exerciseCards) {
        if (!card->isChecked())
            continue;
        ids << card->exerciseId();
        if (groupId)
            *groupId = card->groupId();
    }
    return ids;
}

void MainWindow::moveExercise(int id, int oldGroupId)
{
    int newGroupId = 0;
    if (!chooseTargetGroup(oldGroupId, &newGroupId))
        return;
    post(MoveExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/move/exercise"),
        {{QStringLiteral("exerciseId"), id}, {QStringLiteral("oldGroupId"), oldGroupId},
            {QStringLiteral("newGroupId"), newGroupId}});
}

void MainWindow::removeExercise(int id)
{
    post(RemoveExerciseRequest, LIBRARY_SERVER, QStringLiteral("/library/remove/exercise"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("exerciseId"), id}});
}

void MainWindow::on_checkBoxSelectAllExercises_clicked()
{
    const bool all = ui->checkBoxSelectAllExercises->isChecked();
    ui->checkBoxSelectAllExercises->setText(all ? QStringLiteral("反选") : QStringLiteral("全选"));
    for (ExerciseViewWidget *card : qAsConst(exerciseCards))
        card->setChecked(all);
}

void MainWindow::on_btnMoveSomeExercises_clicked()
{
    int groupId = -1;
    const QList<int> ids = checkedExerciseIds(&groupId);
    if (ids.isEmpty()) {
        showMessage(nullptr, Api::warningTitle, QStringLiteral("没有选中题目"), false);
        return;
    }
    int targetGroupId = 0;
    if (!chooseTargetGroup(groupId, &targetGroupId))
        return;
    post(MoveExercisesRequest, LIBRARY_SERVER, QStringLiteral("/library/batch/move/exercise"),
        {{QStringLiteral("exerciseIds"), toVariantList(ids)},
            {QStringLiteral("groupId"), targetGroupId}});
}

void MainWindow::on_btnRemoveSomeExercises_clicked()
{
    const QList<int> ids = checkedExerciseIds();
    if (ids.isEmpty()) {
        showMessage(nullptr, Api::warningTitle, QStringLiteral("没有选中题目"), false);
        return;
    }
    if (showMessage(nullptr, QStringLiteral("删除"), QStringLiteral("是否删除选中题？"), true) != 1)
        return;
    post(RemoveExercisesRequest, LIBRARY_SERVER, QStringLiteral("/library/batch/remove/exercise"),
        {{QStringLiteral("userId"), UserSession::instance().userId},
            {QStringLiteral("exerciseIds"), toVariantList(ids)}});
}

void MainWindow::replyMoveExerciseFinished(QNetworkReply *reply)
{
    reloadAfter(reply, false);
}

void MainWindow::replyMoveExercisesFinished(QNetworkReply *reply)
{
    reloadAfter(reply, false);
}

void MainWindow::replyRemoveExerciseFinished(QNetworkReply *reply)
{
    reloadAfter(reply, true);
}

void MainWindow::replyRemoveExercisesFinished(QNetworkReply *reply)
{
    reloadAfter(reply, true);
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
    const auto known = typeDetails.constFind(exerciseTypeId);
    if (known != typeDetails.cend()) {
        // a reply still on its way must not replace this body when it comes
        latestExerciseTypeReply = nullptr;
        applyTypeDetail(*known);
        return;
    }
    latestTypeId = exerciseTypeId;
    latestExerciseTypeReply = Api::postJson(managers[ExerciseTypeRequest], BENCH_SERVER,
        QStringLiteral("/api/exercise_and_question/type/detail"),
        {{QStringLiteral("exerciseTypeId"), exerciseTypeId},
            {QStringLiteral("provinceId"), UserSession::instance().provinceId}});
}

void MainWindow::replyExerciseTypeFinished(QNetworkReply *reply)
{
    if (isSuperseded(reply, &latestExerciseTypeReply))
        return;
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    const ExerciseTypeDetail detail
        = ExerciseTypeDetail::fromJson(envelope.value(QStringLiteral("data")).toObject());
    typeDetails.insert(latestTypeId, detail);
    applyTypeDetail(detail);
}

void MainWindow::applyTypeDetail(const ExerciseTypeDetail &detail)
{
    typeDetail = detail;
    showComposerPage();
    rebuildComposer();
    offerDraftWhenReady();
}

void MainWindow::replyExerciseKnowledgeFinished(QNetworkReply *reply)
{
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    knowledge->setChildren(envelope.value(QStringLiteral("data")).toArray());
    knowledgeLoaded = true;
    offerDraftWhenReady();
}

// ---- exercise record

void MainWindow::setSavedExercise(const ExerciseInfo &exercise)
{
    savedExercise = std::make_unique<ExerciseInfo>(exercise);
}

bool MainWindow::holdsUnsubmittedWork()
{
    // a body still waiting to be replaced was given up when its replacement was opened
    if (bodyPending || !questionTabWidget)
        return false;
    ExerciseInfo state;
    if (!getExerciseInfo(state, false) || !ExerciseDraft::holdsWork(state))
        return false;
    if (state.id == -1 && paperImporter->isShowing()) {
        // an exercise of an imported paper: its queue keeps it for the teacher to come back to
        paperImporter->keepState(state);
        return false;
    }
    return state.id == -1 || ExerciseJson::toJson(state) != loadedState;
}

void MainWindow::modifyExercise(int id)
{
    if (holdsUnsubmittedWork()
        && showMessage(this, QStringLiteral("修改"), replaceQuestion, true) != 1)
        return;
    // the exercise being modified now stays so until the new one has arrived: a failed fetch
    // must not turn the next submission into an addition
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
    // as the server has it: the state to compare later edits with
    loadedStateFor = exercise.id;
    loadExercise(exercise);
}

void MainWindow::loadExercise(const ExerciseInfo &exercise)
{
    setSavedExercise(exercise);
    modifyingExerciseId = exercise.id;
    fitLoadedOptions = true;
    // the body on screen still belongs to what was there before, until the type detail arrives
    bodyPending = true;
    ui->exerciseHeaderWidget->setGroupId(exercise.folderId);
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
    if (index < 0 || index >= exerciseTypes.size())
        return;
    const int typeId = exerciseTypes.at(index).id;
    // a new type brings its own number of options
    fitLoadedOptions = false;
    ExerciseInfo gathered;
    if (bodyPending) {
        // the body on screen is not the exercise being loaded; the loaded one is kept
    } else if (getExerciseInfo(gathered, false)) {
        setSavedExercise(gathered);
    } else if (modifyingExerciseId == -1) {
        savedExercise.reset();
    }
    // while modifying, a failed gathering keeps the stored exercise, so it stays a modification
    fetchExerciseType(typeId);
}

ExerciseQuestionWidget *MainWindow::newQuestionPage()
{
    auto page = new ExerciseQuestionWidget;
    page->setTitle(QStringLiteral("小问"));
    page->setQuestionTypes(typeDetail.questionTypes);
    page->setKnowledgeRoot(knowledge.get());
    return page;
}

namespace {

bool sameBody(const ExerciseTypeDetail &a, const ExerciseTypeDetail &b)
{
    if (a.exerciseId != b.exerciseId || a.hasExerciseContentCode != b.hasExerciseContentCode
        || a.hasMoreQuestionCode != b.hasMoreQuestionCode
        || a.questionTypes.size() != b.questionTypes.size())
        return false;
    for (int i = 0; i < a.questionTypes.size(); ++i) {
        const QuestionTypeInfo &x = a.questionTypes.at(i);
        const QuestionTypeInfo &y = b.questionTypes.at(i);
        if (x.questionTypeId != y.questionTypeId || x.typeCode != y.typeCode
            || x.typeDesc != y.typeDesc || x.score != y.score
            || x.hasQuestionContentCode != y.hasQuestionContentCode || x.optionNum != y.optionNum
            || x.questionTypeSort != y.questionTypeSort)
            return false;
    }
    return true;
}

} // namespace

bool MainWindow::refillComposer()
{
    // the body built for this type takes the next exercise's texts in place (each page keeps
    // the panels that fit): building the editors anew costs most of a step through a paper
    if (!questionTabWidget || !composerButtonBox || !sameBody(builtDetail, typeDetail)
        || !savedExercise || savedExercise->questions.size() != questionTabWidget->count())
        return false;
    const QList<QuestionInfo> &questions = savedExercise->questions;
    QList<ExerciseQuestionWidget *> pages;
    for (int i = 0; i < questions.size(); ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(questionTabWidget->widget(i));
        if (!page)
            return false;
        pages << page;
    }
    if (stemWidget)
        stemWidget->setText(savedExercise->content);
    for (int i = 0; i < pages.size(); ++i) {
        pages.at(i)->setStoredQuestion(questions.at(i), fitLoadedOptions);
        pages.at(i)->rebuildPanels();
    }
    questionTabWidget->setCurrentIndex(0);
    resetTabWidgetText();
    return true;
}

void MainWindow::rebuildComposer()
{
    bodyPending = false;
    if (refillComposer()) {
        keepLoadedState();
        return;
    }
    builtDetail = typeDetail;
    QVBoxLayout *layout = ui->verticalLayout_3;
    // the body goes between the header and the closing spacer
    auto append = [layout](QWidget *widget) { layout->insertWidget(layout->count() - 1, widget); };
    auto discard = [](QWidget *widget) {
        if (!widget)
            return;
        widget->hide();
        widget->setParent(nullptr);
        widget->deleteLater();
    };

    discard(stemWidget);
    stemWidget = nullptr;
    if (typeDetail.hasExerciseContentCode) {
        stemWidget = new ExerciseQuestionStemWidget(ui->scrollAreaWidgetContents);
        if (savedExercise)
            stemWidget->setText(savedExercise->content);
        append(stemWidget);
    }

    discard(questionTabWidget);
    addQuestionButton = nullptr;
    questionTabWidget = new QTabWidget(ui->scrollAreaWidgetContents);
    questionTabWidget->setMovable(true);
    questionTabWidget->setUsesScrollButtons(true);
    if (savedExercise && !savedExercise->questions.isEmpty()) {
        for (const QuestionInfo &question : qAsConst(savedExercise->questions)) {
            ExerciseQuestionWidget *page = newQuestionPage();
            page->setStoredQuestion(question, fitLoadedOptions);
            page->rebuildPanels();
            questionTabWidget->addTab(page, QStringLiteral("小问"));
        }
    } else {
        ExerciseQuestionWidget *page = newQuestionPage();
        page->rebuildPanels();
        questionTabWidget->addTab(page, QStringLiteral("小问"));
    }
    connect(questionTabWidget, &QTabWidget::tabCloseRequested, this,
        &MainWindow::removeExerciseQuestionWidget);
    connect(questionTabWidget->tabBar(), &QTabBar::tabMoved, this,
        &MainWindow::movedExerciseQuestionWidget);
    resetTabWidgetText();
    append(questionTabWidget);

    if (typeDetail.hasMoreQuestionCode) {
        addQuestionButton = new QPushButton(QStringLiteral("+添加小问"), questionTabWidget);
        addQuestionButton->setStyleSheet(QStringLiteral(
            "color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);border: 1px solid rgb(130, "
            "140, 149);border-radius:0px;width:80px;height:20px;"));
        connect(
            addQuestionButton, &QPushButton::clicked, this, &MainWindow::addExerciseQuestionWidget);
        questionTabWidget->setCornerWidget(addQuestionButton, Qt::TopRightCorner);
    }

    discard(composerButtonBox);
    composerButtonBox = new QDialogButtonBox(
        QDialogButtonBox::Save | QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal,
        ui->scrollAreaWidgetContents);
    const QString plain = QStringLiteral(
        "color: rgb(27, 197, 245);background-color: rgb(255, 255, 255);border: 1px solid rgb(27, "
        "197, 245);border-radius:5px;width:80px;height:20px;");
    QPushButton *preview = composerButtonBox->button(QDialogButtonBox::Save);
    preview->setText(QStringLiteral("预览"));
    preview->setStyleSheet(plain);
    connect(preview, &QPushButton::clicked, this, &MainWindow::previewExercise);
    QPushButton *done = composerButtonBox->button(QDialogButtonBox::Ok);
    done->setText(QStringLiteral("完成"));
    done->setStyleSheet(QStringLiteral(
        "color: rgb(255, 255, 255);background-color: rgb(27, 197, 245);border: 1px solid rgb(27, "
        "197, 245);border-radius:5px;width:80px;height:20px;"));
    connect(done, &QPushButton::clicked, this, &MainWindow::submitExercise);
    QPushButton *cancel = composerButtonBox->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("取消"));
    cancel->setStyleSheet(plain);
    connect(cancel, &QPushButton::clicked, this, &MainWindow::cancelExercise);
    append(composerButtonBox);

    keepLoadedState();
}

void MainWindow::keepLoadedState()
{
    if (loadedStateFor == -1 || loadedStateFor != modifyingExerciseId)
        return;
    ExerciseInfo state;
    loadedState = getExerciseInfo(state, false) ? ExerciseJson::toJson(state) : QJsonObject();
    loadedStateFor = -1;
}

void MainWindow::resetTabWidgetText()
{
    if (!questionTabWidget)
        return;
    const int n = questionTabWidget->count();
    questionTabWidget->setTabsClosable(n > 1);
    for (int i = 0; i < n; ++i) {
        const QString title
            = n > 1 ? QStringLiteral("小问") + QString::number(i + 1) : QStringLiteral("小问");
        questionTabWidget->setTabText(i, title);
        if (auto page = qobject_cast<ExerciseQuestionWidget *>(questionTabWidget->widget(i))) {
            page->setTitle(title);
            page->retitleAnswers();
        }
    }
}

void MainWindow::addExerciseQuestionWidget()
{
    if (!questionTabWidget || questionTabWidget->count() >= maxQuestions)
        return;
    ExerciseQuestionWidget *page = newQuestionPage();
    page->rebuildPanels();
    questionTabWidget->addTab(
        page, QStringLiteral("小问") + QString::number(questionTabWidget->count() + 1));
    questionTabWidget->setCurrentWidget(page);
    resetTabWidgetText();
}

void MainWindow::removeExerciseQuestionWidget(int index)
{
    if (!questionTabWidget || questionTabWidget->count() <= 1)
        return;
    if (showMessage(this, QStringLiteral("删除"), QStringLiteral("是否删除这个小问？"), true) != 1)
        return;
    QWidget *page = questionTabWidget->widget(index);
    questionTabWidget->removeTab(index);
    if (page)
        page->deleteLater();
    resetTabWidgetText();
}

void MainWindow::movedExerciseQuestionWidget(int, int)
{
    resetTabWidgetText();
}

bool MainWindow::getExerciseInfo(ExerciseInfo &exerciseInfo, bool check)
{
    exerciseInfo.id = modifyingExerciseId;
    exerciseInfo.subjectId = typeDetail.subjectCode;
    exerciseInfo.exerciseTypeId = typeDetail.exerciseId;
    exerciseInfo.exerciseTypeName = typeDetail.name;
    exerciseInfo.difficultyDegree = ui->exerciseHeaderWidget->rate();

    const int group = ui->exerciseHeaderWidget->groupIndex();
    if (group < 0 || group >= groups.size()) {
        if (check)
            showMessage(this, Api::warningTitle, QStringLiteral("需要选择分组"), false);
        return false;
    }
    exerciseInfo.folderId = groups.at(group).groupId;

    if (stemWidget) {
        exerciseInfo.content = stemWidget->text();
        if (check && exerciseInfo.content.isEmpty()) {
            showMessage(this, Api::warningTitle, QStringLiteral("需要填写题干信息"), false);
            ui->scrollArea->ensureWidgetVisible(stemWidget, 50, 50);
            return false;
        }
    }
    if (!questionTabWidget)
        return false;

    QList<QuestionInfo> unsorted;
    QMultiMap<int, QuestionInfo> sorted;
    QStringList names;
    const int n = questionTabWidget->count();
    for (int i = 0; i < n; ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(questionTabWidget->widget(i));
        QuestionInfo question;
        if (!page || !page->getQuestionInfo(question, check, i, n)) {
            questionTabWidget->setCurrentIndex(i);
            ui->scrollArea->ensureWidgetVisible(questionTabWidget, 50, 50);
            return false;
        }
        question.questionIndex = i + 1;
        if (question.questionTypeSort == 0)
            unsorted << question;
        else
            sorted.insert(question.questionTypeSort, question); // before earlier equal keys
        const QStringList pieces = question.knowledgeNames.split(QStringLiteral(", "));
        for (const QString &piece : pieces) {
            if (!piece.isEmpty() && !names.contains(piece))
                names << piece;
        }
    }
    exerciseInfo.questions = unsorted;
    for (auto it = sorted.cbegin(); it != sorted.cend(); ++it)
        exerciseInfo.questions << it.value();
    exerciseInfo.knowledgeNames = names.join(QStringLiteral(", "));
    return true;
}

bool MainWindow::refuseWhileBodyPending()
{
    if (!bodyPending)
        return false;
    showMessage(this, Api::warningTitle, bodyPendingText, false);
    return true;
}

void MainWindow::previewExercise()
{
    if (refuseWhileBodyPending())
        return;
    // while modifying, a failed check keeps the stored exercise, so it stays a modification
    if (modifyingExerciseId == -1)
        savedExercise.reset();
    ExerciseInfo gathered;
    if (!getExerciseInfo(gathered, true))
        return;
    setSavedExercise(gathered);
    sendTransferExercise();
}

void MainWindow::submitExercise()
{
    // the body on screen was built for another exercise: submitting it would overwrite this one
    if (refuseWhileBodyPending())
        return;
    ExerciseInfo gathered;
    if (!getExerciseInfo(gathered, true))
        return;
    if (savedExercise && modifyingExerciseId != -1)
        sendModifyExercise(gathered);
    else
        sendAddExercise(gathered);
    if (composerButtonBox)
        composerButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void MainWindow::showPageAfterComposing()
{
    if (modifyingExerciseId == -1)
        showComposerPage();
    else
        showBankPage();
}

void MainWindow::cancelExercise()
{
    if (showMessage(this, QStringLiteral("取消"), QStringLiteral("是否取消录题？"), true) != 1)
        return;
    const bool wasNew = modifyingExerciseId == -1;
    showPageAfterComposing();
    discardDraft();
    savedExercise.reset();
    modifyingExerciseId = -1;
    ui->exerciseHeaderWidget->setRate(3);
    rebuildComposer();
    resumeDraft();
    emit compositionCancelled(wasNew);
}

void MainWindow::replyAddExerciseFinished(QNetworkReply *reply)
{
    if (composerButtonBox)
        composerButtonBox->button(QDialogButtonBox::Ok)->setEnabled(true);
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    // the server has it now: a draft restored after this would add it a second time
    discardDraft();
    showMessage(this, Api::warningTitle, QStringLiteral("录入成功"), false);
    savedExercise.reset();
    modifyingExerciseId = -1;
    fetchExercisesCount();
    rebuildComposer();
    resumeDraft();
    fetchGroups();
    emit exerciseAdded();
}

void MainWindow::replyModifyExerciseFinished(QNetworkReply *reply)
{
    if (composerButtonBox)
        composerButtonBox->button(QDialogButtonBox::Ok)->setEnabled(true);
    QJsonObject envelope;
    if (!Api::checkReply(reply, this, &envelope))
        return;
    discardDraft();
    showMessage(this, Api::warningTitle, QStringLiteral("修改成功"), false);
    showPageAfterComposing();
    savedExercise.reset();
    modifyingExerciseId = -1;
    rebuildComposer();
    resumeDraft();
    fetchGroups();
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
