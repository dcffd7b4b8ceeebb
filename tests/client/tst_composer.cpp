#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/mainwindow.h"
#include "composer/exercisedraft.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/exercisequestionanalysiswidget.h"
#include "composer/exercisequestionanswerwidget.h"
#include "composer/exercisequestioncontentwidget.h"
#include "composer/exercisequestionheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/knowledgebuttonwidget.h"
#include "model/exercisetypedetail.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString detailPath = QStringLiteral("/api/exercise_and_question/type/detail");
const QString addPath = QStringLiteral("/library/add/exercise");
const QString modifyPath = QStringLiteral("/library/modify/exercise");
const QString groupsPath = QStringLiteral("/library/fetch/groups");
const QString countPath = QStringLiteral("/library/statistics/count");
const QString transferPath = QStringLiteral("/library/transfer/xml");

QJsonObject questionType(int id, const QString &desc, int typeCode, int optionNum, int sort,
    bool content = true, double score = 5)
{
    return {{QStringLiteral("questionTypeId"), id}, {QStringLiteral("typeDesc"), desc},
        {QStringLiteral("typeCode"), typeCode}, {QStringLiteral("optionNum"), optionNum},
        {QStringLiteral("questionTypeSort"), sort}, {QStringLiteral("score"), score},
        {QStringLiteral("hasQuestionContentCode"), content}};
}

QJsonObject detail(bool stem, bool more, const QJsonArray &types)
{
    return {{QStringLiteral("exerciseId"), 32},
        {QStringLiteral("name"), QStringLiteral("阅读理解")}, {QStringLiteral("subjectCode"), 1},
        {QStringLiteral("hasExerciseContentCode"), stem},
        {QStringLiteral("hasMoreQuestionCode"), more},
        {QStringLiteral("exerciseQuestiontypeList"), types}};
}

const QJsonArray mixedTypes = {questionType(1, QStringLiteral("单选"), 1, 4, 2),
    questionType(2, QStringLiteral("多选"), 2, 4, 0),
    questionType(3, QStringLiteral("填空"), 0, 0, 1),
    questionType(4, QStringLiteral("两项选择"), 1, 2, 3)};

QString code(const QString &text)
{
    return QStringLiteral("<doc>") + text + QStringLiteral("</doc>");
}

} // namespace

class tst_Composer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bodyForTypeWithStemAndSeveralQuestions();
    void tabNamesClosabilityAndLimit();
    void movingTabsRenamesThem();
    void optionPanelsBySingleOrMultiple();
    void freeTextAnswerTabs();
    void answerTabsByMouse();
    void draggedAnswerTabsAreRenumbered();
    void pickingTypeOnEmptyPageAsksNothing();
    void storedMultipleAnswerOpensChecked();
    void storedQuestionOfUnknownTypeOpensFirstType();
    void nextExerciseReplacesEveryPanelText();
    void typeChangeCarriesTextsOver();
    void gatheringOrdersQuestionsBySort();
    void checkMessages_data();
    void checkMessages();
    void addSucceedsAndRefreshes();
    void modifySucceedsAndShowsBank();
    void cancelSetsThreeStarsAndEndsModification();
    void failedPreviewKeepsModification();
    void draftIsOfferedWhicheverReplyComesLast_data();
    void draftIsOfferedWhicheverReplyComesLast();
    void closingBeforeTheDraftIsOfferedKeepsIt();

private:
    void buildComposer(const QJsonObject &typeDetail);
    ExerciseQuestionWidget *page(int i)
    {
        return qobject_cast<ExerciseQuestionWidget *>(m_window->questionTabs()->widget(i));
    }
    // Fills a page so that it passes every check.
    void fillPage(ExerciseQuestionWidget *page);
    QList<QWidget *> shownComposer();
    // A draft with a question text in a new home; returns the file's bytes.
    QByteArray writeDraft(const QTemporaryDir &home);
    // a stored exercise of type 32 in group 40, opened for modification as its card's button does
    static ExerciseInfo storedExercise(int id);
    void openStored(const ExerciseInfo &exercise);
    // A window that keeps drafts, asking for groups, knowledge points and the detail of type 33.
    void startKeepingDrafts(const QString &heldPath = QString(),
        const ScriptedHttpResponder::Response &held = ScriptedHttpResponder::Response());
    QJsonObject lastBody(const QString &path)
    {
        return QJsonDocument::fromJson(m_responder.requestsTo(path).last().body).object();
    }
    ExerciseHeaderWidget *header()
    {
        return m_window->findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"));
    }

    ScriptedHttpResponder m_responder;
    std::unique_ptr<MainWindow> m_window;
};

void tst_Composer::initTestCase()
{
    QVERIFY(m_responder.listen());
    UserSession::instance().userId = 9;
}

void tst_Composer::init()
{
    m_responder.clear();
    LIBRARY_SERVER = BENCH_SERVER = m_responder.baseUrl();
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/type"), 100900000);
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/exercise"), 0,
        QJsonObject {{QStringLiteral("result"), QJsonArray()}, {QStringLiteral("pages"), 0},
            {QStringLiteral("pageNum"), 0}});
    m_responder.respondEnvelope(groupsPath, 0,
        QJsonArray {QJsonObject {{QStringLiteral("groupId"), 40},
            {QStringLiteral("groupName"), QStringLiteral("a")}, {QStringLiteral("count"), 0}}});
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/exerciseKnowledge"), 0,
        QJsonDocument::fromJson(
            R"([{"knowledgeId": 12, "name": "方程"}, {"knowledgeId": 40, "name": "函数"}])")
            .array());
    m_responder.respondEnvelope(QStringLiteral("/library/fetch/exerciseTypes"), 0,
        QJsonArray {QJsonObject {{QStringLiteral("id"), 32},
                        {QStringLiteral("name"), QStringLiteral("阅读理解")}},
            QJsonObject {
                {QStringLiteral("id"), 33}, {QStringLiteral("name"), QStringLiteral("单选题")}}});
    m_window = std::make_unique<MainWindow>();
    m_window->fetchGroups();
    m_window->fetchExerciseKnowledge();
    QTRY_COMPARE(m_window->groupList().size(), 1);
    QTRY_COMPARE(m_window->knowledgeTree().childCount(), 2);
}

void tst_Composer::cleanup()
{
    m_window.reset();
}

void tst_Composer::buildComposer(const QJsonObject &typeDetail)
{
    m_responder.reset(detailPath);
    m_responder.respondEnvelope(detailPath, 0, typeDetail);
    // a type's detail is fetched once per window: each detail here comes as a type of its own
    const int before = m_responder.count(detailPath);
    m_window->fetchExerciseType(1000 + before);
    // the request seen is not yet the reply applied: wait for the body of this detail
    const ExerciseTypeDetail wanted = ExerciseTypeDetail::fromJson(typeDetail);
    auto applied = [this, &wanted] {
        const ExerciseTypeDetail &shown = m_window->currentTypeDetail();
        if (shown.hasExerciseContentCode != wanted.hasExerciseContentCode
            || shown.hasMoreQuestionCode != wanted.hasMoreQuestionCode
            || shown.questionTypes.size() != wanted.questionTypes.size())
            return false;
        for (int i = 0; i < wanted.questionTypes.size(); ++i) {
            if (shown.questionTypes.at(i).questionTypeId
                    != wanted.questionTypes.at(i).questionTypeId
                || shown.questionTypes.at(i).optionNum != wanted.questionTypes.at(i).optionNum
                || shown.questionTypes.at(i).typeCode != wanted.questionTypes.at(i).typeCode)
                return false;
        }
        return true;
    };
    QTRY_VERIFY(m_responder.count(detailPath) > before && m_window->questionTabs()
        && !m_window->isBodyPending() && applied());
}

void tst_Composer::fillPage(ExerciseQuestionWidget *p)
{
    p->header()->knowledgeButtonWidget()->setIds(QStringLiteral("12"));
    if (p->contentPanel())
        p->contentPanel()->setText(code(QStringLiteral("c")));
    for (ExerciseQuestionOptionWidget *option : p->optionPanels())
        option->setText(code(QStringLiteral("o")));
    if (!p->optionPanels().isEmpty()) {
        p->optionPanels().at(0)->setChecked(true);
        if (!p->optionPanels().at(0)->isSingle())
            p->optionPanels().at(1)->setChecked(true);
    }
    if (p->answerTabs()) {
        for (int i = 0; i < p->answerTabs()->count(); ++i)
            static_cast<ExerciseQuestionAnswerWidget *>(p->answerTabs()->widget(i))
                ->setText(code(QStringLiteral("t")));
    }
    p->analysisPanel()->setText(code(QStringLiteral("e")));
}

// The composer's parts on screen, top to bottom; empty when one is missing or hidden.
QList<QWidget *> tst_Composer::shownComposer()
{
    QList<QWidget *> parts {header()};
    if (m_window->stem())
        parts << m_window->stem();
    parts << m_window->questionTabs() << m_window->composerButtons();
    for (int i = 0; i < parts.size(); ++i) {
        if (!parts.at(i)->isVisible()
            || (i > 0 && parts.at(i)->y() <= parts.at(i - 1)->geometry().bottom()))
            return {};
    }
    return parts;
}

void tst_Composer::bodyForTypeWithStemAndSeveralQuestions()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    buildComposer(detail(true, true, mixedTypes));
    // header, stem, sub-question tabs, then the buttons, each below the one before
    QTRY_COMPARE(shownComposer().size(), 4);
    QVERIFY(m_window->stem());
    QCOMPARE(m_window->questionTabs()->count(), 1);
    QVERIFY(m_window->questionTabs()->isMovable());
    auto add
        = qobject_cast<QPushButton *>(m_window->questionTabs()->cornerWidget(Qt::TopRightCorner));
    QVERIFY(add);
    QCOMPARE(add->text(), QStringLiteral("+添加小问"));
    QDialogButtonBox *box = m_window->composerButtons();
    QCOMPARE(box->button(QDialogButtonBox::Save)->text(), QStringLiteral("预览"));
    QCOMPARE(box->button(QDialogButtonBox::Ok)->text(), QStringLiteral("完成"));
    QCOMPARE(box->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    // the first question type (sort 0 first) is current; its score shows, disabled
    auto score = page(0)->findChild<QLineEdit *>(QStringLiteral("lineEditScore"));
    QCOMPARE(score->text(), QStringLiteral("5"));
    QVERIFY(!score->isEnabled());
    QCOMPARE(page(0)->currentType().typeDesc, QStringLiteral("多选"));

    QPointer<QWidget> oldStem = m_window->stem();
    buildComposer(detail(false, false, mixedTypes));
    QVERIFY(!m_window->stem());
    QVERIFY(!m_window->questionTabs()->cornerWidget(Qt::TopRightCorner));
    QVERIFY(!oldStem || !oldStem->isVisible());
    QTRY_COMPARE(shownComposer().size(), 3);
}

void tst_Composer::tabNamesClosabilityAndLimit()
{
    buildComposer(detail(true, true, mixedTypes));
    QTabWidget *tabs = m_window->questionTabs();
    QCOMPARE(tabs->tabText(0), QStringLiteral("小问"));
    QVERIFY(!tabs->tabsClosable());
    QCOMPARE(page(0)->contentPanel()->title(), QStringLiteral("小问内容"));
    m_window->addExerciseQuestionWidget();
    QCOMPARE(tabs->tabText(0), QStringLiteral("小问1"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("小问2"));
    QVERIFY(tabs->tabsClosable());
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(page(1)->analysisPanel()->title(), QStringLiteral("小问2解析"));
    for (int i = 0; i < 25; ++i)
        m_window->addExerciseQuestionWidget();
    QCOMPARE(tabs->count(), 20);

    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    emit tabs->tabCloseRequested(3);
    QCOMPARE(answerer.last().text, QStringLiteral("是否删除这个小问？"));
    QCOMPARE(tabs->count(), 20);
    answerer.clickButton(QStringLiteral("确定"));
    emit tabs->tabCloseRequested(3);
    QCOMPARE(tabs->count(), 19);
    QCOMPARE(tabs->tabText(18), QStringLiteral("小问19"));
}

void tst_Composer::movingTabsRenamesThem()
{
    buildComposer(detail(true, true, mixedTypes));
    m_window->addExerciseQuestionWidget();
    ExerciseQuestionWidget *second = page(1);
    m_window->questionTabs()->tabBar()->moveTab(1, 0);
    QCOMPARE(page(0), second);
    QCOMPARE(m_window->questionTabs()->tabText(0), QStringLiteral("小问1"));
    QCOMPARE(second->contentPanel()->title(), QStringLiteral("小问1内容"));
}

void tst_Composer::optionPanelsBySingleOrMultiple()
{
    buildComposer(detail(false, false, {questionType(1, QStringLiteral("单选"), 1, 4, 0)}));
    const auto single = page(0)->optionPanels();
    QCOMPARE(single.size(), 4);
    QCOMPARE(single.at(3)->title(), QStringLiteral("选项D"));
    QVERIFY(!single.at(0)->radioButton()->isHidden());
    QVERIFY(single.at(0)->checkBox()->isHidden());
    QCOMPARE(single.at(0)->radioButton()->text(), QStringLiteral("正确答案"));
    single.at(0)->radioButton()->click();
    single.at(2)->radioButton()->click();
    QVERIFY(!single.at(0)->isChecked());
    QVERIFY(single.at(2)->isChecked());

    buildComposer(detail(false, false, {questionType(2, QStringLiteral("多选"), 2, 4, 0)}));
    const auto multiple = page(0)->optionPanels();
    QVERIFY(multiple.at(0)->radioButton()->isHidden());
    QVERIFY(!multiple.at(0)->checkBox()->isHidden());
    multiple.at(0)->checkBox()->click();
    multiple.at(2)->checkBox()->click();
    QVERIFY(multiple.at(0)->isChecked() && multiple.at(2)->isChecked());
}

void tst_Composer::freeTextAnswerTabs()
{
    buildComposer(detail(false, false, {questionType(3, QStringLiteral("填空"), 0, 0, 0)}));
    QTabWidget *answers = page(0)->answerTabs();
    QVERIFY(answers);
    QCOMPARE(answers->count(), 1);
    QCOMPARE(answers->tabText(0), QStringLiteral("答案"));
    auto add = qobject_cast<QPushButton *>(answers->cornerWidget(Qt::TopRightCorner));
    QCOMPARE(add->text(), QStringLiteral("+添加答案"));
    for (int i = 0; i < 7; ++i)
        add->click();
    QCOMPARE(answers->count(), 5);
    QCOMPARE(answers->tabText(4), QStringLiteral("答案5"));
    QVERIFY(page(0)->optionPanels().isEmpty());
}

void tst_Composer::answerTabsByMouse()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    buildComposer(detail(false, false, {questionType(3, QStringLiteral("填空"), 0, 0, 0)}));
    QTabWidget *answers = page(0)->answerTabs();
    QTRY_VERIFY(answers->isVisible());
    QVERIFY(answers->usesScrollButtons()); // five answers scroll rather than widen the page
    QVERIFY(!answers->tabsClosable()); // the last answer cannot be closed
    QTest::mouseClick(answers->cornerWidget(Qt::TopRightCorner), Qt::LeftButton);
    QCOMPARE(answers->count(), 2);
    QCOMPARE(answers->tabText(0), QStringLiteral("答案1"));
    QCOMPARE(answers->tabText(1), QStringLiteral("答案2"));
    QCOMPARE(answers->currentIndex(), 1);
    QVERIFY(answers->tabsClosable());
    static_cast<ExerciseQuestionAnswerWidget *>(answers->widget(1))
        ->setText(code(QStringLiteral("second")));

    auto closeButton = [answers](int tab) {
        QWidget *button = answers->tabBar()->tabButton(tab, QTabBar::RightSide);
        if (!button)
            button = answers->tabBar()->tabButton(tab, QTabBar::LeftSide);
        return button;
    };
    QTRY_VERIFY(closeButton(0) && closeButton(0)->isVisible());
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    QTest::mouseClick(closeButton(0), Qt::LeftButton);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("删除"));
    QCOMPARE(answerer.last().text, QStringLiteral("是否删除这个答案？"));
    QCOMPARE(answers->count(), 2);

    answerer.clickButton(QStringLiteral("确定"));
    QTest::mouseClick(closeButton(0), Qt::LeftButton);
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answers->count(), 1);
    QCOMPARE(answers->tabText(0), QStringLiteral("答案"));
    QVERIFY(!answers->tabsClosable());
    QCOMPARE(static_cast<ExerciseQuestionAnswerWidget *>(answers->widget(0))->text(),
        code(QStringLiteral("second")));
}

void tst_Composer::draggedAnswerTabsAreRenumbered()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    buildComposer(detail(false, false, {questionType(3, QStringLiteral("填空"), 0, 0, 0)}));
    QTabWidget *answers = page(0)->answerTabs();
    QTRY_VERIFY(answers->isVisible());
    QWidget *add = answers->cornerWidget(Qt::TopRightCorner);
    QTest::mouseClick(add, Qt::LeftButton);
    QTest::mouseClick(add, Qt::LeftButton);
    QCOMPARE(answers->count(), 3);
    auto answer = [answers](int i) {
        return static_cast<ExerciseQuestionAnswerWidget *>(answers->widget(i));
    };
    answer(0)->setText(code(QStringLiteral("first")));
    answer(2)->setText(code(QStringLiteral("third")));

    // drag the third answer's tab onto the first one
    QTabBar *bar = answers->tabBar();
    const QPoint from = bar->tabRect(2).center();
    const QPoint to(bar->tabRect(0).left() + 3, bar->tabRect(0).center().y());
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 10; ++step) {
        QMouseEvent move(QEvent::MouseMove, from + (to - from) * step / 10, Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, to);
    QTRY_COMPARE(answer(0)->text(), code(QStringLiteral("third")));
    QCOMPARE(answer(1)->text(), code(QStringLiteral("first")));
    // titles follow the positions, not the tabs
    QTRY_COMPARE(answers->tabText(0), QStringLiteral("答案1"));
    QCOMPARE(answers->tabText(1), QStringLiteral("答案2"));
    QCOMPARE(answers->tabText(2), QStringLiteral("答案3"));
    QuestionInfo gathered;
    page(0)->getQuestionInfo(gathered, false, -1, -1);
    QCOMPARE(gathered.answers.size(), 3);
    QCOMPARE(gathered.answers.at(0).content, code(QStringLiteral("third")));
    QCOMPARE(gathered.answers.at(0).answerIdx, 0);
}

void tst_Composer::pickingTypeOnEmptyPageAsksNothing()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    buildComposer(detail(false, false, mixedTypes)); // 多选 first, nothing filled in
    ExerciseQuestionWidget *p = page(0);
    auto types = p->header()->findChild<QComboBox *>(QStringLiteral("comboBox"));
    QTRY_VERIFY(types->isVisible());
    ModalDialogAnswerer answerer;
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Down); // 填空
    QTRY_COMPARE(p->currentType().typeDesc, QStringLiteral("填空"));
    QVERIFY(p->optionPanels().isEmpty());
    QCOMPARE(p->answerTabs()->count(), 1);
    QCOMPARE(p->answerTabs()->tabText(0), QStringLiteral("答案")); // one answer: no number
    QVERIFY(!p->answerTabs()->tabsClosable());
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 0); // an empty page is no mistake until it is submitted
}

void tst_Composer::storedMultipleAnswerOpensChecked()
{
    ExerciseInfo exercise = storedExercise(500);
    QuestionInfo question;
    question.questiontypeId = 2;
    question.knowledgeIds = QStringLiteral("40");
    for (int i = 0; i < 4; ++i)
        question.options << OptionInfo {i, code(QString::number(i)), false};
    question.answers << AnswerInfo {0, QStringLiteral("BD")};
    exercise.questions << question;
    openStored(exercise);
    QTRY_VERIFY(m_window->questionTabs());
    const auto options = page(0)->optionPanels();
    QCOMPARE(page(0)->currentType().questionTypeId, 2);
    QCOMPARE(options.size(), 4);
    QVERIFY(!options.at(0)->isChecked());
    QVERIFY(options.at(1)->isChecked());
    QVERIFY(!options.at(2)->isChecked());
    QVERIFY(options.at(3)->isChecked());
    QCOMPARE(options.at(2)->text(), code(QStringLiteral("2")));
    QCOMPARE(page(0)->header()->knowledgeButtonWidget()->ids(), QStringLiteral("40"));
}

void tst_Composer::storedQuestionOfUnknownTypeOpensFirstType()
{
    ExerciseInfo exercise = storedExercise(501);
    QuestionInfo question;
    question.questiontypeId = 99; // no longer offered by this exercise type
    question.questionContent = code(QStringLiteral("旧内容"));
    question.questionExplain = code(QStringLiteral("旧解析"));
    exercise.questions << question;
    openStored(exercise);
    QTRY_VERIFY(m_window->questionTabs() && !m_window->isBodyPending());
    // the type a new page opens with (多选, sort 0), its texts filled in all the same
    QCOMPARE(page(0)->currentType().typeDesc, QStringLiteral("多选"));
    auto types = page(0)->header()->findChild<QComboBox *>(QStringLiteral("comboBox"));
    QCOMPARE(types->currentText(), QStringLiteral("多选"));
    QCOMPARE(page(0)->optionPanels().size(), 4);
    QCOMPARE(page(0)->contentPanel()->text(), code(QStringLiteral("旧内容")));
    QCOMPARE(page(0)->analysisPanel()->text(), code(QStringLiteral("旧解析")));
}

void tst_Composer::nextExerciseReplacesEveryPanelText()
{
    // a body already built for this type takes the stored exercise's texts and marks
    buildComposer(detail(false, false, mixedTypes)); // 多选, four options
    fillPage(page(0)); // options A and B marked
    ExerciseInfo exercise = storedExercise(502);
    QuestionInfo question;
    question.questiontypeId = 2;
    question.knowledgeIds = QStringLiteral("40");
    for (int i = 0; i < 4; ++i)
        question.options << OptionInfo {i, code(QStringLiteral("选项%1").arg(i)), false};
    question.answers << AnswerInfo {0, QStringLiteral("AC")};
    question.questionExplain = code(QStringLiteral("解析"));
    exercise.questions << question;
    m_window->loadExercise(exercise);
    QTRY_COMPARE(m_window->modifyingId(), 502);
    QTRY_VERIFY(!m_window->isBodyPending());
    const auto options = page(0)->optionPanels();
    QCOMPARE(options.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(options.at(i)->text(), code(QStringLiteral("选项%1").arg(i)));
    QVERIFY(options.at(0)->isChecked());
    QVERIFY(!options.at(1)->isChecked());
    QVERIFY(options.at(2)->isChecked());
    QVERIFY(!options.at(3)->isChecked());
    QCOMPARE(page(0)->analysisPanel()->text(), code(QStringLiteral("解析")));

    // free-text answers: three tabs on screen, one stored answer
    buildComposer(detail(false, false, {questionType(3, QStringLiteral("填空"), 0, 0, 0)}));
    ExerciseQuestionWidget *p = page(0);
    p->addExerciseQuestionAnswerWidget();
    p->addExerciseQuestionAnswerWidget();
    fillPage(p);
    const QPointer<QWidget> dropped = p->answerTabs()->widget(2);
    QuestionInfo single;
    single.questiontypeId = 3;
    single.answers << AnswerInfo {0, code(QStringLiteral("唯一"))};
    exercise.id = 503;
    exercise.exerciseTypeId = 33; // a type of its own, whose detail is the 填空 one above
    exercise.questions = {single};
    m_window->loadExercise(exercise);
    QTRY_COMPARE(m_window->modifyingId(), 503);
    QTRY_VERIFY(!m_window->isBodyPending());
    QTabWidget *answers = page(0)->answerTabs();
    QTRY_COMPARE(answers->count(), 1);
    QCOMPARE(answers->tabText(0), QStringLiteral("答案"));
    QCOMPARE(static_cast<ExerciseQuestionAnswerWidget *>(answers->widget(0))->text(),
        code(QStringLiteral("唯一")));
    QVERIFY(page(0)->analysisPanel()->text().isEmpty());
    QTRY_VERIFY(dropped.isNull()); // answers taken off are released, not kept hidden
}

void tst_Composer::typeChangeCarriesTextsOver()
{
    buildComposer(detail(false, false, mixedTypes)); // current: 多选, four options
    ExerciseQuestionWidget *p = page(0);
    fillPage(p);
    p->optionPanels().at(3)->setText(code(QStringLiteral("D")));
    // pick 两项选择 (two options) by hand
    const int row = 3; // order: 多选, 填空, 单选, 两项选择
    p->header()->setCurrentIndex(row);
    p->selectedQuestionType(row);
    QCOMPARE(p->currentType().typeDesc, QStringLiteral("两项选择"));
    QCOMPARE(p->optionPanels().size(), 2);
    QCOMPARE(p->optionPanels().at(0)->text(), code(QStringLiteral("o")));
    QCOMPARE(p->contentPanel()->text(), code(QStringLiteral("c")));
    QCOMPARE(p->analysisPanel()->text(), code(QStringLiteral("e")));
    QCOMPARE(p->header()->knowledgeButtonWidget()->ids(), QStringLiteral("12"));

    // the exercise type changes too: the texts survive the rebuild
    const int before = m_responder.count(detailPath);
    m_window->fetchExerciseTypes(); // selects the first type
    QTRY_VERIFY(m_responder.count(detailPath) > before && !m_window->isBodyPending());
    QCOMPARE(page(0)->analysisPanel()->text(), code(QStringLiteral("e")));
}

void tst_Composer::gatheringOrdersQuestionsBySort()
{
    buildComposer(detail(false, true, mixedTypes));
    m_window->addExerciseQuestionWidget();
    m_window->addExerciseQuestionWidget();
    // tabs 1-3 take the types with sorts 2, 0, 1
    const int rowForSort[] = {2, 0, 1}; // rows: 多选(0), 填空(1), 单选(2), 两项选择(3)
    for (int i = 0; i < 3; ++i) {
        page(i)->header()->setCurrentIndex(rowForSort[i]);
        page(i)->selectedQuestionType(rowForSort[i]);
        fillPage(page(i));
    }
    ExerciseInfo exercise;
    ModalDialogAnswerer answerer; // a complete exercise passes every check without a word
    QVERIFY(m_window->getExerciseInfo(exercise, true));
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(exercise.questions.size(), 3);
    QCOMPARE(exercise.questions.at(0).questionIndex, 2);
    QCOMPARE(exercise.questions.at(1).questionIndex, 3);
    QCOMPARE(exercise.questions.at(2).questionIndex, 1);
    QCOMPARE(exercise.questions.at(2).answers.first().content, QStringLiteral("A"));
    QCOMPARE(exercise.questions.at(0).answers.first().content, QStringLiteral("AB"));
    QCOMPARE(exercise.knowledgeNames, QStringLiteral("方程"));
    QCOMPARE(exercise.folderId, 40);
    QCOMPARE(exercise.exerciseTypeId, 32);
    QCOMPARE(exercise.subjectId, 1);
    QCOMPARE(exercise.id, -1);
}

void tst_Composer::checkMessages_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("stem") << "stem"
                          << "需要填写题干信息";
    QTest::newRow("knowledge of the second tab") << "knowledge2"
                                                 << "需要选择小问2知识点";
    QTest::newRow("content of the second tab") << "content2"
                                               << "需要填写小问2内容";
    QTest::newRow("an option") << "option"
                               << "需要填写选项";
    QTest::newRow("no correct answer") << "nocorrect"
                                       << "需要选择正确答案";
    QTest::newRow("one of a multiple choice") << "onecorrect"
                                              << "需要选择多个答案";
    QTest::newRow("analysis of the second tab") << "analysis2"
                                                << "需要填写小问2解析";
    QTest::newRow("second answer, one tab") << "answer2"
                                            << "需要填写小问答案2";
    QTest::newRow("analysis, one tab") << "analysis1"
                                       << "需要填写小问解析";
    QTest::newRow("no group") << "nogroup"
                              << "需要选择分组";
}

void tst_Composer::checkMessages()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    const bool oneTab = setup == QLatin1String("answer2") || setup == QLatin1String("analysis1");
    if (setup == QLatin1String("answer2"))
        buildComposer(detail(true, false, {questionType(3, QStringLiteral("填空"), 0, 0, 0)}));
    else
        buildComposer(detail(true, true, mixedTypes));
    if (!oneTab)
        m_window->addExerciseQuestionWidget();
    m_window->stem()->setText(code(QStringLiteral("s")));
    for (int i = 0; i < m_window->questionTabs()->count(); ++i)
        fillPage(page(i));
    m_window->questionTabs()->setCurrentIndex(0);
    ExerciseQuestionWidget *target = page(m_window->questionTabs()->count() - 1);
    if (setup == QLatin1String("stem"))
        m_window->stem()->setText(QString());
    else if (setup == QLatin1String("knowledge2"))
        target->header()->knowledgeButtonWidget()->setIds(QString());
    else if (setup == QLatin1String("content2"))
        target->contentPanel()->setText(QString());
    else if (setup == QLatin1String("option"))
        target->optionPanels().at(2)->setText(QString());
    else if (setup == QLatin1String("nocorrect"))
        for (auto option : target->optionPanels())
            option->setChecked(false);
    else if (setup == QLatin1String("onecorrect"))
        target->optionPanels().at(1)->setChecked(false);
    else if (setup.startsWith(QLatin1String("analysis")))
        target->analysisPanel()->setText(QString());
    else if (setup == QLatin1String("answer2")) {
        target->addExerciseQuestionAnswerWidget();
        target->answerTabs()->setCurrentIndex(0);
    } else if (setup == QLatin1String("nogroup")) {
        header()->setGroups({});
    }

    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    m_window->submitExercise();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, message);
    if (setup.endsWith(QLatin1Char('2')) && !oneTab)
        QCOMPARE(m_window->questionTabs()->currentIndex(), 1);
    if (setup == QLatin1String("answer2"))
        QCOMPARE(target->answerTabs()->currentIndex(), 1);
    QTest::qWait(50);
    QCOMPARE(m_responder.count(addPath), 0);
    QVERIFY(m_window->composerButtons()->button(QDialogButtonBox::Ok)->isEnabled());
}

void tst_Composer::addSucceedsAndRefreshes()
{
    buildComposer(detail(true, false, mixedTypes));
    header()->setRate(4);
    m_window->stem()->setText(code(QStringLiteral("s")));
    fillPage(page(0));
    m_responder.respondEnvelope(addPath, 0, QJsonValue());
    m_responder.respondEnvelope(countPath, 0, QJsonObject());
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    const int groupsBefore = m_responder.count(groupsPath);
    m_window->composerButtons()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!m_window->composerButtons()->button(QDialogButtonBox::Ok)->isEnabled());
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 1));
    QVERIFY(m_responder.waitForRequests(countPath, 1));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text, QStringLiteral("录入成功"));
    const QJsonObject sent = lastBody(addPath);
    QCOMPARE(sent.value(QStringLiteral("exercise"))
                 .toObject()
                 .value(QStringLiteral("difficultyDegree"))
                 .toInt(),
        4);
    QCOMPARE(header()->rate(), 4);
    QVERIFY(m_window->stem()->text().isEmpty()); // an empty body for the same type
    QVERIFY(m_window->composerButtons()->button(QDialogButtonBox::Ok)->isEnabled());
    QCOMPARE(m_window->savedExerciseRecord(), nullptr);
}

void tst_Composer::modifySucceedsAndShowsBank()
{
    ExerciseInfo exercise = storedExercise(500);
    openStored(exercise);
    QTRY_VERIFY(m_window->questionTabs());
    fillPage(page(0));
    m_responder.respondEnvelope(modifyPath, 0, QJsonValue());
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    const int countsBefore = m_responder.count(countPath);
    const int groupsBefore = m_responder.count(groupsPath);
    m_window->submitExercise();
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().text, QStringLiteral("修改成功"));
    QVERIFY(m_responder.waitForRequests(groupsPath, groupsBefore + 1));
    QCOMPARE(lastBody(modifyPath)
                 .value(QStringLiteral("exercise"))
                 .toObject()
                 .value(QStringLiteral("id"))
                 .toInt(),
        500);
    QCOMPARE(
        m_window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 1);
    QCOMPARE(m_window->modifyingId(), -1);
    QCOMPARE(m_responder.count(countPath), countsBefore);
}

void tst_Composer::cancelSetsThreeStarsAndEndsModification()
{
    ExerciseInfo exercise = storedExercise(500);
    exercise.difficultyDegree = 5;
    QuestionInfo stored;
    stored.questiontypeId = 2;
    stored.questionContent = code(QStringLiteral("旧内容"));
    stored.questionExplain = code(QStringLiteral("旧解析"));
    exercise.questions << stored;
    m_responder.reset(detailPath);
    m_responder.respondEnvelope(detailPath, 0, detail(false, false, mixedTypes));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->loadExercise(exercise);
    QTRY_VERIFY(m_window->questionTabs());
    QCOMPARE(page(0)->contentPanel()->text(), code(QStringLiteral("旧内容")));
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    QPushButton *cancel = m_window->composerButtons()->button(QDialogButtonBox::Cancel);
    QTRY_VERIFY(cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(answerer.last().title, QStringLiteral("取消"));
    QCOMPARE(answerer.last().text, QStringLiteral("是否取消录题？"));
    QCOMPARE(header()->rate(), 3);
    QCOMPARE(m_window->modifyingId(), -1);
    QCOMPARE(
        m_window->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(), 1);
    // the composer starts afresh: none of the stored texts is left in it
    QVERIFY(page(0)->contentPanel()->text().isEmpty());
    QVERIFY(page(0)->analysisPanel()->text().isEmpty());

    // the next submission is an addition
    fillPage(page(0));
    m_responder.respondEnvelope(addPath, 0, QJsonValue());
    answerer.clickButton(QStringLiteral("确定"));
    m_window->submitExercise();
    QVERIFY(m_responder.waitForRequests(addPath, 1));
    QCOMPARE(m_responder.count(modifyPath), 0);
}

void tst_Composer::failedPreviewKeepsModification()
{
    ExerciseInfo exercise = storedExercise(500);
    openStored(exercise);
    QTRY_VERIFY(m_window->questionTabs());
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    m_window->previewExercise(); // fails: nothing filled in
    QCOMPARE(answerer.count(), 1);
    QVERIFY(m_window->savedExerciseRecord());

    fillPage(page(0));
    m_responder.respondEnvelope(modifyPath, 0, QJsonValue());
    answerer.clickButton(QStringLiteral("确定"));
    m_window->submitExercise();
    QVERIFY(m_responder.waitForRequests(modifyPath, 1));
    QCOMPARE(m_responder.count(addPath), 0);
}

QTEST_MAIN(tst_Composer)
ExerciseInfo tst_Composer::storedExercise(int id)
{
    ExerciseInfo exercise;
    exercise.id = id;
    exercise.folderId = 40;
    exercise.exerciseTypeId = 32;
    return exercise;
}

void tst_Composer::openStored(const ExerciseInfo &exercise)
{
    m_responder.reset(detailPath);
    m_responder.respondEnvelope(detailPath, 0, detail(false, false, mixedTypes));
    m_window->loadExercise(exercise);
}

QByteArray tst_Composer::writeDraft(const QTemporaryDir &home)
{
    // the work of a teacher whose Quenmo was killed while composing
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    const QString path = ExerciseDraft::pathFor(UserSession::instance().userId);
    ExerciseInfo work;
    work.folderId = 40;
    work.exerciseTypeId = 33;
    work.difficultyDegree = 3;
    QuestionInfo question;
    question.questionContent = code(QStringLiteral("上次没交的题"));
    work.questions << question;
    if (!ExerciseDraft(path).write(work))
        return QByteArray();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_Composer::startKeepingDrafts(
    const QString &heldPath, const ScriptedHttpResponder::Response &held)
{
    m_responder.reset(detailPath);
    m_responder.respondEnvelope(
        detailPath, 0, detail(false, false, {questionType(1, QStringLiteral("单选"), 1, 4, 0)}));
    if (!heldPath.isEmpty()) {
        m_responder.reset(heldPath);
        m_responder.respond(heldPath, held);
    }
    m_window = std::make_unique<MainWindow>();
    m_window->keepDrafts();
    m_window->fetchGroups();
    m_window->fetchExerciseKnowledge();
    m_window->fetchExerciseType(33);
    m_window->show();
}

void tst_Composer::draftIsOfferedWhicheverReplyComesLast_data()
{
    QTest::addColumn<QString>("lastPath");
    QTest::newRow("groups") << groupsPath;
    QTest::newRow("knowledge points") << QStringLiteral("/library/fetch/exerciseKnowledge");
    QTest::newRow("type detail") << detailPath;
}

void tst_Composer::draftIsOfferedWhicheverReplyComesLast()
{
    QFETCH(QString, lastPath);
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    QVERIFY(!writeDraft(home).isEmpty());
    m_window.reset();
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    // one reply held back until the others are in
    const QByteArray held = lastPath == groupsPath
        ? ScriptedHttpResponder::envelope(0,
            QJsonArray {QJsonObject {{QStringLiteral("groupId"), 40},
                {QStringLiteral("groupName"), QStringLiteral("a")}, {QStringLiteral("count"), 0}}},
            QString())
        : lastPath == detailPath
        ? ScriptedHttpResponder::envelope(
            0, detail(false, false, {questionType(1, QStringLiteral("单选"), 1, 4, 0)}), QString())
        : ScriptedHttpResponder::envelope(0,
            QJsonDocument::fromJson(R"([{"knowledgeId": 12, "name": "方程"}])").array(), QString());
    ScriptedHttpResponder::Response slow;
    slow.body = held;
    slow.delayMs = 600;
    startKeepingDrafts(lastPath, slow);
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().text, QStringLiteral("有未提交的题目，是否恢复？"));
    QTRY_VERIFY(m_window->questionTabs() && !m_window->isBodyPending());
    QTRY_COMPARE(page(0)->contentPanel()->text(), code(QStringLiteral("上次没交的题")));
    m_window.reset();
    qputenv("XDG_DATA_HOME", oldHome);
}

void tst_Composer::closingBeforeTheDraftIsOfferedKeepsIt()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
    const QByteArray before = writeDraft(home);
    QVERIFY(!before.isEmpty());
    m_window.reset();
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    // the knowledge points are slow to come; groups and type are in and the empty composer
    // stands
    ScriptedHttpResponder::Response slow;
    slow.body = ScriptedHttpResponder::envelope(
        0, QJsonDocument::fromJson(R"([{"knowledgeId": 12, "name": "方程"}])").array(), QString());
    slow.delayMs = 1500;
    startKeepingDrafts(QStringLiteral("/library/fetch/exerciseKnowledge"), slow);
    QTRY_VERIFY(m_window->questionTabs() && !m_window->isBodyPending());
    QCOMPARE(answerer.count(), 0);
    m_window->close();
    QFile file(ExerciseDraft::pathFor(UserSession::instance().userId));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    m_window.reset();
    qputenv("XDG_DATA_HOME", oldHome);
}

#include "tst_composer.moc"
