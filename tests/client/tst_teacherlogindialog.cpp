#include "app/serverconfig.h"
#include "app/usersession.h"
#include "login/teacherlogindialog.h"
#include "widgets/qprogressindicator.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QCheckBox>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString versionPath = QStringLiteral("/library/version/check");
const QString loginPath = QStringLiteral("/user/login");

QJsonObject versionData(const QString &version, int strategy, const QString &url)
{
    return {{QStringLiteral("version"), version}, {QStringLiteral("updatetrategy"), strategy},
        {QStringLiteral("appURL"), url}};
}

QJsonObject loginData(int subjectCode)
{
    const QJsonObject user = {{QStringLiteral("userId"), 42},
        {QStringLiteral("phoneNumber"), QStringLiteral("13800000001")},
        {QStringLiteral("roleid"), 7}, {QStringLiteral("rolename"), QStringLiteral("教师")},
        {QStringLiteral("username"), QStringLiteral("teacher1")},
        {QStringLiteral("subjectCode"), subjectCode},
        {QStringLiteral("realName"), QStringLiteral("王老师")}, {QStringLiteral("provinceId"), 11}};
    return {
        {QStringLiteral("loginToken"), QStringLiteral("tok-1")}, {QStringLiteral("user"), user}};
}

QSettings remembered()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TeacherUser"),
        QStringLiteral("Application"));
}

} // namespace

class tst_TeacherLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void titleAndInitialState();
    void buttonWaitsForVersionCheck_data();
    void buttonWaitsForVersionCheck();
    void upgradeStrategies_data();
    void upgradeStrategies();
    void loginFillsSessionAndAccepts();
    void closedSubjectIsRefused();
    void serverMessagesShown_data();
    void serverMessagesShown();
    void rememberedLogin();
    void passwordForgottenWhenBoxTurnedOff();
    void updaterGetsTheAddressAsOneArgument_data();
    void updaterGetsTheAddressAsOneArgument();

private:
    struct Fixture {
        TeacherLoginDialog dialog;
        QStringList launched;
        QPushButton *button()
        {
            return dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
        }
        QLineEdit *phone()
        {
            return dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPhone"));
        }
        QLineEdit *password()
        {
            return dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPassword"));
        }
        QCheckBox *remember()
        {
            return dialog.findChild<QCheckBox *>(QStringLiteral("rememberCheckBox"));
        }
        QProgressIndicator *indicator()
        {
            return dialog.findChild<QProgressIndicator *>(QStringLiteral("progressIndicator"));
        }
    };
    // A dialog whose version check has been answered as current.
    std::unique_ptr<Fixture> readyDialog();

    ScriptedHttpResponder m_responder;
};

void tst_TeacherLoginDialog::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_responder.listen());
}

void tst_TeacherLoginDialog::init()
{
    m_responder.clear();
    LIBRARY_SERVER = m_responder.baseUrl();
    remembered().clear();
}

void tst_TeacherLoginDialog::cleanup()
{
    remembered().clear();
}

std::unique_ptr<tst_TeacherLoginDialog::Fixture> tst_TeacherLoginDialog::readyDialog()
{
    m_responder.respondEnvelope(versionPath, 0, versionData(appVersion, 1, QString()));
    auto fixture = std::make_unique<Fixture>();
    fixture->dialog.setUpdateLauncher(
        [f = fixture.get()](const QString &url) { f->launched << url; });
    fixture->dialog.show();
    if (!QTest::qWaitFor([&] { return fixture->button()->isEnabled(); }))
        return nullptr;
    return fixture;
}

void tst_TeacherLoginDialog::titleAndInitialState()
{
    m_responder.hang(versionPath);
    Fixture f;
    QCOMPARE(f.dialog.windowTitle(), QStringLiteral("登录 Quenmo 1.1.2"));
    QCOMPARE(f.dialog.size(), QSize(400, 300));
    QVERIFY(f.dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(f.phone()->placeholderText(), QStringLiteral("请输入您的手机号"));
    QCOMPARE(f.password()->echoMode(), QLineEdit::Password);
    QVERIFY(!f.button()->isEnabled());
    QVERIFY(!f.indicator()->isAnimated());
    QVERIFY(!f.indicator()->isDisplayedWhenStopped());

    QVERIFY(m_responder.waitForRequests(versionPath, 1));
    const auto request = m_responder.requestsTo(versionPath).first();
    QVERIFY(!request.headers.contains("logintoken"));
    QCOMPARE(request.body, QByteArray("{\n    \"version\": \"1.1.2\"\n}\n"));
    // the check hangs: the button stays disabled
    QTest::qWait(100);
    QVERIFY(!f.button()->isEnabled());
}

void tst_TeacherLoginDialog::buttonWaitsForVersionCheck_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::newRow("current version") << "current";
    QTest::newRow("no data status") << "nodata";
    QTest::newRow("failure status") << "failure";
    QTest::newRow("not json") << "garbage";
    QTest::newRow("connection closed") << "closed";
    QTest::newRow("strategy 3") << "strategy3";
}

void tst_TeacherLoginDialog::buttonWaitsForVersionCheck()
{
    QFETCH(QString, outcome);
    if (outcome == QLatin1String("current"))
        m_responder.respondEnvelope(
            versionPath, 0, versionData(appVersion, 2, QStringLiteral("u")));
    else if (outcome == QLatin1String("nodata"))
        m_responder.respondEnvelope(versionPath, 100900000, QJsonValue());
    else if (outcome == QLatin1String("failure"))
        m_responder.respondEnvelope(versionPath, -1, QJsonValue(), QStringLiteral("x"));
    else if (outcome == QLatin1String("garbage"))
        m_responder.respondRaw(versionPath, "<html>");
    else if (outcome == QLatin1String("closed"))
        m_responder.closeConnection(versionPath);
    else
        m_responder.respondEnvelope(
            versionPath, 0, versionData(QStringLiteral("2.0.0"), 3, QStringLiteral("u")));

    ModalDialogAnswerer answerer;
    Fixture f;
    QStringList launched;
    f.dialog.setUpdateLauncher([&launched](const QString &url) { launched << url; });
    f.dialog.show();
    QTRY_VERIFY(f.button()->isEnabled());
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 0); // every failure of the check is silent
    QVERIFY(launched.isEmpty());
    QVERIFY(f.dialog.isVisible());
}

void tst_TeacherLoginDialog::upgradeStrategies_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("strategy");
    QTest::addColumn<QString>("answer"); // the button chosen in the question, empty: no question
    QTest::addColumn<bool>("updates");
    QTest::newRow("ask, yes") << "2.0.0" << 1 << "确定" << true;
    QTest::newRow("ask, no") << "2.0.0" << 1 << "取消" << false;
    QTest::newRow("older version asks too") << "1.1.1" << 1 << "确定" << true;
    QTest::newRow("update at once") << "2.0.0" << 2 << "" << true;
}

void tst_TeacherLoginDialog::upgradeStrategies()
{
    QFETCH(QString, version);
    QFETCH(int, strategy);
    QFETCH(QString, answer);
    QFETCH(bool, updates);

    const QString url = QStringLiteral("http://updates.test/q\"uenmo.zip");
    m_responder.respondEnvelope(versionPath, 0, versionData(version, strategy, url));
    ModalDialogAnswerer answerer;
    if (!answer.isEmpty())
        answerer.clickButton(answer);
    Fixture f;
    QStringList launched;
    f.dialog.setUpdateLauncher([&launched](const QString &u) { launched << u; });
    QSignalSpy rejected(&f.dialog, &QDialog::rejected);
    f.dialog.show();

    if (updates) {
        // waited for once: a check whose answer is misread fails here, not after three timeouts
        QVERIFY(QTest::qWaitFor([&] { return !launched.isEmpty(); }));
        QCOMPARE(launched, QStringList {url});
    } else
        QTRY_VERIFY(f.button()->isEnabled());
    QCOMPARE(answerer.count(), answer.isEmpty() ? 0 : 1);
    if (!answer.isEmpty()) {
        QCOMPARE(answerer.last().title, QStringLiteral("是否升级？"));
        QCOMPARE(answerer.last().text, QStringLiteral("检测到新版本，是否升级？"));
    }
    QCOMPARE(rejected.count(), updates ? 1 : 0);
    QCOMPARE(f.dialog.result(), 0);
    QCOMPARE(f.dialog.isVisible(), !updates);
}

void tst_TeacherLoginDialog::loginFillsSessionAndAccepts()
{
    auto f = readyDialog();
    QVERIFY(f);
    m_responder.respondEnvelope(loginPath, 0, loginData(2));
    ModalDialogAnswerer answerer; // a refusal would otherwise wait for a click that never comes
    QTest::keyClicks(f->phone(), QStringLiteral("  13800000001 "));
    QTest::keyClicks(f->password(), QStringLiteral(" secret "));
    QSignalSpy accepted(&f->dialog, &QDialog::accepted);
    QTest::mouseClick(f->button(), Qt::LeftButton);
    QVERIFY(!f->button()->isEnabled());
    QVERIFY(f->indicator()->isAnimated());
    QTRY_COMPARE(accepted.count(), 1);
    QCOMPARE(f->dialog.result(), 1);
    QVERIFY(!f->indicator()->isAnimated());
    QCOMPARE(answerer.count(), 0);

    const auto request = m_responder.requestsTo(loginPath).first();
    QVERIFY(!request.headers.contains("logintoken"));
    QCOMPARE(request.body,
        QByteArray("{\n    \"password\": \"secret\",\n    \"phoneNumber\": "
                   "\"13800000001\"\n}\n"));

    const UserSession &s = UserSession::instance();
    QCOMPARE(s.loginToken, QStringLiteral("tok-1"));
    QCOMPARE(s.userId, 42);
    QCOMPARE(s.phoneNumber, QStringLiteral("13800000001"));
    QCOMPARE(s.roleid, 7);
    QCOMPARE(s.rolename, QStringLiteral("教师"));
    QCOMPARE(s.username, QStringLiteral("teacher1"));
    QCOMPARE(s.subjectCode, 2);
    QCOMPARE(s.realName, QStringLiteral("王老师"));
    QCOMPARE(s.provinceId, 11);
}

void tst_TeacherLoginDialog::closedSubjectIsRefused()
{
    auto f = readyDialog();
    QVERIFY(f);
    m_responder.respondEnvelope(loginPath, 0, loginData(4));
    ModalDialogAnswerer answerer;
    QTest::mouseClick(f->button(), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text,
        QStringLiteral("对不起，目前仅开放语文、数学、英语三科录题，其他科目暂缓开放"));
    QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")}); // a notice, no choice
    QTRY_VERIFY(f->button()->isEnabled());
    QVERIFY(f->dialog.isVisible());
    QCOMPARE(f->dialog.result(), 0);
    QCOMPARE(UserSession::instance().subjectCode, 4); // written before the check
}

void tst_TeacherLoginDialog::serverMessagesShown_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("shown");
    QTest::newRow("-1 发生错误") << -1 << "发生错误"
                                 << "抱歉，Lumo录题开了个小差，请尝试刷新页面或者重新登录";
    QTest::newRow("-1 other") << -1 << "x"
                              << "x";
    QTest::newRow("wrong password") << 1 << "用户名或密码错误"
                                    << "用户名或密码错误";
}

void tst_TeacherLoginDialog::serverMessagesShown()
{
    QFETCH(int, status);
    QFETCH(QString, msg);
    auto f = readyDialog();
    QVERIFY(f);
    m_responder.respondEnvelope(loginPath, status, QJsonValue(), msg);
    ModalDialogAnswerer answerer;
    f->button()->click();
    QVERIFY(answerer.waitForCount(1));
    QTEST(answerer.last().text, "shown");
    QTRY_VERIFY(f->button()->isEnabled());
    QVERIFY(!f->indicator()->isAnimated());
    QVERIFY(f->dialog.isVisible());
}

void tst_TeacherLoginDialog::rememberedLogin()
{
    {
        auto f = readyDialog();
        QVERIFY(f);
        m_responder.respondEnvelope(loginPath, 1, QJsonValue(), QStringLiteral("no"));
        ModalDialogAnswerer answerer;
        f->phone()->setText(QStringLiteral(" 13800000002 "));
        f->password()->setText(QStringLiteral(" pw "));
        f->remember()->setChecked(true);
        f->button()->click();
        QVERIFY(answerer.waitForCount(1));
    }
    QCOMPARE(remembered().value(QStringLiteral("remember")).toBool(), true);
    QCOMPARE(remembered().value(QStringLiteral("phone")).toString(), QStringLiteral("13800000002"));
    QCOMPARE(remembered().value(QStringLiteral("password")).toString(), QStringLiteral("pw"));

    auto again = readyDialog();
    QVERIFY(again);
    QVERIFY(again->remember()->isChecked());
    QCOMPARE(again->phone()->text(), QStringLiteral("13800000002"));
    QCOMPARE(again->password()->text(), QStringLiteral("pw"));
}

void tst_TeacherLoginDialog::passwordForgottenWhenBoxTurnedOff()
{
    QSettings store = remembered();
    store.setValue(QStringLiteral("remember"), false);
    store.setValue(QStringLiteral("phone"), QStringLiteral("13800000003"));
    store.setValue(QStringLiteral("password"), QStringLiteral("old"));
    store.sync();

    auto f = readyDialog();
    QVERIFY(f);
    QCOMPARE(f->phone()->text(), QStringLiteral("13800000003"));
    QVERIFY(f->password()->text().isEmpty()); // not shown while the box is off

    m_responder.respondEnvelope(loginPath, 1, QJsonValue(), QStringLiteral("no"));
    ModalDialogAnswerer answerer;
    f->password()->setText(QStringLiteral("typed"));
    f->button()->click();
    QVERIFY(answerer.waitForCount(1));
    QSettings after = remembered();
    after.sync();
    QVERIFY(!after.contains(QStringLiteral("password")));
    QCOMPARE(after.value(QStringLiteral("remember")).toBool(), false);
}

// The real launcher: the updater beside the program gets the address as its one argument, even
// with a quote and a space in it.
void tst_TeacherLoginDialog::updaterGetsTheAddressAsOneArgument_data()
{
    QTest::addColumn<QString>("updaterName");
    QTest::newRow("installed without suffix") << QStringLiteral("Tarvel");
    QTest::newRow("copied from Windows") << QStringLiteral("Tarvel.exe");
}

void tst_TeacherLoginDialog::updaterGetsTheAddressAsOneArgument()
{
    QFETCH(QString, updaterName);
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString record = out.filePath(QStringLiteral("args"));
    QFile updater(QCoreApplication::applicationDirPath() + QLatin1Char('/') + updaterName);
    QVERIFY(updater.open(QIODevice::WriteOnly));
    updater.write(
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '%1.part' && mv '%1.part' "
                       "'%1'\n")
            .arg(record)
            .toUtf8());
    updater.close();
    updater.setPermissions(updater.permissions() | QFileDevice::ExeOwner);
    struct Remove {
        QFile &file;
        ~Remove() { file.remove(); }
    } remove {updater};

    const QString url = QStringLiteral("http://updates.test/q\"u enmo.zip");
    m_responder.respondEnvelope(versionPath, 0, versionData(QStringLiteral("2.0.0"), 2, url));
    TeacherLoginDialog dialog;
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.show();
    QTRY_COMPARE(rejected.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
    QFile args(record);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), QStringLiteral("1\n") + url + QLatin1Char('\n'));
}

QTEST_MAIN(tst_TeacherLoginDialog)
#include "tst_teacherlogindialog.moc"
