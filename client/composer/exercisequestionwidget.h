#pragma once

#include "model/questioninfo.h"
#include "model/questiontypeinfo.h"

#include <QWidget>

#include <memory>

namespace Ui {
class ExerciseQuestionWidget;
}
class ExerciseQuestionAnalysisWidget;
class ExerciseQuestionContentWidget;
class ExerciseQuestionHeaderWidget;
class ExerciseQuestionOptionWidget;
class KnowledgeNode;
class QButtonGroup;
class QPushButton;
class QTabWidget;

// One sub-question page: its header, then the panels its question type needs.
class ExerciseQuestionWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ExerciseQuestionWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionWidget() override;

    void setTitle(const QString &text);
    void setQuestionTypes(const QuestionTypeInfoList &types);
    void setKnowledgeRoot(const KnowledgeNode *root);
    // With fitOptions the page shows as many options as the question has (an exercise opened
    // or imported as it stands), else as many as its type asks for.
    void setStoredQuestion(const QuestionInfo &question, bool fitOptions = false);
    // Builds the panels of the current type; panels already built for the same shape are
    // filled in place.
    void rebuildPanels();
    void retitleAnswers();
    // Gathers the sub-question; with check, the first failed check shows its message, makes
    // its place current and returns false. index and count: the tab position and tab count.
    bool getQuestionInfo(QuestionInfo &question, bool check, int index, int count);

    ExerciseQuestionHeaderWidget *header() const;
    const QuestionTypeInfo &currentType() const { return m_currentType; }
    ExerciseQuestionContentWidget *contentPanel() const { return m_contentPanel; }
    ExerciseQuestionAnalysisWidget *analysisPanel() const { return m_analysisPanel; }
    const QList<ExerciseQuestionOptionWidget *> &optionPanels() const { return m_optionPanels; }
    QTabWidget *answerTabs() const { return m_answerTabs; }

    static constexpr int maxAnswers = 5;

public slots:
    void addExerciseQuestionAnswerWidget();
    void removeExerciseQuestionAnswerWidget(int index);
    void movedExerciseQuestionAnswerWidget(int from, int to);
    void selectedQuestionType(int index);

private:
    void addAnswerTab(const QString &text);
    int optionCount() const;
    void refillPanels();
    // what the built panels look like: a content panel, the single-choice mark and the number
    // of options (0: answer tabs)
    struct Shape {
        bool built = false;
        bool content = false;
        bool single = false;
        int options = 0;
        bool operator==(const Shape &other) const
        {
            return built == other.built && content == other.content && single == other.single
                && options == other.options;
        }
    };
    Shape wantedShape() const;
    bool fail(bool check, const QString &message);

    Ui::ExerciseQuestionWidget *ui;
    QuestionTypeInfoList m_questionTypes;
    QuestionTypeInfo m_currentType;
    const KnowledgeNode *m_knowledgeRoot = nullptr;
    std::unique_ptr<QuestionInfo> m_storedQuestion;
    bool m_fitOptions = false;
    Shape m_builtShape;
    ExerciseQuestionContentWidget *m_contentPanel = nullptr;
    ExerciseQuestionAnalysisWidget *m_analysisPanel = nullptr;
    QList<ExerciseQuestionOptionWidget *> m_optionPanels;
    QButtonGroup *m_optionGroup = nullptr;
    QTabWidget *m_answerTabs = nullptr;
    QPushButton *m_addAnswerButton = nullptr;
};
