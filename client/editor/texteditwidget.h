#pragma once

#include <QWidget>

class QHBoxLayout;
class QPlainTextEdit;

// A rich-text field: the toolbar row over one editor.
class TextEditWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TextEditWidget(QWidget *parent = nullptr);

    QString toCodeText() const;
    void setCodeText(const QString &text);
    void setMinimumEditorHeight(int height);
    void addToolbarWidget(QWidget *widget);

private:
    QHBoxLayout *m_toolbar;
    QPlainTextEdit *m_edit;
    QString m_codeText;
    bool m_filling = false;
};
