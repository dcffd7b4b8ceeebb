#include "composer/exercisequestionwidget.h"
#include "ui_exercisequestionwidget.h"

#include "composer/exercisequestionanalysiswidget.h"
#include "composer/exercisequestionanswerwidget.h"
#include "composer/exercisequestioncontentwidget.h"
#include "composer/exercisequestionheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/knowledgebuttonwidget.h"
#include "widgets/messagedialog.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace {

const QString addButtonStyle = QStringLiteral(
    "color: rgb(0, 0, 0);background-color: rgb(255, 255, 255);border: 1px solid rgb(130, 140, "
    "149);border-radius:0px;width:80px;height:20px;");

template<typename Widget>
void discard(Widget *&widget)
{
    if (!widget)
        return;
    widget->hide();
    widget->setParent(nullptr);
    widget->deleteLater();
    widget = nullptr;
}

QString letter(int position)
{
    return QString(QChar(u'A' + position));
}

} // namespace

ExerciseQuestionWidget::ExerciseQuestionWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExerciseQuestionWidget)
{
    ui->setupUi(this);
    connect(ui->exerciseQuestionHeaderWidget, &ExerciseQuestionHeaderWidget::selectedQuestionType,
        this, &ExerciseQuestionWidget::selectedQuestionType);
}

ExerciseQuestionWidget::~ExerciseQuestionWidget()
{
    delete ui;
}

ExerciseQuestionHeaderWidget *ExerciseQuestionWidget::header() const
{
    return ui->exerciseQuestionHeaderWidget;
}

void ExerciseQuestionWidget::setTitle(const QString &text)
{
    if (m_contentPanel)
        m_contentPanel->setTitle(text + QStringLiteral("内容"));
    if (m_analysisPanel)
        m_analysisPanel->setTitle(text + QStringLiteral("解析"));
}

void ExerciseQuestionWidget::setQuestionTypes(const QuestionTypeInfoList &types)
{
    m_questionTypes = types;
    QStringList names;
    for (const QuestionTypeInfo &type : types)
        names << type.typeDesc;
    header()->setQuestionTypeNames(names);
    const int current = header()->currentIndex();
    m_currentType = current >= 0 && current < types.size() ? types.at(current) : QuestionTypeInfo();
}

void ExerciseQuestionWidget::setKnowledgeRoot(const KnowledgeNode *root)
{
    m_knowledgeRoot = root;
    header()->knowledgeButtonWidget()->setKnowledgeRoot(root);
}

void ExerciseQuestionWidget::setStoredQuestion(const QuestionInfo &question, bool fitOptions)
{
    m_storedQuestion = std::make_unique<QuestionInfo>(question);
    m_fitOptions = fitOptions;
}

int ExerciseQuestionWidget::optionCount() const
{
    if (m_currentType.optionNum < 1)
        return 0;
    // a question from a paper may have two or three options, or more than the type's: none is
    // left empty to fail the checks, none dropped
    const QuestionInfo *stored = m_storedQuestion.get();
    if (m_fitOptions && stored && !stored->options.isEmpty())
        return qMin(int(stored->options.size()), 26);
    return m_currentType.optionNum;
}

ExerciseQuestionWidget::Shape ExerciseQuestionWidget::wantedShape() const
{
    Shape shape;
    shape.built = true;
    shape.content = m_currentType.hasQuestionContentCode;
    shape.single = m_currentType.typeCode == 1;
    shape.options = optionCount();
    return shape;
}

void ExerciseQuestionWidget::rebuildPanels()
{
    const QuestionInfo *stored = m_storedQuestion.get();
    if (stored) {
        header()->knowledgeButtonWidget()->setIds(stored->knowledgeIds);
        // a type this page does not know: the first, as a new page shows
        int row = m_questionTypes.isEmpty() ? -1 : 0;
        for (int i = 0; i < m_questionTypes.size(); ++i) {
            if (m_questionTypes.at(i).questionTypeId == stored->questiontypeId) {
                row = i;
                break;
            }
        }
        if (row >= 0) {
            m_currentType = m_questionTypes.at(row);
            header()->setCurrentIndex(row);
        }
    }
    header()->setScore(m_currentType.score);

    const Shape shape = wantedShape();
    if (shape == m_builtShape) {
        refillPanels();
        return;
    }
    m_builtShape = shape;

    QVBoxLayout *layout = ui->verticalLayout;
    discard(m_contentPanel);
    if (m_currentType.hasQuestionContentCode) {
        m_contentPanel = new ExerciseQuestionContentWidget(this);
        if (stored)
            m_contentPanel->setText(stored->questionContent);
        layout->addWidget(m_contentPanel);
    }

    for (ExerciseQuestionOptionWidget *panel : qAsConst(m_optionPanels))
        discard(panel);
    m_optionPanels.clear();
    delete m_optionGroup;
    m_optionGroup = nullptr;
    discard(m_addAnswerButton);
    discard(m_answerTabs);

    if (m_currentType.optionNum < 1) {
        m_answerTabs = new QTabWidget(this);
        m_answerTabs->setMovable(true);
        m_answerTabs->setUsesScrollButtons(true);
        if (stored && !stored->answers.isEmpty()) {
            for (const AnswerInfo &answer : stored->answers)
                addAnswerTab(answer.content);
        } else {
            addAnswerTab(QString());
        }
        connect(m_answerTabs, &QTabWidget::tabCloseRequested, this,
            &ExerciseQuestionWidget::removeExerciseQuestionAnswerWidget);
        connect(m_answerTabs->tabBar(), &QTabBar::tabMoved, this,
            &ExerciseQuestionWidget::movedExerciseQuestionAnswerWidget);
        retitleAnswers();
        layout->addWidget(m_answerTabs);
        m_addAnswerButton = new QPushButton(QStringLiteral("+添加答案"), m_answerTabs);
        m_addAnswerButton->setStyleSheet(addButtonStyle);
        connect(m_addAnswerButton, &QPushButton::clicked, this,
            &ExerciseQuestionWidget::addExerciseQuestionAnswerWidget);
        m_answerTabs->setCornerWidget(m_addAnswerButton, Qt::TopRightCorner);
    } else {
        const bool single = m_currentType.typeCode == 1;
        m_optionGroup = new QButtonGroup(this);
        for (int h = 0; h < shape.options; ++h) {
            auto panel = new ExerciseQuestionOptionWidget(this);
            panel->setTitle(QStringLiteral("选项") + letter(h));
            m_optionGroup->addButton(panel->radioButton());
            panel->setSingle(single);
            if (stored && h < stored->options.size()) {
                panel->setText(stored->options.at(h).content);
                const bool correct = std::any_of(stored->answers.cbegin(), stored->answers.cend(),
                    [h](const AnswerInfo &answer) { return answer.content.contains(letter(h)); });
                if (correct)
                    panel->setChecked(true);
            }
            layout->addWidget(panel);
            m_optionPanels << panel;
        }
    }

    discard(m_analysisPanel);
    m_analysisPanel = new ExerciseQuestionAnalysisWidget(this);
    if (stored)
        m_analysisPanel->setText(stored->questionExplain);
    layout->addWidget(m_analysisPanel);
    update();
}

void ExerciseQuestionWidget::refillPanels()
{
    const QuestionInfo stored = m_storedQuestion ? *m_storedQuestion : QuestionInfo();
    if (m_contentPanel)
        m_contentPanel->setText(stored.questionContent);
    if (m_answerTabs) {
        const int wanted = std::max(1, int(stored.answers.size()));
        while (m_answerTabs->count() > wanted) {
            QWidget *page = m_answerTabs->widget(m_answerTabs->count() - 1);
            m_answerTabs->removeTab(m_answerTabs->count() - 1);
            page->deleteLater();
        }
        while (m_answerTabs->count() < wanted)
            addAnswerTab(QString());
        for (int i = 0; i < wanted; ++i) {
            static_cast<ExerciseQuestionAnswerWidget *>(m_answerTabs->widget(i))
                ->setText(stored.answers.value(i).content);
        }
        m_answerTabs->setCurrentIndex(0);
        retitleAnswers();
    }
    if (m_optionGroup) {
        // an exclusive group keeps one button checked: let go of it to clear the marks
        m_optionGroup->setExclusive(false);
        for (ExerciseQuestionOptionWidget *panel : qAsConst(m_optionPanels))
            panel->setChecked(false);
        m_optionGroup->setExclusive(true);
        for (int h = 0; h < m_optionPanels.size(); ++h) {
            ExerciseQuestionOptionWidget *panel = m_optionPanels.at(h);
            panel->setText(h < stored.options.size() ? stored.options.at(h).content : QString());
            const bool correct = std::any_of(stored.answers.cbegin(), stored.answers.cend(),
                [h](const AnswerInfo &answer) { return answer.content.contains(letter(h)); });
            if (correct)
                panel->setChecked(true);
        }
    }
    m_analysisPanel->setText(stored.questionExplain);
    update();
}

void ExerciseQuestionWidget::addAnswerTab(const QString &text)
{
    auto answer = new ExerciseQuestionAnswerWidget(m_answerTabs);
    answer->setText(text);
    m_answerTabs->addTab(
        answer, QStringLiteral("答案") + QString::number(m_answerTabs->count() + 1));
}

void ExerciseQuestionWidget::retitleAnswers()
{
    if (!m_answerTabs)
        return;
    const int n = m_answerTabs->count();
    m_answerTabs->setTabsClosable(n > 1);
    for (int i = 0; i < n; ++i)
        m_answerTabs->setTabText(
            i, n > 1 ? QStringLiteral("答案") + QString::number(i + 1) : QStringLiteral("答案"));
}

void ExerciseQuestionWidget::addExerciseQuestionAnswerWidget()
{
    if (!m_answerTabs || m_answerTabs->count() >= maxAnswers)
        return;
    addAnswerTab(QString());
    m_answerTabs->setCurrentIndex(m_answerTabs->count() - 1);
    retitleAnswers();
}

void ExerciseQuestionWidget::removeExerciseQuestionAnswerWidget(int index)
{
    if (!m_answerTabs || m_answerTabs->count() <= 1)
        return;
    if (showMessage(this, QStringLiteral("删除"), QStringLiteral("是否删除这个答案？"), true) != 1)
        return;
    QWidget *page = m_answerTabs->widget(index);
    m_answerTabs->removeTab(index);
    if (page)
        page->deleteLater();
    retitleAnswers();
}

void ExerciseQuestionWidget::movedExerciseQuestionAnswerWidget(int, int)
{
    retitleAnswers();
}

void ExerciseQuestionWidget::selectedQuestionType(int)
{
    m_storedQuestion.reset();
    QuestionInfo question;
    getQuestionInfo(question, false, -1, -1);
    m_storedQuestion = std::make_unique<QuestionInfo>(question);
    m_fitOptions = false;
    rebuildPanels();
}

bool ExerciseQuestionWidget::fail(bool check, const QString &message)
{
    if (check && !message.isEmpty())
        showMessage(this, QStringLiteral("警告"), message, false);
    return false;
}

bool ExerciseQuestionWidget::getQuestionInfo(
    QuestionInfo &question, bool check, int index, int count)
{
    const QString n = count > 1 ? QString::number(index + 1) : QString();
    const QString fill = QStringLiteral("需要填写小问") + n;

    const int row = header()->currentIndex();
    const QuestionTypeInfo type
        = row >= 0 && row < m_questionTypes.size() ? m_questionTypes.at(row) : QuestionTypeInfo();
    question.questiontypeId = type.questionTypeId;
    question.questionTypeSort = type.questionTypeSort;

    question.score = header()->scoreText().toDouble();
    if (check && question.score == 0)
        return fail(check, QStringLiteral("分数不能为零"));

    const KnowledgeButtonWidget *knowledge = header()->knowledgeButtonWidget();
    question.knowledgeIds = knowledge->ids();
    question.knowledgeNames = knowledge->names();
    if (check && question.knowledgeIds.isEmpty())
        return fail(check, QStringLiteral("需要选择小问") + n + QStringLiteral("知识点"));

    if (m_contentPanel) {
        question.questionContent = m_contentPanel->text();
        if (check && question.questionContent.isEmpty())
            return fail(check, fill + QStringLiteral("内容"));
    }

    // a type with no options (0 or less) gathers answers from its tabs instead
    const bool choice = m_currentType.optionNum > 0;
    if (choice) {
        for (int i = 0; i < m_optionPanels.size(); ++i) {
            OptionInfo option;
            option.index = i;
            option.content = m_optionPanels.at(i)->text();
            option.isAnswer = m_optionPanels.at(i)->isChecked();
            if (check && option.content.isEmpty())
                return fail(check, QStringLiteral("需要填写选项"));
            question.options << option;
        }
        if (check && question.options.isEmpty())
            return fail(check, QString());
    }

    if (!choice) {
        const int answers = m_answerTabs ? m_answerTabs->count() : 0;
        for (int i = 0; i < answers; ++i) {
            auto page = static_cast<ExerciseQuestionAnswerWidget *>(m_answerTabs->widget(i));
            AnswerInfo answer;
            answer.answerIdx = i;
            answer.content = page->text();
            if (check && answer.content.isEmpty()) {
                m_answerTabs->setCurrentIndex(i);
                return fail(check,
                    fill + QStringLiteral("答案")
                        + (answers > 1 ? QString::number(i + 1) : QString()));
            }
            question.answers << answer;
        }
    } else {
        AnswerInfo answer;
        int correct = 0;
        for (int i = 0; i < m_optionPanels.size(); ++i) {
            if (m_optionPanels.at(i)->isChecked()) {
                answer.content += letter(i);
                ++correct;
            }
        }
        if (check && correct == 0)
            return fail(check, QStringLiteral("需要选择正确答案"));
        if (check && m_currentType.typeCode != 1 && correct == 1)
            return fail(check, QStringLiteral("需要选择多个答案"));
        question.answers << answer;
    }
    if (check && question.answers.isEmpty())
        return fail(check, QString());

    if (m_analysisPanel) {
        question.questionExplain = m_analysisPanel->text();
        if (check && question.questionExplain.isEmpty())
            return fail(check, fill + QStringLiteral("解析"));
    }
    return true;
}
