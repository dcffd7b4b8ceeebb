// The composer files a teacher's work where the teacher put it, against the real server: the
// chosen group survives every reload of the groups, a failed fetch for modification keeps the
// modification, a body built for one exercise is never stored over another, and work not yet
// submitted is not replaced by an opened exercise unasked.
#include "app/serverconfig.h"
#include "browser/exerciseviewwidget.h"
#include "browser/mainwindow.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionwidget.h"
#include "editor/textedit.h"

#include "bankseeder.h"
#include "composerdriver.h"
#include "localserver.h"
#include "modaldialoganswerer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

class tst_ComposerFiling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chosenGroupSurvivesEveryReload();
    void failedFetchKeepsTheModification();
    void bodyOfAnotherExerciseIsNeverSubmitted();
    void unsubmittedWorkIsReplacedOnlyWhenTheTeacherSaysSo();

private:
    // Texts of the stored exercise: stem, then every question, option and answer content.
    QStringList storedTexts(int exerciseId);
    int storedFolder(int exerciseId);
    // Exercise ids listed in a group.
    QList<int> listed(int groupId);
    // Opens a stored exercise as the card's edit button does and waits for its body.
    bool open(int exerciseId);
    // Four option texts for a seeded single choice.
    static QStringList options(const QString &prefix);
    QString firstOption();
    // Clicks the edit button of the exercise's card on the bank page.
    bool clickModify(int exerciseId);

    QTemporaryDir m_home;
    LocalServer m_server;
    std::unique_ptr<BankSeeder> m_seeder;
    std::unique_ptr<MainWindow> m_window;
    QHash<QString, int> m_groups;
};

void tst_ComposerFiling::initTestCase()
{
    // nothing of these runs may land in the real user's data folder
    qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
    m_seeder = std::make_unique<BankSeeder>(m_server.baseUrl());
    QVERIFY(m_seeder->login());
    for (const QString &name : {QStringLiteral("甲组"), QStringLiteral("乙组")})
        m_groups.insert(name, m_seeder->addGroup(name));
    QVERIFY(ComposerDriver::login());
}

void tst_ComposerFiling::init()
{
    BENCH_SERVER = m_server.baseUrl();
    m_window = std::make_unique<MainWindow>();
    QVERIFY(ComposerDriver::start(*m_window));
}

void tst_ComposerFiling::cleanup()
{
    m_window.reset();
}

QStringList tst_ComposerFiling::storedTexts(int exerciseId)
{
    const QJsonObject data = m_seeder
                                 ->post(QStringLiteral("/library/fetch/exercise/id"),
                                     {{QStringLiteral("exerciseId"), exerciseId}})
                                 .value(QStringLiteral("data"))
                                 .toObject();
    QStringList texts {data.value(QStringLiteral("exercise"))
                           .toObject()
                           .value(QStringLiteral("content"))
                           .toString()};
    for (const QJsonValue &wrap : data.value(QStringLiteral("questionWraps")).toArray()) {
        const QJsonObject question = wrap.toObject().value(QStringLiteral("question")).toObject();
        texts << question.value(QStringLiteral("questionContent")).toString()
              << question.value(QStringLiteral("optionContent")).toString();
    }
    return texts;
}

int tst_ComposerFiling::storedFolder(int exerciseId)
{
    return m_seeder
        ->post(QStringLiteral("/library/fetch/exercise/id"),
            {{QStringLiteral("exerciseId"), exerciseId}})
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("exercise"))
        .toObject()
        .value(QStringLiteral("folderId"))
        .toInt();
}

QList<int> tst_ComposerFiling::listed(int groupId)
{
    QList<int> ids;
    const QJsonObject data
        = m_seeder
              ->post(QStringLiteral("/library/fetch/exercise"),
                  {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), -1},
                      {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 1}})
              .value(QStringLiteral("data"))
              .toObject();
    for (const QJsonValue &item : data.value(QStringLiteral("result")).toArray())
        ids << item.toObject().value(QStringLiteral("exerciseId")).toInt();
    return ids;
}

QStringList tst_ComposerFiling::options(const QString &prefix)
{
    QStringList options;
    for (int i = 1; i <= 4; ++i)
        options << BankSeeder::doc(prefix + QString::number(i));
    return options;
}

bool tst_ComposerFiling::open(int exerciseId)
{
    const ExerciseInfo *before = m_window->savedExerciseRecord();
    m_window->modifyExercise(exerciseId);
    if (!QTest::qWaitFor(
            [&] {
                return m_window->modifyingId() == exerciseId
                    && m_window->savedExerciseRecord() != before && !m_window->isBodyPending();
            },
            10000))
        return false;
    ComposerDriver::chooseKnowledge(*m_window);
    return true;
}

QString tst_ComposerFiling::firstOption()
{
    auto page = qobject_cast<ExerciseQuestionWidget *>(m_window->questionTabs()->widget(0));
    return page->optionPanels().value(0) ? page->optionPanels().at(0)->text() : QString();
}

void tst_ComposerFiling::chosenGroupSurvivesEveryReload()
{
    MainWindow &window = *m_window;
    QComboBox *groups = ComposerDriver::groupCombo(window);
    const int chosen = m_groups.value(QStringLiteral("乙组"));
    QVERIFY(groups->findText(QStringLiteral("乙组")) > 0); // not the first row
    QVERIFY(ComposerDriver::choose(groups, QStringLiteral("乙组")));

    // "添加分组" reloads the groups
    ModalDialogAnswerer answerer;
    answerer.enterText(QStringLiteral("丙组"));
    QTest::mouseClick(
        ComposerDriver::header(window)->findChild<QPushButton *>(QStringLiteral("addPushButton")),
        Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(groups->findText(QStringLiteral("丙组")) >= 0, 10000);
    QCOMPARE(groups->currentText(), QStringLiteral("乙组"));

    // two additions in a row, each followed by a reload, both land in the chosen group
    QList<int> added;
    for (int round = 1; round <= 2; ++round) {
        const QList<int> before = listed(chosen);
        ComposerDriver::fill(window, QStringLiteral("filed%1").arg(round));
        if (round == 1)
            ComposerDriver::shot(&window, QStringLiteral("composer-filled"));
        answerer.clickButton(QStringLiteral("确定"));
        QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
        QVERIFY(answerer.waitForCount(1 + round));
        QCOMPARE(answerer.last().text, QStringLiteral("录入成功"));
        QTRY_COMPARE_WITH_TIMEOUT(listed(chosen).size(), before.size() + 1, 10000);
        QTRY_VERIFY(firstOption().isEmpty()); // the composer starts again
        QTRY_COMPARE(groups->currentText(), QStringLiteral("乙组"));
    }
    QVERIFY(listed(m_groups.value(QStringLiteral("甲组"))).isEmpty());

    // a modification after "添加分组" stays in its group
    const int stored = m_seeder->addChoiceExercise(chosen, QStringLiteral("单选题"), 2,
        BankSeeder::doc(QStringLiteral("stays")), options("s"));
    QVERIFY(open(stored));
    QCOMPARE(groups->currentText(), QStringLiteral("乙组"));
    answerer.enterText(QStringLiteral("丁组"));
    QTest::mouseClick(
        ComposerDriver::header(window)->findChild<QPushButton *>(QStringLiteral("addPushButton")),
        Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(groups->findText(QStringLiteral("丁组")) >= 0, 10000);
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.last().text, QStringLiteral("修改成功"), 10000);
    QCOMPARE(storedFolder(stored), chosen);

    // opening an exercise of the first group chooses that group, and it stays chosen
    const int first = m_groups.value(QStringLiteral("甲组"));
    const int other = m_seeder->addChoiceExercise(
        first, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("first")), options("f"));
    QVERIFY(open(other));
    QCOMPARE(groups->currentText(), QStringLiteral("甲组"));
    m_seeder->addGroup(QStringLiteral("戊组"));
    window.fetchGroups();
    QTRY_VERIFY_WITH_TIMEOUT(groups->findText(QStringLiteral("戊组")) >= 0, 10000);
    QCOMPARE(groups->currentText(), QStringLiteral("甲组"));
}

void tst_ComposerFiling::failedFetchKeepsTheModification()
{
    MainWindow &window = *m_window;
    const int group = m_groups.value(QStringLiteral("甲组"));
    const int kept = m_seeder->addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("kept")), options("k"));
    const int gone = m_seeder->addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("gone")), options("g"));
    QVERIFY(open(kept));
    auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0));
    page->optionPanels().at(1)->setText(QStringLiteral("<doc>changed</doc>"));

    // another session removed the next one: its fetch fails
    QCOMPARE(m_seeder
                 ->post(QStringLiteral("/library/remove/exercise"),
                     {{QStringLiteral("userId"), m_seeder->userId()},
                         {QStringLiteral("exerciseId"), gone}})
                 .value(QStringLiteral("status"))
                 .toInt(),
        0);
    // the teacher agrees to leave the changed one, but the next cannot be fetched
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    answerer.clickButton(QStringLiteral("确定"));
    window.modifyExercise(gone);
    QVERIFY(answerer.waitForCount(2));
    QCOMPARE(answerer.seen().at(0).text, MainWindow::replaceQuestion);
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));

    // "完成" still modifies the exercise on screen; nothing new is added
    const int listedBefore = listed(group).size();
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(3));
    QCOMPARE(answerer.last().text, QStringLiteral("修改成功"));
    QCOMPARE(listed(group).size(), listedBefore);
    QVERIFY(storedTexts(kept).join(QString()).contains(QStringLiteral("changed")));
}

void tst_ComposerFiling::bodyOfAnotherExerciseIsNeverSubmitted()
{
    MainWindow &window = *m_window;
    const int group = m_groups.value(QStringLiteral("甲组"));
    const int first = m_seeder->addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("first")), options("x"));
    // of a type this window has not fetched yet (a fetched one is not asked for again)
    const int second = m_seeder->addChoiceExercise(group, QStringLiteral("多选题"), 2,
        BankSeeder::doc(QStringLiteral("second")), options("y"));
    const QStringList secondStored = storedTexts(second);
    const QStringList firstStored = storedTexts(first);
    QVERIFY(open(first));
    QVERIFY(firstOption().contains(QStringLiteral("x1")));

    // the exercise type request of the second one fails
    BENCH_SERVER = QStringLiteral("http://127.0.0.1:") + QString::number(LocalServer::freePort());
    // (the knowledge points chosen on opening are a change: the teacher agrees to leave it)
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    answerer.clickButton(QStringLiteral("确定"));
    window.modifyExercise(second);
    QVERIFY(answerer.waitForCount(2));
    QCOMPARE(answerer.seen().at(0).text, MainWindow::replaceQuestion);
    QTRY_COMPARE(window.modifyingId(), second);
    QVERIFY(firstOption().contains(QStringLiteral("x1")));

    // neither "完成" nor "预览" sends the first one's body
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(3));
    QCOMPARE(answerer.last().text, MainWindow::bodyPendingText);
    QVERIFY(ComposerDriver::doneButton(window)->isEnabled());
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(window.composerButtons()->button(QDialogButtonBox::Save), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(4));
    QCOMPARE(answerer.last().text, MainWindow::bodyPendingText);
    QTest::qWait(300);
    QCOMPARE(storedTexts(second), secondStored);

    // opening it again works once the server answers
    BENCH_SERVER = m_server.baseUrl();
    QVERIFY(open(second));
    QVERIFY(firstOption().contains(QStringLiteral("y1")));
    auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0));
    page->optionPanels().at(1)->setText(QStringLiteral("<doc>y2 changed</doc>"));
    page->optionPanels().at(1)->checkBox()->click(); // a multiple choice needs two
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(5));
    QCOMPARE(answerer.last().text, QStringLiteral("修改成功"));
    const QString stored = storedTexts(second).join(QString());
    QVERIFY(stored.contains(QStringLiteral("y2 changed")));
    QVERIFY(stored.contains(QStringLiteral("second")));
    QCOMPARE(storedTexts(first), firstStored);
}

bool tst_ComposerFiling::clickModify(int exerciseId)
{
    m_window->findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    m_window->refreshExerciseList();
    ExerciseViewWidget *card = nullptr;
    (void)QTest::qWaitFor(
        [&] {
            for (ExerciseViewWidget *candidate : m_window->exerciseCardList()) {
                if (candidate->exerciseId() == exerciseId)
                    card = candidate;
            }
            return card != nullptr;
        },
        10000);
    if (!card)
        return false;
    auto button = card->findChild<QPushButton *>(QStringLiteral("modifyPushButton"));
    if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 5000))
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

void tst_ComposerFiling::unsubmittedWorkIsReplacedOnlyWhenTheTeacherSaysSo()
{
    MainWindow &window = *m_window;
    const int group = m_groups.value(QStringLiteral("甲组"));
    QVERIFY(ComposerDriver::choose(ComposerDriver::groupCombo(window), QStringLiteral("甲组")));
    const int stored = m_seeder->addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("bank")), options("b"));
    const int next = m_seeder->addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("next")), options("n"));

    // a new exercise typed in the composer, not submitted
    auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0));
    QVERIFY(!page->optionPanels().isEmpty());
    TextEdit *edit = page->optionPanels().at(0)->findChild<TextEdit *>();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("unsent"));
    QVERIFY(firstOption().contains(QStringLiteral("unsent")));

    // the teacher keeps it
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    QVERIFY(clickModify(stored));
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().text,
        QStringLiteral("正在录入的题目还未提交，打开这道题将放弃它，是否继续？"));
    QTest::qWait(300);
    QCOMPARE(window.modifyingId(), -1);
    QVERIFY(firstOption().contains(QStringLiteral("unsent")));

    // and then gives it up for the stored one
    answerer.clickButton(QStringLiteral("确定"));
    const ExerciseInfo *before = window.savedExerciseRecord();
    QVERIFY(clickModify(stored));
    QVERIFY(answerer.waitForCount(2));
    QTRY_VERIFY_WITH_TIMEOUT(window.modifyingId() == stored
            && window.savedExerciseRecord() != before && !window.isBodyPending(),
        10000);
    QVERIFY(firstOption().contains(QStringLiteral("b1")));

    // an opened exercise left as the server has it is replaced without a question
    before = window.savedExerciseRecord();
    QVERIFY(clickModify(next));
    QTRY_VERIFY_WITH_TIMEOUT(window.modifyingId() == next && window.savedExerciseRecord() != before
            && !window.isBodyPending(),
        10000);
    QCOMPARE(answerer.count(), 2);
    QVERIFY(firstOption().contains(QStringLiteral("n1")));

    // a changed one is not
    page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0));
    edit = page->optionPanels().at(0)->findChild<TextEdit *>();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral(" edited"));
    answerer.clickButton(QStringLiteral("取消"));
    QVERIFY(clickModify(stored));
    QVERIFY(answerer.waitForCount(3));
    QCOMPARE(answerer.last().text, MainWindow::replaceQuestion);
    QTest::qWait(300);
    QCOMPARE(window.modifyingId(), next);
    QVERIFY(firstOption().contains(QStringLiteral("edited")));
}

QTEST_MAIN(tst_ComposerFiling)
#include "tst_composerfiling.moc"
