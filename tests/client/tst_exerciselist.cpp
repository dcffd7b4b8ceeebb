#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/exerciseviewwidget.h"
#include "browser/groupitemwidget.h"
#include "browser/groupwidget.h"
#include "browser/mainwindow.h"
#include "browser/pageselectwidget.h"
#include "browser/radiobuttonwidget.h"

#include "bankseeder.h"
#include "localserver.h"
#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

namespace {

const QString groupsPath = QStringLiteral("/library/fetch/groups");
const QString typesPath = QStringLiteral("/library/fetch/type");
const QString listPath = QStringLiteral("/library/fetch/exercise");
const QString countPath = QStringLiteral("/library/statistics/count");
const QString movePath = QStringLiteral("/library/move/exercise");
const QString batchMovePath = QStringLiteral("/library/batch/move/exercise");
const QString removePath = QStringLiteral("/library/remove/exercise");
const QString batchRemovePath = QStringLiteral("/library/batch/remove/exercise");

QJsonObject body(const ScriptedHttpResponder::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

QJsonArray groupArray(const QStringList &names)
{
    QJsonArray array;
    int id = 100;
    for (const QString &name : names)
        array << QJsonObject {{QStringLiteral("groupId"), id++},
            {QStringLiteral("groupName"), name}, {QStringLiteral("count"), 3}};
    return array;
}

QJsonArray typeArray()
{
    return {QJsonObject {{QStringLiteral("id"), 31}, {QStringLiteral("provinceId"), 1},
                {QStringLiteral("name"), QStringLiteral("单选题")}},
        QJsonObject {{QStringLiteral("id"), 32}, {QStringLiteral("provinceId"), 1},
            {QStringLiteral("name"), QStringLiteral("多选题")}}};
}

QJsonObject listData(const QList<int> &ids, int pages = 1, int pageNum = 1)
{
    QJsonArray result;
    for (int id : ids)
        result << QJsonObject {{QStringLiteral("exerciseId"), id}, {QStringLiteral("groupId"), 100},
            {QStringLiteral("recordTime"), QStringLiteral("2024-01-02")},
            {QStringLiteral("exerciseContent"), QStringLiteral("题%1").arg(id)},
            {QStringLiteral("exerciseQuestionList"),
                QJsonArray {QJsonObject {{QStringLiteral("questionContent"), QStringLiteral("q")},
                    {QStringLiteral("option"),
                        QJsonArray {QJsonObject {{QStringLiteral("option"), QStringLiteral("A")},
                            {QStringLiteral("content"), QStringLiteral("甲")}}}}}}}};
    return {{QStringLiteral("result"), result}, {QStringLiteral("pages"), pages},
        {QStringLiteral("pageNum"), pageNum}};
}

QJsonObject listBody(int groupId, int typeId, int difficulty, int page)
{
    return {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), typeId},
        {QStringLiteral("difficuty"), difficulty}, {QStringLiteral("pageNum"), page}};
}

// Request bodies go to the debug output in the order they are posted; the responder only sees
// the order in which they arrive over separate connections.
QStringList *postedLog = nullptr;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg) {
        if (postedLog)
            postedLog->append(message);
        return;
    }
    previousHandler(type, context, message);
}

void enableDefaultDebug(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "default") == 0)
        category->setEnabled(QtDebugMsg, true);
}

// Statistics posted right before the groups, as the last two requests.
bool statisticsThenGroups(const QStringList &log)
{
    const QString groups = QStringLiteral("{\n    \"userId\": 9\n}\n");
    const int groupsAt = log.lastIndexOf(groups);
    return groupsAt > 0 && log.at(groupsAt - 1).contains(QStringLiteral("\"createDate\""));
}

} // namespace

class tst_ExerciseList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // scripted replies
    void filterValuesSent_data();
    void filterValuesSent();
    void groupWithoutTypesListsAll();
    void clickingSelectedFilterSendsNothing();
    void listReplyRebuildsCardsInOrder();
    void pagerButtonsFetchAgain();
    void listFailureKeepsCards();
    void supersededRepliesAreDropped();
    void selectAllChecksEveryCard();
    void batchRemovalSendsCheckedCardsInOrder();
    void nothingChecked_data();
    void nothingChecked();
    void batchMoveOffersTheOtherGroups();
    void cardMoveAndRemove();
    void chooserWithSingleGroupSendsNothing();
    void failedRemovalReloadsNothing();

    // the local server with a seeded bank
    void serverFiltersSelectMatchingExercises();
    void serverEmptyGroupGivesSingleAllButton();
    void serverPagerWindows();
    void serverBatchMoveAndRemove();

private:
    GroupWidget *panel() const
    {
        return m_window->findChild<GroupWidget *>(QStringLiteral("groupWidget"));
    }
    RadioButtonWidget *typeRow() const
    {
        return m_window->findChild<RadioButtonWidget *>(QStringLiteral("exerciseTypeWidget"));
    }
    RadioButtonWidget *difficultyRow() const
    {
        return m_window->findChild<RadioButtonWidget *>(
            QStringLiteral("exerciseDifficultyLevelWidget"));
    }
    PageSelectWidget *pager() const
    {
        return m_window->findChild<PageSelectWidget *>(QStringLiteral("pageSelectwidget"));
    }
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QLatin1String(name));
    }
    QList<int> cardIds() const;
    QStringList pageTexts() const;
    // Scripted groups, types and one list page; waits for the cards.
    void loadBank(const QStringList &groups, const QList<int> &ids, int pages = 1, int page = 1);
    void useServer();
    void selectGroupNamed(const QString &name);
    // Runs trigger and waits until the types reply and the list reply it leads to are handled.
    bool runChain(const std::function<void()> &trigger);
    QNetworkAccessManager *manager(int index) const
    {
        return m_window->findChildren<QNetworkAccessManager *>(
                           QString(), Qt::FindDirectChildrenOnly)
            .at(index);
    }

    ScriptedHttpResponder m_responder;
    LocalServer m_server;
    std::unique_ptr<BankSeeder> m_seeder;
    std::unique_ptr<MainWindow> m_window;
    QHash<QString, int> m_groupIds;
    QList<int> m_movingIds;
    QStringList m_log;
};

void tst_ExerciseList::initTestCase()
{
    postedLog = &m_log;
    previousHandler = qInstallMessageHandler(captureDebug);
    previousFilter = QLoggingCategory::installFilter(enableDefaultDebug);
    QVERIFY(m_responder.listen());
    if (LocalServer::serverPath().isEmpty())
        return;
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_seeder = std::make_unique<BankSeeder>(m_server.baseUrl());
    QVERIFY(m_seeder->login());
    const QString single = QStringLiteral("单选题");
    const QString multiple = QStringLiteral("多选题");
    const QStringList four {
        BankSeeder::doc("甲"), BankSeeder::doc("乙"), BankSeeder::doc("丙"), BankSeeder::doc("丁")};
    for (const QString &name : QStringList {"筛选", "空组", "翻页", "移动", "目标"})
        m_groupIds.insert(name, m_seeder->addGroup(name));
    const int filter = m_groupIds.value(QStringLiteral("筛选"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(m_seeder->addChoiceExercise(filter, single, 3, BankSeeder::doc("单三"), four) > 0);
    for (int i = 0; i < 2; ++i)
        QVERIFY(
            m_seeder->addChoiceExercise(filter, multiple, 1, BankSeeder::doc("多一"), four) > 0);
    QVERIFY(m_seeder->addChoiceExercise(filter, single, 1, BankSeeder::doc("单一"), four) > 0);
    for (int i = 0; i < 100; ++i)
        QVERIFY(m_seeder->addChoiceExercise(m_groupIds.value(QStringLiteral("翻页")), single,
                    1 + i % 5, BankSeeder::doc(QStringLiteral("第%1题").arg(i)), four)
            > 0);
    for (int i = 0; i < 3; ++i)
        m_movingIds << m_seeder->addChoiceExercise(m_groupIds.value(QStringLiteral("移动")), single,
            2, BankSeeder::doc(QStringLiteral("移%1").arg(i)), four);
}

void tst_ExerciseList::init()
{
    m_log.clear();
    m_responder.clear();
    LIBRARY_SERVER = BENCH_SERVER = IMG_SERVER = m_responder.baseUrl();
    UserSession::instance().userId = 9;
    UserSession::instance().loginToken = QStringLiteral("tok");
    m_responder.respondEnvelope(countPath, 0,
        QJsonObject {{QStringLiteral("count"), 1}, {QStringLiteral("totalCount"), 2}});
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    button("repertoryPushButton")->click();
}

void tst_ExerciseList::cleanup()
{
    m_window.reset();
}

QList<int> tst_ExerciseList::cardIds() const
{
    QList<int> ids;
    for (ExerciseViewWidget *card : m_window->exerciseCardList())
        ids << card->exerciseId();
    return ids;
}

QStringList tst_ExerciseList::pageTexts() const
{
    QStringList texts;
    for (QPushButton *page : pager()->pageButtons())
        texts << page->text();
    return texts;
}

void tst_ExerciseList::loadBank(
    const QStringList &groups, const QList<int> &ids, int pages, int page)
{
    m_responder.reset(groupsPath);
    m_responder.reset(typesPath);
    m_responder.reset(listPath);
    m_responder.respondEnvelope(groupsPath, 0, groupArray(groups));
    m_responder.respondEnvelope(typesPath, 0, typeArray());
    m_responder.respondEnvelope(listPath, 0, listData(ids, pages, page));
    const int before = m_responder.count(listPath);
    m_window->fetchGroups();
    QVERIFY(m_responder.waitForRequests(listPath, before + 1));
    QTRY_COMPARE(cardIds(), ids);
}

void tst_ExerciseList::useServer()
{
    LIBRARY_SERVER = BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = m_server.baseUrl();
    UserSession::instance().userId = m_seeder->userId();
    UserSession::instance().loginToken = m_seeder->token();
    UserSession::instance().realName
        = m_seeder->user().value(QStringLiteral("realName")).toString();
}

bool tst_ExerciseList::runChain(const std::function<void()> &trigger)
{
    // managers in the order the window creates them: 15 lists, 16 types of a group
    QSignalSpy lists(manager(14), &QNetworkAccessManager::finished);
    int listsAtTypes = -1;
    QMetaObject::Connection types = connect(
        manager(15), &QNetworkAccessManager::finished, this, [&] { listsAtTypes = lists.count(); });
    trigger();
    const bool done
        = QTest::qWaitFor([&] { return listsAtTypes >= 0 && lists.count() > listsAtTypes; }, 10000);
    disconnect(types);
    return done;
}

void tst_ExerciseList::selectGroupNamed(const QString &name)
{
    if (panel()->rows().isEmpty())
        QVERIFY(runChain([this] { m_window->fetchGroups(); }));
    for (GroupItemWidget *row : panel()->rows()) {
        if (row->groupName() == name) {
            if (!row->isSelected())
                QVERIFY(runChain([row] { QTest::mouseClick(row, Qt::LeftButton); }));
            return;
        }
    }
    QFAIL("no such group");
}

// ---- scripted replies

void tst_ExerciseList::filterValuesSent_data()
{
    QTest::addColumn<QList<int>>("typeClicks");
    QTest::addColumn<QList<int>>("difficultyClicks");
    QTest::addColumn<int>("typeId");
    QTest::addColumn<int>("difficulty");
    QTest::newRow("type index 2 is the second type") << QList<int> {2} << QList<int>() << 32 << -1;
    QTest::newRow("type index 1") << QList<int> {1} << QList<int>() << 31 << -1;
    QTest::newRow("difficulty 3") << QList<int>() << QList<int> {3} << -1 << 3;
    QTest::newRow("difficulty 5 with a type") << QList<int> {1} << QList<int> {5} << 31 << 5;
    QTest::newRow("全部 after 3") << QList<int>() << QList<int> {3, 0} << -1 << -1;
    QTest::newRow("type 全部 after 2") << QList<int> {2, 0} << QList<int>() << -1 << -1;
}

void tst_ExerciseList::filterValuesSent()
{
    QFETCH(QList<int>, typeClicks);
    QFETCH(QList<int>, difficultyClicks);
    QFETCH(int, typeId);
    QFETCH(int, difficulty);
    loadBank({"a", "b"}, {1, 2}, 3, 2);
    QCOMPARE(typeRow()->items(), QStringList({"全部", "单选题", "多选题"}));
    QCOMPARE(body(m_responder.requestsTo(listPath).first()), listBody(100, -1, -1, 0));

    for (int index : typeClicks) {
        const int before = m_responder.count(listPath);
        typeRow()->buttons().at(index)->click();
        QVERIFY(m_responder.waitForRequests(listPath, before + 1));
        QVERIFY(typeRow()->buttons().at(index)->isChecked());
    }
    for (int index : difficultyClicks) {
        const int before = m_responder.count(listPath);
        difficultyRow()->buttons().at(index)->click();
        QVERIFY(m_responder.waitForRequests(listPath, before + 1));
        QVERIFY(difficultyRow()->buttons().at(index)->isChecked());
    }
    // a filter change starts again at page 0 and sends no userId
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, typeId, difficulty, 0));
    QCOMPARE(m_responder.requestsTo(listPath).last().header("loginToken"), QByteArray("tok"));
}

void tst_ExerciseList::groupWithoutTypesListsAll()
{
    loadBank({"a"}, {1});
    typeRow()->buttons().at(2)->click();
    QVERIFY(m_responder.waitForRequests(listPath, 2));
    m_responder.reset(typesPath);
    m_responder.respondEnvelope(typesPath, 100900000);
    ModalDialogAnswerer answerer;
    m_window->fetchGroupExerciseTypes();
    QVERIFY(m_responder.waitForRequests(listPath, 3));
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, -1, -1, 0));
    QCOMPARE(typeRow()->items(), QStringList({"全部"}));
    QTRY_COMPARE(typeRow()->buttons().size(), 1);
    QVERIFY(typeRow()->buttons().first()->isChecked());
    QVERIFY(m_window->groupExerciseTypeList().isEmpty());
    QCOMPARE(answerer.count(), 0);
}

void tst_ExerciseList::clickingSelectedFilterSendsNothing()
{
    loadBank({"a"}, {1});
    difficultyRow()->buttons().at(2)->click();
    QVERIFY(m_responder.waitForRequests(listPath, 2));
    difficultyRow()->buttons().at(2)->click();
    typeRow()->buttons().at(0)->click();
    QTest::qWait(100);
    QCOMPARE(m_responder.count(listPath), 2);
    QVERIFY(difficultyRow()->buttons().at(2)->isChecked());
    QVERIFY(typeRow()->buttons().at(0)->isChecked());
}

void tst_ExerciseList::listReplyRebuildsCardsInOrder()
{
    loadBank({"a"}, {7, 3, 5}, 4, 2);
    QCOMPARE(m_window->exerciseSummaryList().size(), 3);
    QCOMPARE(m_window->exerciseSummaryList().at(1).exerciseContent, QStringLiteral("题3"));
    QCOMPARE(pager()->pageCount(), 4);
    QCOMPARE(pager()->currentPage(), 2);
    QCOMPARE(pageTexts(), QStringList({"1", "2", "3", "4"}));
    auto layout = m_window->findChild<QVBoxLayout *>(QStringLiteral("verticalLayout_7"));
    QCOMPARE(layout->count(), 5);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(layout->itemAt(i)->widget(), m_window->exerciseCardList().at(i));
    QCOMPARE(layout->itemAt(4)->widget(), pager());
    QVERIFY(!m_window->exerciseCardList().first()->isChecked());
    QVERIFY(!m_window->exerciseCardList().first()->isExpanded());

    // an empty page removes every card and resets select-all
    auto selectAll = m_window->findChild<QCheckBox *>(QStringLiteral("checkBoxSelectAllExercises"));
    selectAll->click();
    QPointer<ExerciseViewWidget> old = m_window->exerciseCardList().first();
    m_responder.reset(listPath);
    m_responder.respondEnvelope(listPath, 0, listData({}, 0, 0));
    m_window->refreshExerciseList();
    QTRY_VERIFY(m_window->exerciseCardList().isEmpty());
    QTRY_VERIFY(old.isNull());
    QCOMPARE(layout->count(), 2);
    QVERIFY(!selectAll->isChecked());
    QCOMPARE(selectAll->text(), QStringLiteral("全选"));
    QVERIFY(pager()->pageButtons().isEmpty());
}

void tst_ExerciseList::pagerButtonsFetchAgain()
{
    loadBank({"a"}, {1}, 3, 1);
    button("prePushButton")->click();
    QVERIFY(m_responder.waitForRequests(listPath, 2));
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, -1, -1, 1));

    m_responder.reset(listPath);
    m_responder.respondEnvelope(listPath, 0, listData({9}, 3, 3));
    button("lastPushButton")->click();
    QVERIFY(m_responder.waitForRequests(listPath, 3));
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, -1, -1, 3));
    QTRY_COMPARE(cardIds(), QList<int>({9}));
    QCOMPARE(pageTexts(), QStringList({"1", "2", "3"}));
    button("nextPushButton")->click();
    QVERIFY(m_responder.waitForRequests(listPath, 4));
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, -1, -1, 3));

    pager()->pageButtons().at(1)->click();
    QVERIFY(m_responder.waitForRequests(listPath, 5));
    QCOMPARE(body(m_responder.requestsTo(listPath).last()), listBody(100, -1, -1, 2));
}

void tst_ExerciseList::listFailureKeepsCards()
{
    loadBank({"a"}, {1, 2}, 2, 1);
    m_responder.reset(listPath);
    m_responder.respondEnvelope(listPath, 5, QJsonValue(), QStringLiteral("列表失败"));
    ModalDialogAnswerer answerer;
    button("nextPushButton")->click();
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("列表失败"));
    QCOMPARE(cardIds(), QList<int>({1, 2}));
    QCOMPARE(pageTexts(), QStringList({"1", "2"}));
}

void tst_ExerciseList::supersededRepliesAreDropped()
{
    loadBank({"a", "b"}, {1});
    ModalDialogAnswerer answerer;

    // the older list reply arrives last: it is dropped, failure or not
    for (int oldStatus : {0, 5}) {
        m_responder.reset(listPath);
        ScriptedHttpResponder::Response slow;
        slow.body
            = ScriptedHttpResponder::envelope(oldStatus, listData({41}), QStringLiteral("旧"));
        slow.delayMs = 500;
        m_responder.respond(listPath, slow);
        m_responder.respondEnvelope(listPath, 0, listData({42, 43}));
        const int before = m_responder.count(listPath);
        difficultyRow()->buttons().at(1)->click();
        QVERIFY(m_responder.waitForRequests(listPath, before + 1));
        difficultyRow()->buttons().at(2)->click();
        QVERIFY(m_responder.waitForRequests(listPath, before + 2));
        QTRY_COMPARE(cardIds(), QList<int>({42, 43}));
        QTest::qWait(800);
        QCOMPARE(cardIds(), QList<int>({42, 43}));
        difficultyRow()->buttons().at(0)->click();
        QVERIFY(m_responder.waitForRequests(listPath, before + 3));
        QTRY_VERIFY(difficultyRow()->buttons().at(0)->isChecked());
    }

    // the same for the types of a group clicked before the one now selected
    m_responder.reset(typesPath);
    ScriptedHttpResponder::Response slowTypes;
    slowTypes.body = ScriptedHttpResponder::envelope(0, typeArray(), QString());
    slowTypes.delayMs = 500;
    m_responder.respond(typesPath, slowTypes);
    m_responder.respondEnvelope(typesPath, 0,
        QJsonArray {QJsonObject {{QStringLiteral("id"), 50}, {QStringLiteral("name"), "判断题"}}});
    // the slow answer must go to the first click: its request has to arrive first
    const int typesBefore = m_responder.count(typesPath);
    QTest::mouseClick(panel()->rows().at(1), Qt::LeftButton);
    QVERIFY(m_responder.waitForRequests(typesPath, typesBefore + 1));
    QTest::mouseClick(panel()->rows().at(0), Qt::LeftButton);
    QTRY_COMPARE(typeRow()->items(), QStringList({"全部", "判断题"}));
    QTest::qWait(800);
    QCOMPARE(typeRow()->items(), QStringList({"全部", "判断题"}));
    QCOMPARE(answerer.count(), 0);
}

void tst_ExerciseList::selectAllChecksEveryCard()
{
    loadBank({"a"}, {1, 2, 3});
    auto selectAll = m_window->findChild<QCheckBox *>(QStringLiteral("checkBoxSelectAllExercises"));
    const auto cards = m_window->exerciseCardList();
    selectAll->click();
    QCOMPARE(selectAll->text(), QStringLiteral("反选"));
    for (ExerciseViewWidget *card : cards)
        QVERIFY(card->isChecked());
    cards.at(1)->setChecked(false); // single cards leave the box alone
    QVERIFY(selectAll->isChecked());
    selectAll->click();
    QCOMPARE(selectAll->text(), QStringLiteral("全选"));
    for (ExerciseViewWidget *card : cards)
        QVERIFY(!card->isChecked());
}

void tst_ExerciseList::batchRemovalSendsCheckedCardsInOrder()
{
    loadBank({"a"}, {7, 3, 5, 8});
    const auto cards = m_window->exerciseCardList();
    cards.at(3)->setChecked(true);
    cards.at(0)->setChecked(true);
    cards.at(2)->setChecked(true);

    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    button("btnRemoveSomeExercises")->click();
    QCOMPARE(answerer.last().className, QStringLiteral("MessageDialog"));
    QCOMPARE(answerer.last().title, QStringLiteral("删除"));
    QCOMPARE(answerer.last().text, QStringLiteral("是否删除选中题？"));
    // a question the teacher can say no to, not a notice
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("确定")));
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("取消")));
    QTest::qWait(50);
    QCOMPARE(m_responder.count(batchRemovePath), 0);

    m_responder.respondEnvelope(batchRemovePath, 0);
    answerer.clickButton(QStringLiteral("确定"));
    const int groupsBefore = m_responder.count(groupsPath);
    button("btnRemoveSomeExercises")->click();
    QVERIFY(m_responder.waitForRequests(batchRemovePath, 1));
    QCOMPARE(body(m_responder.requestsTo(batchRemovePath).first()),
        QJsonObject({{QStringLiteral("userId"), 9},
            {QStringLiteral("exerciseIds"), QJsonArray {7, 5, 8}}}));
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 1));
    QVERIFY(m_responder.waitForRequests(countPath, 1));
    QVERIFY(statisticsThenGroups(m_log));
}

void tst_ExerciseList::nothingChecked_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::newRow("move") << "btnMoveSomeExercises";
    QTest::newRow("remove") << "btnRemoveSomeExercises";
}

void tst_ExerciseList::nothingChecked()
{
    QFETCH(QString, buttonName);
    loadBank({"a", "b"}, {1, 2});
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    button(qPrintable(buttonName))->click();
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 1); // no chooser, no confirmation
    QCOMPARE(answerer.last().className, QStringLiteral("MessageDialog"));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("没有选中题目"));
    QCOMPARE(m_responder.count(batchMovePath) + m_responder.count(batchRemovePath), 0);
}

void tst_ExerciseList::batchMoveOffersTheOtherGroups()
{
    loadBank({"a", "b", "c"}, {7, 3, 5});
    m_window->exerciseCardList().at(2)->setChecked(true);
    m_window->exerciseCardList().at(1)->setChecked(true);
    m_responder.respondEnvelope(batchMovePath, 0);
    ModalDialogAnswerer answerer;
    QStringList offered;
    answerer.answerWith([&offered](QWidget *dialog) {
        auto input = qobject_cast<QInputDialog *>(dialog);
        offered = input->comboBoxItems();
        input->setTextValue(QStringLiteral("c"));
        input->accept();
    });
    const int groupsBefore = m_responder.count(groupsPath);
    button("btnMoveSomeExercises")->click();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("分组"));
    QCOMPARE(answerer.last().text, QStringLiteral("选择要移动到的分组"));
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("确定")));
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("取消")));
    QCOMPARE(offered, QStringList({"b", "c"}));
    QVERIFY(m_responder.waitForRequests(batchMovePath, 1));
    QCOMPARE(body(m_responder.requestsTo(batchMovePath).first()),
        QJsonObject({{QStringLiteral("exerciseIds"), QJsonArray {3, 5}},
            {QStringLiteral("groupId"), 102}}));
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 1));
    QCOMPARE(m_responder.count(countPath), 0);
}

void tst_ExerciseList::cardMoveAndRemove()
{
    loadBank({"a", "b"}, {7, 3});
    ExerciseViewWidget *card = m_window->exerciseCardList().at(1);
    m_responder.respondEnvelope(movePath, 0);
    m_responder.respondEnvelope(removePath, 0);
    ModalDialogAnswerer answerer;
    answerer.rejectDialog(); // the chooser cancelled sends nothing
    card->findChild<QPushButton *>(QStringLiteral("movePushButton"))->click();
    QTest::qWait(50);
    QCOMPARE(m_responder.count(movePath), 0);

    QTRY_VERIFY(card->findChild<QPushButton *>(QStringLiteral("movePushButton"))->isEnabled());
    answerer.enterText(QStringLiteral("b"));
    const int groupsBefore = m_responder.count(groupsPath);
    const int listsBefore = m_responder.count(listPath);
    // once moved, the group lists only the exercise that stayed
    m_responder.reset(listPath);
    m_responder.respondEnvelope(listPath, 0, listData({7}));
    card->findChild<QPushButton *>(QStringLiteral("movePushButton"))->click();
    QVERIFY(m_responder.waitForRequests(movePath, 1));
    QCOMPARE(body(m_responder.requestsTo(movePath).first()),
        QJsonObject({{QStringLiteral("exerciseId"), 3}, {QStringLiteral("oldGroupId"), 100},
            {QStringLiteral("newGroupId"), 101}}));
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 1));
    QVERIFY(m_responder.waitForRequests(listPath, listsBefore + 1));
    QTRY_COMPARE(cardIds(), QList<int>({7}));
    QCOMPARE(m_responder.count(countPath), 0); // a move changes no count

    card = m_window->exerciseCardList().at(0);
    answerer.clickButton(QStringLiteral("确定"));
    card->findChild<QPushButton *>(QStringLiteral("removePushButton"))->click();
    QVERIFY(m_responder.waitForRequests(removePath, 1));
    QCOMPARE(body(m_responder.requestsTo(removePath).first()),
        QJsonObject({{QStringLiteral("userId"), 9}, {QStringLiteral("exerciseId"), 7}}));
    QVERIFY(m_responder.waitForRequests(countPath, 1));
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 2));
    QVERIFY(statisticsThenGroups(m_log));
}

void tst_ExerciseList::chooserWithSingleGroupSendsNothing()
{
    loadBank({"only"}, {7});
    m_window->exerciseCardList().first()->setChecked(true);
    ModalDialogAnswerer answerer;
    QStringList offered {QStringLiteral("unset")};
    for (int i = 0; i < 2; ++i)
        answerer.answerWith([&offered](QWidget *dialog) {
            auto input = qobject_cast<QInputDialog *>(dialog);
            offered = input->comboBoxItems();
            input->accept();
        });
    m_window->exerciseCardList().first()->findChild<QPushButton *>("movePushButton")->click();
    button("btnMoveSomeExercises")->click();
    QCOMPARE(answerer.count(), 2);
    QVERIFY(offered.isEmpty());
    QTest::qWait(100);
    QCOMPARE(m_responder.count(movePath) + m_responder.count(batchMovePath), 0);
}

void tst_ExerciseList::failedRemovalReloadsNothing()
{
    loadBank({"a"}, {7, 3});
    m_responder.respondEnvelope(batchRemovePath, -1, QJsonValue(), QStringLiteral("x"));
    m_window->exerciseCardList().first()->setChecked(true);
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    answerer.clickButton(QStringLiteral("确定"));
    const int groupsBefore = m_responder.count(groupsPath);
    button("btnRemoveSomeExercises")->click();
    QVERIFY(answerer.waitForCount(2));
    QCOMPARE(answerer.last().text,
        QStringLiteral("抱歉，Lumo录题开了个小差，请尝试刷新页面或者重新登录"));
    QTest::qWait(100);
    QCOMPARE(m_responder.count(groupsPath), groupsBefore);
    QCOMPARE(m_responder.count(countPath), 0);
    QCOMPARE(cardIds(), QList<int>({7, 3}));
}

// ---- against the local server

void tst_ExerciseList::serverFiltersSelectMatchingExercises()
{
    if (!m_seeder)
        QSKIP("quenmo-server is not built");
    useServer();
    selectGroupNamed(QStringLiteral("筛选"));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 6, 10000);
    QCOMPARE(typeRow()->items().size(), 3);
    QCOMPARE(typeRow()->items().first(), QStringLiteral("全部"));

    // the second type of the reply at index 2
    const ExerciseTypeInfo second = m_window->groupExerciseTypeList().at(1);
    const int expected = second.name == QStringLiteral("单选题") ? 4 : 2;
    typeRow()->buttons().at(2)->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), expected, 10000);
    for (const ExerciseSummary &summary : m_window->exerciseSummaryList())
        QCOMPARE(summary.exerciseTypeId, second.id);

    typeRow()->buttons().at(0)->click();
    difficultyRow()->buttons().at(3)->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 3, 10000);
    for (const ExerciseSummary &summary : m_window->exerciseSummaryList())
        QCOMPARE(summary.difficultyDegree, 3);
    QVERIFY(m_window->exerciseSummaryList().first().questions.value(0).questionContent.contains(
        QStringLiteral("单三")));

    difficultyRow()->buttons().at(0)->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 6, 10000);
}

void tst_ExerciseList::serverEmptyGroupGivesSingleAllButton()
{
    if (!m_seeder)
        QSKIP("quenmo-server is not built");
    useServer();
    ModalDialogAnswerer answerer;
    selectGroupNamed(QStringLiteral("筛选"));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 6, 10000);
    selectGroupNamed(QStringLiteral("空组"));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->exerciseCardList().isEmpty(), 10000);
    QCOMPARE(typeRow()->items(), QStringList({"全部"}));
    QCOMPARE(pager()->pageCount(), 0);
    QVERIFY(pager()->pageButtons().isEmpty());
    QCOMPARE(answerer.count(), 0);
}

void tst_ExerciseList::serverPagerWindows()
{
    if (!m_seeder)
        QSKIP("quenmo-server is not built");
    useServer();
    selectGroupNamed(QStringLiteral("翻页"));
    // page 0 after the group change; the server answers with page 1 of 10
    QTRY_COMPARE_WITH_TIMEOUT(pageTexts(), QStringList({"1", "2", "3"}), 10000);
    QCOMPARE(pager()->pageCount(), 10);
    QCOMPARE(m_window->exerciseCardList().size(), 10);
    const int firstId = m_window->exerciseSummaryList().first().exerciseId;

    QPointer<ExerciseViewWidget> shown = m_window->exerciseCardList().first();
    button("prePushButton")->click(); // page 1 again: fetched anew, the same cards
    QTRY_VERIFY_WITH_TIMEOUT(shown.isNull(), 10000);
    QCOMPARE(pager()->currentPage(), 1);
    QCOMPARE(m_window->exerciseSummaryList().first().exerciseId, firstId);
    QCOMPARE(m_window->exerciseCardList().first()->exerciseId(), firstId);

    m_window->findChild<QLineEdit *>(QStringLiteral("lineEditJump"))->setText(QStringLiteral("5"));
    button("pushButtonJump")->click();
    QTRY_COMPARE_WITH_TIMEOUT(pageTexts(), QStringList({"3", "4", "5", "6", "7"}), 10000);
    QVERIFY(pager()->pageButtons().at(2)->isChecked());
    QVERIFY(m_window->exerciseSummaryList().first().exerciseId != firstId);

    button("lastPushButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(pageTexts(), QStringList({"8", "9", "10"}), 10000);
    QCOMPARE(pager()->currentPage(), 10);
    const QList<int> lastPage = cardIds();
    QCOMPARE(lastPage.size(), 10);
    QPointer<ExerciseViewWidget> before = m_window->exerciseCardList().first();
    button("nextPushButton")->click(); // fetched again, the same page
    QTRY_VERIFY_WITH_TIMEOUT(before.isNull(), 10000);
    QCOMPARE(cardIds(), lastPage);
}

void tst_ExerciseList::serverBatchMoveAndRemove()
{
    if (!m_seeder)
        QSKIP("quenmo-server is not built");
    useServer();
    selectGroupNamed(QStringLiteral("移动"));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 3, 10000);
    const QList<int> ids = cardIds();

    ModalDialogAnswerer answerer;
    answerer.enterText(QStringLiteral("目标"));
    m_window->exerciseCardList().at(0)->setChecked(true);
    m_window->exerciseCardList().at(2)->setChecked(true);
    button("btnMoveSomeExercises")->click();
    QTRY_COMPARE_WITH_TIMEOUT(cardIds(), QList<int>({ids.at(1)}), 10000);
    auto rowText = [this](const QString &name) {
        for (GroupItemWidget *row : panel()->rows())
            if (row->groupName() == name)
                return row->text();
        return QString();
    };
    QTRY_COMPARE(rowText(QStringLiteral("目标")), QStringLiteral("目标 （2道）"));
    QCOMPARE(rowText(QStringLiteral("移动")), QStringLiteral("移动 （1道）"));

    // remove both moved ones from the target group
    selectGroupNamed(QStringLiteral("目标"));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->exerciseCardList().size(), 2, 10000);
    const QList<int> moved = cardIds();
    QCOMPARE(QSet<int>(moved.begin(), moved.end()), QSet<int>({ids.at(0), ids.at(2)}));
    m_window->findChild<QCheckBox *>(QStringLiteral("checkBoxSelectAllExercises"))->click();
    answerer.clickButton(QStringLiteral("确定"));
    button("btnRemoveSomeExercises")->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->exerciseCardList().isEmpty(), 10000);
    QTRY_COMPARE(rowText(QStringLiteral("目标")), QStringLiteral("目标 （0道）"));
    // the statistics were reloaded too
    QTRY_VERIFY(m_window->windowTitle().contains(QStringLiteral(" 总题数：107")));
    QCOMPARE(answerer.count(), 2);
}

QTEST_MAIN(tst_ExerciseList)
#include "tst_exerciselist.moc"
