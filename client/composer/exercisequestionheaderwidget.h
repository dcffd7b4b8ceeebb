#pragma once

#include <QWidget>

namespace Ui {
class ExerciseQuestionHeaderWidget;
}
class KnowledgeButtonWidget;

// The head of a sub-question page: question type, its default score, knowledge points.
class ExerciseQuestionHeaderWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ExerciseQuestionHeaderWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionHeaderWidget() override;

    void setQuestionTypeNames(const QStringList &names);
    int currentIndex() const;
    void setCurrentIndex(int index);
    void setScore(double score);
    QString scoreText() const;
    KnowledgeButtonWidget *knowledgeButtonWidget() const;

signals:
    void selectedQuestionType(int index);

private slots:
    void on_comboBox_activated(int index);

private:
    Ui::ExerciseQuestionHeaderWidget *ui;
};
