#pragma once

#include <QWidget>

class QGroupBox;
class TextEditWidget;

// What every panel of a sub-question page shares: one rich-text editor, read and filled as
// code text, and for most an enclosing group box with a title.
class ExerciseQuestionPanel : public QWidget
{
    Q_OBJECT

public:
    QString text() const;
    void setText(const QString &text);
    void setTitle(const QString &title);
    QString title() const;
    TextEditWidget *editor() const { return m_editor; }

protected:
    explicit ExerciseQuestionPanel(QWidget *parent);
    void setParts(QGroupBox *box, TextEditWidget *editor);

private:
    QGroupBox *m_box = nullptr;
    TextEditWidget *m_editor = nullptr;
};
