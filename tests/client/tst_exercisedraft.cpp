// A teacher's exercise outlives the program: composed, then the process killed (SIGKILL), a new
// start, a login, the draft restored and submitted, against the real server; the same for a
// modification whose submission failed while the server was down. The composing process is
// this very program started again as a child with QUENMO_DRAFT_CHILD set.
#include "app/api.h"
#include "app/serverconfig.h"
#include "app/startup.h"
#include "app/usersession.h"
#include "browser/exerciseviewwidget.h"
#include "browser/mainwindow.h"
#include "composer/exercisedraft.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/exercisequestionheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/ratingview.h"
#include "model/exercisejson.h"

#include "bankseeder.h"
#include "composerdriver.h"
#include "localserver.h"
#include "modaldialoganswerer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Teachers of the seeded bank: one per case, so that no case meets another's draft.
const QString composingTeacher = QStringLiteral("13800000001");
const QString modifyingTeacher = QStringLiteral("13800000003");
const QString localTeacher = QStringLiteral("13800000002");

bool childMode()
{
    return qEnvironmentVariableIsSet("QUENMO_DRAFT_CHILD");
}

QString signalPath(const QString &name)
{
    return qEnvironmentVariable("QUENMO_DRAFT_SIGNALS") + QLatin1Char('/') + name;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path + QStringLiteral(".part"));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    QFile::rename(path + QStringLiteral(".part"), path);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The composer's state as its fields show it, sub-questions in tab order.
QJsonObject stateOf(MainWindow &window)
{
    ExerciseInfo state;
    if (!window.getExerciseInfo(state, false))
        return QJsonObject();
    std::stable_sort(state.questions.begin(), state.questions.end(),
        [](const QuestionInfo &a, const QuestionInfo &b) {
            return a.questionIndex < b.questionIndex;
        });
    return ExerciseJson::toJson(state);
}

QJsonObject draftExercise(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path))
        .object()
        .value(QStringLiteral("exercise"))
        .toObject();
}

} // namespace

class tst_ExerciseDraft : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void killedWhileComposingComesBackAfterLogin();
    void failedModificationSurvivesAKill();
    void unreadableDraftIsSetAside_data();
    void unreadableDraftIsSetAside();
    void declinedOrCancelledDraftIsGone();
    void draftWithoutWorkIsNotOffered();
    // last: closing the window quits the application's event loops
    void closingWritesTheLatestState();

    // run only inside the child process
    void childComposes();
    void childModifiesWhileServerIsDown();

private:
    // This program again, running one of the child cases.
    bool startChild(const QString &testFunction);
    bool waitForFile(const QString &name, int timeoutMs = 30000);
    void killChild();
    // A new start of the program: login, the main window, its dialogs answered with these
    // buttons in turn (and pictured when QUENMO_SHOTS names a folder).
    void startAgain(const QString &phone, const QStringList &answers);
    void shot(const QString &name);

    // the XDG data folder of both processes, and the files they signal with; made by the
    // parent only, as a killed child would leave its own behind
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_signals;
    LocalServer m_server;
    std::unique_ptr<QProcess> m_child;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalDialogAnswerer> m_answerer;
};

void tst_ExerciseDraft::initTestCase()
{
    if (childMode()) {
        BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
            = qEnvironmentVariable("QUENMO_DRAFT_SERVER");
        return;
    }
    // drafts go to a temporary data folder, never to the real user's
    m_home = std::make_unique<QTemporaryDir>();
    m_signals = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", m_home->path().toUtf8());
    qputenv("QUENMO_DRAFT_SIGNALS", m_signals->path().toUtf8());
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
}

void tst_ExerciseDraft::init()
{
    if (childMode() != QByteArray(QTest::currentTestFunction()).startsWith("child"))
        QSKIP("runs in the other process");
}

void tst_ExerciseDraft::cleanup()
{
    killChild();
    m_window.reset();
    m_answerer.reset();
}

bool tst_ExerciseDraft::startChild(const QString &testFunction)
{
    QDir(m_signals->path()).removeRecursively();
    QDir().mkpath(m_signals->path());
    m_child = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUENMO_DRAFT_CHILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("QUENMO_DRAFT_SERVER"), m_server.baseUrl());
    environment.insert(QStringLiteral("QUENMO_DRAFT_SIGNALS"), m_signals->path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home->path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_child->setProcessEnvironment(environment);
    m_child->setProcessChannelMode(QProcess::ForwardedChannels); // its failures show here
    m_child->start(QCoreApplication::applicationFilePath(), {testFunction});
    return m_child->waitForStarted(10000);
}

bool tst_ExerciseDraft::waitForFile(const QString &name, int timeoutMs)
{
    const QString path = m_signals->path() + QLatin1Char('/') + name;
    return QTest::qWaitFor(
               [&] {
                   if (m_child && m_child->state() == QProcess::NotRunning)
                       return true;
                   return QFileInfo::exists(path);
               },
               timeoutMs)
        && QFileInfo::exists(path);
}

void tst_ExerciseDraft::killChild()
{
    if (!m_child)
        return;
    if (m_child->state() != QProcess::NotRunning) {
        m_child->kill(); // SIGKILL: no close event, no clean-up
        m_child->waitForFinished(10000);
    }
    m_child.reset();
}

void tst_ExerciseDraft::shot(const QString &name)
{
    const QString dir = qEnvironmentVariable("QUENMO_SHOTS");
    if (dir.isEmpty())
        return;
    QTest::qWait(800);
    QPixmap picture;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        picture = QGuiApplication::primaryScreen()->grabWindow(0);
    else
        picture = m_window->grab();
    picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void tst_ExerciseDraft::startAgain(const QString &phone, const QStringList &answers)
{
    QVERIFY(ComposerDriver::login(phone));
    m_window = std::make_unique<MainWindow>();
    m_window->resize(1200, 1000);
    m_answerer = std::make_unique<ModalDialogAnswerer>();
    for (const QString &answer : answers) {
        m_answerer->answerWith([this, answer](QWidget *dialog) {
            shot(QLatin1String(QTest::currentTestFunction()) + QStringLiteral("-dialog"));
            ModalDialogAnswerer::clickButtonIn(dialog, answer);
        });
    }
    Startup::openMainWindow(*m_window);
    QVERIFY(ComposerDriver::waitUntilReady(*m_window));
}

// ---- child cases

void tst_ExerciseDraft::childComposes()
{
    QVERIFY(ComposerDriver::login(composingTeacher));
    ModalDialogAnswerer unexpected;
    MainWindow window;
    window.resize(1200, 1000);
    Startup::openMainWindow(window);
    QVERIFY(ComposerDriver::waitUntilReady(window));

    // the last type has a stem and several sub-questions
    QComboBox *types = ComposerDriver::typeCombo(window);
    QVERIFY2(ComposerDriver::chooseType(window, types->itemText(types->count() - 1)),
        qPrintable(window.currentTypeDetail().name + QLatin1Char('/') + types->currentText()));
    QVERIFY(window.currentTypeDetail().hasExerciseContentCode);
    QVERIFY(ComposerDriver::choose(ComposerDriver::groupCombo(window), QStringLiteral("草稿乙")));
    auto stars = window.findChild<RatingView *>(QStringLiteral("rateWidget"));
    QTest::mouseClick(stars, Qt::LeftButton, {}, QPoint(3 * 23 + 10, 10)); // four stars
    QTest::mouseClick(window.questionTabs()->cornerWidget(), Qt::LeftButton);
    QCOMPARE(window.questionTabs()->count(), 2);
    auto second = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(1));
    auto questionTypes = second->header()->findChild<QComboBox *>(QStringLiteral("comboBox"));
    QVERIFY(ComposerDriver::choose(questionTypes, questionTypes->itemText(1)));
    QTRY_COMPARE(second->currentType().typeDesc, questionTypes->itemText(1));
    ComposerDriver::fill(window, QStringLiteral("killed"));
    QVERIFY2(unexpected.count() == 0, qPrintable(unexpected.last().text));

    writeFile(signalPath(QStringLiteral("expected.json")), QJsonDocument(stateOf(window)).toJson());
    QTest::qWait(60000); // until killed
    QFAIL("was not killed");
}

void tst_ExerciseDraft::childModifiesWhileServerIsDown()
{
    QVERIFY(ComposerDriver::login(modifyingTeacher));
    MainWindow window;
    window.resize(1200, 1000);
    Startup::openMainWindow(window);
    QVERIFY(ComposerDriver::waitUntilReady(window));

    // the card's edit button opens the stored exercise
    QTest::mouseClick(
        window.findChild<QPushButton *>(QStringLiteral("repertoryPushButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.exerciseCardList().isEmpty(), 10000);
    const int id = window.exerciseCardList().first()->exerciseId();
    QTest::mouseClick(window.exerciseCardList().first()->findChild<QPushButton *>(
                          QStringLiteral("modifyPushButton")),
        Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(window.modifyingId() == id
            && window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex()
                == 0
            && qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0)),
        10000);
    auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0));
    QTRY_VERIFY(page->optionPanels().size() == 4);
    ComposerDriver::chooseKnowledge(window);
    page->optionPanels().at(2)->setText(QStringLiteral("<doc>while the server was down</doc>"));
    writeFile(signalPath(QStringLiteral("expected.json")), QJsonDocument(stateOf(window)).toJson());

    // the parent stops the server, then the teacher presses "完成"
    QVERIFY(QTest::qWaitFor([] { return QFileInfo::exists(signalPath("go")); }, 30000));
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(1));
    QTRY_VERIFY(ComposerDriver::doneButton(window)->isEnabled());
    writeFile(signalPath(QStringLiteral("failed")), answerer.last().text.toUtf8());
    QTest::qWait(60000); // until killed
    QFAIL("was not killed");
}

// ---- the cases

void tst_ExerciseDraft::killedWhileComposingComesBackAfterLogin()
{
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(composingTeacher));
    seeder.addGroup(QStringLiteral("草稿甲"));
    const int group = seeder.addGroup(QStringLiteral("草稿乙"));
    QVERIFY(group > 0);

    QVERIFY(startChild(QStringLiteral("childComposes")));
    QVERIFY2(waitForFile(QStringLiteral("expected.json"), 60000), "the child composed");
    const QJsonObject expected
        = QJsonDocument::fromJson(readFile(signalPath("expected.json"))).object();
    QVERIFY(!expected.isEmpty());
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    QVERIFY(path.startsWith(m_home->path()));
    // within about a second the draft holds everything on screen
    QTRY_COMPARE_WITH_TIMEOUT(draftExercise(path), expected, 10000);
    killChild();

    startAgain(composingTeacher, {QStringLiteral("确定")});
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().text, QStringLiteral("有未提交的题目，是否恢复？"));
    QCOMPARE(m_answerer->last().buttons, QStringList({"确定", "取消"}));
    MainWindow &window = *m_window;
    QTRY_VERIFY_WITH_TIMEOUT(window.questionTabs() && window.questionTabs()->count() == 2
            && window.stem() && !window.stem()->text().isEmpty(),
        10000);

    // the same texts, group, type, stars, knowledge points and question types
    QCOMPARE(stateOf(window), expected);
    QVERIFY(window.stem()->text().contains(QStringLiteral("killed stem")));
    QCOMPARE(ComposerDriver::groupCombo(window)->currentText(), QStringLiteral("草稿乙"));
    QCOMPARE(window.findChild<RatingView *>(QStringLiteral("rateWidget"))->rating(), 4);
    QComboBox *types = ComposerDriver::typeCombo(window);
    QCOMPARE(types->currentIndex(), types->count() - 1);
    auto second = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(1));
    QCOMPARE(second->header()->currentIndex(), 1);
    QCOMPARE(window.modifyingId(), -1);
    shot(QStringLiteral("restored-composer"));

    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(2));
    QCOMPARE(m_answerer->last().text, QStringLiteral("录入成功"));
    QVERIFY(!QFileInfo::exists(path));
    const QJsonObject list
        = seeder
              .post(QStringLiteral("/library/fetch/exercise"),
                  {{QStringLiteral("groupId"), group}, {QStringLiteral("exerciseTypeId"), -1},
                      {QStringLiteral("difficuty"), 4}, {QStringLiteral("pageNum"), 1}})
              .value(QStringLiteral("data"))
              .toObject();
    const QJsonArray result = list.value(QStringLiteral("result")).toArray();
    QCOMPARE(result.size(), 1);
    QVERIFY(result.first()
                .toObject()
                .value(QStringLiteral("exerciseContent"))
                .toString()
                .contains(QStringLiteral("killed stem")));
    // the emptied composer is not written back
    QTest::qWait(MainWindow::draftInterval * 2);
    QVERIFY(!QFileInfo::exists(path));
}

void tst_ExerciseDraft::failedModificationSurvivesAKill()
{
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(modifyingTeacher));
    const int group = seeder.addGroup(QStringLiteral("修改"));
    const QStringList options {
        BankSeeder::doc("A"), BankSeeder::doc("B"), BankSeeder::doc("C"), BankSeeder::doc("D")};
    const int id = seeder.addChoiceExercise(
        group, QStringLiteral("单选题"), 2, BankSeeder::doc(QStringLiteral("stored")), options);
    QVERIFY(id > 0);

    QVERIFY(startChild(QStringLiteral("childModifiesWhileServerIsDown")));
    QVERIFY2(waitForFile(QStringLiteral("expected.json"), 60000), "the child opened the exercise");
    const QJsonObject expected
        = QJsonDocument::fromJson(readFile(signalPath("expected.json"))).object();
    QCOMPARE(expected.value(QStringLiteral("id")).toInt(), id);
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    QTRY_COMPARE_WITH_TIMEOUT(draftExercise(path), expected, 10000);

    m_server.stop();
    writeFile(signalPath(QStringLiteral("go")), QByteArray());
    QVERIFY2(waitForFile(QStringLiteral("failed")), "the submission failed");
    QCOMPARE(QString::fromUtf8(readFile(signalPath("failed"))),
        Api::networkErrorMessage(QNetworkReply::ConnectionRefusedError));
    QTest::qWait(MainWindow::draftInterval * 2);
    killChild();
    QCOMPARE(draftExercise(path), expected);

    QVERIFY2(m_server.restart(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
    startAgain(modifyingTeacher, {QStringLiteral("确定")});
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().text, QStringLiteral("有未提交的题目，是否恢复？"));
    MainWindow &window = *m_window;
    QTRY_VERIFY_WITH_TIMEOUT(window.modifyingId() == id && stateOf(window) == expected, 10000);

    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(2));
    QCOMPARE(m_answerer->last().text, QStringLiteral("修改成功"));
    QVERIFY(!QFileInfo::exists(path));
    BankSeeder after(m_server.baseUrl());
    QVERIFY(after.login(modifyingTeacher));
    const QJsonObject stored = after
                                   .post(QStringLiteral("/library/fetch/exercise/id"),
                                       {{QStringLiteral("exerciseId"), id}})
                                   .value(QStringLiteral("data"))
                                   .toObject();
    QVERIFY(QJsonDocument(stored).toJson().contains("while the server was down"));
    const QJsonObject list
        = after
              .post(QStringLiteral("/library/fetch/exercise"),
                  {{QStringLiteral("groupId"), group}, {QStringLiteral("exerciseTypeId"), -1},
                      {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 1}})
              .value(QStringLiteral("data"))
              .toObject();
    QCOMPARE(list.value(QStringLiteral("result")).toArray().size(), 1); // no duplicate
}

void tst_ExerciseDraft::unreadableDraftIsSetAside_data()
{
    QTest::addColumn<QByteArray>("damaged");
    const QByteArray exercise = R"("exercise": {"id": %1, "exerciseTypeId": 1,
        "exerciseTypeName": "", "content": "<doc>x</doc>", "subjectId": 2,
        "difficultyDegree": 2, "folderId": 0, "knowledgeNames": "", "questions": []}})";
    QTest::newRow("cut short") << QByteArray(
        R"({"kind": "quenmo-exercise-draft", "version": 1, "exer)");
    QTest::newRow("a number written as text")
        << QByteArray(R"({"kind": "quenmo-exercise-draft", "version": 1, )")
            + QByteArray(exercise).replace("%1", "\"-1\"");
    QTest::newRow("another version")
        << QByteArray(R"({"kind": "quenmo-exercise-draft", "version": 2, )")
            + QByteArray(exercise).replace("%1", "-1");
}

void tst_ExerciseDraft::unreadableDraftIsSetAside()
{
    QFETCH(QByteArray, damaged);
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(localTeacher));
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    writeFile(path, damaged);

    startAgain(localTeacher, {QStringLiteral("确定")});
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().title, QStringLiteral("警告"));
    QVERIFY2(m_answerer->last().text.startsWith(QStringLiteral("未提交的题目无法读取")),
        qPrintable(m_answerer->last().text));
    const QStringList aside = QDir(QFileInfo(path).absolutePath())
                                  .entryList({QFileInfo(path).fileName() + QStringLiteral(".*")});
    QCOMPARE(aside.size(), 1);
    const QString kept = QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.first();
    QCOMPARE(readFile(kept), damaged);
    QVERIFY(m_answerer->last().text.contains(QDir::toNativeSeparators(kept)));
    ExerciseInfo state;
    QVERIFY(m_window->getExerciseInfo(state, false));
    QVERIFY(!ExerciseDraft::holdsWork(state)); // the composer starts empty
    QTest::qWait(MainWindow::draftInterval * 2);
    QVERIFY(!QFileInfo::exists(path)); // an empty composer writes nothing
    QFile::remove(kept);
}

void tst_ExerciseDraft::declinedOrCancelledDraftIsGone()
{
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(localTeacher));
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    QVERIFY(path.endsWith(QStringLiteral("/drafts/draft-") + QString::number(seeder.userId())
        + QStringLiteral(".json")));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    // a draft as an earlier run wrote it
    writeFile(path,
        QStringLiteral(R"({"kind": "quenmo-exercise-draft", "version": 1, "exercise": {
            "id": -1, "exerciseTypeId": %1, "exerciseTypeName": "单选题", "content": "",
            "subjectId": 2, "difficultyDegree": 2, "folderId": 0, "knowledgeNames": "",
            "questions": [{"questiontypeId": 1, "questionTypeSort": 0, "questionIndex": 1,
                "knowledgeIds": "", "knowledgeNames": "", "score": 3,
                "questionContent": "<doc>declined</doc>", "questionExplain": "",
                "options": [{"index": 0, "content": "", "isAnswer": false}],
                "answers": [{"answerIdx": 0, "content": ""}]}]}})")
            .arg(seeder.typeId(QStringLiteral("单选题")))
            .toUtf8());

    startAgain(localTeacher, {QStringLiteral("取消")});
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().text, QStringLiteral("有未提交的题目，是否恢复？"));
    QTRY_VERIFY(!QFileInfo::exists(path));
    MainWindow &window = *m_window;
    QVERIFY(!QJsonDocument(stateOf(window)).toJson().contains("declined"));

    // a new composition is kept until the teacher cancels it
    ComposerDriver::fill(window, QStringLiteral("cancelled"));
    QTRY_VERIFY_WITH_TIMEOUT(QJsonDocument(draftExercise(path)).toJson().contains("cancelled"),
        MainWindow::draftInterval * 5);
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(window.composerButtons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(2));
    QCOMPARE(m_answerer->last().text, QStringLiteral("是否取消录题？"));
    QTRY_VERIFY(!QFileInfo::exists(path));
    QTest::qWait(MainWindow::draftInterval * 2);
    QVERIFY(!QFileInfo::exists(path));
}

void tst_ExerciseDraft::closingWritesTheLatestState()
{
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(localTeacher));
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    QFile::remove(path);
    startAgain(localTeacher, {});
    MainWindow &window = *m_window;
    QTest::qWait(MainWindow::draftInterval * 2); // the draft is being kept
    QVERIFY(!QFileInfo::exists(path));
    ComposerDriver::fill(window, QStringLiteral("closing"));
    window.close(); // before the next write would come
    QVERIFY(QJsonDocument(draftExercise(path)).toJson().contains("closing"));
    QCOMPARE(m_answerer->count(), 0);
    QFile::remove(path);
}

void tst_ExerciseDraft::draftWithoutWorkIsNotOffered()
{
    BankSeeder seeder(m_server.baseUrl());
    QVERIFY(seeder.login(localTeacher));
    const QString path = ExerciseDraft::pathFor(seeder.userId());
    ExerciseInfo nothing; // header choices alone are no work of the teacher's
    nothing.folderId = 1;
    nothing.difficultyDegree = 3;
    nothing.questions << QuestionInfo();
    QVERIFY(ExerciseDraft(path).write(nothing));
    startAgain(localTeacher, {});
    QTRY_VERIFY(!QFileInfo::exists(path));
    QTest::qWait(MainWindow::draftInterval * 2);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(m_answerer->count(), 0);
}

QTEST_MAIN(tst_ExerciseDraft)
#include "tst_exercisedraft.moc"
