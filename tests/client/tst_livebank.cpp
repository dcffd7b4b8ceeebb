// The client against the real quenmo-server: login, groups, and the exercise record round trip.
#include "app/api.h"
#include "app/serverconfig.h"
#include "app/startup.h"
#include "app/usersession.h"
#include "browser/groupitemwidget.h"
#include "browser/groupwidget.h"
#include "browser/mainwindow.h"
#include "login/teacherlogindialog.h"
#include "model/exercisecodec.h"

#include "localserver.h"
#include "modaldialoganswerer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

class tst_LiveBank : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void demoLoginFillsSession();
    void closedSubjectRefused();
    void wrongPasswordShowsServerMessage();
    void firstLoginGetsDefaultGroupAndTitle();
    void addFetchDecodeRoundTrip();
    void addedExerciseListedAndModified();

private:
    // Logs in through the dialog; the dialog's result.
    int login(
        const QString &phone, const QString &password, ModalDialogAnswerer *answerer = nullptr);
    QJsonObject post(const QString &path, const QVariantMap &body);

    LocalServer m_server;
};

void tst_LiveBank::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
}

void tst_LiveBank::init()
{
    QVERIFY(m_server.isRunning());
}

int tst_LiveBank::login(
    const QString &phone, const QString &password, ModalDialogAnswerer *answerer)
{
    TeacherLoginDialog dialog;
    dialog.show();
    auto button = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 10000))
        return -1;
    dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPhone"))->setText(phone);
    dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPassword"))->setText(password);
    QSignalSpy finished(&dialog, &QDialog::finished);
    button->click();
    if (answerer) {
        answerer->waitForCount(1);
        return QTest::qWaitFor([button] { return button->isEnabled(); }, 10000) ? dialog.result()
                                                                                : -1;
    }
    finished.wait(10000);
    return dialog.result();
}

QJsonObject tst_LiveBank::post(const QString &path, const QVariantMap &body)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_server.baseUrl() + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("loginToken", UserSession::instance().loginToken.toUtf8());
    QNetworkReply *reply = manager.post(request, QJsonDocument::fromVariant(body).toJson());
    QSignalSpy done(reply, &QNetworkReply::finished);
    done.wait(10000);
    const QJsonObject object = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return object;
}

void tst_LiveBank::demoLoginFillsSession()
{
    QCOMPARE(login(QStringLiteral(" 13800000002 "), QStringLiteral("quenmo123")), 1);
    const UserSession &s = UserSession::instance();
    QVERIFY(s.loginToken.size() >= 16);
    QVERIFY(s.userId > 0);
    QCOMPARE(s.phoneNumber, QStringLiteral("13800000002"));
    QCOMPARE(s.subjectCode, 2);
    QCOMPARE(s.realName, QStringLiteral("李数学"));
    QVERIFY(!s.username.isEmpty());
    QVERIFY(!s.rolename.isEmpty());

    // each login issues a fresh token
    const QString first = s.loginToken;
    QCOMPARE(login(QStringLiteral("13800000002"), QStringLiteral("quenmo123")), 1);
    QVERIFY(UserSession::instance().loginToken != first);
}

void tst_LiveBank::closedSubjectRefused()
{
    ModalDialogAnswerer answerer;
    QCOMPARE(login(QStringLiteral("13800000004"), QStringLiteral("quenmo123"), &answerer), 0);
    QCOMPARE(answerer.last().text,
        QStringLiteral("对不起，目前仅开放语文、数学、英语三科录题，其他科目暂缓开放"));
}

void tst_LiveBank::wrongPasswordShowsServerMessage()
{
    ModalDialogAnswerer answerer;
    QCOMPARE(login(QStringLiteral("13800000001"), QStringLiteral("wrong"), &answerer), 0);
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("用户名或密码错误"));
}

void tst_LiveBank::firstLoginGetsDefaultGroupAndTitle()
{
    QCOMPARE(login(QStringLiteral("13800000003"), QStringLiteral("quenmo123")), 1);
    ModalDialogAnswerer answerer;
    MainWindow window;
    Startup::openMainWindow(window); // as after the login at start-up
    QVERIFY(window.isVisible());
    auto panel = window.findChild<GroupWidget *>(QStringLiteral("groupWidget"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->rows().size(), 1, 10000);
    QCOMPARE(panel->rows().first()->groupName(), QStringLiteral("我的题库"));
    QVERIFY(panel->rows().first()->isSelected());
    // the counts arrive on their own, no teacher action needed
    QTRY_VERIFY_WITH_TIMEOUT(window.windowTitle().startsWith(
                                 QStringLiteral("Quenmo 1.1.2 －用户名：张英语 今日录入题数：")),
        10000);
    QTRY_VERIFY(!window.exerciseTypeList().isEmpty());
    QTRY_VERIFY(window.knowledgeTree().childCount() > 0);
    QTRY_VERIFY(window.currentTypeDetail().exerciseId != 0); // the first type was selected
    QCOMPARE(answerer.count(), 0);
}

void tst_LiveBank::addFetchDecodeRoundTrip()
{
    QCOMPARE(login(QStringLiteral("13800000001"), QStringLiteral("quenmo123")), 1);
    const QJsonObject groups = post(QStringLiteral("/library/fetch/groups"),
        {{QStringLiteral("userId"), UserSession::instance().userId}});
    int groupId = 0;
    if (Api::status(groups) == Api::NoDataStatus) {
        post(QStringLiteral("/library/add/group"),
            {{QStringLiteral("userId"), UserSession::instance().userId},
                {QStringLiteral("groupName"), QStringLiteral("测试")}});
    }
    const QJsonObject again = post(QStringLiteral("/library/fetch/groups"),
        {{QStringLiteral("userId"), UserSession::instance().userId}});
    groupId = again.value(QStringLiteral("data"))
                  .toArray()
                  .first()
                  .toObject()
                  .value(QStringLiteral("groupId"))
                  .toInt();
    QVERIFY(groupId > 0);

    // a choice type of the teacher's catalogue
    const QJsonArray types = post(QStringLiteral("/library/fetch/exerciseTypes"),
        {{QStringLiteral("userId"), UserSession::instance().userId}})
                                 .value(QStringLiteral("data"))
                                 .toArray();
    QVERIFY(!types.isEmpty());
    const int typeId = types.first().toObject().value(QStringLiteral("id")).toInt();
    const QJsonObject detail = post(QStringLiteral("/api/exercise_and_question/type/detail"),
        {{QStringLiteral("exerciseTypeId"), typeId}, {QStringLiteral("provinceId"), 0}})
                                   .value(QStringLiteral("data"))
                                   .toObject();
    const ExerciseTypeDetail typeDetail = ExerciseTypeDetail::fromJson(detail);
    QVERIFY(!typeDetail.questionTypes.isEmpty());

    ExerciseInfo exercise;
    exercise.exerciseTypeId = typeId;
    exercise.subjectId = typeDetail.subjectCode;
    exercise.difficultyDegree = 4;
    exercise.folderId = groupId;
    exercise.content = typeDetail.hasExerciseContentCode
        ? QStringLiteral("<doc>题干<b>粗</b></doc>")
        : QString();
    QuestionInfo question;
    question.questiontypeId = typeDetail.questionTypes.first().questionTypeId;
    question.questionIndex = 1;
    question.knowledgeIds = QStringLiteral("1");
    question.score = 2.5;
    question.questionContent = QStringLiteral("<doc>1+1=?</doc>");
    question.questionExplain = QStringLiteral("<doc>因为</doc>");
    for (int i = 0; i < 3; ++i)
        question.options << OptionInfo {
            i, QStringLiteral("<doc>") + QString::number(i + 1) + QStringLiteral("</doc>"), i == 1};
    question.answers << AnswerInfo {0, QStringLiteral("B")};
    exercise.questions << question;

    const QJsonObject added = post(QStringLiteral("/library/add/exercise"),
        ExerciseCodec::addBody(exercise, UserSession::instance().userId));
    QCOMPARE(Api::status(added), 0);

    // find it in the list, then fetch it by id
    const QJsonObject list = post(QStringLiteral("/library/fetch/exercise"),
        {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), -1},
            {QStringLiteral("difficuty"), 4}, {QStringLiteral("pageNum"), 0}});
    const QJsonArray result
        = list.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
    QVERIFY(!result.isEmpty());
    const int exerciseId = result.first().toObject().value(QStringLiteral("exerciseId")).toInt();
    const QJsonObject fetched = post(
        QStringLiteral("/library/fetch/exercise/id"), {{QStringLiteral("exerciseId"), exerciseId}});
    QCOMPARE(Api::status(fetched), 0);
    const ExerciseInfo decoded
        = ExerciseCodec::fromFetchReply(fetched.value(QStringLiteral("data")).toObject());
    QCOMPARE(decoded.id, exerciseId);
    QCOMPARE(decoded.exerciseTypeId, typeId);
    QCOMPARE(decoded.subjectId, exercise.subjectId);
    QCOMPARE(decoded.difficultyDegree, 4);
    QCOMPARE(decoded.folderId, groupId);
    QCOMPARE(decoded.content, exercise.content);
    QCOMPARE(decoded.questions.size(), 1);
    const QuestionInfo &q = decoded.questions.first();
    QCOMPARE(q.questiontypeId, question.questiontypeId);
    QCOMPARE(q.questionIndex, 1);
    QCOMPARE(q.knowledgeIds, question.knowledgeIds);
    QCOMPARE(q.score, 2.5);
    QCOMPARE(q.questionContent, question.questionContent);
    QCOMPARE(q.questionExplain, question.questionExplain);
    QCOMPARE(q.options.size(), 3);
    QCOMPARE(q.options.at(2).content, QStringLiteral("<doc>3</doc>"));
    QCOMPARE(q.options.at(2).index, 2);
    QCOMPARE(q.answers.size(), 1);
    QCOMPARE(q.answers.first().content, QStringLiteral("B"));
}

void tst_LiveBank::addedExerciseListedAndModified()
{
    QCOMPARE(login(QStringLiteral("13800000001"), QStringLiteral("quenmo123")), 1);
    const QJsonArray groups = post(QStringLiteral("/library/fetch/groups"),
        {{QStringLiteral("userId"), UserSession::instance().userId}})
                                  .value(QStringLiteral("data"))
                                  .toArray();
    QVERIFY(!groups.isEmpty());
    const int groupId = groups.first().toObject().value(QStringLiteral("groupId")).toInt();
    const QJsonArray list = post(QStringLiteral("/library/fetch/exercise"),
        {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), -1},
            {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 0}})
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("result"))
                                .toArray();
    QVERIFY(!list.isEmpty());
    const int exerciseId = list.first().toObject().value(QStringLiteral("exerciseId")).toInt();

    ExerciseInfo exercise = ExerciseCodec::fromFetchReply(post(
        QStringLiteral("/library/fetch/exercise/id"), {{QStringLiteral("exerciseId"), exerciseId}})
                                                              .value(QStringLiteral("data"))
                                                              .toObject());
    exercise.questions[0].options[0].content = QStringLiteral("<doc>改过的选项</doc>");
    exercise.questions[0].options[0].isAnswer = false;
    const QJsonObject modified = post(QStringLiteral("/library/modify/exercise"),
        ExerciseCodec::modifyBody(exercise, UserSession::instance().userId));
    QCOMPARE(Api::status(modified), 0);

    const QJsonArray after = post(QStringLiteral("/library/fetch/exercise"),
        {{QStringLiteral("groupId"), groupId}, {QStringLiteral("exerciseTypeId"), -1},
            {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 0}})
                                 .value(QStringLiteral("data"))
                                 .toObject()
                                 .value(QStringLiteral("result"))
                                 .toArray();
    bool found = false;
    for (const QJsonValue &item : after) {
        const QJsonObject object = item.toObject();
        if (object.value(QStringLiteral("exerciseId")).toInt() != exerciseId)
            continue;
        const QJsonArray options = object.value(QStringLiteral("exerciseQuestionList"))
                                       .toArray()
                                       .first()
                                       .toObject()
                                       .value(QStringLiteral("option"))
                                       .toArray();
        found = options.first()
                    .toObject()
                    .value(QStringLiteral("content"))
                    .toString()
                    .contains(QStringLiteral("改过的选项"));
    }
    QVERIFY(found);
}

QTEST_MAIN(tst_LiveBank)
#include "tst_livebank.moc"
