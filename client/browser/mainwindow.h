#pragma once

#include "model/exerciseinfo.h"
#include "model/exercisesummary.h"
#include "model/exercisetypedetail.h"
#include "model/exercisetypeinfo.h"
#include "model/groupinfo.h"
#include "model/knowledgenode.h"

#include <QHash>
#include <QJsonObject>
#include <QMainWindow>

#include <memory>

namespace Ui {
class MainWindow;
}
class ExerciseDraft;
class ExerciseQuestionStemWidget;
class ExerciseQuestionWidget;
class ExerciseViewWidget;
class PaperImport;
class QButtonGroup;
class QDialogButtonBox;
class QPushButton;
class QTabWidget;
class QTimer;
class QNetworkAccessManager;
class QNetworkReply;

// The one window after login: the composer page and the bank page. It owns the shared lists
// and every browser and composer request; the widgets report to it by signals.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The four requests start-up sends, and the ones the bank reloads with.
    void fetchExercisesCount();
    void fetchGroups();
    void fetchExerciseTypes();
    void fetchExerciseKnowledge();
    void fetchGroupExerciseTypes();
    void fetchExerciseType(int exerciseTypeId);
    void sendAddExercise(const ExerciseInfo &exercise);
    void sendModifyExercise(const ExerciseInfo &exercise);
    // Sends the code text fields of savedExercise for conversion; nothing when there are none.
    void sendTransferExercise();

    const GroupInfoList &groupList() const { return groups; }
    const ExerciseTypeInfoList &exerciseTypeList() const { return exerciseTypes; }
    const ExerciseTypeDetail &currentTypeDetail() const { return typeDetail; }
    const KnowledgeNode &knowledgeTree() const { return *knowledge; }
    const ExerciseInfo *savedExerciseRecord() const { return savedExercise.get(); }
    void setSavedExercise(const ExerciseInfo &exercise);
    int modifyingId() const { return modifyingExerciseId; }
    QTabWidget *questionTabs() const { return questionTabWidget; }
    ExerciseQuestionStemWidget *stem() const { return stemWidget; }
    QDialogButtonBox *composerButtons() const { return composerButtonBox; }

    static constexpr int maxQuestions = 20;
    // Keeps the composer's state in the teacher's draft file from now on, and offers the draft
    // left by an earlier run once the groups, types and knowledge points are loaded.
    void keepDrafts();
    static constexpr int draftInterval = 1000;
    static const QString draftQuestion;
    // Shown when "完成" or "预览" comes before the body of the exercise being opened is built.
    static const QString bodyPendingText;
    // Asked before a stored exercise replaces work the teacher has not submitted.
    static const QString replaceQuestion;
    // Opens a stored exercise in the composer for modification.
    void loadExercise(const ExerciseInfo &exercise);
    bool isBodyPending() const { return bodyPending; }
    PaperImport *paperImport() const { return paperImporter; }

    // "Quenmo 1.1.2 －用户名：NAME 今日录入题数：C 总题数：T"
    static QString statisticsTitle(const QString &realName, int count, int totalCount);

    // The bank page's list: filters and page as shown, then the cards of the reply.
    void refreshExerciseList();
    void rebuildExerciseCards();
    const ExerciseTypeInfoList &groupExerciseTypeList() const { return groupExerciseTypes; }
    const ExerciseSummaryList &exerciseSummaryList() const { return exerciseSummaries; }
    const QList<ExerciseViewWidget *> &exerciseCardList() const { return exerciseCards; }

signals:
    // after "录入成功" and after a cancelled composition (wasNew: not a modification)
    void exerciseAdded();
    void compositionCancelled(bool wasNew);

public slots:
    void addGroup(QString name);
    void modifyGroup(int id, QString name);
    void removeGroup(int id);
    void selectGroup(int id);
    void selectPage(int page);
    void moveExercise(int id, int oldGroupId);
    void removeExercise(int id);
    void modifyExercise(int id);
    void selectExerciseType(int index);
    void resetTabWidgetText();
    void addExerciseQuestionWidget();
    void removeExerciseQuestionWidget(int index);
    void movedExerciseQuestionWidget(int from, int to);
    void previewExercise();
    void submitExercise();
    void cancelExercise();
    bool getExerciseInfo(ExerciseInfo &exerciseInfo, bool check);
    void selectExerciseTypeView(int index);
    void selectExerciseDifficultyLevelView(int index);

    void replyGroupsFinished(QNetworkReply *reply);
    void replyAddGroupFinished(QNetworkReply *reply);
    void replyModifyGroupFinished(QNetworkReply *reply);
    void replyRemoveGroupFinished(QNetworkReply *reply);
    void replyExerciseTypesFinished(QNetworkReply *reply);
    void replyExerciseTypeFinished(QNetworkReply *reply);
    void replyExerciseKnowledgeFinished(QNetworkReply *reply);
    void replyAddExerciseFinished(QNetworkReply *reply);
    void replyExerciseFinished(QNetworkReply *reply);
    void replyModifyExerciseFinished(QNetworkReply *reply);
    void replyMoveExerciseFinished(QNetworkReply *reply);
    void replyMoveExercisesFinished(QNetworkReply *reply);
    void replyRemoveExerciseFinished(QNetworkReply *reply);
    void replyRemoveExercisesFinished(QNetworkReply *reply);
    void replyExercisesFinished(QNetworkReply *reply);
    void replyGroupExerciseTypesFinished(QNetworkReply *reply);
    void replyGetExercisesCountFinished(QNetworkReply *reply);
    void replyTransferExerciseFinished(QNetworkReply *reply);

private slots:
    void on_inputPushButton_clicked(bool checked);
    void on_repertoryPushButton_clicked(bool checked);
    void on_checkBoxSelectAllExercises_clicked();
    void on_btnMoveSomeExercises_clicked();
    void on_btnRemoveSomeExercises_clicked();
    void on_refreshPushButton_clicked();
    void on_aboutPushButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // the composer shows work that no server has and that opening another exercise would lose
    bool holdsUnsubmittedWork();
    // remembers the composer's state once a fetched exercise's body is built
    void keepLoadedState();
    // One manager per reply slot, created in this order and wired to the slot of that name.
    enum Request {
        GroupsRequest,
        AddGroupRequest,
        ModifyGroupRequest,
        RemoveGroupRequest,
        ExerciseTypesRequest,
        ExerciseTypeRequest,
        ExerciseKnowledgeRequest,
        AddExerciseRequest,
        ExerciseRequest,
        ModifyExerciseRequest,
        MoveExerciseRequest,
        MoveExercisesRequest,
        RemoveExerciseRequest,
        RemoveExercisesRequest,
        ExercisesRequest,
        GroupExerciseTypesRequest,
        GetExercisesCountRequest,
        TransferExerciseRequest,
        RequestCount
    };
    void post(Request request, const QString &base, const QString &path, const QVariantMap &body);
    // The simple replies: on success the statistics (when counts change), then the groups.
    void reloadAfter(QNetworkReply *reply, bool counts);
    void showComposerPage();
    void showBankPage();
    void applyTypeDetail(const ExerciseTypeDetail &detail);
    void rebuildComposer();
    bool refillComposer();
    ExerciseQuestionWidget *newQuestionPage();
    void showPageAfterComposing();
    bool refuseWhileBodyPending();
    void offerDraftWhenReady();
    void offerDraft();
    void saveDraft();
    void discardDraft();
    void resumeDraft();

    Ui::MainWindow *ui;
    QNetworkAccessManager *managers[RequestCount] = {};
    QButtonGroup *pageButtons;
    GroupInfoList groups;
    ExerciseTypeInfoList exerciseTypes;
    ExerciseTypeDetail typeDetail;
    // the details fetched so far by type id; a type does not change while the program runs
    QHash<int, ExerciseTypeDetail> typeDetails;
    int latestTypeId = 0;
    QNetworkReply *latestExerciseTypeReply = nullptr;
    // the type the composer's body was built for
    ExerciseTypeDetail builtDetail;
    // the body shows a loaded exercise's own options, not the type's count
    bool fitLoadedOptions = false;
    std::unique_ptr<KnowledgeNode> knowledge;
    int modifyingExerciseId = -1;
    std::unique_ptr<ExerciseInfo> savedExercise;
    // an exercise was loaded but the composer still shows the body built before it
    bool bodyPending = false;
    // the composer's state as a fetched exercise was first shown, to tell whether it was changed
    QJsonObject loadedState;
    int loadedStateFor = -1;
    std::unique_ptr<ExerciseDraft> draft;
    QTimer *draftTimer = nullptr;
    bool draftOffered = false;
    bool groupsLoaded = false;
    bool knowledgeLoaded = false;
    PaperImport *paperImporter = nullptr;
    ExerciseQuestionStemWidget *stemWidget = nullptr;
    QTabWidget *questionTabWidget = nullptr;
    QPushButton *addQuestionButton = nullptr;
    QDialogButtonBox *composerButtonBox = nullptr;

    // bank page: listing, moving and removing
    bool chooseTargetGroup(int currentGroupId, int *targetGroupId);
    QList<int> checkedExerciseIds(int *groupId = nullptr) const;
    // Forgets latest when reply is it; otherwise releases the superseded reply.
    static bool isSuperseded(QNetworkReply *reply, QNetworkReply **latest);
    ExerciseTypeInfoList groupExerciseTypes;
    ExerciseSummaryList exerciseSummaries;
    QList<ExerciseViewWidget *> exerciseCards;
    // the newest request of each list kind; the replies of older ones are dropped
    QNetworkReply *latestGroupExerciseTypesReply = nullptr;
    QNetworkReply *latestExercisesReply = nullptr;
};
