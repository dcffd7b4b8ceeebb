#pragma once

#include "composer/exercisequestionpanel.h"

namespace Ui {
class ExerciseQuestionOptionWidget;
}
class QCheckBox;
class QRadioButton;

// One choice option with its "正确答案" mark: a radio button for a single-answer choice, a
// check box for a multiple-answer one.
class ExerciseQuestionOptionWidget : public ExerciseQuestionPanel
{
    Q_OBJECT

public:
    explicit ExerciseQuestionOptionWidget(QWidget *parent = nullptr);
    ~ExerciseQuestionOptionWidget() override;

    void setSingle(bool single);
    bool isSingle() const { return m_single; }
    bool isChecked() const;
    void setChecked(bool checked);
    QRadioButton *radioButton() const { return m_radio; }
    QCheckBox *checkBox() const { return m_check; }

private:
    Ui::ExerciseQuestionOptionWidget *ui;
    QRadioButton *m_radio;
    QCheckBox *m_check;
    bool m_single = true;
};
