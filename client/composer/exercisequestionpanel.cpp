#include "composer/exercisequestionpanel.h"

#include "editor/texteditwidget.h"

#include <QGroupBox>

ExerciseQuestionPanel::ExerciseQuestionPanel(QWidget *parent)
    : QWidget(parent)
{ }

void ExerciseQuestionPanel::setParts(QGroupBox *box, TextEditWidget *editor)
{
    m_box = box;
    m_editor = editor;
}

QString ExerciseQuestionPanel::text() const
{
    return m_editor->toCodeText();
}

void ExerciseQuestionPanel::setText(const QString &text)
{
    m_editor->setCodeText(text);
}

void ExerciseQuestionPanel::setTitle(const QString &title)
{
    if (m_box)
        m_box->setTitle(title);
}

QString ExerciseQuestionPanel::title() const
{
    return m_box ? m_box->title() : QString();
}
