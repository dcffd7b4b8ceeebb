// A teacher's whole journey against the real server: compose, preview, submit, find the card,
// open it for modification, change an option, submit again. Set QUENMO_SHOTS=<dir> to keep
// a picture of each step.
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/exerciseviewwidget.h"
#include "browser/mainwindow.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/exercisequestionanalysiswidget.h"
#include "composer/exercisequestioncontentwidget.h"
#include "composer/exercisequestionheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/knowledgebuttonwidget.h"
#include "login/teacherlogindialog.h"

#include "bankseeder.h"
#include "localserver.h"
#include "modaldialoganswerer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

class tst_ComposerJourney : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void composePreviewSubmitModify();

private:
    QString uploadPicture();
    void shot(QWidget *widget, const QString &name);
    LocalServer m_server;
};

void tst_ComposerJourney::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
}

QString tst_ComposerJourney::uploadPicture()
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(QColor(27, 197, 245));
    // The server keeps uploads per teacher.
    BankSeeder seeder(m_server.baseUrl());
    if (!seeder.login())
        return QString();
    return seeder.uploadImage(image);
}

void tst_ComposerJourney::shot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("QUENMO_SHOTS");
    if (dir.isEmpty())
        return;
    QTest::qWait(800); // pictures and freshly laid out widgets
    widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void tst_ComposerJourney::composePreviewSubmitModify()
{
    {
        TeacherLoginDialog login;
        login.show();
        auto button = login.findChild<QPushButton *>(QStringLiteral("pushButton"));
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 10000);
        login.findChild<QLineEdit *>(QStringLiteral("lineEditPhone"))
            ->setText(QStringLiteral("13800000002"));
        login.findChild<QLineEdit *>(QStringLiteral("lineEditPassword"))
            ->setText(QStringLiteral("quenmo123"));
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(login.result(), 1, 10000);
    }

    MainWindow window;
    window.resize(1200, 1400);
    window.fetchExercisesCount();
    window.fetchGroups();
    window.fetchExerciseTypes();
    window.fetchExerciseKnowledge();
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.questionTabs() && window.knowledgeTree().childCount() > 0
            && !window.groupList().isEmpty(),
        10000);

    // a type with a stem and several sub-questions
    int typeIndex = -1;
    for (int i = 0; i < window.exerciseTypeList().size() && typeIndex < 0; ++i) {
        window.selectExerciseType(i);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isBodyPending()
                && window.currentTypeDetail().exerciseId == window.exerciseTypeList().at(i).id,
            10000);
        if (window.currentTypeDetail().hasExerciseContentCode
            && window.currentTypeDetail().hasMoreQuestionCode)
            typeIndex = i;
    }
    QVERIFY2(typeIndex >= 0, "the seed catalogue has a type with a stem and sub-questions");
    window.findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"))
        ->setExerciseTypeIndex(typeIndex);
    window.findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"))->setRate(3);
    const QString key = uploadPicture();
    QVERIFY(!key.isEmpty());
    window.stem()->setText(QStringLiteral("<doc>阅读下面的材料，回答问题。<b>x</b><h>2</h>"
                                          "<tex>\\frac{1}{2}</tex><v key=\"")
        + key + QStringLiteral("\" width=\"60\" height=\"40\"/></doc>"));
    window.addExerciseQuestionWidget();

    const int leaf = [&] {
        const KnowledgeNode *node = &window.knowledgeTree();
        while (node->childCount() > 0)
            node = node->child(0);
        return node->info.knowledgeId;
    }();
    QStringList typesUsed;
    for (int i = 0; i < window.questionTabs()->count(); ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(i));
        // the second sub-question takes another question type
        if (i == 1) {
            const int row = (page->header()->currentIndex() + 1)
                % page->findChild<QComboBox *>(QStringLiteral("comboBox"))->count();
            page->header()->setCurrentIndex(row);
            page->selectedQuestionType(row);
        }
        typesUsed << page->currentType().typeDesc;
        page->header()->knowledgeButtonWidget()->setIds(QString::number(leaf));
        if (page->contentPanel())
            page->contentPanel()->setText(
                QStringLiteral("<doc>小问") + QString::number(i + 1) + QStringLiteral("</doc>"));
        const auto options = page->optionPanels();
        for (int j = 0; j < options.size(); ++j)
            options.at(j)->setText(
                QStringLiteral("<doc>选项") + QChar(u'A' + j) + QStringLiteral("</doc>"));
        if (!options.isEmpty()) {
            options.at(0)->setChecked(true);
            if (!options.at(0)->isSingle())
                options.at(1)->setChecked(true);
        }
        if (QTabWidget *answers = page->answerTabs()) {
            for (int j = 0; j < answers->count(); ++j)
                static_cast<ExerciseQuestionPanel *>(answers->widget(j))
                    ->setText(QStringLiteral("<doc>答案</doc>"));
        }
        page->analysisPanel()->setText(QStringLiteral("<doc>解析</doc>"));
    }
    QVERIFY(typesUsed.size() == 2);
    // saved before or after the pictures arrive, the stem keeps its formula and image
    QVERIFY(window.stem()->text().contains(QStringLiteral("<tex>")));
    QVERIFY(window.stem()->text().contains(key));
    shot(&window, QStringLiteral("1-composer"));

    // preview: the server converts the code text; the dialog shows its HTML
    ModalDialogAnswerer answerer;
    QString previewTitle;
    answerer.answerWith([this, &previewTitle](QWidget *dialog) {
        previewTitle = dialog->windowTitle();
        QTest::qWait(500);
        shot(dialog, QStringLiteral("2-preview"));
        static_cast<QDialog *>(dialog)->reject();
    });
    window.previewExercise();
    QTRY_COMPARE_WITH_TIMEOUT(previewTitle, QStringLiteral("预览"), 10000);

    // submit
    answerer.clickButton(QStringLiteral("确定"));
    window.composerButtons()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(answerer.waitForCount(2));
    QCOMPARE(answerer.last().text, QStringLiteral("录入成功"));

    // the card in the bank
    window.findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.exerciseCardList().isEmpty(), 10000);
    ExerciseViewWidget *card = window.exerciseCardList().first();
    QVERIFY(card->html().contains(QStringLiteral("阅读下面的材料")));
    QVERIFY(card->html().contains(QStringLiteral("/api/generate/formula?formulaStr=")));
    QVERIFY(card->html().contains(key));
    QTest::qWait(500);
    shot(&window, QStringLiteral("3-bank"));

    // open it for modification, change an option, submit again
    emit card->modifyExercise(card->exerciseId());
    QTRY_VERIFY_WITH_TIMEOUT(window.modifyingId() == card->exerciseId() && window.questionTabs()
            && window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex()
                == 0,
        10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(0)), 10000);
    ExerciseQuestionWidget *first = nullptr;
    for (int i = 0; i < window.questionTabs()->count(); ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(i));
        if (!page->optionPanels().isEmpty())
            first = page;
    }
    QVERIFY(first);
    first->optionPanels().at(0)->setText(QStringLiteral("<doc>改过的选项</doc>"));
    shot(&window, QStringLiteral("4-modify"));
    answerer.clickButton(QStringLiteral("确定"));
    window.submitExercise();
    QVERIFY(answerer.waitForCount(3));
    QCOMPARE(answerer.last().text, QStringLiteral("修改成功"));
    QTRY_COMPARE(
        window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!window.exerciseCardList().isEmpty()
            && window.exerciseCardList().first()->html().contains(QStringLiteral("改过的选项")),
        10000);
    QTest::qWait(500);
    shot(&window, QStringLiteral("5-bank-after"));
}

QTEST_MAIN(tst_ComposerJourney)
#include "tst_composerjourney.moc"
