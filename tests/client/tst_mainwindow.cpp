#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/groupitemwidget.h"
#include "browser/groupwidget.h"
#include "browser/mainwindow.h"
#include "browser/radiobuttonwidget.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

namespace {

const QString groupsPath = QStringLiteral("/library/fetch/groups");
const QString addPath = QStringLiteral("/library/add/group");
const QString modifyPath = QStringLiteral("/library/modify/group");
const QString removePath = QStringLiteral("/library/remove/group");
const QString typesPath = QStringLiteral("/library/fetch/type");
const QString countPath = QStringLiteral("/library/statistics/count");

QJsonArray groupArray(const QList<QPair<QString, int>> &groups)
{
    QJsonArray array;
    int id = 100;
    for (const auto &group : groups)
        array << QJsonObject {{QStringLiteral("groupId"), id++},
            {QStringLiteral("groupName"), group.first}, {QStringLiteral("count"), group.second}};
    return array;
}

QJsonObject body(const ScriptedHttpResponder::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

// requests travel on separate connections, and one from the previous test may land late:
// look for the one asked for among those that came after `from`, in any order
bool waitForTypesOfGroup(const ScriptedHttpResponder &responder, int from, int groupId)
{
    return QTest::qWaitFor([&] {
        const auto requests = responder.requestsTo(typesPath);
        for (int i = from; i < requests.size(); ++i) {
            if (body(requests.at(i)) == QJsonObject {{QStringLiteral("groupId"), groupId}})
                return true;
        }
        return false;
    });
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensOnComposerPage();
    void navigationShowsRefreshOnBankPageOnly();
    void statisticsTitle_data();
    void statisticsTitle();
    void statisticsFailureKeepsTitle();
    void refreshRequestsGroupsOnly();
    void groupsReplyFillsPanelHeaderAndSelectsRow();
    void teacherWithoutGroupsGetsDefaultGroup();
    void rowText_data();
    void rowText();
    void addGroupChecks_data();
    void addGroupChecks();
    void renameChecks_data();
    void renameChecks();
    void removeGroupConfirmsAndReselectsFirstRow_data();
    void removeGroupConfirmsAndReselectsFirstRow();
    void selectionStaysAtRowAfterAdd();
    void clickingRowSelectsItsGroup();
    void selectedRowIsWhiteOnBlue();

private:
    GroupWidget *panel()
    {
        return m_window->findChild<GroupWidget *>(QStringLiteral("groupWidget"));
    }
    // Fills the panel from a groups reply; false (with the failure noted) when it did not fill,
    // so that a test stops there rather than waiting on a panel that will never work.
    bool loadGroups(const QList<QPair<QString, int>> &groups);
    void fillPanel(const QList<QPair<QString, int>> &groups);

    ScriptedHttpResponder m_responder;
    std::unique_ptr<MainWindow> m_window;
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(m_responder.listen());
    UserSession::instance().userId = 9;
    UserSession::instance().loginToken = QStringLiteral("tok");
}

void tst_MainWindow::init()
{
    m_responder.clear();
    LIBRARY_SERVER = BENCH_SERVER = m_responder.baseUrl();
    UserSession::instance().realName = QStringLiteral("李老师");
    m_responder.respondEnvelope(typesPath, 0, QJsonArray());
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/exercise"), 0,
        QJsonObject {{QStringLiteral("result"), QJsonArray()}, {QStringLiteral("pages"), 0},
            {QStringLiteral("pageNum"), 0}});
    m_window = std::make_unique<MainWindow>();
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
}

bool tst_MainWindow::loadGroups(const QList<QPair<QString, int>> &groups)
{
    fillPanel(groups);
    return !QTest::currentTestFailed();
}

void tst_MainWindow::fillPanel(const QList<QPair<QString, int>> &groups)
{
    m_responder.reset(groupsPath);
    m_responder.respondEnvelope(groupsPath, 0, groupArray(groups));
    const int before = m_responder.count(typesPath);
    m_window->fetchGroups();
    QVERIFY(QTest::qWaitFor([&] { return panel()->rows().size() == groups.size(); }));
    // each row names its own group; a row without it could never ask for the group's types
    for (int i = 0; i < groups.size(); ++i) {
        QCOMPARE(panel()->rows().at(i)->groupId(), 100 + i);
        QCOMPARE(panel()->rows().at(i)->groupName(), groups.at(i).first);
    }
    if (!groups.isEmpty())
        QVERIFY(waitForTypesOfGroup(m_responder, before, 100));
}

void tst_MainWindow::opensOnComposerPage()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Lumo"));
    QVERIFY(m_window->windowState() & Qt::WindowMaximized);
    auto input = m_window->findChild<QPushButton *>(QStringLiteral("inputPushButton"));
    auto stack = m_window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    auto refresh = m_window->findChild<QPushButton *>(QStringLiteral("refreshPushButton"));
    QVERIFY(input->isChecked());
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(refresh->isHidden());

    auto difficulty
        = m_window->findChild<RadioButtonWidget *>(QStringLiteral("exerciseDifficultyLevelWidget"));
    QCOMPARE(difficulty->items(), QStringList({"全部", "1", "2", "3", "4", "5"}));
    QCOMPARE(difficulty->buttons().size(), 6);
    QVERIFY(difficulty->buttons().first()->isChecked());
    QCOMPARE(difficulty->selectedIndex(), 0);
}

void tst_MainWindow::navigationShowsRefreshOnBankPageOnly()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto input = m_window->findChild<QPushButton *>(QStringLiteral("inputPushButton"));
    auto bank = m_window->findChild<QPushButton *>(QStringLiteral("repertoryPushButton"));
    auto stack = m_window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    auto refresh = m_window->findChild<QPushButton *>(QStringLiteral("refreshPushButton"));
    bank->click();
    QCOMPARE(stack->currentIndex(), 1);
    QVERIFY(bank->isChecked());
    QVERIFY(!input->isChecked());
    QVERIFY(refresh->isVisible());
    input->click();
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(refresh->isHidden());
}

void tst_MainWindow::statisticsTitle_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("realName");
    QTest::addColumn<QString>("title");
    QTest::newRow("status 0") << 0 << "李老师"
                              << "Quenmo 1.1.2 －用户名：李老师 今日录入题数：3 总题数：10";
    QTest::newRow("status 100900000") << 100900000 << "李老师"
                                      << "Quenmo 1.1.2 －用户名：李老师 今日录入题数：3 总题数：10";
    QTest::newRow("empty name") << 0 << ""
                                << "Quenmo 1.1.2 －用户名： 今日录入题数：3 总题数：10";
}

void tst_MainWindow::statisticsTitle()
{
    QFETCH(int, status);
    QFETCH(QString, realName);
    UserSession::instance().realName = realName;
    m_responder.respondEnvelope(countPath, status,
        QJsonObject {{QStringLiteral("count"), 3}, {QStringLiteral("totalCount"), 10}});
    m_window->fetchExercisesCount();
    QTRY_COMPARE(m_window->windowTitle(),
        QTest::currentDataTag() == QByteArray("empty name")
            ? QStringLiteral("Quenmo 1.1.2 －用户名： 今日录入题数：3 总题数：10")
            : QStringLiteral("Quenmo 1.1.2 －用户名：李老师 今日录入题数：3 总题数：10"));
    QTEST(m_window->windowTitle(), "title");
    const QJsonObject sent = body(m_responder.requestsTo(countPath).first());
    QCOMPARE(sent.value(QStringLiteral("userId")).toInt(), 9);
    QCOMPARE(sent.value(QStringLiteral("createDate")).toString(),
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}

void tst_MainWindow::statisticsFailureKeepsTitle()
{
    m_responder.respondEnvelope(countPath, 7, QJsonValue(), QStringLiteral("统计失败"));
    ModalDialogAnswerer answerer;
    m_window->fetchExercisesCount();
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().text, QStringLiteral("统计失败"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Lumo"));
}

void tst_MainWindow::refreshRequestsGroupsOnly()
{
    m_responder.respondEnvelope(groupsPath, 0, QJsonArray());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    m_window->findChild<QPushButton *>(QStringLiteral("refreshPushButton"))->click();
    QVERIFY(m_responder.waitForRequests(groupsPath, 1));
    QTest::qWait(100);
    QCOMPARE(m_responder.requests().size(), 1);
    QCOMPARE(m_responder.requests().first().body, QByteArray("{\n    \"userId\": 9\n}\n"));
    QCOMPARE(m_responder.requests().first().header("loginToken"), QByteArray("tok"));
}

void tst_MainWindow::groupsReplyFillsPanelHeaderAndSelectsRow()
{
    QVERIFY(loadGroups({{QStringLiteral("Physics"), 5}, {QStringLiteral("数学"), 0}}));
    const auto rows = panel()->rows();
    QCOMPARE(rows.at(0)->text(), QStringLiteral("Physics （5道）"));
    QCOMPARE(rows.at(0)->toolTip(), QStringLiteral("Physics"));
    QCOMPARE(rows.at(1)->text(), QStringLiteral("数学 （0道）"));
    QVERIFY(rows.at(0)->isSelected());
    QVERIFY(!rows.at(1)->isSelected());

    auto combo = m_window->findChild<QComboBox *>(QStringLiteral("groupComboBox"));
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), QStringLiteral("数学"));

    // the chain goes on with the types of the selected group
    QCOMPARE(body(m_responder.requestsTo(typesPath).last()),
        QJsonObject({{QStringLiteral("groupId"), 100}}));

    // an empty list empties the panel and asks for nothing more
    const int typeRequests = m_responder.count(typesPath);
    QVERIFY(loadGroups({}));
    QTest::qWait(50);
    QCOMPARE(m_responder.count(typesPath), typeRequests);
}

void tst_MainWindow::teacherWithoutGroupsGetsDefaultGroup()
{
    m_responder.respondEnvelope(groupsPath, 100900000, QJsonValue());
    m_responder.respondEnvelope(groupsPath, 0, groupArray({{QStringLiteral("我的题库"), 0}}));
    m_responder.respondEnvelope(addPath, 0, QJsonValue());
    ModalDialogAnswerer answerer;
    m_window->fetchGroups();
    QTRY_COMPARE(panel()->rows().size(), 1);
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(m_responder.count(groupsPath), 2);
    QCOMPARE(body(m_responder.requestsTo(addPath).first()),
        QJsonObject({{QStringLiteral("userId"), 9},
            {QStringLiteral("groupName"), QStringLiteral("我的题库")}}));
    QVERIFY(panel()->rows().first()->isSelected());
}

void tst_MainWindow::rowText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("15 characters whole") << "一二三四五六七八九十一二三四五"
                                         << "一二三四五六七八九十一二三四五 （2道）";
    QTest::newRow("16 characters shortened") << "一二三四五六七八九十一二三四五六"
                                             << "一二三四五六七八九十一二... （2道）";
    QTest::newRow("short") << "abc"
                           << "abc （2道）";
}

void tst_MainWindow::rowText()
{
    QFETCH(QString, name);
    QTEST(GroupItemWidget::rowText(name, 2), "text");
}

void tst_MainWindow::addGroupChecks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent"); // empty: nothing sent
    QTest::addColumn<QString>("warning");
    QTest::newRow("tags stripped") << "<b>abc</b>"
                                   << "abc"
                                   << "";
    QTest::newRow("tag only") << "<i></i>"
                              << ""
                              << "";
    QTest::newRow("duplicate") << "Physics"
                               << ""
                               << "Physics的组已存在。";
    QTest::newRow("duplicate after stripping") << "<b>Physics</b>"
                                               << ""
                                               << "Physics的组已存在。";
    QTest::newRow("31 characters allowed when adding")
        << QString(31, QLatin1Char('x')) << QString(31, QLatin1Char('x')) << "";
    QTest::newRow("spaces kept") << " a b "
                                 << " a b "
                                 << "";
}

void tst_MainWindow::addGroupChecks()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, warning);
    QVERIFY(loadGroups({{QStringLiteral("Physics"), 5}}));
    m_responder.respondEnvelope(addPath, 0, QJsonValue());

    ModalDialogAnswerer answerer;
    answerer.enterText(typed);
    answerer.clickButton(QStringLiteral("确定"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    panel()->findChild<QPushButton *>(QStringLiteral("addPushButton"))->click();
    QCOMPARE(answerer.seen().first().title, QStringLiteral("名称"));
    QCOMPARE(answerer.seen().first().text, QStringLiteral("编辑名称"));
    if (sent.isEmpty()) {
        QTest::qWait(50);
        QCOMPARE(m_responder.count(addPath), 0);
    } else {
        QVERIFY(m_responder.waitForRequests(addPath, 1));
        QCOMPARE(body(m_responder.requestsTo(addPath).first())
                     .value(QStringLiteral("groupName"))
                     .toString(),
            sent);
    }
    if (warning.isEmpty()) {
        QCOMPARE(answerer.count(), 1);
    } else {
        QCOMPARE(answerer.count(), 2);
        QCOMPARE(answerer.last().title, QStringLiteral("警告"));
        QCOMPARE(answerer.last().text, warning);
        QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
    }
}

void tst_MainWindow::renameChecks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("warning");
    QTest::newRow("new name") << "<b>Chemistry</b>"
                              << "Chemistry"
                              << "";
    QTest::newRow("own name") << "Physics"
                              << ""
                              << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("31 characters") << QString(31, QLatin1Char('y')) << ""
                                   << "名称不能大于30个字";
    QTest::newRow("30 characters")
        << QString(30, QLatin1Char('y')) << QString(30, QLatin1Char('y')) << "";
    QTest::newRow("another group's name") << "数学"
                                          << ""
                                          << "数学的组已存在。";
}

void tst_MainWindow::renameChecks()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, warning);
    QVERIFY(loadGroups({{QStringLiteral("Physics"), 5}, {QStringLiteral("数学"), 1}}));
    m_responder.respondEnvelope(modifyPath, 0, QJsonValue());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    ModalDialogAnswerer answerer;
    answerer.answerWith([typed](QWidget *dialog) {
        auto input = qobject_cast<QInputDialog *>(dialog);
        QCOMPARE(input->textValue(), QStringLiteral("Physics")); // starts from the current name
        input->setTextValue(typed);
        input->accept();
    });
    panel()->rows().first()->findChild<QPushButton *>(QStringLiteral("editPushButton"))->click();
    if (sent.isEmpty()) {
        QTest::qWait(50);
        QCOMPARE(m_responder.count(modifyPath), 0);
    } else {
        QVERIFY(m_responder.waitForRequests(modifyPath, 1));
        QCOMPARE(body(m_responder.requestsTo(modifyPath).first()),
            QJsonObject({{QStringLiteral("userId"), 9}, {QStringLiteral("groupId"), 100},
                {QStringLiteral("groupName"), sent}}));
        QVERIFY(m_responder.waitForRequests(groupsPath, 2)); // the list is reloaded
    }
    QCOMPARE(answerer.count(), warning.isEmpty() ? 1 : 2);
    if (!warning.isEmpty())
        QCOMPARE(answerer.last().text, warning);
}

void tst_MainWindow::removeGroupConfirmsAndReselectsFirstRow_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("question");
    QTest::newRow("empty group") << 0 << "是否确定要删除？";
    QTest::newRow("group with exercises")
        << 4 << "若删除，该分组下的题目也会删除，是否确定要删除？";
}

void tst_MainWindow::removeGroupConfirmsAndReselectsFirstRow()
{
    QFETCH(int, count);
    QFETCH(QString, question);
    QVERIFY(loadGroups({{"a", 1}, {"b", 1}, {"c", 1}, {"d", count}}));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    // select row 3 by clicking it
    GroupItemWidget *row = panel()->rows().at(3);
    QTest::mouseClick(row, Qt::LeftButton);
    QCOMPARE(panel()->currentIndex(), 3);

    // cancelling sends nothing
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    row->findChild<QPushButton *>(QStringLiteral("removePushButton"))->click();
    QCOMPARE(answerer.last().title, QStringLiteral("删除分组"));
    QCOMPARE(answerer.last().text, question);
    QCOMPARE(answerer.last().className, QStringLiteral("MessageDialog"));
    QTest::qWait(50);
    QCOMPARE(m_responder.count(removePath), 0);

    m_responder.respondEnvelope(removePath, 0, QJsonValue());
    m_responder.reset(groupsPath);
    m_responder.respondEnvelope(groupsPath, 0, groupArray({{"a", 1}, {"b", 1}, {"c", 1}}));
    answerer.clickButton(QStringLiteral("确定"));
    answerer.clickButton(QStringLiteral("确定"));
    row->findChild<QPushButton *>(QStringLiteral("removePushButton"))->click();
    QVERIFY(answerer.waitForCount(3));
    QCOMPARE(answerer.last().title, QStringLiteral("成功"));
    QCOMPARE(answerer.last().text, QStringLiteral("删除分组成功"));
    QCOMPARE(body(m_responder.requestsTo(removePath).first()),
        QJsonObject({{QStringLiteral("userId"), 9}, {QStringLiteral("groupId"), 103}}));
    QTRY_COMPARE(panel()->rows().size(), 3);
    QCOMPARE(panel()->currentIndex(), 0);
    QVERIFY(panel()->rows().first()->isSelected());
}

void tst_MainWindow::selectionStaysAtRowAfterAdd()
{
    QVERIFY(loadGroups({{"a", 1}, {"b", 1}, {"c", 1}}));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::mouseClick(panel()->rows().at(1), Qt::LeftButton);
    // the server lists the new group first: row 1 now holds another group, and stays selected
    m_responder.respondEnvelope(addPath, 0, QJsonValue());
    m_responder.reset(groupsPath);
    m_responder.respondEnvelope(
        groupsPath, 0, groupArray({{"new", 0}, {"a", 1}, {"b", 1}, {"c", 1}}));
    m_window->addGroup(QStringLiteral("new"));
    QTRY_COMPARE(panel()->rows().size(), 4);
    QCOMPARE(panel()->currentIndex(), 1);
    QVERIFY(panel()->rows().at(1)->isSelected());
    QCOMPARE(panel()->rows().at(1)->groupName(), QStringLiteral("a"));
}

void tst_MainWindow::clickingRowSelectsItsGroup()
{
    QVERIFY(loadGroups({{"a", 1}, {"b", 2}}));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy selected(panel(), &GroupWidget::selectGroup);
    const int before = m_responder.count(typesPath);
    QTest::mouseClick(panel()->rows().at(1), Qt::LeftButton);
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().toInt(), 101);
    QVERIFY(!panel()->rows().at(0)->isSelected());
    QVERIFY(panel()->rows().at(1)->isSelected());
    QVERIFY(waitForTypesOfGroup(m_responder, before, 101));

    // and back to the first row
    const int again = m_responder.count(typesPath);
    QTest::mouseClick(panel()->rows().at(0), Qt::LeftButton);
    QCOMPARE(selected.count(), 2);
    QCOMPARE(selected.last().first().toInt(), 100);
    QCOMPARE(panel()->currentIndex(), 0);
    QVERIFY(panel()->rows().at(0)->isSelected());
    QVERIFY(!panel()->rows().at(1)->isSelected());
    QVERIFY(waitForTypesOfGroup(m_responder, again, 100));
}

void tst_MainWindow::selectedRowIsWhiteOnBlue()
{
    QVERIFY(loadGroups({{"a", 1}, {"b", 2}}));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    const auto rows = panel()->rows();
    QTRY_VERIFY(rows.at(1)->isVisible());
    // rows are stacked in the order of the list, one below the other
    QVERIFY(rows.at(1)->y() >= rows.at(0)->geometry().bottom());

    // the highest red of the widget's pixels: 27 on plain blue, near 255 where white shows
    auto reddest = [](QWidget *widget) {
        const QImage image = widget->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                red = qMax(red, qRed(image.pixel(x, y)));
        return red;
    };
    const QRgb blue = qRgb(27, 197, 245) & 0xffffff;
    const QRgb white = qRgb(255, 255, 255) & 0xffffff;
    const QImage selectedRow = rows.at(0)->grab().toImage();
    QCOMPARE(selectedRow.pixel(2, selectedRow.height() / 2) & 0xffffff, blue);
    const QImage otherRow = rows.at(1)->grab().toImage();
    QCOMPARE(otherRow.pixel(2, otherRow.height() / 2) & 0xffffff, white);
    auto label
        = [](GroupItemWidget *row) { return row->findChild<QLabel *>(QStringLiteral("label")); };
    QVERIFY(reddest(label(rows.at(0))) > 200); // the name in white on the blue row

    // a reload replaces the rows, and the old ones go
    QPointer<GroupItemWidget> old = rows.at(0);
    QVERIFY(loadGroups({{"c", 3}}));
    QTRY_VERIFY(old.isNull());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
